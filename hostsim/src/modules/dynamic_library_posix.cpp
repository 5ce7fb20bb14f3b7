// Module loading on Linux and other POSIX systems: dlopen with RTLD_LOCAL, so the module's symbols
// stay private to it; RTLD_NOW, so a module with an unresolved symbol is refused at load.
#include <dlfcn.h>

#include <utility>

#include "module_loaders.h"

namespace hostsim {
namespace {

class DlopenImage final : public DynamicLibrary::Image {
public:
    DlopenImage(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~DlopenImage() override {
        std::string ignored;
        Unload(&ignored);
    }

    void* Symbol(const char* name) const override { return handle_ ? dlsym(handle_, name) : nullptr; }

    bool Unload(std::string* why) override {
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

private:
    void* handle_;
    std::string path_;
};

} // namespace

std::unique_ptr<DynamicLibrary::Image> OpenWithSystemLoader(const std::string& path, std::string* why) {
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* err = dlerror();
        *why = err ? err : "dlopen failed";
        return nullptr;
    }
    return std::make_unique<DlopenImage>(handle, path);
}

} // namespace hostsim
