// c4d_general.h - the host's general services: console, message boxes, events, commands and the
// world plug-in preferences.
#ifndef CORVEL_HOST_C4D_GENERAL_H
#define CORVEL_HOST_C4D_GENERAL_H

#include "c4d_basecontainer.h"
#include "ge_prepass.h"
#include "maxon/apibase.h"
#include "maxon/string.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

// Writes one line to the host console. Nothing happens without a host.
void GePrint(const maxon::String& str);

// Shows a modal message box with the buttons and icon of `flags` and waits until it is closed.
// Answers the button pressed; GEMB_R::V_UNDEFINED when the box could not be shown.
GEMB_R GeOutString(const maxon::String& str, GEMB flags);

// Posts an update event for the host's editors.
void EventAdd(EVENT eventflag = EVENT::NONE);

// Runs host command `id` and returns when it has returned.
void CallCommand(Int32 id, Int32 subid = 0);

// The container stored under plug-in id `id` in the world plug-in preferences, or null when none
// is stored. The host keeps it; the pointer is good until the next GetWorldPluginData or
// SetWorldPluginData call. Writes through it do not reach the stored preferences: they change only
// with SetWorldPluginData.
BaseContainer* GetWorldPluginData(Int32 id);

// Stores a copy of `bc` under `id`: with `add` its keys are added to what was stored, without it
// replaces what was stored. False when the host refused (what was stored then stays as it was).
Bool SetWorldPluginData(Int32 id, const BaseContainer& bc, Bool add = true);

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_GENERAL_H
