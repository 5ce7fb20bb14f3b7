// What the render tells the host and in which order: the update messages with the state the
// render settings are in when each is sent, EventAdd with its flags, the render command; what a
// dialog changed while no document was active renders once one is; container copies the host
// refuses.
#include <gtest/gtest.h>

#include "hostsim/scene.h"
#include "render_fixture.h"

namespace corvel_test {
namespace {

using hostsim::Container;

Container SomeParameters() {
    Container c;
    c.SetFloat(5008, 1280.0);
    c.SetFloat(5009, 720.0);
    c.SetInt32(5002, 2);
    c.SetInt32(5070, 1);
    c.SetInt32(5016, 2);
    c.SetBool(7004, false);
    for (int32_t key : {5076, 5202, 6016, 6017, 6018, 5052, 5604, 5069})
        c.SetBool(key, true);
    return c;
}

// Three managed effects (switched off by the factory defaults) and one Corvel leaves alone.
const std::vector<std::pair<int32_t, int32_t>> kEffects = {{1001400, 0}, {1000970, 0}, {1017325, 0}, {1036219, 0}};

std::vector<const hostsim::ListMessage*> Updates(const hostsim::ListObject& rd) {
    std::vector<const hostsim::ListMessage*> out;
    for (const auto& m : rd.messages)
        if (m.type == C4D_MSG_UPDATE)
            out.push_back(&m);
    return out;
}

std::vector<int32_t> Bits(const std::vector<std::pair<int32_t, int32_t>>& effects) {
    std::vector<int32_t> bits;
    for (const auto& e : effects)
        bits.push_back(e.second);
    return bits;
}

class RenderEvents : public RenderTest {};

// The first update announces exactly what the render is about to see, then EventAdd without
// flags, then the render command; the last update comes after everything is put back and carries
// the document's own settings and effect bits.
TEST_F(RenderEvents, UpdatesAnnounceWhatTheRenderSeesAndThenTheRestoredSettingsInThatOrder) {
    Open(OneDocumentScene(SomeParameters(), kEffects));
    ASSERT_EQ(Render(), 1);
    SetInt32(10003, 6031); // into the Picture Viewer: a second render with other values
    ASSERT_EQ(Render(), 1);

    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 2u);
    const auto updates = Updates(Rd());
    ASSERT_EQ(updates.size(), 4u) << "one update before and one after each render";
    ASSERT_EQ(host_->EventAddCalls().size(), 2u);
    for (size_t i = 0; i < renders.size(); ++i) {
        SCOPED_TRACE("render " + std::to_string(i + 1));
        const hostsim::ListMessage& announce = *updates[2 * i];
        const hostsim::ListMessage& restored = *updates[2 * i + 1];
        const hostsim::EventAddCall& event = host_->EventAddCalls()[i];
        ASSERT_TRUE(announce.state && restored.state);
        EXPECT_EQ(ExactDifference(renders[i].renderParams, *announce.state), "");
        EXPECT_EQ(Bits(announce.videoPostBits), EffectBits(renders[i]));
        EXPECT_LT(announce.serial, event.serial);
        EXPECT_LT(event.serial, renders[i].serial);
        EXPECT_EQ(event.flags, 0) << "EventAdd without flags";
        EXPECT_GT(restored.serial, renders[i].serial) << "the last update follows the render";
        EXPECT_EQ(RestoreDifference(SomeParameters(), *restored.state), "") << "the last update follows the restore";
        EXPECT_EQ(Bits(restored.videoPostBits), Bits(kEffects)) << "and follows the effects switched back on";
    }
    EXPECT_NE(EffectBits(renders[0]), Bits(kEffects)) << "the render itself ran with effects switched off";
}

// A render that cannot be prepared sends no announcement, no EventAdd and no render, but still
// tells the render settings they are back.
TEST_F(RenderEvents, ARenderThatCannotBePreparedStillSendsTheUpdateAfterTheRestore) {
    Open(OneDocumentScene(SomeParameters(), kEffects));
    host_->FailAllAllocations(hostsim::AllocKind::Containers, true);
    Render();
    host_->FailAllAllocations(hostsim::AllocKind::Containers, false);
    EXPECT_TRUE(Renders().empty());
    EXPECT_TRUE(host_->EventAddCalls().empty());
    for (const hostsim::ListMessage* m : Updates(Rd())) {
        ASSERT_TRUE(m->state);
        EXPECT_EQ(RestoreDifference(SomeParameters(), *m->state), "");
        EXPECT_EQ(Bits(m->videoPostBits), Bits(kEffects));
    }
}

// The dialog answers no change while there is no active document, but the gadgets show what the
// user set; once a document is active, Render renders exactly that.
TEST_F(RenderEvents, GadgetsChangedWithoutADocumentRenderAsShownOnceADocumentIsActive) {
    hostsim::HostOptions options;
    options.activeDocument = false;
    Load({}, options);
    host_->Startup();
    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId));
    window_ = host_->ActiveWindow();
    ASSERT_NE(window_, nullptr);
    host_->UserSetInt32(window_, 10003, 6031); // Picture Viewer
    host_->UserSetInt32(window_, 10004, 6042); // 1:2, where the dialog lets it be chosen
    host_->UserSetBool(window_, 10005, true);  // keep 5202
    EXPECT_EQ(window_->gadgets.at(10003).intValue, 6031) << "the window shows the user's choice";
    EXPECT_TRUE(window_->gadgets.at(10005).boolValue);
    const double fraction = window_->gadgets.at(10004).intValue == 6042 ? 2.0 : 1.0;

    hostsim::ApplyScene(*host_, OneDocumentScene(SomeParameters(), kEffects));
    ASSERT_NE(host_->ActiveDocument(), nullptr);
    ASSERT_EQ(Render(), 1);
    const auto renders = Renders();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].id, kRenderPictureViewer) << "the output the dialog shows";
    EXPECT_EQ(renders[0].renderParams.GetFloat(5008), 1280.0 / fraction) << "at the fraction the dialog shows";
    EXPECT_EQ(renders[0].renderParams.GetFloat(5009), 720.0 / fraction);
    EXPECT_TRUE(renders[0].renderParams.GetBool(5202)) << "5202 kept, as the dialog shows";
    EXPECT_EQ(RestoreDifference(SomeParameters(), Rd().data), "");
}

// Every container copy the host is asked for is refused, through every user action: nothing is
// left behind, no handle is misused, and the document's settings end as they began.
TEST_F(RenderEvents, RefusedContainerCopiesLeaveNothingBehind) {
    hostsim::Scene scene = OneDocumentScene(SomeParameters(), kEffects);
    Container button;
    button.SetInt32(5013, 45);
    scene.documents[0].renderSettings->button28501 = button;
    Open(scene);
    host_->FailAllAllocations(hostsim::AllocKind::ContainerCopies, true);
    SetInt32(10003, 6031);
    SetInt32(10004, 6042);
    Render();
    host_->UserAction(window_, 5055); // Save Settings
    host_->UserAction(window_, 5050); // Reset Settings
    Render();
    host_->UserClose(window_);
    host_->ExecuteCommand(kCorvelId);
    host_->FailAllAllocations(hostsim::AllocKind::ContainerCopies, false);
    EXPECT_EQ(RestoreDifference(SomeParameters(), Rd().data), "");
    EXPECT_EQ(Bits([&] {
                  std::vector<std::pair<int32_t, int32_t>> bits;
                  for (const auto& vp : Rd().videoPosts)
                      bits.emplace_back(vp->type, vp->bits);
                  return bits;
              }()),
              Bits(kEffects));
    EXPECT_TRUE(host_->Shutdown().empty());
    EXPECT_TRUE(host_->Violations().empty());
}

// The host side of the fault: a refused copy answers false and leaves the destination as it was;
// the next copy succeeds.
TEST(HostContainerCopy, ARefusedCopyAnswersFalseAndLeavesTheDestinationUnchanged) {
    hostsim::Host host;
    const C4D_ContainerTable* t = host.Api().container;
    C4D_Container* src = t->Alloc(1);
    C4D_Container* dst = t->Alloc(2);
    t->SetInt32(src, 10, 7);
    t->SetInt32(dst, 10, 3);
    host.FailAllocation(hostsim::AllocKind::ContainerCopies, 1);
    EXPECT_FALSE(t->CopyTo(dst, src));
    EXPECT_EQ(t->GetInt32(dst, 10, 0), 3);
    EXPECT_EQ(host.FailedAllocations(hostsim::AllocKind::ContainerCopies), 1u);
    EXPECT_TRUE(t->CopyTo(dst, src));
    EXPECT_EQ(t->GetInt32(dst, 10, 0), 7);
    EXPECT_EQ(host.AllocationCount(hostsim::AllocKind::ContainerCopies), 2u);
    t->Free(src);
    t->Free(dst);
    EXPECT_TRUE(host.LiveObjects().empty()) << "a copy is nothing to hold";
}

} // namespace
} // namespace corvel_test
