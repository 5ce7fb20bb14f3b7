// What the subcommands of corvel-host share: exit codes and one way to report command line errors.
#include <iostream>

#include <CLI/CLI.hpp>

#include "commands.h"

namespace corvel_cli {

const char* const kExitCodeHelp =
    "exit codes: 0 success, 1 bad usage, 2 module or file not loaded or refused, 3 host objects\n"
    "left behind or misused, 4 a requested action failed";

int ParseSubcommand(CLI::App& app, int argc, char** argv) {
    // Paths such as /tmp/prefs are arguments on every platform, never Windows-style options.
    app.allow_windows_style_options(false);
    try {
        // The subcommand's name stands where CLI11 expects the program name.
        app.parse(argc - 1, argv + 1);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << e.what() << "\n"
                  << "run '" << app.get_name() << " --help' for its options\n";
        return kExitUsage;
    }
    return -1;
}

} // namespace corvel_cli
