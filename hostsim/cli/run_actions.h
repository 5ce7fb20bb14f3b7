// run_actions.h - the user actions `corvel-host run` carries out on the started module, in the
// order given: --execute[=ID] and --do ACTION.
#ifndef CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H
#define CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H

#include <cstdint>
#include <ostream>
#include <string>

#include "hostsim/host.h"

namespace corvel_cli {

struct RunAction {
    enum Kind { Execute, Set, Click, Close, Show, Draw } kind = Execute;
    int32_t id = 0;      // command id (0: the first command registered)
    // set: and click: name the gadget (or menu entry) by number, by its symbol (IDC_...) or, for a
    // menu entry, by its text; set: gives the value as a number, a combo entry's text, or on/off.
    // Both are resolved against the open dialog when the action is carried out.
    std::string gadget;
    std::string value;
    std::string text;    // as given, for messages
    std::string file;    // Draw: the picture to write (.svg or .png)
};

// Reads the value of --execute (empty: the first command) and of --do. Answers false with the
// reason in `why` when the text is not one of the documented forms.
bool ParseExecuteAction(const std::string& value, RunAction* out, std::string* why);
bool ParseDoAction(const std::string& text, RunAction* out, std::string* why);

enum class Outcome {
    Done,
    Failed,   // the module or the host could not do it: no command or dialog, the answer was false
    Misused,  // the action does not fit the dialog: no such gadget, a value it cannot take, a
              // click on a gadget that is set rather than pressed
};

// Carries out one action on the started module and prints its answer (or the dialog, for show)
// to `out`. Why an action failed or was misused goes to stderr, one line beginning
// "corvel-host: error: ", apart from the host log's "[host]" lines.
Outcome CarryOut(hostsim::Host& host, const RunAction& action, std::ostream& out);

} // namespace corvel_cli

#endif // CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H
