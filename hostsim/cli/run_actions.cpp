// The user actions of `corvel-host run`: parsing --execute/--do and carrying them out on the host.
#include "run_actions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "hostsim/dialog_drawing.h"
#include "hostsim/text.h"

namespace corvel_cli {
namespace {

using hostsim::ParseInt32;

Outcome Fail(const RunAction& a, const std::string& why) {
    std::cerr << "corvel-host: error: " << a.text << ": " << why << "\n";
    return Outcome::Failed;
}

Outcome Misuse(const RunAction& a, const std::string& why) {
    std::cerr << "corvel-host: error: " << a.text << ": " << why << "\n";
    return Outcome::Misused;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "IDC_OUTPUT (10003) "Render to"": how a gadget is named in messages and lists.
std::string Describe(const hostsim::Gadget& g) {
    std::string out = g.symbol.empty() ? std::to_string(g.id) : g.symbol + " (" + std::to_string(g.id) + ")";
    if (!g.label.empty())
        out += " " + Quoted(g.label);
    return out;
}

std::string EntryList(const hostsim::Gadget& g) {
    std::string out;
    for (const auto& c : g.children)
        out += (out.empty() ? "" : ", ") + std::to_string(c.first) + " " + Quoted(c.second);
    return out;
}

// Prints the dialog's answer to a user action; 0 means it did not handle the action. The host
// refuses a disabled gadget itself; otherwise the module's dialog declined.
Outcome Answered(const RunAction& a, const hostsim::Gadget* g, int32_t answer, std::ostream& out) {
    out << a.text << ": the dialog answered " << answer << "\n";
    if (answer != 0)
        return Outcome::Done;
    return Fail(a, g && !g->enabled ? "gadget " + Describe(*g) + " is disabled, so the host did not pass it on"
                                    : "the dialog did not accept it (its message handler answered 0)");
}

void ShowWindow(const hostsim::DialogWindow& w, std::ostream& out) {
    out << "dialog" << (w.title.empty() ? std::string() : " " + Quoted(w.title)) << " of plug-in " << w.pluginId
        << (w.open ? " (open)" : " (closed)") << ", description " << w.dialogId << "\n";
    for (int32_t id : w.gadgetOrder) {
        const hostsim::Gadget& g = w.gadgets.at(id);
        out << "  " << g.element << ' ' << g.id << (g.enabled ? "" : " [disabled]");
        if (!g.label.empty())
            out << ' ' << Quoted(g.label);
        if (!g.symbol.empty())
            out << " (" << g.symbol << ")";
        if (g.kind == hostsim::GadgetKind::Check)
            out << " = " << (g.boolValue ? "on" : "off");
        if (g.kind == hostsim::GadgetKind::Combo) {
            out << " = " << g.intValue;
            for (const auto& c : g.children)
                if (c.first == g.intValue)
                    out << ' ' << Quoted(c.second);
            out << " of " << EntryList(g);
        }
        out << '\n';
    }
    for (const auto& m : w.menu) {
        switch (m.kind) {
        case hostsim::MenuItem::Kind::SubBegin: out << "  menu " << Quoted(m.text) << "\n"; break;
        case hostsim::MenuItem::Kind::SubEnd: break;
        case hostsim::MenuItem::Kind::String: out << "    " << m.id << " " << Quoted(m.text) << "\n"; break;
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

// The gadgets (of the kinds `fits` accepts) as a list for a message.
template <typename Fits>
std::string GadgetList(const hostsim::DialogWindow& w, Fits fits) {
    std::string out;
    for (int32_t id : w.gadgetOrder) {
        const hostsim::Gadget& g = w.gadgets.at(id);
        if (fits(g))
            out += (out.empty() ? "" : ", ") + Describe(g);
    }
    return out.empty() ? "none" : out;
}

// The gadget `name` gives: its number or its symbol (an exact match, else the one that differs
// only in case). Null when the dialog has none.
const hostsim::Gadget* FindGadget(const hostsim::DialogWindow& w, const std::string& name) {
    int32_t id = 0;
    if (ParseInt32(name, &id)) {
        const auto it = w.gadgets.find(id);
        return it == w.gadgets.end() ? nullptr : &it->second;
    }
    const hostsim::Gadget* caseless = nullptr;
    for (const auto& e : w.gadgets) {
        if (e.second.symbol == name)
            return &e.second;
        if (SameText(e.second.symbol, name))
            caseless = &e.second;
    }
    return caseless;
}

bool IsValueGadget(const hostsim::Gadget& g) {
    return g.kind == hostsim::GadgetKind::Check || g.kind == hostsim::GadgetKind::Combo ||
           g.kind == hostsim::GadgetKind::Other;
}

Outcome SetGadget(hostsim::Host& host, hostsim::DialogWindow* w, const RunAction& a, std::ostream& out) {
    const hostsim::Gadget* found = FindGadget(*w, a.gadget);
    if (!found)
        return Misuse(a, "the dialog has no gadget " + a.gadget + "; gadgets that take a value: " +
                             GadgetList(*w, IsValueGadget));
    const hostsim::Gadget g = *found;   // as it was before the action
    int32_t value = 0;
    switch (g.kind) {
    case hostsim::GadgetKind::Check:
        if (a.value == "1" || SameText(a.value, "on") || SameText(a.value, "true"))
            value = 1;
        else if (!(a.value == "0" || SameText(a.value, "off") || SameText(a.value, "false")))
            return Misuse(a, "gadget " + Describe(g) + " is a check box: its value is 0 or 1 (off or on)");
        return Answered(a, &g, host.UserSetBool(w, g.id, value != 0), out);
    case hostsim::GadgetKind::Combo: {
        bool known = false;
        if (ParseInt32(a.value, &value))
            known = std::any_of(g.children.begin(), g.children.end(), [value](const auto& c) { return c.first == value; });
        else
            for (const auto& c : g.children)
                if (!known && SameText(c.second, a.value)) {
                    value = c.first;
                    known = true;
                }
        if (!known)
            return Misuse(a, "combo box " + Describe(g) + " has no entry " + a.value + "; its entries: " + EntryList(g));
        return Answered(a, &g, host.UserSetInt32(w, g.id, value), out);
    }
    case hostsim::GadgetKind::Other:
        if (!ParseInt32(a.value, &value))
            return Misuse(a, "gadget " + Describe(g) + " takes a number, got " + a.value);
        return Answered(a, &g, host.UserSetInt32(w, g.id, value), out);
    case hostsim::GadgetKind::Button:
    case hostsim::GadgetKind::Text:
    case hostsim::GadgetKind::Group: break;
    }
    return Misuse(a, "gadget " + Describe(g) + " is a " + g.element + ", which holds no value");
}

// A menu entry by its id or its text.
const hostsim::MenuItem* FindMenuEntry(const hostsim::DialogWindow& w, const std::string& name) {
    int32_t id = 0;
    const bool byId = ParseInt32(name, &id);
    for (const hostsim::MenuItem& m : w.menu)
        if (m.kind == hostsim::MenuItem::Kind::String && (byId ? m.id == id : SameText(m.text, name)))
            return &m;
    return nullptr;
}

Outcome Click(hostsim::Host& host, hostsim::DialogWindow* w, const RunAction& a, std::ostream& out) {
    const hostsim::Gadget* found = FindGadget(*w, a.gadget);
    std::optional<hostsim::Gadget> before;
    if (found)
        before = *found;
    const hostsim::Gadget* g = before ? &*before : nullptr;
    int32_t id = 0;
    if (!g) {
        const hostsim::MenuItem* m = FindMenuEntry(*w, a.gadget);
        if (!m) {
            std::string menu;
            for (const hostsim::MenuItem& e : w->menu)
                if (e.kind == hostsim::MenuItem::Kind::String)
                    menu += (menu.empty() ? "" : ", ") + std::to_string(e.id) + " " + Quoted(e.text);
            return Misuse(a, "the dialog has neither a gadget nor a menu entry " + a.gadget + "; buttons: " +
                                 GadgetList(*w, [](const hostsim::Gadget& x) {
                                     return x.kind == hostsim::GadgetKind::Button || x.kind == hostsim::GadgetKind::Other;
                                 }) +
                                 "; menu entries: " + (menu.empty() ? "none" : menu));
        }
        id = m->id;
    } else if (g->kind != hostsim::GadgetKind::Button && g->kind != hostsim::GadgetKind::Other) {
        return Misuse(a, "gadget " + Describe(*g) + " is a " + g->element +
                             ", which is not pressed (set:GADGET=VALUE changes a value)");
    } else {
        id = g->id;
    }
    return Answered(a, g, host.UserAction(w, id), out);
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
    if (!value.empty() && (!ParseInt32(value, &out->id) || out->id <= 0)) {
        *why = "--execute=ID needs a command id of 1 or more, got " + value;
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
        a->gadget = text.substr(6);
        if (a->gadget.empty()) {
            *why = "expected --do click:GADGET (its id, its IDC_ symbol or a menu entry's text), got --do " + text;
            return false;
        }
        return true;
    }
    if (text.rfind("set:", 0) == 0) {
        a->kind = RunAction::Set;
        const std::string rest = text.substr(4);
        const size_t eq = rest.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == rest.size()) {
            *why = "expected --do set:GADGET=VALUE, got --do " + text;
            return false;
        }
        a->gadget = rest.substr(0, eq);
        a->value = rest.substr(eq + 1);
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
