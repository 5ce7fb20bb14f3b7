// file_stamp.h - what the host compares to know that a file or folder it read before is unchanged:
// its size and modification time. The validator's child processes read the same resource folder
// and icon thousands of times a second; with HostOptions::reuseUnchangedFiles the host keeps what
// it read and reads again only when a stamp differs.
#ifndef CORVEL_HOSTSIM_FILE_STAMP_H
#define CORVEL_HOSTSIM_FILE_STAMP_H

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

struct FileStamp {
    bool exists = false;
    bool folder = false;
    uint64_t size = 0;
    int64_t modified = 0; // in the file system's clock ticks
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && folder == o.folder && size == o.size && modified == o.modified;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// The stamp of `path` now (exists == false when there is nothing there or it cannot be read).
FileStamp StampOf(const std::string& path);
std::vector<FileStamp> StampsOf(const std::vector<std::string>& paths);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_FILE_STAMP_H
