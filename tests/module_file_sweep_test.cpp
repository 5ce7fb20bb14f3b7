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

void Put(std::vector<uint8_t>* b, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i)
        b->at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> ModuleBytes() {
    std::ifstream in(CORVEL_MODULE_PATH, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One damage of each kind the system loader would follow blindly, with the reason the check gives.
TEST(ModuleFileCheck, EachTableTheLoaderFollowsIsCheckedWithAReason) {
    const std::vector<uint8_t> original = ModuleBytes();
    std::string why;
    const auto image = hostsim::BinaryImage::Parse(original, &why);
    ASSERT_TRUE(image) << why;
    if (image->Info().format != hostsim::BinaryFormat::Elf)
        GTEST_SKIP() << "ELF modules only";
    const size_t phoff = Le(original, 32, 8), phnum = Le(original, 56, 2);
    size_t firstLoad = 0, dynamicAt = 0;
    for (size_t i = phnum; i-- > 0;) {
        const uint32_t type = static_cast<uint32_t>(Le(original, phoff + 56 * i, 4));
        if (type == 1)
            firstLoad = phoff + 56 * i;
        if (type == 2)
            dynamicAt = Le(original, phoff + 56 * i + 8, 8);
    }
    ASSERT_NE(dynamicAt, 0u);
    auto entry = [&](int64_t tag) -> size_t { // file offset of a dynamic entry's value
        for (size_t at = dynamicAt; Le(original, at, 8) != 0; at += 16)
            if (static_cast<int64_t>(Le(original, at, 8)) == tag)
                return at + 8;
        ADD_FAILURE() << "no dynamic tag " << tag;
        return 0;
    };
    auto fileOf = [&](uint64_t address) { // the module's first segments map at their file offsets
        return static_cast<size_t>(address);
    };
    struct Damage {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    std::vector<Damage> damages;
    auto damaged = [&](const char* what, size_t at, uint64_t value, size_t width, const char* reason) {
        std::vector<uint8_t> b = original;
        Put(&b, at, value, width);
        damages.push_back({what, std::move(b), reason});
    };
    damaged("segment file size", firstLoad + 32, uint64_t{1} << 40, 8, "segment 0 lies outside the file");
    damaged("string table address", entry(5), 0x7fff0000, 8, "the string table (address 0x7fff0000");
    damaged("string table size", entry(10), 1 << 30, 8, "the string table");
    const size_t gnuHash = fileOf(Le(original, entry(0x6ffffef5), 8));
    damaged("GNU hash buckets", gnuHash, 0, 4, "the GNU hash table has 0 buckets");
    const size_t rela = fileOf(Le(original, entry(7), 8));
    damaged("relocation place", rela, 0x10, 8, "the relocation table entry 0 writes into a read-only segment");
    const size_t pltRela = fileOf(Le(original, entry(23), 8));
    damaged("relocation symbol", pltRela + 8, (uint64_t{100000} << 32) | 7, 8, "names symbol 100000");
    damaged("counted relative", rela + 8, (uint64_t{1} << 32) | 1, 8, "entry 0 is counted as relative but is of another kind");
    damaged("relocation addend", rela + 16, uint64_t{1} << 40, 8, "makes a pointer outside the module");
    damaged("init function", entry(12), Le(original, entry(12), 8) + 1, 8, "does not match the section");
    damaged("needed library name", entry(1), 1 << 20, 8, "DT_NEEDED: string offset");
    damaged("unknown entry", entry(20) - 8, 0x7000ffff, 8, "an entry of unknown kind 0x7000ffff");
    std::vector<uint8_t> wrongMachine = original;
    // A module of the other processor this host is built for.
#if defined(__aarch64__)
    Put(&wrongMachine, 18, 62, 2);
    damages.push_back({"machine", wrongMachine, "it is built for x86-64"});
#else
    Put(&wrongMachine, 18, 183, 2);
    damages.push_back({"machine", wrongMachine, "it is built for arm64"});
#endif

    for (const Damage& d : damages) {
        std::string reason;
        EXPECT_FALSE(hostsim::CheckModuleForSystemLoader(d.bytes, &reason)) << d.what;
        EXPECT_NE(reason.find(d.reason), std::string::npos) << d.what << ": " << reason;
    }
}

TEST(ModuleFileSweep, DamagedModuleFilesAreRefusedOrRunButNeverCrashTheHost) {
    const std::vector<uint8_t> original = ModuleBytes();
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
