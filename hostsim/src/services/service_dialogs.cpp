// The stand-in host's dialog windows: opening and closing through the message entry, gadgets,
// menus.
#include "hostsim/resource_files.h"

#include "../core/host_internal.h"

namespace hostsim {

struct DialogService {
static int32_t Send(DialogWindow* w, int32_t id) {
    Container msg(id);
    return H().SendDialogMessage(w, msg);
}

static C4D_DialogWindow* DlgCreateWindow(void* owner, C4D_DialogMessageFn entry) {
    if (!entry) {
        H().Violation("CreateWindow: no message entry");
        return nullptr;
    }
    const uint64_t serial = I().Allocate(AllocKind::Windows);
    if (!serial)
        return nullptr;
    auto owned = std::make_unique<DialogWindow>();
    owned->owner = owner;
    owned->entry = entry;
    DialogWindow* raw = owned.get();
    I().windows.emplace(raw, std::make_pair(serial, std::move(owned)));
    return raw;
}

static void DlgDestroyWindow(C4D_DialogWindow* w) {
    if (!w)
        return;
    if (!I().KnownWindow(w, "DestroyWindow"))
        return;
    if (I().lastOpened == w)
        I().lastOpened = nullptr;
    I().windows.erase(w); // the entry is not called: its owner is being destroyed
}

static bool OpenWindow(DialogWindow* w, const char* how) {
    Host& h = H();
    if (w->open) {
        h.LogLine(std::string(how) + ": the dialog is already open; brought to the front");
        I().lastOpened = w;
        return true;
    }
    if (Send(w, C4D_FOURCC('b', 'I', 'N', 'I')) == 0) {
        h.LogLine(std::string(how) + ": the dialog's layout was not built; the window is not shown");
        if (I().windows.count(w))
            Send(w, C4D_FOURCC('d', 's', 't', 'y'));
        return false;
    }
    if (!I().windows.count(w))
        return false;
    w->open = true;
    ++w->openCount;
    I().lastOpened = w;
    if (Send(w, C4D_FOURCC('b', 'V', 'I', 'N')) == 0)
        h.LogLine(std::string(how) + ": the dialog answered false to value initialisation");
    return true;
}

static bool DlgOpen(C4D_DialogWindow* w, int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t width,
             int32_t height, int32_t subId, int32_t flags) {
    if (!w || !I().KnownWindow(w, "Open"))
        return false;
    if (!w->open) {
        w->openType = type;
        w->pluginId = pluginId;
        w->subId = subId;
        w->x = x, w->y = y, w->width = width, w->height = height, w->flags = flags;
        w->layoutData = nullptr;
    }
    return OpenWindow(w, "Open");
}

static bool DlgRestoreLayout(C4D_DialogWindow* w, int32_t pluginId, int32_t subId, void* layoutData) {
    if (!w || !I().KnownWindow(w, "RestoreLayout"))
        return false;
    if (!w->open) {
        w->openType = C4D_DLG_TYPE_ASYNC;
        w->pluginId = pluginId;
        w->subId = subId;
        w->layoutData = layoutData;
    }
    return OpenWindow(w, "RestoreLayout");
}

static bool DlgClose(C4D_DialogWindow* w) {
    if (!w || !I().KnownWindow(w, "Close") || !w->open)
        return false;
    w->open = false;
    Send(w, C4D_FOURCC('d', 's', 't', 'y'));
    return true;
}

static hostsim::GadgetKind KindOf(const std::string& element) {
    if (element == "CHECKBOX")
        return GadgetKind::Check;
    if (element == "COMBOBOX" || element == "POPUPBUTTON")
        return GadgetKind::Combo;
    if (element == "BUTTON")
        return GadgetKind::Button;
    if (element == "STATICTEXT")
        return GadgetKind::Text;
    if (element == "GROUP")
        return GadgetKind::Group;
    return GadgetKind::Other;
}

static void AddGadgets(DialogWindow* w, const std::vector<DialogElement>& elements) {
    // A gadget without a NAME of its own is labelled by the static text just before it (a label
    // column beside a column of combo boxes).
    std::string pendingLabel;
    for (const auto& el : elements) {
        const bool isStatic = !el.id || *el.id == kStaticId;
        if (isStatic && el.kind == "STATICTEXT") {
            pendingLabel = el.name;
            AddGadgets(w, el.children);
            continue;
        }
        // Static elements (labels, layout groups) are not gadgets the plug-in can address, however
        // many of them share the static id.
        if (!isStatic) {
            Gadget g;
            g.id = *el.id;
            g.kind = KindOf(el.kind);
            g.element = el.kind;
            g.name = el.name;
            if (!el.idSymbol.empty() && el.idSymbol.find_first_not_of("-0123456789") != std::string::npos)
                g.symbol = el.idSymbol;
            g.label = !el.name.empty() ? el.name : pendingLabel;
            g.children = el.childs;
            if (!w->gadgets.count(g.id))
                w->gadgetOrder.push_back(g.id);
            w->gadgets[g.id] = g;
        }
        pendingLabel.clear();
        AddGadgets(w, el.children);
    }
}

static bool DlgLoadDialogResource(C4D_DialogWindow* w, int32_t dialogId, const C4D_Resource* res, int32_t) {
    if (!w || !I().KnownWindow(w, "LoadDialogResource"))
        return false;
    if (!res) {
        H().LogLine("dialog " + std::to_string(dialogId) + " not built: no resource given");
        return false;
    }
    if (!I().KnownResource(res, "LoadDialogResource"))
        return false;
    DialogDescription description;
    ResourceDiagnostics diagnostics;
    const bool loaded = LoadDialogDescription(*res, dialogId, &description, &diagnostics);
    for (const ResourceDiagnostic& d : diagnostics.All())
        if (d.severity == ResourceDiagnostic::Severity::Warning)
            H().LogLine("dialog " + std::to_string(dialogId) + ": " + d.Format());
    if (!loaded) {
        H().LogLine("dialog " + std::to_string(dialogId) + " not built: " + diagnostics.FirstError());
        return false;
    }
    w->gadgets.clear();
    w->gadgetOrder.clear();
    AddGadgets(w, description.elements);
    w->dialogId = dialogId;
    w->title = description.title;
    w->description = std::move(description);
    return true;
}

// The gadget `op` names, or null. A gadget the window's description does not hold is logged: the
// module and its resource disagree, and the module's call has no effect.
static Gadget* FindGadget(C4D_DialogWindow* w, int32_t gadget, const char* op) {
    if (!w || !I().KnownWindow(w, op))
        return nullptr;
    auto it = w->gadgets.find(gadget);
    if (it == w->gadgets.end()) {
        H().LogLine(std::string(op) + ": the dialog" + (w->dialogId ? " " + std::to_string(w->dialogId) : "") +
                    " has no gadget " + std::to_string(gadget));
        return nullptr;
    }
    return &it->second;
}

// Which value operations a gadget kind holds: a check box holds a Bool, a combo box (and a gadget
// of a kind this host does not model, such as a number field) an Int32. Anything else is refused
// and logged: a description that gives a gadget another kind than the module expects must not let
// a value of one kind be read back as the other and then stored.
enum class ValueKind { Bool, Int32 };

static bool HoldsValue(GadgetKind kind, ValueKind value) {
    switch (kind) {
    case GadgetKind::Check: return value == ValueKind::Bool;
    case GadgetKind::Combo:
    case GadgetKind::Other: return value == ValueKind::Int32;
    case GadgetKind::Button:
    case GadgetKind::Text:
    case GadgetKind::Group: return false;
    }
    return false;
}

static Gadget* FindValueGadget(C4D_DialogWindow* w, int32_t gadget, ValueKind value, const char* op) {
    Gadget* g = FindGadget(w, gadget, op);
    if (g && !HoldsValue(g->kind, value)) {
        H().LogLine(std::string(op) + ": gadget " + std::to_string(gadget) + " is a " + g->element + ", not a gadget with " +
                    (value == ValueKind::Bool ? "a Bool" : "an Int32") + " value; refused");
        return nullptr;
    }
    return g;
}

static bool DlgFreeChildren(C4D_DialogWindow* w, int32_t gadget) {
    Gadget* g = FindGadget(w, gadget, "FreeChildren");
    if (!g)
        return false;
    g->children.clear();
    return true;
}

static bool DlgAddChild(C4D_DialogWindow* w, int32_t gadget, int32_t childId, C4D_HString text) {
    Gadget* g = FindGadget(w, gadget, "AddChild");
    if (!g)
        return false;
    g->children.emplace_back(childId, I().Text(text, "AddChild"));
    return true;
}

static bool DlgSetInt32(C4D_DialogWindow* w, int32_t gadget, int32_t value, int32_t min, int32_t max, int32_t step,
                 bool tristate) {
    Gadget* g = FindValueGadget(w, gadget, ValueKind::Int32, "SetInt32");
    if (!g)
        return false;
    g->intValue = value;
    g->min = min;
    g->max = max;
    g->step = step;
    g->tristate = tristate;
    return true;
}

static bool DlgSetBool(C4D_DialogWindow* w, int32_t gadget, bool value, bool tristate) {
    Gadget* g = FindValueGadget(w, gadget, ValueKind::Bool, "SetBool");
    if (!g)
        return false;
    g->boolValue = value;
    g->tristate = tristate;
    return true;
}

static bool DlgGetInt32(C4D_DialogWindow* w, int32_t gadget, int32_t* out) {
    Gadget* g = FindValueGadget(w, gadget, ValueKind::Int32, "GetInt32");
    if (!g || !out)
        return false;
    *out = g->intValue;
    return true;
}

static bool DlgGetBool(C4D_DialogWindow* w, int32_t gadget, bool* out) {
    Gadget* g = FindValueGadget(w, gadget, ValueKind::Bool, "GetBool");
    if (!g || !out)
        return false;
    *out = g->boolValue;
    return true;
}

static bool DlgEnable(C4D_DialogWindow* w, int32_t gadget, bool enabled) {
    Gadget* g = FindGadget(w, gadget, "Enable");
    if (!g)
        return false;
    g->enabled = enabled;
    return true;
}

static bool AddMenu(C4D_DialogWindow* w, MenuItem::Kind kind, int32_t id, C4D_HString text, const char* op) {
    if (!w || !I().KnownWindow(w, op))
        return false;
    MenuItem item;
    item.kind = kind;
    item.id = id;
    item.text = I().Text(text, op);
    w->menu.push_back(item);
    return true;
}

static bool DlgMenuFlushAll(C4D_DialogWindow* w) {
    if (!w || !I().KnownWindow(w, "MenuFlushAll"))
        return false;
    w->menu.clear();
    w->menuFinished = false;
    return true;
}

static bool DlgMenuSubBegin(C4D_DialogWindow* w, C4D_HString title) {
    return AddMenu(w, MenuItem::Kind::SubBegin, 0, title, "MenuSubBegin");
}

static bool DlgMenuAddString(C4D_DialogWindow* w, int32_t id, C4D_HString text) {
    return AddMenu(w, MenuItem::Kind::String, id, text, "MenuAddString");
}

static bool DlgMenuAddSeparator(C4D_DialogWindow* w) {
    return AddMenu(w, MenuItem::Kind::Separator, 0, nullptr, "MenuAddSeparator");
}

static bool DlgMenuAddCommand(C4D_DialogWindow* w, int32_t commandId) {
    return AddMenu(w, MenuItem::Kind::Command, commandId, nullptr, "MenuAddCommand");
}

static bool DlgMenuSubEnd(C4D_DialogWindow* w) { return AddMenu(w, MenuItem::Kind::SubEnd, 0, nullptr, "MenuSubEnd"); }

static bool DlgMenuFinished(C4D_DialogWindow* w) {
    if (!w || !I().KnownWindow(w, "MenuFinished"))
        return false;
    w->menuFinished = true;
    return true;
}
};

namespace abi {
const C4D_DialogTable kDialog = {
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgCreateWindow),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgDestroyWindow),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgOpen),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgRestoreLayout),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgClose),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgLoadDialogResource),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgFreeChildren),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgAddChild),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgSetInt32),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgSetBool),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgGetInt32),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgGetBool),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgEnable),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuFlushAll),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuSubBegin),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuAddString),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuAddSeparator),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuAddCommand),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuSubEnd),
    HOSTSIM_COUNTED(Dialogs, DialogService::DlgMenuFinished)};
} // namespace abi
} // namespace hostsim
