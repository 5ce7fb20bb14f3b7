// The formatted-output imports of a macOS module on arm64: snprintf, fprintf, vsnprintf, vfprintf.
//
// Apple's arm64 convention passes every variadic argument on the stack, each in an 8-byte slot
// starting at the stack pointer of the call, and its va_list is a plain pointer to such slots. On
// aarch64 Linux the first variadic arguments travel in registers, and glibc's va_list is a 32-byte
// record of a stack pointer and two register save areas. Handing a module's call straight to glibc
// would format whatever the argument registers happen to hold.
//
// Each shim therefore takes the module's slots and builds a glibc va_list that reads them: a record
// whose register save areas are used up (both offsets 0) reads every argument from its stack
// pointer, in 8-byte slots, exactly as Apple laid them out. The variadic entries are two
// instructions of assembly that pass the stack pointer of the call on as that pointer.
//
// One layout differs within the slots: long double is 8 bytes on Apple's side and 16 on Linux. A
// format that converts one (%Lf and friends) stops the process with a message instead of printing
// a wrong number.
#if defined(__aarch64__)

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "libsystem_shims.h"

namespace hostsim::macos {
namespace {

// glibc's va_list on aarch64 (the AAPCS64 record).
struct LinuxVaList {
    void* stack;
    void* generalTop;
    void* vectorTop;
    int generalOffset;
    int vectorOffset;
};
static_assert(sizeof(LinuxVaList) == sizeof(va_list), "glibc's aarch64 va_list is the AAPCS64 record");

void ReadSlots(const void* slots, va_list& list) {
    const LinuxVaList record{const_cast<void*>(slots), nullptr, nullptr, 0, 0};
    std::memcpy(&list, &record, sizeof record);
}

// Stops at a long double conversion: an 'L' length modifier inside a conversion specification.
void RefuseLongDouble(const char* format) {
    for (const char* p = format; p && *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '%')
            continue;
        for (; *p && !std::strchr("diouxXeEfFgGaAcspn", *p); ++p)
            if (*p == 'L') {
                const char* text = "corvel-host: macOS module: a long double argument (%L) cannot be passed on "
                                   "from Apple's arm64 convention (8 bytes) to glibc's (16 bytes)\n";
                (void)!write(2, text, std::strlen(text));
                std::abort();
            }
        if (!*p)
            break;
    }
}

} // namespace

extern "C" {

__attribute__((visibility("hidden"))) int CorvelAppleVsnprintf(char* buffer, size_t size, const char* format,
                                                                const void* slots) {
    RefuseLongDouble(format);
    va_list list;
    ReadSlots(slots, list);
    return std::vsnprintf(buffer, size, format, list);
}

__attribute__((visibility("hidden"))) int CorvelAppleVfprintf(FILE* stream, const char* format, const void* slots) {
    RefuseLongDouble(format);
    va_list list;
    ReadSlots(slots, list);
    return std::vfprintf(stream, format, list);
}

// The variadic entries: the module's call left its variadic arguments at the stack pointer.
int CorvelAppleSnprintfEntry(char* buffer, size_t size, const char* format, ...);
int CorvelAppleFprintfEntry(FILE* stream, const char* format, ...);

} // extern "C"

// snprintf(buffer, size, format, ...): three fixed arguments in x0-x2, the slots pointer into x3.
// fprintf(stream, format, ...): two fixed arguments in x0-x1, the slots pointer into x2.
asm(R"(
    .pushsection .text
    .p2align 2
    .hidden CorvelAppleSnprintfEntry
    .globl CorvelAppleSnprintfEntry
    .type CorvelAppleSnprintfEntry, %function
CorvelAppleSnprintfEntry:
    mov x3, sp
    b CorvelAppleVsnprintf
    .size CorvelAppleSnprintfEntry, . - CorvelAppleSnprintfEntry

    .p2align 2
    .hidden CorvelAppleFprintfEntry
    .globl CorvelAppleFprintfEntry
    .type CorvelAppleFprintfEntry, %function
CorvelAppleFprintfEntry:
    mov x2, sp
    b CorvelAppleVfprintf
    .size CorvelAppleFprintfEntry, . - CorvelAppleFprintfEntry
    .popsection
)");

std::vector<ShimEntry> FormattedOutputShims() {
    return {
        {"_snprintf", reinterpret_cast<void*>(&CorvelAppleSnprintfEntry)},
        {"_fprintf", reinterpret_cast<void*>(&CorvelAppleFprintfEntry)},
        {"_vsnprintf", reinterpret_cast<void*>(&CorvelAppleVsnprintf)},
        {"_vfprintf", reinterpret_cast<void*>(&CorvelAppleVfprintf)},
    };
}

} // namespace hostsim::macos

#endif // __aarch64__
