// The validator's parent side: plans the cases, starts a child process for each and judges what
// comes back. A child that dies leaves no result; its signal or exception is the verdict.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

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

// One case of a run: where it stands in the plan, what it is, and for a lifecycle case that
// crashed and goes on in a new child, what its earlier children found.
struct PendingCase {
    size_t index = 0;
    CaseSpec spec;
    CaseResult partial;
    int resumes = 0;
};

// Runs cases in child processes, several children at a time (Options::jobs). Each child runs a
// batch of cases in sequence and writes one result line per finished case; the parent starts a
// new child only when one ended before its batch was done. The case that was running then (the
// first without a result line; the child names each case on standard error as it begins) gets the
// signal, exception or exit that ended the child, and the rest of the batch goes on in a new child.
class ChildRunner {
public:
    using Finished = std::function<void(size_t index, CaseResult& result)>;

    ChildRunner(const Options& options, Report* report)
        : options_(options), report_(report),
          jobs_(options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))) {
        static std::atomic<int> serial{0};
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

    CaseResult Run(const CaseSpec& spec) {
        std::vector<CaseResult> results = RunAll({spec}, [] { return false; }, nullptr);
        return std::move(results.front());
    }

    // Runs every case and answers the results in the order of `specs`. Before each child starts,
    // `budgetSpent` decides whether its batch still runs; the cases of a batch that does not are
    // answered as skipped. `finished` is called for each case as it finishes (from the worker
    // threads, one at a time).
    std::vector<CaseResult> RunAll(const std::vector<CaseSpec>& specs, const std::function<bool()>& budgetSpent,
                                   const Finished& finished) {
        std::vector<CaseResult> results(specs.size());
        const std::vector<std::vector<size_t>> batches = Batches(specs);
        std::atomic<size_t> next{0};
        std::mutex lock;
        auto finish = [&](size_t index, CaseResult r) {
            std::lock_guard<std::mutex> hold(lock);
            if (finished)
                finished(index, r);
            results[index] = std::move(r);
        };
        auto work = [&](int worker) {
            for (size_t b = next++; b < batches.size(); b = next++) {
                std::deque<PendingCase> pending;
                for (size_t index : batches[b])
                    pending.push_back(PendingCase{index, specs[index], {}, 0});
                RunBatch(worker, std::move(pending), budgetSpent, finish);
            }
        };
        const int jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(jobs_), batches.size()));
        std::vector<std::thread> threads;
        for (int w = 1; w < jobs; ++w)
            threads.emplace_back(work, w);
        work(0);
        for (std::thread& t : threads)
            t.join();
        return results;
    }

private:
    // Cases in batches of about the same work: a lifecycle case (thousands of orders) alone,
    // other cases up to kBatchSize together, so that every child has work for a while and the
    // workers still share the end of the run evenly.
    std::vector<std::vector<size_t>> Batches(const std::vector<CaseSpec>& specs) const {
        const size_t workers = static_cast<size_t>(jobs_);
        const size_t small = std::count_if(specs.begin(), specs.end(),
                                           [](const CaseSpec& c) { return c.kind != CaseSpec::Kind::Lifecycle; });
        const size_t size = std::clamp<size_t>(small / (workers * 4), 1, kBatchSize);
        std::vector<std::vector<size_t>> batches;
        std::vector<size_t> current;
        for (size_t i = 0; i < specs.size(); ++i) {
            if (specs[i].kind == CaseSpec::Kind::Lifecycle) {
                batches.push_back({i});
                continue;
            }
            current.push_back(i);
            if (current.size() == size) {
                batches.push_back(std::move(current));
                current.clear();
            }
        }
        if (!current.empty())
            batches.push_back(std::move(current));
        return batches;
    }

    static CaseResult Skipped(const CaseSpec& spec) {
        CaseResult r;
        r.group = spec.group;
        r.name = spec.name;
        r.status = CaseResult::Status::Skipped;
        return r;
    }

    // A lifecycle case that went on in new children: the results of all of them as one.
    static CaseResult Merge(PendingCase& p, CaseResult more) {
        if (p.resumes == 0)
            return more;
        CaseResult total = std::move(p.partial);
        total.checks += more.checks;
        total.seconds += more.seconds;
        total.failures.insert(total.failures.end(), more.failures.begin(), more.failures.end());
        total.crashedAt = more.crashedAt;
        total.crashedAfter = more.crashedAfter;
        if (more.status != CaseResult::Status::Passed && total.status == CaseResult::Status::Passed)
            total.status = more.status;
        return total;
    }

    template <typename Finish>
    void RunBatch(int worker, std::deque<PendingCase> pending, const std::function<bool()>& budgetSpent,
                  const Finish& finish) {
        constexpr int kMaxResumes = 20;
        const std::string tag = std::to_string(worker);
        const fs::path cases = folder_ / ("cases-" + tag + ".json"), result = folder_ / ("results-" + tag + ".jsonl");
        while (!pending.empty()) {
            if (budgetSpent()) {
                for (PendingCase& p : pending) {
                    {
                        std::lock_guard<std::mutex> hold(countLock_);
                        ++report_->skippedForBudget;
                    }
                    finish(p.index, p.resumes ? Merge(p, Skipped(p.spec)) : Skipped(p.spec));
                }
                return;
            }
            std::error_code ec;
            fs::remove(result, ec);
            {
                std::vector<CaseSpec> specs;
                for (const PendingCase& p : pending)
                    specs.push_back(p.spec);
                std::ofstream out(cases, std::ios::binary | std::ios::trunc);
                out << CasesToJson(specs);
            }
            {
                std::lock_guard<std::mutex> hold(countLock_);
                ++report_->processes;
            }
            const auto start = Clock::now();
            const ProcessResult p = RunProcess(options_.executable,
                                               {"validate", "--run-case", cases.u8string(), "--result", result.u8string(),
                                                "--case-timeout", std::to_string(options_.caseTimeoutSeconds), options_.module});
            // The result lines of the cases the child finished, in order.
            std::istringstream lines(Slurp(result));
            size_t done = 0;
            for (std::string line; done < pending.size() && std::getline(lines, line);) {
                CaseResult r;
                std::string why;
                if (line.empty() || !ResultFromJson(line, &r, &why))
                    break;
                if (done + 1 == pending.size() && p.exitCode != 0 && r.status == CaseResult::Status::Passed) {
                    r.status = CaseResult::Status::Failed;
                    r.failures.push_back("the host process ended with " + p.how + " after the case passed");
                }
                finish(pending[done].index, Merge(pending[done], std::move(r)));
                ++done;
            }
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(done));
            if (pending.empty())
                return;
            // The child ended in the middle of pending.front(): that case gets how it ended.
            PendingCase& broken = pending.front();
            CaseResult r = Verdict(broken.spec, p, CaseOutput(p.err, done));
            if (done == 0 && !p.started) {
                // Nothing can run: every case of the batch fails the same way.
                for (PendingCase& rest : pending) {
                    CaseResult each = r;
                    each.group = rest.spec.group;
                    each.name = rest.spec.name;
                    finish(rest.index, Merge(rest, std::move(each)));
                }
                return;
            }
            r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (broken.spec.kind == CaseSpec::Kind::Lifecycle && !r.crashedAt.empty()) {
                // The orders behind the one that crashed go on in a new child.
                broken.partial = Merge(broken, std::move(r));
                if (++broken.resumes <= kMaxResumes) {
                    broken.spec.lifecycleSkip = broken.partial.crashedAfter;
                    continue;
                }
                CaseResult total = std::move(broken.partial);
                total.failures.push_back("too many crashes: the orders behind " + total.crashedAt + " were not run");
                finish(broken.index, std::move(total));
            } else {
                finish(broken.index, Merge(broken, std::move(r)));
            }
            pending.pop_front();
        }
    }

    // What the child wrote to standard error since it began case number `n` of its list.
    static std::string CaseOutput(const std::string& err, size_t n) {
        const std::string marker = "case: " + std::to_string(n);
        for (size_t at = err.rfind(marker); at != std::string::npos; at = at ? err.rfind(marker, at - 1) : std::string::npos) {
            const size_t end = at + marker.size();
            // Standard error is in text mode on Windows: the line may end in CR LF.
            if ((at == 0 || err[at - 1] == '\n') && end < err.size() && (err[end] == '\n' || err[end] == '\r'))
                return err.substr(end);
        }
        return err;
    }

    // The verdict on a case whose child ended before it wrote the case's result.
    CaseResult Verdict(const CaseSpec& spec, const ProcessResult& p, const std::string& err) const {
        CaseResult r;
        r.group = spec.group;
        r.name = spec.name;
        r.status = p.crashed ? CaseResult::Status::Crashed : CaseResult::Status::Failed;
        std::string text = p.crashed ? "the host process crashed: " + p.how
                         : !p.started ? "the host process could not be started: " + p.how
                         : p.exitCode == kExitTimedOut ? "timed out after " + std::to_string(options_.caseTimeoutSeconds) + " s"
                                                       : "the host process ended without a result: " + p.how;
        // "order: INDEX CALLS..." of the order that was running.
        const std::string order = LastLineStarting(err, "order: ");
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

    static constexpr size_t kBatchSize = 64;
    const Options& options_;
    Report* report_;
    const int jobs_;
    fs::path folder_;
    std::mutex countLock_;
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
        // These run even under a filter or --list; they are reported when wanted or when they failed.
        std::vector<CaseSpec> referenceCases;
        for (const Scenario& s : scenarios) {
            const CaseSpec c = ScenarioCase(s, Fault{});
            if (options_.listOnly && Wanted(c))
                report_.planned.push_back(CasePath(c.group, c.name));
            referenceCases.push_back(c);
        }
        const std::vector<CaseResult> references =
            RunCases(referenceCases, nullptr, [this](const CaseSpec& c, const CaseResult& r) {
                return Counted(Wanted(c)) || r.status == CaseResult::Status::Failed ||
                       r.status == CaseResult::Status::Crashed;
            });
        const std::vector<CaseSpec> lifecycle = PlanLifecycleCases(options_.strictness, discovery.resourceLoads);
        const std::vector<CaseSpec> faults = FaultCases(scenarios, references, options_.strictness);
        std::vector<CaseSpec> all;
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
            for (CaseSpec& c : cases)
                all.push_back(std::move(c));
        }
        if (options_.listOnly) {
            for (const CaseSpec& c : all)
                report_.planned.push_back(CasePath(c.group, c.name));
            return Finish();
        }
        RunCases(
            all,
            [&](const CaseSpec& c, CaseResult* r) {
                if (c.kind == CaseSpec::Kind::Scenario && r->status != CaseResult::Status::Skipped)
                    JudgePrefs(ReferenceOf(c, scenarios, references), r);
            },
            [](const CaseSpec&, const CaseResult&) { return true; });
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

    // Runs a case in its own child process, with progress lines as it starts and as it finishes.
    CaseResult Execute(const CaseSpec& c) {
        ++started_;
        ShowProgress(nullptr, c.group);
        CaseResult r = runner_.Run(c);
        if (r.status == CaseResult::Status::Failed || r.status == CaseResult::Status::Crashed)
            r.replay = CaseToJson(c);
        ShowProgress(&r, r.group);
        return r;
    }

    // Runs the cases in child processes, several at a time, the time budget permitting, and adds
    // them to the report in their planned order (`report` says which are reported). `judge`
    // completes a verdict as soon as its case has finished, before the progress line shows it.
    std::vector<CaseResult> RunCases(const std::vector<CaseSpec>& cases,
                                     const std::function<void(const CaseSpec&, CaseResult*)>& judge,
                                     const std::function<bool(const CaseSpec&, const CaseResult&)>& report) {
        std::vector<CaseResult> results = runner_.RunAll(
            cases, [this] { return BudgetSpent(); },
            [&](size_t index, CaseResult& r) {
                if (r.status == CaseResult::Status::Skipped)
                    return;
                if (judge)
                    judge(cases[index], &r);
                if (r.status == CaseResult::Status::Failed || r.status == CaseResult::Status::Crashed)
                    r.replay = CaseToJson(cases[index]);
                ++started_;
                ShowProgress(&r, r.group);
            });
        for (size_t i = 0; i < results.size(); ++i) {
            if (results[i].status == CaseResult::Status::Skipped)
                ++report_.skippedForBudget;
            Add(results[i], cases[i], report(cases[i], results[i]));
        }
        return results;
    }

    void ShowProgress(const CaseResult* finished, const std::string& group) {
        if (!options_.progress)
            return;
        Progress p;
        p.finished = finished;
        p.group = group;
        p.started = started_;
        p.planned = std::max(planned_, started_);
        p.seconds = Elapsed();
        options_.progress(p);
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
