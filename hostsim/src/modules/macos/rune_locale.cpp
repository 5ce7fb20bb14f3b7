// The C locale's character table as macOS exports it (__DefaultRuneLocale), and the ctype helpers
// that consult it.
//
// macOS's <ctype.h> inlines isdigit(c), isxdigit(c) and the rest as a test of
// __DefaultRuneLocale.__runetype[c] against a class bit for ASCII characters, and calls
// ___maskrune for the others. The table below is the C locale's: the classes of the 128 ASCII
// characters, nothing for the bytes above, identity case maps except for ASCII letters. Its layout
// is macOS's _RuneLocale (the class table at offset 60), since the module reads it directly.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "libsystem_shims.h"

namespace hostsim::macos {
namespace {

// Class bits of macOS's <runetype.h>. The low byte of a digit's entry holds its value.
enum : uint32_t {
    kAlpha = 0x100, kControl = 0x200, kDigit = 0x400, kGraph = 0x800, kLower = 0x1000, kPunct = 0x2000,
    kSpace = 0x4000, kUpper = 0x8000, kHexDigit = 0x10000, kBlank = 0x20000, kPrint = 0x40000,
    kWidth1 = 0x40000000, // printable characters take one column
};

using MacRune = int32_t;

struct RuneRange {
    int32_t count;
    void* ranges;
};

struct MacRuneLocale {
    char magic[8];
    char encoding[32];
    MacRune (*sgetrune)(const char*, size_t, const char**);
    int (*sputrune)(MacRune, char*, size_t, char**);
    MacRune invalidRune;
    uint32_t runetype[256];
    MacRune maplower[256];
    MacRune mapupper[256];
    RuneRange runetypeExt, maplowerExt, mapupperExt;
    void* variable;
    int32_t variableLength;
    int32_t charClassCount;
    void* charClasses;
};
static_assert(offsetof(MacRuneLocale, runetype) == 60, "macOS's class table starts at offset 60");
static_assert(offsetof(MacRuneLocale, maplower) == 60 + 1024 && offsetof(MacRuneLocale, mapupper) == 60 + 2048);

// The C locale's encoding ("NONE"): one byte is one character.
MacRune SingleByteGet(const char* string, size_t n, const char** rest) {
    if (n < 1) {
        if (rest)
            *rest = string;
        return 0xfffd;
    }
    if (rest)
        *rest = string + 1;
    return static_cast<unsigned char>(*string);
}

int SingleBytePut(MacRune c, char* string, size_t n, char** rest) {
    if (c < 0 || c > 0xff) {
        if (rest)
            *rest = nullptr;
        return 0;
    }
    if (n >= 1 && string) {
        *string = static_cast<char>(c);
        if (rest)
            *rest = string + 1;
    } else if (rest) {
        *rest = nullptr;
    }
    return 1;
}

uint32_t ClassesOf(int c) {
    if (c < 0 || c > 0x7f)
        return 0;
    const bool upper = c >= 'A' && c <= 'Z', lower = c >= 'a' && c <= 'z', digit = c >= '0' && c <= '9';
    const bool space = c == ' ' || (c >= '\t' && c <= '\r');
    const bool print = c >= 0x20 && c < 0x7f;
    uint32_t bits = 0;
    if (c < 0x20 || c == 0x7f)
        bits |= kControl;
    if (space)
        bits |= kSpace;
    if (c == ' ' || c == '\t')
        bits |= kBlank;
    if (print)
        bits |= kPrint | kWidth1;
    if (print && c != ' ')
        bits |= kGraph;
    if (upper)
        bits |= kUpper | kAlpha;
    if (lower)
        bits |= kLower | kAlpha;
    if (digit)
        bits |= kDigit | kHexDigit | static_cast<uint32_t>(c - '0');
    if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
        bits |= kHexDigit | static_cast<uint32_t>(10 + ((c | 0x20) - 'a'));
    if (print && c != ' ' && !upper && !lower && !digit)
        bits |= kPunct;
    return bits;
}

MacRuneLocale MakeCLocale() {
    MacRuneLocale locale;
    std::memset(&locale, 0, sizeof locale);
    std::memcpy(locale.magic, "RuneMagA", 8);
    std::memcpy(locale.encoding, "NONE", 5);
    locale.sgetrune = SingleByteGet;
    locale.sputrune = SingleBytePut;
    locale.invalidRune = 0xfffd;
    for (int c = 0; c < 256; ++c) {
        locale.runetype[c] = ClassesOf(c);
        locale.maplower[c] = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        locale.mapupper[c] = (c >= 'a' && c <= 'z') ? c - 32 : c;
    }
    return locale;
}

MacRuneLocale g_defaultRuneLocale = MakeCLocale();

// ___maskrune(c, mask): the classes of any character; the C locale classifies only ASCII.
unsigned long MaskRune(MacRune c, unsigned long mask) {
    return (c >= 0 && c < 256) ? (g_defaultRuneLocale.runetype[c] & mask) : 0;
}
MacRune ToLower(MacRune c) { return (c >= 0 && c < 256) ? g_defaultRuneLocale.maplower[c] : c; }
MacRune ToUpper(MacRune c) { return (c >= 0 && c < 256) ? g_defaultRuneLocale.mapupper[c] : c; }

} // namespace

std::vector<ShimEntry> LocaleShims() {
    return {
        {"__DefaultRuneLocale", &g_defaultRuneLocale},
        {"___maskrune", reinterpret_cast<void*>(MaskRune)},
        {"___tolower", reinterpret_cast<void*>(ToLower)},
        {"___toupper", reinterpret_cast<void*>(ToUpper)},
    };
}

} // namespace hostsim::macos
