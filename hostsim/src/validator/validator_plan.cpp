// What the validator runs at each strictness: the user scenarios of the discovered dialog, the
// faults for each, and the lifecycle orders grouped into cases.
#include "hostsim/lifecycle_model.h"
#include "validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

// How deep the lifecycle orders go, and how deep with the rarer calls (a too old host, no file
// name, an unknown action) added.
int CommonOrderDepth(int strictness) { return strictness <= 2 ? 3 : strictness <= 4 ? 4 : strictness <= 6 ? 5 : 6; }
int RareOrderDepth(int strictness) { return strictness <= 3 ? 2 : strictness <= 7 ? 3 : 4; }

std::vector<std::string> Names(const std::vector<LifecycleCall>& calls) {
    std::vector<std::string> names;
    for (LifecycleCall c : calls)
        names.push_back(LifecycleCallName(c));
    return names;
}

// One case per length up to 3; longer orders split by their first call, or first two calls, so
// that no child runs more than a few thousand orders.
void AddOrderCases(const std::string& label, const std::vector<LifecycleCall>& calls, int depth, bool resourceLoads,
                   std::vector<CaseSpec>* cases) {
    auto add = [&](int length, const std::vector<LifecycleCall>& prefix) {
        CaseSpec c;
        c.kind = CaseSpec::Kind::Lifecycle;
        c.group = "lifecycle";
        c.name = label + ": orders of " + std::to_string(length) + " call(s)" +
                 (prefix.empty() ? std::string() : " beginning " + LifecycleOrderText(prefix));
        c.lifecycleCalls = Names(calls);
        c.lifecyclePrefix = Names(prefix);
        c.lifecycleLength = length;
        c.resourceLoads = resourceLoads;
        cases->push_back(c);
    };
    for (int length = 1; length <= depth; ++length) {
        const int prefixLength = length <= 3 ? 0 : length <= 5 ? 1 : 2;
        for (const auto& prefix : LifecycleOrders(calls, prefixLength))
            add(length, prefix);
    }
}

Scenario Make(const std::string& name, std::vector<Step> before, Step focus, std::vector<Step> after = {}) {
    Scenario s;
    s.name = name;
    s.steps = std::move(before);
    s.focus = s.steps.size();
    s.steps.push_back(focus);
    s.steps.insert(s.steps.end(), after.begin(), after.end());
    return s;
}

std::string Quoted(const std::string& text) { return text.empty() ? std::string() : " \"" + text + "\""; }

} // namespace

std::vector<CaseSpec> PlanLifecycleCases(int strictness, bool resourceLoads) {
    std::vector<CaseSpec> cases;
    AddOrderCases("host calls", CommonLifecycleCalls(), CommonOrderDepth(strictness), resourceLoads, &cases);
    AddOrderCases("with rare calls", AllLifecycleCalls(), RareOrderDepth(strictness), resourceLoads, &cases);
    return cases;
}

std::vector<Scenario> PlanScenarios(const CaseResult& discovery, int strictness) {
    const Step startup{Step::Kind::Startup}, open{Step::Kind::Open}, close{Step::Kind::Close},
        shutdown{Step::Kind::Shutdown};
    std::vector<Scenario> scenarios;
    scenarios.push_back(Make("start-up", {}, startup));
    scenarios.push_back(Make("shutdown without opening", {startup}, shutdown));
    // A refused registration leaves the command object to the host, which may keep or destroy it:
    // the module must not free it too, and must not touch it again.
    for (int32_t destroys : {0, 1})
        scenarios.push_back(Make(std::string("start-up with the registration refused, the host ") +
                                     (destroys ? "destroying" : "keeping") + " the object",
                                 {Step{Step::Kind::RefuseRegistration, 0, destroys}}, startup));
    if (discovery.commands.empty())
        return scenarios;
    scenarios.push_back(Make("open", {startup}, open));
    const bool everyValue = strictness >= 6;
    for (const GadgetInfo& g : discovery.gadgets) {
        if (!g.reachable)
            continue;
        std::vector<Step> before = {startup, open};
        before.insert(before.end(), g.enabledBy.begin(), g.enabledBy.end());
        const std::string label = std::to_string(g.id) + Quoted(g.name);
        if (g.kind == GadgetKind::Button) {
            scenarios.push_back(Make("button " + label, before, Step{Step::Kind::Click, g.id}));
        } else if (g.kind == GadgetKind::Check && strictness >= 3) {
            scenarios.push_back(Make("check box " + label, before, Step{Step::Kind::Set, g.id, g.value ? 0 : 1}));
        } else if (g.kind == GadgetKind::Combo && strictness >= 3) {
            for (int32_t v : g.values) {
                if (v == g.value)
                    continue;
                scenarios.push_back(
                    Make("combo box " + label + " = " + std::to_string(v), before, Step{Step::Kind::Set, g.id, v}));
                if (!everyValue)
                    break;
            }
        }
    }
    for (const MenuEntryInfo& m : discovery.menu)
        scenarios.push_back(Make("menu " + std::to_string(m.id) + Quoted(m.text), {startup, open},
                                 Step{Step::Kind::Click, m.id}));
    scenarios.push_back(Make("close", {startup, open}, close));
    scenarios.push_back(Make("shutdown with the dialog open", {startup, open}, shutdown));
    if (strictness >= 3)
        scenarios.push_back(Make("reopen", {startup, open, close}, open));
    return scenarios;
}

std::vector<Fault> PlanFaults(const std::array<uint64_t, kAllocKindCount>& allocations, int strictness) {
    std::vector<Fault> faults;
    for (int k = 0; k < kAllocKindCount; ++k) {
        const uint64_t count = allocations[k];
        if (count == 0)
            continue;
        const AllocKind kind = static_cast<AllocKind>(k);
        // The lowest levels fail the first and the last allocation of each kind; from level 3 on
        // every one in turn.
        const uint64_t step = strictness >= 3 ? 1 : (count > 1 ? count - 1 : 1);
        for (uint64_t n = 1; n <= count; n += step)
            faults.push_back(Fault{kind, n, false});
        if (strictness >= 5 && count > 1)
            faults.push_back(Fault{kind, 1, true});
    }
    return faults;
}

} // namespace validate
} // namespace hostsim
