// The stand-in host's keyed containers.

#include "../core/host_internal.h"

namespace hostsim {

struct ContainerService {
static C4D_Container* BcAlloc(int32_t id) {
    const uint64_t serial = I().Allocate(AllocKind::Containers);
    if (!serial)
        return nullptr;
    auto owned = std::make_unique<Container>(id);
    Container* raw = owned.get();
    I().containers.emplace(raw, std::make_pair(serial, std::move(owned)));
    return raw;
}

static void BcFree(C4D_Container* bc) {
    if (!bc)
        return;
    if (!I().containers.count(bc)) {
        H().Violation("Container Free: " + Ptr(bc) + " is not a live container of the module");
        return;
    }
    I().containers.erase(bc);
}

static bool BcCopyTo(C4D_Container* dst, const C4D_Container* src) {
    if (!dst || !src || !I().KnownContainer(dst, "Container CopyTo", true) ||
        !I().KnownContainer(src, "Container CopyTo", false))
        return false;
    // A copy can fail like an allocation (the destination is left as it was).
    if (!I().Allocate(AllocKind::ContainerCopies))
        return false;
    if (dst != src)
        *dst = *src;
    return true;
}

static int32_t BcGetId(const C4D_Container* bc) {
    return bc && I().KnownContainer(bc, "Container GetId", false) ? bc->id : 0;
}

static void BcSetId(C4D_Container* bc, int32_t id) {
    if (bc && I().KnownContainer(bc, "Container SetId", true))
        bc->id = id;
}

static bool BcSetInt32(C4D_Container* bc, int32_t key, int32_t v) {
    if (!bc || !I().KnownContainer(bc, "Container SetInt32", true))
        return false;
    bc->SetInt32(key, v);
    return true;
}

static bool BcSetBool(C4D_Container* bc, int32_t key, bool v) {
    if (!bc || !I().KnownContainer(bc, "Container SetBool", true))
        return false;
    bc->SetBool(key, v);
    return true;
}

static bool BcSetFloat(C4D_Container* bc, int32_t key, double v) {
    if (!bc || !I().KnownContainer(bc, "Container SetFloat", true))
        return false;
    bc->SetFloat(key, v);
    return true;
}

static int32_t BcGetInt32(const C4D_Container* bc, int32_t key, int32_t preset) {
    return bc && I().KnownContainer(bc, "Container GetInt32", false) ? bc->GetInt32(key, preset) : preset;
}

static bool BcGetBool(const C4D_Container* bc, int32_t key, bool preset) {
    return bc && I().KnownContainer(bc, "Container GetBool", false) ? bc->GetBool(key, preset) : preset;
}

static double BcGetFloat(const C4D_Container* bc, int32_t key, double preset) {
    return bc && I().KnownContainer(bc, "Container GetFloat", false) ? bc->GetFloat(key, preset) : preset;
}

static int32_t BcGetCount(const C4D_Container* bc) {
    return bc && I().KnownContainer(bc, "Container GetCount", false) ? static_cast<int32_t>(bc->entries.size()) : 0;
}

static int32_t BcGetIndexId(const C4D_Container* bc, int32_t index) {
    if (!bc || !I().KnownContainer(bc, "Container GetIndexId", false) || index < 0 ||
        static_cast<size_t>(index) >= bc->entries.size())
        return 0;
    return bc->entries[static_cast<size_t>(index)].first;
}
};

namespace abi {
const C4D_ContainerTable kContainer = {
    HOSTSIM_COUNTED(Containers, ContainerService::BcAlloc),
    HOSTSIM_COUNTED(Containers, ContainerService::BcFree),
    HOSTSIM_COUNTED(Containers, ContainerService::BcCopyTo),
    HOSTSIM_COUNTED(Containers, ContainerService::BcGetId),
    HOSTSIM_COUNTED(Containers, ContainerService::BcSetId),
    HOSTSIM_COUNTED(Containers, ContainerService::BcSetInt32),
    HOSTSIM_COUNTED(Containers, ContainerService::BcSetBool),
    HOSTSIM_COUNTED(Containers, ContainerService::BcSetFloat),
    HOSTSIM_COUNTED(Containers, ContainerService::BcGetInt32),
    HOSTSIM_COUNTED(Containers, ContainerService::BcGetBool),
    HOSTSIM_COUNTED(Containers, ContainerService::BcGetFloat),
    HOSTSIM_COUNTED(Containers, ContainerService::BcGetCount),
    HOSTSIM_COUNTED(Containers, ContainerService::BcGetIndexId)};
} // namespace abi
} // namespace hostsim
