// corvel-host: the stand-in host on the command line.
//
//   corvel-host run MODULE [options]   load, bind and start the module, carry out the requested user
//                                      actions, shut it down; console lines go to stdout, the host's
//                                      own log (binding, registrations, leak report) to stderr
//   corvel-host prefs FILE             print a preferences file of the stand-in host
//
// Exit codes: 0 success, 1 bad usage, 2 the module could not be loaded or was refused,
// 3 the module left host objects behind or misused a handle, 4 a requested action failed.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "hostsim/host.h"
#include "hostsim/prefs_file.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitRefused = 2;
constexpr int kExitLeaks = 3;
constexpr int kExitAction = 4;

const char* const kUsage =
    "usage: corvel-host run MODULE [options]\n"
    "       corvel-host prefs FILE\n"
    "       corvel-host validate MODULE [options]   (see corvel-host validate --help)\n"
    "       corvel-host --help\n"
    "\n"
    "run: loads MODULE the way the host application does (binds its registration record, calls\n"
    "c4d_main with action 1, plug-in message 1 and action 2), carries out the actions given with\n"
    "--execute/--do in order, then shuts it down (action 3, frees its plug-ins, unloads it) and\n"
    "reports every host object the module did not give back. Console lines go to stdout, the\n"
    "host's own log to stderr.\n"
    "\n"
    "options:\n"
    "  --api-version N        host API version handed to the module (default 2023000)\n"
    "  --prefs FILE           keep the world plug-in preferences in FILE between runs\n"
    "  --fail-save            refuse the module's next preferences save\n"
    "  --fail-alloc N         make the N-th heap allocation of the module fail (1 = the first)\n"
    "  --fail-alloc KIND:N    the same for another kind of host object: heap, string, container,\n"
    "                         bitmap, filename, window, resource\n"
    "  --refuse-registration  refuse the module's first plug-in registration\n"
    "  --no-document          run without an active document\n"
    "  --startup-folder DIR   the folder the host names for its own modules\n"
    "  --execute[=ID]         run the registered command ID (default: the first one registered)\n"
    "  --do ACTION            a user action on the open dialog, in order with --execute:\n"
    "                           set:GADGET=VALUE  change a check box (0/1) or pick a combo entry\n"
    "                           click:ID          press a button or choose a menu entry\n"
    "                           close             close the dialog as the user would\n"
    "                           show              print the dialog's gadgets and menu to stderr\n"
    "\n"
    "exit codes: 0 success, 1 bad usage, 2 module not loaded or refused, 3 host objects left\n"
    "behind or misused, 4 a requested action failed\n";

int Usage(const std::string& error) {
    std::cerr << "corvel-host: " << error << "\n\n" << kUsage;
    return kExitUsage;
}

bool ParseInt(const std::string& text, int64_t lo, int64_t hi, int64_t* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (!end || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

struct Action {
    enum Kind { Execute, Set, Click, Close, Show } kind = Execute;
    int32_t id = 0;      // command or gadget id (0 with Execute: the first command)
    int32_t value = 0;
    std::string text;    // as given, for messages
};

bool ParseAction(const std::string& text, Action* a, std::string* why) {
    a->text = text;
    int64_t v = 0;
    if (text == "close") {
        a->kind = Action::Close;
        return true;
    }
    if (text == "show") {
        a->kind = Action::Show;
        return true;
    }
    if (text.rfind("click:", 0) == 0) {
        a->kind = Action::Click;
        if (!ParseInt(text.substr(6), INT32_MIN, INT32_MAX, &v)) {
            *why = "bad id in --do " + text;
            return false;
        }
        a->id = static_cast<int32_t>(v);
        return true;
    }
    if (text.rfind("set:", 0) == 0) {
        a->kind = Action::Set;
        const std::string rest = text.substr(4);
        const size_t eq = rest.find('=');
        int64_t value = 0;
        if (eq == std::string::npos || !ParseInt(rest.substr(0, eq), INT32_MIN, INT32_MAX, &v) ||
            !ParseInt(rest.substr(eq + 1), INT32_MIN, INT32_MAX, &value)) {
            *why = "expected --do set:GADGET=VALUE, got --do " + text;
            return false;
        }
        a->id = static_cast<int32_t>(v);
        a->value = static_cast<int32_t>(value);
        return true;
    }
    *why = "unknown action --do " + text;
    return false;
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

bool RunAction(hostsim::Host& host, const Action& a) {
    if (a.kind == Action::Execute) {
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
    hostsim::DialogWindow* w = host.ActiveWindow();
    if (!w) {
        std::cerr << "corvel-host: --do " << a.text << ": no dialog is open\n";
        return false;
    }
    switch (a.kind) {
    case Action::Set: {
        auto g = w->gadgets.find(a.id);
        if (g == w->gadgets.end()) {
            std::cerr << "corvel-host: --do " << a.text << ": the dialog has no gadget " << a.id << "\n";
            return false;
        }
        const int32_t before = static_cast<int32_t>(host.Log().size());
        const int32_t answer = g->second.kind == hostsim::GadgetKind::Check ? host.UserSetBool(w, a.id, a.value != 0)
                                                                             : host.UserSetInt32(w, a.id, a.value);
        if (answer == 0 && static_cast<int32_t>(host.Log().size()) > before &&
            host.Log().back().rfind("user:", 0) == 0) {
            std::cerr << "corvel-host: --do " << a.text << ": " << host.Log().back() << "\n";
            return false;
        }
        return true;
    }
    case Action::Click: host.UserAction(w, a.id); return true;
    case Action::Close: host.UserClose(w); return true;
    case Action::Show: ShowWindow(*w); return true;
    case Action::Execute: break;
    }
    return true;
}

int Run(int argc, char** argv) {
    hostsim::HostOptions options;
    options.consoleEcho = &std::cout;
    options.logEcho = &std::cerr;
    std::string module;
    std::vector<Action> actions;
    struct Fault {
        hostsim::AllocKind kind;
        uint64_t n;
    };
    std::vector<Fault> faults;
    bool failSave = false;
    bool refuseRegistration = false;

    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        int64_t n = 0;
        if (arg == "--api-version") {
            if (!value(&v) || !ParseInt(v, INT32_MIN, INT32_MAX, &n))
                return Usage("--api-version needs an integer");
            options.apiVersion = static_cast<int32_t>(n);
        } else if (arg == "--prefs") {
            if (!value(&options.prefsFile) || options.prefsFile.empty())
                return Usage("--prefs needs a file");
        } else if (arg == "--fail-save") {
            failSave = true;
        } else if (arg == "--fail-alloc") {
            if (!value(&v))
                return Usage("--fail-alloc needs N or KIND:N");
            Fault f{hostsim::AllocKind::Heap, 0};
            const size_t colon = v.find(':');
            if (colon != std::string::npos && !hostsim::ParseAllocKind(v.substr(0, colon), &f.kind))
                return Usage("unknown allocation kind in --fail-alloc " + v);
            if (!ParseInt(colon == std::string::npos ? v : v.substr(colon + 1), 1, INT64_MAX, &n))
                return Usage("--fail-alloc needs a count of 1 or more");
            f.n = static_cast<uint64_t>(n);
            faults.push_back(f);
        } else if (arg == "--refuse-registration") {
            refuseRegistration = true;
        } else if (arg == "--no-document") {
            options.activeDocument = false;
        } else if (arg == "--startup-folder") {
            if (!value(&options.startupFolder))
                return Usage("--startup-folder needs a folder");
        } else if (arg == "--execute" || arg.rfind("--execute=", 0) == 0) {
            Action a;
            a.kind = Action::Execute;
            a.text = arg;
            if (arg.size() > 10 && (!ParseInt(arg.substr(10), INT32_MIN, INT32_MAX, &n) || n == 0))
                return Usage("bad command id in " + arg);
            a.id = arg.size() > 10 ? static_cast<int32_t>(n) : 0;
            actions.push_back(a);
        } else if (arg == "--do") {
            Action a;
            std::string why;
            if (!value(&v))
                return Usage("--do needs an action");
            if (!ParseAction(v, &a, &why))
                return Usage(why);
            actions.push_back(a);
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else if (module.empty()) {
            module = arg;
        } else {
            return Usage("more than one module given: " + module + " and " + arg);
        }
    }
    if (module.empty())
        return Usage("run needs a module file");

    hostsim::Host host(options);
    if (!host.Load(module)) {
        std::cerr << "corvel-host: " << host.LastError() << "\n";
        return kExitRefused;
    }
    for (const Fault& f : faults)
        host.FailAllocation(f.kind, f.n);
    if (failSave)
        host.FailNextPrefsSave();
    if (refuseRegistration)
        host.RefuseRegistrations(1);

    host.Startup();
    bool actionsOk = true;
    for (const Action& a : actions)
        if (!RunAction(host, a))
            actionsOk = false;
    const std::vector<hostsim::LiveObject> leaks = host.Shutdown();
    if (!leaks.empty() || !host.Violations().empty()) {
        std::cerr << "corvel-host: the module left " << leaks.size() << " host object(s) behind and misused "
                  << host.Violations().size() << " handle(s)\n";
        return kExitLeaks;
    }
    return actionsOk ? kExitOk : kExitAction;
}

int PrintPrefs(int argc, char** argv) {
    if (argc != 3)
        return Usage("prefs needs exactly one file");
    std::map<int32_t, hostsim::Container> prefs;
    std::string why;
    if (!hostsim::ReadPrefsFile(argv[2], &prefs, &why)) {
        std::cerr << "corvel-host: " << why << "\n";
        return kExitRefused;
    }
    for (const auto& p : prefs) {
        std::cout << "plug-in " << p.first << ": " << p.second.entries.size() << " key(s)\n";
        for (const auto& e : p.second.entries) {
            std::cout << "  " << e.first << " = ";
            switch (e.second.type) {
            case hostsim::Container::Type::Int32: std::cout << "Int32 " << e.second.i; break;
            case hostsim::Container::Type::Bool: std::cout << "Bool " << (e.second.b ? "true" : "false"); break;
            case hostsim::Container::Type::Float: std::cout << "Float " << e.second.f; break;
            }
            std::cout << '\n';
        }
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage("no command given");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (command == "run")
        return Run(argc, argv);
    if (command == "prefs")
        return PrintPrefs(argc, argv);
    if (command == "validate")
        return ValidateCommandMain(argc, argv);
    return Usage("unknown command " + command);
}
