// Scenario steps and faults: their text form and how the validator carries a step out on the host.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hostsim/text.h"
#include "validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

// Floats are written as C99 hexadecimal literals so that a snapshot is exact.
std::string ExactValueText(const Container::Value& v) {
    switch (v.type) {
    case Container::Type::Int32: return "i" + std::to_string(v.i);
    case Container::Type::Bool: return v.b ? "b1" : "b0";
    case Container::Type::Float: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "f%a", v.f);
        return buffer;
    }
    }
    return "?";
}

} // namespace

std::string Step::Text() const {
    switch (kind) {
    case Kind::Startup: return "startup";
    case Kind::Open: return "open";
    case Kind::Set: return "set:" + std::to_string(id) + "=" + std::to_string(value);
    case Kind::Click: return "click:" + std::to_string(id);
    case Kind::Close: return "close";
    case Kind::Shutdown: return "shutdown";
    case Kind::RefuseRegistration:
        return std::string("refuse-registration:") + RefusedObjectsName(value ? RefusedObjects::Free : RefusedObjects::Keep);
    }
    return "?";
}

bool Step::Parse(const std::string& text, Step* out) {
    Step s;
    if (text == "startup" || text == "open" || text == "close" || text == "shutdown") {
        s.kind = text == "startup" ? Kind::Startup : text == "open" ? Kind::Open
               : text == "close"   ? Kind::Close   : Kind::Shutdown;
    } else if (text.rfind("refuse-registration:", 0) == 0) {
        RefusedObjects policy;
        if (!ParseRefusedObjects(text.substr(20), &policy))
            return false;
        s.kind = Kind::RefuseRegistration;
        s.value = policy == RefusedObjects::Free ? 1 : 0;
    } else if (text.rfind("click:", 0) == 0) {
        s.kind = Kind::Click;
        if (!ParseInt32(text.substr(6), &s.id))
            return false;
    } else if (text.rfind("set:", 0) == 0) {
        s.kind = Kind::Set;
        const size_t eq = text.find('=');
        if (eq == std::string::npos || !ParseInt32(text.substr(4, eq - 4), &s.id) ||
            !ParseInt32(text.substr(eq + 1), &s.value))
            return false;
    } else {
        return false;
    }
    *out = s;
    return true;
}

std::string Fault::Text() const {
    if (n == 0)
        return "none";
    const std::string kindName = AllocKindName(kind);
    if (all)
        return "every " + kindName;
    return kindName + " #" + std::to_string(n);
}

PrefsSnapshot SnapshotPrefs(const Host& host) {
    PrefsSnapshot snapshot;
    for (const auto& p : host.AllWorldPluginData()) {
        std::string line = "id " + std::to_string(p.second.id) + ":";
        for (const auto& e : p.second.entries)
            line += " " + std::to_string(e.first) + "=" + ExactValueText(e.second);
        snapshot[p.first] = line;
    }
    return snapshot;
}

HostOptions QuietHostOptions() {
    HostOptions options;
    options.consoleEcho = nullptr;
    options.logEcho = nullptr;
    options.reuseUnchangedFiles = true;
    return options;
}

bool RunStep(Host& host, const Step& step, std::string* why) {
    switch (step.kind) {
    case Step::Kind::Startup: host.Startup(); return true;
    case Step::Kind::Open:
        if (host.Commands().empty()) {
            *why = "no command is registered";
            return false;
        }
        host.ExecuteCommand(host.Commands().front().id);
        return true;
    case Step::Kind::Shutdown: ShutDown(host); return true;
    case Step::Kind::RefuseRegistration:
        host.RefuseRegistrations(1);
        host.SetRefusedObjects(step.value ? RefusedObjects::Free : RefusedObjects::Keep);
        return true;
    case Step::Kind::Set:
    case Step::Kind::Click:
    case Step::Kind::Close: break;
    }
    DialogWindow* w = host.ActiveWindow();
    if (!w) {
        *why = "no dialog is open";
        return false;
    }
    if (step.kind == Step::Kind::Close) {
        host.UserClose(w);
        return true;
    }
    if (step.kind == Step::Kind::Click) {
        host.UserAction(w, step.id);
        return true;
    }
    const auto g = w->gadgets.find(step.id);
    if (g == w->gadgets.end()) {
        *why = "the dialog has no gadget " + std::to_string(step.id);
        return false;
    }
    if (!g->second.enabled) {
        *why = "gadget " + std::to_string(step.id) + " is disabled";
        return false;
    }
    if (g->second.kind == GadgetKind::Check)
        host.UserSetBool(w, step.id, step.value != 0);
    else
        host.UserSetInt32(w, step.id, step.value);
    return true;
}

bool ShutDown(Host& host) {
    if (host.Loaded())
        host.End();
    host.FreePlugins();
    return host.Unload();
}

void CheckCleanShutdown(const Host& host, bool unloaded, std::vector<std::string>* failures) {
    if (!unloaded)
        failures->push_back("the module stayed in memory after it was unloaded");
    const std::vector<LiveObject> left = host.LiveObjects();
    if (!left.empty()) {
        std::string text = std::to_string(left.size()) + " host object(s) left behind:";
        for (size_t i = 0; i < left.size() && i < 5; ++i)
            text += std::string(i ? "," : "") + " " + AllocKindName(left[i].kind) + " #" +
                    std::to_string(left[i].serial) + " (" + left[i].what + ")";
        failures->push_back(text);
    }
    for (size_t i = 0; i < host.Violations().size() && i < 5; ++i)
        failures->push_back("misused host handle: " + host.Violations()[i]);
}

} // namespace validate
} // namespace hostsim
