// validator_internal.h - pieces of the validator shared between its source files.
#ifndef CORVEL_HOSTSIM_VALIDATOR_INTERNAL_H
#define CORVEL_HOSTSIM_VALIDATOR_INTERNAL_H

#include <string>
#include <vector>

#include "hostsim/host.h"
#include "hostsim/validator.h"

namespace hostsim {
namespace validate {

// A host as the validator uses it: preferences in memory, nothing echoed.
HostOptions QuietHostOptions();

// Carries out one scenario step. Answers false, with the reason, when the step cannot be carried
// out at all (no command registered, no dialog open, no such gadget); what the module answered is
// not judged here.
bool RunStep(Host& host, const Step& step, std::string* why);

// The host's shutdown as the validator checks it: action 3, the plug-ins freed, the module
// unloaded. Answers whether the module really left memory.
bool ShutDown(Host& host);

// Checks after a shutdown: nothing left behind, no misused handle, the module unloaded.
void CheckCleanShutdown(const Host& host, bool unloaded, std::vector<std::string>* failures);

// Renders spec.cycles random scenes from spec.seed on, one freshly loaded module each.
void RunRenderScenes(const std::string& module, const CaseSpec& spec, CaseResult* r);

// The lifecycle cases at a strictness: orders grouped so that each child runs a few thousand.
std::vector<CaseSpec> PlanLifecycleCases(int strictness, bool resourceLoads);

} // namespace validate
} // namespace hostsim

#endif // CORVEL_HOSTSIM_VALIDATOR_INTERNAL_H
