// The module file checked before the system loader sees it. dlopen trusts an ELF file's program
// headers, dynamic section, hash tables, version tables and relocations, and a damaged one makes
// it read or write anywhere (or stop the process on an assertion). Everything it follows while
// loading and while looking up the exports is checked here against the file and against the
// segments it maps, so such a file is refused with a reason and never handed over.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include "byte_reader.h"
#include "hostsim/binary_inspect.h"
#include "module_loaders.h"

namespace hostsim {
namespace {

// The relocation kinds the check tells apart, as numbered for the processor this host runs on (it
// loads only modules of its own processor).
struct RelocationKinds {
    uint32_t none, globDat, jumpSlot, relative, irelative, tlsFirst, tlsLast;
    bool IsTls(uint32_t type) const { return type >= tlsFirst && type <= tlsLast; }
};
#if defined(__aarch64__)
constexpr RelocationKinds kReloc{0, 1025, 1026, 1027, 1032, 1028, 1031}; // R_AARCH64_*
#else
constexpr RelocationKinds kReloc{0, 6, 7, 8, 37, 16, 18}; // R_X86_64_*
#endif

struct Segment {
    uint64_t vaddr = 0, memsz = 0, offset = 0, filesz = 0;
    uint32_t flags = 0; // PF_X 1, PF_W 2, PF_R 4
};

class ElfLoadCheck {
public:
    ElfLoadCheck(const std::vector<uint8_t>& bytes, const std::vector<BinaryImage::Section>& sections)
        : in(bytes), sections_(sections) {}

    void Run() {
        in.Require(0, 64, "ELF header");
        if (in.Le<uint16_t>(16, "ELF type") != 3)
            FailFormat("it is not an ELF shared library (type " + std::to_string(in.Le<uint16_t>(16, "ELF type")) + ")");
        ProgramHeaders();
        Dynamic();
        StringTable();
        Symbols();
        Relocations();
        Versions();
        Arrays();
    }

    // Imports bound to a version of a needed library: symbol, version, library.
    struct VersionedImport {
        std::string symbol, version, library;
    };
    std::vector<VersionedImport> versionedImports;

private:
    ByteReader in;
    const std::vector<BinaryImage::Section>& sections_;
    std::vector<Segment> loads;
    Segment dynamic, relro, tls;
    bool hasDynamic = false, hasTls = false;
    std::map<int64_t, uint64_t> tags; // the first entry of each tag
    std::vector<uint64_t> strings;    // DT_NEEDED, DT_SONAME, DT_RPATH, DT_RUNPATH values
    uint64_t strtab = 0, strsz = 0, symcount = 0;

    static std::string Hex(uint64_t v) { return HexText(v); }

    bool Has(int64_t tag) const { return tags.count(tag) != 0; }
    uint64_t Tag(int64_t tag) const { return tags.at(tag); }

    // The load segment holding [address, address + size) in memory; with `inFile` the range must
    // also be file content (tables the loader reads before anything is relocated).
    const Segment& Mapped(uint64_t address, uint64_t size, bool inFile, const std::string& what) const {
        for (const Segment& s : loads) {
            const uint64_t limit = inFile ? s.filesz : s.memsz;
            if (address >= s.vaddr && address - s.vaddr <= limit && size <= limit - (address - s.vaddr))
                return s;
        }
        FailFormat(what + " (address " + Hex(address) + ", " + std::to_string(size) +
                   " bytes) lies outside the segments the file maps");
    }
    uint64_t FileOffset(uint64_t address, uint64_t size, const std::string& what) const {
        const Segment& s = Mapped(address, size, true, what);
        return s.offset + (address - s.vaddr);
    }

    void ProgramHeaders() {
        const uint64_t phoff = in.Le<uint64_t>(32, "program header offset");
        const uint16_t phentsize = in.Le<uint16_t>(54, "program header size");
        const uint16_t phnum = in.Le<uint16_t>(56, "program header count");
        if (phnum == 0)
            FailFormat("ELF shared library without program headers");
        if (phentsize < 56)
            FailFormat("ELF program header entries are too small");
        in.Require(phoff, uint64_t{phentsize} * phnum, "ELF program headers");
        std::vector<Segment> others;
        for (uint16_t i = 0; i < phnum; ++i) {
            const uint64_t at = phoff + uint64_t{phentsize} * i;
            const uint32_t type = in.Le<uint32_t>(at, "segment type");
            Segment s;
            s.flags = in.Le<uint32_t>(at + 4, "segment flags");
            s.offset = in.Le<uint64_t>(at + 8, "segment offset");
            s.vaddr = in.Le<uint64_t>(at + 16, "segment address");
            s.filesz = in.Le<uint64_t>(at + 32, "segment file size");
            s.memsz = in.Le<uint64_t>(at + 40, "segment memory size");
            const uint64_t align = in.Le<uint64_t>(at + 48, "segment alignment");
            const std::string what = "segment " + std::to_string(i);
            if (s.vaddr + s.memsz < s.vaddr || s.offset + s.filesz < s.offset)
                FailFormat(what + " wraps around the address space");
            switch (type) {
            case 1: // PT_LOAD
                in.Require(s.offset, s.filesz, what);
                if (s.filesz > s.memsz)
                    FailFormat(what + " holds more bytes in the file than in memory");
                if (align > 1 && ((align & (align - 1)) != 0 || (s.vaddr - s.offset) % align != 0))
                    FailFormat(what + " is not aligned as it says (alignment " + Hex(align) + ")");
                if (!loads.empty() && s.vaddr < loads.back().vaddr + loads.back().memsz)
                    FailFormat(what + " overlaps or precedes the segment before it");
                loads.push_back(s);
                break;
            case 2: // PT_DYNAMIC
                if (hasDynamic)
                    FailFormat("ELF file with two dynamic segments");
                dynamic = s;
                hasDynamic = true;
                break;
            case 7: // PT_TLS
                in.Require(s.offset, s.filesz, what);
                tls = s;
                hasTls = true;
                others.push_back(s);
                break;
            case 0x6474e552: // PT_GNU_RELRO
                relro = s;
                others.push_back(s);
                break;
            case 3: case 4: case 0x6474e550: case 0x6474e553: // INTERP, NOTE, EH_FRAME, PROPERTY
                in.Require(s.offset, s.filesz, what);
                others.push_back(s);
                break;
            default:
                break;
            }
        }
        if (loads.empty())
            FailFormat("ELF shared library without loadable segments");
        const uint64_t span = loads.back().vaddr + loads.back().memsz - loads.front().vaddr;
        if (span > (uint64_t{1} << 30))
            FailFormat("its segments span more than 1 GiB");
        for (const Segment& s : others)
            if (s.memsz > 0)
                Mapped(s.vaddr, s.memsz, false, "a segment that must lie inside the loaded ones");
        if (!hasDynamic)
            FailFormat("ELF shared library without a dynamic segment");
    }

    void Dynamic() {
        if (dynamic.filesz % 16 != 0 || dynamic.filesz == 0)
            FailFormat("the dynamic segment's size is not a whole number of entries");
        const uint64_t at = FileOffset(dynamic.vaddr, dynamic.filesz, "the dynamic segment");
        if (at != dynamic.offset)
            FailFormat("the dynamic segment's file offset does not match its address");
        bool ended = false;
        for (uint64_t p = at; p + 16 <= at + dynamic.filesz; p += 16) {
            const auto tag = in.Le<int64_t>(p, "dynamic tag");
            const uint64_t value = in.Le<uint64_t>(p + 8, "dynamic value");
            if (tag == 0) {
                ended = true;
                break;
            }
            tags.emplace(tag, value);
            if (tag == 1 || tag == 14 || tag == 15 || tag == 29)
                strings.push_back(value);
        }
        if (!ended)
            FailFormat("the dynamic section has no end entry");
        // Only the kinds of entry a module of this host carries: a damaged tag is refused, not
        // taken for something else or silently dropped (the loader would then skip a table).
        static const int64_t kKnown[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 20,
                                         21, 23, 24, 25, 26, 27, 28, 29, 30, 32, 33, 0x6ffffef5, 0x6ffffff0,
                                         0x6ffffff9, 0x6ffffffb, 0x6ffffffc, 0x6ffffffd, 0x6ffffffe, 0x6fffffff};
        for (const auto& t : tags)
            if (std::find(std::begin(kKnown), std::end(kKnown), t.first) == std::end(kKnown))
                FailFormat("the dynamic section has an entry of unknown kind " + Hex(static_cast<uint64_t>(t.first)));
        if (Has(7) != Has(8) || Has(23) != Has(2))
            FailFormat("a relocation table of the dynamic section comes without its size, or a size without it");
        if (Has(3))
            if (!(Mapped(Tag(3), 24, false, "the global offset table").flags & 2))
                FailFormat("the global offset table is not in a writable segment");
        for (int64_t tag : {int64_t{5}, int64_t{10}, int64_t{6}})
            if (!Has(tag))
                FailFormat("the dynamic section lacks its " +
                           std::string(tag == 5 ? "string table" : tag == 10 ? "string table size" : "symbol table"));
        if (Has(11) && Tag(11) != 24)
            FailFormat("the symbol entry size is " + std::to_string(Tag(11)) + ", not 24");
        if (Has(17) || Has(18))
            FailFormat("it has REL relocations, which x86-64 does not use");
        if (Has(22))
            FailFormat("it has text relocations");
    }

    uint64_t StringAt(uint64_t offset, const char* what) const {
        if (offset >= strsz)
            FailFormat(std::string(what) + ": string offset " + Hex(offset) + " is outside the string table");
        in.CString(strtab + offset, strtab + strsz, what);
        return offset;
    }

    void StringTable() {
        strsz = Tag(10);
        strtab = FileOffset(Tag(5), strsz, "the string table");
        for (uint64_t s : strings)
            StringAt(s, "a library or search path name");
    }

    // The number of symbols the lookup tables reach, which the symbol table must hold.
    void Symbols() {
        if (Has(0x6ffffef5))
            GnuHash(Tag(0x6ffffef5));
        if (Has(4))
            SysvHash(Tag(4));
        if (!Has(0x6ffffef5) && !Has(4))
            FailFormat("the dynamic section has no symbol hash table");
        const uint64_t at = FileOffset(Tag(6), symcount * 24, "the symbol table");
        for (uint64_t i = 0; i < symcount; ++i) {
            const uint32_t name = in.Le<uint32_t>(at + i * 24, "symbol name");
            if (name != 0)
                StringAt(name, "a symbol name");
        }
    }

    void SysvHash(uint64_t address) {
        const uint64_t at = FileOffset(address, 8, "the hash table");
        const uint32_t nbucket = in.Le<uint32_t>(at, "hash bucket count");
        const uint32_t nchain = in.Le<uint32_t>(at + 4, "hash chain count");
        if (nbucket == 0)
            FailFormat("the hash table has no buckets");
        FileOffset(address, 8 + 4 * (uint64_t{nbucket} + nchain), "the hash table");
        for (uint64_t i = 0; i < uint64_t{nbucket} + nchain; ++i)
            if (in.Le<uint32_t>(at + 8 + 4 * i, "hash entry") >= nchain)
                FailFormat("the hash table names symbol " + std::to_string(in.Le<uint32_t>(at + 8 + 4 * i, "hash entry")) +
                           " of " + std::to_string(nchain));
        symcount = std::max<uint64_t>(symcount, nchain);
    }

    void GnuHash(uint64_t address) {
        const uint64_t at = FileOffset(address, 16, "the GNU hash table");
        const uint32_t nbuckets = in.Le<uint32_t>(at, "GNU hash bucket count");
        const uint32_t symoffset = in.Le<uint32_t>(at + 4, "GNU hash symbol offset");
        const uint32_t bloomSize = in.Le<uint32_t>(at + 8, "GNU hash filter size");
        if (nbuckets == 0 || bloomSize == 0 || (bloomSize & (bloomSize - 1)) != 0)
            FailFormat("the GNU hash table has " + std::to_string(nbuckets) + " buckets and a filter of " +
                       std::to_string(bloomSize) + " words");
        const uint64_t buckets = 16 + 8 * uint64_t{bloomSize};
        const uint64_t chains = buckets + 4 * uint64_t{nbuckets};
        const Segment& holder = Mapped(address, chains, true, "the GNU hash table");
        const uint64_t end = holder.offset + holder.filesz; // chains run at most to the segment's end
        uint64_t count = symoffset;
        for (uint32_t b = 0; b < nbuckets; ++b) {
            const uint32_t first = in.Le<uint32_t>(at + buckets + 4 * uint64_t{b}, "GNU hash bucket");
            if (first == 0)
                continue;
            if (first < symoffset)
                FailFormat("a GNU hash bucket names symbol " + std::to_string(first) + " below the hashed ones");
            for (uint64_t i = first;; ++i) {
                const uint64_t entry = at + chains + 4 * (i - symoffset);
                if (entry + 4 > end)
                    FailFormat("a GNU hash chain runs past its segment");
                count = std::max(count, i + 1);
                if (in.Le<uint32_t>(entry, "GNU hash chain") & 1)
                    break;
            }
        }
        symcount = std::max(symcount, count);
    }

    void Relocations() {
        if (Has(9) && Tag(9) != 24)
            FailFormat("the relocation entry size is " + std::to_string(Tag(9)) + ", not 24");
        if (Has(20) && Tag(20) != 7)
            FailFormat("the PLT relocations are not of the RELA kind");
        if (Has(7))
            RelocationTable(Tag(7), Has(8) ? Tag(8) : 0, "the relocation table", Has(0x6ffffff9) ? Tag(0x6ffffff9) : 0);
        else if (Has(0x6ffffff9) && Tag(0x6ffffff9) != 0)
            FailFormat("relative relocations are counted but there is no relocation table");
        if (Has(23))
            RelocationTable(Tag(23), Has(2) ? Tag(2) : 0, "the PLT relocation table");
    }

    void RelocationTable(uint64_t address, uint64_t size, const char* what, uint64_t relative = 0) {
        if (size % 24 != 0)
            FailFormat(std::string(what) + " is not a whole number of entries");
        const uint64_t at = FileOffset(address, size, what);
        // The loader applies the first `relative` entries (DT_RELACOUNT) as relative ones unseen.
        if (relative > size / 24)
            FailFormat("the count of relative relocations is larger than " + std::string(what));
        for (uint64_t i = 0; i < relative; ++i)
            if (static_cast<uint32_t>(in.Le<uint64_t>(at + 24 * i + 8, "relocation info")) != kReloc.relative)
                FailFormat(std::string(what) + " entry " + std::to_string(i) +
                           " is counted as relative but is of another kind");
        const uint64_t imageEnd = loads.back().vaddr + loads.back().memsz;
        for (uint64_t p = at; p < at + size; p += 24) {
            const uint64_t place = in.Le<uint64_t>(p, "relocation offset");
            const uint64_t info = in.Le<uint64_t>(p + 8, "relocation info");
            const auto addend = in.Le<int64_t>(p + 16, "relocation addend");
            const uint32_t type = static_cast<uint32_t>(info);
            const uint64_t symbol = info >> 32;
            const std::string entry = std::string(what) + " entry " + std::to_string((p - at) / 24);
            if (type == kReloc.none)
                continue;
            if (!(Mapped(place, 8, false, entry).flags & 2))
                FailFormat(entry + " writes into a read-only segment");
            if (symbol >= symcount)
                FailFormat(entry + " names symbol " + std::to_string(symbol) + " of " + std::to_string(symcount));
            if ((type == kReloc.globDat || type == kReloc.jumpSlot) && symbol == 0) // they bind a symbol
                FailFormat(entry + " binds no symbol");
            if (type == kReloc.jumpSlot) { // a call goes there
                const unsigned kind = in.Le<uint8_t>(FileOffset(Tag(6), 24 * (symbol + 1), "the symbol table") + 24 * symbol + 4,
                                                     "symbol info") & 0xfu;
                if (kind != 0 && kind != 2 && kind != 10) // NOTYPE, FUNC, GNU_IFUNC
                    FailFormat(entry + " binds a call to symbol " + std::to_string(symbol) + ", which is not a function");
            }
            if (kReloc.IsTls(type) && !hasTls)
                FailFormat(entry + " is a thread-local relocation in a module without thread-local data");
            // RELATIVE and IRELATIVE make a pointer into the module; IRELATIVE also calls it.
            if ((type == kReloc.relative || type == kReloc.irelative) &&
                (addend < 0 || static_cast<uint64_t>(addend) > imageEnd))
                FailFormat(entry + " makes a pointer outside the module (" + Hex(static_cast<uint64_t>(addend)) + ")");
            if (type == kReloc.irelative && !(Mapped(static_cast<uint64_t>(addend), 1, false, entry).flags & 1))
                FailFormat(entry + " calls a resolver outside the module's code");
            // A slot of a function array the loader calls at load or unload: a pointer into the code.
            if (InFunctionArray(place)) {
                if (type != kReloc.relative || !(Mapped(static_cast<uint64_t>(addend), 1, false, entry).flags & 1))
                    FailFormat(entry + " puts something other than a function of the module into a function array");
                calledSlots.insert(place);
            }
        }
    }

    std::set<uint64_t> calledSlots; // function array slots a relocation fills

    bool InFunctionArray(uint64_t place) const {
        const std::pair<int64_t, int64_t> arrays[] = {{25, 27}, {26, 28}, {32, 33}};
        for (const auto& a : arrays)
            if (Has(a.first) && place >= Tag(a.first) && place - Tag(a.first) < (Has(a.second) ? Tag(a.second) : 0))
                return true;
        return false;
    }

    // Version tables, walked as the loader walks them: each list to the entry whose "next" is 0 (the
    // counts of the dynamic section must agree), every name inside the string table, and every
    // symbol's version index one that the tables define.
    void Versions() {
        std::set<uint32_t> indices = {0, 1}; // local, global
        std::map<uint32_t, std::pair<std::string, std::string>> neededVersions; // index -> library, version
        if (Has(0x6ffffffe))
            indices.merge(WalkVersions(Tag(0x6ffffffe), Has(0x6fffffff) ? Tag(0x6fffffff) : 0, true, &neededVersions));
        if (Has(0x6ffffffc))
            indices.merge(WalkVersions(Tag(0x6ffffffc), Has(0x6ffffffd) ? Tag(0x6ffffffd) : 0, false, nullptr));
        if (Has(0x6ffffff0)) {
            const uint64_t at = FileOffset(Tag(0x6ffffff0), symcount * 2, "the symbol version table");
            for (uint64_t i = 0; i < symcount; ++i) {
                const uint32_t index = in.Le<uint16_t>(at + 2 * i, "symbol version") & 0x7fffu;
                if (!indices.count(index))
                    FailFormat("symbol " + std::to_string(i) + " has version " + std::to_string(index) +
                               ", which no version table defines");
                const auto needed = neededVersions.find(index);
                const uint64_t symbol = FileOffset(Tag(6), symcount * 24, "the symbol table") + 24 * i;
                if (needed != neededVersions.end() && in.Le<uint16_t>(symbol + 6, "symbol section") == 0)
                    versionedImports.push_back({in.CString(strtab + in.Le<uint32_t>(symbol, "symbol name"), strtab + strsz,
                                                           "symbol name"),
                                                needed->second.second, needed->second.first});
            }
        }
    }

    // A needed-versions list (`needed`) or a version-definitions list; answers the version indices
    // it defines.
    std::set<uint32_t> WalkVersions(uint64_t address, uint64_t count, bool needed,
                                    std::map<uint32_t, std::pair<std::string, std::string>>* names) {
        constexpr uint64_t kMaxEntries = 4096;
        const char* what = needed ? "a needed version" : "a version definition";
        std::set<uint32_t> indices;
        uint64_t entries = 0;
        for (uint64_t at = address;; ++entries) {
            if (entries >= kMaxEntries)
                FailFormat(std::string(what) + " list does not end");
            const uint64_t p = FileOffset(at, needed ? 16 : 20, what);
            if (at % 4 != 0 || in.Le<uint16_t>(p, "version revision") != 1)
                FailFormat(std::string(what) + " at " + Hex(at) + " is misplaced or of an unknown revision");
            std::string library;
            if (needed)
                library = in.CString(strtab + StringAt(in.Le<uint32_t>(p + 4, "needed version library"),
                                                       "a needed version's library"),
                                     strtab + strsz, "library name");
            else
                indices.insert(in.Le<uint16_t>(p + 4, "version index") & 0x7fffu);
            const uint16_t auxCount = in.Le<uint16_t>(p + (needed ? 2 : 6), "version entry count");
            uint64_t aux = at + in.Le<uint32_t>(p + (needed ? 8 : 12), "version entries");
            for (uint32_t k = 0; needed ? true : k < auxCount; ++k) {
                if (k >= kMaxEntries)
                    FailFormat(std::string(what) + "'s entries do not end");
                const uint64_t q = FileOffset(aux, needed ? 16 : 8, std::string(what) + "'s entry");
                if (aux % 4 != 0)
                    FailFormat(std::string(what) + "'s entry at " + Hex(aux) + " is misplaced");
                const uint64_t name = StringAt(in.Le<uint32_t>(q + (needed ? 8 : 0), "version name"), "a version name");
                if (needed) {
                    const uint32_t index = in.Le<uint16_t>(q + 6, "version index") & 0x7fffu;
                    indices.insert(index);
                    (*names)[index] = {library, in.CString(strtab + name, strtab + strsz, "version name")};
                }
                const uint32_t next = in.Le<uint32_t>(q + (needed ? 12 : 4), "next version entry");
                if (needed && k + 1 == auxCount && next != 0)
                    FailFormat(std::string(what) + " has more entries than it counts");
                if (next == 0) {
                    if (needed && k + 1 != auxCount)
                        FailFormat(std::string(what) + " has fewer entries than it counts");
                    break;
                }
                aux += next;
            }
            const uint32_t next = in.Le<uint32_t>(p + (needed ? 12 : 16), "next version");
            if (next == 0)
                break;
            at += next;
        }
        if (count != entries + 1)
            FailFormat(std::string(what) + " list holds " + std::to_string(entries + 1) + " entries; the dynamic section counts " +
                       std::to_string(count));
        return indices;
    }

    // What the dynamic section says the loader calls must be what the section headers say: the
    // linker writes both, and a damaged entry would have the loader call into the middle of code.
    void SameAsSection(int64_t tag, int64_t sizeTag, const char* name) const {
        if (!Has(tag))
            return;
        for (const auto& section : sections_)
            if (section.name == name && section.address == Tag(tag) && (sizeTag == 0 || section.size == (Has(sizeTag) ? Tag(sizeTag) : 0)))
                return;
        FailFormat(std::string("the dynamic section's ") + name + " does not match the section of that name");
    }

    // The functions the loader calls at load and unload.
    void Arrays() {
        SameAsSection(12, 0, ".init");
        SameAsSection(13, 0, ".fini");
        SameAsSection(25, 27, ".init_array");
        SameAsSection(26, 28, ".fini_array");
        SameAsSection(32, 33, ".preinit_array");
        // A shortened relocation table would leave pointers as they stand in the file.
        SameAsSection(7, 8, ".rela.dyn");
        SameAsSection(23, 2, ".rela.plt");
        if (Has(12))
            if (!(Mapped(Tag(12), 1, true, "the initialisation function").flags & 1))
                FailFormat("the initialisation function is not in the module's code");
        if (Has(13))
            if (!(Mapped(Tag(13), 1, true, "the finalisation function").flags & 1))
                FailFormat("the finalisation function is not in the module's code");
        const std::pair<int64_t, int64_t> arrays[] = {{25, 27}, {26, 28}, {32, 33}};
        for (const auto& a : arrays) {
            if (!Has(a.first))
                continue;
            const uint64_t size = Has(a.second) ? Tag(a.second) : 0;
            if (size % 8 != 0)
                FailFormat("a function array's size is not a whole number of pointers");
            Mapped(Tag(a.first), size, false, "a function array");
            // In a module loaded at any address every slot needs its relocation; the loader would
            // call an unrelocated one as it stands in the file.
            for (uint64_t slot = Tag(a.first); slot < Tag(a.first) + size; slot += 8)
                if (!calledSlots.count(slot))
                    FailFormat("slot " + Hex(slot) + " of a function array has no relocation");
        }
    }
};

// The whole file, at most 256 MiB (no module comes near; the host will not read a disk image).
bool ReadModuleBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* why) {
    constexpr uint64_t kMaxModuleBytes = uint64_t{256} << 20;
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    if (ec || size > kMaxModuleBytes) {
        *why = ec ? "the file cannot be read (" + ec.message() + ")" : "the file is larger than 256 MiB";
        return false;
    }
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    bytes->resize(static_cast<size_t>(size));
    if (!in || (size > 0 && !in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size)))) {
        *why = "the file cannot be read";
        return false;
    }
    return true;
}

bool CheckBytes(std::vector<uint8_t> bytes, std::string* why, std::vector<ElfLoadCheck::VersionedImport>* imports) {
    std::string error;
    const std::optional<BinaryImage> image = BinaryImage::Parse(std::move(bytes), &error);
    if (!image) {
        *why = "the file is not an intact module: " + error;
        return false;
    }
    const BinaryInfo& info = image->Info();
#if defined(_WIN32)
    const BinaryFormat expected = BinaryFormat::Pe;
#else
    const BinaryFormat expected = BinaryFormat::Elf;
#endif
#if defined(__x86_64__) || defined(_M_X64)
    const char* const architecture = "x86-64";
#elif defined(__aarch64__) || defined(_M_ARM64)
    const char* const architecture = "arm64";
#else
    const char* const architecture = "";
#endif
    if (info.format != expected) {
        *why = std::string("it is a ") + ToString(info.format) + " file; this host loads " + ToString(expected) +
               " modules";
        return false;
    }
    if (info.architecture != architecture) {
        *why = "it is built for " + info.architecture + "; this host runs " + architecture;
        return false;
    }
    if (info.kind != BinaryKind::SharedLibrary) {
        *why = std::string("it is not a shared library (") + ToString(info.kind) + ")";
        return false;
    }
    if (info.format == BinaryFormat::Elf) {
        ElfLoadCheck check(image->Bytes(), image->Sections());
        try {
            check.Run();
        } catch (const FormatError& e) {
            *why = std::string("the file is damaged: ") + e.what();
            return false;
        }
        if (imports)
            *imports = check.versionedImports;
    }
    return true;
}

} // namespace

bool CheckModuleForSystemLoader(std::vector<uint8_t> bytes, std::string* why) {
    return CheckBytes(std::move(bytes), why, nullptr);
}

bool CheckModuleFile(const std::string& path, std::string* why) {
    std::vector<uint8_t> bytes;
    std::vector<ElfLoadCheck::VersionedImport> imports;
    if (!ReadModuleBytes(path, &bytes, why) || !CheckBytes(std::move(bytes), why, &imports))
        return false;
#if !defined(_WIN32)
    // An import bound to a version of a library the host has loaded must be there: the loader would
    // quietly bind a weak one to null (a damaged name of __cxa_finalize leaves the module's
    // destructors to run after it is gone).
    for (const auto& import : imports) {
        void* library = dlopen(import.library.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            continue; // not loaded in the host: the loader itself resolves it, or refuses
        const bool found = dlvsym(library, import.symbol.c_str(), import.version.c_str()) != nullptr;
        dlclose(library);
        if (!found) {
            *why = "it imports " + import.symbol + "@" + import.version + ", which " + import.library + " does not have";
            return false;
        }
    }
#endif
    return true;
}

} // namespace hostsim
