// The validator's parent side: plans the cases, starts a child process for each and judges what
// comes back. A child that dies leaves no result; its signal or exception is the verdict.
#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "hostsim/child_process.h"
#include "validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last line of `text` that begins with `prefix`, without it.
std::string LastLineStarting(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    std::string found;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') // standard error in text mode on Windows
            line.pop_back();
        if (line.rfind(prefix, 0) == 0)
            found = line.substr(prefix.size());
    }
    return found;
}

class ChildRunner {
public:
    ChildRunner(const Options& options, Report* report) : options_(options), report_(report) {
        static int serial = 0;
        const auto stamp = Clock::now().time_since_epoch().count();
        folder_ = fs::temp_directory_path() / ("corvel-validate-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        fs::create_directories(folder_);
    }
    ~ChildRunner() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    ChildRunner(const ChildRunner&) = delete;
    ChildRunner& operator=(const ChildRunner&) = delete;

    // Runs a case in a child process. A lifecycle case whose child crashed goes on behind the
    // order that crashed, in a new child, so that one crash hides no other order's result.
    CaseResult Run(const CaseSpec& spec) {
        constexpr int kMaxResumes = 20;
        CaseResult total = RunOnce(spec);
        CaseSpec rest = spec;
        for (int resumes = 0; spec.kind == CaseSpec::Kind::Lifecycle && !total.crashedAt.empty() && resumes < kMaxResumes;
             ++resumes) {
            rest.lifecycleSkip = total.crashedAfter;
            CaseResult more = RunOnce(rest);
            total.checks += more.checks;
            total.seconds += more.seconds;
            total.failures.insert(total.failures.end(), more.failures.begin(), more.failures.end());
            total.crashedAt = more.crashedAt;
            total.crashedAfter = more.crashedAfter;
        }
        if (!total.crashedAt.empty() && spec.kind == CaseSpec::Kind::Lifecycle)
            total.failures.push_back("too many crashes: the orders behind " + total.crashedAt + " were not run");
        return total;
    }

    CaseResult RunOnce(const CaseSpec& spec) {
        const fs::path cases = folder_ / "case.json", result = folder_ / "result.json";
        std::error_code ec;
        fs::remove(result, ec);
        {
            std::ofstream out(cases, std::ios::binary | std::ios::trunc);
            out << CasesToJson({spec});
        }
        ++report_->processes;
        const auto start = Clock::now();
        const ProcessResult p = RunProcess(options_.executable,
                                           {"validate", "--run-case", cases.u8string(), "--result", result.u8string(),
                                            "--case-timeout", std::to_string(options_.caseTimeoutSeconds), options_.module});
        CaseResult r;
        std::string why;
        const std::string line = Slurp(result);
        if (!line.empty() && ResultFromJson(line, &r, &why)) {
            if (p.exitCode != 0 && r.status == CaseResult::Status::Passed) {
                r.status = CaseResult::Status::Failed;
                r.failures.push_back("the host process ended with " + p.how + " after the case passed");
            }
            return r;
        }
        r.group = spec.group;
        r.name = spec.name;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.status = p.crashed ? CaseResult::Status::Crashed : CaseResult::Status::Failed;
        std::string text = p.crashed ? "the host process crashed: " + p.how
                         : !p.started ? "the host process could not be started: " + p.how
                         : p.exitCode == kExitTimedOut ? "timed out after " + std::to_string(options_.caseTimeoutSeconds) + " s"
                                                       : "the host process ended without a result: " + p.how;
        // "order: INDEX CALLS..." of the order that was running.
        const std::string order = LastLineStarting(p.err, "order: ");
        const size_t space = order.find(' ');
        if (space != std::string::npos) {
            text += ", during the order " + order.substr(space + 1);
            r.crashedAt = order.substr(space + 1);
            r.crashedAfter = std::stoull(order.substr(0, space));
            r.checks = r.crashedAfter - spec.lifecycleSkip;
        }
        r.failures.push_back(text);
        return r;
    }

private:
    const Options& options_;
    Report* report_;
    fs::path folder_;
};

CaseSpec SimpleCase(CaseSpec::Kind kind, const std::string& group, const std::string& name) {
    CaseSpec c;
    c.kind = kind;
    c.group = group;
    c.name = name;
    return c;
}

CaseSpec ScenarioCase(const Scenario& s, const Fault& f) {
    CaseSpec c = SimpleCase(CaseSpec::Kind::Scenario, "faults", s.name + ": " + (f.n ? f.Text() + " fails" : "no fault"));
    c.scenario = s;
    c.fault = f;
    return c;
}

// Interleaves the groups' lists, one case of each in turn, so that a time budget that runs out
// leaves every group with some coverage.
std::vector<CaseSpec> Interleave(const std::vector<std::vector<CaseSpec>>& lists) {
    std::vector<CaseSpec> out;
    for (size_t i = 0;; ++i) {
        bool any = false;
        for (const auto& list : lists)
            if (i < list.size()) {
                out.push_back(list[i]);
                any = true;
            }
        if (!any)
            return out;
    }
}

// Every fault of every scenario, breadth first: the first fault of each scenario, then the second...
std::vector<CaseSpec> FaultCases(const std::vector<Scenario>& scenarios, const std::vector<CaseResult>& references,
                                 int strictness) {
    std::vector<std::vector<CaseSpec>> perScenario;
    for (size_t i = 0; i < scenarios.size(); ++i) {
        std::vector<CaseSpec> cases;
        if (references[i].status == CaseResult::Status::Passed)
            for (const Fault& f : PlanFaults(references[i].focusAllocations, strictness))
                cases.push_back(ScenarioCase(scenarios[i], f));
        perScenario.push_back(std::move(cases));
    }
    return Interleave(perScenario);
}

class Validation {
public:
    explicit Validation(const Options& options) : options_(options), runner_(options, &report_) {
        report_.module = options.module;
        report_.executable = options.executable;
        report_.strictness = options.strictness;
        report_.seed = options.seed;
        report_.repeat = options.repeat;
        report_.budgetSeconds = options.budgetSeconds;
        report_.allowSkips = options.allowSkips;
        report_.filters = options.filters;
    }

    Report Run() {
        start_ = Clock::now();
        planned_ = 2;   // binding and discovery; the rest is known once they have run
        const CaseSpec bindingCase = SimpleCase(CaseSpec::Kind::Binding, "binding", "load, bind and start");
        if (options_.listOnly && Wanted(bindingCase))
            report_.planned.push_back(CasePath(bindingCase.group, bindingCase.name));
        const CaseResult binding = Add(Execute(bindingCase), bindingCase, Counted(Wanted(bindingCase)));
        if (binding.status != CaseResult::Status::Passed && binding.failures.size() &&
            binding.failures.front().rfind("refused: ", 0) == 0) {
            report_.moduleRefused = true;
            return Finish();
        }
        const CaseSpec discoveryCase = SimpleCase(CaseSpec::Kind::Discover, "discovery", "the dialog's gadgets and menu");
        const CaseResult discovery = Execute(discoveryCase);
        // Discovery is reported when it failed, or when a filter asked for it by name.
        const bool discoveryAskedFor = !options_.filters.empty() && Counted(Wanted(discoveryCase));
        if (discovery.status != CaseResult::Status::Passed || discoveryAskedFor)
            Add(discovery, discoveryCase, true);
        const std::vector<Scenario> scenarios = PlanScenarios(discovery, options_.strictness);
        report_.scenarios = scenarios.size();
        planned_ += scenarios.size();
        // Every scenario runs once without a fault: its faults are planned from what it allocated.
        std::vector<CaseResult> references;
        for (const Scenario& s : scenarios) {
            const CaseSpec c = ScenarioCase(s, Fault{});
            if (options_.listOnly && Wanted(c))
                report_.planned.push_back(CasePath(c.group, c.name));
            const bool wanted = Counted(Wanted(c));
            CaseResult r = RunOrSkip(c);
            references.push_back(Add(r, c, wanted || r.status == CaseResult::Status::Failed ||
                                                r.status == CaseResult::Status::Crashed));
        }
        const std::vector<CaseSpec> lifecycle = PlanLifecycleCases(options_.strictness, discovery.resourceLoads);
        const std::vector<CaseSpec> faults = FaultCases(scenarios, references, options_.strictness);
        std::vector<std::vector<CaseSpec>> rounds;
        for (int round = 0; round < options_.repeat; ++round) {
            CaseSpec reload = SimpleCase(CaseSpec::Kind::Reload, "reload",
                                         "load, start, open and unload " + std::to_string(ReloadCycles()) + " times");
            reload.cycles = ReloadCycles();
            std::vector<CaseSpec> cases;
            for (CaseSpec c : Interleave({{reload}, RenderCases(round), lifecycle, faults})) {
                if (round > 0)
                    c.name += " (round " + std::to_string(round + 1) + ")";
                if (Counted(Wanted(c)))
                    cases.push_back(std::move(c));
            }
            planned_ += cases.size();
            rounds.push_back(std::move(cases));
        }
        for (const auto& cases : rounds)
            for (const CaseSpec& c : cases) {
                if (options_.listOnly) {
                    report_.planned.push_back(CasePath(c.group, c.name));
                    continue;
                }
                CaseResult r = RunOrSkip(c);
                if (c.kind == CaseSpec::Kind::Scenario && r.status != CaseResult::Status::Skipped)
                    JudgePrefs(ReferenceOf(c, scenarios, references), &r);
                Add(r, c, true);
            }
        return Finish();
    }

private:
    int ReloadCycles() const { return 5 * options_.strictness; }

    // Render cases of 25 scenes each, two per strictness level; each round of --repeat draws
    // other scenes from the same seed.
    std::vector<CaseSpec> RenderCases(int round) const {
        constexpr int kScenesPerCase = 25;
        std::vector<CaseSpec> cases;
        const int count = 2 * options_.strictness;
        for (int i = 0; i < count; ++i) {
            CaseSpec c = SimpleCase(CaseSpec::Kind::Render, "render", "");
            c.cycles = kScenesPerCase;
            c.seed = options_.seed * 1000003u + static_cast<uint64_t>(round * count + i) * kScenesPerCase;
            c.renderButton = options_.renderButton;
            c.name = "random scenes " + std::to_string(c.seed) + " to " + std::to_string(c.seed + kScenesPerCase - 1);
            cases.push_back(c);
        }
        return cases;
    }

    bool BudgetSpent() const {
        return options_.budgetSeconds > 0 &&
               std::chrono::duration<double>(Clock::now() - start_).count() >= options_.budgetSeconds;
    }

    bool Wanted(const CaseSpec& c) const {
        if (options_.filters.empty())
            return true;
        const std::string path = CasePath(c.group, c.name);
        return std::any_of(options_.filters.begin(), options_.filters.end(),
                           [&](const std::string& f) { return path.find(f) != std::string::npos; });
    }

    // Counts the cases the filters let through (a filter that matches none is a mistake).
    bool Counted(bool wanted) {
        report_.filterMatches += wanted ? 1 : 0;
        return wanted;
    }

    double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    // Runs a case in its child process, with a progress call before it starts.
    CaseResult Execute(const CaseSpec& c) {
        ++started_;
        if (options_.progress) {
            Progress p;
            p.group = c.group;
            p.started = started_;
            p.planned = std::max(planned_, started_);
            p.seconds = Elapsed();
            options_.progress(p);
        }
        return runner_.Run(c);
    }

    CaseResult RunOrSkip(const CaseSpec& c) {
        if (!BudgetSpent())
            return Execute(c);
        CaseResult r;
        r.group = c.group;
        r.name = c.name;
        r.status = CaseResult::Status::Skipped;
        ++report_.skippedForBudget;
        return r;
    }

    static const CaseResult& ReferenceOf(const CaseSpec& c, const std::vector<Scenario>& scenarios,
                                         const std::vector<CaseResult>& references) {
        for (size_t i = 0; i < scenarios.size(); ++i)
            if (scenarios[i].name == c.scenario.name)
                return references[i];
        return references.front();
    }

    // Records a case's result (`report` false: it ran only to plan others and is left out of the
    // report). A case that failed or crashed carries what --replay needs to run it again.
    const CaseResult& Add(CaseResult r, const CaseSpec& spec, bool report) {
        if (!report) {
            dropped_.push_back(std::move(r));
            return dropped_.back();
        }
        if (r.status == CaseResult::Status::Failed || r.status == CaseResult::Status::Crashed)
            r.replay = CaseToJson(spec);
        if (r.group == "lifecycle" && r.status != CaseResult::Status::Skipped)
            report_.lifecycleOrders += r.checks;
        if (r.group == "render" && r.status != CaseResult::Status::Skipped)
            report_.scenesRendered += r.checks;
        report_.faultsInjected += r.faultsInjected;
        report_.cases.push_back(std::move(r));
        if (options_.progress) {
            Progress p;
            p.finished = &report_.cases.back();
            p.group = p.finished->group;
            p.started = started_;
            p.planned = std::max(planned_, started_);
            p.seconds = Elapsed();
            options_.progress(p);
        }
        return report_.cases.back();
    }

    Report Finish() {
        report_.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        return std::move(report_);
    }

    const Options& options_;
    Report report_;
    // Results of cases that ran only to plan others (a deque: Add hands out references).
    std::deque<CaseResult> dropped_;
    ChildRunner runner_;
    Clock::time_point start_;
    size_t started_ = 0;
    size_t planned_ = 0;
};

} // namespace

int Report::Count(CaseResult::Status status) const {
    int n = 0;
    for (const CaseResult& c : cases)
        n += c.status == status ? 1 : 0;
    return n;
}

int Report::ExitCode() const {
    if (moduleRefused)
        return kExitRefused;
    if (Count(CaseResult::Status::Failed) + Count(CaseResult::Status::Crashed) > 0)
        return kExitFailed;
    return Count(CaseResult::Status::Skipped) > 0 && !allowSkips ? kExitIncomplete : kExitPassed;
}

std::string CasePath(const std::string& group, const std::string& name) { return group + "/" + name; }

Report Validate(const Options& options) { return Validation(options).Run(); }

void JudgePrefs(const CaseResult& reference, CaseResult* r) {
    if (r->faultsInjected == 0 || r->prefsAfter == r->prefsBefore || r->prefsAfter == reference.prefsAfter)
        return;
    std::set<int32_t> ids;
    for (const PrefsSnapshot* p : std::initializer_list<const PrefsSnapshot*>{&r->prefsBefore, &r->prefsAfter, &reference.prefsAfter})
        for (const auto& e : *p)
            ids.insert(e.first);
    for (int32_t id : ids) {
        auto text = [id](const PrefsSnapshot& p) {
            const auto it = p.find(id);
            return it == p.end() ? std::string("(none)") : it->second;
        };
        if (text(r->prefsAfter) != text(r->prefsBefore) && text(r->prefsAfter) != text(reference.prefsAfter))
            r->failures.push_back("stored preferences of plug-in " + std::to_string(id) +
                                  " changed by the failed step: before " + text(r->prefsBefore) + "; after " +
                                  text(r->prefsAfter) + "; a successful step leaves " + text(reference.prefsAfter));
    }
    if (!r->failures.empty() && r->status == CaseResult::Status::Passed)
        r->status = CaseResult::Status::Failed;
}


} // namespace validate
} // namespace hostsim
