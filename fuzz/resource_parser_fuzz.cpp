// Fuzzes the readers of the resource formats. The first byte picks the reader; a symbol table
// parsed from a fixed text resolves names, as it does when the host loads a real folder.
#include <cstdint>
#include <map>
#include <string>

#include "hostsim/resource_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::map<std::string, int32_t> symbols;
    std::string why;
    hostsim::ParseSymbols("enum { DLG_CORVEL = 10001, IDS_NAME = 20000, IDS_HELP, _DUMMY_ELEMENT_ };",
                          "c4d_symbols.h", &symbols, &why);
    switch (data[0] % 4) {
    case 0: {
        std::map<std::string, int32_t> parsed;
        hostsim::ParseSymbols(text, "c4d_symbols.h", &parsed, &why);
        break;
    }
    case 1: {
        std::map<int32_t, std::string> strings;
        hostsim::ParseStringTable(text, "c4d_strings.str", symbols, &strings, &why);
        break;
    }
    case 2: {
        std::map<std::string, std::string> texts;
        hostsim::ParseDialogStrings(text, "dlg_corvel.str", &texts, &why);
        break;
    }
    default: {
        hostsim::DialogDescription dialog;
        hostsim::ParseDialog(text, "dlg_corvel.res", symbols, {}, &dialog, &why);
        break;
    }
    }
    return 0;
}
