// Fuzzes the readers of the resource formats. The first byte picks the reader; a symbol table
// parsed from a fixed text resolves names, as it does when the host loads a real folder.
//
// Beyond not crashing, every reader must keep its word: it answers false exactly when it reported
// an error, and every finding names the file and a position inside it.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "hostsim/resource_files.h"

namespace {

void CheckFindings(bool accepted, const hostsim::ResourceDiagnostics& d, const std::string& file) {
    if (accepted == d.HasErrors())
        std::abort();
    for (const hostsim::ResourceDiagnostic& item : d.All())
        if (item.file != file || item.message.empty() || item.pos.line < 0 || item.pos.column < 0 ||
            (item.pos.line > 0 && item.pos.column == 0))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::map<std::string, int32_t> symbols;
    std::string why;
    hostsim::ParseSymbols("enum { DLG_CORVEL = 10001, IDC_A, IDC_B, IDS_NAME = 20000, IDS_HELP, _DUMMY_ELEMENT_ };",
                          "c4d_symbols.h", &symbols, &why);
    hostsim::ResourceDiagnostics d;
    switch (data[0] % 4) {
    case 0: {
        std::map<std::string, int32_t> parsed;
        CheckFindings(hostsim::ReadSymbols(text, "c4d_symbols.h", &parsed, &d), d, "c4d_symbols.h");
        break;
    }
    case 1: {
        std::map<int32_t, std::string> strings;
        CheckFindings(hostsim::ReadStringTable(text, "c4d_strings.str", symbols, &strings, &d), d, "c4d_strings.str");
        break;
    }
    case 2: {
        hostsim::DialogStrings strings;
        CheckFindings(hostsim::ReadDialogStrings(text, "dlg_corvel.str", &strings, &d), d, "dlg_corvel.str");
        break;
    }
    default: {
        hostsim::DialogDescription dialog;
        const bool accepted = hostsim::ReadDialog(text, "dlg_corvel.res", symbols, &dialog, &d);
        CheckFindings(accepted, d, "dlg_corvel.res");
        if (accepted) {
            hostsim::DialogStrings strings;
            strings.file = "dlg_corvel.str";
            strings.texts = {{"T_TITLE", "Title"}};
            hostsim::ApplyDialogStrings(&strings, &dialog, &d); // only warnings, about the .res file
            CheckFindings(true, d, "dlg_corvel.res");
        }
        break;
    }
    }
    return 0;
}
