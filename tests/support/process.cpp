#include "child_process.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace corvel_test {
namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& arg) {
#ifdef _WIN32
    return "\"" + arg + "\"";
#else
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path base = fs::temp_directory_path() / ("corvel-proc-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    const fs::path out = base.string() + ".out", err = base.string() + ".err";
    std::string command = Quote(fs::u8path(program).make_preferred().u8string());
    for (const auto& a : args)
        command += " " + Quote(a);
    command += " >" + Quote(out.u8string()) + " 2>" + Quote(err.u8string());
#ifdef _WIN32
    command = "\"" + command + "\""; // cmd /c strips one pair of quotes around the whole line
#endif
    ProcessResult result;
    const int status = std::system(command.c_str());
#ifdef _WIN32
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.out = Slurp(out);
    result.err = Slurp(err);
    std::error_code ec;
    fs::remove(out, ec);
    fs::remove(err, ec);
    return result;
}

} // namespace corvel_test
