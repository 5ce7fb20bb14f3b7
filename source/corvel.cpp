// corvel.cpp - the Corvel command, its dialog and the settings record's persistence.
#include "corvel.h"

#include <cstddef>

#include "c4d.h"

namespace {

// --- the dialog's fixed content ------------------------------------------------------------------

// Menu entries of the dialog's menu bar.
constexpr Int32 MENU_RESET_SETTINGS = 5050;
constexpr Int32 MENU_SAVE_SETTINGS = 5055;
constexpr Int32 MENU_ABOUT = 5100;
constexpr Int32 MENU_HELP_FILE = 5110;
// The host's own command offered in the File menu; the host supplies its text.
constexpr Int32 HOST_COMMAND_12097 = 12097;

// Combo-box entries: the entry id is the value the record stores.
struct ComboEntry {
    Int32 id;
    const char* text;
};

struct ComboBox {
    Int32 gadget;
    const ComboEntry* entries;
    std::size_t count;
};

constexpr ComboEntry kAntialiasingEntries[] = {{6000, "None"}, {6001, "Geometry"}, {6002, "Best"}};
constexpr ComboEntry kAaFilterEntries[] = {{6010, "Still"}, {6011, "Animation"}};
constexpr ComboEntry kFrameRangeEntries[] = {{6020, "Current frame"}, {6021, "Preview range"}, {6023, "All"}};
constexpr ComboEntry kOutputEntries[] = {{6030, "Editor"}, {6031, "Picture Viewer"}};
constexpr ComboEntry kResolutionEntries[] = {{6041, "1:1"}, {6042, "1:2"}, {6043, "1:3"},
                                             {6044, "1:4"}, {6048, "1:8"}, {6056, "1:16"}};
#if !defined(__APPLE__)
constexpr ComboEntry kQualityEntries[] = {{6070, "Low - no filter"}, {6073, "Low"}, {6075, "No change"}};
#endif

template <std::size_t N>
constexpr ComboBox Combo(Int32 gadget, const ComboEntry (&entries)[N]) {
    return ComboBox{gadget, entries, N};
}

// In the order the boxes are filled. The quality box is shown but nothing reads its choice; the
// macOS build leaves it empty.
constexpr ComboBox kComboBoxes[] = {
    Combo(IDC_ANTIALIASING, kAntialiasingEntries),
    Combo(IDC_AAFILTER, kAaFilterEntries),
    Combo(IDC_FRAMERANGE, kFrameRangeEntries),
    Combo(IDC_OUTPUT, kOutputEntries),
    Combo(IDC_RESOLUTION, kResolutionEntries),
#if !defined(__APPLE__)
    Combo(IDC_QUALITY, kQualityEntries),
#endif
};

// Antialiasing value that makes the filter choice meaningless.
constexpr Int32 ANTIALIASING_NONE = 6000;

// Gadgets on which the enabled state of others depends.
constexpr Int32 kEnablingGadgets[] = {IDC_ANTIALIASING, IDC_OUTPUT, IDC_SET_PARAM7004,
                                      IDC_KEEP_PARAMS6017, IDC_KEEP_PARAM6019, IDC_KEEP_EFFECTS};

// The effect switches that the master switch keepEffects enables.
constexpr Int32 kEffectGadgets[] = {IDC_KEEP_EFFECT1021096, IDC_KEEP_EFFECT300001045,
                                    IDC_KEEP_EFFECT1000970, IDC_KEEP_EFFECT1001400,
                                    IDC_KEEP_EFFECTS1001401, IDC_KEEP_EFFECT1017325,
                                    IDC_KEEP_EFFECTS1001010, IDC_KEEP_EFFECT1001049};

constexpr const char* kAboutText =
    "Corvel v1.2\n"
    "November 1st 2021\n"
    "\n"
    "Written by Tarnwick Software\n"
    "The latest version is at www.tarnwicksoftware.com";

bool IsEnablingGadget(Int32 gadget) {
    for (Int32 g : kEnablingGadgets)
        if (g == gadget)
            return true;
    return false;
}

// --- walking the settings table ------------------------------------------------------------------

void SetFieldDefault(CorvelSettings& s, const SettingsField& f) {
    if (f.kind == SettingsField::Kind::Integer)
        s.*f.int32Member = f.int32Default;
    else
        s.*f.boolMember = f.boolDefault;
}

void LoadField(CorvelSettings& s, const SettingsField& f, const BaseContainer& stored) {
    if (f.kind == SettingsField::Kind::Integer)
        s.*f.int32Member = stored.GetInt32(f.key, f.int32Default);
    else
        s.*f.boolMember = stored.GetBool(f.key, f.boolDefault);
}

// True when the container holds the field's value afterwards.
Bool StoreField(const CorvelSettings& s, const SettingsField& f, BaseContainer& bc) {
    if (f.kind == SettingsField::Kind::Integer)
        return WriteInt32(bc, f.key, s.*f.int32Member);
    return WriteBool(bc, f.key, s.*f.boolMember);
}

// A failed read (no window, unknown gadget) leaves the field as it was.
void ReadField(CorvelSettings& s, const SettingsField& f, const GeDialog& dlg) {
    if (f.kind == SettingsField::Kind::Integer)
        dlg.GetInt32(f.gadget, s.*f.int32Member);
    else
        dlg.GetBool(f.gadget, s.*f.boolMember);
}

void WriteField(const CorvelSettings& s, const SettingsField& f, GeDialog& dlg) {
    if (f.kind == SettingsField::Kind::Integer)
        dlg.SetInt32(f.gadget, s.*f.int32Member);
    else
        dlg.SetBool(f.gadget, s.*f.boolMember);
}

} // namespace

const SettingsField* FindSettingByGadget(Int32 gadget) {
    for (const SettingsField& f : kSettingsFields)
        if (f.gadget == gadget)
            return &f;
    return nullptr;
}

// --- CorvelDialog: the settings record -------------------------------------------------------------

CorvelDialog::CorvelDialog() : settings{}, switchedOff{} {
    if (!LoadSettings())
        SetDefaults();
}

Bool CorvelDialog::LoadSettings() {
    const BaseContainer* stored = GetWorldPluginData(CORVEL_PLUGIN_ID);
    if (!stored) {
        GePrint("Failed to load the Corvel settings."_s);
        return false;
    }
    for (const SettingsField& f : kSettingsFields)
        LoadField(settings, f, *stored);
    return true;
}

Bool CorvelDialog::SaveSettings() {
    ReadGadgets();
    BaseContainer bc;
    // A container that lacks a key would later load that field's default: storing it would
    // silently lose a choice, so an incomplete container counts as a refused save.
    Bool complete = true;
    for (const SettingsField& f : kSettingsFields)
        complete = StoreField(settings, f, bc) && complete;
    if (!complete || !SetWorldPluginData(CORVEL_PLUGIN_ID, bc, false)) {
        MessageDialog("Corvel: failed to save the plugin preferences correctly."_s);
        return false;
    }
    return true;
}

void CorvelDialog::SetDefaults() {
    for (const SettingsField& f : kSettingsFields)
        SetFieldDefault(settings, f);
}

void CorvelDialog::ReadGadgets() {
    for (const SettingsField& f : kSettingsFields)
        ReadField(settings, f, *this);
}

void CorvelDialog::WriteGadgets() {
    for (const SettingsField& f : kSettingsFields)
        WriteField(settings, f, *this);
}

// --- CorvelDialog: the window ----------------------------------------------------------------------

void CorvelDialog::UpdateEnabling() {
    const Bool editor = settings.output == OUTPUT_EDITOR;
    Enable(IDC_AAFILTER, settings.antialiasing != ANTIALIASING_NONE);
    Enable(IDC_FORCE_PARAM6020, settings.keepParams6017);
    // Rendering into the editor view has no resolution fraction and no Picture Viewer option.
    Enable(IDC_RESOLUTION, !editor);
    Enable(IDC_SET_PARAM7004, !editor);
    Enable(IDC_PRESS_BUTTON28501, !editor && settings.setParam7004);
    Enable(IDC_FORCE_PARAM6021, settings.keepParam6019);
    for (Int32 gadget : kEffectGadgets)
        Enable(gadget, settings.keepEffects);
}

Bool CorvelDialog::CreateLayout() {
    GeDialog::CreateLayout();

    // A resource of the window's own, released when the layout is built.
    const Filename pluginFolder = GeGetPluginPath();
    GeResource dialogResource;
    dialogResource.Init(pluginFolder);
    GePrint(pluginFolder.GetString());
    const Bool ok = LoadDialogResource(DLG_CORVEL, &dialogResource, 0);

    for (const ComboBox& box : kComboBoxes) {
        FreeChildren(box.gadget);
        for (std::size_t i = 0; i < box.count; ++i)
            AddChild(box.gadget, box.entries[i].id, maxon::String(box.entries[i].text));
    }

    MenuFlushAll();
    MenuSubBegin("File"_s);
    MenuAddString(MENU_SAVE_SETTINGS, "Save Settings"_s);
    MenuAddString(MENU_RESET_SETTINGS, "Reset settings"_s);
    MenuAddSeparator();
    MenuAddCommand(HOST_COMMAND_12097);
    MenuSubEnd();
    MenuSubBegin("Help"_s);
    MenuAddString(MENU_ABOUT, "About Corvel..."_s);
    MenuAddString(MENU_HELP_FILE, "Show Help File (.PDF)..."_s);
    MenuSubEnd();
    MenuFinished();

    if (!ok)
        GePrint("Corvel: could not load the resource file."_s);
    return ok;
}

Bool CorvelDialog::InitValues() {
    if (!GeDialog::InitValues())
        return false;
    WriteGadgets();
    UpdateEnabling();
    return true;
}

Bool CorvelDialog::Command(Int32 id, const BaseContainer& /*msg*/) {
    BaseDocument* doc = GetActiveDocument();
    if (!doc)
        return false;

    if (const SettingsField* field = FindSettingByGadget(id)) {
        ReadField(settings, *field, *this);
        if (IsEnablingGadget(id))
            UpdateEnabling();
        return true;
    }

    switch (id) {
    case IDC_RENDER:
        StartRender(doc);
        break;
    case IDC_CLOSE:
        Close();
        break;
    case MENU_SAVE_SETTINGS:
        SaveSettings();
        break;
    case MENU_RESET_SETTINGS:
        if (!LoadSettings())
            SetDefaults();
        WriteGadgets();
        UpdateEnabling();
        break;
    case MENU_ABOUT:
        ShowAbout();
        break;
    case MENU_HELP_FILE:
        ShowHelpFile();
        break;
    default:
        // The quality box is shown, but nothing reads its choice.
        break;
    }
    return true;
}

Bool CorvelDialog::AskClose() { return false; }

void CorvelDialog::ShowAbout() { MessageDialog(maxon::String(kAboutText)); }

void CorvelDialog::ShowHelpFile() {
    // A missing manual is not reported: the host's file opener has nothing to show either.
    GeExecuteFile(GeGetPluginPath() + Filename("Corvel.pdf"));
}

// --- CorvelDialog: the render ------------------------------------------------------------------------

namespace {

constexpr const char* kNoRenderSettingsLine =
    "Corvel: the active document has no render settings; nothing was rendered.";
constexpr const char* kNotPreparedLine =
    "Corvel: not enough memory to prepare the render settings; nothing was rendered.";

} // namespace

Bool CorvelDialog::StartRender(BaseDocument* doc) {
    ReadGadgets();
    RenderData* rd = doc->GetActiveRenderData();
    // A document always has active render settings in the host; should it ever answer none,
    // there is nothing to derive from or to put back, so nothing is changed.
    if (!rd) {
        GePrint(maxon::String(kNoRenderSettingsLine));
        return false;
    }

    // Without both copies nothing is touched: a render from a half-made work copy, or a restore
    // from an empty backup, would leave the user's settings changed. A copy the host could not
    // make comes back empty, and the render settings' own container never is.
    BaseContainer backup = rd->GetData();
    BaseContainer work = rd->GetData();
    if (IsEmptyContainer(backup) || IsEmptyContainer(work)) {
        GePrint(maxon::String(kNotPreparedLine));
        return false;
    }

    // A derivation that could not complete (the button's copy or a value the host could not hold)
    // renders nothing; the live settings, which the button may have changed, are restored below.
    const Bool prepared = DeriveRenderSettings(settings, doc, rd, work, switchedOff);
    if (prepared) {
        rd->SetData(work, true);
        rd->Message(MSG_UPDATE);
        EventAdd();
        // The host's render command takes its own copy of the document before it returns; the
        // render runs on that copy while the settings are already back.
        CallCommand(RenderCommandFor(settings.output), 0);
    } else {
        GePrint(maxon::String(kNotPreparedLine));
    }

    RestoreEffects(rd, switchedOff);
    rd->SetData(backup, true);
    rd->Message(MSG_UPDATE);
    return prepared;
}

// --- Corvel: the command -----------------------------------------------------------------------------

Bool Corvel::Execute(BaseDocument*, GeDialog*) {
    return dialog.Open(DLG_TYPE::ASYNC, CORVEL_PLUGIN_ID, -1, -1, 0, 0, 0, OPENDIALOGFLAGS::NONE);
}

Int32 Corvel::GetState(BaseDocument*, GeDialog*) { return CMD_ENABLED; }

Bool Corvel::RestoreLayout(void* secret) { return dialog.RestoreLayout(CORVEL_PLUGIN_ID, 0, secret); }

Bool RegisterCorvel() {
    // The host frees the command object through its registration; it must sit at the start of
    // its allocation, which holds while CommandData is Corvel's only base.
    AutoBitmap icon("corvel.tif"_s, 1.0);
    return RegisterCommandPlugin(CORVEL_PLUGIN_ID, GeLoadString(IDS_CORVEL_NAME), 0, icon,
                                 GeLoadString(IDS_CORVEL_HELP), NewObjClear(Corvel));
}
