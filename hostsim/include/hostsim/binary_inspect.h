// binary_inspect.h - reads what a module file exports and imports, without loading it.
//
// The host only ever sees a module through its file: the exported symbols it binds, the libraries
// the operating system must find for it, and the data its registration record starts with. This
// reader answers those questions for the three formats the module ships in:
//   ELF    (Linux .xso64):  .dynsym exports and undefined symbols, DT_NEEDED imports, DT_SONAME;
//   PE/COFF (Windows .xdl64): export directory, import directory (libraries and the names taken
//                           from each), the DLL's internal name;
//   Mach-O (macOS .xlib):   export trie (or the external symbols of the symbol table), the
//                           symbols bound from other libraries (with the library), LC_LOAD_DYLIB
//                           imports, LC_ID_DYLIB, LC_BUILD_VERSION, code signature.
// It works on bytes in memory and never executes or maps anything, so a module for another
// platform can be checked here. Every offset in the file is bounds-checked: a damaged or truncated
// file is refused with a reason, never read out of bounds. Only 64-bit little-endian images are
// accepted. A universal Mach-O file (the macOS module: x86-64 and arm64) is read slice by slice:
// each slice is an image of its own (BinaryImage::Slices).
#ifndef CORVEL_HOSTSIM_BINARY_INSPECT_H
#define CORVEL_HOSTSIM_BINARY_INSPECT_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hostsim {

enum class BinaryFormat { Elf, Pe, MachO };
enum class BinaryKind { SharedLibrary, Executable, Bundle, Other };

// One exported symbol: its undecorated name (Mach-O's leading underscore removed), its address
// (virtual address for ELF and Mach-O, relative virtual address for PE) and the section holding it.
struct ExportedSymbol {
    std::string name;
    uint64_t address = 0;
    std::string section; // e.g. ".data", "__DATA,__bss"; empty when no section covers the address
};

// The initial content of an exported data symbol as the file stores it.
struct SymbolBytes {
    std::string section;
    bool zeroFill = false;      // the bytes come from a zero-initialised area (.bss, __bss, __common)
    std::vector<uint8_t> bytes; // exactly the requested length
};

// One symbol the module needs from another library: its undecorated name and, where the format
// records it (PE, Mach-O with two-level names), the library it must come from; empty for ELF,
// whose loader searches every loaded library.
struct ImportedSymbol {
    std::string library;
    std::string name;
    bool operator==(const ImportedSymbol& o) const { return library == o.library && name == o.name; }
    bool operator<(const ImportedSymbol& o) const {
        return library != o.library ? library < o.library : name < o.name;
    }
};

struct CodeSignature {
    bool present = false;  // LC_CODE_SIGNATURE with a non-empty blob
    bool adhoc = false;    // the code directory carries the ad-hoc flag (no certificate)
    bool hashesMatch = false; // every page hash of the code directory matches the file's content
    std::string identifier; // the code directory's identifier
};

struct BinaryInfo {
    BinaryFormat format = BinaryFormat::Elf;
    BinaryKind kind = BinaryKind::Other;
    std::string architecture;          // "x86-64", "arm64", "i386", or "machine 0x..." when unknown
    std::string internalName;          // DT_SONAME, the PE export directory's DLL name, LC_ID_DYLIB
    std::vector<ExportedSymbol> exports; // sorted by name
    std::vector<std::string> imports;  // needed libraries in file order (names as written)
    std::vector<ImportedSymbol> importedSymbols; // sorted; ELF: undefined dynamic symbols (also weak)
    std::string minimumOs;             // Mach-O only: "11.0" from LC_BUILD_VERSION / version-min
    std::string platform;              // Mach-O only: "macos", "ios", ... from LC_BUILD_VERSION
    CodeSignature signature;           // Mach-O only
    bool hasStaticInitialisers = false; // ELF .init_array or Mach-O __mod_init_func is non-empty
    uint64_t sliceOffset = 0;          // a slice of a universal file: where it starts in the file

    std::vector<std::string> ExportNames() const;
    const ExportedSymbol* FindExport(const std::string& name) const;
};

class BinaryImage {
public:
    // Parses a module image held in memory. Answers nullopt and sets `error` (if given) when the
    // bytes are not a supported, intact image.
    static std::optional<BinaryImage> Parse(std::vector<uint8_t> bytes, std::string* error = nullptr);
    // Reads and parses a file. Errors name the file.
    static std::optional<BinaryImage> Load(const std::string& path, std::string* error = nullptr);

    // For a universal Mach-O file: format Mach-O, architecture "universal", no exports or imports of
    // its own; what each architecture holds is in Slices().
    const BinaryInfo& Info() const { return info_; }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    bool IsUniversal() const { return !slices_.empty(); }
    // The slices of a universal file in the file's order, each parsed from its own bytes (so a
    // slice's addresses, sections and signature are the slice's); empty for a thin file.
    const std::vector<BinaryImage>& Slices() const { return slices_; }
    // The slice for an architecture ("x86-64", "arm64"), or null.
    const BinaryImage* Slice(const std::string& architecture) const;

    // The first `length` bytes of the exported symbol `name` as stored in the file. nullopt when the
    // symbol is not exported or its bytes lie outside the file's sections.
    std::optional<SymbolBytes> ExportedBytes(const std::string& name, size_t length) const;

    // True if the file contains `text` anywhere (a literal that the code of one platform uses).
    bool ContainsText(const std::string& text) const;

    // One section of the image, in the address space the exports use.
    struct Section {
        std::string name;
        uint64_t address = 0;
        uint64_t size = 0;       // size in memory
        uint64_t fileOffset = 0;
        uint64_t fileSize = 0;   // bytes present in the file; the rest of `size` is zero-filled
        bool zeroFill = false;
    };
    const std::vector<Section>& Sections() const { return sections_; }

private:
    BinaryImage() = default;
    std::vector<uint8_t> bytes_;
    BinaryInfo info_;
    std::vector<Section> sections_;
    std::vector<BinaryImage> slices_;
    friend struct BinaryParser;
};

const char* ToString(BinaryFormat format);
const char* ToString(BinaryKind kind);

// A multi-line human-readable report of an image (format, architecture, kind, name, imports,
// exports, and for Mach-O the minimum OS and the code signature); for a universal file a line per
// slice, then each slice's report indented.
std::string DescribeBinary(const BinaryImage& image);

// Whether this platform's system loader may be given the module file `bytes`: an intact image
// (Parse) of the platform's format (ELF on Linux, PE on Windows) and architecture, a shared library,
// and for ELF every table dlopen follows while loading and looking up symbols (program headers,
// dynamic section, string, symbol, hash and version tables, relocations, function arrays) inside
// the file and the segments it maps. False with the reason in `why`.
bool CheckModuleForSystemLoader(std::vector<uint8_t> bytes, std::string* why);

// SHA-256 of a byte range, as 32 raw bytes (used to check Mach-O code signatures).
std::vector<uint8_t> Sha256(const uint8_t* data, size_t size);

} // namespace hostsim

#endif
