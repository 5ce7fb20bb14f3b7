// libsystem_shims.h - what the Mach-O loader binds a macOS module's imports to.
//
// A macOS module imports its C library, pthread, C++ runtime support and unwinder from
// /usr/lib/libSystem.B.dylib. The stand-in host serves each import it knows from this table:
// functions whose macOS and glibc forms take their arguments alike and mean the same are forwarded
// to glibc (on arm64 except the variadic ones, whose arguments Apple passes differently), the rest (pthread objects, whose layouts and static initialisers differ;
// the C locale's character table; the stderr variable; static destructor registration; the lazy
// binder and the unwinder) are implemented here with macOS's behaviour. The loader refuses a
// module that imports anything the table does not hold.
#ifndef CORVEL_HOSTSIM_MACOS_LIBSYSTEM_SHIMS_H
#define CORVEL_HOSTSIM_MACOS_LIBSYSTEM_SHIMS_H

#include <cstddef>
#include <string>
#include <vector>

namespace hostsim::macos {

// The address serving the libSystem symbol `name`, spelt as in the module's bind information
// (with the leading underscore of C names, e.g. "_malloc", "___stderrp"), or null.
void* FindShim(const std::string& name);
// Every symbol the table serves, sorted.
std::vector<std::string> ShimNames();

// One loaded image, known to the shims that act per image: ___cxa_atexit files a handler under
// the image whose header is its `dso` argument, and the thread-specific keys the image created (or
// whose destructor lies in it) are deleted when it goes: a thread that exits later must not call
// into unmapped code, and glibc's keys are few.
void RegisterImage(const void* header, const void* begin, size_t size);
// Runs the image's ___cxa_atexit handlers in reverse order of registration (including any that a
// handler registers while they run), deletes its keys and forgets the image.
void FinalizeImage(const void* header);

// Shim groups, each in a file of its own.
struct ShimEntry {
    const char* name;
    void* address;
};
// A function's address as a table entry.
template <typename Fn>
void* ShimAddress(Fn* fn) {
    return reinterpret_cast<void*>(fn);
}
std::vector<ShimEntry> PthreadShims();
// snprintf, fprintf, vsnprintf, vfprintf: glibc's own on x86-64; on arm64 shims that read Apple's
// variadic argument layout (formatted_output_arm64.cpp).
std::vector<ShimEntry> FormattedOutputShims();
std::vector<ShimEntry> LocaleShims();
// Deletes the thread-specific keys created by code in [begin, begin + size) or whose destructor
// lies there.
void DeleteKeysOf(const void* begin, size_t size);

} // namespace hostsim::macos

#endif // CORVEL_HOSTSIM_MACOS_LIBSYSTEM_SHIMS_H
