// maxon_glue.h - the module's side of the host framework's binding: the records in g_maxon's
// entity list and the few operations that build it during static initialisation.
//
// Every record is constant-initialised static data; static initialisation only links records
// into their lists (a handful of pointer stores), so loading the module stays cheap.
#ifndef CORVEL_GENERATED_MAXON_GLUE_H
#define CORVEL_GENERATED_MAXON_GLUE_H

#include <cstddef>
#include <cstdint>

#include "maxon_abi.h"

extern "C" {
// The module information record the host reads and binds.
extern MaxonModuleInfo g_maxon;
// The hook the glue's spin-waits call; the host may replace it.
extern MaxonCpuYieldFn g_CpuYieldDelegate;
}

namespace maxon_glue {

// The identifier hash of a literal text, at compile time (bit 43 clear: literals are never
// freed). Kept equal to MaxonIdHash by the checks in maxon_glue.cpp.
constexpr std::uint64_t LiteralIdHash(const char* text) {
    std::uint64_t h = 0;
    std::uint64_t length = 0;
    for (; text[length] != '\0'; ++length)
        h = h * 31u + static_cast<unsigned char>(text[length]);
    return (length << 44) | (h & MAXON_ID_HASH_MASK);
}

constexpr MaxonId LiteralId(const char* text) { return MaxonId{text, LiteralIdHash(text)}; }

// True when the path `file` names the source file `name` + ".cpp" (after its last slash or
// backslash): a translation unit's registered name must be its file's base name.
constexpr bool IsSourceFileOf(const char* file, const char* name) {
    std::size_t start = 0;
    std::size_t end = 0;
    for (; file[end] != '\0'; ++end)
        if (file[end] == '/' || file[end] == '\\')
            start = end + 1;
    std::size_t n = 0;
    while (name[n] != '\0') {
        if (start + n >= end || file[start + n] != name[n])
            return false;
        ++n;
    }
    const char ext[] = ".cpp";
    for (std::size_t i = 0; i < 4; ++i)
        if (start + n + i >= end || file[start + n + i] != ext[i])
            return false;
    return start + n + 4 == end;
}

// The name of the translation unit compiled from `file`: its base name without ".cpp" (the
// whole base name for any other ending), at compile time.
template <std::size_t N>
struct UnitName {
    char text[N];
};

template <std::size_t N>
constexpr UnitName<N> UnitNameOf(const char (&file)[N]) {
    std::size_t start = 0;
    std::size_t end = 0;
    for (; end < N && file[end] != '\0'; ++end)
        if (file[end] == '/' || file[end] == '\\')
            start = end + 1;
    if (end - start > 4 && file[end - 4] == '.' && file[end - 3] == 'c' && file[end - 2] == 'p' &&
        file[end - 1] == 'p')
        end -= 4;
    UnitName<N> name{};
    for (std::size_t i = start; i < end; ++i)
        name.text[i - start] = file[i];
    return name;
}

// Flags the framework glue adds to its own module and translation-unit entities.
constexpr std::uint32_t kGlueFlags = MAXON_FLAGS_GLUE;

// A module entity, constant-initialised: identifier and flags are set when it is registered.
constexpr MaxonModuleEntity ModuleRecord() {
    return MaxonModuleEntity{MaxonEntity{MAXON_ENTITY_MODULE, 0, MaxonId{nullptr, 0}, nullptr, nullptr},
                             nullptr, nullptr, nullptr, 0};
}

// A translation unit named `name` with `flags` (the glue's flags are added).
constexpr MaxonTranslationUnit UnitRecord(const char* name, std::uint32_t flags) {
    return MaxonTranslationUnit{
        MaxonEntity{MAXON_ENTITY_TRANSLATION_UNIT, flags | kGlueFlags, LiteralId(name), nullptr, nullptr},
        nullptr, nullptr};
}

// A use of `declaration`, declared in `header`.
constexpr MaxonDeclarationUse UseRecord(const MaxonEntity* declaration, const char* header) {
    return MaxonDeclarationUse{declaration, header, 0, nullptr};
}

// Registration, in static initialisation. Registering a record twice, or setting a dependency
// list twice, is a mistake in the static data; the second attempt is ignored so the lists stay
// sound.
void RegisterModule(MaxonModuleEntity& module, const MaxonId& id, std::uint32_t flags);
void SetDependencies(MaxonModuleEntity& module, const MaxonId* dependencies, std::int32_t count);
void RegisterUnit(MaxonModuleEntity& module, MaxonTranslationUnit& unit);
void AddUse(MaxonTranslationUnit& unit, MaxonDeclarationUse& use);
void RegisterReference(MaxonModuleEntity& module, MaxonInterfaceReference& reference);

// The plug-in's own module entity (register.cpp).
extern MaxonModuleEntity pluginModule;
// The host interface references of the core framework glue (maxon_glue.cpp).
extern MaxonInterfaceReference systemInterface;
extern MaxonInterfaceReference stringInterface;

// The translation-unit record of a plug-in source file that reaches the host through the core
// framework: it records the file's uses of the host's system and string declarations.
class PluginTranslationUnit {
public:
    PluginTranslationUnit(MaxonTranslationUnit& unit, MaxonDeclarationUse (&uses)[2]);
};

} // namespace maxon_glue

#endif // CORVEL_GENERATED_MAXON_GLUE_H
