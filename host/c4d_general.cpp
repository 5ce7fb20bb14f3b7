// c4d_general.cpp - the host's general services.
#include "c4d_general.h"

void GePrint(const String& line) {
    if (const C4D_GeneralTable* t = c4d_link::General())
        t->Print(line.Get());
}

Int32 MessageDialog(Int32 flags, const String& text) {
    const C4D_GeneralTable* t = c4d_link::General();
    return t ? t->MessageDialog(flags, text.Get()) : 0;
}

void EventAdd(Int32 flags) {
    if (const C4D_GeneralTable* t = c4d_link::General())
        t->EventAdd(flags);
}

Bool CallCommand(Int32 id, Int32 subid) {
    const C4D_GeneralTable* t = c4d_link::General();
    return t && t->CallCommand(id, subid);
}

void CheckInteraction(Int32 a, Int32 b, Int32 c) {
    if (const C4D_GeneralTable* t = c4d_link::General())
        t->CheckInteraction(a, b, c);
}

std::optional<BaseContainer> GetWorldPluginData(Int32 id) {
    const C4D_GeneralTable* t = c4d_link::General();
    const C4D_Container* stored = t ? t->GetWorldPluginData(id) : nullptr;
    if (!stored)
        return std::nullopt;
    return BaseContainer::Borrow(stored);
}

Bool SetWorldPluginData(Int32 id, const BaseContainer& bc, Bool merge) {
    const C4D_GeneralTable* t = c4d_link::General();
    return t && bc.IsValid() && t->SetWorldPluginData(id, bc.Get(), merge);
}
