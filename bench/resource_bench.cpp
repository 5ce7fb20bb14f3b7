// Reading resource files: the host reads every plug-in's string table at each start, and a broken
// or hostile file must not stall it. Time per entry must stay flat from small tables to the
// largest the reader accepts (linear reading), for string tables and for dialog descriptions.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "hostsim/resource_files.h"

namespace {

std::map<std::string, int32_t> Symbols(int64_t count) {
    std::map<std::string, int32_t> symbols;
    for (int32_t i = 0; i < count; ++i)
        symbols["IDS_S" + std::to_string(i)] = 20000 + i;
    return symbols;
}

void BM_ReadStringTable(benchmark::State& state) {
    const std::map<std::string, int32_t> symbols = Symbols(state.range(0));
    std::string text = "// C4D-StringResource\r\nSTRINGTABLE\r\n{\r\n";
    for (int64_t i = 0; i < state.range(0); ++i)
        text += "\tIDS_S" + std::to_string(i) + " \"String number " + std::to_string(i) + "\";\r\n";
    text += "}\r\n";
    for (auto _ : state) {
        std::map<int32_t, std::string> strings;
        hostsim::ResourceDiagnostics d;
        if (!hostsim::ReadStringTable(text, "c4d_strings.str", symbols, &strings, &d))
            state.SkipWithError("the table was refused");
        benchmark::DoNotOptimize(strings);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadStringTable)->RangeMultiplier(10)->Range(100, 90000)->Unit(benchmark::kMicrosecond);

void BM_ReadDialog(benchmark::State& state) {
    const std::map<std::string, int32_t> symbols = Symbols(state.range(0) + 1);
    std::string text = "DIALOG IDS_S0\n{\n  NAME T_TITLE;\n  GROUP IDC_STATIC\n  {\n";
    for (int64_t i = 1; i <= state.range(0); ++i)
        text += "    CHECKBOX IDS_S" + std::to_string(i) + " { NAME T_" + std::to_string(i) + "; SCALE_H; }\n";
    text += "  }\n}\n";
    for (auto _ : state) {
        hostsim::DialogDescription dialog;
        hostsim::ResourceDiagnostics d;
        if (!hostsim::ReadDialog(text, "ids_s0.res", symbols, &dialog, &d))
            state.SkipWithError("the description was refused");
        benchmark::DoNotOptimize(dialog);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadDialog)->RangeMultiplier(10)->Range(100, 30000)->Unit(benchmark::kMicrosecond);

} // namespace
