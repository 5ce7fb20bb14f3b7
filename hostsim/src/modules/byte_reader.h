// byte_reader.h - bounds-checked reads from a file image held in memory, shared by the readers of
// module files. Every read names what it reads, so a damaged file ends in a FormatError that says
// which field lies outside the file, never in a stray read.
#ifndef CORVEL_HOSTSIM_BYTE_READER_H
#define CORVEL_HOSTSIM_BYTE_READER_H

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace hostsim {

// Thrown inside the readers only; their public entry points turn it into an error text.
struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void FailFormat(const std::string& what) { throw FormatError(what); }

inline std::string HexText(uint64_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

class ByteReader {
public:
    explicit ByteReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    size_t Size() const { return bytes_.size(); }
    const uint8_t* Data() const { return bytes_.data(); }

    void Require(uint64_t offset, uint64_t length, const std::string& what) const {
        if (offset > bytes_.size() || length > bytes_.size() - offset)
            FailFormat(what + " lies outside the file (offset " + HexText(offset) + ", length " + HexText(length) +
                       ", file size " + HexText(bytes_.size()) + ")");
    }

    template <typename T>
    T Le(uint64_t offset, const char* what) const {
        Require(offset, sizeof(T), what);
        uint64_t value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<uint64_t>(bytes_[static_cast<size_t>(offset) + i]) << (8 * i);
        return static_cast<T>(value);
    }

    uint32_t Be32(uint64_t offset, const char* what) const {
        Require(offset, 4, what);
        const uint8_t* p = bytes_.data() + offset;
        return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
    }

    // A zero-terminated string starting at `offset`, which must end before `limit`.
    std::string CString(uint64_t offset, uint64_t limit, const char* what) const {
        limit = std::min<uint64_t>(limit, bytes_.size());
        if (offset >= limit)
            FailFormat(std::string(what) + ": string offset " + HexText(offset) + " is outside its table");
        const uint8_t* begin = bytes_.data() + offset;
        const uint8_t* end = bytes_.data() + limit;
        const uint8_t* nul = std::find(begin, end, uint8_t{0});
        if (nul == end)
            FailFormat(std::string(what) + ": unterminated string at " + HexText(offset));
        return std::string(begin, nul);
    }

    // Fixed-size name field (section names), zero padded, not necessarily terminated.
    std::string FixedName(uint64_t offset, size_t length, const char* what) const {
        Require(offset, length, what);
        const uint8_t* begin = bytes_.data() + offset;
        return std::string(begin, std::find(begin, begin + length, uint8_t{0}));
    }

    // LEB128 numbers advance `offset`, which must stay before `limit`.
    uint64_t Uleb(uint64_t& offset, uint64_t limit, const char* what) const {
        uint64_t value = 0;
        unsigned shift = 0;
        for (;;) {
            const uint8_t byte = NextByte(offset, limit, what);
            if (shift >= 64 || (shift == 63 && (byte & 0x7e) != 0))
                FailFormat(std::string(what) + ": number too large");
            value |= static_cast<uint64_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0)
                return value;
            shift += 7;
        }
    }

    int64_t Sleb(uint64_t& offset, uint64_t limit, const char* what) const {
        uint64_t value = 0;
        unsigned shift = 0;
        for (;;) {
            const uint8_t byte = NextByte(offset, limit, what);
            if (shift >= 64)
                FailFormat(std::string(what) + ": number too large");
            value |= static_cast<uint64_t>(byte & 0x7f) << shift;
            shift += 7;
            if ((byte & 0x80) == 0) {
                if (shift < 64 && (byte & 0x40) != 0)
                    value |= ~uint64_t{0} << shift;
                return static_cast<int64_t>(value);
            }
        }
    }

private:
    uint8_t NextByte(uint64_t& offset, uint64_t limit, const char* what) const {
        if (offset >= limit || offset >= bytes_.size())
            FailFormat(std::string(what) + ": truncated number");
        return bytes_[static_cast<size_t>(offset++)];
    }

    const std::vector<uint8_t>& bytes_;
};

} // namespace hostsim

#endif // CORVEL_HOSTSIM_BYTE_READER_H
