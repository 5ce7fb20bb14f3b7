// The stand-in host's loader of macOS modules and the libSystem functions it serves them: the
// real macOS module loads, links and unloads; copies damaged in one way each are refused with a
// reason that names the fault; and the shims behave as macOS's libSystem does on macOS's own
// object layouts. The quality combo box is checked in the running macOS module.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "hostsim/dynamic_library.h"
#include "hostsim/host.h"
#include "hostsim/macho_file.h"

#if defined(__linux__) && (defined(__x86_64__) || defined(__aarch64__))
#define CORVEL_RUNS_MACOS_CODE 1
#include "macos/libsystem_shims.h"
#include "corvel_facts.h"
#endif

namespace {

using corvel_test::kVersionStamp;

namespace fs = std::filesystem;
using hostsim::DynamicLibrary;


// The macOS module named by scripts/test.sh, or a skip.
#define REQUIRE_MAC_MODULE(path)                                                                   \
    const char* path##_env = std::getenv("CORVEL_MACOS_MODULE");                                   \
    if (!path##_env || !*path##_env)                                                               \
        GTEST_SKIP() << "no macOS module named: set CORVEL_MACOS_MODULE to build/macos/corvel.xlib"; \
    const std::string path = path##_env

#if defined(CORVEL_RUNS_MACOS_CODE)

// The processor this host runs on and another one, as Mach-O names them.
#if defined(__aarch64__)
constexpr uint32_t kMachineCpu = hostsim::kMachOCpuArm64, kOtherCpu = hostsim::kMachOCpuX86_64;
constexpr const char* kMachineName = "arm64";
#else
constexpr uint32_t kMachineCpu = hostsim::kMachOCpuX86_64, kOtherCpu = hostsim::kMachOCpuArm64;
constexpr const char* kMachineName = "x86-64";
#endif

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The slice of the universal module that this machine runs, as a thin file of its own.
std::vector<uint8_t> MachineSlice(const std::string& path) {
    std::string error;
    auto slice = hostsim::SelectMachOSlice(ReadBytes(path), kMachineCpu, &error);
    EXPECT_TRUE(slice.has_value()) << error;
    return slice ? *slice : std::vector<uint8_t>{};
}

// qemu-user's /proc/self/maps merges neighbouring mappings of different protection, so it cannot
// tell the segments apart there (CORVEL_EMULATOR is set when the suite runs under it).
bool UnderEmulator() {
    const char* emulator = std::getenv("CORVEL_EMULATOR");
    return emulator && *emulator;
}

// A file of its own for one changed copy of the module, removed again.
class TempModule {
public:
    explicit TempModule(const std::vector<uint8_t>& bytes) {
        static std::atomic<unsigned> serial{0};
        path_ = (fs::temp_directory_path() / ("corvel-macho-" + std::to_string(::getpid()) + "-" +
                                              std::to_string(serial++) + ".xlib")).string();
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempModule() {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// File offset of the first load command `cmd`.
size_t LoadCommand(const std::vector<uint8_t>& b, uint32_t cmd) {
    size_t at = 32;
    for (uint32_t i = 0; i < Get32(b, 16); ++i) {
        if (Get32(b, at) == cmd)
            return at;
        at += Get32(b, at + 4);
    }
    ADD_FAILURE() << "no load command " << cmd;
    return 0;
}

// Replaces the first `from` inside [begin, end) of the file with `to` (same length).
void ReplaceText(std::vector<uint8_t>& b, uint64_t begin, uint64_t end, const std::string& from, const std::string& to) {
    auto first = b.begin() + static_cast<std::ptrdiff_t>(begin), last = b.begin() + static_cast<std::ptrdiff_t>(end);
    auto found = std::search(first, last, from.begin(), from.end());
    ASSERT_NE(found, last) << from;
    std::copy(to.begin(), to.end(), found);
}

hostsim::MachOLayout Layout(const std::vector<uint8_t>& bytes) {
    std::string error;
    auto layout = hostsim::ParseMachO(bytes, &error);
    EXPECT_TRUE(layout.has_value()) << error;
    return layout ? *layout : hostsim::MachOLayout{};
}

// ------------------------------------------------------------------------------------------------
// Loading the real macOS module
// ------------------------------------------------------------------------------------------------

TEST(MachOLoader, LinksTheModuleRunsItsInitialisersAndFindsItsExports) {
    REQUIRE_MAC_MODULE(path);
    std::string why;
    auto library = DynamicLibrary::Open(path, &why);
    ASSERT_TRUE(library) << why;
    for (const char* name : {"c4d_main", "g_maxon", "g_CpuYieldDelegate"})
        EXPECT_NE(library->Symbol(name), nullptr) << name;
    EXPECT_EQ(library->Symbol("malloc"), nullptr) << "an import is not an export";
    EXPECT_EQ(library->Symbol("_c4d_main"), nullptr) << "names are C names, without Mach-O's underscore";
    // The record starts zeroed in the file: only a static initialiser, run by the loader through
    // rebased pointers, can have stored the stamps.
    const auto* stamps = static_cast<const int64_t*>(library->Symbol("g_maxon"));
    ASSERT_NE(stamps, nullptr);
    EXPECT_EQ(stamps[0], kVersionStamp);
    EXPECT_EQ(stamps[1], kVersionStamp);
    EXPECT_TRUE(library->Close(&why)) << why;
}

// The permissions of the mapping that holds `address`, as /proc/self/maps shows them ("r-xp").
std::string PermissionsAt(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto at = reinterpret_cast<uintptr_t>(address);
    unsigned long low = 0, high = 0;
    char dash = 0;
    std::string permissions, rest;
    while (maps >> std::hex >> low >> dash >> high >> permissions && std::getline(maps, rest))
        if (at >= low && at < high)
            return permissions;
    return "unmapped";
}

TEST(MachOLoader, RunsTheSliceOfThisMachine) {
    REQUIRE_MAC_MODULE(path);
    const std::vector<uint8_t> bytes = MachineSlice(path);
    const hostsim::MachOLayout layout = Layout(bytes);
    std::vector<hostsim::MachOExport> exports;
    std::string why;
    ASSERT_TRUE(hostsim::DecodeMachOExports(bytes, layout, &exports, &why)) << why;
    auto main = std::find_if(exports.begin(), exports.end(), [](const auto& e) { return e.name == "_c4d_main"; });
    ASSERT_NE(main, exports.end());
    auto library = DynamicLibrary::Open(path, &why);
    ASSERT_TRUE(library) << why;
    const auto* header = static_cast<const uint8_t*>(library->Symbol("c4d_main")) - main->offset;
    uint32_t cpu;
    std::memcpy(&cpu, header + 4, 4);
    EXPECT_EQ(cpu, kMachineCpu) << "the mapped header is the " << kMachineName << " slice's";
    EXPECT_EQ(std::memcmp(header, bytes.data(), 4096), 0);
}

TEST(MachOLoader, RefusesAUniversalFileWithoutASliceForThisMachine) {
    REQUIRE_MAC_MODULE(path);
    std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_EQ(bytes[3], 0xbe) << "a universal file";
    for (size_t entry = 8; entry < 8 + 20 * size_t{bytes[7]}; entry += 20)
        if (((uint32_t{bytes[entry]} << 24) | (uint32_t{bytes[entry + 1]} << 16) | (uint32_t{bytes[entry + 2]} << 8) |
             bytes[entry + 3]) == kMachineCpu)
            bytes[entry + 3] = 0x12; // CPU type 0x1000012 (PowerPC 64)
    TempModule copy(bytes);
    std::string why;
    EXPECT_FALSE(DynamicLibrary::Open(copy.Path(), &why));
    EXPECT_NE(why.find(std::string("no ") + kMachineName + " slice"), std::string::npos) << why;
    EXPECT_NE(why.find("0x1000012"), std::string::npos) << "the refusal names what the file holds: " << why;
}

TEST(MachOLoader, MapsEachSegmentWithItsProtectionAndUnmapsAtClose) {
    REQUIRE_MAC_MODULE(path);
    if (UnderEmulator())
        GTEST_SKIP() << "qemu-user's /proc/self/maps does not show each segment's protection";
    const std::vector<uint8_t> bytes = MachineSlice(path);
    const hostsim::MachOLayout layout = Layout(bytes);
    std::vector<hostsim::MachOExport> exports;
    std::string why;
    ASSERT_TRUE(hostsim::DecodeMachOExports(bytes, layout, &exports, &why)) << why;
    auto main = std::find_if(exports.begin(), exports.end(), [](const auto& e) { return e.name == "_c4d_main"; });
    ASSERT_NE(main, exports.end());

    auto library = DynamicLibrary::Open(path, &why);
    ASSERT_TRUE(library) << why;
    const auto* header = static_cast<const uint8_t*>(library->Symbol("c4d_main")) - main->offset;
    EXPECT_EQ(std::memcmp(header, "\xcf\xfa\xed\xfe", 4), 0) << "the header is mapped with __TEXT";
    std::map<std::string, std::string> expected = {
        {"__TEXT", "r-xp"}, {"__DATA_CONST", "r--p"}, {"__DATA", "rw-p"}, {"__LINKEDIT", "r--p"}};
    const uint64_t textAddress = layout.TextSegment()->address;
    for (const auto& segment : layout.segments)
        EXPECT_EQ(PermissionsAt(header + (segment.address - textAddress)), expected[segment.name]) << segment.name;
    EXPECT_TRUE(library->Close(&why)) << why;
    EXPECT_EQ(PermissionsAt(header), "unmapped");
}

TEST(MachOLoader, TwoLoadedCopiesKeepSeparateStateAndUnloadInAnyOrder) {
    REQUIRE_MAC_MODULE(path);
    const std::vector<uint8_t> bytes = ReadBytes(path);
    TempModule first(bytes), second(bytes);
    std::string why;
    auto a = DynamicLibrary::Open(first.Path(), &why);
    ASSERT_TRUE(a) << why;
    auto b = DynamicLibrary::Open(second.Path(), &why);
    ASSERT_TRUE(b) << why;
    EXPECT_NE(a->Symbol("g_maxon"), b->Symbol("g_maxon"));
    EXPECT_TRUE(a->Close(&why)) << why;
    EXPECT_EQ(static_cast<const int64_t*>(b->Symbol("g_maxon"))[0], kVersionStamp);
    EXPECT_TRUE(b->Close(&why)) << why;
}

// ------------------------------------------------------------------------------------------------
// Refusals: each changed copy names its fault, and nothing of it runs
// ------------------------------------------------------------------------------------------------

struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&, const hostsim::MachOLayout&)> apply;
    const char* reason; // a text the refusal must contain
};

TEST(MachOLoader, RefusesWhatItCannotServeAndNamesTheReason) {
    REQUIRE_MAC_MODULE(path);
    const std::vector<uint8_t> original = MachineSlice(path);
    const hostsim::MachOLayout layout = Layout(original);
    ASSERT_FALSE(layout.segments.empty());
    const std::vector<Damage> damages = {
        {"an import the shims do not have",
         [](auto& b, const auto& l) { ReplaceText(b, l.lazyBinds.offset, l.lazyBinds.offset + l.lazyBinds.size, "_strlen", "_strlex"); },
         "_strlex"},
        {"a library other than libSystem",
         [](auto& b, const auto&) { ReplaceText(b, 32, 32 + Get32(b, 20), "libSystem.B", "libSystem.X"); },
         "libSystem.X.dylib"},
        {"chained fixups",
         [](auto& b, const auto&) { Put32(b, LoadCommand(b, 0x29 /* LC_DATA_IN_CODE */), 0x80000034); },
         "chained fixups"},
        {"an unknown command the loader must understand",
         [](auto& b, const auto&) { Put32(b, LoadCommand(b, 0x29), 0x80000077); },
         "0x80000077"},
        {"thread-local variables", [](auto& b, const auto&) { Put32(b, 24, Get32(b, 24) | 0x800000); }, "thread-local"},
        {"a newer macOS", [](auto& b, const auto&) { Put32(b, LoadCommand(b, 0x32) + 12, 14u << 16); }, "macOS 14.0"},
        {"another processor", [](auto& b, const auto&) { Put32(b, 4, kOtherCpu); }, kMachineName},
        {"arm64e (signed pointers)",
         [](auto& b, const auto&) {
             Put32(b, 4, hostsim::kMachOCpuArm64);
             Put32(b, 8, hostsim::kMachOSubtypeArm64e);
         },
#if defined(__aarch64__)
         "arm64e"},
#else
         kMachineName},
#endif
        {"a bundle", [](auto& b, const auto&) { Put32(b, 12, 8); }, "not a dynamic library"},
        {"a lazy symbol pointer left unbound",
         [](auto& b, const auto& l) {
             // The first lazy bind names its symbol, then binds: turn that bind into a separator.
             size_t at = l.lazyBinds.offset;
             while (b[at] != 0x40)
                 ++at;
             while (b[++at] != 0) {
             }
             ASSERT_EQ(b[at + 1], 0x90) << "BIND_OPCODE_DO_BIND after the first symbol";
             b[at + 1] = 0x00;
         },
         "has no lazy bind"},
        {"an unknown rebase opcode", [](auto& b, const auto& l) { b[l.rebases.offset] = 0xf0; }, "unknown opcode"},
        {"an initialiser outside the code",
         [](auto& b, const auto& l) {
             const auto sections = l.SectionsOfType(hostsim::kSectionModInitPointers);
             ASSERT_FALSE(sections.empty());
             Put64(b, sections[0]->fileOffset, sections[0]->address); // points at the list itself
         },
         "points outside the module's code"},
    };
    for (const Damage& damage : damages) {
        std::vector<uint8_t> bytes = original;
        damage.apply(bytes, layout);
        TempModule copy(bytes);
        std::string why;
        auto library = DynamicLibrary::Open(copy.Path(), &why);
        EXPECT_FALSE(library) << damage.what << " was loaded";
        EXPECT_NE(why.find(damage.reason), std::string::npos) << damage.what << ": " << why;
    }
}

TEST(MachOLoader, TruncatedCopiesAreRefused) {
    REQUIRE_MAC_MODULE(path);
    const std::vector<uint8_t> original = MachineSlice(path);
    for (size_t length : {size_t{0}, size_t{4}, size_t{31}, size_t{200}, size_t{4096}, original.size() / 2, original.size() - 1}) {
        TempModule copy(std::vector<uint8_t>(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(length)));
        std::string why;
        EXPECT_FALSE(DynamicLibrary::Open(copy.Path(), &why)) << length;
        EXPECT_FALSE(why.empty()) << length;
    }
}

// ------------------------------------------------------------------------------------------------
// The running macOS module
// ------------------------------------------------------------------------------------------------

TEST(MacModuleRun, LeavesTheQualityBoxEmptyAndFillsTheOthers) {
    REQUIRE_MAC_MODULE(path);
    hostsim::Host host;
    ASSERT_TRUE(host.Load(path)) << host.LastError();
    ASSERT_EQ(host.Startup().start, 1);
    ASSERT_TRUE(host.ExecuteCommand(1027069));
    hostsim::DialogWindow* w = host.ActiveWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->gadgets.count(10010), 1u);
    EXPECT_TRUE(w->gadgets.at(10010).children.empty());
    for (int32_t box : {10008, 10009, 10002, 10003, 10004})
        EXPECT_FALSE(w->gadgets.at(box).children.empty()) << box;
    EXPECT_TRUE(host.Shutdown().empty()) << "host objects left behind";
}

// ------------------------------------------------------------------------------------------------
// The libSystem shims, on macOS's object layouts and with macOS's error numbers
// ------------------------------------------------------------------------------------------------

struct MacMutex { long sig; unsigned char opaque[56]; };
struct MacMutexAttr { long sig; unsigned char opaque[8]; };
struct MacCond { long sig; unsigned char opaque[40]; };
struct MacOnce { long sig; unsigned char opaque[8]; };
constexpr MacMutex kMutexInitializer = {0x32AAABA7, {0}};
constexpr MacMutex kRecursiveMutexInitializer = {0x32AAABA2, {0}};
constexpr MacMutex kErrorCheckMutexInitializer = {0x32AAABA1, {0}};
constexpr MacCond kCondInitializer = {0x3CB0B1BB, {0}};
constexpr MacOnce kOnceInit = {0x30B1BCBA, {0}};
constexpr int kMacEBUSY = 16, kMacEPERM = 1, kMacEDEADLK = 11, kMacETIMEDOUT = 60, kMacEINVAL = 22;

template <typename Fn>
Fn* Shim(const char* name) {
    void* address = hostsim::macos::FindShim(name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Fn*>(address);
}

struct Pthread {
    int (*lock)(MacMutex*) = Shim<int(MacMutex*)>("_pthread_mutex_lock");
    int (*trylock)(MacMutex*) = Shim<int(MacMutex*)>("_pthread_mutex_trylock");
    int (*unlock)(MacMutex*) = Shim<int(MacMutex*)>("_pthread_mutex_unlock");
    int (*init)(MacMutex*, const MacMutexAttr*) = Shim<int(MacMutex*, const MacMutexAttr*)>("_pthread_mutex_init");
    int (*destroy)(MacMutex*) = Shim<int(MacMutex*)>("_pthread_mutex_destroy");
    int (*attrInit)(MacMutexAttr*) = Shim<int(MacMutexAttr*)>("_pthread_mutexattr_init");
    int (*attrSetType)(MacMutexAttr*, int) = Shim<int(MacMutexAttr*, int)>("_pthread_mutexattr_settype");
    int (*wait)(MacCond*, MacMutex*) = Shim<int(MacCond*, MacMutex*)>("_pthread_cond_wait");
    int (*timedwait)(MacCond*, MacMutex*, const timespec*) = Shim<int(MacCond*, MacMutex*, const timespec*)>("_pthread_cond_timedwait");
    int (*signal)(MacCond*) = Shim<int(MacCond*)>("_pthread_cond_signal");
    int (*once)(MacOnce*, void (*)()) = Shim<int(MacOnce*, void (*)())>("_pthread_once");
    int (*keyCreate)(unsigned long*, void (*)(void*)) = Shim<int(unsigned long*, void (*)(void*))>("_pthread_key_create");
    int (*keyDelete)(unsigned long) = Shim<int(unsigned long)>("_pthread_key_delete");
    void* (*get)(unsigned long) = Shim<void*(unsigned long)>("_pthread_getspecific");
    int (*set)(unsigned long, const void*) = Shim<int(unsigned long, const void*)>("_pthread_setspecific");
};

TEST(MacShims, StaticallyInitialisedMutexesBehaveByTheirSignature) {
    Pthread p;
    MacMutex plain = kMutexInitializer;
    EXPECT_EQ(p.lock(&plain), 0) << "a macOS static mutex must not look held";
    int fromOtherThread = -1;
    std::thread([&] { fromOtherThread = p.trylock(&plain); }).join();
    EXPECT_EQ(fromOtherThread, kMacEBUSY);
    std::thread([&] { fromOtherThread = p.unlock(&plain); }).join();
    EXPECT_EQ(fromOtherThread, kMacEPERM) << "only the holder may unlock";
    EXPECT_EQ(p.unlock(&plain), 0);
    EXPECT_EQ(p.trylock(&plain), 0);
    EXPECT_EQ(p.unlock(&plain), 0);

    MacMutex recursive = kRecursiveMutexInitializer;
    EXPECT_EQ(p.lock(&recursive), 0);
    EXPECT_EQ(p.lock(&recursive), 0);
    EXPECT_EQ(p.unlock(&recursive), 0);
    std::thread([&] { fromOtherThread = p.trylock(&recursive); }).join();
    EXPECT_EQ(fromOtherThread, kMacEBUSY) << "still held once";
    EXPECT_EQ(p.unlock(&recursive), 0);

    MacMutex checking = kErrorCheckMutexInitializer;
    EXPECT_EQ(p.lock(&checking), 0);
    EXPECT_EQ(p.lock(&checking), kMacEDEADLK);
    EXPECT_EQ(p.unlock(&checking), 0);

    MacMutex garbage = {0x1234, {0}};
    EXPECT_EQ(p.lock(&garbage), kMacEINVAL);
}

TEST(MacShims, InitialisedMutexTakesItsTypeFromTheAttributesAndExcludesOtherThreads) {
    Pthread p;
    MacMutexAttr attr;
    ASSERT_EQ(p.attrInit(&attr), 0);
    ASSERT_EQ(p.attrSetType(&attr, 2), 0);
    EXPECT_EQ(p.attrSetType(&attr, 7), kMacEINVAL);
    MacMutex m;
    std::memset(&m, 0xab, sizeof m); // whatever the memory held before
    ASSERT_EQ(p.init(&m, &attr), 0);
    EXPECT_EQ(p.lock(&m), 0);
    EXPECT_EQ(p.lock(&m), 0) << "recursive by its attributes";
    EXPECT_EQ(p.destroy(&m), kMacEBUSY) << "a held mutex cannot be destroyed";
    EXPECT_EQ(p.unlock(&m), 0);
    EXPECT_EQ(p.unlock(&m), 0);

    MacMutex counterLock = kMutexInitializer;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                p.lock(&counterLock);
                counter = counter + 1;
                p.unlock(&counterLock);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 80000);
    EXPECT_EQ(p.destroy(&m), 0);
    EXPECT_EQ(p.lock(&m), kMacEINVAL) << "a destroyed mutex is invalid";
}

TEST(MacShims, ConditionVariableWakesAWaiterAndTimesOutWithMacOSErrorNumber) {
    Pthread p;
    MacMutex m = kMutexInitializer;
    MacCond c = kCondInitializer;
    bool ready = false;
    std::thread producer([&] {
        p.lock(&m);
        ready = true;
        p.signal(&c);
        p.unlock(&m);
    });
    p.lock(&m);
    while (!ready)
        EXPECT_EQ(p.wait(&c, &m), 0);
    p.unlock(&m);
    producer.join();

    p.lock(&m);
    const timespec past = {std::time(nullptr) - 10, 0};
    EXPECT_EQ(p.timedwait(&c, &m, &past), kMacETIMEDOUT);
    EXPECT_EQ(p.trylock(&m), kMacEBUSY) << "the mutex is held again after the wait";
    EXPECT_EQ(p.unlock(&m), 0);
}

std::atomic<int> g_onceRuns{0};
void CountOnce() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the others arrive meanwhile
    ++g_onceRuns;
}

TEST(MacShims, OnceRunsItsRoutineOnceAndLetsLateCallersWaitForIt) {
    Pthread p;
    MacOnce control = kOnceInit; // glibc would read this signature as "already run"
    std::vector<std::thread> threads;
    std::atomic<int> sawDone{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            p.once(&control, CountOnce);
            sawDone += g_onceRuns.load();
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(g_onceRuns.load(), 1);
    EXPECT_EQ(sawDone.load(), 4) << "a caller returned before the routine had finished";
}

TEST(MacShims, ThreadSpecificValuesLiveInEightByteKeys) {
    Pthread p;
    unsigned long keys[2] = {~0ul, ~0ul};
    ASSERT_EQ(p.keyCreate(&keys[0], nullptr), 0);
    ASSERT_EQ(p.keyCreate(&keys[1], nullptr), 0);
    EXPECT_NE(keys[0], keys[1]);
    int here = 0, there = 0;
    EXPECT_EQ(p.set(keys[0], &here), 0);
    std::thread([&] {
        EXPECT_EQ(p.get(keys[0]), nullptr);
        p.set(keys[0], &there);
        EXPECT_EQ(p.get(keys[0]), &there);
    }).join();
    EXPECT_EQ(p.get(keys[0]), &here);
    EXPECT_EQ(p.get(keys[1]), nullptr);
    EXPECT_EQ(p.keyDelete(keys[0]), 0);
    EXPECT_EQ(p.keyDelete(keys[1]), 0);
    EXPECT_EQ(p.keyDelete(keys[1]), kMacEINVAL);
}

TEST(MacShims, CLocaleTableClassifiesAsciiAtMacOSOffsets) {
    const auto* locale = static_cast<const uint8_t*>(hostsim::macos::FindShim("__DefaultRuneLocale"));
    ASSERT_NE(locale, nullptr);
    EXPECT_EQ(std::memcmp(locale, "RuneMagA", 8), 0);
    auto classes = [&](int c) {
        uint32_t bits;
        std::memcpy(&bits, locale + 60 + 4 * c, 4);
        return bits;
    };
    constexpr uint32_t kAlpha = 0x100, kDigit = 0x400, kLower = 0x1000, kSpace = 0x4000, kUpper = 0x8000, kHex = 0x10000;
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ((classes(c) & kDigit) != 0, c >= '0' && c <= '9') << c;
        EXPECT_EQ((classes(c) & kHex) != 0, std::strchr("0123456789abcdefABCDEF", c) != nullptr && c != 0) << c;
        EXPECT_EQ((classes(c) & kAlpha) != 0, (c | 0x20) >= 'a' && (c | 0x20) <= 'z' && c < 128) << c;
        EXPECT_EQ((classes(c) & kSpace) != 0, c == ' ' || (c >= '\t' && c <= '\r')) << c;
    }
    EXPECT_TRUE(classes('q') & kLower);
    EXPECT_TRUE(classes('Q') & kUpper);
    EXPECT_EQ(classes('7') & 0xff, 7u) << "a digit's entry carries its value";
    EXPECT_EQ(classes('e') & 0xff, 14u);
}

// Formatted output as the module calls it. On arm64 Apple's code passes every variadic argument
// in an 8-byte stack slot (x3-x7 then hold whatever they held) and its va_list is a pointer to such
// slots; on x86-64 both systems pass them alike and the shims are glibc's.
TEST(MacShims, FormattedOutputReadsTheModulesArgumentLayout) {
    char text[64] = {};
    const char* format = "%d %s %.2f %ld|";
#if defined(__aarch64__)
    const double number = 3.25;
    uint64_t bits;
    std::memcpy(&bits, &number, 8);
    const uint64_t slots[] = {42, reinterpret_cast<uint64_t>("slot"), bits, static_cast<uint64_t>(-7L)};
    const uint64_t junk = 0x5a5a5a5a5a5a5a5a;

    auto* vsnprintf = Shim<int(char*, size_t, const char*, const uint64_t*)>("_vsnprintf");
    EXPECT_EQ(vsnprintf(text, sizeof text, format, slots), 16);
    EXPECT_STREQ(text, "42 slot 3.25 -7|");

    // Eight register arguments, then the slots: the stack as Apple's caller leaves it.
    using AppleSnprintf = int(char*, size_t, const char*, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t,
                              uint64_t, uint64_t, uint64_t);
    std::memset(text, 0, sizeof text);
    EXPECT_EQ(Shim<AppleSnprintf>("_snprintf")(text, sizeof text, format, junk, junk, junk, junk, junk, slots[0], slots[1],
                                               slots[2], slots[3]),
              16);
    EXPECT_STREQ(text, "42 slot 3.25 -7|");

    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    using AppleFprintf = int(FILE*, const char*, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t,
                             uint64_t, uint64_t, uint64_t);
    EXPECT_EQ(Shim<AppleFprintf>("_fprintf")(file, format, junk, junk, junk, junk, junk, junk, slots[0], slots[1],
                                             slots[2], slots[3]),
              16);
    EXPECT_EQ(Shim<int(FILE*, const char*, const uint64_t*)>("_vfprintf")(file, format, slots), 16);
    std::rewind(file);
    char back[64] = {};
    ASSERT_NE(std::fgets(back, sizeof back, file), nullptr);
    EXPECT_STREQ(back, "42 slot 3.25 -7|42 slot 3.25 -7|");
    std::fclose(file);

    // long double is 8 bytes on Apple's side, 16 on glibc's: refused rather than misread.
    EXPECT_DEATH(vsnprintf(text, sizeof text, "%5.1Lf", slots), "long double");
#else
    auto* snprintf = Shim<int(char*, size_t, const char*, ...)>("_snprintf");
    EXPECT_EQ(snprintf(text, sizeof text, format, 42, "slot", 3.25, -7L), 16);
    EXPECT_STREQ(text, "42 slot 3.25 -7|");
    EXPECT_EQ(hostsim::macos::FindShim("_vsnprintf"), reinterpret_cast<void*>(static_cast<int (*)(char*, size_t, const char*, va_list)>(&std::vsnprintf)));
#endif
}

TEST(MacShims, StderrVariableHoldsTheHostsStream) {
    auto* stderrp = static_cast<FILE**>(hostsim::macos::FindShim("___stderrp"));
    ASSERT_NE(stderrp, nullptr);
    EXPECT_EQ(*stderrp, stderr);
}

std::vector<int> g_finalised;
void RecordFinalised(void* tag) { g_finalised.push_back(static_cast<int>(reinterpret_cast<intptr_t>(tag))); }
void RegisterLate(void* image) {
    g_finalised.push_back(0);
    auto* atexit = reinterpret_cast<int (*)(void (*)(void*), void*, void*)>(hostsim::macos::FindShim("___cxa_atexit"));
    atexit(RecordFinalised, reinterpret_cast<void*>(9), image);
}

TEST(MacShims, StaticDestructorsRunInReverseWhenTheirImageGoesAndOnlyThen) {
    auto* atexit = Shim<int(void (*)(void*), void*, void*)>("___cxa_atexit");
    static char imageA[64], imageB[64];
    hostsim::macos::RegisterImage(imageA, imageA, sizeof imageA);
    hostsim::macos::RegisterImage(imageB, imageB, sizeof imageB);
    g_finalised.clear();
    atexit(RecordFinalised, reinterpret_cast<void*>(1), imageA);
    atexit(RecordFinalised, reinterpret_cast<void*>(5), imageB);
    atexit(RegisterLate, imageA, imageA);
    atexit(RecordFinalised, reinterpret_cast<void*>(2), imageA);
    hostsim::macos::FinalizeImage(imageA);
    EXPECT_EQ(g_finalised, (std::vector<int>{2, 0, 9, 1})) << "a handler registered while finalising runs too";
    hostsim::macos::FinalizeImage(imageA); // forgotten: nothing runs twice
    EXPECT_EQ(g_finalised.size(), 4u);
    hostsim::macos::FinalizeImage(imageB);
    EXPECT_EQ(g_finalised.back(), 5);
}

void ImageKeyDestructor(void*) {}

TEST(MacShims, KeysOfAnUnloadedImageAreDeletedWithIt) {
    // A key whose destructor lies in an image that goes away would make every later thread exit
    // call into unmapped memory.
    Pthread p;
    const void* code = reinterpret_cast<const void*>(&ImageKeyDestructor);
    hostsim::macos::RegisterImage(code, code, 1);
    unsigned long imageKey = 0, otherKey = 0;
    ASSERT_EQ(p.keyCreate(&imageKey, ImageKeyDestructor), 0);
    ASSERT_EQ(p.keyCreate(&otherKey, nullptr), 0);
    hostsim::macos::FinalizeImage(code);
    EXPECT_EQ(p.keyDelete(imageKey), kMacEINVAL) << "the image's key outlived it";
    EXPECT_EQ(p.keyDelete(otherKey), 0) << "another key went with the image";
}

TEST(MacShimsDeathTest, LazyBinderAndUnwinderStopTheProcessByName) {
    auto* binder = reinterpret_cast<void (*)()>(hostsim::macos::FindShim("dyld_stub_binder"));
    auto* resume = reinterpret_cast<void (*)()>(hostsim::macos::FindShim("__Unwind_Resume"));
    ASSERT_NE(binder, nullptr);
    ASSERT_NE(resume, nullptr);
    EXPECT_DEATH(binder(), "dyld_stub_binder was reached");
    EXPECT_DEATH(resume(), "__Unwind_Resume");
}

#else // the stand-in host cannot run macOS code here

TEST(MachOLoader, RefusesTheMacModuleWithTheReason) {
    REQUIRE_MAC_MODULE(path);
    std::string why;
    EXPECT_FALSE(DynamicLibrary::Open(path, &why));
    EXPECT_NE(why.find("only on Linux x86-64 and arm64"), std::string::npos) << why;
}

#endif

} // namespace
