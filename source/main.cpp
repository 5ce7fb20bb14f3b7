// main.cpp - the plug-in hooks: start, messages and end of the module's life in the host.
#include "c4d.h"
#include "corvel.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

Bool PluginStart() {
    const Bool registered = RegisterCorvel();
    GePrint(registered ? "Tarnwick Software: Corvel successfully loaded."_s
                       : "Tarnwick Software: Failed to register Corvel"_s);
    GePrint(" "_s);
    return registered;
}

void PluginEnd() {}

Bool PluginMessage(Int32 id, void* /*data*/) {
    switch (id) {
    case C4DMSG_PRIORITY:
        return true;
    case C4DPL_INIT_SYS:
        // The command's name and help text come from this resource, so it is loaded before start.
        if (!g_resource.Init()) {
            GePrint("Corvel: failed to load resource file."_s);
            return false;
        }
        return true;
    default:
        return false;
    }
}

#if API_VERSION >= 2025000
} // namespace cinema
#endif
