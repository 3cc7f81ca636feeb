#pragma once

#include <exception>
#include <string>

// What an exception says of itself; "unknown exception" when it is no
// std::exception.
std::string ExceptionWhat(std::exception_ptr error);

// The text shown for an exception that nothing below the top level caught:
// running out of memory has its own sentence, anything else names what it
// says of itself.
std::string UnexpectedErrorText(std::exception_ptr error, int language);
