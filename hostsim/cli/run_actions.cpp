// The user actions of `corvel-host run`: parsing --execute/--do and carrying them out on the host.
#include "run_actions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "hostsim/dialog_drawing.h"
#include "hostsim/text.h"

namespace corvel_cli {
namespace {

using hostsim::ParseInt32;

Outcome Fail(const RunAction& a, const std::string& why) {
    std::cerr << "corvel-host: " << a.text << ": " << why << "\n";
    return Outcome::Failed;
}

Outcome Misuse(const RunAction& a, const std::string& why) {
    std::cerr << "corvel-host: " << a.text << ": " << why << "\n";
    return Outcome::Misused;
}

// Prints the dialog's answer to a user action; 0 means it did not handle the action.
Outcome Answered(const RunAction& a, int32_t answer, std::ostream& out) {
    out << a.text << ": the dialog answered " << answer << "\n";
    return answer != 0 ? Outcome::Done : Fail(a, "the dialog did not accept it (see the host log)");
}

void ShowWindow(const hostsim::DialogWindow& w, std::ostream& out) {
    out << "dialog of plug-in " << w.pluginId << (w.open ? " (open)" : " (closed)") << ", description "
        << w.dialogId << "\n";
    for (int32_t id : w.gadgetOrder) {
        const hostsim::Gadget& g = w.gadgets.at(id);
        out << "  " << g.element << ' ' << g.id << (g.enabled ? "" : " [disabled]");
        if (!g.name.empty())
            out << " \"" << g.name << '"';
        if (g.kind == hostsim::GadgetKind::Check)
            out << " = " << (g.boolValue ? "on" : "off");
        if (g.kind == hostsim::GadgetKind::Combo) {
            out << " = " << g.intValue << " of";
            for (const auto& c : g.children)
                out << ' ' << c.first << " \"" << c.second << '"';
        }
        out << '\n';
    }
    for (const auto& m : w.menu) {
        switch (m.kind) {
        case hostsim::MenuItem::Kind::SubBegin: out << "  menu \"" << m.text << "\"\n"; break;
        case hostsim::MenuItem::Kind::SubEnd: break;
        case hostsim::MenuItem::Kind::String: out << "    " << m.id << " \"" << m.text << "\"\n"; break;
        case hostsim::MenuItem::Kind::Separator: out << "    ----\n"; break;
        case hostsim::MenuItem::Kind::Command: out << "    host command " << m.id << "\n"; break;
        }
    }
}

Outcome Execute(hostsim::Host& host, const RunAction& a, std::ostream& out) {
    int32_t id = a.id;
    if (id == 0) {
        if (host.Commands().empty())
            return Fail(a, "no command is registered");
        id = host.Commands().front().id;
    }
    if (!host.FindCommand(id))
        return Fail(a, "no command " + std::to_string(id) + " is registered");
    const bool ok = host.ExecuteCommand(id);
    out << a.text << ": command " << id << " answered " << (ok ? "true" : "false") << "\n";
    return ok ? Outcome::Done : Fail(a, "the command's Execute answered false");
}

bool HasEntry(const hostsim::Gadget& g, int32_t value) {
    return std::any_of(g.children.begin(), g.children.end(), [value](const auto& c) { return c.first == value; });
}

Outcome SetGadget(hostsim::Host& host, hostsim::DialogWindow* w, const RunAction& a, std::ostream& out) {
    auto it = w->gadgets.find(a.id);
    if (it == w->gadgets.end())
        return Misuse(a, "the dialog has no gadget " + std::to_string(a.id));
    const hostsim::Gadget& g = it->second;
    switch (g.kind) {
    case hostsim::GadgetKind::Check:
        if (a.value != 0 && a.value != 1)
            return Misuse(a, "gadget " + std::to_string(a.id) + " is a check box: its value is 0 or 1");
        return Answered(a, host.UserSetBool(w, a.id, a.value != 0), out);
    case hostsim::GadgetKind::Combo:
        if (!HasEntry(g, a.value))
            return Misuse(a, "combo box " + std::to_string(a.id) + " has no entry " + std::to_string(a.value));
        return Answered(a, host.UserSetInt32(w, a.id, a.value), out);
    case hostsim::GadgetKind::Other: return Answered(a, host.UserSetInt32(w, a.id, a.value), out);
    case hostsim::GadgetKind::Button:
    case hostsim::GadgetKind::Text:
    case hostsim::GadgetKind::Group: break;
    }
    return Misuse(a, "gadget " + std::to_string(a.id) + " is a " + g.element + ", which holds no value");
}

bool IsMenuEntry(const hostsim::DialogWindow& w, int32_t id) {
    return std::any_of(w.menu.begin(), w.menu.end(), [id](const hostsim::MenuItem& m) {
        return m.kind == hostsim::MenuItem::Kind::String && m.id == id;
    });
}

Outcome Click(hostsim::Host& host, hostsim::DialogWindow* w, const RunAction& a, std::ostream& out) {
    auto it = w->gadgets.find(a.id);
    if (it == w->gadgets.end()) {
        if (!IsMenuEntry(*w, a.id))
            return Misuse(a, "the dialog has neither a gadget nor a menu entry " + std::to_string(a.id));
    } else if (it->second.kind != hostsim::GadgetKind::Button && it->second.kind != hostsim::GadgetKind::Other) {
        return Misuse(a, "gadget " + std::to_string(a.id) + " is a " + it->second.element +
                             ", which is not pressed (set:ID=VALUE changes a value)");
    }
    return Answered(a, host.UserAction(w, a.id), out);
}

// Draws the window as it is now: the gadgets' values and states and the menu bar the module built.
Outcome Draw(const hostsim::DialogWindow& w, const RunAction& a, std::ostream& out) {
    if (!hostsim::DrawingAvailable())
        return Fail(a, hostsim::DrawingUnavailableReason());
    if (w.dialogId == 0)
        return Fail(a, "the dialog was not built from a description, so there is nothing to draw");
    const std::unique_ptr<hostsim::TextMeasure> measure = hostsim::MakeDrawingTextMeasure();
    const hostsim::DialogLayout layout = hostsim::LayOutDialog(w.description, *measure, &w);
    std::string why;
    if (!hostsim::DrawDialogLayout(layout, a.file, 2, &why))
        return Fail(a, why);
    out << a.text << ": dialog " << w.description.symbol << " drawn (" << std::ceil(layout.width) << " x "
        << std::ceil(layout.height) << " dialog pixels)\n";
    return Outcome::Done;
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
    a->text = "--do " + text;
    if (text == "close") {
        a->kind = RunAction::Close;
        return true;
    }
    if (text == "show") {
        a->kind = RunAction::Show;
        return true;
    }
    if (text.rfind("draw:", 0) == 0) {
        a->kind = RunAction::Draw;
        a->file = text.substr(5);
        if (a->file.empty()) {
            *why = "expected --do draw:FILE.svg or draw:FILE.png";
            return false;
        }
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

Outcome CarryOut(hostsim::Host& host, const RunAction& a, std::ostream& out) {
    if (a.kind == RunAction::Execute)
        return Execute(host, a, out);
    hostsim::DialogWindow* w = host.ActiveWindow();
    if (!w)
        return Fail(a, "no dialog is open");
    switch (a.kind) {
    case RunAction::Set: return SetGadget(host, w, a, out);
    case RunAction::Click: return Click(host, w, a, out);
    case RunAction::Close:
        if (!host.UserClose(w))
            return Fail(a, "the dialog stayed open");
        out << a.text << ": the dialog closed\n";
        return Outcome::Done;
    case RunAction::Show: ShowWindow(*w, out); return Outcome::Done;
    case RunAction::Draw: return Draw(*w, a, out);
    case RunAction::Execute: break;
    }
    return Outcome::Done;
}

} // namespace corvel_cli
