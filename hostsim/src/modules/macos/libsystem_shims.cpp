// The table of libSystem symbols served to macOS modules (see libsystem_shims.h), with the C
// library forwards, the stdio variables, static destructor registration, the lazy binder and the
// unwinder. pthread and the C locale's table have files of their own.
#include "libsystem_shims.h"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

namespace hostsim::macos {
namespace {

// Writes a fatal message with write(2) only: these run where the module is in an undefined state
// (inside the lazy binder's trampoline, or in the middle of an unwind).
[[noreturn]] void DieWith(const char* what, const char* name) {
    const char* prefix = "corvel-host: macOS module: ";
    auto put = [](const char* text) { (void)!write(2, text, std::strlen(text)); };
    put(prefix);
    put(what);
    put(name);
    put("\n");
    std::abort();
}

// ---- stdio variables -----------------------------------------------------------------------------
// macOS's <stdio.h> reaches stderr through the variable ___stderrp (a FILE*). The module only hands
// that pointer back to fwrite, fputc and vfprintf, which are glibc's here, so it holds glibc's
// stream and macOS's FILE layout never matters.
FILE* g_stderrp = stderr;
FILE* g_stdoutp = stdout;

// ---- memory --------------------------------------------------------------------------------------
// ___bzero is macOS's bzero(pointer, length).
void Bzero(void* pointer, size_t length) { std::memset(pointer, 0, length); }

// ---- static destructors --------------------------------------------------------------------------
// On macOS, ___cxa_atexit(handler, argument, dso) files a handler under the image whose Mach-O
// header `dso` is (each image's __dso_handle); dlclose runs that image's handlers in reverse order
// of registration before it unmaps the image.
struct ImageRecord {
    const void* begin = nullptr;
    size_t size = 0;
    std::vector<std::pair<void (*)(void*), void*>> handlers;
};
std::mutex g_imagesMutex;
std::map<const void*, ImageRecord> g_images; // by header

int CxaAtexit(void (*handler)(void*), void* argument, void* dso) {
    std::lock_guard<std::mutex> lock(g_imagesMutex);
    auto found = g_images.find(dso);
    if (found == g_images.end())
        DieWith("___cxa_atexit was called with a handle that is no loaded image's header", "");
    found->second.handlers.emplace_back(handler, argument);
    return 0;
}

// ---- lazy binding --------------------------------------------------------------------------------
// The loader binds every lazy pointer before the module runs, so macOS's lazy binder is never
// needed; reaching it means a stub was left unbound, and running on would jump nowhere.
[[noreturn]] void StubBinderReached() {
    DieWith("dyld_stub_binder was reached: a lazy symbol pointer was left unbound by the loader", "");
}

// ---- unwinder ------------------------------------------------------------------------------------
// macOS's libunwind reads the compact __unwind_info that describes the module's own functions;
// glibc's unwinder reads only DWARF, so an exception crossing the module's frames cannot be
// unwound here. Nothing in the module throws; if anything does, these entries stop the process
// with the name of the one that was reached rather than unwind wrongly.
constexpr const char* kUnwinderEntries[] = {
    "__Unwind_RaiseException", "__Unwind_Resume", "__Unwind_Resume_or_Rethrow", "__Unwind_ForcedUnwind",
    "__Unwind_DeleteException", "__Unwind_GetIP", "__Unwind_GetIPInfo", "__Unwind_SetIP", "__Unwind_GetGR",
    "__Unwind_SetGR", "__Unwind_GetCFA", "__Unwind_GetRegionStart", "__Unwind_GetLanguageSpecificData",
    "__Unwind_GetDataRelBase", "__Unwind_GetTextRelBase", "__Unwind_Backtrace", "__Unwind_FindEnclosingFunction",
};
constexpr size_t kUnwinderEntryCount = std::size(kUnwinderEntries);

template <size_t Index>
[[noreturn]] void UnwinderReached() {
    DieWith("an exception is being unwound through the module, which this host cannot do; reached ",
            kUnwinderEntries[Index]);
}

template <size_t... Index>
void AddUnwinderEntries(std::vector<ShimEntry>& table, std::index_sequence<Index...>) {
    (table.push_back({kUnwinderEntries[Index], reinterpret_cast<void*>(&UnwinderReached<Index>)}), ...);
}

// Functions whose macOS and glibc forms take the same arguments in the same registers and mean
// the same (memory, strings, stdio).
std::vector<ShimEntry> ForwardedFunctions() {
    return {
        {"_malloc", ShimAddress(&std::malloc)},
        {"_calloc", ShimAddress(&std::calloc)},
        {"_realloc", ShimAddress(&std::realloc)},
        {"_free", ShimAddress(&std::free)},
        {"_abort", ShimAddress(&std::abort)},
        {"_memchr", ShimAddress(static_cast<const void* (*)(const void*, int, size_t)>(&std::memchr))},
        {"_memcmp", ShimAddress(&std::memcmp)},
        {"_memcpy", ShimAddress(&std::memcpy)},
        {"_memmove", ShimAddress(&std::memmove)},
        {"_memset", ShimAddress(&std::memset)},
        {"_strlen", ShimAddress(&std::strlen)},
        {"_strcmp", ShimAddress(&std::strcmp)},
        {"_strncmp", ShimAddress(&std::strncmp)},
        {"_strchr", ShimAddress(static_cast<const char* (*)(const char*, int)>(&std::strchr))},
        {"_strrchr", ShimAddress(static_cast<const char* (*)(const char*, int)>(&std::strrchr))},
        {"_fwrite", ShimAddress(&std::fwrite)},
        {"_fputc", ShimAddress(&std::fputc)},
        {"_fputs", ShimAddress(&std::fputs)},
        {"_fflush", ShimAddress(&std::fflush)},
    };
}

} // namespace

#if defined(__x86_64__)
// Formatted output on x86-64: both systems pass variadic arguments alike and share va_list's
// layout, so glibc's functions serve as they are. (arm64: formatted_output_arm64.cpp.)
std::vector<ShimEntry> FormattedOutputShims() {
    using VfprintfFn = int(FILE*, const char*, va_list);
    using VsnprintfFn = int(char*, size_t, const char*, va_list);
    return {
        {"_snprintf", ShimAddress(&std::snprintf)},
        {"_vsnprintf", ShimAddress(static_cast<VsnprintfFn*>(&std::vsnprintf))},
        {"_fprintf", ShimAddress(&std::fprintf)},
        {"_vfprintf", ShimAddress(static_cast<VfprintfFn*>(&std::vfprintf))},
    };
}
#endif

namespace {

std::vector<ShimEntry> BuildTable() {
    std::vector<ShimEntry> table = ForwardedFunctions();
    for (auto group : {FormattedOutputShims(), PthreadShims(), LocaleShims()})
        table.insert(table.end(), group.begin(), group.end());
    table.push_back({"___stderrp", &g_stderrp});
    table.push_back({"___stdoutp", &g_stdoutp});
    table.push_back({"___bzero", ShimAddress(Bzero)});
    table.push_back({"___cxa_atexit", ShimAddress(CxaAtexit)});
    table.push_back({"dyld_stub_binder", ShimAddress(StubBinderReached)});
    AddUnwinderEntries(table, std::make_index_sequence<kUnwinderEntryCount>());
    std::sort(table.begin(), table.end(), [](const ShimEntry& a, const ShimEntry& b) { return std::strcmp(a.name, b.name) < 0; });
    return table;
}

const std::vector<ShimEntry>& Table() {
    static const std::vector<ShimEntry> table = BuildTable();
    return table;
}

} // namespace

void* FindShim(const std::string& name) {
    const auto& table = Table();
    auto found = std::lower_bound(table.begin(), table.end(), name,
                                  [](const ShimEntry& entry, const std::string& key) { return entry.name < key; });
    return found != table.end() && found->name == name ? found->address : nullptr;
}

std::vector<std::string> ShimNames() {
    std::vector<std::string> names;
    for (const auto& entry : Table())
        names.push_back(entry.name);
    return names;
}

void RegisterImage(const void* header, const void* begin, size_t size) {
    std::lock_guard<std::mutex> lock(g_imagesMutex);
    g_images[header] = ImageRecord{begin, size, {}};
}

void FinalizeImage(const void* header) {
    for (;;) {
        std::pair<void (*)(void*), void*> handler;
        {
            std::lock_guard<std::mutex> lock(g_imagesMutex);
            auto found = g_images.find(header);
            if (found == g_images.end())
                return;
            if (found->second.handlers.empty()) {
                DeleteKeysOf(found->second.begin, found->second.size);
                g_images.erase(found);
                return;
            }
            handler = found->second.handlers.back();
            found->second.handlers.pop_back();
        }
        handler.first(handler.second); // unlocked: a handler may register another
    }
}

} // namespace hostsim::macos
