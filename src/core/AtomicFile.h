#pragma once

#include <cstddef>
#include <string>

// Writes a file so that it replaces its target only once completely written:
// the bytes go to a new file in the target's folder, which commit() syncs and
// renames over the target. Until then, and after any failure, the target keeps
// its previous contents byte for byte; an uncommitted new file is removed.
//
//     AtomicFile file(path);
//     if (!file.open()) ... cannot create
//     file.write(data, size); ...
//     if (!file.commit()) ... write failed, target unchanged
class AtomicFile {
public:
    explicit AtomicFile(std::string targetPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the new file beside the target; false when the folder is missing
    // or not writable. An existing target's permissions carry over.
    bool open();
    // Appends bytes; false, then and at commit, once any write has failed.
    bool write(const void* data, size_t size);
    // Syncs, closes and renames over the target; false leaves the target as it was.
    bool commit();

private:
    void discard();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    bool failed_ = false;
};
