// dynamic_library.h - loading a module file with the operating system's loader.
// One implementation per platform: dynamic_library_posix.cpp (dlopen), dynamic_library_windows.cpp
// (LoadLibraryW with an absolute path).
#ifndef CORVEL_HOSTSIM_DYNAMIC_LIBRARY_H
#define CORVEL_HOSTSIM_DYNAMIC_LIBRARY_H

#include <memory>
#include <string>

namespace hostsim {

class DynamicLibrary {
public:
    // Loads `path` (made absolute by the caller). Null with `why` set on failure.
    static std::unique_ptr<DynamicLibrary> Open(const std::string& path, std::string* why);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    // Unloads it. Answers false when the operating system kept the file mapped (another handle,
    // or a loader that refuses to unload it); `why` tells which.
    bool Close(std::string* why);

private:
    DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_ = nullptr;
    std::string path_;
};

} // namespace hostsim

#endif // CORVEL_HOSTSIM_DYNAMIC_LIBRARY_H
