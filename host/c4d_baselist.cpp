// c4d_baselist.cpp - list objects, render effects, documents and their render settings.
#include "c4d_baselist.h"

#include "c4d_basedocument.h"
#include "c4d_videopost.h"
#include "lib_description.h"

CORVEL_CINEMA_BEGIN

namespace {

// A list object pointer is the host's handle itself: the classes have no storage of their own.
C4D_ListObject* Handle(const BaseList2D* object) {
    return reinterpret_cast<C4D_ListObject*>(const_cast<BaseList2D*>(object));
}

template <typename T>
T* FromHandle(C4D_ListObject* handle) {
    return reinterpret_cast<T*>(handle);
}

C4D_Document* DocumentHandle(const BaseDocument* doc) {
    return reinterpret_cast<C4D_Document*>(const_cast<BaseDocument*>(doc));
}

C4D_DescID ToHost(const DescID& id) {
    C4D_DescID out{};
    for (Int32 i = 0; i < id.GetDepth() && i < C4D_DESCID_MAX_DEPTH; ++i) {
        const DescLevel level = id[i];
        out.level[i] = C4D_DescLevel{level.id, level.dtype, level.creator};
        out.depth = i + 1;
    }
    return out;
}

} // namespace

Int32 BaseList2D::GetType() const {
    const C4D_ListTable* t = c4d_link::Lists();
    return t ? t->GetType(Handle(this)) : 0;
}

Int32 BaseList2D::GetAllBits() const {
    const C4D_ListTable* t = c4d_link::Lists();
    return t ? t->GetAllBits(Handle(this)) : 0;
}

void BaseList2D::SetAllBits(Int32 bits) {
    if (const C4D_ListTable* t = c4d_link::Lists())
        t->SetAllBits(Handle(this), bits);
}

void BaseList2D::SetBit(Int32 mask) { SetAllBits(GetAllBits() | mask); }

void BaseList2D::DelBit(Int32 mask) { SetAllBits(GetAllBits() & ~mask); }

void BaseList2D::ToggleBit(Int32 mask) {
    if (const C4D_ListTable* t = c4d_link::Lists())
        t->ToggleBit(Handle(this), mask);
}

BaseContainer BaseList2D::GetData() {
    BaseContainer copy;
    const C4D_ListTable* t = c4d_link::Lists();
    // A failed copy must not pass for the parameters: the answer is then a container without
    // values, which no render settings object ever has.
    if (!t || !copy.IsValid() || !t->GetData(Handle(this), copy.GetMutable()))
        return BaseContainer::Borrow(nullptr);
    return copy;
}

void BaseList2D::SetData(const BaseContainer& bc, Bool add) {
    const C4D_ListTable* t = c4d_link::Lists();
    if (t && bc.IsValid())
        t->SetData(Handle(this), bc.Get(), add);
}

Bool BaseList2D::Message(Int32 type, void* data) {
    const C4D_ListTable* t = c4d_link::Lists();
    if (!t)
        return false;
    // The description messages' records are translated into the host's form for the call.
    switch (type) {
    case MSG_DESCRIPTION_COMMAND: {
        if (!data)
            return false;
        const auto* dc = static_cast<const DescriptionCommand*>(data);
        const C4D_DescID id = ToHost(dc->_descId);
        C4D_DescriptionCommand record{&id, dc->_msg ? dc->_msg->Get() : nullptr, nullptr, nullptr};
        return t->Message(Handle(this), type, &record);
    }
    case MSG_DESCRIPTION_CHECKUPDATE: {
        if (!data)
            return false;
        const auto* cu = static_cast<const DescriptionCheckUpdate*>(data);
        const C4D_DescID id = cu->descid ? ToHost(*cu->descid) : C4D_DescID{};
        C4D_DescriptionCheckUpdate record{DocumentHandle(cu->doc), cu->drawflags, cu->descid ? &id : nullptr};
        return t->Message(Handle(this), type, &record);
    }
    default:
        return t->Message(Handle(this), type, data);
    }
}

BaseVideoPost* BaseVideoPost::GetNext() {
    const C4D_ListTable* t = c4d_link::Lists();
    return t ? FromHandle<BaseVideoPost>(t->GetNext(Handle(this))) : nullptr;
}

BaseVideoPost* RenderData::GetFirstVideoPost() {
    const C4D_SceneTable* t = c4d_link::Scenes();
    return t ? FromHandle<BaseVideoPost>(t->GetFirstVideoPost(Handle(this))) : nullptr;
}

RenderData* BaseDocument::GetActiveRenderData() {
    const C4D_DocumentTable* t = c4d_link::Documents();
    return t ? FromHandle<RenderData>(t->GetActiveRenderData(DocumentHandle(this))) : nullptr;
}

BaseDocument* GetActiveDocument() {
    const C4D_DocumentTable* t = c4d_link::Documents();
    return t ? reinterpret_cast<BaseDocument*>(t->GetActiveDocument()) : nullptr;
}

CORVEL_CINEMA_END
