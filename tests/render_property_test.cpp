// Random scenes times random settings records through the real module. After every render the
// document must hold again every parameter it held before, to the bit, and every effect its bits;
// and what the render saw must equal what a model of the quick render derives. The model below
// is written from the description of the derivation, independently of the module's code.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "render_fixture.h"

namespace corvel_test {
namespace {

using hostsim::Container;

// The settings record as the model sees it.
struct Record {
    int32_t antialiasing = 6000, aaFilter = 6010, frameRange = 6020, output = 6030, fraction = 6041;
    bool keepParam5202 = false, keepParam5076 = false, forceParam5021 = false, setParam7004 = true,
         pressButton28501 = false, keepParam6016 = false, keepParams6017 = false, forceParam6020 = false,
         keepParam6019 = true, forceParam6021 = false, keepParam5069 = false, keepParam5064 = true,
         keepParam5052 = false, keepParam5604 = false, keepEffects = true;
    // Keep switches of the managed effects, by effect type.
    std::map<int32_t, bool> keepEffect;
};

// The stored preferences of a record: keys 7000-7004 Int32, 7005-7027 Bool.
Container StoredRecord(const Record& r) {
    Container c;
    c.SetInt32(7000, r.antialiasing);
    c.SetInt32(7001, r.aaFilter);
    c.SetInt32(7002, r.frameRange);
    c.SetInt32(7003, r.output);
    c.SetInt32(7004, r.fraction);
    c.SetBool(7005, r.keepParam5202);
    c.SetBool(7006, r.keepParam5076);
    c.SetBool(7007, r.keepParam6016);
    c.SetBool(7008, r.keepParams6017);
    c.SetBool(7009, r.forceParam6020);
    c.SetBool(7010, r.keepParam6019);
    c.SetBool(7011, r.keepParam5069);
    c.SetBool(7012, r.keepParam5064);
    c.SetBool(7013, r.keepParam5052);
    c.SetBool(7014, r.keepParam5604);
    c.SetBool(7015, r.keepEffects);
    c.SetBool(7016, r.keepEffect.at(300001045));
    c.SetBool(7017, r.keepEffect.at(1000970));
    c.SetBool(7018, r.keepEffect.at(1001400));
    c.SetBool(7019, r.keepEffect.at(1021096));
    c.SetBool(7020, r.keepEffect.at(1001401));
    c.SetBool(7021, r.keepEffect.at(1001049));
    c.SetBool(7022, r.keepEffect.at(1017325));
    c.SetBool(7023, r.keepEffect.at(1001010));
    c.SetBool(7024, r.forceParam6021);
    c.SetBool(7025, r.forceParam5021);
    c.SetBool(7026, r.setParam7004);
    c.SetBool(7027, r.pressButton28501);
    return c;
}

// Effects in the order the quick render tests them; a switch that keeps several appears for each.
const std::array<int32_t, 11> kTestOrder = {1021096, 300001045, 1000970, 1001400, 1001401, 1001402,
                                            1001007, 1017325,   1001010, 1002008, 1001049};

bool KeptBy(const Record& r, int32_t effect) {
    switch (effect) {
    case 1001402:
    case 1001007: return r.keepEffect.at(1001401);
    case 1002008: return r.keepEffect.at(1001010);
    default: return r.keepEffect.at(effect);
    }
}

int32_t Pick(std::mt19937_64& rng, std::initializer_list<int32_t> listed) {
    // Mostly a listed value; sometimes one without a list entry.
    if (std::uniform_int_distribution<int>(0, 5)(rng) == 0)
        return std::uniform_int_distribution<int32_t>(5990, 6100)(rng);
    const std::vector<int32_t> values(listed);
    return values[std::uniform_int_distribution<size_t>(0, values.size() - 1)(rng)];
}

Record RandomRecord(std::mt19937_64& rng) {
    auto flip = [&rng] { return (rng() & 1) != 0; };
    Record r;
    r.antialiasing = Pick(rng, {6000, 6001, 6002});
    r.aaFilter = Pick(rng, {6010, 6011});
    r.frameRange = Pick(rng, {6020, 6021, 6023});
    r.output = Pick(rng, {6030, 6031, 6031});
    r.fraction = Pick(rng, {6041, 6042, 6043, 6044, 6048, 6056});
    for (bool* b : {&r.keepParam5202, &r.keepParam5076, &r.forceParam5021, &r.setParam7004, &r.pressButton28501,
                    &r.keepParam6016, &r.keepParams6017, &r.forceParam6020, &r.keepParam6019, &r.forceParam6021,
                    &r.keepParam5069, &r.keepParam5064, &r.keepParam5052, &r.keepParam5604, &r.keepEffects})
        *b = flip();
    for (int32_t effect : {300001045, 1000970, 1001400, 1021096, 1001401, 1001049, 1017325, 1001010})
        r.keepEffect[effect] = flip();
    return r;
}

struct Expected {
    int32_t command = 0;
    Container renderParams;
    std::vector<int32_t> renderBits;
};

// The quick render as described: the work copy, the button, parameters in their order, effects.
Expected Model(const hostsim::SceneRenderSettings& rs, const Record& r) {
    Container live = rs.parameters;
    Container w = live;
    if (!r.setParam7004) {
        w.SetBool(7004, false);
    } else if (!r.pressButton28501) {
        w.SetBool(7004, true);
    } else {
        if (rs.button28501)
            live.MergeFrom(*rs.button28501);
        w = live;
    }
    w.SetInt32(5002, r.antialiasing == 6000 ? 0 : r.antialiasing == 6001 ? 1 : 2);
    w.SetInt32(5070, r.aaFilter == 6010 ? 0 : 1);
    if (r.frameRange == 6020)
        w.SetInt32(5016, 1);
    else if (r.frameRange == 6021)
        w.SetInt32(5016, 3);
    else if (r.frameRange == 6023)
        w.SetInt32(5016, 2);
    if (r.output == 6031 && r.fraction > 6040) {
        const double d = r.fraction - 6040;
        const double width = w.GetFloat(5008, 0.0), height = w.GetFloat(5009, 0.0);
        w.SetFloat(5008, width / d);
        w.SetFloat(5009, height / d);
    }
    if (!r.keepParam5076) w.SetBool(5076, false);
    if (!r.keepParam5202) w.SetBool(5202, false);
    if (r.forceParam5021) w.SetBool(5021, true);
    if (!r.keepParam6016) w.SetBool(6016, false);
    if (!r.keepParam6019) w.SetBool(6019, false);
    else if (r.forceParam6021) w.SetBool(6021, true);
    if (!r.keepParam5064) w.SetBool(5064, false);
    if (!r.keepParam5052) w.SetBool(5052, false);
    if (!r.keepParam5604) w.SetBool(5604, false);
    if (!r.keepParams6017) {
        w.SetBool(6018, false);
        w.SetBool(6017, false);
        w.SetBool(6020, false);
    } else if (r.forceParam6020) {
        w.SetBool(6020, true);
    }
    if (!r.keepParam5069) w.SetBool(5069, false);

    Expected e;
    for (const hostsim::SceneEffect& effect : rs.effects)
        e.renderBits.push_back(effect.bits);
    if (!r.keepEffects) {
        w.SetBool(5401, false);
    } else {
        for (int32_t type : kTestOrder) {
            if (KeptBy(r, type))
                continue;
            for (size_t i = 0; i < rs.effects.size(); ++i) {
                if (rs.effects[i].type != type)
                    continue;
                e.renderBits[i] |= 4; // a disabled one stays as it is
                break;
            }
        }
    }
    // Applying the work copy with merge onto the live parameters.
    live.MergeFrom(w);
    e.renderParams = live;
    e.command = r.output == 6030 ? 12163 : 12099;
    return e;
}

class RenderProperty : public RenderTest {};

TEST_F(RenderProperty, RandomScenesAndRecordsAlwaysRestoreAndRenderWhatTheModelDerives) {
    constexpr int kRounds = 3000;
    const uint64_t seed = 0x5eed2026;
    std::mt19937_64 rng(seed);
    hostsim::RandomSceneOptions options;
    options.parameterIds = {5008, 5009, 5002, 5070, 5016, 7004, 5076, 5202, 5021, 6016, 6017,
                            6018, 6019, 6020, 6021, 5064, 5052, 5604, 5069, 5401, 5013};
    options.effectTypes.assign(kTestOrder.begin(), kTestOrder.end());

    Open(hostsim::RandomScene(rng, options));
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + " of seed " + std::to_string(seed));
        const hostsim::Scene scene = hostsim::RandomScene(rng, options);
        const Record record = RandomRecord(rng);
        hostsim::ApplyScene(*host_, scene);
        host_->SetWorldPluginData(kCorvelId, StoredRecord(record));
        ASSERT_EQ(host_->UserAction(window_, 5050), 1) << "Reset settings shows the stored record";
        const size_t callsBefore = host_->CommandCalls().size();
        ASSERT_EQ(Render(), 1);

        const hostsim::SceneRenderSettings& rs = *scene.documents[0].renderSettings;
        ASSERT_EQ(host_->CommandCalls().size(), callsBefore + 1);
        const hostsim::CommandCall& seen = host_->CommandCalls().back();
        ASSERT_TRUE(seen.tookSnapshot);
        const Expected expected = Model(rs, record);
        ASSERT_EQ(seen.id, expected.command);
        ASSERT_EQ(ExactDifference(expected.renderParams, seen.renderParams), "")
            << "scene " << hostsim::SceneToJson(scene).dump();
        ASSERT_EQ(EffectBits(seen), expected.renderBits) << "scene " << hostsim::SceneToJson(scene).dump();

        ASSERT_EQ(RestoreDifference(rs.parameters, Rd().data), "") << "scene " << hostsim::SceneToJson(scene).dump();
        std::vector<int32_t> before;
        for (const auto& e : rs.effects)
            before.push_back(e.bits);
        ASSERT_EQ(EffectBits(Rd()), before);
    }
    EXPECT_EQ(host_->PrefsSaves(), 0);
}

} // namespace
} // namespace corvel_test
