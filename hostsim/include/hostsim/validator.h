// validator.h - `corvel-host validate`: the checks a plug-in author wants before shipping a module
// for this host, strict and reproducible.
//
// The test cases run in child processes (the validator starts its own executable again), each
// child a batch of cases in sequence, several children at a time. A module that crashes fails
// the case that was running with the signal or exception that ended it, and the rest of the
// batch goes on in a new child. Each case loads the module afresh. The cases:
//   binding    the module loads, its registration record binds, it starts and registers
//   lifecycle  every order of c4d_main calls up to a depth, against the lifecycle model
//   faults     every host allocation of every kind failed in turn during every user scenario
//              (start-up, opening the dialog, every gadget and menu entry, closing, shutdown):
//              no crash, no misused handle, nothing left behind, stored preferences either as
//              before the failed step or as a successful run leaves them
//   reload     load, start, shut down and unload repeated in one process
//   render     random scenes rendered through the dialog's render button with random dialog
//              values: afterwards every render settings parameter that was there before holds
//              its value bit for bit, and every effect its bits
// The strictness level decides how much of each runs; the seed makes random choices repeatable;
// a time budget stops starting new cases once it is spent (the report counts what was skipped).
#ifndef CORVEL_HOSTSIM_VALIDATOR_H
#define CORVEL_HOSTSIM_VALIDATOR_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "hostsim/host.h"
#include "hostsim/scene.h"

namespace hostsim {
namespace validate {

inline constexpr int kMinStrictness = 1;
inline constexpr int kMaxStrictness = 10;
inline constexpr int kDefaultStrictness = 5;

// Exit codes of `corvel-host validate`.
inline constexpr int kExitPassed = 0;     // every case that ran passed
inline constexpr int kExitUsage = 1;      // bad command line
inline constexpr int kExitRefused = 2;    // the module could not be loaded, bound or started
inline constexpr int kExitFailed = 3;     // at least one case failed or crashed
inline constexpr int kExitInternal = 4;   // the validator could not run its cases (reports unwritable, ...)
inline constexpr int kExitIncomplete = 5; // cases were skipped for the time budget (without --allow-skips)
// Limits of the time options: a budget or case time limit beyond a day is a mistake, not a plan.
inline constexpr double kMaxSeconds = 86400.0;
// A child process that runs longer than its time limit ends itself with this code.
inline constexpr int kExitTimedOut = 124;

// One step of a user scenario: "startup", "open", "set:GADGET=VALUE", "click:ID", "close",
// "shutdown".
struct Step {
    // RefuseRegistration: the host refuses the next registration and treats its object as `value`
    // says (0 keeps it, 1 destroys it; RefusedObjects).
    enum class Kind { Startup, Open, Set, Click, Close, Shutdown, RefuseRegistration } kind = Kind::Startup;
    int32_t id = 0;
    int32_t value = 0;
    std::string Text() const;
    static bool Parse(const std::string& text, Step* out);
};

// A user scenario: steps carried out in order from a freshly loaded module, one of them the step
// under test (where faults are injected); the module is shut down at the end unless the last
// step is the shutdown.
struct Scenario {
    std::string name;       // "start-up", "open", "check box 10005", "menu 5055 Save Settings", ...
    std::vector<Step> steps;
    size_t focus = 0;       // index of the step under test
};

// An allocation fault: the n-th allocation of `kind` during the step under test fails, or with
// `all`, every allocation of that kind during that step.
struct Fault {
    AllocKind kind = AllocKind::Heap;
    uint64_t n = 0;         // 0: no fault (a reference run); with `all`: 1
    bool all = false;
    std::string Text() const; // "heap #3", "every string", "none"
};

// A test case, as the parent hands it to a child process.
struct CaseSpec {
    enum class Kind { Binding, Discover, Lifecycle, Scenario, Reload, Render } kind = Kind::Binding;
    std::string group;      // "binding", "lifecycle", "faults", "reload", "render", "discovery"
    std::string name;
    // Lifecycle: every order of `lifecycleCalls` of exactly `lifecycleLength` calls that begins
    // with `lifecyclePrefix`; `resourceLoads` is a fact the model needs.
    std::vector<std::string> lifecycleCalls;
    std::vector<std::string> lifecyclePrefix;
    int lifecycleLength = 0;
    uint64_t lifecycleSkip = 0;     // orders to pass over (those run before a crash)
    bool resourceLoads = true;
    // Scenario: the scenario and the fault injected at its step under test.
    Scenario scenario;
    Fault fault;
    // Reload: cycles in one process. Render: scenes, the seed that makes them, the button.
    int cycles = 0;
    uint64_t seed = 0;
    int32_t renderButton = 0;
};

// Stored preferences, one line per container ("1027069: 7000=i6000 7005=b1 5008=f0x1.4p+10"),
// exact for every value so that two runs can be compared.
using PrefsSnapshot = std::map<int32_t, std::string>;
PrefsSnapshot SnapshotPrefs(const Host& host);

// What a gadget of the dialog is, as discovery found it.
struct GadgetInfo {
    int32_t id = 0;
    GadgetKind kind = GadgetKind::Other;
    std::string name;
    int32_t value = 0;                  // after opening: check box 0/1, combo box entry
    std::vector<int32_t> values;        // combo box entries
    std::vector<Step> enabledBy;        // steps after opening that enable it (empty: enabled)
    bool reachable = true;              // false: disabled, and no step found that enables it
};

struct MenuEntryInfo {
    int32_t id = 0;
    std::string text;
};

// The result of one case (in the child: as run; in the parent: with the verdict).
struct CaseResult {
    enum class Status { Passed, Failed, Crashed, Skipped } status = Status::Passed;
    std::string group;
    std::string name;
    std::vector<std::string> failures;  // empty when passed
    double seconds = 0.0;
    // Figures.
    uint64_t checks = 0;                // orders run, cycles run, scenes rendered, ...
    uint64_t faultsInjected = 0;        // allocations that failed on request
    // Scenario runs: what the step under test allocated, and the preferences around it.
    std::array<uint64_t, kAllocKindCount> focusAllocations{};
    bool focusReached = false;
    // Lifecycle cases whose process crashed: the order that was running and its number.
    std::string crashedAt;
    uint64_t crashedAfter = 0;
    PrefsSnapshot prefsBefore;
    PrefsSnapshot prefsAfter;
    // In the parent, for a case that failed or crashed: the case as JSON, for --replay.
    std::string replay;
    // Discovery.
    std::vector<std::string> commands;
    std::vector<GadgetInfo> gadgets;
    std::vector<MenuEntryInfo> menu;
    bool resourceLoads = true;
};
const char* StatusName(CaseResult::Status status);

// Where a validation stands, for progress lines.
struct Progress {
    const CaseResult* finished = nullptr;   // null: `group` is about to start
    std::string group;
    size_t started = 0;                     // cases started so far, this one included
    size_t planned = 0;                     // cases planned so far (grows while planning)
    double seconds = 0.0;                   // since the validation began
};

// "group/name", as --list prints a case and --filter matches it.
std::string CasePath(const std::string& group, const std::string& name);

struct Options {
    std::string module;
    int strictness = kDefaultStrictness;
    uint64_t seed = 1;
    int repeat = 1;
    double budgetSeconds = 0.0;         // 0: no limit
    double caseTimeoutSeconds = 120.0;  // a child that runs longer is ended and the case fails
    std::string executable;             // this program, started for the child processes
    // Child processes running at the same time; 0: one per processor.
    int jobs = 0;
    // Called for progress lines: before a case that runs alone starts (`finished` null), and as
    // each case finishes (from the worker that ran it, one call at a time).
    std::function<void(const Progress&)> progress;
    // Run only the cases whose "group/name" contains one of these texts (empty: every case). The
    // cases other cases are planned from (binding, discovery, each scenario without a fault) run
    // anyway; they are reported when they match or fail.
    std::vector<std::string> filters;
    // Plan the cases and list them in Report::planned without running them (the binding,
    // discovery and fault-free scenario cases still run: the plan depends on them).
    bool listOnly = false;
    // Cases skipped for the time budget do not fail the validation.
    bool allowSkips = false;
    // The dialog's gadget that renders the active document.
    int32_t renderButton = 10032;
};

struct Report {
    std::string module;
    std::string executable;             // the corvel-host that ran it, for replay command lines
    int strictness = 0;
    uint64_t seed = 0;
    int repeat = 1;
    double budgetSeconds = 0.0;
    double seconds = 0.0;
    std::vector<CaseResult> cases;
    uint64_t processes = 0;             // child processes started
    uint64_t scenarios = 0;             // distinct user scenarios
    uint64_t faultsInjected = 0;
    uint64_t lifecycleOrders = 0;
    uint64_t scenesRendered = 0;
    uint64_t skippedForBudget = 0;
    bool allowSkips = false;
    std::vector<std::string> filters;
    std::vector<std::string> planned;   // with Options::listOnly: every case, as CasePath
    uint64_t filterMatches = 0;         // cases planned that the filters let through
    bool moduleRefused = false;
    int Count(CaseResult::Status status) const;
    int ExitCode() const;
};

// The parent: plans the cases, runs each in a child process, and collects the report.
Report Validate(const Options& options);

// The child: runs `cases` in this process against `module`, writing one result line (JSON) per
// case to `results` as each finishes. A case that crashes the process leaves no line. Before
// case n (from 0) begins, "case: n" goes to standard error, and `beginning` is called with n.
void RunCases(const std::string& module, const std::vector<CaseSpec>& cases, std::ostream& results,
              const std::function<void(size_t)>& beginning = nullptr);

// Runs one case in this process.
CaseResult RunCase(const std::string& module, const CaseSpec& spec);

// JSON of a case list (the child's input) and of one result (its output line).
std::string CasesToJson(const std::vector<CaseSpec>& cases);
// One case as compact JSON, as --replay takes it.
std::string CaseToJson(const CaseSpec& spec);
bool CaseFromJson(const std::string& text, CaseSpec* spec, std::string* why);
bool CasesFromJson(const std::string& text, std::vector<CaseSpec>* cases, std::string* why);
std::string ResultToJson(const CaseResult& result);
bool ResultFromJson(const std::string& text, CaseResult* result, std::string* why);

// Reports.
void PrintSummary(const Report& report, std::ostream& out);
// The command line that runs a failed case again in one process (empty when it passed), for a
// debugger: corvel-host validate MODULE --replay 'CASE'.
std::string ReplayCommand(const Report& report, const CaseResult& c);
// The result line's verdict: "passed", "failed", "refused" or "incomplete".
std::string ResultName(const Report& report);
std::string ReportJson(const Report& report);
std::string ReportJUnit(const Report& report);

// Planning, exposed for the tests: the scenarios of a discovered dialog at a strictness, and
// the faults to inject into a scenario whose step under test made `allocations`.
std::vector<Scenario> PlanScenarios(const CaseResult& discovery, int strictness);
std::vector<Fault> PlanFaults(const std::array<uint64_t, kAllocKindCount>& allocations, int strictness);
// What a render left changed in the render settings: parameters that were there before and no
// longer hold the same bits, effects whose bits changed. Empty when everything is restored.
std::vector<std::string> RestoreDifferences(const SceneRenderSettings& before, const SceneRenderSettings& after);
// Judges the stored preferences of a run with a fault against the same scenario without one:
// they must be as before the failed step, or as the successful step leaves them.
void JudgePrefs(const CaseResult& reference, CaseResult* result);

} // namespace validate
} // namespace hostsim

#endif // CORVEL_HOSTSIM_VALIDATOR_H
