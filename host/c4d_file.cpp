// c4d_file.cpp - file names, the plug-in folder, opening files.
#include "c4d_file.h"

#include "c4d_memory.h"

CORVEL_CINEMA_BEGIN

Filename::Filename() : fn_{nullptr} {
    if (const C4D_FileTable* t = c4d_link::Files()) {
        t->Construct(&fn_);
        constructed_ = true;
    }
}

Filename::Filename(const Char* path) : Filename(maxon::String(path)) {}

Filename::Filename(const maxon::String& path) : Filename() { SetPath(path); }

Filename::Filename(const Filename& other) : Filename() {
    const C4D_FileTable* t = c4d_link::Files();
    if (t && constructed_)
        t->CopyTo(&fn_, &other.fn_);
}

const Filename& Filename::operator=(const Filename& other) {
    const C4D_FileTable* t = c4d_link::Files();
    if (this != &other && t && constructed_)
        t->CopyTo(&fn_, &other.fn_);
    return *this;
}

Filename::~Filename() {
    const C4D_FileTable* t = c4d_link::Files();
    if (t && constructed_)
        t->Destruct(&fn_);
}

Bool Filename::CopyFrom(const C4D_Filename* src) {
    const C4D_FileTable* t = c4d_link::Files();
    return t && constructed_ && src && t->CopyTo(&fn_, src);
}

Bool Filename::SetPath(const maxon::String& path) {
    const C4D_FileTable* t = c4d_link::Files();
    return t && constructed_ && t->SetString(&fn_, path.Get());
}

String Filename::GetString() const {
    const C4D_FileTable* t = c4d_link::Files();
    return (t && constructed_) ? String(maxon::String::Adopt(t->GetString(&fn_))) : String();
}

const Filename Filename::GetDirectory() const {
    Filename dir;
    const C4D_FileTable* t = c4d_link::Files();
    if (t && constructed_ && dir.constructed_)
        t->GetDirectory(&dir.fn_, &fn_);
    return dir;
}

const Filename operator+(const Filename& fname1, const Filename& fname2) {
    Filename joined;
    const C4D_FileTable* t = c4d_link::Files();
    if (t && joined.constructed_) {
        const String part = fname2.GetString();
        t->Join(&joined.fn_, fname1.Get(), part.Get());
    }
    return joined;
}

Bool GeExecuteFile(const Filename& path) {
    const C4D_FileTable* t = c4d_link::Files();
    return t && t->ExecuteFile(path.Get());
}

const Filename GeGetPluginPath() {
    const Filename* path = c4d_link::ModulePath();
    return path ? path->GetDirectory() : Filename();
}

CORVEL_CINEMA_END

namespace c4d_link {

namespace {
// Written by actions 1 and 3 on the host's main thread only.
Filename* g_modulePath = nullptr;
} // namespace

Bool SetModulePath(const C4D_Filename* src) {
    FreeModulePath();
    g_modulePath = NewObjClear(Filename);
    if (!g_modulePath)
        return false;
    g_modulePath->CopyFrom(src);
    return true;
}

void FreeModulePath() { DeleteObj(g_modulePath); }

const Filename* ModulePath() { return g_modulePath; }

} // namespace c4d_link

namespace c4d_link {

Filename Join(const Filename& base, const maxon::String& part) {
    Filename joined;
    const C4D_FileTable* t = Files();
    if (t && joined.GetMutable())
        t->Join(joined.GetMutable(), base.Get(), part.Get());
    return joined;
}

} // namespace c4d_link
