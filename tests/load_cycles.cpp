// corvel_load_cycles MODULE [COUNT]: loads, starts, uses and unloads the module COUNT times (100
// by default) in one process, the way a host that reloads its plug-ins would. Run under
// valgrind's memcheck (CTest does) so that anything the module allocates at load and does not give
// back at unload adds up to a leak that is reported; by itself it checks that every cycle starts
// the module, leaves no host object behind, and that the operating system really unloads it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostsim/host.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace {

// True while the operating system still holds the module (POSIX; elsewhere it is not asked).
bool StillLoaded(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
#endif
}

bool OneCycle(const std::string& module, int cycle) {
    hostsim::Host host;
    auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "cycle %d: %s\n", cycle, what.c_str());
        return false;
    };
    if (!host.Load(module))
        return fail(host.LastError());
    const hostsim::Host::StartupAnswers started = host.Startup();
    if (started.init != C4D_PL_ANSWER_OK || started.start != 1 || host.Commands().empty())
        return fail("the module did not start");
    if (!host.ExecuteCommand(host.Commands().front().id))
        return fail("its command did not open its dialog");
    if (!host.Shutdown().empty() || !host.Violations().empty())
        return fail("host objects left behind or handles misused");
    if (StillLoaded(module))
        return fail("the module is still loaded after the host unloaded it");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: corvel_load_cycles MODULE [COUNT]\n");
        return 2;
    }
    const std::string module = argv[1];
    const int count = argc == 3 ? std::atoi(argv[2]) : 100;
    if (count < 1) {
        std::fprintf(stderr, "corvel_load_cycles: COUNT must be 1 or more\n");
        return 2;
    }
    for (int cycle = 1; cycle <= count; ++cycle)
        if (!OneCycle(module, cycle))
            return 1;
    std::printf("%d load/unload cycles of %s\n", count, module.c_str());
    return 0;
}
