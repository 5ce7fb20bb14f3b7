// c4d_plugin.h - plug-in objects, command registration and the plug-in hooks.
#ifndef CORVEL_HOST_C4D_PLUGIN_H
#define CORVEL_HOST_C4D_PLUGIN_H

#include "c4d_basecontainer.h"
#include "c4d_bitmap.h"
#include "c4d_document.h"
#include "c4d_link.h"
#include "c4d_string.h"

class GeDialog;

// The SDK version the module is built against, handed to the host with every registration.
constexpr Int32 API_VERSION = C4D_API_VERSION;
constexpr Int32 PLUGINTYPE_COMMAND = C4D_PLUGINTYPE_COMMAND;
constexpr Int32 CMD_ENABLED = C4D_CMD_ENABLED;

// The root of every object the module registers with the host. The host destroys registered
// objects through the virtual destructor.
class BaseData {
public:
    BaseData() = default;
    BaseData(const BaseData&) = delete;
    BaseData& operator=(const BaseData&) = delete;
    virtual ~BaseData() = default;
};

// A command in the host's menus. The host calls these on its main thread; `doc` is the active
// document when the host names one. The base behaviours are the answers of a command that does
// nothing beyond Execute.
class CommandData : public BaseData {
public:
    // Runs the command; the base answers false.
    virtual Bool Execute(BaseDocument doc, GeDialog* parentManager);
    // Runs a sub-command; the base answers false.
    virtual Bool ExecuteSubID(BaseDocument doc, Int32 subid, GeDialog* parentManager);
    // Runs the command's option; the base answers false.
    virtual Bool ExecuteOptionID(BaseDocument doc, Int32 subid, GeDialog* parentManager);
    // The command's state; the base answers CMD_ENABLED.
    virtual Int32 GetState(BaseDocument doc, GeDialog* parentManager);
    // Fills a sub-menu; the base answers false and fills nothing.
    virtual Bool GetSubContainer(BaseDocument doc, BaseContainer& submenu, GeDialog* parentManager);
    // Reopens a window in the saved layout `secret`; the base answers false.
    virtual Bool RestoreLayout(void* secret);
    // The name scripts use for the command; the base answers the empty string.
    virtual String GetScriptName();
    // A message from the host; the base answers true.
    virtual Bool Message(Int32 type, void* data);
};

// Registers `dat` (made with NewObjClear) as command `id`. A null `dat` answers false without
// asking the host (the registration of a command that could not be made fails). Otherwise answers
// the host's answer, and `dat` belongs to the host from the call on, whatever it answered: an
// accepted object is destroyed by the host through the record's destroy entry; what happens to a
// refused one is the host's choice, and the caller must not touch or free it. `icon` and the
// strings are only borrowed for the call.
Bool RegisterCommandPlugin(Int32 id, const String& str, Int32 info, BaseBitmap* icon,
                           const String& help, CommandData* dat);

// The plug-in hooks, implemented by the plug-in core and called only by c4d_main.
Bool PluginStart();
void PluginEnd();
Bool PluginMessage(Int32 id, void* data);

#endif // CORVEL_HOST_C4D_PLUGIN_H
