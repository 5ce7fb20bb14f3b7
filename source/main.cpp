// main.cpp - the plug-in hooks: start, messages and end of the module's life in the host.
#include "c4d_general.h"
#include "c4d_plugin.h"
#include "c4d_resource.h"
#include "corvel.h"
#include "maxon_glue.h"

CORVEL_PLUGIN_TRANSLATION_UNIT("main")

namespace {
// Plug-in messages the module answers.
constexpr Int32 PLMSG_0 = C4D_PLMSG_0;
constexpr Int32 PLMSG_INIT_SYS = C4D_PLMSG_INIT_SYS;
} // namespace

Bool PluginStart() {
    const Bool registered = RegisterCorvel();
    GePrint(registered ? "Tarnwick Software: Corvel successfully loaded."
                       : "Tarnwick Software: Failed to register Corvel");
    GePrint(" ");
    return registered;
}

void PluginEnd() {}

Bool PluginMessage(Int32 id, void* /*data*/) {
    switch (id) {
    case PLMSG_0:
        return true;
    case PLMSG_INIT_SYS:
        // The command's name and help text come from this resource, so it is loaded before start.
        if (!g_resource.Init()) {
            GePrint("Corvel: failed to load resource file.");
            return false;
        }
        return true;
    default:
        return false;
    }
}
