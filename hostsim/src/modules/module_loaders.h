// module_loaders.h - the loaders behind DynamicLibrary::Open, one per kind of module file.
#ifndef CORVEL_HOSTSIM_MODULE_LOADERS_H
#define CORVEL_HOSTSIM_MODULE_LOADERS_H

#include <memory>
#include <string>

#include "hostsim/dynamic_library.h"

namespace hostsim {

// The operating system's own loader (dlopen, LoadLibraryW). Null with `why` set on failure.
std::unique_ptr<DynamicLibrary::Image> OpenWithSystemLoader(const std::string& path, std::string* why);

// Checks a module file for the system loader before it is opened: an intact image (the reader of
// corvel-inspect) of this platform's format and architecture, a shared library, and for ELF every
// table dlopen follows inside the file and its mapped segments. False with `why` set otherwise.
bool CheckModuleFile(const std::string& path, std::string* why);

// The host's loader of macOS modules. Null with `why` set on failure, and always where the host
// cannot run macOS code (anything but Linux x86-64).
std::unique_ptr<DynamicLibrary::Image> OpenMachOModule(const std::string& path, std::string* why);

// True when the file starts like a Mach-O file of any kind (64- or 32-bit, universal), so that
// the Mach-O loader refuses it with a reason instead of the system loader failing obscurely.
bool LooksLikeMachO(const std::string& path);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_MODULE_LOADERS_H
