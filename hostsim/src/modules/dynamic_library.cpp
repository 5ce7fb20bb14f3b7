// DynamicLibrary: chooses the loader by the module file's format.
#include "hostsim/dynamic_library.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "module_loaders.h"

namespace hostsim {

bool LooksLikeMachO(const std::string& path) {
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    unsigned char magic[4] = {0, 0, 0, 0};
    if (!file.read(reinterpret_cast<char*>(magic), sizeof magic))
        return false;
    const uint32_t little = magic[0] | (magic[1] << 8) | (magic[2] << 16) | (uint32_t{magic[3]} << 24);
    const uint32_t big = (uint32_t{magic[0]} << 24) | (magic[1] << 16) | (magic[2] << 8) | magic[3];
    return little == 0xfeedfacf || little == 0xfeedface || big == 0xcafebabe || big == 0xcafebabf;
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& path, std::string* why) {
    // The system loader trusts the file: a damaged one is refused here, before it gets it.
    std::unique_ptr<Image> image = LooksLikeMachO(path)            ? OpenMachOModule(path, why)
                                   : !CheckModuleFile(path, why) ? nullptr
                                                                 : OpenWithSystemLoader(path, why);
    if (!image)
        return nullptr;
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(std::move(image)));
}

DynamicLibrary::~DynamicLibrary() {
    std::string ignored;
    Close(&ignored);
}

void* DynamicLibrary::Symbol(const char* name) const { return image_ ? image_->Symbol(name) : nullptr; }

std::vector<ModuleRegion> DynamicLibrary::Regions() const {
    return image_ ? image_->Regions() : std::vector<ModuleRegion>();
}

bool DynamicLibrary::Close(std::string* why) {
    if (!image_)
        return true;
    const bool unloaded = image_->Unload(why);
    image_.reset();
    return unloaded;
}

} // namespace hostsim
