// c4d_file.h - file names, the plug-in folder, opening files.
//
// A Filename is constructed, copied, joined and destroyed only through the host's file-name
// operations; the module never looks inside one. Without a host (no file table) a Filename stays
// empty and every operation answers its failure value.
#ifndef CORVEL_HOST_C4D_FILE_H
#define CORVEL_HOST_C4D_FILE_H

#include "c4d_string.h"
#include "maxon/apibase.h"
#include "maxon/string.h"

#if !defined(CORVEL_SDK_STRICT)
#include "c4d_link.h"
#endif

#if API_VERSION >= 2025000
namespace cinema {
#endif

class Filename {
public:
    // An empty file name.
    Filename();
    // The path `path`; empty when the host had no memory.
    Filename(const Char* path);           // NOLINT(google-explicit-constructor)
    Filename(const maxon::String& path);  // NOLINT(google-explicit-constructor)
    // A copy; empty when the host had no memory.
    Filename(const Filename& other);
    const Filename& operator=(const Filename& other);
    ~Filename();

    // The path as text; the empty string for an empty file name.
    String GetString() const;
    // The directory part; empty when there is none or the host had no memory.
    const Filename GetDirectory() const;
    // True when the file name holds a path.
    Bool IsPopulated() const { return GetString().IsPopulated(); }
    Bool IsEmpty() const { return !IsPopulated(); }

    // This file name joined with `fname`'s path as one further part; empty when the host had no
    // memory.
    friend const Filename operator+(const Filename& fname1, const Filename& fname2);

#if !defined(CORVEL_SDK_STRICT)
    // Copies a file name the host hands over. False when out of memory (this is then empty).
    Bool CopyFrom(const C4D_Filename* src);
    // False when out of memory (this is then empty).
    Bool SetPath(const maxon::String& path);
    const C4D_Filename* Get() const { return &fn_; }
    // Null when the host had no file table at construction.
    C4D_Filename* GetMutable() { return constructed_ ? &fn_ : nullptr; }

private:
    C4D_Filename fn_;
#else
private:
    void* fn_; // the strict check sees only the SDK's names; the size stays
#endif
    Bool constructed_ = false;
};

// The plug-in folder: the directory part of the module file's path. An empty file name while
// the module holds no path (before action 1, or when its allocation failed).
const Filename GeGetPluginPath();

// Opens `path` with the application the system associates with it. False when the file does not
// exist or nothing could open it.
Bool GeExecuteFile(const Filename& path);

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_FILE_H
