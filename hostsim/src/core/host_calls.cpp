// Counting the module's calls into the host, per service area.

#include "hostsim/host.h"

namespace hostsim {

const char* ServiceAreaName(ServiceArea area) {
    switch (area) {
    case ServiceArea::System: return "system";
    case ServiceArea::Strings: return "strings";
    case ServiceArea::General: return "general";
    case ServiceArea::Containers: return "containers";
    case ServiceArea::Bitmaps: return "bitmaps";
    case ServiceArea::Files: return "files";
    case ServiceArea::Dialogs: return "dialogs";
    case ServiceArea::Resources: return "resources";
    case ServiceArea::Lists: return "lists";
    case ServiceArea::Scene: return "scene";
    case ServiceArea::Documents: return "documents";
    }
    return "?";
}

uint64_t Host::HostCallsTotal() const {
    uint64_t total = 0;
    for (uint64_t n : hostCalls_)
        total += n;
    return total;
}

} // namespace hostsim
