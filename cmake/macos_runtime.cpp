// Compiled into each slice of the macOS module: the one piece of the C++ runtime the module refers
// to. The module allocates nothing with new (the host's allocator serves its objects), but every
// class with a virtual destructor has a deleting destructor, and that refers to the plain operator
// delete. The definition is the runtime's own (what new took comes back to free), so the module needs
// no C++ runtime archive: linking a whole libc++ for this one function would first have zig build
// libc++, libc++abi and compiler-rt for each processor. Should the module ever use another runtime
// function (operator new, a string member kept out of line), its link fails with that name
// undefined; then link zig's runtime archives again.
#include <cstdlib>
#include <new>

void operator delete(void* memory) noexcept {
    std::free(memory);
}
