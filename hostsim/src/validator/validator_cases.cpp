// The test cases as a child process runs them: each starts from a freshly loaded module.
#include <chrono>
#include <iostream>
#include <set>

#include "hostsim/lifecycle_model.h"
#include "validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

constexpr size_t kMaxReportedFailures = 20;
constexpr int32_t kOldApiVersion = 2022999;

void Fail(CaseResult* r, const std::string& what) {
    if (r->failures.size() < kMaxReportedFailures)
        r->failures.push_back(what);
    else if (r->failures.size() == kMaxReportedFailures)
        r->failures.push_back("(further failures not listed)");
}

// ---- binding -------------------------------------------------------------------------------------

void RunBinding(const std::string& module, CaseResult* r) {
    Host host(QuietHostOptions());
    if (!host.Load(module)) {
        Fail(r, "refused: " + host.LastError());
        return;
    }
    const BindingReport& b = host.Binding();
    if (b.pluginModuleId.empty())
        Fail(r, "the registration record names no plug-in module");
    const Host::StartupAnswers a = host.Startup();
    if (a.init != 1)
        Fail(r, "system initialisation answered " + std::to_string(a.init) + ", expected 1");
    if (a.message != 1)
        Fail(r, "plug-in message 1 answered " + std::to_string(a.message) + " (the resource did not load)");
    if (a.start != 1)
        Fail(r, "start answered " + std::to_string(a.start) + ", expected 1");
    if (host.Commands().empty())
        Fail(r, "no command was registered");
    for (const RegisteredCommand& c : host.Commands()) {
        r->commands.push_back(std::to_string(c.id) + " \"" + c.name + "\"");
        if (c.name.empty() || c.name == kDefaultString)
            Fail(r, "command " + std::to_string(c.id) + " is registered without a name of its own");
        if (c.help.empty() || c.help == kDefaultString)
            Fail(r, "command " + std::to_string(c.id) + " is registered without a help text of its own");
    }
    r->checks = 1;
    CheckCleanShutdown(host, ShutDown(host), &r->failures);
}

// ---- discovery -------------------------------------------------------------------------------------

int32_t CurrentValue(const Gadget& g) { return g.kind == GadgetKind::Check ? (g.boolValue ? 1 : 0) : g.intValue; }

// Every value change the user can make now: check boxes flipped, other combo entries picked.
std::vector<Step> PossibleChanges(const DialogWindow& w) {
    std::vector<Step> steps;
    for (int32_t id : w.gadgetOrder) {
        const Gadget& g = w.gadgets.at(id);
        if (!g.enabled)
            continue;
        if (g.kind == GadgetKind::Check)
            steps.push_back(Step{Step::Kind::Set, id, g.boolValue ? 0 : 1});
        if (g.kind == GadgetKind::Combo)
            for (const auto& c : g.children)
                if (c.first != g.intValue)
                    steps.push_back(Step{Step::Kind::Set, id, c.first});
    }
    return steps;
}

std::set<int32_t> DisabledGadgets(const DialogWindow& w) {
    std::set<int32_t> ids;
    for (const auto& g : w.gadgets)
        if (!g.second.enabled)
            ids.insert(g.first);
    return ids;
}

// Finds, for each disabled gadget, one or two value changes after which it is enabled, trying
// each change and undoing it again.
void FindEnablingSteps(Host& host, DialogWindow& w, std::vector<GadgetInfo>* gadgets) {
    std::string ignored;
    auto undo = [&](const Step& s, int32_t old) { RunStep(host, Step{Step::Kind::Set, s.id, old}, &ignored); };
    auto record = [&](const std::set<int32_t>& before, const std::vector<Step>& path) {
        for (GadgetInfo& g : *gadgets)
            if (!g.reachable && g.enabledBy.empty() && before.count(g.id) && w.gadgets.at(g.id).enabled)
                g.enabledBy = path;
    };
    const std::set<int32_t> initially = DisabledGadgets(w);
    // Single changes first, so that every gadget gets the shortest way there is.
    for (const Step& first : PossibleChanges(w)) {
        const int32_t old1 = CurrentValue(w.gadgets.at(first.id));
        RunStep(host, first, &ignored);
        record(initially, {first});
        undo(first, old1);
    }
    for (const Step& first : PossibleChanges(w)) {
        const int32_t old1 = CurrentValue(w.gadgets.at(first.id));
        RunStep(host, first, &ignored);
        for (const Step& second : PossibleChanges(w)) {
            if (second.id == first.id)
                continue;
            const int32_t old2 = CurrentValue(w.gadgets.at(second.id));
            RunStep(host, second, &ignored);
            record(initially, {first, second});
            undo(second, old2);
        }
        undo(first, old1);
    }
    for (GadgetInfo& g : *gadgets)
        if (!g.reachable && !g.enabledBy.empty())
            g.reachable = true;
}

void RunDiscovery(const std::string& module, CaseResult* r) {
    Host host(QuietHostOptions());
    if (!host.Load(module)) {
        Fail(r, "refused: " + host.LastError());
        return;
    }
    const Host::StartupAnswers a = host.Startup();
    r->resourceLoads = a.message == 1;
    for (const RegisteredCommand& c : host.Commands())
        r->commands.push_back(std::to_string(c.id) + " \"" + c.name + "\"");
    std::string why;
    DialogWindow* w = RunStep(host, Step{Step::Kind::Open}, &why) ? host.ActiveWindow() : nullptr;
    if (w) {
        for (int32_t id : w->gadgetOrder) {
            const Gadget& g = w->gadgets.at(id);
            if (g.kind != GadgetKind::Check && g.kind != GadgetKind::Combo && g.kind != GadgetKind::Button)
                continue;
            GadgetInfo info;
            info.id = id;
            info.kind = g.kind;
            info.name = g.name;
            info.value = CurrentValue(g);
            for (const auto& c : g.children)
                info.values.push_back(c.first);
            info.reachable = g.enabled;
            r->gadgets.push_back(info);
        }
        for (const MenuItem& m : w->menu)
            if (m.kind == MenuItem::Kind::String)
                r->menu.push_back(MenuEntryInfo{m.id, m.text});
        FindEnablingSteps(host, *w, &r->gadgets);
    }
    r->checks = 1;
    CheckCleanShutdown(host, ShutDown(host), &r->failures);
}

// ---- lifecycle ---------------------------------------------------------------------------------------

int32_t Call(Host& host, LifecycleCall call) {
    switch (call) {
    case LifecycleCall::Init: return host.InitSys();
    case LifecycleCall::InitOldHost: {
        const int32_t version = host.Api().apiVersion;
        host.Api().apiVersion = kOldApiVersion;
        const int32_t answer = host.InitSys();
        host.Api().apiVersion = version;
        return answer;
    }
    case LifecycleCall::InitNoPath: return host.CallMain(1, &host.Api(), nullptr, nullptr);
    case LifecycleCall::Start: return host.Start();
    case LifecycleCall::End: return host.End();
    case LifecycleCall::Version: return host.CallMain(4);
    case LifecycleCall::OtherAction: return host.CallMain(5);
    case LifecycleCall::MessageNone: return host.PluginMessage(0);
    case LifecycleCall::MessageInit: return host.PluginMessage(1);
    case LifecycleCall::MessageOther: return host.PluginMessage(2);
    }
    return 0;
}

size_t HeldOfKind(const Host& host, AllocKind kind) {
    size_t n = 0;
    for (const LiveObject& o : host.LiveObjects())
        n += o.kind == kind ? 1 : 0;
    return n;
}

// Runs one order and the host's closing calls; answers what went wrong.
std::vector<std::string> RunLifecycleOrder(const std::string& module, const std::vector<LifecycleCall>& order,
                                           LifecycleFacts facts) {
    std::vector<std::string> failures;
    Host host(QuietHostOptions());
    if (!host.Load(module))
        return {"refused: " + host.LastError()};
    LifecycleModel model(facts);
    auto run = [&](LifecycleCall call, size_t position, const char* role) {
        const size_t loadsBefore = host.ResourceLoads().size();
        const LifecycleExpectation expected = model.Apply(call);
        const int32_t answer = Call(host, call);
        const std::string where = std::string(role) + " call " + std::to_string(position + 1) + " (" +
                                  LifecycleCallName(call) + ")";
        if (answer != expected.answer)
            failures.push_back(where + " answered " + std::to_string(answer) + ", expected " +
                               std::to_string(expected.answer));
        const size_t loads = host.ResourceLoads().size() - loadsBefore;
        if (loads != (expected.loadsResource ? 1u : 0u))
            failures.push_back(where + " asked the host to load its resource " + std::to_string(loads) +
                               " time(s), expected " + (expected.loadsResource ? "1" : "0"));
        if (expected.tearsDown && HeldOfKind(host, AllocKind::Resources) != 0)
            failures.push_back(where + " tore down but still holds its resource");
    };
    for (size_t i = 0; i < order.size(); ++i)
        run(order[i], i, "");
    const std::vector<LifecycleCall> drain = model.Drain();
    for (size_t i = 0; i < drain.size(); ++i)
        run(drain[i], i, "closing");
    host.FreePlugins();
    CheckCleanShutdown(host, host.Unload(), &failures);
    return failures;
}

void RunLifecycle(const std::string& module, const CaseSpec& spec, CaseResult* r) {
    std::vector<LifecycleCall> calls, prefix;
    for (const std::string& name : spec.lifecycleCalls) {
        LifecycleCall c;
        if (!ParseLifecycleCall(name, &c))
            return Fail(r, "unknown lifecycle call " + name);
        calls.push_back(c);
    }
    for (const std::string& name : spec.lifecyclePrefix) {
        LifecycleCall c;
        if (!ParseLifecycleCall(name, &c))
            return Fail(r, "unknown lifecycle call " + name);
        prefix.push_back(c);
    }
    LifecycleFacts facts;
    facts.resourceLoads = spec.resourceLoads;
    uint64_t failedOrders = 0;
    uint64_t index = 0;
    for (const auto& order : LifecycleOrders(calls, spec.lifecycleLength, prefix)) {
        if (index++ < spec.lifecycleSkip)
            continue;
        // The parent names the order that was running when a crash ended this process, and goes
        // on behind it in a new process.
        std::cerr << "order: " << index << ' ' << LifecycleOrderText(order) << std::endl;
        const std::vector<std::string> failures = RunLifecycleOrder(module, order, facts);
        ++r->checks;
        if (failures.empty())
            continue;
        ++failedOrders;
        for (const std::string& f : failures)
            Fail(r, "order " + LifecycleOrderText(order) + ": " + f);
    }
    if (failedOrders)
        r->failures.insert(r->failures.begin(), std::to_string(failedOrders) + " of " + std::to_string(r->checks) +
                                                    " orders failed");
}

// ---- scenarios with faults --------------------------------------------------------------------------

std::array<uint64_t, kAllocKindCount> Counts(const Host& host, bool failed) {
    std::array<uint64_t, kAllocKindCount> counts{};
    for (int k = 0; k < kAllocKindCount; ++k)
        counts[k] = failed ? host.FailedAllocations(static_cast<AllocKind>(k)) : host.AllocationCount(static_cast<AllocKind>(k));
    return counts;
}

void RunScenario(const std::string& module, const CaseSpec& spec, CaseResult* r) {
    const Scenario& s = spec.scenario;
    Host host(QuietHostOptions());
    if (!host.Load(module))
        return Fail(r, "refused: " + host.LastError());
    std::string why;
    bool unloaded = true;
    bool shutDown = false;
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const Step& step = s.steps[i];
        const bool focus = i == s.focus;
        std::array<uint64_t, kAllocKindCount> before{}, failedBefore{};
        if (focus) {
            r->prefsBefore = SnapshotPrefs(host);
            before = Counts(host, false);
            failedBefore = Counts(host, true);
            if (spec.fault.n != 0 && spec.fault.all)
                host.FailAllAllocations(spec.fault.kind, true);
            else if (spec.fault.n != 0)
                host.FailAllocation(spec.fault.kind, spec.fault.n);
        }
        bool ran;
        if (step.kind == Step::Kind::Shutdown) {
            unloaded = ShutDown(host);
            shutDown = true;
            ran = true;
        } else {
            ran = RunStep(host, step, &why);
        }
        if (focus) {
            host.FailAllocation(spec.fault.kind, 0);
            host.FailAllAllocations(spec.fault.kind, false);
            const auto after = Counts(host, false), failedAfter = Counts(host, true);
            for (int k = 0; k < kAllocKindCount; ++k) {
                r->focusAllocations[k] = after[k] - before[k];
                r->faultsInjected += failedAfter[k] - failedBefore[k];
            }
            r->focusReached = ran;
        }
        // After a failed allocation the module may rightly have refused what later steps need.
        if (!ran && !(i > s.focus && r->faultsInjected > 0))
            Fail(r, "step " + step.Text() + " could not be carried out: " + why);
        if (!ran)
            break;
    }
    if (!shutDown)
        unloaded = ShutDown(host);
    r->prefsAfter = SnapshotPrefs(host);
    r->checks = 1;
    CheckCleanShutdown(host, unloaded, &r->failures);
}

// ---- load and unload repeated -----------------------------------------------------------------------

void RunReload(const std::string& module, const CaseSpec& spec, CaseResult* r) {
    std::vector<std::string> firstConsole;
    std::array<uint64_t, kAllocKindCount> firstCounts{};
    for (int cycle = 1; cycle <= spec.cycles; ++cycle) {
        Host host(QuietHostOptions());
        if (!host.Load(module))
            return Fail(r, "cycle " + std::to_string(cycle) + ": refused: " + host.LastError());
        host.Startup();
        std::string why;
        RunStep(host, Step{Step::Kind::Open}, &why);
        std::vector<std::string> failures;
        CheckCleanShutdown(host, ShutDown(host), &failures);
        for (const std::string& f : failures)
            Fail(r, "cycle " + std::to_string(cycle) + ": " + f);
        const auto counts = Counts(host, false);
        if (cycle == 1) {
            firstConsole = host.Console();
            firstCounts = counts;
        } else {
            // A freshly loaded module starts from its initial state: the same lines, the same
            // host objects. A difference means state survived the unload.
            if (host.Console() != firstConsole)
                Fail(r, "cycle " + std::to_string(cycle) + " printed other console lines than the first");
            if (counts != firstCounts)
                Fail(r, "cycle " + std::to_string(cycle) + " made other host allocations than the first");
        }
        ++r->checks;
    }
}

} // namespace

const char* StatusName(CaseResult::Status status) {
    switch (status) {
    case CaseResult::Status::Passed: return "passed";
    case CaseResult::Status::Failed: return "failed";
    case CaseResult::Status::Crashed: return "crashed";
    case CaseResult::Status::Skipped: return "skipped";
    }
    return "?";
}

CaseResult RunCase(const std::string& module, const CaseSpec& spec) {
    CaseResult r;
    r.group = spec.group;
    r.name = spec.name;
    const auto start = std::chrono::steady_clock::now();
    switch (spec.kind) {
    case CaseSpec::Kind::Binding: RunBinding(module, &r); break;
    case CaseSpec::Kind::Discover: RunDiscovery(module, &r); break;
    case CaseSpec::Kind::Lifecycle: RunLifecycle(module, spec, &r); break;
    case CaseSpec::Kind::Scenario: RunScenario(module, spec, &r); break;
    case CaseSpec::Kind::Reload: RunReload(module, spec, &r); break;
    case CaseSpec::Kind::Render: RunRenderScenes(module, spec, &r); break;
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.status = r.failures.empty() ? CaseResult::Status::Passed : CaseResult::Status::Failed;
    return r;
}

void RunCases(const std::string& module, const std::vector<CaseSpec>& cases, std::ostream& results,
              const std::function<void(size_t)>& beginning) {
    for (size_t n = 0; n < cases.size(); ++n) {
        // The parent reads what a case wrote to standard error from this line on when the case
        // ends the process.
        std::cerr << "case: " << n << std::endl;
        if (beginning)
            beginning(n);
        results << ResultToJson(RunCase(module, cases[n])) << '\n';
        results.flush();
    }
}

} // namespace validate
} // namespace hostsim
