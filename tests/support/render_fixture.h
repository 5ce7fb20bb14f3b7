// render_fixture.h - the real module in the stand-in host with a scene loaded and the Corvel
// dialog open, ready to render; and comparisons of render settings that are exact to the bit.
#ifndef CORVEL_TESTS_SUPPORT_RENDER_FIXTURE_H
#define CORVEL_TESTS_SUPPORT_RENDER_FIXTURE_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/scene.h"
#include "module_test.h"

namespace corvel_test {

// The same value and type, floats compared by their bits.
inline bool SameBits(const hostsim::Container::Value& a, const hostsim::Container::Value& b) {
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case hostsim::Container::Type::Int32: return a.i == b.i;
    case hostsim::Container::Type::Bool: return a.b == b.b;
    case hostsim::Container::Type::Float: break;
    }
    return std::memcmp(&a.f, &b.f, sizeof a.f) == 0;
}

// Empty when both containers hold the same keys in the same order with the same values to the
// bit; otherwise what differs first.
inline std::string ExactDifference(const hostsim::Container& expected, const hostsim::Container& actual) {
    if (expected.entries.size() != actual.entries.size())
        return "expected " + expected.Describe() + ", got " + actual.Describe();
    for (size_t i = 0; i < expected.entries.size(); ++i)
        if (expected.entries[i].first != actual.entries[i].first ||
            !SameBits(expected.entries[i].second, actual.entries[i].second))
            return "entry " + std::to_string(i) + ": expected " + expected.Describe() + ", got " + actual.Describe();
    return "";
}

// Empty when every key of `backup` is in `actual` with the same value to the bit.
inline std::string RestoreDifference(const hostsim::Container& backup, const hostsim::Container& actual) {
    for (const auto& e : backup.entries) {
        const hostsim::Container::Value* now = actual.Find(e.first);
        if (!now || !SameBits(e.second, *now))
            return "key " + std::to_string(e.first) + " not restored: before " + backup.Describe() + ", after " +
                   actual.Describe();
    }
    return "";
}

inline std::vector<int32_t> EffectBits(const hostsim::ListObject& rd) {
    std::vector<int32_t> bits;
    for (const auto& vp : rd.videoPosts)
        bits.push_back(vp->bits);
    return bits;
}

inline std::vector<int32_t> EffectBits(const hostsim::CommandCall& call) {
    std::vector<int32_t> bits;
    for (const auto& vp : call.videoPostBits)
        bits.push_back(vp.second);
    return bits;
}

class RenderTest : public ModuleTest {
protected:
    // Loads the module, applies `scene`, stores `prefs` (when given) as the saved settings, starts
    // the module and opens the dialog.
    hostsim::DialogWindow* Open(const hostsim::Scene& scene, const hostsim::Container* prefs = nullptr,
                                hostsim::HostOptions options = {}) {
        hostsim::Host& host = Load({}, std::move(options));
        hostsim::ApplyScene(host, scene);
        if (prefs)
            host.SetWorldPluginData(kCorvelId, *prefs);
        host.Startup();
        EXPECT_TRUE(host.ExecuteCommand(kCorvelId));
        window_ = host.ActiveWindow();
        EXPECT_NE(window_, nullptr);
        return window_;
    }

    void SetBool(int32_t gadget, bool value) {
        ASSERT_NE(host_->UserSetBool(window_, gadget, value), 0) << "gadget " << gadget;
    }
    void SetInt32(int32_t gadget, int32_t value) {
        ASSERT_NE(host_->UserSetInt32(window_, gadget, value), 0) << "gadget " << gadget;
    }
    int32_t Render() { return host_->UserAction(window_, kRenderButton); }

    hostsim::ListObject& Rd() { return *host_->ActiveDocument()->activeRenderData; }

    // The render commands the module called so far.
    std::vector<hostsim::CommandCall> Renders() const {
        std::vector<hostsim::CommandCall> out;
        for (const auto& c : host_->CommandCalls())
            if (c.tookSnapshot)
                out.push_back(c);
        return out;
    }

    hostsim::DialogWindow* window_ = nullptr;
};

// A scene with one active document whose render settings hold `parameters` and `effects`
// (type, bits).
inline hostsim::Scene OneDocumentScene(const hostsim::Container& parameters,
                                       const std::vector<std::pair<int32_t, int32_t>>& effects = {}) {
    hostsim::SceneRenderSettings rs;
    rs.name = "Test";
    rs.parameters = parameters;
    for (const auto& e : effects)
        rs.effects.push_back(hostsim::SceneEffect{e.first, e.second, ""});
    hostsim::SceneDocument doc;
    doc.name = "test";
    doc.active = true;
    doc.renderSettings = rs;
    hostsim::Scene scene;
    scene.documents.push_back(doc);
    return scene;
}

} // namespace corvel_test

#endif // CORVEL_TESTS_SUPPORT_RENDER_FIXTURE_H
