// Start-up and command latency of the real module inside the stand-in host.
//
// The host loads every plug-in at each of its starts, so the whole road from loading the binary to
// the start-up console lines, and back out at shutdown, is what each user pays every day. The
// command's Execute is what the user waits for when the dialog opens.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_module.h"
#include "hostsim/host.h"

namespace {

// Load + bind + action 1 + message 1 (resource) + action 2 (registration, settings load), then
// action 3, destroy, unload: one full host session without user interaction.
void BM_LoadStartShutdown(benchmark::State& state) {
    for (auto _ : state) {
        hostsim::Host host;
        if (!host.Load(kModule)) {
            state.SkipWithError(host.LastError().c_str());
            return;
        }
        host.Startup();
        auto leaks = host.Shutdown();
        benchmark::DoNotOptimize(leaks);
    }
}
BENCHMARK(BM_LoadStartShutdown)->Unit(benchmark::kMicrosecond);

// Only the module's part of start-up: the three c4d_main calls on an already bound module.
void BM_StartupActions(benchmark::State& state) {
    hostsim::Host host;
    if (!host.Load(kModule)) {
        state.SkipWithError(host.LastError().c_str());
        return;
    }
    for (auto _ : state) {
        host.Startup();
        state.PauseTiming();
        host.End();
        host.FreePlugins();
        host.ClearConsole();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupActions)->Unit(benchmark::kMicrosecond);

// Running the command: Execute opens the dialog (layout, values); the window is closed again
// outside the timed region.
void BM_ExecuteCommand(benchmark::State& state) {
    hostsim::Host host;
    if (!host.Load(kModule)) {
        state.SkipWithError(host.LastError().c_str());
        return;
    }
    host.Startup();
    for (auto _ : state) {
        benchmark::DoNotOptimize(host.ExecuteCommand(1027069));
        state.PauseTiming();
        if (auto* window = host.ActiveWindow())
            host.UserClose(window);
        state.ResumeTiming();
    }
    host.Shutdown();
}
BENCHMARK(BM_ExecuteCommand)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
