// c4d_resource.h - plug-in resources: string tables and dialog descriptions from a folder.
#ifndef CORVEL_HOST_C4D_RESOURCE_H
#define CORVEL_HOST_C4D_RESOURCE_H

#include "c4d_file.h"
#include "c4d_link.h"
#include "c4d_string.h"

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
    // The same with `folder` itself as the resource folder (nothing is joined to it). `release`
    // is handed back to the host when the resource is released.
    Bool Init(const Filename& folder, Bool release = true);

    // Gives the resource back to the host and frees the folder; afterwards a new Init loads again.
    void Free();

    // The string `id`; the host's default string when nothing is loaded or `id` is unknown.
    String LoadString(Int32 id) const;

    const C4D_Resource* Get() const { return handle_; }

private:
    C4D_Resource* handle_ = nullptr;
    Filename* folder_ = nullptr; // on the host's heap, owned
    Bool loaded_ = false;        // a load was attempted
    Bool release_ = false;
};

// The module's own resource, loaded at plug-in message 1 and released at the last action 3.
extern GeResource g_resource;

// A string of the module's resource; the host's default string when it isn't loaded.
String GeLoadString(Int32 id);

#endif // CORVEL_HOST_C4D_RESOURCE_H
