#include "core/ProgramVersion.h"

#include <string_view>

namespace ProgramVersion {

bool isAsked(int argc, const char* const* argv)
{
    return argc == 2 && std::string_view(argv[1]) == "--version";
}

std::string text(const std::string& program)
{
    return program + " " BELCOR_VERSION "\n";
}

}  // namespace ProgramVersion
