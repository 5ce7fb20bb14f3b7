// Module loading on Linux and other POSIX systems: dlopen with RTLD_LOCAL, so the module's symbols
// stay private to it; RTLD_NOW, so a module with an unresolved symbol is refused at load.
#include <dlfcn.h>

#include <utility>

#include "hostsim/dynamic_library.h"

namespace hostsim {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& path, std::string* why) {
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* err = dlerror();
        *why = err ? err : "dlopen failed";
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, path));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) {
        std::string ignored;
        Close(&ignored);
    }
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

bool DynamicLibrary::Close(std::string* why) {
    if (!handle_)
        return true;
    void* handle = std::exchange(handle_, nullptr);
    if (dlclose(handle) != 0) {
        const char* err = dlerror();
        *why = err ? err : "dlclose failed";
        return false;
    }
    // RTLD_NOLOAD answers a handle only while the file is still mapped.
    if (void* still = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(still);
        *why = "the module is still mapped after dlclose (a unique symbol or another handle keeps "
               "it loaded; its static destructors have not run)";
        return false;
    }
    return true;
}

} // namespace hostsim
