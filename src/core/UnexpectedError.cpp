#include "core/UnexpectedError.h"

#include <new>

#include "core/MessageCatalogue.h"

std::string UnexpectedErrorText(std::exception_ptr error, int language)
{
    std::string what = "unknown exception";
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return MessageCatalogue::text(Msg::OutOfMemory, language);
    } catch (const std::exception& exception) {
        what = exception.what();
    } catch (...) {
    }
    std::string text = MessageCatalogue::text(Msg::UnexpectedError, language);
    text.replace(text.find("%1"), 2, what);
    return text;
}
