// run_actions.h - the user actions `corvel-host run` carries out on the started module, in the
// order given: --execute[=ID] and --do ACTION.
#ifndef CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H
#define CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H

#include <cstdint>
#include <string>

#include "hostsim/host.h"

namespace corvel_cli {

struct RunAction {
    enum Kind { Execute, Set, Click, Close, Show } kind = Execute;
    int32_t id = 0;      // command or gadget id (0 with Execute: the first command registered)
    int32_t value = 0;
    std::string text;    // as given, for messages
};

// Reads the value of --execute (empty: the first command) and of --do. Answers false with the
// reason in `why` when the text is not one of the documented forms.
bool ParseExecuteAction(const std::string& value, RunAction* out, std::string* why);
bool ParseDoAction(const std::string& text, RunAction* out, std::string* why);

// Carries out one action on the started module. Answers false when it could not be done (no such
// command or gadget, no open dialog, a value the dialog refused); the reason is on stderr.
bool CarryOut(hostsim::Host& host, const RunAction& action);

} // namespace corvel_cli

#endif // CORVEL_HOSTSIM_CLI_RUN_ACTIONS_H
