// maxon/string.h - the framework's strings.
//
// A maxon::String holds one reference to a host text buffer (or none: the empty string). Texts
// the module shows are built from literals; a literal whose buffer can't be made yields the empty
// string, never a failure the caller must handle. Every reference is released when the String
// goes.
#ifndef CORVEL_HOST_MAXON_STRING_H
#define CORVEL_HOST_MAXON_STRING_H

#include "maxon/apibase.h"

#if !defined(CORVEL_SDK_STRICT)
#include "c4d_link.h"
#endif

namespace maxon {

class String {
public:
    // The empty string.
    constexpr String() = default;
    // A new host string with the text's UTF-8 bytes up to its terminating zero; the empty string
    // when the host can't make the buffer (or when `text` is null).
    explicit String(const Char* text);
    // The same for the first `count` bytes of `text`.
    String(const Char* text, Int count);
    String(const String& other);
    String(String&& other) noexcept;
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    ~String();

    // The length in bytes; 0 for the empty string.
    Int GetLength() const;
    Bool IsEmpty() const { return GetLength() == 0; }
    Bool IsPopulated() const { return !IsEmpty(); }

#if !defined(CORVEL_SDK_STRICT)
    // Takes over one reference that the host handed to the module.
    static String Adopt(C4D_HString handle);
    // The text (UTF-8, zero-terminated), valid while this String lives; "" when empty.
    const char* GetCString() const;
    // The handle, borrowed for a host call. Null for the empty string.
    C4D_HString Get() const { return handle_; }
    // Gives up the reference to a caller that hands it on (for example back to the host).
    C4D_HString Release();

private:
    void Drop();

    C4D_HString handle_ = nullptr;
#else
private:
    void* handle_ = nullptr; // the strict check sees only the SDK's names; the size stays
#endif
};

} // namespace maxon

#endif // CORVEL_HOST_MAXON_STRING_H
