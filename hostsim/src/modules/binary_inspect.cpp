// binary_inspect.cpp - ELF, PE/COFF and Mach-O readers for module files (see binary_inspect.h).
//
// Every read goes through ByteReader (byte_reader.h), which refuses offsets outside the file, so a damaged file ends
// in a clear error instead of a stray read. Integers are little-endian except inside Mach-O code
// signatures, which are big-endian by definition.
#include "hostsim/binary_inspect.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>

#include "byte_reader.h"
#include "hostsim/macho_file.h"

namespace hostsim {
namespace {

using Reader = ByteReader;

[[noreturn]] void Fail(const std::string& what) { FailFormat(what); }

std::string MachineName(uint64_t code, BinaryFormat format) {
    switch (format) {
    case BinaryFormat::Elf:
        if (code == 62) return "x86-64";
        if (code == 183) return "arm64";
        if (code == 3) return "i386";
        break;
    case BinaryFormat::Pe:
        if (code == 0x8664) return "x86-64";
        if (code == 0xaa64) return "arm64";
        if (code == 0x14c) return "i386";
        break;
    case BinaryFormat::MachO:
        if (code == 0x01000007) return "x86-64";
        if (code == 0x0100000c) return "arm64";
        if (code == 7) return "i386";
        break;
    }
    return "machine " + HexText(code);
}

} // namespace

struct BinaryParser {
    BinaryImage& image;
    Reader in;

    explicit BinaryParser(BinaryImage& target) : image(target), in(target.bytes_) {}

    BinaryInfo& Info() { return image.info_; }

    void Parse() {
        if (in.Size() >= 4 && in.Le<uint32_t>(0, "magic") == 0x464c457f)
            ParseElf();
        else if (in.Size() >= 2 && in.Le<uint16_t>(0, "magic") == 0x5a4d)
            ParsePe();
        else if (in.Size() >= 4 && in.Le<uint32_t>(0, "magic") == 0xfeedfacf)
            ParseMachO();
        else if (in.Size() >= 4 && (in.Be32(0, "magic") == 0xcafebabe || in.Be32(0, "magic") == 0xcafebabf))
            ParseUniversal();
        else if (in.Size() >= 4 && in.Le<uint32_t>(0, "magic") == 0xfeedface)
            Fail("32-bit Mach-O files are not supported");
        else
            Fail("not an ELF, PE or Mach-O file");
        auto& exports = Info().exports;
        std::sort(exports.begin(), exports.end(),
                  [](const ExportedSymbol& a, const ExportedSymbol& b) { return a.name < b.name; });
        for (auto& symbol : exports)
            if (const auto* section = SectionAt(symbol.address))
                symbol.section = section->name;
        std::sort(Info().importedSymbols.begin(), Info().importedSymbols.end());
    }

    const BinaryImage::Section* SectionAt(uint64_t address) const {
        for (const auto& section : image.sections_)
            if (section.size > 0 && address >= section.address && address - section.address < section.size)
                return &section;
        return nullptr;
    }

    void AddSection(BinaryImage::Section section) {
        if (!section.zeroFill && section.fileSize > 0)
            in.Require(section.fileOffset, section.fileSize, ("section " + section.name).c_str());
        image.sections_.push_back(std::move(section));
    }

    // ---------------------------------------------------------------------------------------------
    // ELF (64-bit, little-endian)
    // ---------------------------------------------------------------------------------------------
    struct ElfSection {
        std::string name;
        uint32_t type = 0;
        uint64_t flags = 0, address = 0, offset = 0, size = 0, entrySize = 0;
        uint32_t link = 0;
    };

    void ParseElf() {
        Info().format = BinaryFormat::Elf;
        in.Require(0, 64, "ELF header");
        if (in.Le<uint8_t>(4, "ELF class") != 2)
            Fail("32-bit ELF files are not supported");
        if (in.Le<uint8_t>(5, "ELF data") != 1)
            Fail("big-endian ELF files are not supported");
        const uint16_t type = in.Le<uint16_t>(16, "ELF type");
        Info().kind = type == 3 ? BinaryKind::SharedLibrary : type == 2 ? BinaryKind::Executable : BinaryKind::Other;
        Info().architecture = MachineName(in.Le<uint16_t>(18, "ELF machine"), BinaryFormat::Elf);
        const uint64_t shoff = in.Le<uint64_t>(40, "section header offset");
        const uint16_t shentsize = in.Le<uint16_t>(58, "section header size");
        const uint16_t shnum = in.Le<uint16_t>(60, "section count");
        const uint16_t shstrndx = in.Le<uint16_t>(62, "section name table index");
        if (shnum == 0)
            Fail("ELF file without section headers");
        if (shentsize < 64)
            Fail("ELF section header entries are too small");
        in.Require(shoff, uint64_t{shentsize} * shnum, "ELF section headers");

        std::vector<ElfSection> sections(shnum);
        for (uint16_t i = 0; i < shnum; ++i) {
            const uint64_t at = shoff + uint64_t{shentsize} * i;
            ElfSection& s = sections[i];
            s.type = in.Le<uint32_t>(at + 4, "section type");
            s.flags = in.Le<uint64_t>(at + 8, "section flags");
            s.address = in.Le<uint64_t>(at + 16, "section address");
            s.offset = in.Le<uint64_t>(at + 24, "section offset");
            s.size = in.Le<uint64_t>(at + 32, "section size");
            s.link = in.Le<uint32_t>(at + 40, "section link");
            s.entrySize = in.Le<uint64_t>(at + 56, "section entry size");
        }
        if (shstrndx >= shnum)
            Fail("ELF section name table index out of range");
        const ElfSection& names = sections[shstrndx];
        in.Require(names.offset, names.size, "ELF section name table");
        for (uint16_t i = 0; i < shnum; ++i) {
            const uint64_t nameOffset = in.Le<uint32_t>(shoff + uint64_t{shentsize} * i, "section name");
            sections[i].name = in.CString(names.offset + nameOffset, names.offset + names.size, "ELF section name");
        }

        constexpr uint32_t kNoBits = 8, kDynSym = 11, kDynamic = 6, kInitArray = 14;
        constexpr uint64_t kAlloc = 2;
        for (const auto& s : sections) {
            if (!(s.flags & kAlloc))
                continue;
            BinaryImage::Section out;
            out.name = s.name;
            out.address = s.address;
            out.size = s.size;
            out.fileOffset = s.offset;
            out.zeroFill = s.type == kNoBits;
            out.fileSize = out.zeroFill ? 0 : s.size;
            AddSection(out);
            if (s.type == kInitArray && s.size > 0)
                Info().hasStaticInitialisers = true;
        }

        auto linkedStrings = [&](const ElfSection& s) -> const ElfSection& {
            if (s.link >= sections.size())
                Fail("ELF section " + s.name + " links to a missing string table");
            const ElfSection& strings = sections[s.link];
            in.Require(strings.offset, strings.size, "ELF string table");
            return strings;
        };

        for (const auto& s : sections) {
            if (s.type == kDynSym) {
                const ElfSection& strings = linkedStrings(s);
                if (s.entrySize < 24 || s.entrySize > s.size)
                    Fail("ELF symbol table has a bad entry size");
                in.Require(s.offset, s.size, "ELF dynamic symbol table");
                for (uint64_t at = s.offset + s.entrySize; at + s.entrySize <= s.offset + s.size; at += s.entrySize) {
                    const uint32_t name = in.Le<uint32_t>(at, "symbol name");
                    const uint8_t info = in.Le<uint8_t>(at + 4, "symbol info");
                    const uint8_t other = in.Le<uint8_t>(at + 5, "symbol visibility");
                    const uint16_t shndx = in.Le<uint16_t>(at + 6, "symbol section");
                    const uint64_t value = in.Le<uint64_t>(at + 8, "symbol value");
                    const unsigned binding = info >> 4;
                    const unsigned visibility = other & 3u;
                    const bool global = binding == 1 || binding == 2 || binding == 10; // GLOBAL, WEAK, GNU_UNIQUE
                    const bool visible = visibility == 0 || visibility == 3;         // DEFAULT, PROTECTED
                    if (shndx == 0 && global) {
                        ImportedSymbol import;
                        import.name = in.CString(strings.offset + name, strings.offset + strings.size, "ELF symbol name");
                        Info().importedSymbols.push_back(import);
                        continue;
                    }
                    if (shndx == 0 || !global || !visible)
                        continue; // not visible to the loader
                    ExportedSymbol symbol;
                    symbol.name = in.CString(strings.offset + name, strings.offset + strings.size, "ELF symbol name");
                    symbol.address = value;
                    Info().exports.push_back(symbol);
                }
            } else if (s.type == kDynamic) {
                const ElfSection& strings = linkedStrings(s);
                in.Require(s.offset, s.size, "ELF dynamic section");
                for (uint64_t at = s.offset; at + 16 <= s.offset + s.size; at += 16) {
                    const int64_t tag = in.Le<int64_t>(at, "dynamic tag");
                    const uint64_t value = in.Le<uint64_t>(at + 8, "dynamic value");
                    if (tag == 0)
                        break;
                    if (tag == 1) // DT_NEEDED
                        Info().imports.push_back(in.CString(strings.offset + value, strings.offset + strings.size, "DT_NEEDED"));
                    else if (tag == 14) // DT_SONAME
                        Info().internalName = in.CString(strings.offset + value, strings.offset + strings.size, "DT_SONAME");
                }
            }
        }
    }

    // ---------------------------------------------------------------------------------------------
    // PE/COFF (PE32+)
    // ---------------------------------------------------------------------------------------------
    // File offset of a relative virtual address inside a section's raw data (not zero-fill).
    uint64_t RvaToOffset(uint64_t rva, uint64_t length, const char* what) const {
        for (const auto& s : image.sections_) {
            if (rva >= s.address && rva - s.address < s.fileSize) {
                if (length > s.fileSize - (rva - s.address))
                    Fail(std::string(what) + " runs past the end of section " + s.name);
                return s.fileOffset + (rva - s.address);
            }
        }
        Fail(std::string(what) + " at RVA " + HexText(rva) + " is not inside any section's data");
    }

    std::string PeString(uint64_t rva, const char* what) const {
        const uint64_t offset = RvaToOffset(rva, 1, what);
        for (const auto& s : image.sections_)
            if (offset >= s.fileOffset && offset - s.fileOffset < s.fileSize)
                return in.CString(offset, s.fileOffset + s.fileSize, what);
        Fail(std::string(what) + ": no section holds the string");
    }

    void ParsePe() {
        Info().format = BinaryFormat::Pe;
        const uint32_t peOffset = in.Le<uint32_t>(0x3c, "PE header offset");
        if (in.Le<uint32_t>(peOffset, "PE signature") != 0x00004550)
            Fail("MZ file without a PE signature");
        const uint64_t coff = uint64_t{peOffset} + 4;
        Info().architecture = MachineName(in.Le<uint16_t>(coff, "COFF machine"), BinaryFormat::Pe);
        const uint16_t sectionCount = in.Le<uint16_t>(coff + 2, "COFF section count");
        const uint16_t optionalSize = in.Le<uint16_t>(coff + 16, "optional header size");
        const uint16_t characteristics = in.Le<uint16_t>(coff + 18, "COFF characteristics");
        Info().kind = (characteristics & 0x2000) ? BinaryKind::SharedLibrary
                      : (characteristics & 0x0002) ? BinaryKind::Executable
                                                   : BinaryKind::Other;
        const uint64_t optional = coff + 20;
        if (in.Le<uint16_t>(optional, "optional header magic") != 0x20b)
            Fail("only PE32+ (64-bit) images are supported");
        if (optionalSize < 112)
            Fail("PE optional header is too small");
        const uint32_t directoryCount = in.Le<uint32_t>(optional + 108, "data directory count");
        auto directory = [&](uint32_t index) -> std::pair<uint32_t, uint32_t> {
            if (index >= directoryCount || 112 + 8 * uint64_t{index} + 8 > optionalSize)
                return {0, 0};
            const uint64_t at = optional + 112 + 8 * uint64_t{index};
            return {in.Le<uint32_t>(at, "data directory"), in.Le<uint32_t>(at + 4, "data directory size")};
        };

        const uint64_t sectionTable = optional + optionalSize;
        in.Require(sectionTable, 40 * uint64_t{sectionCount}, "PE section table");
        for (uint16_t i = 0; i < sectionCount; ++i) {
            const uint64_t at = sectionTable + 40 * uint64_t{i};
            BinaryImage::Section s;
            s.name = in.FixedName(at, 8, "section name");
            const uint32_t virtualSize = in.Le<uint32_t>(at + 8, "section virtual size");
            s.address = in.Le<uint32_t>(at + 12, "section RVA");
            const uint32_t rawSize = in.Le<uint32_t>(at + 16, "section raw size");
            s.fileOffset = in.Le<uint32_t>(at + 20, "section raw offset");
            const uint32_t flags = in.Le<uint32_t>(at + 36, "section flags");
            s.size = virtualSize != 0 ? virtualSize : rawSize;
            s.zeroFill = (flags & 0x80) != 0 && rawSize == 0; // uninitialised data only
            s.fileSize = s.zeroFill ? 0 : std::min<uint64_t>(rawSize, s.size);
            AddSection(s);
        }

        const auto [exportRva, exportSize] = directory(0);
        if (exportRva != 0 && exportSize != 0) {
            const uint64_t dir = RvaToOffset(exportRva, 40, "export directory");
            Info().internalName = PeString(in.Le<uint32_t>(dir + 12, "export name"), "export DLL name");
            const uint32_t functionCount = in.Le<uint32_t>(dir + 20, "export function count");
            const uint32_t nameCount = in.Le<uint32_t>(dir + 24, "export name count");
            const uint32_t functionsRva = in.Le<uint32_t>(dir + 28, "export address table");
            const uint32_t namesRva = in.Le<uint32_t>(dir + 32, "export name table");
            const uint32_t ordinalsRva = in.Le<uint32_t>(dir + 36, "export ordinal table");
            if (nameCount > 0) {
                const uint64_t names = RvaToOffset(namesRva, 4 * uint64_t{nameCount}, "export name table");
                const uint64_t ordinals = RvaToOffset(ordinalsRva, 2 * uint64_t{nameCount}, "export ordinal table");
                const uint64_t functions = RvaToOffset(functionsRva, 4 * uint64_t{functionCount}, "export address table");
                for (uint32_t i = 0; i < nameCount; ++i) {
                    const uint16_t ordinal = in.Le<uint16_t>(ordinals + 2 * uint64_t{i}, "export ordinal");
                    if (ordinal >= functionCount)
                        Fail("export ordinal " + std::to_string(ordinal) + " is outside the address table");
                    ExportedSymbol symbol;
                    symbol.name = PeString(in.Le<uint32_t>(names + 4 * uint64_t{i}, "export name"), "export name");
                    symbol.address = in.Le<uint32_t>(functions + 4 * uint64_t{ordinal}, "export address");
                    Info().exports.push_back(symbol);
                }
            }
        }

        const auto [importRva, importSize] = directory(1);
        if (importRva != 0 && importSize != 0) {
            for (uint64_t index = 0;; ++index) {
                const uint64_t at = RvaToOffset(importRva + 20 * index, 20, "import directory");
                const uint32_t nameRva = in.Le<uint32_t>(at + 12, "import name");
                const uint32_t lookup = in.Le<uint32_t>(at, "import lookup table");
                const uint32_t thunks = in.Le<uint32_t>(at + 16, "import address table");
                if (nameRva == 0 && lookup == 0 && thunks == 0)
                    break;
                Info().imports.push_back(PeString(nameRva, "imported DLL name"));
                ParsePeImportNames(lookup != 0 ? lookup : thunks, Info().imports.back());
                if (index > 4096)
                    Fail("import directory has no terminator");
            }
        }
    }

    // The names a DLL's import lookup table asks for (64-bit entries, zero-terminated); an entry
    // with the top bit set imports by ordinal and is named "#<ordinal>".
    void ParsePeImportNames(uint32_t tableRva, const std::string& library) {
        for (uint64_t index = 0;; ++index) {
            if (index > 65536)
                Fail("import lookup table of " + library + " has no terminator");
            const uint64_t entry = in.Le<uint64_t>(RvaToOffset(tableRva + 8 * index, 8, "import lookup table"), "import entry");
            if (entry == 0)
                return;
            ImportedSymbol import;
            import.library = library;
            if (entry >> 63)
                import.name = "#" + std::to_string(entry & 0xffff);
            else
                import.name = PeString((entry & 0x7fffffff) + 2, "imported name");
            Info().importedSymbols.push_back(import);
        }
    }

    // ---------------------------------------------------------------------------------------------
    // Universal Mach-O: each slice a thin 64-bit Mach-O image of the architecture the table names
    // ---------------------------------------------------------------------------------------------
    void ParseUniversal() {
        Info().format = BinaryFormat::MachO;
        Info().architecture = "universal";
        std::string error;
        const auto slices = ParseUniversalMachO(image.bytes_, &error);
        if (!slices)
            Fail(error);
        bool allLibraries = true;
        for (const MachOSlice& slice : *slices) {
            const std::string name = "slice " + MachOCpuName(slice.cpuType);
            std::vector<uint8_t> bytes(image.bytes_.begin() + static_cast<std::ptrdiff_t>(slice.offset),
                                       image.bytes_.begin() + static_cast<std::ptrdiff_t>(slice.offset + slice.size));
            if (bytes.size() < 4 || Reader(bytes).Le<uint32_t>(0, "magic") != 0xfeedfacf)
                Fail(name + " is not a 64-bit Mach-O image");
            std::optional<BinaryImage> parsed = BinaryImage::Parse(std::move(bytes), &error);
            if (!parsed)
                Fail(name + ": " + error);
            if (parsed->Info().architecture != MachineName(slice.cpuType, BinaryFormat::MachO))
                Fail(name + " holds an image for " + parsed->Info().architecture);
            parsed->info_.sliceOffset = slice.offset;
            allLibraries = allLibraries && parsed->Info().kind == BinaryKind::SharedLibrary;
            image.slices_.push_back(std::move(*parsed));
        }
        Info().kind = allLibraries ? BinaryKind::SharedLibrary : BinaryKind::Other;
    }

    // ---------------------------------------------------------------------------------------------
    // Mach-O (64-bit, little-endian, thin)
    // ---------------------------------------------------------------------------------------------
    void ParseMachO() {
        Info().format = BinaryFormat::MachO;
        std::string error;
        const std::optional<MachOLayout> parsed = hostsim::ParseMachO(image.bytes_, &error);
        if (!parsed)
            Fail(error);
        const MachOLayout& layout = *parsed;
        // arm64e (signed pointers) is arm64's CPU type with a subtype of its own.
        Info().architecture = layout.cpuType == kMachOCpuArm64 && layout.cpuSubtype == kMachOSubtypeArm64e
                                  ? "arm64e"
                                  : MachineName(layout.cpuType, BinaryFormat::MachO);
        Info().kind = layout.fileType == kMachOFileDylib    ? BinaryKind::SharedLibrary
                      : layout.fileType == 2                ? BinaryKind::Executable
                      : layout.fileType == kMachOFileBundle ? BinaryKind::Bundle
                                                            : BinaryKind::Other;
        Info().imports = layout.dylibs;
        Info().internalName = layout.installName;
        if (layout.platform != 0) {
            static const char* const kPlatforms[] = {"unknown", "macos", "ios", "tvos", "watchos", "bridgeos", "maccatalyst"};
            Info().platform = layout.platform < std::size(kPlatforms) ? kPlatforms[layout.platform]
                                                                      : "platform " + std::to_string(layout.platform);
            Info().minimumOs = MachOVersionText(layout.minimumOs);
        }
        for (const auto& segment : layout.segments) {
            for (const auto& section : segment.sections) {
                BinaryImage::Section s;
                s.name = section.FullName();
                s.address = section.address;
                s.size = section.size;
                s.fileOffset = section.fileOffset;
                s.zeroFill = section.ZeroFill();
                s.fileSize = s.zeroFill ? 0 : s.size;
                if (section.Type() == kSectionModInitPointers && section.size > 0)
                    Info().hasStaticInitialisers = true;
                AddSection(s);
            }
        }
        if (layout.exportTrie.size > 0)
            AddTrieExports(layout);
        else
            AddSymbolTableExports(layout);
        AddBoundImports(layout);
        if (layout.codeSignature.size > 0)
            CheckSignature(layout);
    }

    static std::string WithoutUnderscore(std::string name) {
        if (!name.empty() && name[0] == '_')
            name.erase(0, 1);
        return name;
    }

    void AddTrieExports(const MachOLayout& layout) {
        std::vector<MachOExport> exports;
        std::string error;
        if (!DecodeMachOExports(image.bytes_, layout, &exports, &error))
            Fail(error);
        const MachOSegment* text = layout.TextSegment();
        for (const auto& entry : exports) {
            ExportedSymbol symbol;
            symbol.name = WithoutUnderscore(entry.name);
            if (!(entry.flags & MachOExport::kReexport)) // a re-export has no address of its own
                symbol.address = (text ? text->address : 0) + entry.offset;
            Info().exports.push_back(symbol);
        }
    }

    void AddSymbolTableExports(const MachOLayout& layout) {
        const uint64_t symCount = layout.symbols.size;
        if (symCount == 0)
            return;
        uint64_t first = 0, count = symCount;
        if (layout.haveDysymtab) {
            if (layout.firstExternal > symCount || layout.externalCount > symCount - layout.firstExternal)
                Fail("external symbol range is outside the symbol table");
            first = layout.firstExternal;
            count = layout.externalCount;
        }
        const uint64_t strings = layout.strings.offset, stringsEnd = strings + layout.strings.size;
        for (uint64_t i = first; i < first + count; ++i) {
            const uint64_t at = layout.symbols.offset + 16 * i;
            const uint8_t type = in.Le<uint8_t>(at + 4, "symbol type");
            // Skip debug entries (N_STAB), private externs (N_PEXT), locals, and anything not
            // defined in a section (N_SECT).
            if ((type & 0xe0) != 0 || (type & 0x10) != 0 || (type & 0x01) == 0 || (type & 0x0e) != 0x0e)
                continue;
            ExportedSymbol symbol;
            const uint32_t name = in.Le<uint32_t>(at, "symbol name");
            symbol.name = WithoutUnderscore(in.CString(strings + name, stringsEnd, "symbol name"));
            symbol.address = in.Le<uint64_t>(at + 8, "symbol value");
            Info().exports.push_back(symbol);
        }
    }

    // The symbols the dynamic linker binds from other libraries (regular and lazy binds), each
    // once, with the library its ordinal names.
    void AddBoundImports(const MachOLayout& layout) {
        std::set<ImportedSymbol> found;
        for (const MachOBindStream stream : {MachOBindStream::Regular, MachOBindStream::Lazy}) {
            std::vector<MachOBind> binds;
            std::string error;
            if (!DecodeMachOBinds(image.bytes_, layout, stream, &binds, &error))
                Fail(error);
            for (const MachOBind& bind : binds) {
                ImportedSymbol import;
                import.name = WithoutUnderscore(bind.symbol);
                if (bind.libraryOrdinal >= 1 && static_cast<uint64_t>(bind.libraryOrdinal) <= layout.dylibs.size())
                    import.library = layout.dylibs[static_cast<size_t>(bind.libraryOrdinal - 1)];
                found.insert(import);
            }
        }
        Info().importedSymbols.insert(Info().importedSymbols.end(), found.begin(), found.end());
    }

    void CheckSignature(const MachOLayout& layout) {
        CodeSignature& signature = Info().signature;
        signature.present = true;
        const uint64_t blob = layout.codeSignature.offset;
        const uint64_t blobEnd = blob + layout.codeSignature.size;
        if (in.Be32(blob, "signature magic") != 0xfade0cc0)
            Fail("code signature is not an embedded signature super-blob");
        const uint32_t count = in.Be32(blob + 8, "signature blob count");
        if (12 + 8 * uint64_t{count} > layout.codeSignature.size)
            Fail("code signature index runs past the signature");
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t slot = in.Be32(blob + 12 + 8 * uint64_t{i}, "signature slot type");
            const uint64_t directory = blob + in.Be32(blob + 16 + 8 * uint64_t{i}, "signature slot offset");
            if (slot != 0) // the code directory
                continue;
            if (directory + 44 > blobEnd || in.Be32(directory, "code directory magic") != 0xfade0c02)
                Fail("code signature's code directory is damaged");
            const uint32_t length = in.Be32(directory + 4, "code directory length");
            if (length < 44 || length > blobEnd - directory)
                Fail("code directory length runs past the signature");
            const uint32_t flags = in.Be32(directory + 12, "code directory flags");
            const uint32_t hashOffset = in.Be32(directory + 16, "code directory hash offset");
            const uint32_t identOffset = in.Be32(directory + 20, "code directory identifier offset");
            const uint32_t codeSlots = in.Be32(directory + 28, "code directory slot count");
            const uint32_t codeLimit = in.Be32(directory + 32, "code directory code limit");
            const uint8_t hashSize = in.Le<uint8_t>(directory + 36, "code directory hash size");
            const uint8_t hashType = in.Le<uint8_t>(directory + 37, "code directory hash type");
            const uint8_t pageShift = in.Le<uint8_t>(directory + 39, "code directory page size");
            signature.adhoc = (flags & 0x2) != 0;
            signature.identifier = in.CString(directory + identOffset, directory + length, "signature identifier");
            if (hashType != 2 || hashSize != 32)
                Fail("code signature uses a hash other than SHA-256 (type " + std::to_string(hashType) + ")");
            if (pageShift < 9 || pageShift > 20)
                Fail("code signature has an implausible page size");
            const uint64_t pageSize = uint64_t{1} << pageShift;
            if (codeLimit > in.Size() || (uint64_t{codeLimit} + pageSize - 1) / pageSize != codeSlots)
                Fail("code signature's page count does not match its code limit");
            if (uint64_t{hashOffset} + 32 * uint64_t{codeSlots} > length)
                Fail("code signature's hashes run past its code directory");
            bool match = true;
            for (uint32_t page = 0; page < codeSlots && match; ++page) {
                const uint64_t start = pageSize * page;
                const uint64_t size = std::min<uint64_t>(pageSize, codeLimit - start);
                const std::vector<uint8_t> digest = Sha256(image.bytes_.data() + start, static_cast<size_t>(size));
                const uint8_t* expected = image.bytes_.data() + directory + hashOffset + 32 * uint64_t{page};
                match = std::equal(digest.begin(), digest.end(), expected);
            }
            signature.hashesMatch = match;
            return;
        }
        Fail("code signature has no code directory");
    }
};

const BinaryImage* BinaryImage::Slice(const std::string& architecture) const {
    for (const auto& slice : slices_)
        if (slice.Info().architecture == architecture)
            return &slice;
    return nullptr;
}

std::vector<std::string> BinaryInfo::ExportNames() const {
    std::vector<std::string> names;
    for (const auto& symbol : exports)
        names.push_back(symbol.name);
    return names;
}

const ExportedSymbol* BinaryInfo::FindExport(const std::string& name) const {
    for (const auto& symbol : exports)
        if (symbol.name == name)
            return &symbol;
    return nullptr;
}

std::optional<BinaryImage> BinaryImage::Parse(std::vector<uint8_t> bytes, std::string* error) {
    BinaryImage image;
    image.bytes_ = std::move(bytes);
    try {
        BinaryParser parser(image);
        parser.Parse();
    } catch (const FormatError& failure) {
        if (error)
            *error = failure.what();
        return std::nullopt;
    }
    return image;
}

std::optional<BinaryImage> BinaryImage::Load(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error)
            *error = "cannot open " + path;
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        if (error)
            *error = "cannot read " + path;
        return std::nullopt;
    }
    std::string reason;
    auto image = Parse(std::move(bytes), &reason);
    if (!image && error)
        *error = path + ": " + reason;
    return image;
}

std::optional<SymbolBytes> BinaryImage::ExportedBytes(const std::string& name, size_t length) const {
    const ExportedSymbol* symbol = info_.FindExport(name);
    if (!symbol)
        return std::nullopt;
    for (const auto& section : sections_) {
        if (symbol->address < section.address || symbol->address - section.address >= section.size)
            continue;
        const uint64_t offset = symbol->address - section.address;
        if (length > section.size - offset)
            return std::nullopt;
        SymbolBytes result;
        result.section = section.name;
        result.zeroFill = section.zeroFill || offset >= section.fileSize;
        result.bytes.assign(length, 0);
        // Bytes beyond the file part of a section (PE's raw size < virtual size) read as zero.
        for (size_t i = 0; i < length; ++i)
            if (!section.zeroFill && offset + i < section.fileSize)
                result.bytes[i] = bytes_[static_cast<size_t>(section.fileOffset + offset + i)];
        return result;
    }
    return std::nullopt;
}

bool BinaryImage::ContainsText(const std::string& text) const {
    if (text.empty())
        return true;
    return std::search(bytes_.begin(), bytes_.end(), text.begin(), text.end()) != bytes_.end();
}

const char* ToString(BinaryFormat format) {
    switch (format) {
    case BinaryFormat::Elf: return "ELF";
    case BinaryFormat::Pe: return "PE32+";
    case BinaryFormat::MachO: return "Mach-O";
    }
    return "?";
}

const char* ToString(BinaryKind kind) {
    switch (kind) {
    case BinaryKind::SharedLibrary: return "shared library";
    case BinaryKind::Executable: return "executable";
    case BinaryKind::Bundle: return "bundle";
    case BinaryKind::Other: return "other";
    }
    return "?";
}

std::string DescribeBinary(const BinaryImage& image) {
    const BinaryInfo& info = image.Info();
    std::ostringstream out;
    if (image.IsUniversal()) {
        out << "format:        Mach-O universal, " << image.Slices().size() << " slices\n";
        out << "size:          " << image.Bytes().size() << " bytes\n";
        for (const auto& slice : image.Slices())
            out << "  " << slice.Info().architecture << " at offset " << slice.Info().sliceOffset << ", "
                << slice.Bytes().size() << " bytes\n";
        for (const auto& slice : image.Slices()) {
            out << "slice " << slice.Info().architecture << ":\n";
            std::istringstream lines(DescribeBinary(slice));
            for (std::string line; std::getline(lines, line);)
                out << "  " << line << '\n';
        }
        return out.str();
    }
    out << "format:        " << ToString(info.format) << ' ' << ToString(info.kind) << '\n';
    out << "architecture:  " << info.architecture << '\n';
    out << "size:          " << image.Bytes().size() << " bytes\n";
    if (!info.internalName.empty())
        out << "name:          " << info.internalName << '\n';
    if (info.format == BinaryFormat::MachO) {
        out << "platform:      " << (info.platform.empty() ? "(none)" : info.platform) << ' '
            << (info.minimumOs.empty() ? "(no minimum)" : info.minimumOs) << '\n';
        out << "signature:     "
            << (!info.signature.present ? "none"
                : std::string(info.signature.adhoc ? "ad-hoc" : "certificate") +
                      (info.signature.hashesMatch ? ", page hashes match" : ", PAGE HASHES DO NOT MATCH") +
                      (info.signature.identifier.empty() ? "" : ", identifier " + info.signature.identifier))
            << '\n';
    }
    out << "imports:       " << info.imports.size() << '\n';
    for (const auto& name : info.imports)
        out << "  " << name << '\n';
    out << "imported symbols: " << info.importedSymbols.size() << '\n';
    for (const auto& symbol : info.importedSymbols)
        out << "  " << (symbol.library.empty() ? "" : symbol.library + ": ") << symbol.name << '\n';
    out << "exports:       " << info.exports.size() << '\n';
    for (const auto& symbol : info.exports)
        out << "  " << symbol.name << "  " << HexText(symbol.address)
            << (symbol.section.empty() ? "" : "  " + symbol.section) << '\n';
    return out.str();
}

// SHA-256 (FIPS 180-4), small and unhurried: it only checks code signatures.
std::vector<uint8_t> Sha256(const uint8_t* data, size_t size) {
    static const uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    auto rotr = [](uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); };

    std::vector<uint8_t> message(data, data + size);
    message.push_back(0x80);
    while (message.size() % 64 != 56)
        message.push_back(0);
    const uint64_t bits = static_cast<uint64_t>(size) * 8;
    for (int shift = 56; shift >= 0; shift -= 8)
        message.push_back(static_cast<uint8_t>(bits >> shift));

    for (size_t block = 0; block < message.size(); block += 64) {
        uint32_t w[64];
        for (size_t i = 0; i < 16; ++i)
            w[i] = (uint32_t{message[block + 4 * i]} << 24) | (uint32_t{message[block + 4 * i + 1]} << 16) |
                   (uint32_t{message[block + 4 * i + 2]} << 8) | uint32_t{message[block + 4 * i + 3]};
        for (size_t i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (size_t i = 0; i < 64; ++i) {
            const uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
    }
    std::vector<uint8_t> digest(32);
    for (size_t i = 0; i < 8; ++i)
        for (size_t j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(h[i] >> (24 - 8 * j));
    return digest;
}

} // namespace hostsim
