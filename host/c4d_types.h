// c4d_types.h - the scalar types the host's SDK names, used throughout the module.
#ifndef CORVEL_HOST_C4D_TYPES_H
#define CORVEL_HOST_C4D_TYPES_H

#include <cstdint>

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using Int = std::int64_t;
using Bool = bool;
using Float = double;
using Char = char;

// Four-character message and key codes, read big-endian, as the host composes them.
constexpr Int32 FourCC(char a, char b, char c, char d) {
    return static_cast<Int32>((static_cast<UInt32>(static_cast<unsigned char>(a)) << 24) |
                              (static_cast<UInt32>(static_cast<unsigned char>(b)) << 16) |
                              (static_cast<UInt32>(static_cast<unsigned char>(c)) << 8) |
                              static_cast<UInt32>(static_cast<unsigned char>(d)));
}

#endif // CORVEL_HOST_C4D_TYPES_H
