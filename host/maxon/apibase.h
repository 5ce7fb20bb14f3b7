// maxon/apibase.h - the framework's basic types, the string literal suffix and the registration
// of each translation unit that includes it.
#ifndef CORVEL_HOST_MAXON_APIBASE_H
#define CORVEL_HOST_MAXON_APIBASE_H

#include <cstddef>
#include <cstdint>

#include "operatingsystem.h"

namespace maxon {

using Int16 = std::int16_t;
using UInt16 = std::uint16_t;
using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using Int = std::int64_t;
using UInt = std::uint64_t;
using Bool = bool;
using Float = double;
using Float64 = double;
using Float32 = float;
using Char = char;
using UChar = unsigned char;

class String;

// "text"_s: a framework string with the literal's text.
String operator""_s(const char* text, std::size_t length);

} // namespace maxon

using maxon::operator""_s;

// The classic API names the framework's types without the namespace: at global scope up to
// release 2024, inside namespace cinema from 2025 on.
#if API_VERSION >= 2025000
namespace cinema {
#endif
using maxon::Bool;
using maxon::Char;
using maxon::Float;
using maxon::Float32;
using maxon::Float64;
using maxon::Int;
using maxon::Int16;
using maxon::Int32;
using maxon::Int64;
using maxon::UChar;
using maxon::UInt;
using maxon::UInt16;
using maxon::UInt32;
using maxon::UInt64;
#if API_VERSION >= 2025000
} // namespace cinema
#endif

// The answer "not found" of index and id lookups.
#define NOTOK (-1)

// Every plug-in source file that includes this header is one translation unit of the plug-in's
// module; its record is written by the source processor into the plug-in's generated/hxx.
#include "unit_registration.hxx"

#endif // CORVEL_HOST_MAXON_APIBASE_H
