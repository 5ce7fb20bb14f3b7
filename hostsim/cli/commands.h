// commands.h - the subcommands of corvel-host and what they share.
//
// Each subcommand lives in <name>_command.cpp and is entered with the whole command line: argv[0]
// is the program, argv[1] the subcommand's name, its own arguments follow. main.cpp only lists
// them. Every subcommand answers one of the exit codes below, so scripts can tell failures apart
// whichever subcommand they ran.
#ifndef CORVEL_HOSTSIM_CLI_COMMANDS_H
#define CORVEL_HOSTSIM_CLI_COMMANDS_H

#include <string>

namespace CLI {
class App;
}

namespace corvel_cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;     // bad command line
constexpr int kExitRefused = 2;   // module or file could not be loaded, or was refused
constexpr int kExitLeaks = 3;     // host objects left behind or handles misused
constexpr int kExitAction = 4;    // a requested action failed

// The exit codes as one help paragraph, for the footers of the subcommands.
extern const char* const kExitCodeHelp;

// Parses a subcommand's arguments (argv[1] is its name). Answers -1 when the command should go
// on; otherwise the exit code to return at once: 0 after --help was printed to stdout, kExitUsage
// after a usage error was printed to stderr.
int ParseSubcommand(CLI::App& app, int argc, char** argv);

int RunCommandMain(int argc, char** argv);
int PrefsCommandMain(int argc, char** argv);
int ResCommandMain(int argc, char** argv);
int ValidateCommandMain(int argc, char** argv);

} // namespace corvel_cli

#endif // CORVEL_HOSTSIM_CLI_COMMANDS_H
