// What the subcommands of corvel-host share: exit codes, one way to report command line errors,
// the checks of numbers and file paths that come from the command line.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"

namespace corvel_cli {
namespace {

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

void CollectOptionNames(const CLI::App& app, std::vector<std::string>* names) {
    for (const CLI::Option* o : app.get_options()) {
        for (const std::string& n : o->get_lnames())
            names->push_back("--" + n);
        for (const std::string& n : o->get_snames())
            names->push_back("-" + n);
    }
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        CollectOptionNames(*sub, names);
}

bool IsKnownOption(const CLI::App& app, const std::string& name) {
    std::vector<std::string> names;
    CollectOptionNames(app, &names);
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The command line to ask for help after a usage error: the subcommand the error is in (the one
// that was parsed, or the only one there is), else the command itself.
std::string HelpCommand(CLI::App& app) {
    std::string name = app.get_name();
    std::vector<CLI::App*> chosen = app.get_subcommands();
    if (chosen.empty())
        chosen = app.get_subcommands([](CLI::App*) { return true; });
    if (chosen.size() == 1 && !chosen.front()->get_name().empty())
        name += " " + chosen.front()->get_name();
    return name + " --help";
}

} // namespace

const char* const kExitCodeHelp =
    "exit codes: 0 success, 1 bad usage, 2 module or file not loaded or refused, 3 host objects\n"
    "left behind or misused, 4 a requested action failed";

#ifdef CORVEL_VERSION
const char* const kVersion = CORVEL_VERSION;
#else
const char* const kVersion = "unknown";
#endif

std::string NearestOption(const CLI::App& app, const std::string& given) {
    std::vector<std::string> names;
    CollectOptionNames(app, &names);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& n) { return n.size() < 3 || n.rfind("--", 0) != 0; }),
                names.end());
    return Nearest(names, given);
}

std::string Nearest(const std::vector<std::string>& names, const std::string& given) {
    std::string best;
    size_t bestDistance = std::string::npos;
    for (const std::string& n : names) {
        const size_t d = EditDistance(given, n);
        if (d < bestDistance) {
            bestDistance = d;
            best = n;
        }
    }
    // Near enough: a slip of a key or two, more for long names; or the start of one.
    const size_t allowed = std::max<size_t>(2, given.size() / 4);
    if (!best.empty() && (bestDistance <= allowed || (given.size() >= 4 && best.rfind(given, 0) == 0)))
        return best;
    return std::string();
}

int ParseSubcommand(CLI::App& app, int argc, char** argv) {
    // Paths such as /tmp/prefs are arguments on every platform, never Windows-style options.
    app.allow_windows_style_options(false);
    if (!app.get_option_no_throw("--version"))
        app.set_version_flag("--version", std::string(app.get_name()) + " " + kVersion);
    // Every option with a value shows its default in --help.
    for (CLI::Option* o : app.get_options())
        if (o->get_type_size() != 0 && o->get_expected_min() > 0) {
            o->capture_default_str();
            if (o->get_default_str() == "[]")   // an empty list: no default worth showing
                o->default_str("");
        }
    try {
        // The subcommand's name stands where CLI11 expects the program name.
        app.parse(argc - 1, argv + 1);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        std::cout << e.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << e.what() << "\n";
        for (int i = 2; i < argc; ++i) {
            std::string given = argv[i];
            if (given == "--")
                break;
            if (given.rfind("--", 0) != 0 || given.size() < 3)
                continue;
            given = given.substr(0, given.find('='));
            if (IsKnownOption(app, given))
                continue;
            const std::string nearest = NearestOption(app, given);
            std::cerr << app.get_name() << ": unknown option " << given
                      << (nearest.empty() ? std::string() : "; did you mean " + nearest + "?") << "\n";
        }
        std::cerr << "run '" << HelpCommand(app) << "' for its options\n";
        return kExitUsage;
    }
    return -1;
}

std::string CheckSeconds(const std::string& text, double min, double max, bool zeroAllowed) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    if (text.empty() || end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        return "expected a number of seconds, got '" + text + "'";
    if (v == 0 && zeroAllowed)
        return std::string();
    if (v < min || v > max || (v == 0 && !zeroAllowed))
        return "expected " + std::string(zeroAllowed ? "0 or " : "") + "a number of seconds from " +
               CLI::detail::to_string(min) + " to " + CLI::detail::to_string(max) + ", got '" + text + "'";
    return std::string();
}

std::string CheckUnsigned(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return "expected a whole number of 0 or more, got '" + text + "'";
    errno = 0;
    std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return "'" + text + "' is too large (at most 18446744073709551615)";
    return std::string();
}


std::string WhyNotWritableFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p = fs::u8path(path);
    if (path.empty())
        return "an empty path names no file";
    if (fs::is_directory(p, ec))
        return "is a directory";
    const bool existed = fs::exists(p, ec);
    {
        std::ofstream probe(p, std::ios::binary | std::ios::app);
        if (!probe)
            return std::strerror(errno);
    }
    if (!existed)
        fs::remove(p, ec);
    return std::string();
}

} // namespace corvel_cli
