// maxon_string.cpp - host strings.
#include "maxon/string.h"

#include <cstring>

namespace maxon {

String::String(const Char* text) {
    if (text)
        handle_ = c4d_link::StringCreate(text, static_cast<Int64>(std::strlen(text)));
}

String::String(const Char* text, Int count) {
    if (text && count > 0)
        handle_ = c4d_link::StringCreate(text, count);
}

String::String(const String& other) : handle_(other.handle_) { c4d_link::StringRetain(handle_); }

String::String(String&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

String& String::operator=(const String& other) {
    if (this != &other) {
        c4d_link::StringRetain(other.handle_);
        Drop();
        handle_ = other.handle_;
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        Drop();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

String::~String() { Drop(); }

String String::Adopt(C4D_HString handle) {
    String s;
    s.handle_ = handle;
    return s;
}

const char* String::GetCString() const { return c4d_link::StringGetUtf8(handle_); }

Int String::GetLength() const { return c4d_link::StringGetLength(handle_); }

C4D_HString String::Release() {
    C4D_HString handle = handle_;
    handle_ = nullptr;
    return handle;
}

void String::Drop() {
    c4d_link::StringRelease(handle_);
    handle_ = nullptr;
}

String operator""_s(const char* text, std::size_t length) { return String(text, static_cast<Int>(length)); }

} // namespace maxon
