// The stand-in host's file names.
#include <filesystem>
#include "../core/host_internal.h"

namespace hostsim {

namespace fs = std::filesystem;

struct FileService {
static void FnConstruct(C4D_Filename* fn) {
    if (!fn) {
        H().Violation("Filename Construct: null storage");
        return;
    }
    fn->impl = nullptr;
}

static void FnDestruct(C4D_Filename* fn) {
    if (!fn || !fn->impl)
        return;
    auto* impl = static_cast<FilenameImpl*>(fn->impl);
    if (impl == &I().moduleFile) {
        H().Violation("Filename Destruct: the module destructed the host's file name of the module");
        return;
    }
    if (!I().filenames.count(impl)) {
        H().Violation("Filename Destruct: unknown or already destructed content " + Ptr(impl));
        fn->impl = nullptr;
        return;
    }
    I().filenames.erase(impl);
    fn->impl = nullptr;
}

static bool FnCopyTo(C4D_Filename* dst, const C4D_Filename* src) {
    if (!dst)
        return false;
    const std::string path = I().PathOf(src, "Filename CopyTo");
    return I().StorePath(dst, path, "Filename CopyTo");
}

static bool FnJoin(C4D_Filename* dst, const C4D_Filename* base, C4D_HString part) {
    if (!dst)
        return false;
    std::string path = I().PathOf(base, "Filename Join");
    const std::string add = I().Text(part, "Filename Join");
    if (path.empty())
        path = add;
    else if (!add.empty())
        path += (path.back() == '/' || path.back() == kPathSeparator ? std::string() : std::string(1, kPathSeparator)) + add;
    return I().StorePath(dst, path, "Filename Join");
}

static bool FnGetDirectory(C4D_Filename* dst, const C4D_Filename* src) {
    if (!dst)
        return false;
    const std::string path = I().PathOf(src, "Filename GetDirectory");
    std::string dir;
    const size_t cut = path.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
    if (cut != std::string::npos)
        dir = cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
    return I().StorePath(dst, dir, "Filename GetDirectory");
}

static C4D_HString FnGetString(const C4D_Filename* fn) {
    const std::string path = I().PathOf(fn, "Filename GetString");
    return path.empty() ? nullptr : I().NewString(path);
}

static bool FnSetString(C4D_Filename* fn, C4D_HString path) {
    if (!fn)
        return false;
    return I().StorePath(fn, I().Text(path, "Filename SetString"), "Filename SetString");
}

static bool FnExecuteFile(const C4D_Filename* fn) {
    Host& h = H();
    const std::string path = I().PathOf(fn, "Filename ExecuteFile");
    h.executedFiles_.push_back(path);
    std::error_code ec;
    const bool exists = !path.empty() && fs::is_regular_file(fs::u8path(path), ec);
    h.LogLine("open file " + path + (exists ? ": handed to the system's viewer (not started by the stand-in host)"
                                            : ": no such file"));
    return exists;
}
};

namespace abi {
const C4D_FileTable kFile = {
    HOSTSIM_COUNTED(Files, FileService::FnConstruct),
    HOSTSIM_COUNTED(Files, FileService::FnDestruct),
    HOSTSIM_COUNTED(Files, FileService::FnCopyTo),
    HOSTSIM_COUNTED(Files, FileService::FnJoin),
    HOSTSIM_COUNTED(Files, FileService::FnGetDirectory),
    HOSTSIM_COUNTED(Files, FileService::FnGetString),
    HOSTSIM_COUNTED(Files, FileService::FnSetString),
    HOSTSIM_COUNTED(Files, FileService::FnExecuteFile)};
} // namespace abi
} // namespace hostsim
