// The host's loader of macOS modules (Linux x86-64 and Linux arm64). It runs the slice built for the
// machine it runs on: on x86-64 both systems use the System V calling convention; on arm64 Apple's
// convention differs from the Linux one in ways the host's side of every crossing takes care of
// (see "macOS modules" in hostsim/README.md: the host's tables widen narrow answers, the shims of
// variadic functions read Apple's argument layout). The module's code then runs as it is once the
// file is laid out as dyld would lay it out and its imports are bound to the libSystem shims.
//
// Loading, in dyld's order: pick the machine's slice of a universal file, check the header (a dylib
// for this processor and macOS no newer than the host stands in for, no thread-local variables,
// only the classic rebase/bind information), map the segments, apply the rebases, resolve every
// import against the shims (all of them before any is written) and apply the binds (lazy ones too,
// so the lazy binder is never needed), protect each segment as the file says (__DATA_CONST
// read-only once fixed; the instruction cache synchronised), then run the initialisers in section
// order.
// Unloading runs the ___cxa_atexit handlers in reverse, then the terminators, then unmaps.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "../module_loaders.h"
#include "hostsim/macho_file.h"
#include "libsystem_shims.h"

namespace hostsim {
namespace {

#if defined(__x86_64__)
constexpr uint32_t kMachineCpu = kMachOCpuX86_64;
#elif defined(__aarch64__)
constexpr uint32_t kMachineCpu = kMachOCpuArm64;
#else
#error "the Mach-O loader runs macOS code on x86-64 and arm64 only"
#endif
// Segments are laid out on the module's own page size (4 KiB for x86-64, 16 KiB for arm64) and
// protected one by one, so each must start on a page of this machine too.
uint64_t HostPageSize() {
    static const uint64_t size = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    return size;
}
// The newest macOS whose libSystem behaviour the shims reproduce; a module built for a newer one
// may rely on what they lack (its linker also writes chained fixups from macOS 12 on).
constexpr uint32_t kNewestMacOS = 13u << 16;
constexpr const char* kNewestMacOSText = "13.0";
// Far above any module (corvel.xlib spans well under 1 MiB); it stops a damaged file from
// reserving gigabytes.
constexpr uint64_t kMaxImageSpan = uint64_t{256} << 20;
constexpr const char* kLibSystem = "/usr/lib/libSystem.B.dylib";

using Initialiser = void (*)(int, const char**, const char**, const char**, const void*);
using Terminator = void (*)();

// Thrown while loading only; OpenMachOModule turns it into the reason of the refusal.
struct Refusal {
    std::string why;
};
[[noreturn]] void Refuse(std::string why) { throw Refusal{std::move(why)}; }

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    if (!file)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::string HexCommand(uint32_t command) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", command);
    return text;
}

void CheckHeader(const MachOLayout& layout) {
    if (layout.cpuType != kMachineCpu)
        Refuse("it is not built for " + MachOCpuName(kMachineCpu) + ", the processor this host runs on (it is for " +
               MachOCpuName(layout.cpuType) + ")");
    if (layout.cpuType == kMachOCpuArm64 && layout.cpuSubtype == kMachOSubtypeArm64e)
        Refuse("it is built for arm64e (signed pointers), which this host does not support");
    if (layout.fileType != kMachOFileDylib)
        Refuse("it is not a dynamic library (Mach-O file type " + std::to_string(layout.fileType) + ")");
    if (layout.platform != kMachOPlatformMacOS)
        Refuse("it is not built for macOS (no macOS platform in its build version)");
    if (layout.minimumOs == 0 || layout.minimumOs > kNewestMacOS)
        Refuse("it requires macOS " + MachOVersionText(layout.minimumOs) + ", newer than the " + kNewestMacOSText +
               " this host stands in for");
    if (layout.headerFlags & MachOLayout::kHasThreadLocals)
        Refuse("it has thread-local variables, which this host does not support");
    for (const auto& segment : layout.segments)
        for (const auto& section : segment.sections)
            if (section.ThreadLocal())
                Refuse("it has thread-local variables (section " + section.FullName() + "), which this host does not support");
    for (uint32_t command : layout.requiredCommands) {
        if (command == 0x80000034) // LC_DYLD_CHAINED_FIXUPS
            Refuse("it uses chained fixups (LC_DYLD_CHAINED_FIXUPS), which this host does not support; "
                   "link it for macOS 11 with classic dyld information");
        if (command != 0x80000022 && command != 0x80000033 && command != 0x8000001c) // DYLD_INFO_ONLY, EXPORTS_TRIE, RPATH
            Refuse("it has load command " + HexCommand(command) + ", which the dynamic linker must understand and this host does not");
    }
    if (!layout.haveDyldInfo)
        Refuse("it has no rebase and bind information (LC_DYLD_INFO_ONLY)");
    for (const auto& dylib : layout.dylibs)
        if (dylib != kLibSystem)
            Refuse("it links " + dylib + "; this host serves only " + kLibSystem);
    if (!layout.TextSegment())
        Refuse("it has no __TEXT segment holding its header");
}

// The address range the segments occupy, checked: page-aligned, not overlapping, of sane size.
struct Span {
    uint64_t low = 0, high = 0;
};
Span CheckSegments(const MachOLayout& layout) {
    Span span{UINT64_MAX, 0};
    std::map<uint64_t, uint64_t> taken; // start -> end
    const uint64_t page = HostPageSize();
    for (const auto& segment : layout.segments) {
        if (segment.size == 0)
            continue;
        if (segment.address % page != 0 || segment.fileOffset % page != 0)
            Refuse("segment " + segment.name + " is not aligned to this machine's " + std::to_string(page) + "-byte pages");
        if (segment.initProtection & ~7u)
            Refuse("segment " + segment.name + " has unknown protection bits");
        const uint64_t end = segment.address + segment.size;
        auto next = taken.lower_bound(segment.address);
        if ((next != taken.end() && next->first < end) ||
            (next != taken.begin() && std::prev(next)->second > segment.address))
            Refuse("segment " + segment.name + " overlaps another");
        taken[segment.address] = end;
        span.low = std::min(span.low, segment.address);
        span.high = std::max(span.high, end);
    }
    if (taken.empty())
        Refuse("it has no segments");
    if (span.high - span.low > kMaxImageSpan)
        Refuse("its segments span more than " + std::to_string(kMaxImageSpan >> 20) + " MiB");
    return span;
}

bool Writable(const MachOSegment& segment) { return (segment.initProtection & 2) != 0; }
bool Executable(const MachOSegment& segment) { return (segment.initProtection & 4) != 0; }
bool ReadOnlyAfterFixups(const MachOSegment& segment) {
    return (segment.flags & MachOSegment::kReadOnlyAfterFixups) != 0 || segment.name == "__DATA_CONST";
}

// A bind resolved: where it goes and what it receives.
struct ResolvedBind {
    uint32_t segment;
    uint64_t offset;
    uint64_t value;
};

class MachOModule final : public DynamicLibrary::Image {
public:
    static std::unique_ptr<MachOModule> Load(const std::string& path) {
        std::vector<uint8_t> file;
        if (!ReadWholeFile(path, &file))
            Refuse("it cannot be read");
        std::string error;
        std::optional<std::vector<uint8_t>> slice = SelectMachOSlice(file, kMachineCpu, &error);
        if (!slice)
            Refuse(error);
        const std::vector<uint8_t>& bytes = *slice;
        std::optional<MachOLayout> parsed = ParseMachO(bytes, &error);
        if (!parsed)
            Refuse(error);
        const MachOLayout& layout = *parsed;
        CheckHeader(layout);
        const Span span = CheckSegments(layout);

        std::vector<MachORebase> rebases;
        std::vector<MachOBind> binds, lazyBinds;
        std::vector<MachOExport> exports;
        if (!DecodeMachORebases(bytes, layout, &rebases, &error) ||
            !DecodeMachOBinds(bytes, layout, MachOBindStream::Regular, &binds, &error) ||
            !DecodeMachOBinds(bytes, layout, MachOBindStream::Lazy, &lazyBinds, &error) ||
            !DecodeMachOExports(bytes, layout, &exports, &error))
            Refuse(error);
        CheckFixupTargets(layout, rebases, binds, lazyBinds);
        CheckEveryLazyPointerIsBound(layout, lazyBinds);

        std::unique_ptr<MachOModule> module(new MachOModule());
        module->Map(bytes, layout, span);
        module->exports_ = module->ExportAddresses(exports, layout);
        module->ApplyRebases(layout, rebases);
        std::vector<MachOBind> allBinds = binds;
        allBinds.insert(allBinds.end(), lazyBinds.begin(), lazyBinds.end());
        module->ApplyBinds(layout, module->ResolveImports(layout, allBinds));
        module->Protect(layout);
        for (const auto& segment : layout.segments)
            if (segment.size > 0 && (segment.initProtection & 1))
                module->regions_.push_back({static_cast<uintptr_t>(module->slide_ + segment.address),
                                            static_cast<uintptr_t>(module->slide_ + segment.address + segment.size),
                                            (segment.initProtection & 2) != 0 && !ReadOnlyAfterFixups(segment)});
        const std::vector<Initialiser> initialisers = module->FindCode<Initialiser>(layout, kSectionModInitPointers);
        module->terminators_ = module->FindCode<Terminator>(layout, kSectionModTermPointers);
        module->Initialise(initialisers, module->InitOffsets(layout));
        return module;
    }

    ~MachOModule() override {
        std::string ignored;
        Unload(&ignored);
    }

    void* Symbol(const char* name) const override {
        auto found = exports_.find(std::string("_") + name);
        return found == exports_.end() ? nullptr : found->second;
    }

    std::vector<ModuleRegion> Regions() const override { return mapping_ ? regions_ : std::vector<ModuleRegion>(); }

    bool Unload(std::string* /*why: unmapping cannot fail once mapped*/) override {
        if (!mapping_)
            return true;
        if (registered_) {
            macos::FinalizeImage(header_);
            for (auto it = terminators_.rbegin(); it != terminators_.rend(); ++it)
                (*it)();
        }
        munmap(mapping_, mappingSize_);
        mapping_ = nullptr;
        return true;
    }

private:
    MachOModule() = default;

    uint8_t* At(const MachOLayout& layout, uint32_t segment, uint64_t offset) const {
        return reinterpret_cast<uint8_t*>(slide_ + layout.segments[segment].address + offset);
    }
    bool Contains(uint64_t address, const MachOLayout& layout, bool (*wanted)(const MachOSegment&)) const {
        for (const auto& segment : layout.segments)
            if (wanted(segment) && address >= slide_ + segment.address && address - (slide_ + segment.address) < segment.size)
                return true;
        return false;
    }

    // Fixups may only change writable segments: a fixup of __TEXT would need text relocations,
    // which dyld refuses for x86-64 too.
    static void CheckFixupTargets(const MachOLayout& layout, const std::vector<MachORebase>& rebases,
                                  const std::vector<MachOBind>& binds, const std::vector<MachOBind>& lazyBinds) {
        auto check = [&](uint32_t segment) {
            if (!Writable(layout.segments[segment]))
                Refuse("it fixes a pointer inside the read-only segment " + layout.segments[segment].name);
        };
        for (const auto& r : rebases)
            check(r.segment);
        for (const auto& b : binds)
            check(b.segment);
        for (const auto& b : lazyBinds)
            check(b.segment);
    }

    // Every lazy symbol pointer must be bound now: one left to the stub helper would call the lazy
    // binder, which this host does not have.
    static void CheckEveryLazyPointerIsBound(const MachOLayout& layout, const std::vector<MachOBind>& lazyBinds) {
        std::set<std::pair<uint32_t, uint64_t>> bound;
        for (const auto& b : lazyBinds)
            bound.insert({b.segment, b.offset});
        for (uint32_t index = 0; index < layout.segments.size(); ++index) {
            const MachOSegment& segment = layout.segments[index];
            for (const auto& section : segment.sections) {
                if (section.Type() != 0x7) // S_LAZY_SYMBOL_POINTERS
                    continue;
                for (uint64_t at = 0; at + 8 <= section.size; at += 8)
                    if (!bound.count({index, section.address - segment.address + at}))
                        Refuse("lazy symbol pointer " + std::to_string(at / 8) + " of " + section.FullName() +
                               " has no lazy bind");
            }
        }
    }

    void Map(const std::vector<uint8_t>& bytes, const MachOLayout& layout, const Span& span) {
        mappingSize_ = static_cast<size_t>(span.high - span.low);
        void* mapping = mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            Refuse("cannot reserve " + std::to_string(mappingSize_) + " bytes for it");
        mapping_ = static_cast<uint8_t*>(mapping);
        slide_ = reinterpret_cast<uint64_t>(mapping_) - span.low;
        for (const auto& segment : layout.segments)
            if (segment.fileSize > 0)
                std::memcpy(reinterpret_cast<void*>(slide_ + segment.address), bytes.data() + segment.fileOffset,
                            static_cast<size_t>(segment.fileSize));
        header_ = reinterpret_cast<void*>(slide_ + layout.TextSegment()->address);
    }

    void ApplyRebases(const MachOLayout& layout, const std::vector<MachORebase>& rebases) {
        for (const auto& r : rebases) {
            uint8_t* at = At(layout, r.segment, r.offset);
            uint64_t value;
            std::memcpy(&value, at, 8);
            value += slide_;
            std::memcpy(at, &value, 8);
        }
    }

    // Every import resolved before any is written; the refusal names all the unknown ones.
    std::vector<ResolvedBind> ResolveImports(const MachOLayout& layout, const std::vector<MachOBind>& binds) const {
        std::vector<ResolvedBind> resolved;
        std::set<std::string> unknown;
        for (const auto& b : binds) {
            void* target = nullptr;
            if (b.libraryOrdinal >= 1 && static_cast<uint64_t>(b.libraryOrdinal) <= layout.dylibs.size()) {
                target = macos::FindShim(b.symbol);
            } else if (b.libraryOrdinal == 0 || b.libraryOrdinal == -3) { // the image itself, weak lookup
                auto own = exports_.find(b.symbol);
                target = own != exports_.end() ? own->second : macos::FindShim(b.symbol);
            } else {
                Refuse("it binds " + b.symbol + " from library ordinal " + std::to_string(b.libraryOrdinal) +
                       ", which this host cannot resolve");
            }
            if (!target && !b.weakImport) {
                unknown.insert(b.symbol);
                continue;
            }
            // A missing weak import is bound to null, as dyld does; the module checks it.
            resolved.push_back({b.segment, b.offset, target ? reinterpret_cast<uint64_t>(target) + b.addend : 0});
        }
        if (!unknown.empty()) {
            std::string names;
            for (const auto& name : unknown)
                names += (names.empty() ? "" : ", ") + name;
            Refuse("it imports what this host does not provide: " + names);
        }
        return resolved;
    }

    void ApplyBinds(const MachOLayout& layout, const std::vector<ResolvedBind>& binds) {
        for (const auto& b : binds)
            std::memcpy(At(layout, b.segment, b.offset), &b.value, 8);
    }

    void Protect(const MachOLayout& layout) {
        for (const auto& segment : layout.segments) {
            if (segment.size == 0)
                continue;
            int protection = 0;
            if (segment.initProtection & 1)
                protection |= PROT_READ;
            if ((segment.initProtection & 2) && !ReadOnlyAfterFixups(segment))
                protection |= PROT_WRITE;
            if (segment.initProtection & 4)
                protection |= PROT_EXEC;
            const uint64_t page = HostPageSize();
            const uint64_t size = (segment.size + page - 1) / page * page;
            // The code was written through the data cache; on arm64 the instruction cache must
            // see it before it runs (no-op on x86-64).
            if (segment.initProtection & 4) {
                char* begin = reinterpret_cast<char*>(slide_ + segment.address);
                __builtin___clear_cache(begin, begin + segment.size);
            }
            if (mprotect(reinterpret_cast<void*>(slide_ + segment.address), static_cast<size_t>(size), protection) != 0)
                Refuse("cannot protect segment " + segment.name);
        }
    }

    // The function pointers of the sections of `type`, in file order, each checked to lie in the
    // image's code: nothing is called that the file does not hold.
    template <typename Fn>
    std::vector<Fn> FindCode(const MachOLayout& layout, uint32_t type) const {
        std::vector<Fn> found;
        for (const MachOSection* section : layout.SectionsOfType(type)) {
            if (section->size % 8 != 0)
                Refuse("section " + section->FullName() + " is not a list of pointers");
            for (uint64_t at = 0; at < section->size; at += 8) {
                uint64_t address;
                std::memcpy(&address, reinterpret_cast<const void*>(slide_ + section->address + at), 8);
                if (!Contains(address, layout, Executable))
                    Refuse("entry " + std::to_string(at / 8) + " of " + section->FullName() + " points outside the module's code");
                found.push_back(reinterpret_cast<Fn>(address));
            }
        }
        return found;
    }

    // __init_offsets (newer linkers): 32-bit offsets from the header instead of pointers.
    std::vector<Initialiser> InitOffsets(const MachOLayout& layout) const {
        std::vector<Initialiser> found;
        for (const MachOSection* section : layout.SectionsOfType(kSectionInitOffsets)) {
            if (section->size % 4 != 0)
                Refuse("section " + section->FullName() + " is not a list of offsets");
            for (uint64_t at = 0; at < section->size; at += 4) {
                uint32_t offset;
                std::memcpy(&offset, reinterpret_cast<const void*>(slide_ + section->address + at), 4);
                const uint64_t address = reinterpret_cast<uint64_t>(header_) + offset;
                if (!Contains(address, layout, Executable))
                    Refuse("entry " + std::to_string(at / 4) + " of " + section->FullName() + " points outside the module's code");
                found.push_back(reinterpret_cast<Initialiser>(address));
            }
        }
        return found;
    }

    // dyld calls initialisers with the program's arguments, environment, Apple parameters and
    // variables; C++ static initialisers ignore them, so empty lists stand in.
    void Initialise(const std::vector<Initialiser>& pointers, const std::vector<Initialiser>& offsets) {
        macos::RegisterImage(header_, mapping_, mappingSize_);
        registered_ = true;
        static const char* const kEmpty[] = {nullptr};
        for (const auto* list : {&pointers, &offsets})
            for (Initialiser init : *list)
                init(0, const_cast<const char**>(kEmpty), const_cast<const char**>(kEmpty), const_cast<const char**>(kEmpty), nullptr);
    }

    std::map<std::string, void*> ExportAddresses(const std::vector<MachOExport>& exports, const MachOLayout& layout) const {
        std::map<std::string, void*> addresses;
        for (const auto& e : exports) {
            const uint64_t kind = e.flags & MachOExport::kKindMask;
            if (e.flags & (MachOExport::kReexport | MachOExport::kStubAndResolver))
                Refuse("it exports " + e.name + " as a re-export or through a resolver, which this host does not support");
            if (kind == MachOExport::kKindThreadLocal)
                Refuse("it exports the thread-local variable " + e.name + ", which this host does not support");
            if (kind == MachOExport::kKindAbsolute) {
                addresses[e.name] = reinterpret_cast<void*>(e.offset);
                continue;
            }
            const uint64_t address = reinterpret_cast<uint64_t>(header_) + e.offset;
            if (!Contains(address, layout, [](const MachOSegment&) { return true; }))
                Refuse("its export " + e.name + " lies outside the module");
            addresses[e.name] = reinterpret_cast<void*>(address);
        }
        return addresses;
    }

    uint8_t* mapping_ = nullptr;
    size_t mappingSize_ = 0;
    uint64_t slide_ = 0;
    std::vector<ModuleRegion> regions_;
    void* header_ = nullptr;
    bool registered_ = false;
    std::map<std::string, void*> exports_;
    std::vector<Terminator> terminators_;
};

} // namespace

std::unique_ptr<DynamicLibrary::Image> OpenMachOModule(const std::string& path, std::string* why) {
    try {
        return MachOModule::Load(path);
    } catch (const Refusal& refusal) {
        *why = "the Mach-O loader refuses it: " + refusal.why;
        return nullptr;
    }
}

} // namespace hostsim
