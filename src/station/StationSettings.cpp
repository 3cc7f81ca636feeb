#include "station/StationSettings.h"

#include <arpa/inet.h>

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Sets the named setting; empty on success, else why not.
std::string apply(StationSettings& settings, const std::string& key, const std::string& value)
{
    struct TextKey {
        const char* name;
        std::string StationSettings::*field;
    };
    static const TextKey keys[] = {
        {"station", &StationSettings::station}, {"token-file", &StationSettings::tokenFile},
        {"view-token-file", &StationSettings::viewTokenFile},
        {"tls-cert", &StationSettings::tlsCert}, {"tls-key", &StationSettings::tlsKey},
        {"jobs", &StationSettings::jobs},       {"log-db", &StationSettings::logDb},
        {"line-db", &StationSettings::lineDb}};
    for (const TextKey& entry : keys) {
        if (key != entry.name)
            continue;
        if (value.empty())
            return key + " needs a value";
        settings.*entry.field = value;
        return {};
    }
    if (key == "listen") {
        if (!ParseListenAddress(value, settings.listenHost, settings.listenPort))
            return "listen takes ADDRESS:PORT, e.g. 127.0.0.1:8470, not \"" + value + "\"";
        return {};
    }
    if (key == "simulator") {
        settings.simulator = true;
        settings.scenario = value;
        return {};
    }
    return "unknown setting \"" + key + "\"";
}

bool readFile(const std::string& path, std::string& text)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return static_cast<bool>(file);
}

}  // namespace

bool ParseListenAddress(const std::string& text, std::string& host, int& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string address = text.substr(0, colon);
    if (address.front() == '[') {
        if (address.size() < 3 || address.back() != ']')
            return false;
        address = address.substr(1, address.size() - 2);
    } else if (address.find(':') != std::string::npos) {
        return false;
    }
    const std::string digits = text.substr(colon + 1);
    int number = -1;
    const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (problem != std::errc() || end != digits.data() + digits.size() || number < 0 || number > 65535)
        return false;
    host = address;
    port = number;
    return true;
}

bool StationSettings::loopbackOnly() const
{
    if (listenHost == "localhost")
        return true;
    in_addr v4{};
    if (inet_pton(AF_INET, listenHost.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, listenHost.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string StationSettings::refusal() const
{
    if (tlsCert.empty() != tlsKey.empty())
        return "give --tls-cert and --tls-key together";
    if (!viewTokenFile.empty() && tokenFile.empty())
        return "a --view-token-file needs a --token-file for the control calls";
    if (!loopbackOnly() && (tokenFile.empty() || !tls()))
        return "listening on " + listenHost +
               " reaches beyond this machine: give a --token-file and --tls-cert with --tls-key, or listen on "
               "127.0.0.1";
    if (!lineDb.empty() && !lineDb.starts_with("postgresql://") && !lineDb.starts_with("postgres://"))
        return "line-db takes a postgresql:// address";
    return {};
}

std::string ApplyStationSettingsText(StationSettings& settings, const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string content = trimmed(line);
        if (content.empty() || content.front() == '#')
            continue;
        const size_t equals = content.find('=');
        const std::string key = trimmed(content.substr(0, equals));
        const std::string value = equals == std::string::npos ? std::string() : trimmed(content.substr(equals + 1));
        if (equals == std::string::npos && key != "simulator")
            return "line " + std::to_string(number) + ": \"" + key + "\" needs \"= VALUE\"";
        if (std::string problem = apply(settings, key, value); !problem.empty())
            return "line " + std::to_string(number) + ": " + problem;
    }
    return {};
}

ParsedStationSettings ParseStationArguments(const std::vector<std::string>& arguments)
{
    ParsedStationSettings parsed;
    StationSettings settings;
    // The file first, wherever --config stands, so that every flag wins over it.
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string path;
        if (argument == "--config" && i + 1 < arguments.size())
            path = arguments[i + 1];
        else if (argument.starts_with("--config="))
            path = argument.substr(9);
        else
            continue;
        std::string text;
        if (!readFile(path, text)) {
            parsed.error = "cannot read the settings file " + path;
            return parsed;
        }
        if (std::string problem = ApplyStationSettingsText(settings, text); !problem.empty()) {
            parsed.error = path + ": " + problem;
            return parsed;
        }
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            parsed.help = true;
            return parsed;
        }
        if (!argument.starts_with("--")) {
            parsed.error = "unexpected argument \"" + argument + "\"";
            return parsed;
        }
        const size_t equals = argument.find('=');
        const std::string key = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (key != "simulator") {
            if (i + 1 >= arguments.size()) {
                parsed.error = argument + " needs a value";
                return parsed;
            }
            value = arguments[++i];
        }
        if (key == "config")
            continue;
        if (std::string problem = apply(settings, key, value); !problem.empty()) {
            parsed.error = problem;
            return parsed;
        }
    }
    parsed.settings = settings;
    return parsed;
}

std::string StationUsageText()
{
    return "Usage: belcor-station [OPTION]...\n"
           "Runs the station's programmers for a line controller: an HTTP API under /api/v1,\n"
           "live events, Prometheus metrics at /metrics and a web page at /.\n"
           "\n"
           "Options:\n"
           "  --config FILE           Read the settings from FILE, \"key = value\" lines with the\n"
           "                          options' names as keys, e.g. \"listen = 0.0.0.0:8470\";\n"
           "                          every option given wins over the file.\n"
           "  --listen ADDRESS:PORT   Where to serve (default 127.0.0.1:8470). Beyond 127.0.0.1\n"
           "                          only with --token-file and TLS.\n"
           "  --station NAME          The name the records carry (default: the host name).\n"
           "  --token-file FILE       The key every call must bring (its first line).\n"
           "  --view-token-file FILE  A second key that may only read: the page, the GET calls\n"
           "                          and the events.\n"
           "  --tls-cert FILE, --tls-key FILE\n"
           "                          Serve HTTPS with this certificate and key.\n"
           "  --jobs DIR              The only folder jobs and their images are loaded from.\n"
           "  --log-db PATH           The station's production log (SQLite).\n"
           "  --line-db postgresql://...\n"
           "                          The line server the records go to and the line page reads.\n"
           "  --simulator[=SCENARIO]  Use the programmer simulator beside the executable.\n"
           "  -h, --help              Show this help.\n"
           "  --version               Show the version.\n";
}
