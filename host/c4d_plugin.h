// c4d_plugin.h - the plug-in hooks and the messages the host sends to them.
#ifndef CORVEL_HOST_C4D_PLUGIN_H
#define CORVEL_HOST_C4D_PLUGIN_H

#include "maxon/apibase.h"

// Actions of the module's entry point, also sent to PluginMessage where noted.
#define C4DPL_INIT_SYS 1 // initialise the system; PluginMessage loads the resource then
#define C4DPL_INIT 2     // start: PluginStart()
#define C4DPL_END 3      // end: PluginEnd()
#define C4DPL_MESSAGE 6  // a plug-in message: PluginMessage()

// Plug-in messages.
#define C4DMSG_PRIORITY 0 // the host asks for the plug-in's loading priority

#if API_VERSION >= 2025000
namespace cinema {
#endif

// The plug-in hooks, implemented by the plug-in and called only by c4d_main.
Bool PluginStart();
void PluginEnd();
Bool PluginMessage(Int32 id, void* data);

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_PLUGIN_H
