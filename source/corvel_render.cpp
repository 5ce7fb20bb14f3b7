// corvel_render.cpp - the derivation of one quick render and the restore of its effects.
#include "corvel_render.h"

namespace {

// Render settings parameters the derivation writes (the host's ids).
constexpr Int32 PARAM_ANTIALIASING = 5002;
constexpr Int32 PARAM_ANTIALIASING_FILTER = 5070;
constexpr Int32 PARAM_FRAMERANGE = 5016;
constexpr Int32 PARAM_XRES = 5008;
constexpr Int32 PARAM_YRES = 5009;
constexpr Int32 PARAM_7004 = 7004;
constexpr Int32 PARAM_ENABLE_EFFECTS = 5401;

// The render settings' button that the dialog can press instead of writing 7004, and the action
// the host's own user interface sends when it is pressed.
constexpr Int32 PARAM_BUTTON_28501 = 28501;
constexpr Int32 BUTTON_ACTION_ID = 1440;
constexpr Int32 BUTTON_ACTION_VALUE = 1;

constexpr Int32 RESOLUTION_FRACTION_BASE = 6040;

// Writes into the work container and remembers whether every write was held: a container that
// missed one value would render with settings the dialog never showed.
class WorkWriter {
public:
    explicit WorkWriter(BaseContainer& work) : work_(work) {}

    void SetBool(Int32 key, Bool value) { ok_ = WriteBool(work_, key, value) && ok_; }
    void SetInt32(Int32 key, Int32 value) { ok_ = WriteInt32(work_, key, value) && ok_; }
    void SetFloat(Int32 key, Float value) { ok_ = WriteFloat(work_, key, value) && ok_; }
    // A switch that is off forces its parameter off; one that is on keeps the document's value.
    void ForceOffUnlessKept(Bool kept, Int32 key) {
        if (!kept)
            SetBool(key, false);
    }
    void ForceOnIf(Bool forced, Int32 key) {
        if (forced)
            SetBool(key, true);
    }
    Float GetFloat(Int32 key) const { return work_.GetFloat(key, 0.0); }
    Bool Ok() const { return ok_; }

private:
    BaseContainer& work_;
    Bool ok_ = true;
};

Int32 AntialiasingLevel(Int32 antialiasing) {
    switch (antialiasing) {
    case 6000: return 0; // none
    case 6001: return 1; // geometry
    default: return 2;   // best
    }
}

Int32 AntialiasingFilter(Int32 aaFilter) { return aaFilter == 6010 ? 0 : 1; }

// The frame range for a listed choice; 0 for a value without a list entry, which keeps the
// document's own range.
Int32 FrameRange(Int32 frameRange) {
    switch (frameRange) {
    case 6020: return 1; // current frame
    case 6021: return 3; // preview range
    case 6023: return 2; // all frames
    default: return 0;
    }
}

// Presses the render settings' button 28501 as the host's own user interface would: the command
// message with the action, then the check-update message. The host handles both before they
// return, so a copy taken afterwards holds what the button did. False when the action message
// could not be built (the button is then not pressed).
Bool PressButton28501(BaseDocument* doc, RenderData* rd) {
    BaseContainer action(BFM_ACTION);
    if (!WriteInt32(action, BFM_ACTION_ID, BUTTON_ACTION_ID) || !WriteInt32(action, BFM_ACTION_VALUE, BUTTON_ACTION_VALUE))
        return false;
    const DescLevel button(PARAM_BUTTON_28501, DTYPE_BUTTON, rd->GetType());
    DescriptionCommand command;
#if API_VERSION >= 2024000
    command._descId = CreateDescID(button);
#else
    command._descId = DescID(button);
#endif
    command._msg = &action;
    rd->Message(MSG_DESCRIPTION_COMMAND, &command);
    DescriptionCheckUpdate update;
    update.doc = doc;
    update.drawflags = 0;
    update.descid = &command._descId;
    rd->Message(MSG_DESCRIPTION_CHECKUPDATE, &update);
    return true;
}

// 7004 follows its switch, unless the button is to be pressed instead. False when the button
// could not be pressed or the settings could not be copied again after it.
Bool DeriveParam7004(const CorvelSettings& s, BaseDocument* doc, RenderData* rd, BaseContainer& work) {
    if (!s.setParam7004 || !s.pressButton28501)
        return WriteBool(work, PARAM_7004, s.setParam7004);
    if (!PressButton28501(doc, rd))
        return false;
    work = rd->GetData();
    return !IsEmptyContainer(work);
}

// Divides the output size for the Picture Viewer only; 6041 (1:1) rewrites it unchanged. A size
// the settings do not hold reads as 0 and is written all the same.
void DeriveResolution(const CorvelSettings& s, WorkWriter& w) {
    if (s.output != OUTPUT_PICTURE_VIEWER || s.resolutionFraction <= RESOLUTION_FRACTION_BASE)
        return;
    const Float divisor = static_cast<Float>(s.resolutionFraction - RESOLUTION_FRACTION_BASE);
    const Float width = w.GetFloat(PARAM_XRES);
    const Float height = w.GetFloat(PARAM_YRES);
    w.SetFloat(PARAM_XRES, width / divisor);
    w.SetFloat(PARAM_YRES, height / divisor);
}

// The render features the switches force off (or, for a few, on), in their fixed order.
void DeriveFeatureSwitches(const CorvelSettings& s, WorkWriter& w) {
    w.ForceOffUnlessKept(s.keepParam5076, 5076);
    w.ForceOffUnlessKept(s.keepParam5202, 5202);
    w.ForceOnIf(s.forceParam5021, 5021);
    w.ForceOffUnlessKept(s.keepParam6016, 6016);
    if (!s.keepParam6019)
        w.SetBool(6019, false);
    else
        w.ForceOnIf(s.forceParam6021, 6021);
    w.ForceOffUnlessKept(s.keepParam5064, 5064);
    w.ForceOffUnlessKept(s.keepParam5052, 5052);
    w.ForceOffUnlessKept(s.keepParam5604, 5604);
    if (!s.keepParams6017) {
        w.SetBool(6018, false);
        w.SetBool(6017, false);
        w.SetBool(6020, false);
    } else {
        w.ForceOnIf(s.forceParam6020, 6020);
    }
    w.ForceOffUnlessKept(s.keepParam5069, 5069);
}

// The first effect of each managed type (a duplicate later in the list is not managed), found in
// one walk of the effect list, so the host calls grow with the list only once.
using ManagedVideoPosts = BaseVideoPost* [CORVEL_EFFECT_MARKS];

void FindManagedVideoPosts(RenderData* rd, ManagedVideoPosts& found) {
    for (BaseVideoPost*& vp : found)
        vp = nullptr;
    Int32 missing = CORVEL_EFFECT_MARKS;
    for (BaseVideoPost* vp = rd->GetFirstVideoPost(); vp && missing > 0; vp = vp->GetNext()) {
        const Int32 type = vp->GetType();
        for (Int32 i = 0; i < CORVEL_EFFECT_MARKS; ++i) {
            if (!found[i] && kManagedEffects[i].pluginId == type) {
                found[i] = vp;
                --missing;
            }
        }
    }
}

// Switches off every managed effect whose switch is off and that is present and enabled. An
// effect that is missing or that the user disabled stays unmarked, so the restore never enables
// what was disabled before the render.
void SwitchEffectsOff(const CorvelSettings& s, RenderData* rd, RenderMarks& switchedOff) {
    ManagedVideoPosts found;
    FindManagedVideoPosts(rd, found);
    for (Int32 i = 0; i < CORVEL_EFFECT_MARKS; ++i) {
        const ManagedEffect& effect = kManagedEffects[i];
        if (s.*effect.keep)
            continue;
        BaseVideoPost* vp = found[i];
        if (!vp || vp->GetBit(BIT_VPDISABLED))
            continue;
        vp->SetBit(BIT_VPDISABLED);
        switchedOff[effect.mark] = true;
    }
}

} // namespace

Bool DeriveRenderSettings(const CorvelSettings& s, BaseDocument* doc, RenderData* rd, BaseContainer& work,
                          RenderMarks& switchedOff) {
    for (Bool& mark : switchedOff)
        mark = false;

    if (!DeriveParam7004(s, doc, rd, work))
        return false;

    WorkWriter w(work);
    w.SetInt32(PARAM_ANTIALIASING, AntialiasingLevel(s.antialiasing));
    w.SetInt32(PARAM_ANTIALIASING_FILTER, AntialiasingFilter(s.aaFilter));
    if (const Int32 range = FrameRange(s.frameRange))
        w.SetInt32(PARAM_FRAMERANGE, range);
    DeriveResolution(s, w);
    DeriveFeatureSwitches(s, w);
    if (!s.keepEffects)
        w.SetBool(PARAM_ENABLE_EFFECTS, false);
    if (!w.Ok())
        return false;

    // With the master switch off the effect switches are ignored: the render turns all effects
    // off through 5401 and no effect's own state is touched.
    if (s.keepEffects)
        SwitchEffectsOff(s, rd, switchedOff);
    return true;
}

void RestoreEffects(RenderData* rd, const RenderMarks& switchedOff) {
    Bool any = false;
    for (Bool mark : switchedOff)
        any = any || mark;
    if (!any)
        return;
    ManagedVideoPosts found;
    FindManagedVideoPosts(rd, found);
    for (Int32 i = 0; i < CORVEL_EFFECT_MARKS; ++i) {
        if (!switchedOff[kManagedEffects[i].mark])
            continue;
        // Flips back only the bit this render set: were it clear by now, flipping would disable
        // an effect the user has enabled.
        BaseVideoPost* vp = found[i];
        if (vp && vp->GetBit(BIT_VPDISABLED))
            vp->ToggleBit(BIT_VPDISABLED);
    }
}

Int32 RenderCommandFor(Int32 output) {
    return output == OUTPUT_EDITOR ? COMMAND_RENDER_EDITOR : COMMAND_RENDER_PICTURE_VIEWER;
}
