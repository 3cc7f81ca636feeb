#include "core/UnexpectedError.h"

#include <new>

#include "core/MessageCatalogue.h"

std::string ExceptionWhat(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& exception) {
        return exception.what();
    } catch (...) {
    }
    return "unknown exception";
}

std::string UnexpectedErrorText(std::exception_ptr error, int language)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return MessageCatalogue::text(Msg::OutOfMemory, language);
    } catch (...) {
    }
    return MessageCatalogue::format(Msg::UnexpectedError, language, {ExceptionWhat(error)});
}
