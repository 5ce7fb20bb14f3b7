// The module file as the operating system and the host see it before anything runs: which symbols
// it exports, which libraries it needs, and how its registration record starts. Checked on the
// built file itself with the stand-in host's binary reader, for the module under test (Linux
// natively, Windows under Wine) and for the macOS module, which nothing here can run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostsim/binary_inspect.h"
#include "plugin_folder.h"
#include "corvel_facts.h"
#include "sanitizers.h"

namespace {

using corvel_test::kVersionStamp;

using hostsim::BinaryFormat;
using hostsim::BinaryImage;
using hostsim::BinaryKind;

const std::vector<std::string> kHostExports = {"c4d_main", "g_CpuYieldDelegate", "g_maxon"};
// The processor the suite runs on, as the reader names it: the module under test is built for it
// (of a universal macOS file, the slice the host's loader runs).
#if defined(__aarch64__)
constexpr const char* kMachineArchitecture = "arm64";
#else
constexpr const char* kMachineArchitecture = "x86-64";
#endif
// A text only the quality combo box (10010) uses; the macOS build leaves that box empty.
constexpr const char* kQualityOnlyText = "Low - no filter";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int64_t ReadInt64(const std::vector<uint8_t>& bytes, size_t offset) {
    uint64_t value = 0;
    for (size_t i = 0; i < 8; ++i)
        value |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
    return static_cast<int64_t>(value);
}

const BinaryImage& LoadOnce(std::optional<BinaryImage>& slot, const std::string& path) {
    if (!slot) {
        std::string error;
        slot = BinaryImage::Load(path, &error);
        if (!slot)
            throw std::runtime_error(error);
    }
    return *slot;
}

const BinaryImage& ModuleUnderTest() {
    static std::optional<BinaryImage> image;
    const BinaryImage& file = LoadOnce(image, corvel_test::BuiltModule());
    if (!file.IsUniversal())
        return file;
    const BinaryImage* slice = file.Slice(kMachineArchitecture);
    if (!slice)
        throw std::runtime_error(corvel_test::BuiltModule() + " has no " + kMachineArchitecture + " slice");
    return *slice;
}

// ------------------------------------------------------------------------------------------------
// The module this suite loads (corvel.xso64 natively, corvel.xdl64 under Wine). When the suite
// runs against the macOS module (CORVEL_TEST_MODULE), it is the slice of this machine's processor,
// and the checks of this platform's file format give way to the MacModule tests below.
// ------------------------------------------------------------------------------------------------

#define SKIP_FOR_THE_MACOS_MODULE()                                                                  \
    do {                                                                                             \
        if (corvel_test::ModuleIsForMacOS())                                                         \
            GTEST_SKIP() << "a check of this platform's file format; the MacModule tests cover macOS"; \
    } while (0)

TEST(ModuleFile, IsA64BitLibraryOfThisPlatform) {
    SKIP_FOR_THE_MACOS_MODULE();
    const auto& info = ModuleUnderTest().Info();
    EXPECT_EQ(info.kind, BinaryKind::SharedLibrary);
    EXPECT_EQ(info.architecture, kMachineArchitecture);
#if defined(_WIN32)
    EXPECT_EQ(info.format, BinaryFormat::Pe);
    EXPECT_EQ(info.internalName, "corvel.xdl64") << "the DLL's own name comes from cmake/corvel.def";
#else
    EXPECT_EQ(info.format, BinaryFormat::Elf);
#endif
}

TEST(ModuleFile, ExportsExactlyTheThreeHostSymbols) {
    EXPECT_EQ(ModuleUnderTest().Info().ExportNames(), kHostExports);
}

TEST(ModuleFile, NeedsOnlyThePlatformRuntime) {
    SKIP_FOR_THE_MACOS_MODULE();
    std::set<std::string> imports;
    for (const auto& name : ModuleUnderTest().Info().imports)
        imports.insert(Lower(name));
#if defined(_WIN32)
    // libstdc++, libgcc and winpthread are linked in statically; a DLL of theirs here would have
    // to be shipped beside the module.
    EXPECT_EQ(imports, (std::set<std::string>{"kernel32.dll", "msvcrt.dll"}));
#elif defined(CORVEL_TEST_UNDER_ASAN)
    // The sanitizer build takes the C++ runtime from the process (with the sanitizers' own
    // runtimes), so only the static-runtime rule is relaxed here: nothing outside those.
    const std::set<std::string> allowed = {"libc.so.6", "ld-linux-x86-64.so.2", "libm.so.6", "libstdc++.so.6",
                                           "libgcc_s.so.1", "libasan.so.8", "libubsan.so.1"};
    for (const auto& name : imports)
        EXPECT_TRUE(allowed.count(name)) << "unexpected library " << name;
#else
    // libc alone: the dynamic loader would come in with the exception runtime's thread-local data.
    EXPECT_EQ(imports, (std::set<std::string>{"libc.so.6"}));
#endif
}

// The functions the module takes from the platform. The list is short because the module links no
// exception runtime: an unwinder, a demangler or an exception pool would show up here (and in the
// size below) before anyone noticed them otherwise. A change to this list is a change of what the
// module needs from every user's system; check it is intended before updating the list.
TEST(ModuleFile, ImportsOnlyTheseRuntimeFunctions) {
    SKIP_FOR_THE_MACOS_MODULE();
    std::vector<std::string> names;
    for (const auto& symbol : ModuleUnderTest().Info().importedSymbols)
        names.push_back(symbol.library.empty() ? symbol.name : Lower(symbol.library) + ": " + symbol.name);
#if defined(_WIN32)
    // The C runtime's start-up code of a DLL (thread-local callbacks, pseudo-relocations and
    // their error report) and the module's own free and strlen.
    const std::vector<std::string> expected = {
        "kernel32.dll: DeleteCriticalSection", "kernel32.dll: EnterCriticalSection", "kernel32.dll: GetLastError",
        "kernel32.dll: InitializeCriticalSection", "kernel32.dll: LeaveCriticalSection", "kernel32.dll: Sleep",
        "kernel32.dll: TlsGetValue", "kernel32.dll: VirtualProtect", "kernel32.dll: VirtualQuery",
        "msvcrt.dll: __iob_func", "msvcrt.dll: _amsg_exit", "msvcrt.dll: _initterm", "msvcrt.dll: _lock",
        "msvcrt.dll: _unlock", "msvcrt.dll: abort", "msvcrt.dll: calloc", "msvcrt.dll: free", "msvcrt.dll: fwrite",
        "msvcrt.dll: realloc", "msvcrt.dll: strlen", "msvcrt.dll: strncmp", "msvcrt.dll: vfprintf"};
    EXPECT_EQ(names, expected);
#elif defined(CORVEL_TEST_UNDER_ASAN)
    GTEST_SKIP() << "the sanitizer build takes its runtime from the process";
#else
    // Static destructors (__cxa_atexit, __cxa_finalize), operator delete (free), strlen, and the
    // weak hooks every shared library's start-up files refer to.
    const std::vector<std::string> expected = {"_ITM_deregisterTMCloneTable", "_ITM_registerTMCloneTable",
                                               "__cxa_atexit", "__cxa_finalize", "__gmon_start__", "free", "strlen"};
    EXPECT_EQ(names, expected);
#endif
}

// The module as it goes into the package: shipped/<module file> beside the built module (target
// corvel_shipped; on Linux stripped of symbols and debugging sections, elsewhere the built file).
std::string ShippedModule() {
    const std::filesystem::path built = std::filesystem::u8path(corvel_test::BuiltModule());
    return (built.parent_path() / "shipped" / built.filename()).u8string();
}

// Each module stays within 64 KiB as it ships: the whole file that goes into the package. It is
// the built module with nothing but the symbol table and debugging sections taken out: the same
// format, exports and imports.
TEST(ModuleFile, ShipsInAtMost64KiB) {
    SKIP_FOR_THE_MACOS_MODULE();
#if defined(CORVEL_TEST_UNDER_ASAN)
    GTEST_SKIP() << "the sanitizer build carries the sanitizers' instrumentation";
#endif
#if defined(__aarch64__)
    GTEST_SKIP() << "the Linux arm64 module is built for the tests only and never shipped; its segments sit on "
                    "64 KiB pages";
#endif
    std::string error;
    const auto shipped = BinaryImage::Load(ShippedModule(), &error);
    ASSERT_TRUE(shipped) << error << " (built by the target corvel_shipped)";
    std::error_code ec;
    EXPECT_LE(std::filesystem::file_size(std::filesystem::u8path(ShippedModule()), ec), 64u * 1024u);
    EXPECT_EQ(shipped->Bytes().size(), std::filesystem::file_size(std::filesystem::u8path(ShippedModule()), ec));
    const BinaryImage& built = ModuleUnderTest();
    EXPECT_EQ(shipped->Info().format, built.Info().format);
    EXPECT_EQ(shipped->Info().ExportNames(), kHostExports);
    EXPECT_EQ(shipped->Info().imports, built.Info().imports);
    uint64_t loadedShipped = 0, loadedBuilt = 0;
    for (const auto& section : shipped->Sections())
        loadedShipped += section.fileSize;
    for (const auto& section : built.Sections())
        loadedBuilt += section.fileSize;
    EXPECT_EQ(loadedShipped, loadedBuilt) << "only what is not loaded is taken out";
}

TEST(ModuleFile, RegistrationRecordCarriesItsVersionStampsAsInitialisedData) {
    SKIP_FOR_THE_MACOS_MODULE();
    // Outside macOS the host may read the stamps before any of the module's code has run.
    const auto bytes = ModuleUnderTest().ExportedBytes("g_maxon", 16);
    ASSERT_TRUE(bytes.has_value()) << "g_maxon is not inside any section of the file";
    EXPECT_FALSE(bytes->zeroFill) << "g_maxon lies in " << bytes->section;
    EXPECT_EQ(ReadInt64(bytes->bytes, 0), kVersionStamp);
    EXPECT_EQ(ReadInt64(bytes->bytes, 8), kVersionStamp);
}

TEST(ModuleFile, FillsTheQualityComboBoxOutsideMacOS) {
    SKIP_FOR_THE_MACOS_MODULE();
    EXPECT_TRUE(ModuleUnderTest().ContainsText(kQualityOnlyText));
}

// ------------------------------------------------------------------------------------------------
// The reader itself: damaged input must be refused with a reason, never read out of bounds (the
// sanitizer build turns any stray read into a failure).
// ------------------------------------------------------------------------------------------------

// Every cut through the headers and a spread of cuts through sections and tables: each is
// refused with a reason, or (only when every structure the reader uses survived) still parses to
// the same exports.
void ExpectTruncationsRefused(const BinaryImage& image) {
    const std::vector<uint8_t>& whole = image.Bytes();
    std::vector<size_t> lengths;
    for (size_t n = 0; n < std::min<size_t>(whole.size(), 1024); ++n)
        lengths.push_back(n);
    for (size_t i = 1; i < 64; ++i)
        lengths.push_back(whole.size() * i / 64);
    lengths.push_back(whole.size() - 1);
    for (size_t length : lengths) {
        std::string error;
        const auto cut = BinaryImage::Parse(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)), &error);
        if (cut)
            EXPECT_EQ(cut->Info().ExportNames(), kHostExports) << "cut at " << length;
        else
            EXPECT_FALSE(error.empty()) << "cut at " << length;
    }
}

// Random byte changes in the first 4 KiB (headers, load commands, tables): never a crash or a
// stray read, and at least some of them noticed.
void ExpectCorruptionSurvived(const BinaryImage& image, int rounds) {
    const std::vector<uint8_t>& whole = image.Bytes();
    const size_t span = std::min<size_t>(whole.size(), 4096);
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
    int refused = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<uint8_t> bytes = whole;
        for (int flips = 1 + static_cast<int>(next() % 4); flips > 0; --flips) {
            // Large values reach offsets and counts; small ones off-by-one sizes.
            const uint8_t values[] = {0x00, 0xff, 0x7f, 0x80, 0x01};
            bytes[(next() >> 8) % span] = (next() & 1) ? values[(next() >> 4) % 5] : static_cast<uint8_t>(next() >> 16);
        }
        std::string error;
        if (!BinaryImage::Parse(std::move(bytes), &error)) {
            EXPECT_FALSE(error.empty());
            ++refused;
        }
    }
    EXPECT_GT(refused, 0) << "no corruption was noticed at all: the reader checks nothing";
}

TEST(BinaryReader, RefusesTruncatedModulesWithAReason) {
    ExpectTruncationsRefused(ModuleUnderTest());
}

TEST(BinaryReader, SurvivesCorruptedHeaders) {
    ExpectCorruptionSurvived(ModuleUnderTest(), 1500);
}

TEST(BinaryReader, NamesWhatItDoesNotRead) {
    std::string error;
    EXPECT_FALSE(BinaryImage::Parse({'h', 'e', 'l', 'l', 'o'}, &error));
    EXPECT_EQ(error, "not an ELF, PE or Mach-O file");
    EXPECT_FALSE(BinaryImage::Parse({0xca, 0xfe, 0xba, 0xbe, 0, 0, 0, 2}, &error));
    EXPECT_NE(error.find("universal"), std::string::npos) << error;
    EXPECT_FALSE(BinaryImage::Load("no/such/module.xso64", &error));
    EXPECT_NE(error.find("no/such/module.xso64"), std::string::npos) << error;
}

// A universal file's slice table, big-endian as lipo writes it: {CPU type, offset, size, alignment}.
struct FatEntry {
    uint32_t cpu;
    uint32_t offset, size, align;
};
std::vector<uint8_t> UniversalFile(const std::vector<FatEntry>& entries, size_t fileSize, uint32_t count = UINT32_MAX) {
    std::vector<uint8_t> bytes(fileSize, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    put(0, 0xcafebabe);
    put(4, count == UINT32_MAX ? static_cast<uint32_t>(entries.size()) : count);
    for (size_t i = 0; i < entries.size(); ++i) {
        put(8 + 20 * i, entries[i].cpu);
        put(12 + 20 * i, 3);
        put(16 + 20 * i, entries[i].offset);
        put(20 + 20 * i, entries[i].size);
        put(24 + 20 * i, entries[i].align);
    }
    return bytes;
}

TEST(BinaryReader, RefusesDamagedUniversalSliceTables) {
    constexpr uint32_t x86 = 0x01000007, arm = 0x0100000c;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"no slices", UniversalFile({}, 64), "0 slices"},
        {"a Java class file (same magic)", UniversalFile({}, 64, 52), "52 slices"},
        {"a table longer than the file", UniversalFile({{x86, 4096, 16, 12}}, 64, 9), "slice table"},
        {"a slice past the end", UniversalFile({{x86, 4096, 8192, 12}}, 8192), "outside the file"},
        {"an empty slice", UniversalFile({{x86, 4096, 0, 12}}, 8192), "is empty"},
        {"a slice over the table", UniversalFile({{x86, 0, 64, 0}}, 8192), "overlaps the universal header"},
        {"a slice off its alignment", UniversalFile({{arm, 4096, 64, 14}}, 8192), "alignment"},
        {"two slices in one place", UniversalFile({{x86, 4096, 4096, 12}, {arm, 6144, 64, 10}}, 16384), "overlaps the x86-64"},
        {"one processor twice", UniversalFile({{x86, 4096, 64, 12}, {x86, 8192, 64, 12}}, 16384), "x86-64 twice"},
        {"a slice that is no Mach-O image", UniversalFile({{arm, 4096, 64, 12}}, 8192), "slice arm64 is not a 64-bit Mach-O"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(BinaryImage::Parse(c.bytes, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

TEST(BinaryReader, RefusesASliceThatHoldsAnotherArchitectureThanItsEntryNames) {
    const char* path = std::getenv("CORVEL_MACOS_MODULE");
    if (!path || !*path)
        GTEST_SKIP() << "no macOS module named (CORVEL_MACOS_MODULE)";
    std::string error;
    auto file = BinaryImage::Load(path, &error);
    ASSERT_TRUE(file) << error;
    std::vector<uint8_t> bytes = file->Bytes();
    ASSERT_EQ(bytes[4 + 3], 2) << "two slices";
    std::swap_ranges(bytes.begin() + 8, bytes.begin() + 12, bytes.begin() + 28); // swap the CPU types
    EXPECT_FALSE(BinaryImage::Parse(bytes, &error));
    EXPECT_NE(error.find("holds an image for"), std::string::npos) << error;
}

TEST(BinaryReader, Sha256MatchesTheStandardVectors) {
    auto hex = [](const std::string& text) {
        const auto digest = hostsim::Sha256(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        std::string out;
        for (uint8_t byte : digest) {
            static const char* const digits = "0123456789abcdef";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        }
        return out;
    };
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block, so padding spills into a second one.
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

// ------------------------------------------------------------------------------------------------
// The macOS module (build/macos/corvel.xlib, universal: x86-64 and arm64). scripts/test.sh names it
// in CORVEL_MACOS_MODULE; without it these tests are skipped with that reason, and a named file
// that is missing or unreadable fails them.
// ------------------------------------------------------------------------------------------------

// The file itself: one slice per processor a Mac has, each where lipo puts it (x86-64 on a 4 KiB,
// arm64 on a 16 KiB boundary: the pages of its segments).
const BinaryImage* MacOSModuleFile(std::string* skip) {
    const char* path = std::getenv("CORVEL_MACOS_MODULE");
    if (!path || !*path) {
        *skip = "no macOS module named: set CORVEL_MACOS_MODULE to build/macos/corvel.xlib "
                "(scripts/test.sh does, after building the macos preset)";
        return nullptr;
    }
    static std::optional<BinaryImage> image;
    return &LoadOnce(image, path);
}

TEST(MacUniversalFile, HoldsAnX86_64AndAnArm64SliceOnTheirPageBoundaries) {
    std::string skip;
    const BinaryImage* file = MacOSModuleFile(&skip);
    if (!file)
        GTEST_SKIP() << skip;
    ASSERT_TRUE(file->IsUniversal()) << "a Mac on Apple silicon loads only a module with an arm64 slice";
    EXPECT_EQ(file->Info().format, BinaryFormat::MachO);
    EXPECT_EQ(file->Info().kind, BinaryKind::SharedLibrary);
    std::vector<std::string> architectures;
    for (const auto& slice : file->Slices())
        architectures.push_back(slice.Info().architecture);
    EXPECT_EQ(architectures, (std::vector<std::string>{"x86-64", "arm64"}));
    ASSERT_NE(file->Slice("x86-64"), nullptr);
    ASSERT_NE(file->Slice("arm64"), nullptr);
    EXPECT_EQ(file->Slice("x86-64")->Info().sliceOffset % 4096, 0u);
    EXPECT_EQ(file->Slice("arm64")->Info().sliceOffset % 16384, 0u);
}

// What corvel-inspect prints of the file: every slice with its platform and minimum OS, signature,
// imports and exports.
TEST(MacUniversalFile, DescriptionShowsEachSliceInFull) {
    std::string skip;
    const BinaryImage* file = MacOSModuleFile(&skip);
    if (!file)
        GTEST_SKIP() << skip;
    const std::string text = hostsim::DescribeBinary(*file);
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("Mach-O universal, 2 slices"), 1u) << text;
    EXPECT_EQ(count("slice x86-64:"), 1u) << text;
    EXPECT_EQ(count("slice arm64:"), 1u) << text;
    EXPECT_EQ(count("platform:      macos 11.0"), 2u) << text;
    EXPECT_EQ(count("signature:     ad-hoc, page hashes match, identifier corvel.xlib"), 2u) << text;
    EXPECT_EQ(count("/usr/lib/libSystem.B.dylib: strlen"), 2u) << text;
    EXPECT_EQ(count("  c4d_main  0x"), 2u) << text;
    EXPECT_EQ(count("  g_maxon  0x"), 2u) << text;
}

// Each slice as macOS's own loader and code signing see it: what the stand-in host's Mach-O loader
// does not check (signature, install name, platform, exports). Both slices pass the same checks.
class MacModule : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        std::string skip;
        const BinaryImage* file = nullptr;
        try {
            file = MacOSModuleFile(&skip);
        } catch (const std::exception& failure) {
            FAIL() << failure.what();
        }
        if (!file)
            GTEST_SKIP() << skip;
        ASSERT_TRUE(file->IsUniversal());
        mac_ = file->Slice(GetParam());
        ASSERT_NE(mac_, nullptr) << "no " << GetParam() << " slice";
    }
    const BinaryImage* mac_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Slice, MacModule, ::testing::Values("x86-64", "arm64"),
                         [](const ::testing::TestParamInfo<std::string>& slice) {
                             return slice.param == "x86-64" ? std::string("x86_64") : slice.param;
                         });

TEST_P(MacModule, IsADylibForMacOS11OfItsArchitecture) {
    const auto& info = mac_->Info();
    EXPECT_EQ(info.format, BinaryFormat::MachO);
    EXPECT_EQ(info.kind, BinaryKind::SharedLibrary) << "a bundle could not be loaded as a library";
    EXPECT_EQ(info.architecture, GetParam()) << "arm64e would need signed pointers throughout";
    EXPECT_EQ(info.platform, "macos");
    EXPECT_EQ(info.minimumOs, "11.0");
    EXPECT_EQ(info.internalName, "@rpath/corvel.xlib");
}

TEST_P(MacModule, ExportsExactlyTheThreeHostSymbols) {
    EXPECT_EQ(mac_->Info().ExportNames(), kHostExports);
}

TEST_P(MacModule, LinksOnlyLibSystem) {
    EXPECT_EQ(mac_->Info().imports, std::vector<std::string>{"/usr/lib/libSystem.B.dylib"})
        << "libc++ must be linked in statically";
}

// None of them variadic: the stand-in host's shims of variadic functions are tested on their own
// (MacShims), the module's code reaches none.
TEST_P(MacModule, ImportsOnlyTheseRuntimeFunctions) {
    std::vector<std::string> names;
    for (const auto& symbol : mac_->Info().importedSymbols)
        names.push_back(symbol.library + ": " + symbol.name);
    const std::string system = "/usr/lib/libSystem.B.dylib: ";
    EXPECT_EQ(names, (std::vector<std::string>{system + "__cxa_atexit", system + "dyld_stub_binder", system + "free",
                                               system + "strlen"}));
}

TEST_P(MacModule, ShipsInAtMost64KiB) { EXPECT_LE(mac_->Bytes().size(), 64u * 1024u); }

TEST_P(MacModule, IsAdHocSignedOverItsWholeContent) {
    // An arm64 slice without a valid signature is not loaded by macOS at all.
    const auto& signature = mac_->Info().signature;
    ASSERT_TRUE(signature.present) << "no code signature";
    EXPECT_TRUE(signature.adhoc);
    EXPECT_TRUE(signature.hashesMatch) << "the file changed after it was signed (stripped?)";
    EXPECT_EQ(signature.identifier, "corvel.xlib") << "the slice was linked under another name";
}

TEST_P(MacModule, SignatureCheckNoticesAChangedPage) {
    // Without this the check above could pass on any file that merely carries a signature blob.
    std::vector<uint8_t> bytes = mac_->Bytes();
    const auto* code = mac_->Info().FindExport("c4d_main");
    ASSERT_NE(code, nullptr);
    bytes[static_cast<size_t>(code->address)] ^= 0x01; // dylib addresses are file offsets in __TEXT
    std::string error;
    const auto changed = BinaryImage::Parse(std::move(bytes), &error);
    ASSERT_TRUE(changed.has_value()) << error;
    EXPECT_TRUE(changed->Info().signature.present);
    EXPECT_FALSE(changed->Info().signature.hashesMatch);
}

TEST_P(MacModule, ReaderRefusesTruncatedOrCorruptedCopiesSafely) {
    ExpectTruncationsRefused(*mac_);
    ExpectCorruptionSurvived(*mac_, 300); // fewer rounds: each intact parse hashes every page
}

TEST_P(MacModule, RegistrationRecordStartsZeroedAndAStaticInitialiserStoresTheStamps) {
    const auto bytes = mac_->ExportedBytes("g_maxon", 56);
    ASSERT_TRUE(bytes.has_value()) << "g_maxon is not inside any section of the file";
    EXPECT_TRUE(std::all_of(bytes->bytes.begin(), bytes->bytes.end(), [](uint8_t b) { return b == 0; }))
        << "g_maxon's initial bytes in " << bytes->section << " are not zero";
    EXPECT_TRUE(mac_->Info().hasStaticInitialisers) << "nothing would store the version stamps";
}

TEST_P(MacModule, LeavesTheQualityComboBoxEmpty) {
    // The module under test is built from the same sources for another platform: it must carry the
    // text (so that its absence here means something), and both must carry the other boxes' texts.
    if (corvel_test::ModuleIsForMacOS())
        GTEST_SKIP() << "the suite runs against the macOS module itself: nothing to compare it with";
    ASSERT_TRUE(ModuleUnderTest().ContainsText(kQualityOnlyText));
    EXPECT_FALSE(mac_->ContainsText(kQualityOnlyText));
    for (const char* text : {"Current frame", "Picture Viewer", "Geometry", "1:16"})
        EXPECT_TRUE(mac_->ContainsText(text)) << text;
}

} // namespace
