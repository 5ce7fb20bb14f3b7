#include "hostsim/child_process.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace hostsim {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Two fresh file names for the child's standard output and error.
std::pair<fs::path, fs::path> CaptureFiles() {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path base = fs::temp_directory_path() /
                          ("corvel-proc-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    return {base.string() + ".out", base.string() + ".err"};
}

#ifdef _WIN32
constexpr int kStartAttempts = 3;

std::string Quote(const std::string& arg) { return "\"" + arg + "\""; }

// Windows reports an unhandled exception as the process's exit code: an NTSTATUS of severity
// error (0xC...).
void Describe(int status, ProcessResult* r) {
    const auto code = static_cast<unsigned long>(static_cast<unsigned int>(status));
    if (code >= 0xC0000000ul) {
        r->crashed = true;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", code);
        r->how = std::string("exception ") + hex;
        if (code == 0xC0000005ul)
            r->how += " (access violation)";
        else if (code == 0xC00000FDul)
            r->how += " (stack overflow)";
        else if (code == 0xC0000409ul)
            r->how += " (stack buffer overrun or fast fail)";
        return;
    }
    r->exitCode = status;
    r->how = "exit code " + std::to_string(status);
}
#else
void Describe(int status, ProcessResult* r) {
    if (WIFEXITED(status)) {
        r->exitCode = WEXITSTATUS(status);
        r->how = "exit code " + std::to_string(r->exitCode);
        return;
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        r->crashed = true;
        const char* name = sig == SIGSEGV ? "SIGSEGV" : sig == SIGABRT ? "SIGABRT" : sig == SIGBUS ? "SIGBUS"
                         : sig == SIGFPE  ? "SIGFPE"  : sig == SIGILL  ? "SIGILL"  : sig == SIGKILL ? "SIGKILL"
                                                                                                   : nullptr;
        r->how = "signal " + std::to_string(sig) + (name ? std::string(" (") + name + ")" : std::string());
        return;
    }
    r->how = "wait status " + std::to_string(status);
}
#endif

} // namespace

std::vector<std::string> ProcessResult::OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args) {
    const auto files = CaptureFiles();
    ProcessResult result;
#ifdef _WIN32
    // cmd /c runs the line; it strips one pair of quotes around the whole of it.
    std::string command = Quote(fs::u8path(program).make_preferred().u8string());
    for (const auto& a : args)
        command += " " + Quote(a);
    command += " >" + Quote(files.first.u8string()) + " 2>" + Quote(files.second.u8string());
    command = "\"" + command + "\"";
    // system() answers -1 when the command processor itself could not be started (seen under Wine
    // on a loaded machine). That is no verdict on the module: try again after a pause, and if it
    // still fails, say the process could not be started; never report it as a crash.
    int status = -1;
    for (int attempt = 0; attempt < kStartAttempts && status == -1; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::fflush(nullptr);
        status = std::system(command.c_str());
    }
    if (status == -1) {
        result.how = "cannot start the command processor for " + program + ": " + std::strerror(errno);
    } else {
        result.started = true;
        Describe(status, &result);
    }
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, files.first.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, files.second.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // A host built for another processor and run here under qemu-user (no binfmt_misc) starts
    // its own programs through the same emulator: CORVEL_EMULATOR names it.
    std::vector<std::string> argStore;
    const char* emulator = std::getenv("CORVEL_EMULATOR");
    const std::string launched = emulator && *emulator ? std::string(emulator) : program;
    if (launched != program)
        argStore.push_back(launched);
    argStore.push_back(program);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    std::fflush(nullptr);
    const int spawned = posix_spawn(&pid, launched.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.how = "cannot start " + launched + ": " + std::strerror(spawned);
    } else {
        result.started = true;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        Describe(status, &result);
        // A program that could not be executed at all exits 127 from the spawned child.
    }
#endif
    result.out = Slurp(files.first);
    result.err = Slurp(files.second);
    std::error_code ec;
    fs::remove(files.first, ec);
    fs::remove(files.second, ec);
    return result;
}

void EndAtOnceOnCrash() {
#ifdef _WIN32
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
#endif
}

std::string CurrentExecutable() {
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return fs::path(buffer).u8string();
#else
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.u8string();
#endif
}

} // namespace hostsim
