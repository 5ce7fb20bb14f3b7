#include "file_stamp.h"

#include <filesystem>

namespace hostsim {

namespace fs = std::filesystem;

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    if (path.empty())
        return s;
    std::error_code ec;
    const fs::path p = fs::u8path(path);
    const fs::file_status status = fs::status(p, ec);
    if (ec || !fs::exists(status))
        return s;
    s.folder = fs::is_directory(status);
    if (!s.folder && !fs::is_regular_file(status))
        return s;
    const auto modified = fs::last_write_time(p, ec);
    if (ec)
        return s;
    s.modified = static_cast<int64_t>(modified.time_since_epoch().count());
    if (!s.folder) {
        s.size = fs::file_size(p, ec);
        if (ec)
            return s;
    }
    s.exists = true;
    return s;
}

std::vector<FileStamp> StampsOf(const std::vector<std::string>& paths) {
    std::vector<FileStamp> stamps;
    stamps.reserve(paths.size());
    for (const std::string& p : paths)
        stamps.push_back(StampOf(p));
    return stamps;
}

} // namespace hostsim
