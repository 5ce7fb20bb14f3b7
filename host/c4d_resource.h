// c4d_resource.h - plug-in resources: string tables and dialog descriptions.
#ifndef CORVEL_HOST_C4D_RESOURCE_H
#define CORVEL_HOST_C4D_RESOURCE_H

#include "c4d_file.h"
#include "c4d_string.h"
#include "maxon/apibase.h"

#if !defined(CORVEL_SDK_STRICT)
#include "c4d_link.h"
#endif

#if API_VERSION >= 2025000
namespace cinema {
#endif

class GeResource {
public:
    constexpr GeResource() = default;
    GeResource(const GeResource&) = delete;
    GeResource& operator=(const GeResource&) = delete;
    // Releases what the resource holds.
    ~GeResource();

    // Loads the plug-in resource from the folder "res" in the plug-in folder. Answers whether a
    // resource is held. Only the first attempt asks the host: after a failed load, later calls
    // answer false at once until Free().
    Bool Init();
    // The same from the plug-in folder `path` (the host finds the resource folder in it).
    // `regardIsStopped` is handed back to the host when the resource is released.
    Bool Init(const Filename& path, Bool regardIsStopped = true);

    // Gives the resource back to the host; afterwards a new Init loads again.
    void Free();

    // The string `id`; the host's default string when nothing is loaded or `id` is unknown. The
    // reference stays valid for the next few lookups and until Free().
    const String& LoadString(Int32 id);

#if !defined(CORVEL_SDK_STRICT)
    const C4D_Resource* Get() const { return handle_; }

private:
    C4D_Resource* handle_ = nullptr;
    Filename* folder_ = nullptr; // on the host's heap, owned
#else
private:
    void* handle_ = nullptr; // the strict check sees only the SDK's names; the size stays
    void* folder_ = nullptr;
#endif
    Bool loaded_ = false;        // a load was attempted
    Bool release_ = false;
    // The last strings handed out by reference, reused in turn.
    static constexpr Int32 kRecentStrings = 4;
    String recent_[kRecentStrings];
    Int32 nextRecent_ = 0;
};

// The module's own resource, loaded at plug-in message C4DPL_INIT_SYS and released at the end.
extern GeResource g_resource;

// A string of the module's resource; the host's default string when it isn't loaded.
const String& GeLoadString(Int32 id);

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_RESOURCE_H
