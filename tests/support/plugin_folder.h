// plugin_folder.h - a private plug-in folder for one test: a copy of the built module and, unless
// told otherwise, of its resource folder, in a fresh temporary directory that is removed again.
//
// Each copy has its own path, so the operating system loads it afresh: the module's static state
// (load counter, resource, settings record) never carries over from one test into the next, even
// when all tests run in one process.
#ifndef CORVEL_TESTS_SUPPORT_PLUGIN_FOLDER_H
#define CORVEL_TESTS_SUPPORT_PLUGIN_FOLDER_H

#include <string>

namespace corvel_test {

// The module file under test: the one this build produced, or the file named in the environment
// variable CORVEL_TEST_MODULE (so the same suite runs against another build of the module, e.g.
// the macOS module through the stand-in host's Mach-O loader).
std::string BuiltModule();
// True when the module under test is a macOS (Mach-O) module: the few behaviours and file
// properties that differ between the builds are chosen by the module actually loaded.
bool ModuleIsForMacOS();
std::string HostCli(); // the corvel-host executable

struct PluginFolderOptions {
    bool withResources = true; // copy res/ beside the module
};

class PluginFolder {
public:
    explicit PluginFolder(PluginFolderOptions options = {});
    ~PluginFolder();
    PluginFolder(const PluginFolder&) = delete;
    PluginFolder& operator=(const PluginFolder&) = delete;

    const std::string& Folder() const { return folder_; }
    const std::string& Module() const { return module_; }
    // The path of `relative` (forward slashes) inside the folder.
    std::string Path(const std::string& relative) const;
    // Removes a file or folder of the copy (e.g. "res/corvel.tif").
    void Remove(const std::string& relative) const;
    // Replaces (or creates) a file of the copy with `text`.
    void Write(const std::string& relative, const std::string& text) const;

private:
    std::string folder_;
    std::string module_;
};

} // namespace corvel_test

#endif // CORVEL_TESTS_SUPPORT_PLUGIN_FOLDER_H
