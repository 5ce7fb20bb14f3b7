// text_match.h - substring checks for the tests' assertions on messages and reports.
#ifndef CORVEL_TESTS_SUPPORT_TEXT_MATCH_H
#define CORVEL_TESTS_SUPPORT_TEXT_MATCH_H

#include <algorithm>
#include <string>

namespace corvel_test {

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Paths are compared with forward slashes, whatever the platform writes.
inline bool ContainsPath(std::string text, const std::string& part) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text.find(part) != std::string::npos;
}

} // namespace corvel_test

#endif
