// macho_file.h - the one reader of 64-bit Mach-O files in the stand-in host. corvel-inspect uses it
// to describe a macOS module (binary_inspect.h), the Mach-O loader uses it to map and link one.
//
// ParseMachO reads the header and the load commands: segments and their sections, linked
// libraries, the platform and minimum OS, where the dynamic linker's information lies (rebase,
// bind, lazy bind and weak bind opcodes, export trie), the symbol table and the code signature.
// The opcode streams and the export trie are decoded on request, on the same bytes. Every offset
// and size taken from the file is checked against the file (and every fixup location against its
// segment), so a damaged file is refused with a reason and never read out of bounds.
#ifndef CORVEL_HOSTSIM_MACHO_FILE_H
#define CORVEL_HOSTSIM_MACHO_FILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hostsim {

constexpr uint32_t kMachOCpuX86_64 = 0x01000007;
constexpr uint32_t kMachOCpuArm64 = 0x0100000c;
constexpr uint32_t kMachOSubtypeArm64e = 2; // arm64 with pointer authentication
constexpr uint32_t kMachOFileDylib = 6;
constexpr uint32_t kMachOFileBundle = 8;
constexpr uint32_t kMachOPlatformMacOS = 1;

// Section types (the low byte of a section's flags) that the readers act on.
enum MachOSectionType : uint32_t {
    kSectionZeroFill = 0x1,
    kSectionModInitPointers = 0x9,
    kSectionModTermPointers = 0xa,
    kSectionGbZeroFill = 0xc,
    kSectionThreadLocalRegular = 0x11,
    kSectionThreadLocalZeroFill = 0x12,
    kSectionThreadLocalVariables = 0x13,
    kSectionThreadLocalVariablePointers = 0x14,
    kSectionThreadLocalInitPointers = 0x15,
    kSectionInitOffsets = 0x16,
};

struct MachOSection {
    std::string segment, name; // "__DATA", "__mod_init_func"
    uint64_t address = 0, size = 0;
    uint32_t fileOffset = 0;
    uint32_t flags = 0;

    uint32_t Type() const { return flags & 0xffu; }
    bool ZeroFill() const;
    bool ThreadLocal() const;
    std::string FullName() const { return segment + "," + name; }
};

struct MachOSegment {
    std::string name;
    uint64_t address = 0, size = 0, fileOffset = 0, fileSize = 0;
    uint32_t maxProtection = 0, initProtection = 0, flags = 0; // VM_PROT_READ 1, WRITE 2, EXECUTE 4
    std::vector<MachOSection> sections;

    static constexpr uint32_t kReadOnlyAfterFixups = 0x10; // SG_READ_ONLY
};

// A range of the file: offset and size.
struct MachORange {
    uint64_t offset = 0, size = 0;
};

struct MachOLayout {
    uint32_t cpuType = 0, cpuSubtype = 0, fileType = 0, headerFlags = 0;
    std::vector<MachOSegment> segments;     // in load-command order (a fixup's segment index)
    std::vector<std::string> dylibs;        // linked libraries; a bind's ordinal 1 is the first
    std::string installName;                // LC_ID_DYLIB
    uint32_t platform = 0;                  // LC_BUILD_VERSION platform, 1 = macOS
    uint32_t minimumOs = 0;                 // packed xxxx.yy.zz; 0 when the file names none
    bool haveDyldInfo = false;
    MachORange rebases, binds, weakBinds, lazyBinds, exportTrie;
    MachORange symbols, strings;            // LC_SYMTAB: symbols is a count of 16-byte entries
    bool haveDysymtab = false;
    uint64_t firstExternal = 0, externalCount = 0;
    MachORange codeSignature;
    std::vector<uint32_t> requiredCommands; // load commands with LC_REQ_DYLD set, as they appear

    static constexpr uint32_t kHasThreadLocals = 0x800000; // MH_HAS_TLV_DESCRIPTORS

    const MachOSegment* TextSegment() const; // __TEXT, which starts at file offset 0
    std::vector<const MachOSection*> SectionsOfType(uint32_t type) const;
};

// One entry of the export trie. `offset` is relative to the image's Mach-O header.
struct MachOExport {
    std::string name; // as stored, with the leading underscore of C names
    uint64_t flags = 0;
    uint64_t offset = 0;

    static constexpr uint64_t kKindMask = 0x3, kKindRegular = 0, kKindThreadLocal = 1, kKindAbsolute = 2;
    static constexpr uint64_t kWeakDefinition = 0x4, kReexport = 0x8, kStubAndResolver = 0x10;
};

// A pointer-sized location of a segment that the loader must fix: `segment` indexes
// MachOLayout::segments, `offset` is inside it.
struct MachORebase {
    uint32_t segment = 0;
    uint64_t offset = 0;
};

enum class MachOBindStream { Regular, Lazy, Weak };

struct MachOBind {
    uint32_t segment = 0;
    uint64_t offset = 0;
    int64_t libraryOrdinal = 0; // 1.. = dylibs[ordinal - 1]; 0 self, -1 main executable, -2 flat, -3 weak
    std::string symbol;
    int64_t addend = 0;
    bool weakImport = false;    // a missing symbol binds to null instead of refusing the load
};

// One architecture's image inside a universal ("fat") file: a whole thin Mach-O file at `offset`.
struct MachOSlice {
    uint32_t cpuType = 0, cpuSubtype = 0; // cpuSubtype without the capability bits
    uint64_t offset = 0, size = 0;
    uint32_t alignShift = 0;              // the slice starts on a 2^alignShift boundary
};

// True when `bytes` start with the big-endian magic of a universal file (32- or 64-bit table).
bool IsUniversalMachO(const std::vector<uint8_t>& bytes);

// The slices of a universal file, in table order, each checked: at least one and at most 16,
// inside the file, behind the table, on its stated alignment (at most 2^16), not overlapping another,
// and no CPU type twice. nullopt with `error` set otherwise. The slices' own contents are not read.
std::optional<std::vector<MachOSlice>> ParseUniversalMachO(const std::vector<uint8_t>& bytes, std::string* error);

// The bytes of the slice for `cpuType`: the whole file when it is thin (whatever its CPU type, so
// that the caller's check of the header names the mismatch), the slice's copy when it is universal.
// nullopt with `error` set for a damaged universal file or one without such a slice (the error
// names the architectures it holds).
std::optional<std::vector<uint8_t>> SelectMachOSlice(const std::vector<uint8_t>& bytes, uint32_t cpuType,
                                                    std::string* error);

// "x86-64", "arm64", or "CPU type 0x..." for a Mach-O CPU type.
std::string MachOCpuName(uint32_t cpuType);

// Parses the header and the load commands. nullopt with `error` set for anything but an intact,
// thin, 64-bit little-endian Mach-O image.
std::optional<MachOLayout> ParseMachO(const std::vector<uint8_t>& bytes, std::string* error);

// Decoders of the dynamic linker's information; `bytes` are those ParseMachO read. False with
// `error` set for a damaged stream, an opcode the stand-in host does not know, a fixup type other
// than a plain pointer, or a location outside its segment.
bool DecodeMachORebases(const std::vector<uint8_t>& bytes, const MachOLayout& layout,
                        std::vector<MachORebase>* out, std::string* error);
bool DecodeMachOBinds(const std::vector<uint8_t>& bytes, const MachOLayout& layout, MachOBindStream stream,
                      std::vector<MachOBind>* out, std::string* error);
bool DecodeMachOExports(const std::vector<uint8_t>& bytes, const MachOLayout& layout,
                        std::vector<MachOExport>* out, std::string* error);

// "11.0", "10.15.4": a packed Mach-O version as text.
std::string MachOVersionText(uint32_t packed);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_MACHO_FILE_H
