// macho_file.cpp - the Mach-O reader shared by corvel-inspect and the Mach-O loader (see
// macho_file.h).
#include "hostsim/macho_file.h"

#include <set>

#include "byte_reader.h"

namespace hostsim {
namespace {

constexpr uint32_t kMagic64 = 0xfeedfacf;
constexpr uint32_t kUniversalMagic = 0xcafebabe;   // big-endian, 32-bit slice table
constexpr uint32_t kUniversalMagic64 = 0xcafebabf; // big-endian, 64-bit slice table
// lipo writes one slice per architecture; a handful is plenty.
constexpr uint32_t kMaxSlices = 16;
constexpr uint32_t kRequiredByLoader = 0x80000000; // LC_REQ_DYLD
// No real module comes near this; it stops a damaged opcode stream that repeats a fixup an
// absurd number of times inside a huge segment from running for hours.
constexpr size_t kMaxFixups = size_t{1} << 22;

class LoadCommandParser {
public:
    LoadCommandParser(const ByteReader& in, MachOLayout& layout) : in_(in), layout_(layout) {}

    void Parse() {
        in_.Require(0, 32, "Mach-O header");
        const uint32_t magic = in_.Le<uint32_t>(0, "magic");
        if (magic != kMagic64)
            FailFormat("not a 64-bit little-endian Mach-O file (magic " + HexText(magic) + ")");
        layout_.cpuType = in_.Le<uint32_t>(4, "CPU type");
        layout_.cpuSubtype = in_.Le<uint32_t>(8, "CPU subtype") & 0x00ffffffu; // without capability bits
        layout_.fileType = in_.Le<uint32_t>(12, "file type");
        layout_.headerFlags = in_.Le<uint32_t>(24, "header flags");
        const uint32_t commandCount = in_.Le<uint32_t>(16, "load command count");
        const uint32_t commandsSize = in_.Le<uint32_t>(20, "load commands size");
        in_.Require(32, commandsSize, "load commands");
        const uint64_t commandsEnd = 32 + uint64_t{commandsSize};
        uint64_t at = 32;
        for (uint32_t i = 0; i < commandCount; ++i) {
            const uint32_t cmd = in_.Le<uint32_t>(at, "load command");
            const uint32_t size = in_.Le<uint32_t>(at + 4, "load command size");
            if (size < 8 || at + size > commandsEnd)
                FailFormat("load command " + std::to_string(i) + " has a bad size");
            if (cmd & kRequiredByLoader)
                layout_.requiredCommands.push_back(cmd);
            ParseCommand(cmd, at, at + size);
            at += size;
        }
    }

private:
    MachORange FileRange(uint64_t offsetAt, uint64_t sizeAt, const char* what) const {
        MachORange range{in_.Le<uint32_t>(offsetAt, what), in_.Le<uint32_t>(sizeAt, what)};
        in_.Require(range.offset, range.size, what);
        return range;
    }

    std::string DylibName(uint64_t at, uint64_t end) const {
        const uint32_t nameOffset = in_.Le<uint32_t>(at + 8, "dylib name offset");
        return in_.CString(at + nameOffset, end, "dylib name");
    }

    void ParseCommand(uint32_t cmd, uint64_t at, uint64_t end) {
        switch (cmd) {
        case 0x19: // LC_SEGMENT_64
            ParseSegment(at, end);
            break;
        case 0x2: // LC_SYMTAB
            layout_.symbols = {in_.Le<uint32_t>(at + 8, "symbol table offset"), in_.Le<uint32_t>(at + 12, "symbol count")};
            in_.Require(layout_.symbols.offset, 16 * layout_.symbols.size, "symbol table");
            layout_.strings = FileRange(at + 16, at + 20, "string table");
            break;
        case 0xb: // LC_DYSYMTAB
            layout_.firstExternal = in_.Le<uint32_t>(at + 16, "first external symbol");
            layout_.externalCount = in_.Le<uint32_t>(at + 20, "external symbol count");
            layout_.haveDysymtab = true;
            break;
        case 0xc:        // LC_LOAD_DYLIB
        case 0x20:       // LC_LAZY_LOAD_DYLIB
        case 0x80000018: // LC_LOAD_WEAK_DYLIB
        case 0x8000001f: // LC_REEXPORT_DYLIB
        case 0x80000023: // LC_LOAD_UPWARD_DYLIB
            layout_.dylibs.push_back(DylibName(at, end));
            break;
        case 0xd: // LC_ID_DYLIB
            layout_.installName = DylibName(at, end);
            break;
        case 0x22:       // LC_DYLD_INFO
        case 0x80000022: // LC_DYLD_INFO_ONLY
            layout_.haveDyldInfo = true;
            layout_.rebases = FileRange(at + 8, at + 12, "rebase information");
            layout_.binds = FileRange(at + 16, at + 20, "bind information");
            layout_.weakBinds = FileRange(at + 24, at + 28, "weak bind information");
            layout_.lazyBinds = FileRange(at + 32, at + 36, "lazy bind information");
            layout_.exportTrie = FileRange(at + 40, at + 44, "export trie");
            break;
        case 0x80000033: // LC_DYLD_EXPORTS_TRIE
            layout_.exportTrie = FileRange(at + 8, at + 12, "export trie");
            break;
        case 0x32: // LC_BUILD_VERSION
            layout_.platform = in_.Le<uint32_t>(at + 8, "build platform");
            layout_.minimumOs = in_.Le<uint32_t>(at + 12, "minimum OS version");
            break;
        case 0x24: // LC_VERSION_MIN_MACOSX
            layout_.platform = kMachOPlatformMacOS;
            layout_.minimumOs = in_.Le<uint32_t>(at + 8, "minimum OS version");
            break;
        case 0x1d: // LC_CODE_SIGNATURE
            layout_.codeSignature = FileRange(at + 8, at + 12, "code signature");
            break;
        default:
            break;
        }
    }

    void ParseSegment(uint64_t at, uint64_t end) {
        MachOSegment segment;
        segment.name = in_.FixedName(at + 8, 16, "segment name");
        segment.address = in_.Le<uint64_t>(at + 24, "segment address");
        segment.size = in_.Le<uint64_t>(at + 32, "segment size");
        segment.fileOffset = in_.Le<uint64_t>(at + 40, "segment file offset");
        segment.fileSize = in_.Le<uint64_t>(at + 48, "segment file size");
        segment.maxProtection = in_.Le<uint32_t>(at + 56, "segment protection");
        segment.initProtection = in_.Le<uint32_t>(at + 60, "segment protection");
        const uint32_t sectionCount = in_.Le<uint32_t>(at + 64, "section count");
        segment.flags = in_.Le<uint32_t>(at + 68, "segment flags");
        in_.Require(segment.fileOffset, segment.fileSize, "segment " + segment.name);
        if (segment.fileSize > segment.size)
            FailFormat("segment " + segment.name + " holds more file bytes than its size");
        if (segment.address + segment.size < segment.address)
            FailFormat("segment " + segment.name + " wraps around the address space");
        if (72 + 80 * uint64_t{sectionCount} > end - at)
            FailFormat("segment " + segment.name + " claims more sections than its command holds");
        for (uint32_t i = 0; i < sectionCount; ++i)
            segment.sections.push_back(ParseSection(at + 72 + 80 * uint64_t{i}, segment));
        layout_.segments.push_back(std::move(segment));
    }

    MachOSection ParseSection(uint64_t sec, const MachOSegment& segment) {
        MachOSection s;
        s.name = in_.FixedName(sec, 16, "section name");
        s.segment = in_.FixedName(sec + 16, 16, "segment name");
        s.address = in_.Le<uint64_t>(sec + 32, "section address");
        s.size = in_.Le<uint64_t>(sec + 40, "section size");
        s.fileOffset = in_.Le<uint32_t>(sec + 48, "section offset");
        s.flags = in_.Le<uint32_t>(sec + 64, "section flags");
        if (s.address < segment.address || s.size > segment.size || s.address - segment.address > segment.size - s.size)
            FailFormat("section " + s.FullName() + " lies outside its segment");
        if (!s.ZeroFill() && s.size > 0)
            in_.Require(s.fileOffset, s.size, "section " + s.FullName());
        return s;
    }

    const ByteReader& in_;
    MachOLayout& layout_;
};

// The state machine shared by the rebase and bind opcode streams: the current segment and offset,
// and the check that every location it names lies inside its segment.
class FixupCursor {
public:
    FixupCursor(const MachOLayout& layout, const char* stream) : layout_(layout), stream_(stream) {}

    void SetSegment(uint64_t index, uint64_t offset) {
        if (index >= layout_.segments.size())
            FailFormat(std::string(stream_) + " names segment " + std::to_string(index) + " of " +
                       std::to_string(layout_.segments.size()));
        segment_ = static_cast<uint32_t>(index);
        offset_ = offset;
        haveSegment_ = true;
    }
    void Advance(uint64_t by) { offset_ += by; } // wraps harmlessly: Check() refuses the result

    // The current location, checked: pointer-sized and inside the segment.
    std::pair<uint32_t, uint64_t> Location() {
        if (!haveSegment_)
            FailFormat(std::string(stream_) + " fixes a location before naming its segment");
        const MachOSegment& segment = layout_.segments[segment_];
        if (segment.size < 8 || offset_ > segment.size - 8)
            FailFormat(std::string(stream_) + " fixes offset " + HexText(offset_) + " outside segment " + segment.name);
        if (++count_ > kMaxFixups)
            FailFormat(std::string(stream_) + " holds more fixups than any module could need");
        return {segment_, offset_};
    }

private:
    const MachOLayout& layout_;
    const char* stream_;
    uint32_t segment_ = 0;
    uint64_t offset_ = 0;
    bool haveSegment_ = false;
    size_t count_ = 0;
};

void DecodeRebases(const ByteReader& in, const MachOLayout& layout, std::vector<MachORebase>& out) {
    const char* what = "rebase information";
    uint64_t at = layout.rebases.offset;
    const uint64_t end = at + layout.rebases.size;
    FixupCursor cursor(layout, what);
    auto rebase = [&](uint64_t skip) {
        const auto [segment, offset] = cursor.Location();
        out.push_back({segment, offset});
        cursor.Advance(8 + skip);
    };
    while (at < end) {
        const uint8_t byte = in.Le<uint8_t>(at++, what);
        const uint8_t immediate = byte & 0x0f;
        switch (byte & 0xf0) {
        case 0x00: // REBASE_OPCODE_DONE
            return;
        case 0x10: // REBASE_OPCODE_SET_TYPE_IMM
            if (immediate != 1) // REBASE_TYPE_POINTER; the 32-bit text fixups belong to i386 code
                FailFormat("rebase information uses fixup type " + std::to_string(immediate) +
                           " (only plain pointers are supported)");
            break;
        case 0x20: { // REBASE_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB
            const uint64_t offset = in.Uleb(at, end, what);
            cursor.SetSegment(immediate, offset);
            break;
        }
        case 0x30: // REBASE_OPCODE_ADD_ADDR_ULEB
            cursor.Advance(in.Uleb(at, end, what));
            break;
        case 0x40: // REBASE_OPCODE_ADD_ADDR_IMM_SCALED
            cursor.Advance(uint64_t{immediate} * 8);
            break;
        case 0x50: // REBASE_OPCODE_DO_REBASE_IMM_TIMES
            for (unsigned i = 0; i < immediate; ++i)
                rebase(0);
            break;
        case 0x60: { // REBASE_OPCODE_DO_REBASE_ULEB_TIMES
            const uint64_t count = in.Uleb(at, end, what);
            for (uint64_t i = 0; i < count; ++i)
                rebase(0);
            break;
        }
        case 0x70: // REBASE_OPCODE_DO_REBASE_ADD_ADDR_ULEB
            rebase(in.Uleb(at, end, what));
            break;
        case 0x80: { // REBASE_OPCODE_DO_REBASE_ULEB_TIMES_SKIPPING_ULEB
            const uint64_t count = in.Uleb(at, end, what);
            const uint64_t skip = in.Uleb(at, end, what);
            for (uint64_t i = 0; i < count; ++i)
                rebase(skip);
            break;
        }
        default:
            FailFormat("rebase information holds unknown opcode " + HexText(byte));
        }
    }
}

MachORange StreamRange(const MachOLayout& layout, MachOBindStream stream) {
    switch (stream) {
    case MachOBindStream::Regular: return layout.binds;
    case MachOBindStream::Lazy: return layout.lazyBinds;
    case MachOBindStream::Weak: return layout.weakBinds;
    }
    return {};
}

void DecodeBinds(const ByteReader& in, const MachOLayout& layout, MachOBindStream stream, std::vector<MachOBind>& out) {
    const char* what = stream == MachOBindStream::Lazy ? "lazy bind information"
                       : stream == MachOBindStream::Weak ? "weak bind information"
                                                         : "bind information";
    const MachORange range = StreamRange(layout, stream);
    uint64_t at = range.offset;
    const uint64_t end = at + range.size;
    FixupCursor cursor(layout, what);
    MachOBind current;
    bool haveSymbol = false;
    auto bind = [&](uint64_t skip) {
        if (!haveSymbol)
            FailFormat(std::string(what) + " binds a location before naming its symbol");
        const auto [segment, offset] = cursor.Location();
        current.segment = segment;
        current.offset = offset;
        out.push_back(current);
        cursor.Advance(8 + skip);
    };
    while (at < end) {
        const uint8_t byte = in.Le<uint8_t>(at++, what);
        const uint8_t immediate = byte & 0x0f;
        switch (byte & 0xf0) {
        case 0x00: // BIND_OPCODE_DONE: ends the stream, except between the entries of lazy binds
            if (stream != MachOBindStream::Lazy)
                return;
            break;
        case 0x10: // BIND_OPCODE_SET_DYLIB_ORDINAL_IMM
            current.libraryOrdinal = immediate;
            break;
        case 0x20: // BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB
            current.libraryOrdinal = static_cast<int64_t>(in.Uleb(at, end, what) & 0x7fffffff);
            break;
        case 0x30: // BIND_OPCODE_SET_DYLIB_SPECIAL_IMM: 0, -1, -2, -3 as a sign-extended nibble
            current.libraryOrdinal = immediate == 0 ? 0 : static_cast<int8_t>(0xf0 | immediate);
            break;
        case 0x40: { // BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM
            current.symbol = in.CString(at, end, what);
            at += current.symbol.size() + 1;
            current.weakImport = (immediate & 0x1) != 0; // BIND_SYMBOL_FLAGS_WEAK_IMPORT
            haveSymbol = true;
            break;
        }
        case 0x50: // BIND_OPCODE_SET_TYPE_IMM
            if (immediate != 1) // BIND_TYPE_POINTER
                FailFormat(std::string(what) + " uses fixup type " + std::to_string(immediate) +
                           " (only plain pointers are supported)");
            break;
        case 0x60: // BIND_OPCODE_SET_ADDEND_SLEB
            current.addend = in.Sleb(at, end, what);
            break;
        case 0x70: { // BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB
            const uint64_t offset = in.Uleb(at, end, what);
            cursor.SetSegment(immediate, offset);
            break;
        }
        case 0x80: // BIND_OPCODE_ADD_ADDR_ULEB
            cursor.Advance(in.Uleb(at, end, what));
            break;
        case 0x90: // BIND_OPCODE_DO_BIND
            bind(0);
            break;
        case 0xa0: // BIND_OPCODE_DO_BIND_ADD_ADDR_ULEB
            bind(in.Uleb(at, end, what));
            break;
        case 0xb0: // BIND_OPCODE_DO_BIND_ADD_ADDR_IMM_SCALED
            bind(uint64_t{immediate} * 8);
            break;
        case 0xc0: { // BIND_OPCODE_DO_BIND_ULEB_TIMES_SKIPPING_ULEB
            const uint64_t count = in.Uleb(at, end, what);
            const uint64_t skip = in.Uleb(at, end, what);
            for (uint64_t i = 0; i < count; ++i)
                bind(skip);
            break;
        }
        case 0xd0: // BIND_OPCODE_THREADED (arm64e chained binds)
            FailFormat(std::string(what) + " uses threaded binds, which only arm64e images have");
        default:
            FailFormat(std::string(what) + " holds unknown opcode " + HexText(byte));
        }
    }
}

void DecodeExports(const ByteReader& in, const MachOLayout& layout, std::vector<MachOExport>& out) {
    const uint64_t begin = layout.exportTrie.offset;
    const uint64_t size = layout.exportTrie.size;
    const uint64_t end = begin + size;
    if (size == 0)
        return;
    struct Pending {
        uint64_t node;
        std::string prefix;
    };
    std::vector<Pending> stack{{0, ""}};
    std::set<uint64_t> visited;
    while (!stack.empty()) {
        Pending current = std::move(stack.back());
        stack.pop_back();
        if (!visited.insert(current.node).second)
            FailFormat("export trie has a cycle at node " + HexText(current.node));
        uint64_t at = begin + current.node;
        const uint64_t terminalSize = in.Uleb(at, end, "export trie node");
        if (terminalSize > end - at)
            FailFormat("export trie node runs past the trie");
        const uint64_t children = at + terminalSize;
        if (terminalSize > 0) {
            MachOExport symbol;
            symbol.name = current.prefix;
            symbol.flags = in.Uleb(at, children, "export flags");
            // A re-export carries a library ordinal where others carry their offset.
            symbol.offset = in.Uleb(at, children, (symbol.flags & MachOExport::kReexport) ? "re-export ordinal" : "export address");
            out.push_back(symbol);
        }
        at = children;
        const uint8_t childCount = in.Le<uint8_t>(at, "export trie child count");
        ++at;
        for (uint8_t i = 0; i < childCount; ++i) {
            const std::string edge = in.CString(at, end, "export trie edge");
            at += edge.size() + 1;
            const uint64_t child = in.Uleb(at, end, "export trie child offset");
            if (child >= size)
                FailFormat("export trie child offset is outside the trie");
            stack.push_back({child, current.prefix + edge});
        }
    }
}

// Runs one of the throwing decoders and turns a FormatError into `error`.
template <typename Fn>
bool Guarded(std::string* error, Fn&& fn) {
    try {
        fn();
        return true;
    } catch (const FormatError& failure) {
        if (error)
            *error = failure.what();
        return false;
    }
}

} // namespace

bool MachOSection::ZeroFill() const {
    const uint32_t type = Type();
    return type == kSectionZeroFill || type == kSectionGbZeroFill || type == kSectionThreadLocalZeroFill;
}

bool MachOSection::ThreadLocal() const {
    const uint32_t type = Type();
    return type >= kSectionThreadLocalRegular && type <= kSectionThreadLocalInitPointers;
}

const MachOSegment* MachOLayout::TextSegment() const {
    for (const auto& segment : segments)
        if (segment.name == "__TEXT" && segment.fileOffset == 0)
            return &segment;
    return nullptr;
}

std::vector<const MachOSection*> MachOLayout::SectionsOfType(uint32_t type) const {
    std::vector<const MachOSection*> found;
    for (const auto& segment : segments)
        for (const auto& section : segment.sections)
            if (section.Type() == type)
                found.push_back(&section);
    return found;
}

std::optional<MachOLayout> ParseMachO(const std::vector<uint8_t>& bytes, std::string* error) {
    MachOLayout layout;
    ByteReader in(bytes);
    if (!Guarded(error, [&] { LoadCommandParser(in, layout).Parse(); }))
        return std::nullopt;
    return layout;
}

bool DecodeMachORebases(const std::vector<uint8_t>& bytes, const MachOLayout& layout, std::vector<MachORebase>* out,
                        std::string* error) {
    return Guarded(error, [&] { DecodeRebases(ByteReader(bytes), layout, *out); });
}

bool DecodeMachOBinds(const std::vector<uint8_t>& bytes, const MachOLayout& layout, MachOBindStream stream,
                      std::vector<MachOBind>* out, std::string* error) {
    return Guarded(error, [&] { DecodeBinds(ByteReader(bytes), layout, stream, *out); });
}

bool DecodeMachOExports(const std::vector<uint8_t>& bytes, const MachOLayout& layout, std::vector<MachOExport>* out,
                        std::string* error) {
    return Guarded(error, [&] { DecodeExports(ByteReader(bytes), layout, *out); });
}

bool IsUniversalMachO(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 4)
        return false;
    const uint32_t magic = ByteReader(bytes).Be32(0, "magic");
    return magic == kUniversalMagic || magic == kUniversalMagic64;
}

std::optional<std::vector<MachOSlice>> ParseUniversalMachO(const std::vector<uint8_t>& bytes, std::string* error) {
    std::vector<MachOSlice> slices;
    const bool parsed = Guarded(error, [&] {
        const ByteReader in(bytes);
        const uint32_t magic = in.Be32(0, "universal header");
        if (magic != kUniversalMagic && magic != kUniversalMagic64)
            FailFormat("not a universal Mach-O file (magic " + HexText(magic) + ")");
        const bool wide = magic == kUniversalMagic64;
        const uint32_t count = in.Be32(4, "universal slice count");
        // Java class files share the magic; their version number reads as a count far above this.
        if (count == 0 || count > kMaxSlices)
            FailFormat("universal file with " + std::to_string(count) + " slices (1 to " + std::to_string(kMaxSlices) +
                       " expected)");
        const uint64_t entrySize = wide ? 32 : 20;
        const uint64_t tableEnd = 8 + entrySize * count;
        in.Require(8, entrySize * count, "universal slice table");
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t at = 8 + entrySize * i;
            MachOSlice slice;
            slice.cpuType = in.Be32(at, "slice CPU type");
            slice.cpuSubtype = in.Be32(at + 4, "slice CPU subtype") & 0x00ffffffu;
            if (wide) {
                slice.offset = (uint64_t{in.Be32(at + 8, "slice offset")} << 32) | in.Be32(at + 12, "slice offset");
                slice.size = (uint64_t{in.Be32(at + 16, "slice size")} << 32) | in.Be32(at + 20, "slice size");
                slice.alignShift = in.Be32(at + 24, "slice alignment");
            } else {
                slice.offset = in.Be32(at + 8, "slice offset");
                slice.size = in.Be32(at + 12, "slice size");
                slice.alignShift = in.Be32(at + 16, "slice alignment");
            }
            const std::string name = "slice " + std::to_string(i) + " (" + MachOCpuName(slice.cpuType) + ")";
            if (slice.size == 0)
                FailFormat(name + " is empty");
            in.Require(slice.offset, slice.size, name);
            if (slice.offset < tableEnd)
                FailFormat(name + " overlaps the universal header");
            if (slice.alignShift > 16 || slice.offset % (uint64_t{1} << slice.alignShift) != 0)
                FailFormat(name + " is not on its stated alignment (2^" + std::to_string(slice.alignShift) + ")");
            for (const MachOSlice& other : slices) {
                if (other.cpuType == slice.cpuType)
                    FailFormat("the universal file holds " + MachOCpuName(slice.cpuType) + " twice");
                if (slice.offset < other.offset + other.size && other.offset < slice.offset + slice.size)
                    FailFormat(name + " overlaps the " + MachOCpuName(other.cpuType) + " slice");
            }
            slices.push_back(slice);
        }
    });
    if (!parsed)
        return std::nullopt;
    return slices;
}

std::optional<std::vector<uint8_t>> SelectMachOSlice(const std::vector<uint8_t>& bytes, uint32_t cpuType,
                                                    std::string* error) {
    if (!IsUniversalMachO(bytes))
        return bytes;
    const auto slices = ParseUniversalMachO(bytes, error);
    if (!slices)
        return std::nullopt;
    std::string held;
    for (const MachOSlice& slice : *slices) {
        if (slice.cpuType == cpuType)
            return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(slice.offset),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(slice.offset + slice.size));
        held += (held.empty() ? "" : ", ") + MachOCpuName(slice.cpuType);
    }
    if (error)
        *error = "the universal file has no " + MachOCpuName(cpuType) + " slice (it holds " + held + ")";
    return std::nullopt;
}

std::string MachOCpuName(uint32_t cpuType) {
    switch (cpuType) {
    case kMachOCpuX86_64: return "x86-64";
    case kMachOCpuArm64: return "arm64";
    case 7: return "i386";
    case 12: return "arm";
    }
    return "CPU type " + HexText(cpuType);
}

std::string MachOVersionText(uint32_t packed) {
    // Mach-O packs versions as xxxx.yy.zz in nibbles; the patch level is shown only when set.
    std::string text = std::to_string(packed >> 16) + "." + std::to_string((packed >> 8) & 0xff);
    if ((packed & 0xff) != 0)
        text += "." + std::to_string(packed & 0xff);
    return text;
}

} // namespace hostsim
