// c4d_main_windows.cpp - WINDOWS ONLY: the operating system's library entry of the module.
//
// It keeps the module's instance handle for host glue that needs it and always answers success;
// the module's real start is c4d_main. Compiled to nothing on other platforms.
#if defined(_WIN32)

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace c4d_link {
// The module's instance handle, stored on process attach; other reasons leave it unchanged.
HINSTANCE g_instance = nullptr;
} // namespace c4d_link

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        c4d_link::g_instance = instance;
    return TRUE;
}

#endif // _WIN32
