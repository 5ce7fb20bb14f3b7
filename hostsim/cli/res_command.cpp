// corvel-host res check FOLDER: lints a plug-in's resource folder the way the host will read it.
//
// Every finding is printed as "file:line:column: error|warning: message" (line and column left out
// when the finding is about a whole file), then a summary line; --json prints one JSON document
// instead, for tools.
#include <filesystem>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "hostsim/resource_check.h"

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

} // namespace

int ResCommandMain(int argc, char** argv) {
    CLI::App app{"Checks a plug-in's resource folder the way the host reads it.", "corvel-host res"};
    app.require_subcommand(1);
    // A folder given as /path must stay a folder on Windows too, not become a /option.
    app.allow_windows_style_options(false);
    app.footer("exit codes: 0 clean (or warnings only, without --strict), 1 bad usage, 2 errors: a file the\n"
               "host cannot use (or FOLDER is not a folder), 3 warnings only, with --strict");
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
    const int parsed = ParseSubcommand(app, argc, argv);
    if (parsed >= 0)
        return parsed;

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
