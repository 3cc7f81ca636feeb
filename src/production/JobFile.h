#pragma once

#include <optional>
#include <string>

#include "production/ProductionJob.h"

// A job file (*.belcorjob): JSON text that people can read and diff.
struct JobFileRead {
    std::optional<ProductionJob> job;
    std::string sha256;  // of the file's bytes: the job's identity in the log
    std::string error;   // set when job is empty
};

class JobFile {
public:
    static constexpr const char* Extension = ".belcorjob";
    // Texts other than the note; a chip's cells and a path are far shorter.
    static constexpr size_t LongestText = 4096;
    // A job file holds a few kilobytes and a note; anything larger is no job.
    static constexpr size_t LargestFile = 1 << 20;

    static JobFileRead read(const std::string& path);
    // The job's text, as read() takes it back.
    static std::string text(const ProductionJob& job);
    // Written to a new file and renamed over `path`; empty on success, else why not.
    static std::string write(const std::string& path, const ProductionJob& job);

    // read()'s parsing, on text already in memory; `name` becomes the job's name.
    static JobFileRead parse(const std::string& text, const std::string& name);
};
