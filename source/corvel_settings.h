// corvel_settings.h - the settings record and the one table that describes its fields.
//
// Every operation on the record - loading and saving the preferences, the factory defaults,
// copying to and from the dialog's gadgets - walks kSettingsFields, so a field's type, default,
// gadget and preferences key are written down exactly once.
#ifndef CORVEL_SOURCE_CORVEL_SETTINGS_H
#define CORVEL_SOURCE_CORVEL_SETTINGS_H

#include <cstddef>

#include "c4d.h"
#include "c4d_symbols.h"

// From release 2025 the classic API lives in namespace cinema.
#if API_VERSION >= 2025000
using namespace cinema;
#endif

// Every choice the dialog offers: five combo-box values (which are also the entries' ids) and
// twenty-three switches. The field comments say what each drives in a render.
struct CorvelSettings {
    Int32 antialiasing;         // render parameter 5002
    Int32 aaFilter;             // render parameter 5070
    Int32 frameRange;           // render parameter 5016
    Int32 output;               // editor view (6030) or Picture Viewer (6031)
    Int32 resolutionFraction;   // divides the resolution by (value - 6040)
    Bool keepParam5202;         // off forces 5202 off
    Bool keepParam5076;         // off forces 5076 off
    Bool forceParam5021;        // on forces 5021 on
    Bool setParam7004;          // 7004 follows it
    Bool pressButton28501;      // with setParam7004: press button 28501 instead of writing 7004
    Bool keepParam6016;         // off forces 6016 off
    Bool keepParams6017;        // off forces 6018, 6017, 6020 off
    Bool forceParam6020;        // with keepParams6017: forces 6020 on
    Bool keepParam6019;         // off forces 6019 off
    Bool forceParam6021;        // with keepParam6019: forces 6021 on
    Bool keepParam5069;         // off forces 5069 off
    Bool keepParam5064;         // off forces 5064 off
    Bool keepParam5052;         // off forces 5052 off
    Bool keepParam5604;         // off forces 5604 off
    Bool keepEffects;           // master switch of the effects below; off forces 5401 off
    Bool keepEffect300001045;   // off switches render effect 300001045 off
    Bool keepEffect1000970;     // off switches render effect 1000970 off
    Bool keepEffect1001400;     // off switches render effect 1001400 off
    Bool keepEffect1021096;     // off switches render effect 1021096 off
    Bool keepEffects1001401;    // off switches render effects 1001401, 1001402, 1001007 off
    Bool keepEffect1001049;     // off switches render effect 1001049 off
    Bool keepEffect1017325;     // off switches render effect 1017325 off
    Bool keepEffects1001010;    // off switches render effects 1001010, 1002008 off
};

// One field of the record: where it lives, its factory default, the gadget that shows it and
// its key in the stored preferences.
struct SettingsField {
    enum class Kind { Integer, Boolean };
    Kind kind;
    Int32 CorvelSettings::*int32Member; // Kind::Integer only
    Bool CorvelSettings::*boolMember;   // Kind::Boolean only
    Int32 int32Default;
    Bool boolDefault;
    Int32 gadget;
    Int32 key;
};

constexpr SettingsField Int32Setting(Int32 CorvelSettings::*member, Int32 preset, Int32 gadget, Int32 key) {
    return SettingsField{SettingsField::Kind::Integer, member, nullptr, preset, false, gadget, key};
}

constexpr SettingsField BoolSetting(Bool CorvelSettings::*member, Bool preset, Int32 gadget, Int32 key) {
    return SettingsField{SettingsField::Kind::Boolean, nullptr, member, 0, preset, gadget, key};
}

// The record's fields in their order.
inline constexpr SettingsField kSettingsFields[] = {
    Int32Setting(&CorvelSettings::antialiasing, 6000, IDC_ANTIALIASING, 7000),
    Int32Setting(&CorvelSettings::aaFilter, 6010, IDC_AAFILTER, 7001),
    Int32Setting(&CorvelSettings::frameRange, 6020, IDC_FRAMERANGE, 7002),
    Int32Setting(&CorvelSettings::output, 6030, IDC_OUTPUT, 7003),
    Int32Setting(&CorvelSettings::resolutionFraction, 6041, IDC_RESOLUTION, 7004),
    BoolSetting(&CorvelSettings::keepParam5202, false, IDC_KEEP_PARAM5202, 7005),
    BoolSetting(&CorvelSettings::keepParam5076, false, IDC_KEEP_PARAM5076, 7006),
    BoolSetting(&CorvelSettings::forceParam5021, false, IDC_FORCE_PARAM5021, 7025),
    BoolSetting(&CorvelSettings::setParam7004, true, IDC_SET_PARAM7004, 7026),
    BoolSetting(&CorvelSettings::pressButton28501, false, IDC_PRESS_BUTTON28501, 7027),
    BoolSetting(&CorvelSettings::keepParam6016, false, IDC_KEEP_PARAM6016, 7007),
    BoolSetting(&CorvelSettings::keepParams6017, false, IDC_KEEP_PARAMS6017, 7008),
    BoolSetting(&CorvelSettings::forceParam6020, false, IDC_FORCE_PARAM6020, 7009),
    BoolSetting(&CorvelSettings::keepParam6019, true, IDC_KEEP_PARAM6019, 7010),
    BoolSetting(&CorvelSettings::forceParam6021, false, IDC_FORCE_PARAM6021, 7024),
    BoolSetting(&CorvelSettings::keepParam5069, false, IDC_KEEP_PARAM5069, 7011),
    BoolSetting(&CorvelSettings::keepParam5064, true, IDC_KEEP_PARAM5064, 7012),
    BoolSetting(&CorvelSettings::keepParam5052, false, IDC_KEEP_PARAM5052, 7013),
    BoolSetting(&CorvelSettings::keepParam5604, false, IDC_KEEP_PARAM5604, 7014),
    BoolSetting(&CorvelSettings::keepEffects, true, IDC_KEEP_EFFECTS, 7015),
    BoolSetting(&CorvelSettings::keepEffect300001045, false, IDC_KEEP_EFFECT300001045, 7016),
    BoolSetting(&CorvelSettings::keepEffect1000970, false, IDC_KEEP_EFFECT1000970, 7017),
    BoolSetting(&CorvelSettings::keepEffect1001400, false, IDC_KEEP_EFFECT1001400, 7018),
    BoolSetting(&CorvelSettings::keepEffect1021096, true, IDC_KEEP_EFFECT1021096, 7019),
    BoolSetting(&CorvelSettings::keepEffects1001401, false, IDC_KEEP_EFFECTS1001401, 7020),
    BoolSetting(&CorvelSettings::keepEffect1001049, false, IDC_KEEP_EFFECT1001049, 7021),
    BoolSetting(&CorvelSettings::keepEffect1017325, false, IDC_KEEP_EFFECT1017325, 7022),
    BoolSetting(&CorvelSettings::keepEffects1001010, false, IDC_KEEP_EFFECTS1001010, 7023),
};

constexpr std::size_t kSettingsFieldCount = sizeof kSettingsFields / sizeof kSettingsFields[0];

// The preferences container holds exactly the keys kFirstSettingsKey .. kFirstSettingsKey + 27.
constexpr Int32 kFirstSettingsKey = 7000;

namespace settings_table_checks {

// Each key of 7000..7027 is used exactly once, Int32 fields take 7000..7004, and no gadget shows
// two fields: a mistyped row fails the build instead of corrupting stored preferences.
constexpr bool KeysArePermutation() {
    for (std::size_t k = 0; k < kSettingsFieldCount; ++k) {
        std::size_t uses = 0;
        for (const SettingsField& f : kSettingsFields)
            if (f.key == kFirstSettingsKey + static_cast<Int32>(k))
                ++uses;
        if (uses != 1)
            return false;
    }
    return true;
}

constexpr bool Int32FieldsComeFirst() {
    for (std::size_t i = 0; i < kSettingsFieldCount; ++i) {
        const bool isInt = kSettingsFields[i].kind == SettingsField::Kind::Integer;
        if (isInt != (i < 5) || isInt != (kSettingsFields[i].key < kFirstSettingsKey + 5))
            return false;
    }
    return true;
}

constexpr bool GadgetsAreDistinct() {
    for (std::size_t i = 0; i < kSettingsFieldCount; ++i)
        for (std::size_t j = i + 1; j < kSettingsFieldCount; ++j)
            if (kSettingsFields[i].gadget == kSettingsFields[j].gadget)
                return false;
    return true;
}

static_assert(kSettingsFieldCount == 28, "five Int32 and twenty-three Bool settings");
static_assert(KeysArePermutation(), "preferences keys must be 7000..7027, each once");
static_assert(Int32FieldsComeFirst(), "Int32 settings are the first five fields and keys");
static_assert(GadgetsAreDistinct(), "each gadget shows one field");

} // namespace settings_table_checks

// The gadget that shows a field, or null when no field has that gadget.
const SettingsField* FindSettingByGadget(Int32 gadget);

// Container writes answer nothing, and one the host had no memory for leaves the container as it
// was. Each write below reads its key back with a preset other than the value: true when the
// container holds the value.
inline Bool WriteInt32(BaseContainer& bc, Int32 key, Int32 value) {
    bc.SetInt32(key, value);
    return bc.GetInt32(key, value ^ 1) == value;
}

inline Bool WriteBool(BaseContainer& bc, Int32 key, Bool value) {
    bc.SetBool(key, value);
    return bc.GetBool(key, !value) == value;
}

inline Bool WriteFloat(BaseContainer& bc, Int32 key, Float value) {
    bc.SetFloat(key, value);
    return bc.GetFloat(key, value == 0.0 ? 1.0 : 0.0) == value;
}

#endif // CORVEL_SOURCE_CORVEL_SETTINGS_H
