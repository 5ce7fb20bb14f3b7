// c4d_gui.cpp - dialogs.
#include "c4d_gui.h"

#include "c4d_general.h"

CORVEL_CINEMA_BEGIN

GeDialog::GeDialog() {
    if (const C4D_DialogTable* t = c4d_link::Dialogs())
        window_ = t->CreateWindow(this, &GeDialog::MessageEntry);
}

GeDialog::~GeDialog() {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    if (t && window_)
        t->DestroyWindow(window_);
    window_ = nullptr;
}

Bool GeDialog::CreateLayout() { return true; }
Bool GeDialog::InitValues() { return true; }
Bool GeDialog::CoreMessage(Int32, const BaseContainer&) { return true; }
Bool GeDialog::Command(Int32, const BaseContainer&) { return true; }
Bool GeDialog::AskClose() { return false; }
void GeDialog::Timer(const BaseContainer&) {}
void GeDialog::DestroyWindow() {}

Int32 GeDialog::MessageEntry(void* owner, const C4D_Container* msg, C4D_Container* result) {
    if (!owner)
        return 0;
    const BaseContainer message = BaseContainer::Borrow(msg);
    BaseContainer answer = BaseContainer::BorrowMutable(result);
    return static_cast<GeDialog*>(owner)->Message(message, answer);
}

Int32 GeDialog::Message(const BaseContainer& msg, BaseContainer& /*result*/) {
    const Int32 id = msg.GetId();
    switch (id) {
    case BFM_INIT: {
        if (layoutBuilt_)
            return true;
        layoutBuilt_ = true;
        const Bool built = CreateLayout();
        // A window whose layout failed is not shown; the next opening must build it again
        // rather than show an empty window.
        if (!built)
            layoutBuilt_ = false;
        return built;
    }
    case BFM_INITVALUES:
        return layoutBuilt_ ? InitValues() : true;
    case BFM_ACTION:
        return Command(msg.GetInt32(BFM_ACTION_ID, 0), msg);
    case BFM_CHECKCLOSE:
        return AskClose();
    case BFM_DESTROY:
        DestroyWindow();
        layoutBuilt_ = false;
        return 0;
    case BFM_CORE_MESSAGE:
    case BFM_SYNC_MESSAGE:
        return CoreMessage(msg.GetInt32(BFM_CORE_ID, 0), msg);
    case BFM_TIMER_MESSAGE:
        Timer(msg);
        return 1;
    case BFM_INTERACTSTART:
        c4d_link::CheckInteraction(1, 1, 1);
        return 0;
    case BFM_VISIBLE_OFF:
        hidden_ = true;
        return 0;
    case BFM_VISIBLE_ON:
        hidden_ = false;
        return 0;
    default:
        return 0;
    }
}

Bool GeDialog::Open(DLG_TYPE dlgtype, Int32 pluginid, Int32 xpos, Int32 ypos, Int32 defaultw,
                    Int32 defaulth, Int32 subid, OPENDIALOGFLAGS flags) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ &&
           t->Open(window_, static_cast<Int32>(dlgtype), pluginid, xpos, ypos, defaultw, defaulth, subid,
                   static_cast<Int32>(flags));
}

Bool GeDialog::RestoreLayout(Int32 pluginid, Int32 subid, void* secret) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->RestoreLayout(window_, pluginid, subid, secret);
}

Bool GeDialog::Close() {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->Close(window_);
}

Bool GeDialog::LoadDialogResource(Int32 id, GeResource* lr, Int32 flags) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->LoadDialogResource(window_, id, lr ? lr->Get() : nullptr, flags);
}

Bool GeDialog::FreeChildren(Int32 id) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->FreeChildren(window_, id);
}

Bool GeDialog::AddChild(Int32 id, Int32 subid, const maxon::String& child) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->AddChild(window_, id, subid, child.Get());
}

Bool GeDialog::SetInt32(Int32 id, Int32 value, Int32 min, Int32 max, Int32 step, Int32 tristate, Int32 /*min2*/,
                        Int32 /*max2*/) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->SetInt32(window_, id, value, min, max, step, tristate != 0);
}

Bool GeDialog::SetBool(Int32 id, Int32 value, Int32 tristate) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->SetBool(window_, id, value != 0, tristate != 0);
}

Bool GeDialog::GetInt32(Int32 id, Int32& value) const {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->GetInt32(window_, id, &value);
}

Bool GeDialog::GetBool(Int32 id, Bool& value) const {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->GetBool(window_, id, &value);
}

Bool GeDialog::Enable(Int32 id, Bool enabled) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->Enable(window_, id, enabled);
}

Bool GeDialog::MenuFlushAll() {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuFlushAll(window_);
}

Bool GeDialog::MenuSubBegin(const maxon::String& title) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuSubBegin(window_, title.Get());
}

Bool GeDialog::MenuAddString(Int32 id, const maxon::String& text) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuAddString(window_, id, text.Get());
}

Bool GeDialog::MenuAddSeparator(const maxon::String& /*title*/) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuAddSeparator(window_);
}

Bool GeDialog::MenuAddCommand(Int32 cmdid) {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuAddCommand(window_, cmdid);
}

Bool GeDialog::MenuSubEnd() {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuSubEnd(window_);
}

Bool GeDialog::MenuFinished() {
    const C4D_DialogTable* t = c4d_link::Dialogs();
    return t && window_ && t->MenuFinished(window_);
}

void MessageDialog(const maxon::String& str) { GeOutString(str, GEMB::OK | GEMB::ICONEXCLAMATION); }

CORVEL_CINEMA_END
