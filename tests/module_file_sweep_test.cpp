// Damaged copies of the real module, swept through the stand-in host from outside: a damaged file
// is refused (exit 2, with the reason) or, where the damage does not matter, runs as the module
// does. It never ends the host with a signal or an exit code of its own (the system loader's 127).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "hostsim/binary_inspect.h"
#include "plugin_folder.h"

namespace corvel_test {
namespace {

#ifndef _WIN32

struct Area {
    std::string name;
    uint64_t offset = 0;
    uint64_t size = 0;
};

uint64_t Le(const std::vector<uint8_t>& b, size_t at, size_t width) {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v |= uint64_t{b[at + i]} << (8 * i);
    return v;
}

// What the system loader reads before any code of the module runs: the ELF header, the program
// headers, the dynamic section and the tables it leads to for loading and for finding the exports.
std::vector<Area> LoaderAreas(const hostsim::BinaryImage& image) {
    const std::vector<uint8_t>& b = image.Bytes();
    std::vector<Area> areas = {{"ELF header", 0, 64}, {"program headers", Le(b, 32, 8), Le(b, 56, 2) * Le(b, 54, 2)}};
    for (const auto& s : image.Sections())
        if (s.name == ".dynamic" || s.name == ".gnu.hash" || s.name == ".hash" || s.name == ".dynstr" ||
            s.name == ".gnu.version" || s.name == ".gnu.version_r")
            areas.push_back({s.name, s.fileOffset, s.fileSize});
    return areas;
}

TEST(ModuleFileSweep, DamagedModuleFilesAreRefusedOrRunButNeverCrashTheHost) {
    std::ifstream in(CORVEL_MODULE_PATH, std::ios::binary);
    const std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string why;
    const auto image = hostsim::BinaryImage::Parse(original, &why);
    ASSERT_TRUE(image) << why;
    if (image->Info().format != hostsim::BinaryFormat::Elf)
        GTEST_SKIP() << "the sweep damages ELF modules";
    ASSERT_TRUE(hostsim::CheckModuleForSystemLoader(original, &why)) << why;
    const std::vector<Area> areas = LoaderAreas(*image);
    ASSERT_GE(areas.size(), 6u);

    PluginFolder folder;
    const std::string damaged = folder.Path("damaged.xso64");
    std::mt19937_64 rng(20261207);
    const uint64_t interesting[] = {0, 1, 0x7f, 0x80, 0xff, 0xffff, 0x7fffffff, 0xffffffff, 0x1000, ~uint64_t{0}};
    int refused = 0, ran = 0;
    constexpr int kCases = 160;
    for (int n = 0; n < kCases; ++n) {
        std::vector<uint8_t> bytes = original;
        std::string what;
        if (n % 16 == 15) { // cut short somewhere
            bytes.resize(std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng));
            what = "cut to " + std::to_string(bytes.size()) + " bytes";
        } else {
            const Area& area = areas[std::uniform_int_distribution<size_t>(0, areas.size() - 1)(rng)];
            const size_t width = size_t{1} << std::uniform_int_distribution<int>(0, 3)(rng);
            if (area.size < width)
                continue;
            const size_t at = area.offset + std::uniform_int_distribution<uint64_t>(0, area.size - width)(rng) / width * width;
            uint64_t value = rng();
            switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
            case 0: value = interesting[std::uniform_int_distribution<size_t>(0, 9)(rng)]; break;
            case 1: value = Le(bytes, at, width) + static_cast<uint64_t>(std::uniform_int_distribution<int>(-64, 64)(rng)); break;
            default: break;
            }
            std::memcpy(&bytes[at], &value, width); // x86-64: little-endian, as the file
            what = std::to_string(width) + " byte(s) of " + area.name + " at " + std::to_string(at);
        }
        std::ofstream(damaged, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const ProcessResult r = RunProcess(HostCli(), {"run", damaged});
        ASSERT_TRUE(r.started);
        EXPECT_FALSE(r.crashed) << what << ": " << r.how << "\n" << r.err;
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 2) << what << ": " << r.how << "\n" << r.err;
        if (r.exitCode == 2) {
            ++refused;
            EXPECT_NE(r.err.find("module"), std::string::npos) << what << ": the refusal says why\n" << r.err;
        } else if (r.exitCode == 0) {
            ++ran;
        }
    }
    EXPECT_GT(refused, kCases / 4) << "the sweep must damage what matters";
    std::cout << "damaged module files: " << refused << " refused, " << ran << " ran\n";
}

#endif

} // namespace
} // namespace corvel_test
