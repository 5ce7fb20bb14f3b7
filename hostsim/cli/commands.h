// commands.h - the subcommands of corvel-host and what they share.
//
// Each subcommand lives in <name>_command.cpp and is entered with the whole command line: argv[0]
// is the program, argv[1] the subcommand's name, its own arguments follow. main.cpp only lists
// them. Every subcommand answers one of the exit codes below, so scripts can tell failures apart
// whichever subcommand they ran.
#ifndef CORVEL_HOSTSIM_CLI_COMMANDS_H
#define CORVEL_HOSTSIM_CLI_COMMANDS_H

#include <string>
#include <vector>

#include "hostsim/safe_file.h"

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

// The version of corvel-host (the project's), as --version prints it.
extern const char* const kVersion;

// Parses a subcommand's arguments (argv[1] is its name). Answers -1 when the command should go
// on; otherwise the exit code to return at once: 0 after --help or --version was printed to
// stdout, kExitUsage after a usage error was printed to stderr, with the nearest option for one
// that is misspelt and the --help to read. Every option that has a default shows it in --help.
int ParseSubcommand(CLI::App& app, int argc, char** argv);

// The option of `app` (or of its subcommands) nearest to `given`, a misspelt --option; empty when
// none is near enough to be what was meant.
std::string NearestOption(const CLI::App& app, const std::string& given);
// The one of `names` nearest to `given`, or empty when none is near enough.
std::string Nearest(const std::vector<std::string>& names, const std::string& given);

// Checks for numeric options that CLI11 would otherwise let through: a finite number of seconds
// within [min, max], and a whole number that is not negative (no wrap-around of -1).
std::string CheckSeconds(const std::string& text, double min, double max, bool zeroAllowed);
std::string CheckUnsigned(const std::string& text);

// Why `path` cannot be read as a file, or empty (the stand-in host library's check).
using hostsim::WhyNotReadableFile;

// Why a report or log cannot be written at `path` (a directory, a missing folder, no permission),
// or empty. Checked before the work starts; the file is left as it was.
std::string WhyNotWritableFile(const std::string& path);

int RunCommandMain(int argc, char** argv);
int PrefsCommandMain(int argc, char** argv);
int ResCommandMain(int argc, char** argv);
int ValidateCommandMain(int argc, char** argv);

} // namespace corvel_cli

#endif // CORVEL_HOSTSIM_CLI_COMMANDS_H
