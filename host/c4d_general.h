// c4d_general.h - the host's general services: console, message boxes, events, commands and the
// world plug-in preferences.
#ifndef CORVEL_HOST_C4D_GENERAL_H
#define CORVEL_HOST_C4D_GENERAL_H

#include <optional>

#include "c4d_basecontainer.h"
#include "c4d_link.h"
#include "c4d_string.h"

// Message-box flags: an OK button and a warning icon.
constexpr Int32 GEMB_OK_WARNING = C4D_MESSAGEDIALOG_OK_WARNING;

// Writes one line to the host console. Nothing happens without a host.
void GePrint(const String& line);

// Shows a modal message box and waits until it is closed. Answers the button pressed (1 for OK),
// 0 when the box could not be shown.
Int32 MessageDialog(Int32 flags, const String& text);

// Posts an update event for the host's editors.
void EventAdd(Int32 flags = 0);

// Runs host command `id` and returns when it has returned. False when no such command exists.
Bool CallCommand(Int32 id, Int32 subid = 0);

// The host's interaction check, asked for when a dialog window receives 'inta'.
void CheckInteraction(Int32 a, Int32 b, Int32 c);

// The container stored under plug-in id `id` in the world plug-in preferences, borrowed from the
// host: valid until the next SetWorldPluginData for that id. Empty when none is stored.
std::optional<BaseContainer> GetWorldPluginData(Int32 id);

// Stores a copy of `bc` under `id`; `merge` false replaces what was stored. False when the host
// refused (what was stored then stays as it was).
Bool SetWorldPluginData(Int32 id, const BaseContainer& bc, Bool merge);

#endif // CORVEL_HOST_C4D_GENERAL_H
