// child_process.h - runs a program as a child process, waits for it and tells how it ended: its
// exit code, or the signal (POSIX) or exception (Windows) that ended it. Used by the validator,
// which runs every test case in a process of its own, and by the tests that drive the CLI.
#ifndef CORVEL_HOSTSIM_CHILD_PROCESS_H
#define CORVEL_HOSTSIM_CHILD_PROCESS_H

#include <string>
#include <vector>

namespace hostsim {

struct ProcessResult {
    bool started = false;   // false: the program could not be started at all
    int exitCode = -1;      // the program's exit code; -1 when it did not exit normally
    bool crashed = false;   // ended by a signal or an unhandled exception
    std::string how;        // "exit code 3", "signal 11 (SIGSEGV)", "exception 0xC0000005 (access violation)"
    std::string out;
    std::string err;
    std::vector<std::string> OutLines() const;
};

// Runs `program` with `args` (passed unchanged, whatever characters they hold), with standard
// output and error captured, and waits for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);

// Makes a crash end this process at once with its exception code, without the system's error
// dialog or a debugger (Windows; elsewhere a crash already ends the process with its signal).
// For child processes whose crashes the parent reports.
void EndAtOnceOnCrash();

// The path of the running executable, so that a program can start itself again.
std::string CurrentExecutable();

} // namespace hostsim

#endif // CORVEL_HOSTSIM_CHILD_PROCESS_H
