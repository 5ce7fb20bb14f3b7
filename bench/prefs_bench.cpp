// Reading the stand-in host's preferences file, which every host start does. The file holds every
// plug-in's stored choices, so its size is not this module's to choose: reading must stay linear
// (a million entries well under a second).
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "hostsim/prefs_file.h"

namespace {

// `entries` values of every type, spread over containers of up to 10,000 entries, plus one
// container holding a tenth of them (a plug-in that stores a lot).
std::string PrefsText(int64_t entries) {
    std::map<int32_t, hostsim::Container> prefs;
    const int64_t inOne = entries / 10;
    for (int64_t n = 0; n < entries; ++n) {
        const int32_t plugin = n < inOne ? 1 : static_cast<int32_t>(2 + (n - inOne) / 10000);
        auto& bc = prefs[plugin].entries;
        const int32_t key = static_cast<int32_t>(bc.size());
        hostsim::Container::Value v;
        v.type = static_cast<hostsim::Container::Type>(n % 3);
        v.i = static_cast<int32_t>(n);
        v.b = (n & 1) != 0;
        v.f = static_cast<double>(n) / 7.0;
        bc.emplace_back(key, v);
    }
    return hostsim::FormatPrefs(prefs);
}

void BM_ParsePrefs(benchmark::State& state) {
    const std::string text = PrefsText(state.range(0));
    for (auto _ : state) {
        std::map<int32_t, hostsim::Container> prefs;
        std::string why;
        if (!hostsim::ParsePrefs(text, &prefs, &why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        benchmark::DoNotOptimize(prefs);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParsePrefs)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

} // namespace
