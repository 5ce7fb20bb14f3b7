// The validator's exchange between parent and child: the cases to run and one result per case,
// as JSON.
#include <nlohmann/json.hpp>

#include "validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

using nlohmann::json;

const char* KindName(CaseSpec::Kind kind) {
    switch (kind) {
    case CaseSpec::Kind::Binding: return "binding";
    case CaseSpec::Kind::Discover: return "discover";
    case CaseSpec::Kind::Lifecycle: return "lifecycle";
    case CaseSpec::Kind::Scenario: return "scenario";
    case CaseSpec::Kind::Reload: return "reload";
    case CaseSpec::Kind::Render: return "render";
    }
    return "?";
}

bool ParseKind(const std::string& name, CaseSpec::Kind* out) {
    for (CaseSpec::Kind k : {CaseSpec::Kind::Binding, CaseSpec::Kind::Discover, CaseSpec::Kind::Lifecycle,
                             CaseSpec::Kind::Scenario, CaseSpec::Kind::Reload, CaseSpec::Kind::Render})
        if (name == KindName(k)) {
            *out = k;
            return true;
        }
    return false;
}

json StepsJson(const std::vector<Step>& steps) {
    json a = json::array();
    for (const Step& s : steps)
        a.push_back(s.Text());
    return a;
}

std::vector<Step> StepsFrom(const json& a) {
    std::vector<Step> steps;
    for (const json& t : a) {
        Step s;
        if (!Step::Parse(t.get<std::string>(), &s))
            throw std::runtime_error("bad step " + t.get<std::string>());
        steps.push_back(s);
    }
    return steps;
}

json SpecJson(const CaseSpec& c) {
    json j = {{"kind", KindName(c.kind)}, {"group", c.group}, {"name", c.name}};
    switch (c.kind) {
    case CaseSpec::Kind::Lifecycle:
        j["calls"] = c.lifecycleCalls;
        j["prefix"] = c.lifecyclePrefix;
        j["length"] = c.lifecycleLength;
        j["skip"] = c.lifecycleSkip;
        j["resource_loads"] = c.resourceLoads;
        break;
    case CaseSpec::Kind::Scenario:
        j["scenario"] = {{"name", c.scenario.name}, {"steps", StepsJson(c.scenario.steps)}, {"focus", c.scenario.focus}};
        j["fault"] = {{"kind", AllocKindName(c.fault.kind)}, {"n", c.fault.n}, {"all", c.fault.all}};
        break;
    case CaseSpec::Kind::Reload:
    case CaseSpec::Kind::Render:
        j["cycles"] = c.cycles;
        j["seed"] = c.seed;
        j["render_button"] = c.renderButton;
        break;
    case CaseSpec::Kind::Binding:
    case CaseSpec::Kind::Discover: break;
    }
    return j;
}

CaseSpec SpecFrom(const json& j) {
    CaseSpec c;
    if (!ParseKind(j.at("kind").get<std::string>(), &c.kind))
        throw std::runtime_error("unknown case kind " + j.at("kind").get<std::string>());
    c.group = j.at("group").get<std::string>();
    c.name = j.at("name").get<std::string>();
    c.lifecycleCalls = j.value("calls", std::vector<std::string>());
    c.lifecyclePrefix = j.value("prefix", std::vector<std::string>());
    c.lifecycleLength = j.value("length", 0);
    c.lifecycleSkip = j.value("skip", uint64_t{0});
    c.resourceLoads = j.value("resource_loads", true);
    if (j.contains("scenario")) {
        const json& s = j.at("scenario");
        c.scenario.name = s.at("name").get<std::string>();
        c.scenario.steps = StepsFrom(s.at("steps"));
        c.scenario.focus = s.at("focus").get<size_t>();
        if (c.scenario.focus >= c.scenario.steps.size())
            throw std::runtime_error("scenario focus beyond its steps");
    }
    if (j.contains("fault")) {
        const json& f = j.at("fault");
        if (!ParseAllocKind(f.at("kind").get<std::string>(), &c.fault.kind))
            throw std::runtime_error("unknown allocation kind " + f.at("kind").get<std::string>());
        c.fault.n = f.at("n").get<uint64_t>();
        c.fault.all = f.at("all").get<bool>();
    }
    c.cycles = j.value("cycles", 0);
    c.seed = j.value("seed", uint64_t{0});
    c.renderButton = j.value("render_button", 0);
    return c;
}

const char* GadgetKindName(GadgetKind kind) {
    switch (kind) {
    case GadgetKind::Check: return "check";
    case GadgetKind::Combo: return "combo";
    case GadgetKind::Button: return "button";
    case GadgetKind::Text: return "text";
    case GadgetKind::Group: return "group";
    case GadgetKind::Other: return "other";
    }
    return "other";
}

GadgetKind GadgetKindFrom(const std::string& name) {
    for (GadgetKind k : {GadgetKind::Check, GadgetKind::Combo, GadgetKind::Button, GadgetKind::Text, GadgetKind::Group})
        if (name == GadgetKindName(k))
            return k;
    return GadgetKind::Other;
}

json PrefsJson(const PrefsSnapshot& p) {
    json j = json::object();
    for (const auto& e : p)
        j[std::to_string(e.first)] = e.second;
    return j;
}

PrefsSnapshot PrefsFrom(const json& j) {
    PrefsSnapshot p;
    for (auto it = j.begin(); it != j.end(); ++it)
        p[std::stoi(it.key())] = it.value().get<std::string>();
    return p;
}

} // namespace

std::string CasesToJson(const std::vector<CaseSpec>& cases) {
    json a = json::array();
    for (const CaseSpec& c : cases)
        a.push_back(SpecJson(c));
    return a.dump();
}

std::string CaseToJson(const CaseSpec& spec) { return SpecJson(spec).dump(); }

bool CaseFromJson(const std::string& text, CaseSpec* spec, std::string* why) {
    try {
        *spec = SpecFrom(json::parse(text));
        return true;
    } catch (const std::exception& e) {
        *why = e.what();
        return false;
    }
}

bool CasesFromJson(const std::string& text, std::vector<CaseSpec>* cases, std::string* why) {
    try {
        std::vector<CaseSpec> out;
        for (const json& j : json::parse(text))
            out.push_back(SpecFrom(j));
        *cases = std::move(out);
        return true;
    } catch (const std::exception& e) {
        *why = e.what();
        return false;
    }
}

std::string ResultToJson(const CaseResult& r) {
    json j = {{"group", r.group},
              {"name", r.name},
              {"status", StatusName(r.status)},
              {"failures", r.failures},
              {"seconds", r.seconds},
              {"checks", r.checks},
              {"faults_injected", r.faultsInjected},
              {"focus_allocations", r.focusAllocations},
              {"focus_reached", r.focusReached},
              {"prefs_before", PrefsJson(r.prefsBefore)},
              {"prefs_after", PrefsJson(r.prefsAfter)},
              {"commands", r.commands},
              {"resource_loads", r.resourceLoads}};
    json gadgets = json::array();
    for (const GadgetInfo& g : r.gadgets)
        gadgets.push_back({{"id", g.id},
                           {"kind", GadgetKindName(g.kind)},
                           {"name", g.name},
                           {"value", g.value},
                           {"values", g.values},
                           {"enabled_by", StepsJson(g.enabledBy)},
                           {"reachable", g.reachable}});
    j["gadgets"] = gadgets;
    json menu = json::array();
    for (const MenuEntryInfo& m : r.menu)
        menu.push_back({{"id", m.id}, {"text", m.text}});
    j["menu"] = menu;
    return j.dump();
}

bool ResultFromJson(const std::string& text, CaseResult* result, std::string* why) {
    try {
        const json j = json::parse(text);
        CaseResult r;
        r.group = j.at("group").get<std::string>();
        r.name = j.at("name").get<std::string>();
        const std::string status = j.at("status").get<std::string>();
        r.status = status == "passed" ? CaseResult::Status::Passed : CaseResult::Status::Failed;
        r.failures = j.at("failures").get<std::vector<std::string>>();
        r.seconds = j.at("seconds").get<double>();
        r.checks = j.at("checks").get<uint64_t>();
        r.faultsInjected = j.at("faults_injected").get<uint64_t>();
        r.focusAllocations = j.at("focus_allocations").get<std::array<uint64_t, kAllocKindCount>>();
        r.focusReached = j.at("focus_reached").get<bool>();
        r.prefsBefore = PrefsFrom(j.at("prefs_before"));
        r.prefsAfter = PrefsFrom(j.at("prefs_after"));
        r.commands = j.at("commands").get<std::vector<std::string>>();
        r.resourceLoads = j.at("resource_loads").get<bool>();
        for (const json& g : j.at("gadgets")) {
            GadgetInfo info;
            info.id = g.at("id").get<int32_t>();
            info.kind = GadgetKindFrom(g.at("kind").get<std::string>());
            info.name = g.at("name").get<std::string>();
            info.value = g.at("value").get<int32_t>();
            info.values = g.at("values").get<std::vector<int32_t>>();
            info.enabledBy = StepsFrom(g.at("enabled_by"));
            info.reachable = g.at("reachable").get<bool>();
            r.gadgets.push_back(info);
        }
        for (const json& m : j.at("menu"))
            r.menu.push_back(MenuEntryInfo{m.at("id").get<int32_t>(), m.at("text").get<std::string>()});
        *result = std::move(r);
        return true;
    } catch (const std::exception& e) {
        *why = e.what();
        return false;
    }
}

} // namespace validate
} // namespace hostsim
