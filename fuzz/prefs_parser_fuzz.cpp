// Fuzzes the preferences file reader. Whatever it accepts must survive a write and a second read
// unchanged: a preferences file that changes on every save would slowly corrupt the user's data.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "hostsim/prefs_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<int32_t, hostsim::Container> prefs;
    std::string why;
    if (!hostsim::ParsePrefs(text, &prefs, &why))
        return 0;
    const std::string once = hostsim::FormatPrefs(prefs);
    std::map<int32_t, hostsim::Container> again;
    if (!hostsim::ParsePrefs(once, &again, &why))
        std::abort();
    if (hostsim::FormatPrefs(again) != once)
        std::abort();
    return 0;
}
