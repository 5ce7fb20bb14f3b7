// resource_check.h - checks a plug-in's whole resource folder the way the host will read it: the
// symbols, the string table of every language folder, every dialog description with its texts in
// every language. For plug-in authors, before the folder meets the host.
#ifndef CORVEL_HOSTSIM_RESOURCE_CHECK_H
#define CORVEL_HOSTSIM_RESOURCE_CHECK_H

#include <string>
#include <vector>

#include "hostsim/resource_files.h"

namespace hostsim {

struct ResourceCheckReport {
    std::string folder;
    std::vector<std::string> languages; // language folders the host reads, e.g. "strings_en-US"
    std::vector<std::string> dialogs;   // symbols of the dialog descriptions read
    size_t stringTables = 0;            // c4d_strings.str files read
    ResourceDiagnostics diagnostics;
};

ResourceCheckReport CheckResourceFolder(const std::string& folder);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_RESOURCE_CHECK_H
