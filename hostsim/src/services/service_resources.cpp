// The stand-in host's plug-in resources.
#include <filesystem>
#include <map>
#include "hostsim/resource_files.h"

#include "../core/host_internal.h"
#include "../formats/file_stamp.h"

namespace hostsim {

namespace fs = std::filesystem;

namespace {

// A resource folder as read once: what it held, what reading it logged, and the stamps of the
// folders and files it was read from (HostOptions::reuseUnchangedFiles).
struct ReadFolder {
    std::vector<std::string> paths;
    std::vector<FileStamp> stamps;
    bool loaded = false;
    Resource resource;
    std::vector<std::string> log;
};

// The folders and files reading `folder` depends on: the folder, its symbols, the language folder
// and its string table (a folder's time changes when an entry is added, removed or renamed).
std::vector<std::string> ResourceInputs(const std::string& folder) {
    const std::string language = FindIgnoringCase(folder, kHostLanguageFolder);
    return {folder, FindIgnoringCase(folder, "c4d_symbols.h"), language,
            FindIgnoringCase(language, "c4d_strings.str"), FindIgnoringCase(folder, "strings_us")};
}

// Reads a resource folder, or answers what was read from it before when nothing it depends on
// has changed since.
const ReadFolder& ReadResource(const std::string& folder, bool reuse) {
    static std::map<std::string, ReadFolder> read;
    static ReadFolder once;
    if (reuse) {
        const auto it = read.find(folder);
        if (it != read.end() && StampsOf(it->second.paths) == it->second.stamps)
            return it->second;
    }
    ReadFolder r;
    if (reuse) {
        r.paths = ResourceInputs(folder);
        r.stamps = StampsOf(r.paths);
    }
    ResourceDiagnostics diagnostics;
    r.loaded = LoadResourceFolder(folder, &r.resource, &diagnostics);
    for (const ResourceDiagnostic& d : diagnostics.All())
        if (d.severity == ResourceDiagnostic::Severity::Warning)
            r.log.push_back("resource: " + d.Format());
    if (!r.loaded)
        r.log.push_back("resource not loaded: " + diagnostics.FirstError());
    if (!reuse) {
        once = std::move(r);
        return once;
    }
    // Stamps taken after reading would miss a change made while it was read.
    if (StampsOf(r.paths) != r.stamps)
        r.stamps.clear();
    return read[folder] = std::move(r);
}

} // namespace

struct ResourceService {
static C4D_Resource* ResLoad(const C4D_Filename* folder) {
    Host& h = H();
    const std::string path = I().PathOf(folder, "Resource Load");
    h.resourceLoads_.push_back(path);
    const uint64_t serial = I().Allocate(AllocKind::Resources);
    if (!serial)
        return nullptr;
    if (path.empty() || !fs::u8path(path).is_absolute()) {
        h.LogLine("resource not loaded: the folder \"" + path + "\" is not an absolute path");
        return nullptr;
    }
    // The folder given is the resource folder itself, or a module folder that holds one in `res`.
    std::string use = path;
    std::error_code ec;
    if (FindIgnoringCase(path, "c4d_symbols.h").empty() && fs::is_directory(fs::u8path(path) / "res", ec))
        use = (fs::u8path(path) / "res").u8string();
    const ReadFolder& read = ReadResource(use, h.Options().reuseUnchangedFiles);
    for (const std::string& line : read.log)
        h.LogLine(line);
    if (!read.loaded)
        return nullptr;
    auto owned = std::make_unique<Resource>(read.resource);
    Resource* raw = owned.get();
    I().resources.emplace(raw, std::make_pair(serial, std::move(owned)));
    h.LogLine("loaded resource " + use + " (" + std::to_string(raw->strings.size()) + " strings)");
    return raw;
}

static void ResRelease(C4D_Resource* res, bool release) {
    if (!res || !I().KnownResource(res, "Resource Release"))
        return;
    H().resourceReleaseLog_.push_back({res->folder, release});
    H().LogLine("released resource " + res->folder + (release ? "" : " (release flag false)"));
    I().resources.erase(res);
}

static C4D_HString ResLoadString(const C4D_Resource* res, int32_t id) {
    H().stringLookups_.push_back(id);
    if (res && I().KnownResource(res, "Resource LoadString")) {
        auto it = res->strings.find(id);
        if (it != res->strings.end())
            return I().NewString(it->second);
        // The module shows this text to the user: a missing one is a fault of the module or its
        // resource, not something to pass over silently.
        H().LogLine("resource string " + std::to_string(id) + " is not in " + res->folder + "; answered \"" +
                    kDefaultString + "\"");
    } else if (!res) {
        H().LogLine("resource string " + std::to_string(id) + " asked for without a resource; answered \"" +
                    kDefaultString + "\"");
    }
    return I().NewString(kDefaultString);
}
};

namespace abi {
const C4D_ResourceTable kResource = {
    HOSTSIM_COUNTED(Resources, ResourceService::ResLoad),
    HOSTSIM_COUNTED(Resources, ResourceService::ResRelease),
    HOSTSIM_COUNTED(Resources, ResourceService::ResLoadString)};
} // namespace abi
} // namespace hostsim
