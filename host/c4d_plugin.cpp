// c4d_plugin.cpp - plug-in objects and command registration.
#include "c4d_commanddata.h"

#include <cstring>

#include "c4d_memory.h"
#include "gui.h"

CORVEL_CINEMA_BEGIN

Bool CommandData::Execute(BaseDocument*, GeDialog*) { return false; }
Bool CommandData::ExecuteSubID(BaseDocument*, Int32, GeDialog*) { return false; }
Bool CommandData::ExecuteOptionID(BaseDocument*, Int32, Int32, GeDialog*) { return false; }
Int32 CommandData::GetState(BaseDocument*, GeDialog*) { return CMD_ENABLED; }
Bool CommandData::GetSubContainer(BaseDocument*, BaseContainer&, GeDialog*) { return false; }
Bool CommandData::RestoreLayout(void*) { return false; }
String CommandData::GetScriptName() { return String(); }
Bool CommandData::Message(Int32, void*) { return true; }

namespace {

// The entries of the registration record. The host hands back the registered object as `object`;
// each entry dispatches to the virtual operation of the same name.
CommandData* AsCommand(void* object) { return static_cast<CommandData*>(object); }

// A document pointer is the host's handle itself.
BaseDocument* AsDocument(C4D_Document* doc) { return reinterpret_cast<BaseDocument*>(doc); }

// The id the command was registered under; ExecuteOptionID hands it on as the SDK does.
Int32 g_registeredId = 0;

void DestroyCommand(void* object) {
    if (!object)
        return;
    // The host's delete operation runs the virtual destructor (without freeing), then frees the
    // memory the object was allocated in.
    c4d_link::DeleteObject(object, [](void* o) { AsCommand(o)->~CommandData(); });
}

bool ExecuteEntry(void* object, C4D_Document* doc) {
    return AsCommand(object)->Execute(AsDocument(doc), nullptr);
}

int32_t GetStateEntry(void* object, C4D_Document* doc) {
    return AsCommand(object)->GetState(AsDocument(doc), nullptr);
}

bool RestoreLayoutEntry(void* object, void* layoutData) {
    return AsCommand(object)->RestoreLayout(layoutData);
}

C4D_HString GetScriptNameEntry(void* object) { return AsCommand(object)->GetScriptName().Release(); }

bool GetSubContainerEntry(void* object, C4D_Document* doc, C4D_Container* submenu) {
    BaseContainer menu = BaseContainer::BorrowMutable(submenu);
    return AsCommand(object)->GetSubContainer(AsDocument(doc), menu, nullptr);
}

bool ExecuteSubIDEntry(void* object, C4D_Document* doc, int32_t subid) {
    return AsCommand(object)->ExecuteSubID(AsDocument(doc), subid, nullptr);
}

bool MessageEntry(void* object, int32_t type, void* data) { return AsCommand(object)->Message(type, data); }

bool ExecuteOptionIDEntry(void* object, C4D_Document* doc, int32_t subid) {
    return AsCommand(object)->ExecuteOptionID(AsDocument(doc), g_registeredId, subid, nullptr);
}

} // namespace

Bool RegisterCommandPlugin(Int32 id, const maxon::String& str, Int32 info, BaseBitmap* icon,
                           const maxon::String& help, CommandData* dat) {
    if (!dat)
        return false;
    const C4D_GeneralTable* general = c4d_link::General();
    if (!general) {
        // The host never saw the object, so it is still ours to destroy.
        DestroyCommand(dat);
        return false;
    }

    C4D_CommandPluginRecord record;
    std::memset(&record, 0, sizeof record);
    record.info = info;
    record.Destroy = &DestroyCommand;
    record.object = static_cast<void*>(dat);
    record.help = help.Get();
    record.icon = icon ? icon->Get() : nullptr;
    record.Execute = &ExecuteEntry;
    record.GetState = &GetStateEntry;
    record.RestoreLayout = &RestoreLayoutEntry;
    record.reserved = nullptr;
    record.GetScriptName = &GetScriptNameEntry;
    record.GetSubContainer = &GetSubContainerEntry;
    record.ExecuteSubID = &ExecuteSubIDEntry;
    record.Message = &MessageEntry;
    record.ExecuteOptionID = &ExecuteOptionIDEntry;

    g_registeredId = id;
    // The version handed over is the binary interface's, whichever SDK shape the module presents.
    const Bool accepted = general->RegisterPlugin(C4D_API_VERSION, static_cast<Int32>(PLUGINTYPE::COMMAND), id, str.Get(),
                                                  &record, static_cast<Int32>(sizeof record));
    // From this call on the object is the host's, accepted or not. Hosts differ in what they do
    // with a refused one (some destroy it through the record's destroy entry, some keep it), so
    // destroying it here could free it twice during the host's start-up; one small object left
    // over after a rare refusal is the far smaller harm.
    return accepted;
}

CORVEL_CINEMA_END
