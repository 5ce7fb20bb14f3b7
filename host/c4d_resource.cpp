// c4d_resource.cpp - plug-in resources.
#include "c4d_resource.h"

#include "c4d_memory.h"

CORVEL_CINEMA_BEGIN

// Constant-initialised: nothing runs at module load.
GeResource g_resource;

GeResource::~GeResource() { Free(); }

Bool GeResource::Init() { return Init(c4d_link::Join(GeGetPluginPath(), maxon::String("res")), true); }

Bool GeResource::Init(const Filename& path, Bool regardIsStopped) {
    release_ = regardIsStopped;
    if (!folder_) {
        folder_ = NewObjClear(Filename, path);
        if (!folder_)
            return false;
    }
    // A failed load is not retried: the folder didn't change, and asking the host again would
    // only repeat its complaint.
    if (loaded_)
        return handle_ != nullptr;
    const C4D_ResourceTable* t = c4d_link::Resources();
    handle_ = t ? t->Load(folder_->Get()) : nullptr;
    loaded_ = true;
    return handle_ != nullptr;
}

void GeResource::Free() {
    if (handle_) {
        if (const C4D_ResourceTable* t = c4d_link::Resources())
            t->Release(handle_, release_);
        handle_ = nullptr;
    }
    DeleteObj(folder_);
    for (String& s : recent_)
        s = String();
    // Released, the resource is back where it started: the next Init asks the host again.
    loaded_ = false;
}

const String& GeResource::LoadString(Int32 id) {
    const C4D_ResourceTable* t = c4d_link::Resources();
    String& slot = recent_[nextRecent_];
    nextRecent_ = (nextRecent_ + 1) % kRecentStrings;
    slot = t ? String(maxon::String::Adopt(t->LoadString(handle_, id))) : String();
    return slot;
}

const String& GeLoadString(Int32 id) { return g_resource.LoadString(id); }

CORVEL_CINEMA_END
