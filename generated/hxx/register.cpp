// register.cpp - the plug-in's module entity: its identifier, the frameworks it depends on and
// its own "register" translation unit.
#include "maxon_glue.h"

namespace maxon_glue {

// The module identifier: the maker's domain, reversed, then the product's file stem.
constexpr MaxonId kModuleId = LiteralId("com.tarnwicksoftware.corvel");
static_assert((kModuleId.hash & MAXON_ID_ALLOCATED_BIT) == 0, "a literal identifier is never freed");

// The plug-in's own module carries no flags beyond those the glue adds.
constexpr std::uint32_t kModuleFlags = 0;

MaxonModuleEntity pluginModule = ModuleRecord();

namespace {

// The host frameworks the module needs, in the order the host resolves them. Hashed at compile
// time, so static initialisation only stores the pointer.
constexpr MaxonId kDependencies[] = {
    LiteralId("net.maxon.c4d.cinema.framework"),
    LiteralId("net.maxon.command.framework"),
    LiteralId("net.maxon.core.framework"),
    LiteralId("net.maxon.crypt.framework"),
    LiteralId("net.maxon.geom.framework"),
    LiteralId("net.maxon.image.framework"),
    LiteralId("net.maxon.math.framework"),
    LiteralId("net.maxon.mesh_misc.framework"),
    LiteralId("net.maxon.python.framework"),
};
constexpr std::int32_t kDependencyCount = static_cast<std::int32_t>(sizeof kDependencies / sizeof kDependencies[0]);
static_assert(kDependencyCount == 9, "the module depends on nine frameworks");

static_assert(IsSourceFileOf(__FILE__, "register"), "unit name must match its file");
MaxonTranslationUnit g_unit = UnitRecord("register", 0x100);

// The registration relies on the framework's object and error bases; their host declarations
// are reached through the core glue's system and string interfaces.
MaxonDeclarationUse g_objectBaseUse = UseRecord(&systemInterface.head, "maxon/objectbase.h");
MaxonDeclarationUse g_errorBaseUse = UseRecord(&stringInterface.head, "maxon/errorbase.h");

struct RegisterPluginModule {
    RegisterPluginModule() {
        RegisterUnit(pluginModule, g_unit);
        AddUse(g_unit, g_objectBaseUse);
        AddUse(g_unit, g_errorBaseUse);
        SetDependencies(pluginModule, kDependencies, kDependencyCount);
        RegisterModule(pluginModule, kModuleId, kModuleFlags | kGlueFlags);
    }
};
const RegisterPluginModule g_registerPluginModule;

} // namespace

} // namespace maxon_glue
