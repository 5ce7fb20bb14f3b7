// corvel-host: the stand-in host on the command line. One subcommand per task; each has its own
// file (<name>_command.cpp) and its own --help.
#include <cstring>
#include <iostream>
#include <iomanip>
#include <string>
#include <vector>

#include "commands.h"

namespace {

struct Subcommand {
    const char* name;
    int (*main)(int argc, char** argv);
    const char* summary;
};

const Subcommand kSubcommands[] = {
    {"run", corvel_cli::RunCommandMain, "load a module as the host does, carry out user actions, report leaks"},
    {"prefs", corvel_cli::PrefsCommandMain, "print a preferences file of the stand-in host"},
    {"res", corvel_cli::ResCommandMain, "check a plug-in's resource folder as the host reads it (res check FOLDER)"},
    {"validate", corvel_cli::ValidateCommandMain, "check a module before shipping it (every case in a process of its own)"},
};

void PrintUsage(std::ostream& out) {
    out << "usage: corvel-host COMMAND [arguments]   (corvel-host COMMAND --help for its options)\n"
           "       corvel-host --version\n\ncommands:\n";
    for (const Subcommand& c : kSubcommands)
        out << "  " << std::left << std::setw(10) << c.name << c.summary << "\n";
    out << "\n" << corvel_cli::kExitCodeHelp << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "corvel-host: no command given\n\n";
        PrintUsage(std::cerr);
        return corvel_cli::kExitUsage;
    }
    const char* command = argv[1];
    if (!std::strcmp(command, "--help") || !std::strcmp(command, "-h") || !std::strcmp(command, "help")) {
        PrintUsage(std::cout);
        return corvel_cli::kExitOk;
    }
    if (!std::strcmp(command, "--version")) {
        std::cout << "corvel-host " << corvel_cli::kVersion << "\n";
        return corvel_cli::kExitOk;
    }
    for (const Subcommand& c : kSubcommands)
        if (!std::strcmp(command, c.name))
            return c.main(argc, argv);
    std::vector<std::string> names;
    for (const Subcommand& c : kSubcommands)
        names.push_back(c.name);
    const std::string nearest = corvel_cli::Nearest(names, command);
    std::cerr << "corvel-host: unknown command " << command
              << (nearest.empty() ? std::string() : "; did you mean " + nearest + "?") << "\n\n";
    PrintUsage(std::cerr);
    return corvel_cli::kExitUsage;
}
