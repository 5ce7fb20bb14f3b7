// c4d_general.cpp - the host's general services.
#include "c4d_general.h"

CORVEL_CINEMA_BEGIN

namespace {

// The module's view of the stored preferences that GetWorldPluginData hands out. Constant-
// initialised: nothing runs at module load.
BaseContainer g_storedPreferences{BaseContainer::ViewTag{}};

} // namespace

void GePrint(const maxon::String& str) {
    if (const C4D_GeneralTable* t = c4d_link::General())
        t->Print(str.Get());
}

GEMB_R GeOutString(const maxon::String& str, GEMB flags) {
    const C4D_GeneralTable* t = c4d_link::General();
    if (!t)
        return GEMB_R::V_UNDEFINED;
    const Int32 button = t->MessageDialog(static_cast<Int32>(flags), str.Get());
    return (button >= 1 && button <= 7) ? static_cast<GEMB_R>(button) : GEMB_R::V_UNDEFINED;
}

void EventAdd(EVENT eventflag) {
    if (const C4D_GeneralTable* t = c4d_link::General())
        t->EventAdd(static_cast<Int32>(eventflag));
}

void CallCommand(Int32 id, Int32 subid) {
    if (const C4D_GeneralTable* t = c4d_link::General())
        t->CallCommand(id, subid);
}

BaseContainer* GetWorldPluginData(Int32 id) {
    const C4D_GeneralTable* t = c4d_link::General();
    const C4D_Container* stored = t ? t->GetWorldPluginData(id) : nullptr;
    g_storedPreferences.Rebind(stored);
    return stored ? &g_storedPreferences : nullptr;
}

Bool SetWorldPluginData(Int32 id, const BaseContainer& bc, Bool add) {
    const C4D_GeneralTable* t = c4d_link::General();
    // The host may replace what it stored: the view must not outlive it.
    g_storedPreferences.Rebind(nullptr);
    return t && bc.IsValid() && t->SetWorldPluginData(id, bc.Get(), add);
}

CORVEL_CINEMA_END

namespace c4d_link {

void CheckInteraction(Int32 a, Int32 b, Int32 c) {
    if (const C4D_GeneralTable* t = General())
        t->CheckInteraction(a, b, c);
}

} // namespace c4d_link
