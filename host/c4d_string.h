// c4d_string.h - host strings.
//
// A String holds one reference to a host text buffer (or none: the empty string). Texts the module
// shows are built from literals; a literal whose buffer can't be made yields the empty string,
// never a failure the caller must handle. Every reference is released when the String goes.
#ifndef CORVEL_HOST_C4D_STRING_H
#define CORVEL_HOST_C4D_STRING_H

#include "c4d_link.h"

class String {
public:
    // The empty string.
    String() = default;
    // A new host string with the literal's text, read up to its terminating zero; the empty
    // string when the host can't make the buffer (or when `text` is null).
    String(const char* text); // NOLINT(google-explicit-constructor): literals convert as in the SDK
    String(const String& other);
    String(String&& other) noexcept;
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    ~String();

    // Takes over one reference that the host handed to the module.
    static String Adopt(C4D_HString handle);

    // The text (UTF-8, zero-terminated), valid while this String lives; "" when empty.
    const char* GetCString() const;
    Int64 GetLength() const;
    Bool IsEmpty() const { return GetLength() == 0; }

    // The handle, borrowed for a host call. Null for the empty string.
    C4D_HString Get() const { return handle_; }
    // Gives up the reference to a caller that hands it on (for example back to the host).
    C4D_HString Release();

private:
    void Drop();

    C4D_HString handle_ = nullptr;
};

#endif // CORVEL_HOST_C4D_STRING_H
