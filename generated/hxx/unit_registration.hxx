// unit_registration.hxx - the translation-unit record of each plug-in source file, reached
// through the framework's base header, as the source processor writes it.
//
// Every plug-in source file that includes the framework headers registers itself as one unit of
// the plug-in's module, under its base name, with its uses of the host's system and string
// declarations. The binding layer's own files (CORVEL_GLUE_UNIT) belong to the framework glue and
// register nothing here.
#ifndef CORVEL_GENERATED_UNIT_REGISTRATION_HXX
#define CORVEL_GENERATED_UNIT_REGISTRATION_HXX

#if !defined(CORVEL_GLUE_UNIT) && !defined(CORVEL_SDK_STRICT)

#include "maxon_glue.h"

namespace {
constexpr auto g_maxonUnitName = maxon_glue::UnitNameOf(__BASE_FILE__);
MaxonTranslationUnit g_maxonUnit = maxon_glue::UnitRecord(g_maxonUnitName.text, 0);
MaxonDeclarationUse g_maxonUses[2] = {
    maxon_glue::UseRecord(&maxon_glue::systemInterface.head, "maxon/system.h"),
    maxon_glue::UseRecord(&maxon_glue::stringInterface.head, "maxon/string.h")};
const maxon_glue::PluginTranslationUnit g_maxonUnitRegistration(g_maxonUnit, g_maxonUses);
} // namespace

#endif

#endif // CORVEL_GENERATED_UNIT_REGISTRATION_HXX
