// corvel-host run MODULE [options]: loads, binds and starts the module as the host application
// does, carries out the requested user actions, shuts it down and reports what it left behind.
// Console lines go to stdout, the host's own log (binding, registrations, leak report) to stderr.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "hostsim/host.h"
#include "hostsim/run_report.h"
#include "hostsim/scene.h"
#include "run_actions.h"

namespace corvel_cli {
namespace {

struct AllocFault {
    hostsim::AllocKind kind = hostsim::AllocKind::Heap;
    uint64_t serial = 0;   // 1 = the first allocation of that kind
};

// Everything the command line of `run` sets. New options add a field here and a line to
// AddRunOptions.
struct RunOptions {
    std::string module;
    hostsim::HostOptions host;
    std::vector<RunAction> actions;   // in command line order
    std::vector<AllocFault> faults;
    bool failSave = false;
    bool refuseRegistration = false;
    std::string sceneFile;          // empty: the host's own untitled document
    std::string reportFile;         // empty: no report; "-": standard output
    bool renderTable = false;
    std::string logFile;            // empty: the host log goes to stderr
    bool quiet = false;             // no host log at all
};

bool ParseAllocFault(const std::string& text, AllocFault* out, std::string* why) {
    const size_t colon = text.find(':');
    if (colon != std::string::npos && !hostsim::ParseAllocKind(text.substr(0, colon), &out->kind)) {
        *why = "unknown allocation kind in --fail-alloc " + text;
        return false;
    }
    const std::string count = colon == std::string::npos ? text : text.substr(colon + 1);
    char* end = nullptr;
    const unsigned long long n = count.empty() || count[0] == '-' ? 0 : std::strtoull(count.c_str(), &end, 10);
    if (n == 0 || !end || *end != '\0') {
        *why = "--fail-alloc needs a count of 1 or more, got " + text;
        return false;
    }
    out->serial = n;
    return true;
}

// An option whose every occurrence is handed to `take` as it is parsed, so that occurrences of
// different options keep their order on the command line.
template <typename Take>
CLI::Option* AddEachOccurrence(CLI::App& app, const std::string& name, Take take, const std::string& help) {
    return app
        .add_option(
            name,
            [name, take](const CLI::results_t& values) {
                std::string why;
                for (const std::string& v : values)
                    if (!take(v, &why))
                        throw CLI::ValidationError(name, why);
                return true;
            },
            help)
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// An action option (--execute, --do): each occurrence is parsed by `parse` and queued in command
// line order with the other action option's occurrences.
CLI::Option* AddActionOption(CLI::App& app, const std::string& name,
                             bool (*parse)(const std::string&, RunAction*, std::string*), RunOptions* o,
                             const std::string& help) {
    return AddEachOccurrence(
        app, name,
        [o, parse](const std::string& v, std::string* why) {
            RunAction a;
            if (!parse(v, &a, why))
                return false;
            o->actions.push_back(a);
            return true;
        },
        help);
}

void AddRunOptions(CLI::App& app, RunOptions* o) {
    app.add_option("MODULE", o->module, "the module file (corvel.xso64, corvel.xdl64, corvel.xlib)")->required();
    app.add_option("--api-version", o->host.apiVersion, "host API version handed to the module")
        ->check(CLI::Range(0, 2147483647));
    app.add_option("--prefs", o->host.prefsFile,
                   "keep the world plug-in preferences in FILE between runs (created when missing; a "
                   "directory or a path whose folder is missing is refused)")
        ->type_name("FILE")
        ->check([](const std::string& v) { return v.empty() ? std::string("needs a file") : std::string(); });
    app.add_flag("--fail-save", o->failSave, "refuse the module's next preferences save");
    AddEachOccurrence(
        app, "--fail-alloc",
        [o](const std::string& v, std::string* why) {
            AllocFault f;
            if (!ParseAllocFault(v, &f, why))
                return false;
            o->faults.push_back(f);
            return true;
        },
        "make the N-th allocation of a kind of host object fail (1 = the first); KIND: heap "
        "(default), string, container, bitmap, filename, window, resource, container-copy (a container "
        "copy the host refuses)")
        ->type_name("[KIND:]N");
    app.add_flag("--refuse-registration", o->refuseRegistration, "refuse the module's first plug-in registration");
    app.add_option_function<std::string>(
           "--refused-objects",
           [o](const std::string& v) {
               if (!hostsim::ParseRefusedObjects(v, &o->host.refusedObjects))
                   throw CLI::ValidationError("--refused-objects", "expected keep or free, got '" + v + "'");
           },
           "what the host does with the command object of a refused registration: keep it as its "
           "own (default; reported at shutdown, not counted as the module's leak) or free it at "
           "once through its destroy entry")
        ->type_name("keep|free");
    CLI::Option* noDocument = app.add_flag_callback("--no-document", [o] { o->host.activeDocument = false; },
                                                    "run without an active document (not with --scene, whose "
                                                    "documents have one active)");
    app.add_option("--scene", o->sceneFile, "the documents and render settings the host starts with (JSON)")
        ->type_name("FILE")
        ->excludes(noDocument);
    app.add_option("--log", o->logFile, "write the host's own log to FILE instead of stderr")->type_name("FILE");
    app.add_flag("--quiet", o->quiet,
                 "no host log (binding, registrations, leak report); errors and the module's console still show");
    app.add_option("--report", o->reportFile,
                   "write what the run did as JSON: console, renders with the settings each saw, "
                   "render settings before and after, host calls, objects left ('-': stdout; the "
                   "console then goes to stderr)")
        ->type_name("FILE|-");
    app.add_flag("--render-table", o->renderTable,
                 "print each render's settings side by side: before, what the render saw, after");
    app.add_option("--startup-folder", o->host.startupFolder, "the folder the host names for its own modules")
        ->type_name("DIR");
    AddActionOption(app, "--execute", ParseExecuteAction, o,
                    "run the registered command ID (default: the first one registered)")
        ->expected(0, 1)
        ->type_name("[=ID]");
    AddActionOption(app, "--do", ParseDoAction, o, "a user action on the open dialog, in order with --execute (below)")
        ->type_name("ACTION");
}

const char* const kRunDescription =
    "Loads MODULE the way the host application does (binds its registration record, calls c4d_main\n"
    "with action 1, plug-in message 1 and action 2), carries out the actions given with\n"
    "--execute/--do in order, then shuts it down (action 3, frees its plug-ins, unloads it) and\n"
    "reports every host object the module did not give back. Console lines go to stdout, the\n"
    "host's own log to stderr as lines beginning \"[host]\" (--log FILE or --quiet moves it away);\n"
    "why an action or the run failed is one line beginning \"corvel-host: error:\" on stderr.";

const char* const kActionHelp =
    "actions (--do):\n"
    "  set:GADGET=VALUE  change a check box (0/1, off/on) or pick a combo entry (its id or its text)\n"
    "  click:GADGET      press a button or choose a menu entry (or give the entry's text)\n"
    "  close             close the dialog as the user would\n"
    "  show              print the dialog's title, its gadgets with their labels and values, its menu\n"
    "  draw:FILE         draw the dialog as it is now (values, disabled gadgets, menu bar)\n"
    "                    into FILE.svg or FILE.png (PNG at twice the dialog's size)\n"
    "GADGET is the gadget's id or its symbol in the resource (IDC_OUTPUT). An unknown gadget or\n"
    "value lists the valid ones. Each action's answer is printed to stdout, among the module's\n"
    "console lines.\n";

const char* const kRunExitCodes =
    "exit codes:\n"
    "  0  success\n"
    "  1  bad usage, also an action that does not fit the dialog (no such gadget, a value the\n"
    "     gadget cannot take, click: on a gadget that holds a value), a scene, preferences,\n"
    "     report or log path that cannot be used (checked before the module loads), --scene with\n"
    "     --no-document\n"
    "  2  the module was not loaded (no such file, not a regular file, unreadable), was refused by\n"
    "     the host, or refused its initialisation\n"
    "  3  the module left host objects behind or misused a handle (wins over 1, 2, 4)\n"
    "  4  a requested action failed: no such command, Execute answered false, no open dialog,\n"
    "     the dialog did not accept an action or stayed open, the report could not be written,\n"
    "     the dialog could not be drawn (draw:)\n"
    "Actions stop at the first one that is not done; the module is shut down as usual.";

// Why the preferences file cannot be kept at `path`, or empty. A file that does not exist yet is
// fine when its folder exists; the host reads an existing file and replaces it on every save.
std::string WhyPrefsUnusable(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p = fs::u8path(path);
    const fs::file_status status = fs::status(p, ec);
    if (status.type() == fs::file_type::not_found) {
        const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
        if (!fs::is_directory(folder, ec))
            return "its folder " + folder.u8string() + " does not exist";
        return std::string();
    }
    if (status.type() == fs::file_type::directory)
        return "is a directory, not a file";
    if (status.type() != fs::file_type::regular)
        return "is not a regular file";
    return WhyNotReadableFile(path);
}

// Writes the run's report where --report asked for it. False (with a message) when it could not.
bool WriteReport(const std::string& where, const nlohmann::json& report) {
    if (where == "-") {
        std::cout << report.dump(2) << std::endl;
        return static_cast<bool>(std::cout);
    }
    std::ofstream out(where, std::ios::binary | std::ios::trunc);
    out << report.dump(2) << '\n';
    out.close();
    if (!out) {
        std::cerr << "corvel-host: error: --report " << where << ": cannot be written\n";
        return false;
    }
    return true;
}

// Console lines and the answers of the actions go to stdout (stderr when the report takes stdout),
// the host's log to stderr.
int RunModule(const RunOptions& o, const hostsim::Scene* scene, std::ostream* log) {
    hostsim::HostOptions options = o.host;
    // With the report on stdout, the console lines move to stderr so that stdout stays JSON.
    std::ostream& console = o.reportFile == "-" ? std::cerr : std::cout;
    options.consoleEcho = &console;
    options.logEcho = log;
    hostsim::Host host(options);
    hostsim::RunReportInputs reportInputs;
    reportInputs.module = o.module;
    reportInputs.sceneFile = o.sceneFile;
    if (scene)
        hostsim::ApplyScene(host, *scene);
    reportInputs.renderSettingsBefore = hostsim::ActiveRenderSettings(host);
    if (!host.Load(o.module)) {
        std::cerr << "corvel-host: error: " << host.LastError() << "\n";
        return kExitRefused;
    }
    for (const AllocFault& f : o.faults)
        host.FailAllocation(f.kind, f.serial);
    if (o.failSave)
        host.FailNextPrefsSave();
    if (o.refuseRegistration)
        host.RefuseRegistrations(1);

    const hostsim::Host::StartupAnswers started = host.Startup();
    const bool initialised = started.init == C4D_PL_ANSWER_OK;
    Outcome outcome = Outcome::Done;
    if (initialised) {
        for (const RunAction& a : o.actions) {
            outcome = CarryOut(host, a, console);
            if (outcome != Outcome::Done)
                break;
        }
    }
    const std::vector<hostsim::LiveObject> leaks = host.Shutdown();
    if (!o.reportFile.empty() || o.renderTable) {
        const nlohmann::json report = hostsim::MakeRunReport(host, reportInputs);
        if (o.renderTable)
            console << "\n" << hostsim::RenderSettingsTable(report);
        if (!o.reportFile.empty() && !WriteReport(o.reportFile, report) && outcome == Outcome::Done)
            outcome = Outcome::Failed;
    }
    if (!leaks.empty() || !host.Violations().empty()) {
        std::cerr << "corvel-host: error: the module left " << leaks.size() << " host object(s) behind and misused "
                  << host.Violations().size() << " handle(s)"
                  << (!log ? " (run without --quiet for the list)"
                      : o.logFile.empty() ? " (listed in the host log above)"
                                          : " (listed in " + o.logFile + ")")
                  << "\n";
        return kExitLeaks;
    }
    if (!initialised) {
        std::cerr << "corvel-host: error: the module refused its initialisation (c4d_main(1) answered "
                  << started.init << ")\n";
        return kExitRefused;
    }
    switch (outcome) {
    case Outcome::Done: return kExitOk;
    case Outcome::Misused: return kExitUsage;
    case Outcome::Failed: return kExitAction;
    }
    return kExitAction;
}

} // namespace

int RunCommandMain(int argc, char** argv) {
    CLI::App app{kRunDescription, "corvel-host run"};
    RunOptions options;
    AddRunOptions(app, &options);
    app.footer(std::string(kActionHelp) + "\n" + kRunExitCodes);
    const int parsed = ParseSubcommand(app, argc, argv);
    if (parsed >= 0)
        return parsed;
    // A module, scene or preferences path that cannot be used is found before the module loads.
    const std::string moduleProblem = WhyNotReadableFile(options.module);
    if (!moduleProblem.empty()) {
        std::cerr << "corvel-host: error: module " << options.module << ": " << moduleProblem << "\n";
        return kExitRefused;
    }
    if (!options.host.prefsFile.empty()) {
        const std::string why = WhyPrefsUnusable(options.host.prefsFile);
        if (!why.empty()) {
            std::cerr << "corvel-host: error: --prefs " << options.host.prefsFile << ": " << why << "\n";
            return kExitUsage;
        }
    }
    if (!options.reportFile.empty() && options.reportFile != "-") {
        const std::string why = WhyNotWritableFile(options.reportFile);
        if (!why.empty()) {
            std::cerr << "corvel-host: error: --report " << options.reportFile << ": " << why << "\n";
            return kExitUsage;
        }
    }
    // A scene that cannot be read is a usage error.
    hostsim::Scene scene;
    const bool sceneGiven = app.get_option("--scene")->count() > 0; // also `--scene ''`
    if (sceneGiven) {
        std::string why;
        if (!hostsim::LoadSceneFile(options.sceneFile, &scene, &why)) {
            std::cerr << "corvel-host: error: --scene " << why << "\n";
            return kExitUsage;
        }
    }
    std::ofstream logFile;
    std::ostream* log = options.quiet ? nullptr : &std::cerr;
    if (!options.logFile.empty()) {
        logFile.open(std::filesystem::u8path(options.logFile), std::ios::binary | std::ios::trunc);
        if (!logFile) {
            std::cerr << "corvel-host: error: --log " << options.logFile << ": cannot be written\n";
            return kExitUsage;
        }
        log = options.quiet ? nullptr : &logFile;
    }
    return RunModule(options, sceneGiven ? &scene : nullptr, log);
}

} // namespace corvel_cli
