// Where the host cannot run macOS code (Windows, or a processor other than x86-64 and arm64), a macOS
// module is refused with the reason rather than handed to a loader that cannot read it.
#include "../module_loaders.h"

namespace hostsim {

std::unique_ptr<DynamicLibrary::Image> OpenMachOModule(const std::string& /*path*/, std::string* why) {
    *why = "it is a macOS (Mach-O) module, which this host runs only on Linux x86-64 and arm64";
    return nullptr;
}

} // namespace hostsim
