// c4d_gui.h - dialogs: the module side of one host window, and message boxes.
//
// A GeDialog asks the host for its window at construction and gives it back at destruction; the
// host drives the window's life through the message entry, which maps the host's dialog messages
// to the virtual operations below. Gadget and menu calls answer false when the dialog has no
// window (the host had no memory) or the gadget is unknown.
#ifndef CORVEL_HOST_C4D_GUI_H
#define CORVEL_HOST_C4D_GUI_H

#include "c4d_basecontainer.h"
#include "c4d_resource.h"
#include "ge_prepass.h"
#include "gui.h"
#include "maxon/apibase.h"
#include "maxon/string.h"

#if !defined(CORVEL_SDK_STRICT)
#include "c4d_link.h"
#endif

#if API_VERSION >= 2025000
namespace cinema {
#endif

class GeDialog {
public:
    GeDialog();
    GeDialog(const GeDialog&) = delete;
    GeDialog& operator=(const GeDialog&) = delete;
    virtual ~GeDialog();

    // Builds the window; the base answers true.
    virtual Bool CreateLayout();
    // Shows the values; the base answers true.
    virtual Bool InitValues();
    // A core message while the window is open; the base answers true.
    virtual Bool CoreMessage(Int32 id, const BaseContainer& msg);
    // One gadget or menu action; the base answers true.
    virtual Bool Command(Int32 id, const BaseContainer& msg);
    // Asked before the window closes: true refuses. The base answers false.
    virtual Bool AskClose();
    // The window's timer; the base does nothing.
    virtual void Timer(const BaseContainer& msg);
    // The host destroyed the window; the base does nothing.
    virtual void DestroyWindow();
    // Maps one host message to the operations above; answers the host.
    virtual Int32 Message(const BaseContainer& msg, BaseContainer& result);

    // Opens the window (DLG_TYPE::ASYNC: non-modal). False when it could not be opened.
    Bool Open(DLG_TYPE dlgtype, Int32 pluginid, Int32 xpos = -1, Int32 ypos = -1, Int32 defaultw = 0,
              Int32 defaulth = 0, Int32 subid = 0, OPENDIALOGFLAGS flags = OPENDIALOGFLAGS::NONE);
    // Opens the window in the saved layout `secret` (the host's). False when it could not.
    Bool RestoreLayout(Int32 pluginid, Int32 subid, void* secret);
    // Closes the window. False when it was not open.
    Bool Close();

    // Builds the gadgets from dialog description `id` of `lr`. False when nothing was built.
    Bool LoadDialogResource(Int32 id, GeResource* lr, Int32 flags);

    Bool FreeChildren(Int32 id);
    Bool AddChild(Int32 id, Int32 subid, const maxon::String& child);
    Bool SetInt32(Int32 id, Int32 value, Int32 min = -2147483647 - 1, Int32 max = 2147483647, Int32 step = 1,
                  Int32 tristate = 0, Int32 min2 = -2147483647 - 1, Int32 max2 = 2147483647);
    Bool SetBool(Int32 id, Int32 value, Int32 tristate = 0);
    // Readers answer false and leave `value` alone for an unknown gadget.
    Bool GetInt32(Int32 id, Int32& value) const;
    Bool GetBool(Int32 id, Bool& value) const;
    Bool Enable(Int32 id, Bool enabled);

    Bool MenuFlushAll();
    Bool MenuSubBegin(const maxon::String& string);
    Bool MenuAddString(Int32 id, const maxon::String& string);
    Bool MenuAddSeparator(const maxon::String& title = maxon::String());
    Bool MenuAddCommand(Int32 cmdid);
    Bool MenuSubEnd();
    Bool MenuFinished();

#if !defined(CORVEL_SDK_STRICT)
    // False when the host had no memory for the window: every window operation then fails.
    Bool HasWindow() const { return window_ != nullptr; }
    // True between the host's 'visF' and 'visT' messages.
    Bool IsHidden() const { return hidden_; }

private:
    static Int32 MessageEntry(void* owner, const C4D_Container* msg, C4D_Container* result);

    C4D_DialogWindow* window_ = nullptr;
#else
private:
    void* window_ = nullptr; // the strict check sees only the SDK's names; the size stays
#endif
    Bool layoutBuilt_ = false; // CreateLayout has run for the current window
    Bool hidden_ = false;      // the host reported the window hidden ('visF')
};

// Shows a modal message box with an OK button and the warning icon, and waits until it is closed.
void MessageDialog(const maxon::String& str);

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_GUI_H
