// Fuzzes the scene reader. Any input is either refused with "SOURCE: PATH: reason" or read; what it
// reads must survive a write and a second read unchanged (parameters in order, exact floats).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hostsim/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    hostsim::Scene scene;
    std::string why;
    if (!hostsim::ParseScene(text, "fuzz.json", &scene, &why)) {
        // A refusal names the source and a JSON path, and stays short whatever the input.
        if (why.rfind("fuzz.json: /", 0) != 0 || why.size() > 8192)
            std::abort();
        return 0;
    }
    const std::string once = hostsim::SceneToJson(scene).dump();
    hostsim::Scene again;
    if (!hostsim::ParseScene(once, "again.json", &again, &why))
        std::abort();
    if (hostsim::SceneToJson(again).dump() != once)
        std::abort();
    return 0;
}
