// host_internal.h - the stand-in host's registries of module-owned objects, shared by the host object (core/host*.cpp)
// (lifecycle, binding, accounting), registry.cpp and the service_*.cpp files (the operations behind
// the ABI tables, one file per service area).
#ifndef CORVEL_HOSTSIM_HOST_INTERNAL_H
#define CORVEL_HOSTSIM_HOST_INTERNAL_H

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>

#include "hostsim/host.h"

namespace hostsim {

// The object behind C4D_Filename.impl.
struct FilenameImpl {
    std::string path;
};

struct Host::Internal {
    explicit Internal(Host& h) : host(h) {}
    Host& host;

    struct HeapBlock {
        uint64_t serial = 0;
        int64_t size = 0;
        std::string note;
    };
    std::map<void*, HeapBlock> heap;
    std::map<const HostString*, uint64_t> strings;
    std::map<const Container*, std::pair<uint64_t, std::unique_ptr<Container>>> containers;
    std::map<const Bitmap*, std::pair<uint64_t, std::unique_ptr<Bitmap>>> bitmaps;
    std::map<const FilenameImpl*, std::pair<uint64_t, std::unique_ptr<FilenameImpl>>> filenames;
    std::map<const DialogWindow*, std::pair<uint64_t, std::unique_ptr<DialogWindow>>> windows;
    std::map<const Resource*, std::pair<uint64_t, std::unique_ptr<Resource>>> resources;

    FilenameImpl moduleFile;                     // behind the C4D_Filename handed to action 1
    std::set<const Container*> inFlight;         // host containers lent to the module for a call
    DialogWindow* lastOpened = nullptr;

    // Counts an allocation of `kind` and decides whether it fails (injected). Answers the serial
    // number of the allocation, or 0 when it fails.
    uint64_t Allocate(AllocKind kind);

    // Registry look-ups; each reports a violation (naming `op`) when the object is unknown.
    bool KnownString(C4D_HString s, const char* op);
    bool KnownContainer(const Container* bc, const char* op, bool mutableAccess);
    bool KnownBitmap(const Bitmap* bmp, const char* op);
    bool KnownWindow(const DialogWindow* w, const char* op);
    bool KnownResource(const Resource* res, const char* op);
    bool KnownListObject(const ListObject* obj, const char* op);
    bool KnownDocument(const Document* doc, const char* op);
    // The path of a file name ("" for null or empty); a violation when impl is unknown.
    std::string PathOf(const C4D_Filename* fn, const char* op);
    // Stores `path` in `fn` (a module-side file name): answers false (fn empty) on failure.
    bool StorePath(C4D_Filename* fn, const std::string& path, const char* op);

    // A host string handed to the module (counted as a String allocation); null when it fails.
    C4D_HString NewString(const std::string& text);
    std::string Text(C4D_HString s, const char* op);

    // Whether `address` lies in a command object the host kept from a refused registration.
    bool KeptByHost(const void* address) const;
    // The live host objects of the module (false) or of the kept command objects (true).
    std::vector<LiveObject> Objects(bool keptByHost) const;

    void FreeAll(); // at host destruction: drop whatever the module left behind
};

namespace abi {
extern const MaxonSystemInterface kSystem;
extern const MaxonStringInterface kString;
extern const MaxonHostObject kHostObject;
int32_t Resolver(void* work, const MaxonEntity* declaration, void** slot);
extern const C4D_GeneralTable kGeneral;
extern const C4D_ContainerTable kContainer;
extern const C4D_BitmapTable kBitmap;
extern const C4D_FileTable kFile;
extern const C4D_DialogTable kDialog;
extern const C4D_ResourceTable kResource;
extern const C4D_ListTable kList;
extern const C4D_SceneTable kScene;
extern const C4D_DocumentTable kDocument;
} // namespace abi

// The current host, for the operations behind the tables (which carry no context pointer). A call
// while no host is current is a fault of the caller: it ends the process with a message.
inline Host& H() {
    Host* h = Host::Current();
    if (!h) {
        std::fprintf(stderr, "hostsim: the module called the host while no host is current\n");
        std::abort();
    }
    return *h;
}

inline Host::Internal& I() { return H().internal(); }

// Whether a table entry answering R must answer it widened to 32 bits. Apple's arm64 code trusts
// all 32 bits of a result narrower than that (on Apple's side the callee extends it); GCC on
// aarch64 Linux leaves the bits above a bool or char result undefined, so the module would read
// "true" where the host answered false. x86-64 leaves the extension to the caller on both systems.
template <typename R>
constexpr bool WidenedResult() {
#if defined(__aarch64__)
    if constexpr (std::is_integral_v<R>)
        return sizeof(R) < 4;
#endif
    return false;
}

// A table entry that counts the call against its service area before it runs the operation, so
// the cost of a module operation can be read in host calls. TableEntry() is what the table holds:
// the operation as it is, or (WidenedResult) an entry of the same arguments that answers the
// result zero- or sign-extended to 32 bits, entered under the table's type (through the generic
// function pointer type, the one cast between function types that states it is intended).
template <ServiceArea Area, auto Operation>
struct CountedOperation;
template <ServiceArea Area, typename R, typename... Args, R (*Operation)(Args...)>
struct CountedOperation<Area, Operation> {
    using Entry = R (*)(Args...);
    using Widened = std::conditional_t<std::is_signed_v<R>, int32_t, uint32_t>;

    static R Call(Args... args) {
        H().CountHostCall(Area);
        return Operation(args...);
    }
    static Widened CallWidened(Args... args) {
        H().CountHostCall(Area);
        return static_cast<Widened>(Operation(args...));
    }
    static constexpr Entry TableEntry() {
        if constexpr (WidenedResult<R>())
            return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(&CallWidened));
        else
            return &Call;
    }
};
#define HOSTSIM_COUNTED(area, operation) (CountedOperation<ServiceArea::area, &operation>::TableEntry())

// A pointer as text, for messages.
inline std::string Ptr(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

// Path separator of the platform's file names.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

} // namespace hostsim

#endif // CORVEL_HOSTSIM_HOST_INTERNAL_H
