// The interfaces the stand-in host binds through g_maxon (system: heap and delete; string: host
// strings), the host object and the resolver.
#include <cstdlib>
#include <cstring>

#include "../core/host_internal.h"

namespace hostsim {

struct MaxonServices {
// ------------------------------------------------------------------------------------------------
// System interface (bound through g_maxon)
// ------------------------------------------------------------------------------------------------
static void* SysAlloc(int64_t size) {
    if (size < 0) {
        H().Violation("Alloc: negative size " + std::to_string(size));
        return nullptr;
    }
    const uint64_t serial = I().Allocate(AllocKind::Heap);
    if (!serial)
        return nullptr;
    void* memory = std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
    if (!memory)
        return nullptr;
    std::memset(memory, 0xA5, size == 0 ? 1 : static_cast<size_t>(size)); // never zero: callers clear
    I().heap[memory] = {serial, size, std::string()};
    return memory;
}

// The module handing back a command object the host kept after refusing its registration: the
// host owns it and would free it again.
static bool FreesAKeptObject(void* memory, const char* op) {
    for (const KeptCommandObject& kept : H().KeptCommandObjects()) {
        if (kept.object == memory) {
            H().Violation(std::string(op) + ": " + Ptr(memory) + " is the command object of plug-in " +
                          std::to_string(kept.pluginId) + ", which the host kept after refusing its registration");
            return true;
        }
    }
    return false;
}

static void SysFree(void* memory) {
    if (!memory || FreesAKeptObject(memory, "Free"))
        return;
    auto it = I().heap.find(memory);
    if (it == I().heap.end()) {
        H().Violation("Free: " + Ptr(memory) + " is not a live block of the host heap (double free?)");
        return;
    }
    I().heap.erase(it);
    std::free(memory);
}

static void SysDeleteObject(void* object, void (*destruct)(void*)) {
    if (!object || FreesAKeptObject(object, "DeleteObject"))
        return;
    if (!I().heap.count(object)) {
        H().Violation("DeleteObject: " + Ptr(object) + " is not a live block of the host heap");
        return;
    }
    if (destruct)
        destruct(object);
    SysFree(object);
}

// ------------------------------------------------------------------------------------------------
// String interface (bound through g_maxon)
// ------------------------------------------------------------------------------------------------
static C4D_HString StrCreate(const char* utf8, int64_t length) {
    if (length < 0 || (!utf8 && length > 0)) {
        H().Violation("String Create: bad text (" + Ptr(utf8) + ", length " + std::to_string(length) + ")");
        return nullptr;
    }
    return I().NewString(length == 0 ? std::string() : std::string(utf8, static_cast<size_t>(length)));
}

static void StrRetain(C4D_HString s) {
    if (s && I().KnownString(s, "String Retain"))
        ++s->references;
}

static void StrRelease(C4D_HString s) {
    if (!s || !I().KnownString(s, "String Release"))
        return;
    if (--s->references == 0) {
        I().strings.erase(s);
        delete s;
    }
}

static const char* StrGetUtf8(C4D_HString s) {
    if (!s || !I().KnownString(s, "String GetUtf8"))
        return "";
    return s->text.c_str();
}

static int64_t StrGetLength(C4D_HString s) {
    if (!s || !I().KnownString(s, "String GetLength"))
        return 0;
    return static_cast<int64_t>(s->text.size());
}

// ------------------------------------------------------------------------------------------------
// Host object and resolver (g_maxon offsets 40, 48)
// ------------------------------------------------------------------------------------------------
static C4D_HString GetApplicationFolder(int32_t which) {
    const std::string& folder = H().Options().startupFolder;
    if (which != MAXON_FOLDER_STARTUP || folder.empty())
        return nullptr;
    return I().NewString(folder);
}
};

namespace abi {
const MaxonSystemInterface kSystem = {
    HOSTSIM_COUNTED(System, MaxonServices::SysAlloc),
    HOSTSIM_COUNTED(System, MaxonServices::SysFree),
    HOSTSIM_COUNTED(System, MaxonServices::SysDeleteObject)};
const MaxonStringInterface kString = {
    HOSTSIM_COUNTED(Strings, MaxonServices::StrCreate),
    HOSTSIM_COUNTED(Strings, MaxonServices::StrRetain),
    HOSTSIM_COUNTED(Strings, MaxonServices::StrRelease),
    HOSTSIM_COUNTED(Strings, MaxonServices::StrGetUtf8),
    HOSTSIM_COUNTED(Strings, MaxonServices::StrGetLength)};
const MaxonHostObject kHostObject = {MaxonServices::GetApplicationFolder};

int32_t Resolver(void*, const MaxonEntity* declaration, void** slot) {
    if (!declaration || !slot)
        return 1;
    if (declaration->type == MAXON_ENTITY_INTERFACE_REFERENCE && declaration->id.text) {
        if (std::strcmp(declaration->id.text, MAXON_SYSTEM_INTERFACE_ID) == 0) {
            *slot = const_cast<MaxonSystemInterface*>(&kSystem);
            return 0;
        }
        if (std::strcmp(declaration->id.text, MAXON_STRING_INTERFACE_ID) == 0) {
            *slot = const_cast<MaxonStringInterface*>(&kString);
            return 0;
        }
    }
    H().LogLine(std::string("resolver: unknown declaration \"") + (declaration->id.text ? declaration->id.text : "") + "\"");
    return 1;
}
} // namespace abi
} // namespace hostsim
