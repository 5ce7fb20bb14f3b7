// maxon_glue.cpp - g_maxon, the spin-wait hook, the registration operations, the core framework
// glue's own module entities with their host interface references, and the clean-up at unload.
#include "maxon_glue.h"

#include "c4d_link.h"

// --- the exported record -------------------------------------------------------------------------

static_assert(offsetof(MaxonModuleInfo, version) == 0, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, version2) == 8, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, entities) == 16, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, id) == 24, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, id) + offsetof(MaxonId, hash) == 32, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, hostObject) == 40, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, resolver) == 48, "g_maxon layout");
static_assert(offsetof(MaxonModuleInfo, glue) == 56, "g_maxon layout");

#if defined(__APPLE__)
// The macOS loader hands the record over zeroed; the stamps are stored by a static initialiser,
// which also clears the host's fields. The entity list is left alone: records of other files may
// already be linked into it.
extern "C" CORVEL_EXPORT MaxonModuleInfo g_maxon;
MaxonModuleInfo g_maxon;
namespace {
struct StampModuleInfo {
    StampModuleInfo() {
        g_maxon.version = MAXON_MODULE_VERSION;
        g_maxon.version2 = MAXON_MODULE_VERSION;
        g_maxon.id = MaxonId{nullptr, 0};
        g_maxon.hostObject = nullptr;
    }
};
const StampModuleInfo g_stampModuleInfo;
} // namespace
#else
extern "C" CORVEL_EXPORT MaxonModuleInfo g_maxon;
MaxonModuleInfo g_maxon = {MAXON_MODULE_VERSION, MAXON_MODULE_VERSION, nullptr, {nullptr, 0}, nullptr, nullptr, {}};
#endif

namespace {
// The hook's initial value: waiting costs nothing extra until the host installs its own.
void NoYield(int64_t /*state*/, const void* /*lock*/) {}
} // namespace

extern "C" CORVEL_EXPORT MaxonCpuYieldFn g_CpuYieldDelegate;
MaxonCpuYieldFn g_CpuYieldDelegate = &NoYield;

namespace maxon_glue {

// --- the compile-time hash agrees with the host's ------------------------------------------------

static_assert(LiteralIdHash("abc") == 0x300000017862ull, "identifier hash");
static_assert(LiteralIdHash("net.maxon.core.framework") == 0x1854b7897c12bull, "identifier hash");
static_assert(LiteralIdHash("net.maxon.c4d.cinema.framework") == 0x1e459d5288338ull, "identifier hash");

// --- registration ------------------------------------------------------------------------------

namespace {
template <typename Record>
void Push(MaxonEntity*& head, Record& record) {
    record.head.owner = &g_maxon;
    record.head.next = head;
    head = &record.head;
}
} // namespace

void RegisterModule(MaxonModuleEntity& module, const MaxonId& id, std::uint32_t flags) {
    if (module.head.owner)
        return;
    module.head.id = id;
    module.head.flags = flags;
    Push(g_maxon.entities, module);
}

void SetDependencies(MaxonModuleEntity& module, const MaxonId* dependencies, std::int32_t count) {
    if (module.dependencies)
        return;
    module.dependencies = dependencies;
    module.dependencyCount = count;
}

void RegisterUnit(MaxonModuleEntity& module, MaxonTranslationUnit& unit) {
    if (unit.head.owner)
        return;
    unit.module = &module;
    Push(module.units, unit);
}

void AddUse(MaxonTranslationUnit& unit, MaxonDeclarationUse& use) {
    for (const MaxonDeclarationUse* u = unit.uses; u; u = u->next)
        if (u == &use)
            return;
    use.next = unit.uses;
    unit.uses = &use;
}

void RegisterReference(MaxonModuleEntity& module, MaxonInterfaceReference& reference) {
    if (reference.head.owner)
        return;
    Push(module.references, reference);
}

PluginTranslationUnit::PluginTranslationUnit(MaxonTranslationUnit& unit, MaxonDeclarationUse (&uses)[2]) {
    RegisterUnit(pluginModule, unit);
    for (MaxonDeclarationUse& use : uses)
        AddUse(unit, use);
}

// --- the core framework glue: its two module entities and the host interfaces it binds ----------

namespace {

constexpr MaxonInterfaceReference ReferenceRecord(const char* id, const char* firstMethod,
                                                  const char* firstSignature, std::int32_t methodCount,
                                                  void** slots) {
    return MaxonInterfaceReference{
        MaxonEntity{MAXON_ENTITY_INTERFACE_REFERENCE, 0, LiteralId(id), nullptr, nullptr},
        firstMethod, LiteralIdHash(firstSignature), methodCount, slots};
}

// Module flags of the framework glue's own modules.
constexpr std::uint32_t kFrameworkModuleFlags = 0x8001000;
constexpr MaxonId kCoreFrameworkId = LiteralId("net.maxon.core.framework");
constexpr MaxonId kCinemaFrameworkId = LiteralId("net.maxon.c4d.cinema.framework");

MaxonModuleEntity g_cinemaFramework = ModuleRecord();
MaxonTranslationUnit g_cinemaRegister = UnitRecord("register", 0x100);
const MaxonId g_cinemaDependencies[] = {
    LiteralId("net.maxon.core.framework"),
    LiteralId("net.maxon.geom.framework"),
    LiteralId("net.maxon.mesh_misc.framework"),
};

MaxonModuleEntity g_coreFramework = ModuleRecord();
MaxonTranslationUnit g_coreRegister = UnitRecord("register", 0x100);

} // namespace

MaxonInterfaceReference systemInterface =
    ReferenceRecord(MAXON_SYSTEM_INTERFACE_ID, MAXON_SYSTEM_FIRST_METHOD, MAXON_SYSTEM_FIRST_SIGNATURE,
                    c4d_link::kSystemMethodCount, c4d_link::systemSlots);
MaxonInterfaceReference stringInterface =
    ReferenceRecord(MAXON_STRING_INTERFACE_ID, MAXON_STRING_FIRST_METHOD, MAXON_STRING_FIRST_SIGNATURE,
                    c4d_link::kStringMethodCount, c4d_link::stringSlots);

namespace {

struct RegisterFrameworkGlue {
    RegisterFrameworkGlue() {
        RegisterUnit(g_coreFramework, g_coreRegister);
        RegisterReference(g_coreFramework, systemInterface);
        RegisterReference(g_coreFramework, stringInterface);
        RegisterModule(g_coreFramework, kCoreFrameworkId, kFrameworkModuleFlags);

        RegisterUnit(g_cinemaFramework, g_cinemaRegister);
        SetDependencies(g_cinemaFramework, g_cinemaDependencies,
                        static_cast<std::int32_t>(sizeof g_cinemaDependencies / sizeof g_cinemaDependencies[0]));
        RegisterModule(g_cinemaFramework, kCinemaFrameworkId, kFrameworkModuleFlags);
    }
};
const RegisterFrameworkGlue g_registerFrameworkGlue;

// --- unload ----------------------------------------------------------------------------------------

// Frees an identifier text the host allocated (bit 43 of its hash) and clears the identifier;
// literal identifiers are left alone.
void FreeAllocatedId(MaxonId& id) {
    if ((id.hash & MAXON_ID_ALLOCATED_BIT) == 0)
        return;
    c4d_link::Free(const_cast<char*>(id.text));
    id = MaxonId{nullptr, 0};
}

void FreeAllocatedIds() {
    FreeAllocatedId(g_maxon.id);
    for (MaxonEntity* m = g_maxon.entities; m; m = m->next) {
        FreeAllocatedId(m->id);
        if (m->type != MAXON_ENTITY_MODULE)
            continue;
        auto* module = reinterpret_cast<MaxonModuleEntity*>(m);
        for (MaxonEntity* u = module->units; u; u = u->next)
            FreeAllocatedId(u->id);
        for (MaxonEntity* r = module->references; r; r = r->next)
            FreeAllocatedId(r->id);
    }
}

// Static destruction runs at unload, after the host's last call; the host's allocator is still
// bound then.
struct UnloadCleanup {
    UnloadCleanup() = default;
    UnloadCleanup(const UnloadCleanup&) = delete;
    UnloadCleanup& operator=(const UnloadCleanup&) = delete;
    ~UnloadCleanup() { FreeAllocatedIds(); }
};
const UnloadCleanup g_unloadCleanup;

} // namespace

} // namespace maxon_glue
