// The render case: random scenes rendered through the dialog with random dialog values. A render
// may change the render settings only while the host's render command takes its copy; afterwards
// every parameter that was there before must hold its value bit for bit and every effect its bits.
#include <cstring>
#include <random>

#include "hostsim/scene.h"
#include "validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

// Render effects of the host application's standard installation (video post types), drawn from
// for the random effect lists, among random other types.
const std::vector<int32_t> kKnownEffectTypes = {1021096, 300001045, 1000970, 1001400, 1001401, 1001402,
                                                1001007, 1017325,   1001010, 1002008, 1001049};

// Same type and the same bits: -0.0 is not 0.0, and a NaN equals only the same NaN.
bool SameBits(const Container::Value& a, const Container::Value& b) {
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case Container::Type::Int32: return a.i == b.i;
    case Container::Type::Bool: return a.b == b.b;
    case Container::Type::Float: return std::memcmp(&a.f, &b.f, sizeof a.f) == 0;
    }
    return false;
}

std::string ReadableValueText(const Container::Value& v) {
    Container c;
    c.Set(0, v);
    const std::string d = c.Describe();
    const size_t colon = d.find("0:");
    return colon == std::string::npos ? d : d.substr(colon + 2, d.size() - colon - 3);
}

// Random values in every enabled check box and combo box; twice, so that gadgets enabled by the
// first pass get a value too.
void RandomDialogValues(Host& host, std::mt19937_64& rng) {
    std::string ignored;
    for (int pass = 0; pass < 2; ++pass) {
        DialogWindow* w = host.ActiveWindow();
        if (!w)
            return;
        for (int32_t id : std::vector<int32_t>(w->gadgetOrder)) {
            const Gadget& g = w->gadgets.at(id);
            if (!g.enabled)
                continue;
            if (g.kind == GadgetKind::Check)
                RunStep(host, Step{Step::Kind::Set, id, static_cast<int32_t>(rng() & 1)}, &ignored);
            else if (g.kind == GadgetKind::Combo && !g.children.empty())
                RunStep(host, Step{Step::Kind::Set, id, g.children[rng() % g.children.size()].first}, &ignored);
        }
    }
}

RandomSceneOptions SceneOptions() {
    RandomSceneOptions options;
    Container defaults;
    FillDefaultRenderData(defaults);
    options.parameterIds = defaults.Keys();
    options.effectTypes = kKnownEffectTypes;
    return options;
}

} // namespace

std::vector<std::string> RestoreDifferences(const SceneRenderSettings& before, const SceneRenderSettings& after) {
    std::vector<std::string> diffs;
    for (const auto& e : before.parameters.entries) {
        const Container::Value* now = after.parameters.Find(e.first);
        if (!now)
            diffs.push_back("parameter " + std::to_string(e.first) + " is gone (was " + ReadableValueText(e.second) + ")");
        else if (!SameBits(e.second, *now))
            diffs.push_back("parameter " + std::to_string(e.first) + " is " + ReadableValueText(*now) + ", was " +
                            ReadableValueText(e.second));
    }
    if (after.effects.size() != before.effects.size()) {
        diffs.push_back("the render settings hold " + std::to_string(after.effects.size()) + " effects, " +
                        std::to_string(before.effects.size()) + " before");
        return diffs;
    }
    for (size_t i = 0; i < before.effects.size(); ++i)
        if (!(before.effects[i] == after.effects[i]))
            diffs.push_back("effect " + std::to_string(i + 1) + " (type " + std::to_string(before.effects[i].type) +
                            ") has bits " + std::to_string(after.effects[i].bits) + ", " +
                            std::to_string(before.effects[i].bits) + " before");
    return diffs;
}

void RunRenderScenes(const std::string& module, const CaseSpec& spec, CaseResult* r) {
    const RandomSceneOptions sceneOptions = SceneOptions();
    uint64_t rendersStarted = 0;
    for (int i = 0; i < spec.cycles; ++i) {
        std::mt19937_64 rng(spec.seed + static_cast<uint64_t>(i));
        const std::string label = "scene " + std::to_string(spec.seed + static_cast<uint64_t>(i)) + ": ";
        Host host(QuietHostOptions());
        if (!host.Load(module)) {
            r->failures.push_back("refused: " + host.LastError());
            return;
        }
        host.Startup();
        std::string why;
        if (!RunStep(host, Step{Step::Kind::Open}, &why) || !host.ActiveWindow()) {
            r->failures.push_back(label + "the dialog did not open" + (why.empty() ? "" : ": " + why));
            return;
        }
        RandomDialogValues(host, rng);
        const Scene scene = RandomScene(rng, sceneOptions);
        ApplyScene(host, scene);
        const Document* doc = host.ActiveDocument();
        const ListObject* rd = doc ? doc->activeRenderData : nullptr;
        if (!rd)
            continue;
        const SceneRenderSettings before = CaptureRenderSettings(*rd);
        const size_t rendersBefore = host.CommandCalls().size();
        if (!RunStep(host, Step{Step::Kind::Click, spec.renderButton}, &why)) {
            r->failures.push_back(label + "cannot press the render button: " + why);
            return;
        }
        rendersStarted += host.CommandCalls().size() > rendersBefore ? 1 : 0;
        for (const std::string& d : RestoreDifferences(before, CaptureRenderSettings(*rd)))
            r->failures.push_back(label + d);
        std::vector<std::string> failures;
        CheckCleanShutdown(host, ShutDown(host), &failures);
        for (const std::string& f : failures)
            r->failures.push_back(label + f);
        ++r->checks;
        if (r->failures.size() > 20)
            return;
    }
    if (r->checks > 0 && rendersStarted == 0)
        r->failures.push_back("the render button " + std::to_string(spec.renderButton) + " started no render command");
}

} // namespace validate
} // namespace hostsim
