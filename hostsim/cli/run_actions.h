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
    int32_t id = 0;      // command or gadget id (0 with Execute: the first command registered)
    int32_t value = 0;
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
// to `out`. Why an action failed or was misused goes to stderr.
Outcome CarryOut(hostsim::Host& host, const RunAction& action, std::ostream& out);

} // namespace corvel_cli

#endif // CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H
