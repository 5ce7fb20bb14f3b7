// corvel_render.h - what one quick render changes in the active render settings, and how the
// change is undone.
//
// A render is a short transaction on the document's active render settings object: a backup and
// a work copy of its parameters are taken, the work copy is derived from the settings record, the
// chosen render effects are switched off, the host's render command runs on its own copy of the
// document, and everything is put back at once.
#ifndef CORVEL_SOURCE_CORVEL_RENDER_H
#define CORVEL_SOURCE_CORVEL_RENDER_H

#include <cstddef>

#include "c4d.h"
#include "corvel_settings.h"

// Render effects a render may switch off and must switch back on afterwards.
constexpr Int32 CORVEL_EFFECT_MARKS = 11;

// One render effect the dialog can switch off: its plug-in type, the switch that keeps it, and
// its entry in the render marks.
struct ManagedEffect {
    Int32 pluginId;
    Bool CorvelSettings::*keep;
    Int32 mark;
};

// In the order in which they are switched off and back on. A switch may keep several effects;
// each is looked up and switched on its own.
inline constexpr ManagedEffect kManagedEffects[CORVEL_EFFECT_MARKS] = {
    {1021096, &CorvelSettings::keepEffect1021096, 3},
    {300001045, &CorvelSettings::keepEffect300001045, 0},
    {1000970, &CorvelSettings::keepEffect1000970, 1},
    {1001400, &CorvelSettings::keepEffect1001400, 2},
    {1001401, &CorvelSettings::keepEffects1001401, 4},
    {1001402, &CorvelSettings::keepEffects1001401, 6},
    {1001007, &CorvelSettings::keepEffects1001401, 5},
    {1017325, &CorvelSettings::keepEffect1017325, 7},
    {1001010, &CorvelSettings::keepEffects1001010, 8},
    {1002008, &CorvelSettings::keepEffects1001010, 9},
    {1001049, &CorvelSettings::keepEffect1001049, 10},
};

using RenderMarks = Bool[CORVEL_EFFECT_MARKS];

// Output choices and the host commands that render them.
constexpr Int32 OUTPUT_EDITOR = 6030;
constexpr Int32 OUTPUT_PICTURE_VIEWER = 6031;
constexpr Int32 COMMAND_RENDER_EDITOR = 12163;
constexpr Int32 COMMAND_RENDER_PICTURE_VIEWER = 12099;

// A parameter container without a single value: what a copy the host could not make reads as.
// The render settings' own container is never empty.
inline Bool IsEmptyContainer(const BaseContainer& bc) { return bc.GetIndexId(0) == NOTOK; }

// Derives one render from the record: clears `switchedOff`, writes the derived parameters into
// `work` (pressing the render settings' button 28501 first when asked, after which `work` is
// taken anew from `rd`), switches the chosen effects of `rd` off and marks them.
// False when the host could not hold a value or a copy: `work` is then incomplete and must not
// be applied. The live `rd` may already have been changed by the button press (the caller
// restores its parameters); effects are only touched once every parameter was written.
Bool DeriveRenderSettings(const CorvelSettings& settings, BaseDocument* doc, RenderData* rd, BaseContainer& work,
                          RenderMarks& switchedOff);

// Switches back on, in the same order, every effect of `rd` that `switchedOff` marks.
void RestoreEffects(RenderData* rd, const RenderMarks& switchedOff);

// The host command that renders into the chosen output: the editor view for 6030, the Picture
// Viewer for every other value.
Int32 RenderCommandFor(Int32 output);

#endif // CORVEL_SOURCE_CORVEL_RENDER_H
