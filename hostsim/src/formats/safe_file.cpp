// Replacing a file's contents without ever losing the old ones (see hostsim/safe_file.h).
#include "hostsim/safe_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace hostsim {
namespace {

namespace fs = std::filesystem;

// Longer chains of links than this are taken for a loop (the limit POSIX systems use).
constexpr int kMaxLinkHops = 40;
// Attempts at a free name for a temporary file or a kept copy before giving up.
constexpr int kMaxNameAttempts = 1000;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

// A temporary file created exclusively next to the file it will replace. Removed again unless
// it was committed (renamed over the target), so every early return cleans up.
class ExclusiveTempFile {
public:
    ExclusiveTempFile() = default;
    ExclusiveTempFile(const ExclusiveTempFile&) = delete;
    ExclusiveTempFile& operator=(const ExclusiveTempFile&) = delete;
    ~ExclusiveTempFile() { Discard(); }

    bool Create(const fs::path& target, std::string* why) {
        for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
            fs::path candidate = target;
            candidate += ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
#ifdef _WIN32
            fd_ = _wopen(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
            // O_EXCL also refuses a symbolic link planted at the name, dangling or not. A new file
            // gets the usual mode (the umask applies); a replaced one gets its old mode later.
            fd_ = open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
#endif
            if (fd_ >= 0) {
                path_ = candidate;
                return true;
            }
            if (errno != EEXIST) {
                *why = "cannot create " + candidate.u8string() + ": " + ErrnoText(errno);
                return false;
            }
        }
        *why = "no free name for a temporary file beside " + target.u8string();
        return false;
    }

    bool WriteAll(const std::string& data, std::string* why) {
        const char* next = data.data();
        size_t left = data.size();
        while (left > 0) {
            const unsigned chunk = left > (1u << 30) ? (1u << 30) : static_cast<unsigned>(left);
#ifdef _WIN32
            const int written = _write(fd_, next, chunk);
#else
            const ssize_t written = write(fd_, next, chunk);
#endif
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                *why = "cannot write " + path_.u8string() + ": " + ErrnoText(written < 0 ? errno : ENOSPC);
                return false;
            }
            next += written;
            left -= static_cast<size_t>(written);
        }
        return true;
    }

    // Gives the file the permission bits the replaced file had (POSIX; on Windows the only bit,
    // read-only, is never set on a file this replaces).
    bool SetMode(fs::perms perms, std::string* why) {
#ifdef _WIN32
        (void)perms;
        (void)why;
#else
        if (fchmod(fd_, static_cast<mode_t>(perms & fs::perms::mask)) != 0) {
            *why = "cannot set the mode of " + path_.u8string() + ": " + ErrnoText(errno);
            return false;
        }
#endif
        return true;
    }

    // The data reaches the disk before the rename makes it the file's contents.
    bool SyncAndClose(std::string* why) {
#ifdef _WIN32
        const bool synced = _commit(fd_) == 0;
#else
        const bool synced = fsync(fd_) == 0;
#endif
        const int syncError = errno;
        const bool closed = CloseFd();
        if (!synced || !closed) {
            *why = "cannot flush " + path_.u8string() + ": " + ErrnoText(synced ? errno : syncError);
            return false;
        }
        return true;
    }

    bool RenameOver(const fs::path& target, std::string* why) {
        std::error_code ec;
        fs::rename(path_, target, ec);
        if (ec) {
            *why = "cannot rename " + path_.u8string() + " to " + target.u8string() + ": " + ec.message();
            return false;
        }
        path_.clear();
        return true;
    }

private:
    bool CloseFd() {
        if (fd_ < 0)
            return true;
#ifdef _WIN32
        const bool ok = _close(fd_) == 0;
#else
        const bool ok = close(fd_) == 0;
#endif
        fd_ = -1;
        return ok;
    }

    void Discard() {
        CloseFd();
        if (!path_.empty()) {
            std::error_code ec;
            fs::remove(path_, ec);
            path_.clear();
        }
    }

    int fd_ = -1;
    fs::path path_;
};

// The rename is only durable once the folder's entry is on the disk too (POSIX).
void SyncFolder(const fs::path& folder) {
#ifndef _WIN32
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
#else
    (void)folder;
#endif
}

} // namespace

bool ResolveFileLinks(const std::string& path, std::string* target, std::string* why) {
    fs::path p = fs::u8path(path);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(p, ec);
        if (!fs::is_symlink(status)) {
            *target = p.u8string();
            return true;
        }
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            *why = p.u8string() + ": cannot read the link: " + ec.message();
            return false;
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    *why = path + ": too many symbolic links (a loop?)";
    return false;
}

bool ReplaceFileContents(const std::string& path, const std::string& data, std::string* why) {
    std::string resolved;
    if (!ResolveFileLinks(path, &resolved, why))
        return false;
    const fs::path target = fs::u8path(resolved);

    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    fs::perms perms = fs::perms::owner_read | fs::perms::owner_write;
    const bool exists = fs::exists(status);
    if (exists) {
        if (!fs::is_regular_file(status)) {
            *why = resolved + " is not a regular file";
            return false;
        }
        perms = status.permissions();
        // Someone made the file read-only; replacing it would quietly undo that.
        if ((perms & fs::perms::owner_write) == fs::perms::none) {
            *why = resolved + " is read-only; it is left as it is";
            return false;
        }
    }

    ExclusiveTempFile temp;
    if (!temp.Create(target, why) || !temp.WriteAll(data, why) || (exists && !temp.SetMode(perms, why)) ||
        !temp.SyncAndClose(why) || !temp.RenameOver(target, why))
        return false;
    SyncFolder(target.parent_path());
    return true;
}

bool KeepCopyAside(const std::string& path, const std::string& label, std::string* copy, std::string* why) {
    const fs::path source = fs::u8path(path);
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        fs::path candidate = source;
        candidate += "." + label + (n == 1 ? std::string() : "." + std::to_string(n));
        std::error_code ec;
        // Creates the copy exclusively: an existing file (or link) at the name is never written.
        fs::copy_file(source, candidate, fs::copy_options::none, ec);
        if (!ec) {
            *copy = candidate.u8string();
            return true;
        }
        if (ec != std::errc::file_exists) {
            *why = "cannot copy " + path + " to " + candidate.u8string() + ": " + ec.message();
            fs::remove(candidate, ec);
            return false;
        }
    }
    *why = "no free name beside " + path + " for a copy";
    return false;
}

std::string WhyNotReadableFile(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty())
        return "an empty path names no file";
    std::error_code ec;
    const fs::file_status status = fs::status(fs::u8path(path), ec);
    if (status.type() == fs::file_type::not_found) {
        const fs::file_status link = fs::symlink_status(fs::u8path(path), ec);
        return link.type() == fs::file_type::symlink ? "a link to a file that does not exist" : "no such file";
    }
    if (ec)
        return ec.message();
    if (status.type() == fs::file_type::directory)
        return "is a directory, not a file";
    if (status.type() != fs::file_type::regular)
        return "is not a regular file";
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in)
        return std::string("cannot be read: ") + std::strerror(errno);
    return std::string();
}

} // namespace hostsim
