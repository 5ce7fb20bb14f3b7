// child_process.h - the tests run programs through the stand-in host's child-process routine.
#ifndef CORVEL_TESTS_SUPPORT_PROCESS_H
#define CORVEL_TESTS_SUPPORT_PROCESS_H

#include "hostsim/child_process.h"

namespace corvel_test {
using hostsim::ProcessResult;
using hostsim::RunProcess;
} // namespace corvel_test

#endif // CORVEL_TESTS_SUPPORT_PROCESS_H
