// Small text helpers shared by the stand-in host's readers and command lines.

#include "hostsim/text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace hostsim {

bool ParseInt32(const std::string& text, int32_t* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (!end || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

std::string AsciiLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace hostsim
