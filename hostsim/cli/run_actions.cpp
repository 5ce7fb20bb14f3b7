// The user actions of `corvel-host run`: parsing --execute/--do and carrying them out on the host.
#include "run_actions.h"

#include <cstdlib>
#include <iostream>

namespace corvel_cli {
namespace {

bool ParseInt32(const std::string& text, int32_t* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (!end || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

void ShowWindow(const hostsim::DialogWindow& w) {
    std::cerr << "dialog of plug-in " << w.pluginId << (w.open ? " (open)" : " (closed)") << ", description "
              << w.dialogId << "\n";
    for (int32_t id : w.gadgetOrder) {
        const hostsim::Gadget& g = w.gadgets.at(id);
        std::cerr << "  " << g.element << ' ' << g.id << (g.enabled ? "" : " [disabled]");
        if (!g.name.empty())
            std::cerr << " \"" << g.name << '"';
        if (g.kind == hostsim::GadgetKind::Check)
            std::cerr << " = " << (g.boolValue ? "on" : "off");
        if (g.kind == hostsim::GadgetKind::Combo) {
            std::cerr << " = " << g.intValue << " of";
            for (const auto& c : g.children)
                std::cerr << ' ' << c.first << " \"" << c.second << '"';
        }
        std::cerr << '\n';
    }
    for (const auto& m : w.menu) {
        switch (m.kind) {
        case hostsim::MenuItem::Kind::SubBegin: std::cerr << "  menu \"" << m.text << "\"\n"; break;
        case hostsim::MenuItem::Kind::SubEnd: break;
        case hostsim::MenuItem::Kind::String: std::cerr << "    " << m.id << " \"" << m.text << "\"\n"; break;
        case hostsim::MenuItem::Kind::Separator: std::cerr << "    ----\n"; break;
        case hostsim::MenuItem::Kind::Command: std::cerr << "    host command " << m.id << "\n"; break;
        }
    }
}

bool Execute(hostsim::Host& host, const RunAction& a) {
    int32_t id = a.id;
    if (id == 0) {
        if (host.Commands().empty()) {
            std::cerr << "corvel-host: --execute: no command is registered\n";
            return false;
        }
        id = host.Commands().front().id;
    }
    const bool ok = host.ExecuteCommand(id);
    host.LogLine("command " + std::to_string(id) + " Execute answered " + (ok ? "true" : "false"));
    return true;
}

bool SetGadget(hostsim::Host& host, hostsim::DialogWindow* w, const RunAction& a) {
    auto g = w->gadgets.find(a.id);
    if (g == w->gadgets.end()) {
        std::cerr << "corvel-host: --do " << a.text << ": the dialog has no gadget " << a.id << "\n";
        return false;
    }
    const size_t before = host.Log().size();
    const int32_t answer = g->second.kind == hostsim::GadgetKind::Check ? host.UserSetBool(w, a.id, a.value != 0)
                                                                         : host.UserSetInt32(w, a.id, a.value);
    if (answer == 0 && host.Log().size() > before && host.Log().back().rfind("user:", 0) == 0) {
        std::cerr << "corvel-host: --do " << a.text << ": " << host.Log().back() << "\n";
        return false;
    }
    return true;
}

} // namespace

bool ParseExecuteAction(const std::string& value, RunAction* out, std::string* why) {
    out->kind = RunAction::Execute;
    out->text = value.empty() ? "--execute" : "--execute=" + value;
    out->id = 0;
    if (!value.empty() && (!ParseInt32(value, &out->id) || out->id == 0)) {
        *why = "bad command id in --execute=" + value;
        return false;
    }
    return true;
}

bool ParseDoAction(const std::string& text, RunAction* a, std::string* why) {
    a->text = text;
    if (text == "close") {
        a->kind = RunAction::Close;
        return true;
    }
    if (text == "show") {
        a->kind = RunAction::Show;
        return true;
    }
    if (text.rfind("click:", 0) == 0) {
        a->kind = RunAction::Click;
        if (!ParseInt32(text.substr(6), &a->id)) {
            *why = "bad id in --do " + text;
            return false;
        }
        return true;
    }
    if (text.rfind("set:", 0) == 0) {
        a->kind = RunAction::Set;
        const std::string rest = text.substr(4);
        const size_t eq = rest.find('=');
        if (eq == std::string::npos || !ParseInt32(rest.substr(0, eq), &a->id) ||
            !ParseInt32(rest.substr(eq + 1), &a->value)) {
            *why = "expected --do set:GADGET=VALUE, got --do " + text;
            return false;
        }
        return true;
    }
    *why = "unknown action --do " + text;
    return false;
}

bool CarryOut(hostsim::Host& host, const RunAction& a) {
    if (a.kind == RunAction::Execute)
        return Execute(host, a);
    hostsim::DialogWindow* w = host.ActiveWindow();
    if (!w) {
        std::cerr << "corvel-host: --do " << a.text << ": no dialog is open\n";
        return false;
    }
    switch (a.kind) {
    case RunAction::Set: return SetGadget(host, w, a);
    case RunAction::Click: host.UserAction(w, a.id); return true;
    case RunAction::Close: host.UserClose(w); return true;
    case RunAction::Show: ShowWindow(*w); return true;
    case RunAction::Execute: break;
    }
    return true;
}

} // namespace corvel_cli
