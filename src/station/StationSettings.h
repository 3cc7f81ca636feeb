#pragma once

#include <optional>
#include <string>
#include <vector>

// How belcor-station is set up: a small settings file of "key = value" lines
// whose keys are the long flags without their dashes, and the same settings
// as flags, which win over the file.
struct StationSettings {
    std::string listenHost = "127.0.0.1";
    int listenPort = 8470;
    std::string station;    // the name the records carry; the host name when empty
    std::string tokenFile;
    std::string viewTokenFile;  // a second token that may only read
    std::string tlsCert;
    std::string tlsKey;
    std::string jobs;       // the only folder jobs are loaded from
    std::string logDb;      // the station's SQLite log; the default file when empty
    std::string lineDb;     // postgresql://… of the line server; none when empty
    bool simulator = false;
    std::string scenario;

    bool tls() const { return !tlsCert.empty(); }
    // Whether the listening address reaches only this machine.
    bool loopbackOnly() const;
    // Why the service must not start with these settings; empty when it may.
    std::string refusal() const;
};

struct ParsedStationSettings {
    std::optional<StationSettings> settings;
    bool help = false;
    std::string error;
};

// The arguments after the program's name. --config FILE is read first, then
// every flag is applied over it.
ParsedStationSettings ParseStationArguments(const std::vector<std::string>& arguments);

// One settings file's text applied over `settings`; empty on success, else
// the first line that could not be used, with its number.
std::string ApplyStationSettingsText(StationSettings& settings, const std::string& text);

// "ADDRESS:PORT", "[IPv6]:PORT"; false when it is neither.
bool ParseListenAddress(const std::string& text, std::string& host, int& port);

std::string StationUsageText();
