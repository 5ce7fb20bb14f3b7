// c4d_string.h - the classic API's string: a framework string that literals convert to.
#ifndef CORVEL_HOST_C4D_STRING_H
#define CORVEL_HOST_C4D_STRING_H

#include "maxon/apibase.h"
#include "maxon/string.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

class String : public maxon::String {
public:
    String() = default;
    // Literals convert implicitly, as the classic API has always allowed.
    String(const Char* text) : maxon::String(text) {} // NOLINT(google-explicit-constructor)
    String(const maxon::String& other) : maxon::String(other) {} // NOLINT(google-explicit-constructor)
    String(maxon::String&& other) noexcept : maxon::String(static_cast<maxon::String&&>(other)) {} // NOLINT
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_STRING_H
