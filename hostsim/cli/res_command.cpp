// corvel-host res check FOLDER: lints a plug-in's resource folder the way the host will read it.
// corvel-host res draw FOLDER DIALOG --out FILE: draws one of its dialogs from the description.
//
// Every finding is printed as "file:line:column: error|warning: message" (line and column left out
// when the finding is about a whole file), then a summary line; --json prints one JSON document
// instead, for tools.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "hostsim/dialog_drawing.h"
#include "hostsim/resource_check.h"
#include "hostsim/resource_files.h"
#include "hostsim/text.h"

namespace corvel_cli {
namespace {

// A folder with warnings only fails a strict check with its own code, apart from bad usage (1,
// as with every subcommand); one with errors, like any file the host cannot use, with
// kExitRefused.
constexpr int kExitWarnings = 3;

nlohmann::json ToJson(const hostsim::ResourceCheckReport& report) {
    nlohmann::json findings = nlohmann::json::array();
    for (const hostsim::ResourceDiagnostic& d : report.diagnostics.All()) {
        findings.push_back({{"severity", d.severity == hostsim::ResourceDiagnostic::Severity::Error ? "error" : "warning"},
                            {"file", d.file},
                            {"line", d.pos.line},
                            {"column", d.pos.column},
                            {"message", d.message}});
    }
    return {{"folder", report.folder},
            {"languages", report.languages},
            {"dialogs", report.dialogs},
            {"string_tables", report.stringTables},
            {"errors", report.diagnostics.ErrorCount()},
            {"warnings", report.diagnostics.WarningCount()},
            {"diagnostics", findings}};
}

void PrintText(const hostsim::ResourceCheckReport& report) {
    for (const hostsim::ResourceDiagnostic& d : report.diagnostics.All())
        std::cout << d.Format() << '\n';
    std::cout << report.folder << ": " << report.diagnostics.ErrorCount() << " error(s), "
              << report.diagnostics.WarningCount() << " warning(s); " << report.stringTables << " string table(s), "
              << report.dialogs.size() << " dialog(s), " << report.languages.size() << " language(s)\n";
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The dialog's id from its symbol in c4d_symbols.h (in any case, as its file name writes it) or
// a number.
bool DialogIdOf(const hostsim::Resource& res, const std::string& dialog, int32_t* id) {
    for (const auto& [symbol, value] : res.symbols)
        if (SameIgnoringCase(symbol, dialog)) {
            *id = value;
            return true;
        }
    return hostsim::ParseInt32(dialog, id);
}

int DrawDialog(const std::string& folder, const std::string& dialog, const std::string& file, double scale) {
    if (!hostsim::DrawingAvailable()) {
        std::cerr << "corvel-host res draw: " << hostsim::DrawingUnavailableReason() << "\n";
        return kExitUsage;
    }
    hostsim::Resource res;
    hostsim::ResourceDiagnostics diagnostics;
    hostsim::DialogDescription description;
    int32_t id = 0;
    bool ok = hostsim::LoadResourceFolder(folder, &res, &diagnostics);
    if (ok && !DialogIdOf(res, dialog, &id)) {
        std::cerr << "corvel-host res draw: " << folder << " declares no dialog " << dialog << "\n";
        return kExitRefused;
    }
    ok = ok && hostsim::LoadDialogDescription(res, id, &description, &diagnostics);
    for (const hostsim::ResourceDiagnostic& d : diagnostics.All())
        std::cerr << d.Format() << '\n';
    if (!ok)
        return kExitRefused;
    const std::unique_ptr<hostsim::TextMeasure> measure = hostsim::MakeDrawingTextMeasure();
    const hostsim::DialogLayout layout = hostsim::LayOutDialog(description, *measure);
    std::string why;
    if (!hostsim::DrawDialogLayout(layout, file, scale, &why)) {
        std::cerr << "corvel-host res draw: " << why << "\n";
        return kExitAction;
    }
    std::cout << file << ": dialog " << description.symbol << ", " << std::ceil(layout.width) << " x "
              << std::ceil(layout.height) << " dialog pixels\n";
    return kExitOk;
}

} // namespace

int ResCommandMain(int argc, char** argv) {
    CLI::App app{"Checks a plug-in's resource folder the way the host reads it, or draws one of its dialogs.",
                 "corvel-host res"};
    app.require_subcommand(1);
    // A folder given as /path must stay a folder on Windows too, not become a /option.
    app.allow_windows_style_options(false);
    app.footer("exit codes (check): 0 clean (or warnings only, without --strict), 1 bad usage, 2 errors: a file\n"
               "the host cannot use (or FOLDER is not a folder), 3 warnings only, with --strict\n"
               "exit codes (draw): 0 drawn, 1 bad usage or a build that does not draw, 2 the folder or the\n"
               "description cannot be used, 4 the picture could not be written");
    std::string folder;
    bool strict = false;
    bool json = false;
    CLI::App* check = app.add_subcommand(
        "check", "Reads c4d_symbols.h, the string table of every language folder and every dialog description with "
                 "its texts, and reports errors (the host cannot use a file) and warnings (it would, but something "
                 "is off) with file, line and column.");
    check->add_option("FOLDER", folder, "the resource folder (the res folder beside the module)")->required();
    check->add_flag("--strict", strict, "exit 3 when there are warnings");
    check->footer("exit codes: 0 clean (or warnings only, without --strict), 1 bad usage, 2 errors: a file the\n"
                  "host cannot use (or FOLDER is not a folder), 3 warnings only, with --strict");
    check->add_flag("--json", json, "print the findings as one JSON document");
    std::string dialog, out;
    double scale = 2;
    CLI::App* draw = app.add_subcommand(
        "draw", "Draws a dialog from its description as the host lays it out: groups, gadgets, frames, labels from "
                "the dialog's strings. Every check box is off, every gadget enabled, and a combo box shows the first "
                "entry of its CHILDS (`run ... --do draw:FILE` draws a running dialog with its values).");
    draw->add_option("FOLDER", folder, "the resource folder (the res folder beside the module)")->required();
    draw->add_option("DIALOG", dialog, "the dialog's symbol (any case, e.g. dlg_corvel) or id")->required();
    draw->add_option("--out", out, "the picture: FILE.svg or FILE.png")->required();
    draw->add_option("--scale", scale, "PNG pixels per dialog pixel (default 2)");
    const int parsed = ParseSubcommand(app, argc, argv);
    if (parsed >= 0)
        return parsed;
    if (draw->parsed())
        return DrawDialog(folder, dialog, out, scale);

    std::error_code ec;
    const auto status = std::filesystem::status(std::filesystem::u8path(folder), ec);
    if (status.type() != std::filesystem::file_type::not_found && status.type() != std::filesystem::file_type::directory) {
        std::cerr << "corvel-host res check: error: " << folder << ": "
                  << (status.type() == std::filesystem::file_type::regular ? "is a file" : "is not a folder")
                  << "; give the resource folder (the res folder beside the module)\n";
        return kExitRefused;
    }
    const hostsim::ResourceCheckReport report = hostsim::CheckResourceFolder(folder);
    if (json)
        std::cout << ToJson(report).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    else
        PrintText(report);
    if (report.diagnostics.HasErrors())
        return kExitRefused;
    return strict && report.diagnostics.WarningCount() > 0 ? kExitWarnings : kExitOk;
}

} // namespace corvel_cli
