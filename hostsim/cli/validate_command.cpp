// corvel-host validate MODULE: the module checked as a plug-in author would before shipping it.
// The same subcommand, with the hidden --run-case, is the child process that runs one test case.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <CLI/CLI.hpp>

#include "commands.h"
#include "hostsim/child_process.h"
#include "hostsim/validator.h"

namespace {

namespace validate = hostsim::validate;

const char* const kDescription =
    "Validates a plug-in module for the host: binding and registration, every order of lifecycle\n"
    "calls up to a depth against the lifecycle rules, every host allocation failed in turn during\n"
    "every user scenario (crashes, misused handles, host objects left behind, stored preferences\n"
    "changed by a failed step), load and unload repeated. The cases run in child processes, several\n"
    "at a time; a crash fails the case that was running and the rest go on in a new process.\n"
    "\n"
    "Progress (case n of N, its group, the time so far) goes to standard error when it is a\n"
    "terminal; failures are printed there as they happen, each with the command line that runs the\n"
    "case again in one process (--replay), for a debugger.\n"
    "\n"
    "Exit codes: 0 every case passed (with --allow-skips: every case that ran), 1 bad usage, 2 the\n"
    "module could not be loaded, bound or started, 3 a case failed or crashed, 4 the validator could\n"
    "not run or write its reports (a report path that cannot be written is refused before any case\n"
    "runs), 5 cases were skipped for the time budget and --allow-skips was not given.";

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

// The child: runs the cases of a file and writes one result line each.
int RunChild(const std::string& module, const std::string& casesFile, const std::string& resultFile, double timeout) {
    hostsim::EndAtOnceOnCrash();
    // A module that hangs must not hang the validation: a case that runs longer than the timeout
    // ends the child (the parent names the case and goes on with the rest in a new child).
    using Clock = std::chrono::steady_clock;
    static std::atomic<Clock::rep> deadline{Clock::time_point::max().time_since_epoch().count()};
    const auto limit = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    if (timeout > 0)
        std::thread([] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (Clock::now().time_since_epoch().count() < deadline.load())
                    continue;
                std::fputs("corvel-host: the case timed out\n", stderr);
                std::fflush(stderr);
                std::_Exit(validate::kExitTimedOut);
            }
        }).detach();
    std::ifstream in(casesFile, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<validate::CaseSpec> cases;
    std::string why;
    if (!in || !validate::CasesFromJson(text.str(), &cases, &why)) {
        std::cerr << "corvel-host: cannot read the cases in " << casesFile << ": " << why << "\n";
        return validate::kExitInternal;
    }
    std::ofstream results(resultFile, std::ios::binary | std::ios::trunc);
    if (!results) {
        std::cerr << "corvel-host: cannot write " << resultFile << "\n";
        return validate::kExitInternal;
    }
    validate::RunCases(module, cases, results, [&](size_t) {
        if (timeout > 0)
            deadline = (Clock::now() + limit).time_since_epoch().count();
    });
    return results ? validate::kExitPassed : validate::kExitInternal;
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// Progress on standard error: failures as they happen (with the command that replays them) and,
// on a terminal, one status line rewritten in place.
class ProgressLines {
public:
    ProgressLines(bool statusLine, std::string executable, std::string module)
        : statusLine_(statusLine), executable_(std::move(executable)), module_(std::move(module)) {}

    void operator()(const validate::Progress& p) {
        const validate::CaseResult* r = p.finished;
        if (r && (r->status == validate::CaseResult::Status::Failed || r->status == validate::CaseResult::Status::Crashed)) {
            Clear();
            std::cerr << "  " << validate::StatusName(r->status) << ": [" << r->group << "] " << r->name;
            if (!r->failures.empty())
                std::cerr << ": " << r->failures.front();
            std::cerr << "\n";
            validate::Report where;
            where.executable = executable_;
            where.module = module_;
            if (!r->replay.empty())
                std::cerr << "    replay: " << validate::ReplayCommand(where, *r) << "\n";
        }
        if (!statusLine_)
            return;
        std::ostringstream line;
        line << "case " << p.started << " of " << p.planned << " [" << p.group << "] " << std::fixed
             << std::setprecision(1) << p.seconds << " s";
        Clear();
        std::cerr << line.str() << std::flush;
        shown_ = line.str().size();
    }

    void Clear() {
        if (shown_ == 0)
            return;
        std::cerr << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
        shown_ = 0;
    }

private:
    bool statusLine_;
    std::string executable_, module_;
    size_t shown_ = 0;
};

// --replay: one case, in this process, its result printed.
int Replay(const std::string& module, const std::string& caseJson) {
    validate::CaseSpec spec;
    std::string why;
    if (!validate::CaseFromJson(caseJson, &spec, &why)) {
        std::cerr << "corvel-host validate: --replay: not a case: " << why << "\n";
        return validate::kExitUsage;
    }
    std::cout << "replaying [" << spec.group << "] " << spec.name << "\n";
    validate::CaseResult r = validate::RunCase(module, spec);
    // A scenario with a fault is judged against the same scenario without one, as in a validation.
    if (spec.kind == validate::CaseSpec::Kind::Scenario && spec.fault.n != 0) {
        validate::CaseSpec reference = spec;
        reference.fault = validate::Fault{};
        validate::JudgePrefs(validate::RunCase(module, reference), &r);
    }
    for (const std::string& f : r.failures)
        std::cout << "  " << f << "\n";
    std::cout << "result: " << (r.status == validate::CaseResult::Status::Passed ? "PASSED" : "FAILED") << "\n";
    return r.status == validate::CaseResult::Status::Passed ? validate::kExitPassed : validate::kExitFailed;
}

} // namespace

namespace corvel_cli {

int ValidateCommandMain(int argc, char** argv) {
    CLI::App app{kDescription, "corvel-host validate"};
    validate::Options options;
    std::string jsonFile, junitFile, caseFile, resultFile, replay;
    bool quiet = false;
    app.add_option("MODULE", options.module, "the module file to validate (.xso64, .xdl64, .xlib)")->required();
    app.add_option("--strictness,-s", options.strictness, "how much to run, 1 (quick) to 10 (every order to depth 6)")
        ->check(CLI::Range(validate::kMinStrictness, validate::kMaxStrictness));
    app.add_option("--seed", options.seed, "seed of the random choices (scenes); the same seed runs the same cases")
        ->check(CLI::Validator(CheckUnsigned, "N"));
    app.add_option("--repeat", options.repeat, "run the reload, render, lifecycle and fault cases this many times (new scenes each round)")
        ->check(CLI::Range(1, 1000));
    app.add_option("--budget", options.budgetSeconds,
                   "start no new case after this many seconds (0: no limit); a run that skips cases does not "
                   "pass unless --allow-skips is given")
        ->check(CLI::Validator([](std::string& v) { return CheckSeconds(v, 0.001, validate::kMaxSeconds, true); },
                               "SECONDS"));
    app.add_flag("--allow-skips", options.allowSkips, "pass a run whose time budget skipped cases (they are still counted and listed)");
    app.add_option("--case-timeout", options.caseTimeoutSeconds, "end a case that runs longer (seconds)")
        ->check(CLI::Validator([](std::string& v) { return CheckSeconds(v, 0.001, validate::kMaxSeconds, false); },
                               "SECONDS"));
    app.add_option("--json", jsonFile, "write the report as JSON to FILE")->type_name("FILE");
    app.add_option("--junit", junitFile, "write the report as JUnit XML to FILE")->type_name("FILE");
    app.add_option("--render-button", options.renderButton, "the dialog's gadget that renders")
        ->check(CLI::Range(1, 2147483647));
    app.add_option("--filter", options.filters,
                   "run only the cases whose group/name contains TEXT (as --list prints them; may be given "
                   "several times)")
        ->type_name("TEXT")
        ->allow_extra_args(false);
    app.add_flag("--list", options.listOnly,
                 "print the cases (group/name) without running them; the binding, discovery and "
                 "fault-free scenario cases still run, since the plan depends on them");
    app.add_option("--replay", replay,
                   "run one case in this process (no child process), as a failure's replay line gives it")
        ->type_name("CASE");
    app.add_option("--jobs,-j", options.jobs, "child processes at a time (default: one per processor)")
        ->check(CLI::Range(1, 256));
    app.add_flag("--quiet,-q", quiet, "no progress and no failures on standard error (the summary still goes to stdout)");
    // The child process of one case (started by the validator itself).
    app.add_option("--run-case", caseFile)->group("");
    app.add_option("--result", resultFile)->group("");
    const int parsed = ParseSubcommand(app, argc, argv);
    if (parsed >= 0)
        return parsed;
    if (!caseFile.empty())
        return RunChild(options.module, caseFile, resultFile, options.caseTimeoutSeconds);
    if (!replay.empty())
        return Replay(options.module, replay);

    for (const std::string* file : {&jsonFile, &junitFile}) {
        if (file->empty())
            continue;
        const std::string why = WhyNotWritableFile(*file);
        if (!why.empty()) {
            std::cerr << "corvel-host validate: cannot write the report " << *file << ": " << why
                      << "; no case was run\n";
            return validate::kExitInternal;
        }
    }
    options.executable = hostsim::CurrentExecutable();
    if (options.executable.empty()) {
        std::cerr << "corvel-host: cannot find its own executable to run the cases\n";
        return validate::kExitInternal;
    }
    ProgressLines progress(IsTerminal(stderr), options.executable, options.module);
    if (!quiet)
        options.progress = [&progress](const validate::Progress& p) { progress(p); };
    const validate::Report report = validate::Validate(options);
    progress.Clear();
    if (!options.filters.empty() && report.filterMatches == 0 && !report.moduleRefused) {
        std::cerr << "corvel-host validate: error: no case matches the filter; --list prints every case\n";
        return validate::kExitUsage;
    }
    if (options.listOnly && !report.moduleRefused) {
        for (const std::string& c : report.planned)
            std::cout << c << "\n";
        std::cout << report.planned.size() << " case(s)\n";
        return validate::kExitPassed;
    }
    validate::PrintSummary(report, std::cout);
    int exitCode = report.ExitCode();
    if (!jsonFile.empty() && !WriteFile(jsonFile, validate::ReportJson(report))) {
        std::cerr << "corvel-host: cannot write " << jsonFile << "\n";
        exitCode = validate::kExitInternal;
    }
    if (!junitFile.empty() && !WriteFile(junitFile, validate::ReportJUnit(report))) {
        std::cerr << "corvel-host: cannot write " << junitFile << "\n";
        exitCode = validate::kExitInternal;
    }
    return exitCode;
}

} // namespace corvel_cli
