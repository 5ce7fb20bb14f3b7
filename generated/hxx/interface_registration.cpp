// interface_registration.cpp - the translation unit that would publish the module's own
// interfaces. Corvel publishes none; the unit is registered so the host sees the module's usual
// shape.
#include "maxon_glue.h"

namespace maxon_glue {
namespace {

static_assert(IsSourceFileOf(__FILE__, "interface_registration"), "unit name must match its file");
MaxonTranslationUnit g_unit = UnitRecord("interface_registration", 0x2000000);

struct RegisterInterfaceUnit {
    RegisterInterfaceUnit() { RegisterUnit(pluginModule, g_unit); }
};
const RegisterInterfaceUnit g_registerInterfaceUnit;

} // namespace
} // namespace maxon_glue
