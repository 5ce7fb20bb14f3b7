// corvel-host prefs FILE: prints a preferences file of the stand-in host, container by container.
#include <iostream>
#include <map>
#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "hostsim/prefs_file.h"

namespace corvel_cli {
namespace {

void PrintContainer(int32_t pluginId, const hostsim::Container& bc) {
    std::cout << "plug-in " << pluginId << ": " << bc.entries.size() << " key(s)\n";
    for (const auto& e : bc.entries) {
        std::cout << "  " << e.first << " = ";
        switch (e.second.type) {
        case hostsim::Container::Type::Int32: std::cout << "Int32 " << e.second.i; break;
        case hostsim::Container::Type::Bool: std::cout << "Bool " << (e.second.b ? "true" : "false"); break;
        case hostsim::Container::Type::Float: std::cout << "Float " << e.second.f; break;
        }
        std::cout << '\n';
    }
}

} // namespace

int PrefsCommandMain(int argc, char** argv) {
    CLI::App app{"Prints a preferences file of the stand-in host: each plug-in's container, key by key.", "corvel-host prefs"};
    std::string file;
    app.add_option("FILE", file, "the preferences file")->required();
    app.footer(kExitCodeHelp);
    const int parsed = ParseSubcommand(app, argc, argv);
    if (parsed >= 0)
        return parsed;

    const std::string notAFile = WhyNotReadableFile(file);
    if (!notAFile.empty()) {
        std::cerr << "corvel-host: error: " << file << ": " << notAFile << "\n";
        return kExitRefused;
    }
    std::map<int32_t, hostsim::Container> prefs;
    std::string why;
    if (!hostsim::ReadPrefsFile(file, &prefs, &why)) {
        std::cerr << "corvel-host: " << why << "\n";
        return kExitRefused;
    }
    for (const auto& p : prefs)
        PrintContainer(p.first, p.second);
    return kExitOk;
}

} // namespace corvel_cli
