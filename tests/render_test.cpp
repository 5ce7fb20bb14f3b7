// The render button through the real module: what the render sees, what is put back, and what
// happens when the host cannot give the module what a render needs.
#include <gtest/gtest.h>

#include <algorithm>

#include "render_fixture.h"

namespace corvel_test {
namespace {

using hostsim::Container;

// The ten effects the factory defaults switch off, and the one they keep (1021096).
const std::vector<int32_t> kManagedTypes = {1021096, 300001045, 1000970, 1001400, 1001401, 1001402,
                                            1001007, 1017325, 1001010, 1002008, 1001049};

Container TypicalParameters() {
    Container c;
    c.SetFloat(5008, 1920.0);
    c.SetFloat(5009, 1080.0);
    c.SetInt32(5002, 2);
    c.SetInt32(5070, 1);
    c.SetInt32(5016, 2);
    c.SetBool(7004, false);
    for (int32_t key : {5076, 5202, 6016, 6017, 6018, 6019, 5064, 5052, 5604, 5069, 5401})
        c.SetBool(key, true);
    for (int32_t key : {5021, 6020, 6021})
        c.SetBool(key, false);
    c.SetInt32(5013, 90);
    return c;
}

std::vector<std::pair<int32_t, int32_t>> AllManagedEnabled() {
    std::vector<std::pair<int32_t, int32_t>> effects;
    for (int32_t type : kManagedTypes)
        effects.emplace_back(type, 0);
    effects.emplace_back(1036219, 0); // an effect Corvel does not manage
    return effects;
}

// Saved settings that differ from the factory defaults only in `changes`.
Container SavedSettings(const std::vector<std::pair<int32_t, int32_t>>& int32Keys,
                        const std::vector<std::pair<int32_t, bool>>& boolKeys = {}) {
    Container c;
    for (const auto& k : int32Keys)
        c.SetInt32(k.first, k.second);
    for (const auto& k : boolKeys)
        c.SetBool(k.first, k.second);
    return c;
}

class RenderButton : public RenderTest {};

TEST_F(RenderButton, FactoryDefaultsIntoTheEditorDeriveAndRestoreEverything) {
    const Container before = TypicalParameters();
    Open(OneDocumentScene(before, AllManagedEnabled()));
    const int events = host_->EventAdds();
    EXPECT_EQ(Render(), 1);

    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].id, kRenderEditor);
    EXPECT_EQ(renders[0].subId, 0);
    const Container& seen = renders[0].renderParams;
    EXPECT_EQ(seen.GetInt32(5002), 0);
    EXPECT_EQ(seen.GetInt32(5070), 0);
    EXPECT_EQ(seen.GetInt32(5016), 1);
    EXPECT_TRUE(seen.GetBool(7004));
    EXPECT_EQ(seen.GetFloat(5008), 1920.0);
    EXPECT_EQ(seen.GetFloat(5009), 1080.0);
    for (int32_t key : {5076, 5202, 6016, 5052, 5604, 6018, 6017, 6020, 5069})
        EXPECT_FALSE(seen.GetBool(key, true)) << key;
    for (int32_t key : {6019, 5064, 5401})
        EXPECT_TRUE(seen.GetBool(key)) << key << " is kept";
    EXPECT_FALSE(seen.GetBool(5021)) << "5021 is left as the document had it";
    EXPECT_FALSE(seen.GetBool(6021));
    EXPECT_EQ(seen.GetInt32(5013), 90);

    std::vector<int32_t> expectedBits = {0, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 0};
    EXPECT_EQ(EffectBits(renders[0]), expectedBits) << "all managed effects but 1021096 switched off";

    EXPECT_EQ(ExactDifference(before, Rd().data), "");
    EXPECT_EQ(EffectBits(Rd()), std::vector<int32_t>(12, 0));
    std::vector<int32_t> messageTypes;
    for (const auto& m : Rd().messages)
        messageTypes.push_back(m.type);
    EXPECT_EQ(messageTypes, (std::vector<int32_t>{5, 5})) << "an update after applying and after restoring";
    EXPECT_EQ(host_->EventAdds(), events + 1);
    EXPECT_EQ(host_->PrefsSaves(), 0);
}

TEST_F(RenderButton, ResolutionIsDividedOnlyForThePictureViewerWithoutRounding) {
    Container params = TypicalParameters();
    params.SetFloat(5008, 1000.0);
    params.SetFloat(5009, 1000.0);
    Open(OneDocumentScene(params));
    SetInt32(10003, 6031);
    SetInt32(10004, 6043);
    Render();
    SetInt32(10004, 6041);
    Render();
    SetInt32(10004, 6044);
    SetInt32(10003, 6030);
    Render();

    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 3u);
    EXPECT_EQ(renders[0].id, kRenderPictureViewer);
    EXPECT_EQ(renders[0].renderParams.GetFloat(5008), 1000.0 / 3.0) << "1:3 of 1000 is 333.333..., not rounded";
    EXPECT_EQ(renders[0].renderParams.GetFloat(5009), 1000.0 / 3.0);
    EXPECT_EQ(renders[1].renderParams.GetFloat(5008), 1000.0) << "1:1 rewrites the size unchanged";
    EXPECT_EQ(renders[2].id, kRenderEditor);
    EXPECT_EQ(renders[2].renderParams.GetFloat(5008), 1000.0) << "the editor view ignores the fraction";
    EXPECT_EQ(Rd().data.GetFloat(5008), 1000.0);
}

TEST_F(RenderButton, AMissingSizeIsWrittenAsZeroAndStaysAfterwards) {
    Container params = TypicalParameters();
    params.Remove(5008);
    params.SetInt32(5009, 720); // an Int32 height reads exactly as a Float
    Open(OneDocumentScene(params));
    SetInt32(10003, 6031);
    SetInt32(10004, 6042);
    Render();
    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 1u);
    const Container& seen = renders[0].renderParams;
    ASSERT_TRUE(seen.Has(5008));
    EXPECT_EQ(seen.GetFloat(5008, -1.0), 0.0);
    EXPECT_EQ(seen.GetFloat(5009), 360.0);
    // What the backup did not hold cannot be put back: the key the render added stays.
    EXPECT_EQ(RestoreDifference(params, Rd().data), "");
    EXPECT_TRUE(Rd().data.Has(5008));
    EXPECT_EQ(Rd().data.TypeOf(5009), Container::Type::Int32);
}

TEST_F(RenderButton, ValuesWithoutAListEntryKeepTheDocumentsFrameRangeAndRenderToThePictureViewer) {
    const Container saved = SavedSettings({{7002, 6022}, {7003, 6032}, {7004, 6044}});
    Container params = TypicalParameters();
    params.SetInt32(5016, 3);
    Open(OneDocumentScene(params), &saved);
    Render();
    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].id, kRenderPictureViewer) << "every output but the editor renders to the Picture Viewer";
    EXPECT_EQ(renders[0].renderParams.GetInt32(5016), 3);
    EXPECT_EQ(renders[0].renderParams.GetFloat(5008), 1920.0) << "only output 6031 divides the size";
}

TEST_F(RenderButton, MasterEffectSwitchOffTouchesNoEffectAndRestoresNone) {
    const std::vector<std::pair<int32_t, int32_t>> effects = {{1001400, 0}, {300001045, 4}, {1021096, 0}};
    Open(OneDocumentScene(TypicalParameters(), effects));
    Render(); // factory defaults: 1001400 off for the render
    SetBool(10027, false); // every effect switch off as well: the master switch overrides them
    SetBool(10023, false);
    Rd().videoPosts[0]->bits = 4; // the user disables 1001400 between the renders
    Render();

    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 2u);
    EXPECT_EQ(EffectBits(renders[0]), (std::vector<int32_t>{4, 4, 0}));
    EXPECT_TRUE(renders[0].renderParams.GetBool(5401));
    EXPECT_EQ(EffectBits(renders[1]), (std::vector<int32_t>{4, 4, 0}));
    EXPECT_FALSE(renders[1].renderParams.GetBool(5401, true));
    EXPECT_EQ(EffectBits(Rd()), (std::vector<int32_t>{4, 4, 0}))
        << "the second render must not switch on what the first had switched off";
}

TEST_F(RenderButton, OnlyTheFirstOfDuplicateEffectsIsSwitchedAndUserDisabledOnesStayDisabled) {
    const std::vector<std::pair<int32_t, int32_t>> effects = {
        {1001400, 4}, {1001400, 0}, {1001010, 0}, {1001010, 0}, {1002008, 4 | 16}, {1001049, 32}};
    Open(OneDocumentScene(TypicalParameters(), effects));
    Render();
    EXPECT_EQ(EffectBits(Renders().at(0)), (std::vector<int32_t>{4, 0, 4, 0, 4 | 16, 32 | 4}));
    EXPECT_EQ(EffectBits(Rd()), (std::vector<int32_t>{4, 0, 0, 0, 4 | 16, 32}));
}

// The restore gives back only what this render did: an effect it switched off that was switched
// on again while the render ran stays on, and one switched off then by someone else stays off.
TEST_F(RenderButton, TheRestoreUndoesOnlyWhatTheRenderItselfSwitchedOff) {
    const std::vector<std::pair<int32_t, int32_t>> effects = {{1001400, 0}, {1001010, 0}, {1021096, 0}};
    Open(OneDocumentScene(TypicalParameters(), effects));
    host_->SetDuringRender([](hostsim::Document& doc) {
        auto& list = doc.activeRenderData->videoPosts;
        list[0]->bits &= ~4; // 1001400: switched on again during the render
        list[2]->bits |= 4;  // 1021096 (kept by the defaults): switched off during the render
    });
    EXPECT_EQ(Render(), 1);
    EXPECT_EQ(EffectBits(Renders().at(0)), (std::vector<int32_t>{4, 4, 0}));
    EXPECT_EQ(EffectBits(Rd()), (std::vector<int32_t>{0, 0, 4}));
}

TEST_F(RenderButton, RenderSettingsWithoutEffectsRenderNormally) {
    Open(OneDocumentScene(TypicalParameters()));
    Render();
    ASSERT_EQ(Renders().size(), 1u);
    EXPECT_TRUE(Renders()[0].videoPostBits.empty());
    EXPECT_EQ(ExactDifference(TypicalParameters(), Rd().data), "");
}

TEST_F(RenderButton, ButtonPressReplacesWriting7004EvenWhenTheEditorIsChosen) {
    hostsim::Scene scene = OneDocumentScene(TypicalParameters(), AllManagedEnabled());
    Container button;
    button.SetBool(7004, true);
    button.SetInt32(5013, 45);
    button.SetInt32(7777, 1); // a parameter the document did not have
    scene.documents[0].renderSettings->button28501 = button;
    scene.documents[0].renderSettings->type = 5000;
    Open(scene);
    // The two switches can only be set while the Picture Viewer is chosen; going back to the
    // editor disables them but keeps their values.
    SetInt32(10003, 6031);
    SetBool(10013, true);
    SetInt32(10003, 6030);
    Render();

    const auto& messages = Rd().messages;
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].type, 18);
    ASSERT_TRUE(messages[0].descId.has_value());
    EXPECT_EQ(messages[0].descId->depth, 1);
    EXPECT_EQ(messages[0].descId->level[0].id, 28501);
    EXPECT_EQ(messages[0].descId->level[0].dtype, 8);
    EXPECT_EQ(messages[0].descId->level[0].creator, 5000);
    ASSERT_TRUE(messages[0].action.has_value());
    EXPECT_EQ(messages[0].action->id, 1648444244);
    EXPECT_EQ(messages[0].action->Keys(), (std::vector<int32_t>{1835362660, 1835365985}));
    EXPECT_EQ(messages[0].action->GetInt32(1835362660), 1440);
    EXPECT_EQ(messages[0].action->GetInt32(1835365985), 1);
    EXPECT_EQ(messages[1].type, 17);
    EXPECT_EQ(messages[1].document, host_->ActiveDocument());
    EXPECT_EQ(messages[1].flags, 0);
    ASSERT_TRUE(messages[1].descId.has_value());
    EXPECT_EQ(messages[1].descId->level[0].id, 28501);
    EXPECT_EQ(messages[2].type, 5);
    EXPECT_EQ(messages[3].type, 5);

    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].id, kRenderEditor);
    EXPECT_EQ(renders[0].renderParams.GetInt32(5013), 45) << "the render starts from what the button left";
    EXPECT_TRUE(renders[0].renderParams.GetBool(7004));
    EXPECT_EQ(renders[0].renderParams.GetInt32(5002), 0) << "the later steps still apply";
    EXPECT_EQ(RestoreDifference(TypicalParameters(), Rd().data), "");
    EXPECT_TRUE(Rd().data.Has(7777)) << "a parameter the button added is not removed";
}

TEST_F(RenderButton, ButtonSwitchWithoutThe7004SwitchOnlyWrites7004Off) {
    hostsim::Scene scene = OneDocumentScene(TypicalParameters());
    Container button;
    button.SetInt32(5013, 45);
    scene.documents[0].renderSettings->button28501 = button;
    const Container saved = SavedSettings({{7003, 6031}}, {{7026, false}, {7027, true}});
    Open(scene, &saved);
    Render();
    for (const auto& m : Rd().messages)
        EXPECT_EQ(m.type, 5) << "the button is not pressed";
    EXPECT_FALSE(Renders().at(0).renderParams.GetBool(7004, true));
    EXPECT_EQ(Renders().at(0).renderParams.GetInt32(5013), 90);
}

TEST_F(RenderButton, UnsavedDialogValuesRenderAndNothingIsSaved) {
    Open(OneDocumentScene(TypicalParameters()));
    SetInt32(10008, 6002);
    SetInt32(10009, 6011);
    SetInt32(10002, 6023);
    SetBool(10005, true);
    SetBool(10007, true);
    SetBool(10015, true);
    SetBool(10017, true);
    SetBool(10014, true);
    SetBool(10016, true);
    Render();
    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 1u);
    const Container& seen = renders[0].renderParams;
    EXPECT_EQ(seen.GetInt32(5002), 2);
    EXPECT_EQ(seen.GetInt32(5070), 1);
    EXPECT_EQ(seen.GetInt32(5016), 2);
    EXPECT_TRUE(seen.GetBool(5202));
    EXPECT_TRUE(seen.GetBool(5021));
    EXPECT_TRUE(seen.GetBool(6019));
    EXPECT_TRUE(seen.GetBool(6021));
    EXPECT_TRUE(seen.GetBool(6017));
    EXPECT_TRUE(seen.GetBool(6020));
    EXPECT_EQ(host_->PrefsSaves(), 0);
    EXPECT_EQ(host_->WorldPluginData(kCorvelId), nullptr);
}

TEST_F(RenderButton, WithoutAnActiveDocumentNothingRenders) {
    hostsim::HostOptions options;
    options.activeDocument = false;
    Load({}, options);
    host_->Startup();
    host_->ExecuteCommand(kCorvelId);
    window_ = host_->ActiveWindow();
    ASSERT_NE(window_, nullptr);
    EXPECT_EQ(Render(), 0);
    EXPECT_TRUE(host_->CommandCalls().empty());
}

TEST_F(RenderButton, ADocumentWithoutRenderSettingsRendersNothingAndSaysWhy) {
    hostsim::Scene scene = OneDocumentScene(TypicalParameters());
    scene.documents[0].renderSettings.reset();
    Open(scene);
    const size_t console = host_->Console().size();
    EXPECT_EQ(Render(), 1);
    EXPECT_TRUE(host_->CommandCalls().empty());
    EXPECT_EQ(host_->EventAdds(), 0);
    EXPECT_EQ(ConsoleSince(console),
              (std::vector<std::string>{"Corvel: the active document has no render settings; nothing was rendered."}));
}

TEST_F(RenderButton, TheSecondDocumentIsNeverTouched) {
    hostsim::Scene scene = OneDocumentScene(TypicalParameters(), AllManagedEnabled());
    hostsim::SceneDocument other = scene.documents[0];
    other.name = "other";
    other.active = false;
    scene.documents.push_back(other);
    Open(scene);
    Render();
    const hostsim::Document& second = *host_->Documents().at(1);
    EXPECT_TRUE(second.activeRenderData->messages.empty());
    EXPECT_EQ(EffectBits(*second.activeRenderData), std::vector<int32_t>(12, 0));
}

// Every container, heap block or string the render asks for is refused in turn: the render either
// runs with exactly the settings it runs with when nothing fails, or not at all with a console
// line; the document always ends as it began, and nothing is left behind.
TEST_F(RenderButton, RefusedHostObjectsNeverRenderHalfDerivedSettingsOrLoseTheUsersSettings) {
    hostsim::Scene scene = OneDocumentScene(TypicalParameters(), AllManagedEnabled());
    Container button;
    button.SetInt32(5013, 45);
    scene.documents[0].renderSettings->button28501 = button;
    const Container pressButton = SavedSettings({{7003, 6031}, {7004, 6042}}, {{7027, true}});

    hostsim::CommandCall reference;
    {
        Open(scene, &pressButton);
        Render();
        ASSERT_EQ(Renders().size(), 1u);
        reference = Renders()[0];
        EXPECT_TRUE(host_->Shutdown().empty());
        host_.reset();
    }

    int refusals = 0;
    for (hostsim::AllocKind kind : {hostsim::AllocKind::Containers, hostsim::AllocKind::Heap,
                                    hostsim::AllocKind::Strings}) {
        for (uint64_t n = 1; n < 40; ++n) {
            SCOPED_TRACE(std::string(hostsim::AllocKindName(kind)) + " #" + std::to_string(n));
            Open(scene, &pressButton);
            host_->FailAllocation(kind, n);
            Render();
            const bool failed = host_->FailedAllocations(kind) > 0;
            host_->FailAllocation(kind, 0);
            const auto renders = Renders();
            if (renders.empty()) {
                EXPECT_TRUE(failed);
                if (kind != hostsim::AllocKind::Strings) {
                    EXPECT_EQ(host_->Console().back(),
                              "Corvel: not enough memory to prepare the render settings; nothing was rendered.");
                }
            } else {
                EXPECT_EQ(ExactDifference(reference.renderParams, renders[0].renderParams), "");
                EXPECT_EQ(EffectBits(renders[0]), EffectBits(reference));
            }
            EXPECT_EQ(RestoreDifference(TypicalParameters(), Rd().data), "");
            EXPECT_EQ(EffectBits(Rd()), std::vector<int32_t>(12, 0));
            EXPECT_TRUE(host_->Shutdown().empty());
            EXPECT_TRUE(host_->Violations().empty());
            host_.reset();
            if (!failed)
                break;
            ++refusals;
        }
    }
    EXPECT_GE(refusals, 4) << "the render asks the host for at least the backup, the work copy, the button's "
                              "message and the copy after the button";
}

} // namespace
} // namespace corvel_test
