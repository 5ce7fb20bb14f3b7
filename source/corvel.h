// corvel.h - the Corvel command and its render options dialog.
#ifndef CORVEL_SOURCE_CORVEL_H
#define CORVEL_SOURCE_CORVEL_H

#include "c4d.h"
#include "corvel_render.h"
#include "corvel_settings.h"

// The plug-in id of the command; also the id of the dialog's window and of the stored
// preferences.
constexpr Int32 CORVEL_PLUGIN_ID = 1027069;

// The plug-in's one window. It lives as long as the command (the host destroys both together),
// so the settings record survives every closing of the window.
class CorvelDialog : public GeDialog {
public:
    // Loads the stored settings, or the factory defaults when none are stored.
    CorvelDialog();

    Bool CreateLayout() override;
    Bool InitValues() override;
    Bool Command(Int32 id, const BaseContainer& msg) override;
    Bool AskClose() override;

    // Reads the preferences stored under CORVEL_PLUGIN_ID into the record; a missing key reads as
    // the field's default. False (record untouched, console line) when nothing is stored.
    Bool LoadSettings();
    // Copies the gadgets into the record and stores it. False (message box) when the host refused
    // the container or it could not be filled completely.
    Bool SaveSettings();
    // The factory defaults.
    void SetDefaults();

    // Copies every gadget into its field; reads that fail (no window) leave the field as it was.
    void ReadGadgets();
    // Shows every field in its gadget.
    void WriteGadgets();
    // Enables the gadgets whose use depends on other choices.
    void UpdateEnabling();

    // Renders `doc` once with what the dialog shows and puts its render settings back at once.
    // False, with a console line, when nothing was rendered because the render settings could not
    // be prepared; the document is then as it was.
    Bool StartRender(BaseDocument* doc);

    const CorvelSettings& Settings() const { return settings; }
    // The render effects the last render switched off (and switched on again afterwards).
    const Bool (&SwitchedOff() const)[CORVEL_EFFECT_MARKS] { return switchedOff; }

private:
    void ShowAbout();
    void ShowHelpFile();

    CorvelSettings settings;
    // Marks of the render effects the current render switched off; never stored.
    RenderMarks switchedOff;
};

// The command: opens the dialog.
class Corvel : public CommandData {
public:
    Bool Execute(BaseDocument* doc, GeDialog* parentManager) override;
    Int32 GetState(BaseDocument* doc, GeDialog* parentManager) override;
    Bool RestoreLayout(void* secret) override;

private:
    CorvelDialog dialog;
};

// Registers the command with its name, help text and icon. False when the command object could
// not be made or the host refused it.
Bool RegisterCorvel();

#endif // CORVEL_SOURCE_CORVEL_H
