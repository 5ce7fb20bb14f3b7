// c4d_string.cpp - host strings.
#include "c4d_string.h"

#include <cstring>

String::String(const char* text) {
    if (text)
        handle_ = c4d_link::StringCreate(text, static_cast<Int64>(std::strlen(text)));
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

Int64 String::GetLength() const { return c4d_link::StringGetLength(handle_); }

C4D_HString String::Release() {
    C4D_HString handle = handle_;
    handle_ = nullptr;
    return handle;
}

void String::Drop() {
    c4d_link::StringRelease(handle_);
    handle_ = nullptr;
}
