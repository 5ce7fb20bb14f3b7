// Fuzzes the check a module file passes before the system loader gets it (ELF program headers,
// dynamic section, hash, version and relocation tables): whatever the bytes, it answers with a
// reason or lets the file through, and never reads outside them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hostsim/binary_inspect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    if (!hostsim::CheckModuleForSystemLoader(std::vector<uint8_t>(data, data + size), &why) && why.empty())
        std::abort(); // a refusal always gives its reason
    return 0;
}
