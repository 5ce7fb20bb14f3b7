// c4d_resource.cpp - plug-in resources.
#include "c4d_resource.h"

#include "c4d_memory.h"

// Constant-initialised: nothing runs at module load.
GeResource g_resource;

GeResource::~GeResource() { Free(); }

Bool GeResource::Init() { return Init(GeGetPluginPath() + String("res"), true); }

Bool GeResource::Init(const Filename& folder, Bool release) {
    release_ = release;
    if (!folder_) {
        folder_ = NewObjClear<Filename>(folder);
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
    // Released, the resource is back where it started: the next Init asks the host again.
    loaded_ = false;
}

String GeResource::LoadString(Int32 id) const {
    const C4D_ResourceTable* t = c4d_link::Resources();
    return t ? String::Adopt(t->LoadString(handle_, id)) : String();
}

String GeLoadString(Int32 id) { return g_resource.LoadString(id); }
