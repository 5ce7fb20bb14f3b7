// dynamic_library.h - loading a module file into the host process.
//
// Open chooses the loader by the file's format: a Mach-O file (the macOS module) goes to the
// host's own Mach-O loader (macos/macho_loader.cpp, Linux x86-64 only; elsewhere it is refused
// with a reason), everything else to the operating system's loader (dynamic_library_posix.cpp:
// dlopen; dynamic_library_windows.cpp: LoadLibraryW with an absolute path).
#ifndef CORVEL_HOSTSIM_DYNAMIC_LIBRARY_H
#define CORVEL_HOSTSIM_DYNAMIC_LIBRARY_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hostsim {

// One address range a loaded module occupies, with what its mapping allows after loading.
struct ModuleRegion {
    uintptr_t begin = 0;
    uintptr_t end = 0; // one past the last byte
    bool writable = false;
};

class DynamicLibrary {
public:
    // Loads `path` (made absolute by the caller). Null with `why` set on failure.
    static std::unique_ptr<DynamicLibrary> Open(const std::string& path, std::string* why);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Address of an exported symbol (its C name, without Mach-O's leading underscore), or null.
    void* Symbol(const char* name) const;
    // The address ranges of the loaded module (its segments or sections as mapped), in no
    // particular order. The host follows a pointer out of the module's data only into these.
    std::vector<ModuleRegion> Regions() const;
    // Unloads it. Answers false when the module stayed mapped (another handle, or a loader that
    // refuses to unload it); `why` tells which.
    bool Close(std::string* why);

    // What one loader keeps of a loaded module.
    class Image {
    public:
        virtual ~Image() = default;
        virtual void* Symbol(const char* name) const = 0;
        virtual std::vector<ModuleRegion> Regions() const = 0;
        virtual bool Unload(std::string* why) = 0;
    };

private:
    explicit DynamicLibrary(std::unique_ptr<Image> image) : image_(std::move(image)) {}
    std::unique_ptr<Image> image_;
};

} // namespace hostsim

#endif // CORVEL_HOSTSIM_DYNAMIC_LIBRARY_H
