// c4d_file.h - file names, the plug-in folder, opening files.
//
// A Filename is constructed, copied, joined and destroyed only through the host's file-name
// operations; the module never looks inside one. Without a host (no file table) a Filename stays
// empty and every operation answers its failure value.
#ifndef CORVEL_HOST_C4D_FILE_H
#define CORVEL_HOST_C4D_FILE_H

#include "c4d_link.h"
#include "c4d_string.h"

class Filename {
public:
    // An empty file name.
    Filename();
    // The path `path`; empty when the host had no memory.
    explicit Filename(const String& path);
    // A copy; empty when the host had no memory.
    Filename(const Filename& other);
    Filename& operator=(const Filename& other);
    ~Filename();

    // Copies a file name the host hands over. False when out of memory (this is then empty).
    Bool CopyFrom(const C4D_Filename* src);
    // False when out of memory (this is then empty).
    Bool SetString(const String& path);
    // The path as text; the empty string for an empty file name.
    String GetString() const;
    // The directory part; empty when there is none or the host had no memory.
    Filename GetDirectory() const;
    // True when the file name holds a path.
    Bool IsPopulated() const { return !GetString().IsEmpty(); }

    const C4D_Filename* Get() const { return &fn_; }

private:
    friend Filename operator+(const Filename& base, const String& part);

    C4D_Filename fn_;
    Bool constructed_ = false;
};

// This file name joined with one further path part; empty when the host had no memory.
Filename operator+(const Filename& base, const String& part);

// The plug-in folder: the directory part of the module file's path. An empty file name while
// the module holds no path (before action 1, or when its allocation failed).
Filename GeGetPluginPath();

// Opens `fn` with the application the system associates with it. False when the file does not
// exist or nothing could open it.
Bool GeExecuteFile(const Filename& fn);

// The module file's path, held on the host's heap from the first action 1 to the last action 3.
namespace c4d_link {
// Allocates the path on the host's heap and copies `src` into it (the copy's result is not
// checked: a failed copy leaves an empty path). Answers false when the allocation failed and the
// module then holds no path.
Bool SetModulePath(const C4D_Filename* src);
// Destroys and frees the path through the host; no-op when none is held.
void FreeModulePath();
const Filename* ModulePath();
} // namespace c4d_link

#endif // CORVEL_HOST_C4D_FILE_H
