// Reading a scene file, and the container writes it is made of: both must grow linearly (or
// n log n) with the number of parameters, never quadratically. 30,000 and 300,000 parameters
// stand for a heavy and an absurd render settings object.
#include <benchmark/benchmark.h>

#include <string>

#include "hostsim/scene.h"

namespace {

// One active document whose render settings hold `parameters` parameters of every type.
std::string SceneText(int parameters) {
    hostsim::SceneRenderSettings rs;
    rs.name = "Large";
    for (int32_t n = 0; n < parameters; ++n) {
        const int32_t id = 100000 + n;
        switch (n % 3) {
        case 0: rs.parameters.SetInt32(id, n); break;
        case 1: rs.parameters.SetBool(id, (n & 4) != 0); break;
        default: rs.parameters.SetFloat(id, n * 0.5); break;
        }
    }
    hostsim::SceneDocument doc;
    doc.name = "large";
    doc.active = true;
    doc.renderSettings = std::move(rs);
    hostsim::Scene scene;
    scene.documents.push_back(std::move(doc));
    return hostsim::SceneToJson(scene).dump();
}

void BM_ReadScene(benchmark::State& state) {
    const std::string text = SceneText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        hostsim::Scene scene;
        std::string why;
        if (!hostsim::ParseScene(text, "bench.json", &scene, &why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        benchmark::DoNotOptimize(scene);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadScene)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);

// Writes of new keys, then a rewrite of every key (the value changes, the order stays).
void BM_ContainerWrites(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        hostsim::Container c;
        for (int32_t key = 0; key < n; ++key)
            c.SetInt32(key * 7, key);
        for (int32_t key = 0; key < n; ++key)
            c.SetFloat(key * 7, key * 0.5);
        benchmark::DoNotOptimize(c);
    }
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}
BENCHMARK(BM_ContainerWrites)->Arg(30000)->Arg(300000)->Unit(benchmark::kMillisecond);

} // namespace
