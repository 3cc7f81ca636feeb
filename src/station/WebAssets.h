#pragma once

#include <string_view>

// The web pages' files, compiled into the program from src/station/web: the
// page works on a line without internet and cannot drift from the service.
struct WebAsset {
    std::string_view name;  // the file's name, e.g. "station.js"
    std::string_view contentType;
    std::string_view body;
};

// The file of that name; nothing when there is none.
const WebAsset* FindWebAsset(std::string_view name);
