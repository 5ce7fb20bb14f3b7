// c4d_commanddata.h - commands in the host's menus and their registration.
#ifndef CORVEL_HOST_C4D_COMMANDDATA_H
#define CORVEL_HOST_C4D_COMMANDDATA_H

#include "c4d_basebitmap.h"
#include "c4d_basecontainer.h"
#include "c4d_basedata.h"
#include "c4d_basedocument.h"
#include "c4d_string.h"
#include "maxon/apibase.h"
#include "maxon/string.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

class GeDialog;

// A command. The host calls these on its main thread; `doc` is the active document when the host
// names one (null otherwise). The base behaviours are the answers of a command that does nothing
// beyond Execute.
class CommandData : public BaseData {
public:
    // Runs the command; the base answers false.
    virtual Bool Execute(BaseDocument* doc, GeDialog* parentManager);
    // Runs a sub-command; the base answers false.
    virtual Bool ExecuteSubID(BaseDocument* doc, Int32 subid, GeDialog* parentManager);
    // Runs the command's option; the base answers false.
    virtual Bool ExecuteOptionID(BaseDocument* doc, Int32 plugid, Int32 subid, GeDialog* parentManager);
    // The command's state; the base answers CMD_ENABLED.
    virtual Int32 GetState(BaseDocument* doc, GeDialog* parentManager);
    // Fills a sub-menu; the base answers false and fills nothing.
    virtual Bool GetSubContainer(BaseDocument* doc, BaseContainer& submenu, GeDialog* parentManager);
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
Bool RegisterCommandPlugin(Int32 id, const maxon::String& str, Int32 info, BaseBitmap* icon,
                           const maxon::String& help, CommandData* dat);

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_COMMANDDATA_H
