// c4d_gui.h - dialogs: the module side of one host window.
//
// A GeDialog asks the host for its window at construction and gives it back at destruction; the
// host drives the window's life through the message entry, which maps the host's dialog messages
// to the virtual operations below. Gadget and menu calls answer false when the dialog has no
// window (the host had no memory) or the gadget is unknown.
#ifndef CORVEL_HOST_C4D_GUI_H
#define CORVEL_HOST_C4D_GUI_H

#include "c4d_basecontainer.h"
#include "c4d_link.h"
#include "c4d_resource.h"
#include "c4d_string.h"

constexpr Int32 DLG_TYPE_ASYNC = C4D_DLG_TYPE_ASYNC;

// The host's dialog messages (four-character codes) and message container keys.
constexpr Int32 BFM_INIT = FourCC('b', 'I', 'N', 'I');
constexpr Int32 BFM_INITVALUES = FourCC('b', 'V', 'I', 'N');
constexpr Int32 BFM_ACTION = FourCC('b', 'A', 'C', 'T');
constexpr Int32 BFM_ACTION_ID = FourCC('m', 'e', 'i', 'd');
constexpr Int32 BFM_ACTION_VALUE = FourCC('m', 'e', 'v', 'a');
constexpr Int32 BFM_CHECKCLOSE = FourCC('c', 'h', 'k', 'c');
constexpr Int32 BFM_DESTROY = FourCC('d', 's', 't', 'y');
constexpr Int32 BFM_CORE_MESSAGE = FourCC('M', 'c', 'i', 'M');
constexpr Int32 BFM_SYNC_MESSAGE = FourCC('s', 'y', 'n', 'c');
constexpr Int32 BFM_CORE_ID = FourCC('M', 'c', 'i', 'I');
constexpr Int32 BFM_TIMER_MESSAGE = C4D_MSG_TIMER;
constexpr Int32 BFM_INTERACTSTART = FourCC('i', 'n', 't', 'a');
constexpr Int32 BFM_VISIBLE_OFF = FourCC('v', 'i', 's', 'F');
constexpr Int32 BFM_VISIBLE_ON = FourCC('v', 'i', 's', 'T');

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

    // Opens the window (DLG_TYPE_ASYNC: non-modal). False when it could not be opened.
    Bool Open(Int32 dlgtype, Int32 pluginid, Int32 xpos = -1, Int32 ypos = -1, Int32 defaultw = 0,
              Int32 defaulth = 0, Int32 subid = 0, Int32 flags = 0);
    // Opens the window in the saved layout `secret` (the host's). False when it could not.
    Bool RestoreLayout(Int32 pluginid, Int32 subid, void* secret);
    // Closes the window. False when it was not open.
    Bool Close();

    // Builds the gadgets from dialog description `id` of `lr`. False when nothing was built.
    Bool LoadDialogResource(Int32 id, const GeResource* lr, Int32 flags);

    Bool FreeChildren(Int32 id);
    Bool AddChild(Int32 id, Int32 subid, const String& child);
    Bool SetInt32(Int32 id, Int32 value, Int32 min = -2147483647 - 1, Int32 max = 2147483647,
                  Int32 step = 1, Bool tristate = false);
    Bool SetBool(Int32 id, Bool value, Bool tristate = false);
    // Readers answer false and leave `value` alone for an unknown gadget.
    Bool GetInt32(Int32 id, Int32& value) const;
    Bool GetBool(Int32 id, Bool& value) const;
    Bool Enable(Int32 id, Bool enabled);

    Bool MenuFlushAll();
    Bool MenuSubBegin(const String& title);
    Bool MenuAddString(Int32 id, const String& text);
    Bool MenuAddSeparator();
    Bool MenuAddCommand(Int32 cmdid);
    Bool MenuSubEnd();
    Bool MenuFinished();

    // False when the host had no memory for the window: every window operation then fails.
    Bool HasWindow() const { return window_ != nullptr; }
    // True between the host's 'visF' and 'visT' messages.
    Bool IsHidden() const { return hidden_; }

private:
    static Int32 MessageEntry(void* owner, const C4D_Container* msg, C4D_Container* result);

    C4D_DialogWindow* window_ = nullptr;
    Bool layoutBuilt_ = false; // CreateLayout has run for the current window
    Bool hidden_ = false;      // the host reported the window hidden ('visF')
};

#endif // CORVEL_HOST_C4D_GUI_H
