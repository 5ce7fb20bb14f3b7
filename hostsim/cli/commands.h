// commands.h - the subcommands of corvel-host, one file each. Each takes the whole command line
// (argv[1] is the subcommand's name) and answers the process's exit code.
#ifndef CORVEL_HOSTSIM_CLI_COMMANDS_H
#define CORVEL_HOSTSIM_CLI_COMMANDS_H

// corvel-host res check FOLDER [--strict] [--json]
int ResCommandMain(int argc, char** argv);

#endif // CORVEL_HOSTSIM_CLI_COMMANDS_H
