// commands.h - the subcommands of corvel-host, one file each; argv[1] is the subcommand's name.
#ifndef CORVEL_HOSTSIM_CLI_COMMANDS_H
#define CORVEL_HOSTSIM_CLI_COMMANDS_H

int ValidateCommandMain(int argc, char** argv);

#endif // CORVEL_HOSTSIM_CLI_COMMANDS_H
