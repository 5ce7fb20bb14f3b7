// The render button: one quick render of the real module inside the stand-in host, from the
// button press to the restored render settings. Host calls per render are reported as a counter:
// they must grow with the number of render effects only, never with the number of parameters.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_module.h"
#include "hostsim/host.h"
#include "hostsim/scene.h"

namespace {

const std::string kRealisticScene = CORVEL_SOURCE_DIR "/hostsim/scenes/shot-010.json";

constexpr int32_t kCorvelId = 1027069;
constexpr int32_t kRenderButton = 10032;

// A render settings object with `parameters` parameters (the realistic set first, then filler of
// every type) and `effects` effects (the managed ones, then others), all enabled.
hostsim::Scene SyntheticScene(int parameters, int effects) {
    hostsim::Scene scene;
    std::string why;
    if (!hostsim::LoadSceneFile(kRealisticScene, &scene, &why))
        return scene;
    hostsim::SceneRenderSettings& rs = *scene.documents[0].renderSettings;
    for (int32_t id = 100000; static_cast<int>(rs.parameters.entries.size()) < parameters; ++id) {
        switch (id % 3) {
        case 0: rs.parameters.SetInt32(id, id); break;
        case 1: rs.parameters.SetBool(id, (id & 4) != 0); break;
        default: rs.parameters.SetFloat(id, id * 0.5); break;
        }
    }
    const std::vector<hostsim::SceneEffect> managed = rs.effects;
    rs.effects.clear();
    for (int i = 0; i < effects; ++i)
        rs.effects.push_back(i < static_cast<int>(managed.size()) ? managed[static_cast<size_t>(i)]
                                                                   : hostsim::SceneEffect{2000000 + i, 0, ""});
    return scene;
}

void RenderLoop(benchmark::State& state, const hostsim::Scene& scene) {
    hostsim::Host host;
    if (!host.Load(kModule)) {
        state.SkipWithError(host.LastError().c_str());
        return;
    }
    hostsim::ApplyScene(host, scene);
    host.Startup();
    host.ExecuteCommand(kCorvelId);
    hostsim::DialogWindow* window = host.ActiveWindow();
    if (!window || scene.documents.empty()) {
        state.SkipWithError("the dialog did not open or the scene is missing");
        return;
    }
    host.ResetHostCalls();
    for (auto _ : state) {
        benchmark::DoNotOptimize(host.UserAction(window, kRenderButton));
        state.PauseTiming();
        host.ClearCommandCalls();
        state.ResumeTiming();
    }
    state.counters["host_calls"] =
        benchmark::Counter(static_cast<double>(host.HostCallsTotal()) / static_cast<double>(state.iterations()));
    host.Shutdown();
}

// The sample scene: 26 parameters, 12 effects, factory defaults (ten effects switched off).
void BM_RenderRealisticScene(benchmark::State& state) {
    hostsim::Scene scene;
    std::string why;
    if (!hostsim::LoadSceneFile(kRealisticScene, &scene, &why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    RenderLoop(state, scene);
}
BENCHMARK(BM_RenderRealisticScene)->Unit(benchmark::kMicrosecond);

// Arguments: parameters, effects.
void BM_RenderScaled(benchmark::State& state) {
    RenderLoop(state, SyntheticScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}
BENCHMARK(BM_RenderScaled)
    ->Args({26, 0})
    ->Args({26, 12})
    ->Args({30000, 12})
    ->Args({26, 48})
    ->Unit(benchmark::kMicrosecond);

} // namespace
