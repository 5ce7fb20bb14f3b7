// c4d_main.cpp - the module's entry point: the host drives the module's whole life through it.
#include <cstdint>

#include "c4d_file.h"
#include "c4d_link.h"
#include "c4d_plugin.h"
#include "c4d_resource.h"

#if API_VERSION >= 2025000
using cinema::g_resource;
using cinema::PluginEnd;
using cinema::PluginMessage;
using cinema::PluginStart;
#endif

namespace {

// Actions 1 and 3 nest: only the outermost pair initialises and tears down. Touched on the
// host's main thread only, so a plain integer.
maxon::Int32 g_loadCount = 0;

maxon::Int32 InitSystem(void* hostApi, void* modulePath) {
    if (++g_loadCount != 1)
        return C4D_PL_ANSWER_OK;
    // Stored before the version test: every later host call goes through this table.
    const auto* api = static_cast<const C4D_HostApi*>(hostApi);
    c4d_link::SetApi(api);
    if (!api || api->apiVersion < C4D_API_VERSION)
        return C4D_PL_ANSWER_HOST_TOO_OLD;
    if (!modulePath)
        return C4D_PL_ANSWER_HOST_TOO_OLD;
    // Without memory for the path the module runs on without one; its resource folder then
    // resolves to the bare "res" and the resource load reports the failure.
    c4d_link::SetModulePath(static_cast<const C4D_Filename*>(modulePath));
    return C4D_PL_ANSWER_OK;
}

maxon::Int32 EndSystem() {
    if (--g_loadCount != 0)
        return C4D_PL_ANSWER_OK;
    PluginEnd();
    g_resource.Free();
    c4d_link::FreeModulePath();
    return C4D_PL_ANSWER_OK;
}

maxon::Int32 PluginMessageAction(void* p1, void* data) {
    // The message id travels in the low 32 bits of the first pointer argument.
    const auto bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p1));
    const auto id = static_cast<maxon::Int32>(bits);
    return PluginMessage(id, data) ? C4D_PL_ANSWER_OK : C4D_PL_ANSWER_FAILED;
}

} // namespace

extern "C" CORVEL_EXPORT int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3) {
    switch (action) {
    case C4D_PL_INIT_SYS:
        return InitSystem(p1, p3);
    case C4D_PL_START:
        return PluginStart() ? 1 : 0;
    case C4D_PL_END:
        return EndSystem();
    case C4D_PL_GETVERSION:
        return C4D_PL_VERSION_ANSWER;
    case C4D_PL_MESSAGE:
        return PluginMessageAction(p1, p2);
    default:
        return C4D_PL_ANSWER_FAILED;
    }
}
