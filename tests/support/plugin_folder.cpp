#include "plugin_folder.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "hostsim/binary_inspect.h"

namespace corvel_test {
namespace {
namespace fs = std::filesystem;
}

std::string BuiltModule() {
    const char* chosen = std::getenv("CORVEL_TEST_MODULE");
    return chosen && *chosen ? std::string(chosen) : std::string(CORVEL_MODULE_PATH);
}

bool ModuleIsForMacOS() {
    static const bool macOS = [] {
        std::string error;
        const auto image = hostsim::BinaryImage::Load(BuiltModule(), &error);
        if (!image)
            throw std::runtime_error(error);
        return image->Info().format == hostsim::BinaryFormat::MachO;
    }();
    return macOS;
}

std::string HostCli() { return CORVEL_HOST_CLI; }

PluginFolder::PluginFolder(PluginFolderOptions options) {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path built = fs::u8path(BuiltModule());
    fs::path folder = fs::temp_directory_path() /
                      ("corvel-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    fs::create_directories(folder);
    fs::copy_file(built, folder / built.filename());
    if (options.withResources)
        fs::copy(built.parent_path() / "res", folder / "res", fs::copy_options::recursive);
    folder_ = folder.u8string();
    module_ = (folder / built.filename()).u8string();
}

PluginFolder::~PluginFolder() {
    std::error_code ec;
    fs::remove_all(fs::u8path(folder_), ec);
}

std::string PluginFolder::Path(const std::string& relative) const {
    return (fs::u8path(folder_) / fs::u8path(relative)).make_preferred().u8string();
}

void PluginFolder::Remove(const std::string& relative) const {
    if (fs::remove_all(fs::u8path(Path(relative))) == 0)
        throw std::runtime_error("nothing to remove at " + Path(relative));
}

void PluginFolder::Write(const std::string& relative, const std::string& text) const {
    const fs::path path = fs::u8path(Path(relative));
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.u8string());
}

} // namespace corvel_test
