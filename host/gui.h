// gui.h - the host's dialog messages, their container keys and the command states.
#ifndef CORVEL_HOST_GUI_H
#define CORVEL_HOST_GUI_H

#include "maxon/apibase.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

// Dialog messages are four-character codes, read big-endian.
enum {
    BFM_INIT = 0x62494e49,           // 'bINI': build the layout
    BFM_INITVALUES = 0x6256494e,     // 'bVIN': show the values
    BFM_ACTION = 0x62414354,         // 'bACT': a gadget or menu action
    BFM_ACTION_ID = 0x6d656964,      // 'meid': key of the action's gadget id
    BFM_ACTION_VALUE = 0x6d657661,   // 'meva': key of the action's value
    BFM_CHECKCLOSE = 0x63686b63,     // 'chkc': may the window close?
    BFM_DESTROY = 0x64737479,        // 'dsty': the window was destroyed
    BFM_CORE_MESSAGE = 0x4d63694d,   // 'MciM': a core message
    BFM_SYNC_MESSAGE = 0x73796e63,   // 'sync': a synchronous core message
    BFM_CORE_ID = 0x4d636949,        // 'MciI': key of a core message's id
    BFM_TIMER_MESSAGE = 10020,       // the window's timer
    BFM_INTERACTSTART = 0x696e7461,  // 'inta': the user starts an interaction
    BFM_VISIBLE_OFF = 0x76697346,    // 'visF': the window was hidden
    BFM_VISIBLE_ON = 0x76697354,     // 'visT': the window is shown again
};

// Command states answered by CommandData::GetState.
enum {
    CMD_VALUE = 1,
    CMD_HIDDEN = 0x20000000,
    CMD_ENABLED = 0x40000000,
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_GUI_H
