// module_copy.h - a private plug-in folder for one test: a copy of the built module file and,
// optionally, of its resource folder, in a fresh temporary directory.
//
// Each copy has its own path, so the operating system loads it afresh: the module's static state
// (load counter, resource, settings) never leaks from one test into the next.
#ifndef CORVEL_TESTS_MODULE_COPY_H
#define CORVEL_TESTS_MODULE_COPY_H

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#ifndef CORVEL_MODULE_PATH
#error "CORVEL_MODULE_PATH must name the built module file"
#endif

namespace corvel_test {

namespace fs = std::filesystem;

struct ModuleCopyOptions {
    bool withResources = true; // copy res/ beside the module
    bool withIcon = true;      // keep res/corvel.tif
    bool withDialog = true;    // keep the dialog description
};

class ModuleCopy {
public:
    explicit ModuleCopy(const ModuleCopyOptions& options = {}) {
        static std::atomic<int> serial{0};
        const fs::path built = fs::u8path(CORVEL_MODULE_PATH);
        folder_ = fs::temp_directory_path() /
                  ("corvel-test-" + std::to_string(Pid()) + "-" + std::to_string(serial++));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        module_ = folder_ / built.filename();
        fs::copy_file(built, module_, fs::copy_options::overwrite_existing);
        if (options.withResources) {
            fs::copy(built.parent_path() / "res", folder_ / "res", fs::copy_options::recursive);
            if (!options.withIcon)
                fs::remove(folder_ / "res" / "corvel.tif");
            if (!options.withDialog)
                fs::remove_all(folder_ / "res" / "dialogs");
        }
    }
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;
    ~ModuleCopy() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    std::string Module() const { return module_.u8string(); }
    std::string Folder() const { return folder_.u8string(); }
    std::string File(const std::string& name) const { return (folder_ / name).u8string(); }

private:
    static long Pid();

    fs::path folder_;
    fs::path module_;
};

} // namespace corvel_test

#if defined(_WIN32)
#include <process.h>
inline long corvel_test::ModuleCopy::Pid() { return static_cast<long>(_getpid()); }
#else
#include <unistd.h>
inline long corvel_test::ModuleCopy::Pid() { return static_cast<long>(getpid()); }
#endif

#endif // CORVEL_TESTS_MODULE_COPY_H
