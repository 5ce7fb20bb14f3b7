// c4d_file.cpp - file names, the plug-in folder, opening files.
#include "c4d_file.h"

#include "c4d_memory.h"

Filename::Filename() : fn_{nullptr} {
    if (const C4D_FileTable* t = c4d_link::Files()) {
        t->Construct(&fn_);
        constructed_ = true;
    }
}

Filename::Filename(const String& path) : Filename() { SetString(path); }

Filename::Filename(const Filename& other) : Filename() {
    const C4D_FileTable* t = c4d_link::Files();
    if (t && constructed_)
        t->CopyTo(&fn_, &other.fn_);
}

Filename& Filename::operator=(const Filename& other) {
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

Bool Filename::SetString(const String& path) {
    const C4D_FileTable* t = c4d_link::Files();
    return t && constructed_ && t->SetString(&fn_, path.Get());
}

String Filename::GetString() const {
    const C4D_FileTable* t = c4d_link::Files();
    return (t && constructed_) ? String::Adopt(t->GetString(&fn_)) : String();
}

Filename Filename::GetDirectory() const {
    Filename dir;
    const C4D_FileTable* t = c4d_link::Files();
    if (t && constructed_ && dir.constructed_)
        t->GetDirectory(&dir.fn_, &fn_);
    return dir;
}

Filename operator+(const Filename& base, const String& part) {
    Filename joined;
    const C4D_FileTable* t = c4d_link::Files();
    if (t && joined.constructed_)
        t->Join(&joined.fn_, base.Get(), part.Get());
    return joined;
}

Bool GeExecuteFile(const Filename& fn) {
    const C4D_FileTable* t = c4d_link::Files();
    return t && t->ExecuteFile(fn.Get());
}

namespace c4d_link {

namespace {
// Written by actions 1 and 3 on the host's main thread only.
Filename* g_modulePath = nullptr;
} // namespace

Bool SetModulePath(const C4D_Filename* src) {
    FreeModulePath();
    g_modulePath = NewObjClear<Filename>();
    if (!g_modulePath)
        return false;
    g_modulePath->CopyFrom(src);
    return true;
}

void FreeModulePath() { DeleteObj(g_modulePath); }

const Filename* ModulePath() { return g_modulePath; }

} // namespace c4d_link

Filename GeGetPluginPath() {
    const Filename* path = c4d_link::ModulePath();
    return path ? path->GetDirectory() : Filename();
}
