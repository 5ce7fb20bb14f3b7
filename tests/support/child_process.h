// child_process.h - runs a program as a user would from a shell and collects what it printed.
#ifndef CORVEL_TESTS_SUPPORT_PROCESS_H
#define CORVEL_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <vector>

namespace corvel_test {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::vector<std::string> OutLines() const;
};

// Runs `program` with `args` (each quoted for the platform's shell), waits for it and answers its
// exit code and output.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);

} // namespace corvel_test

#endif // CORVEL_TESTS_SUPPORT_PROCESS_H
