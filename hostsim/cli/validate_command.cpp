// corvel-host validate MODULE: the module checked as a plug-in author would before shipping it.
// The same subcommand, with the hidden --run-case, is the child process that runs one test case.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

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
    "Exit codes: 0 every case that ran passed (cases skipped for the time budget are counted in the\n"
    "summary), 1 bad usage, 2 the module could not be loaded, bound or started, 3 a case failed or\n"
    "crashed, 4 the validator could not run or write its reports.";

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

void PrintProgress(const validate::CaseResult& r) {
    if (r.status == validate::CaseResult::Status::Passed || r.status == validate::CaseResult::Status::Skipped)
        return;
    std::cerr << "  " << validate::StatusName(r.status) << ": [" << r.group << "] " << r.name;
    if (!r.failures.empty())
        std::cerr << ": " << r.failures.front();
    std::cerr << "\n";
}

} // namespace

namespace corvel_cli {

int ValidateCommandMain(int argc, char** argv) {
    CLI::App app{kDescription, "corvel-host validate"};
    validate::Options options;
    std::string jsonFile, junitFile, caseFile, resultFile;
    bool quiet = false;
    app.add_option("MODULE", options.module, "the module file to validate")->required();
    app.add_option("--strictness,-s", options.strictness, "how much to run, 1 (quick) to 10 (every order to depth 6)")
        ->check(CLI::Range(validate::kMinStrictness, validate::kMaxStrictness));
    app.add_option("--seed", options.seed, "seed of the random choices (scenes); the same seed runs the same cases");
    app.add_option("--repeat", options.repeat, "run the reload, render, lifecycle and fault cases this many times (new scenes each round)")
        ->check(CLI::Range(1, 1000));
    app.add_option("--budget", options.budgetSeconds, "start no new case after this many seconds (0: no limit)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--case-timeout", options.caseTimeoutSeconds, "end a case that runs longer (seconds)")
        ->check(CLI::PositiveNumber);
    app.add_option("--json", jsonFile, "write the report as JSON to FILE");
    app.add_option("--junit", junitFile, "write the report as JUnit XML to FILE");
    app.add_option("--render-button", options.renderButton, "the dialog's gadget that renders (default 10032)");
    app.add_option("--jobs,-j", options.jobs, "child processes at a time (default: one per processor)")
        ->check(CLI::Range(1, 256));
    app.add_flag("--quiet,-q", quiet, "no progress lines on standard error");
    // The child process of one case (started by the validator itself).
    app.add_option("--run-case", caseFile)->group("");
    app.add_option("--result", resultFile)->group("");
    const int parsed = ParseSubcommand(app, argc, argv);
    if (parsed >= 0)
        return parsed;
    if (!caseFile.empty())
        return RunChild(options.module, caseFile, resultFile, options.caseTimeoutSeconds);

    options.executable = hostsim::CurrentExecutable();
    if (options.executable.empty()) {
        std::cerr << "corvel-host: cannot find its own executable to run the cases\n";
        return validate::kExitInternal;
    }
    if (!quiet)
        options.progress = PrintProgress;
    const validate::Report report = validate::Validate(options);
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
