// The stand-in host's plug-in resources.
#include <filesystem>
#include "hostsim/resource_files.h"

#include "../core/host_internal.h"

namespace hostsim {

namespace fs = std::filesystem;

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
    auto owned = std::make_unique<Resource>();
    ResourceDiagnostics diagnostics;
    const bool loaded = LoadResourceFolder(use, owned.get(), &diagnostics);
    for (const ResourceDiagnostic& d : diagnostics.All())
        if (d.severity == ResourceDiagnostic::Severity::Warning)
            h.LogLine("resource: " + d.Format());
    if (!loaded) {
        h.LogLine("resource not loaded: " + diagnostics.FirstError());
        return nullptr;
    }
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
