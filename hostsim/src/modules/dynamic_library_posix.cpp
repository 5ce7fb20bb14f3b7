// Module loading on Linux and other POSIX systems: dlopen with RTLD_LOCAL, so the module's symbols
// stay private to it; RTLD_NOW, so a module with an unresolved symbol is refused at load.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
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

    // The module's PT_LOAD segments as mapped; the part that PT_GNU_RELRO makes read-only after
    // relocation counts as read-only.
    std::vector<ModuleRegion> Regions() const override {
        struct Search {
            uintptr_t base = 0;
            const char* name = nullptr;
            std::vector<ModuleRegion> regions;
        } search;
        link_map* map = nullptr;
        if (!handle_ || dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map)
            return {};
        search.base = static_cast<uintptr_t>(map->l_addr);
        search.name = map->l_name ? map->l_name : "";
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void* data) -> int {
                auto* s = static_cast<Search*>(data);
                if (static_cast<uintptr_t>(info->dlpi_addr) != s->base || info->dlpi_phnum == 0 ||
                    std::strcmp(info->dlpi_name ? info->dlpi_name : "", s->name) != 0)
                    return 0;
                uintptr_t relroBegin = 0, relroEnd = 0;
                for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                    if (ph.p_type == PT_GNU_RELRO) {
                        relroBegin = s->base + ph.p_vaddr;
                        relroEnd = relroBegin + ph.p_memsz;
                    }
                }
                for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                    if (ph.p_type != PT_LOAD || ph.p_memsz == 0)
                        continue;
                    const uintptr_t begin = s->base + ph.p_vaddr, end = begin + ph.p_memsz;
                    const bool writable = (ph.p_flags & PF_W) != 0;
                    if (writable && relroBegin < relroEnd && relroBegin < end && relroEnd > begin) {
                        // Split at the read-only-after-relocation range.
                        if (begin < relroBegin)
                            s->regions.push_back({begin, relroBegin, true});
                        s->regions.push_back({std::max(begin, relroBegin), std::min(end, relroEnd), false});
                        if (relroEnd < end)
                            s->regions.push_back({relroEnd, end, true});
                    } else {
                        s->regions.push_back({begin, end, writable});
                    }
                }
                return 1;
            },
            &search);
        return search.regions;
    }

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
