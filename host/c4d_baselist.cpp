// c4d_baselist.cpp - list objects and description ids.
#include "c4d_baselist.h"

#include "c4d_document.h"

DescID::DescID(const DescLevel& level) : DescID() { PushId(level); }

void DescID::PushId(const DescLevel& level) {
    if (id_.depth >= C4D_DESCID_MAX_DEPTH)
        return;
    id_.level[id_.depth] = C4D_DescLevel{level.id, level.dtype, level.creator};
    ++id_.depth;
}

Int32 BaseList2D::GetType() const {
    const C4D_ListTable* t = c4d_link::Lists();
    return (t && handle_) ? t->GetType(handle_) : 0;
}

Int32 BaseList2D::GetAllBits() const {
    const C4D_ListTable* t = c4d_link::Lists();
    return (t && handle_) ? t->GetAllBits(handle_) : 0;
}

void BaseList2D::SetAllBits(Int32 bits) {
    const C4D_ListTable* t = c4d_link::Lists();
    if (t && handle_)
        t->SetAllBits(handle_, bits);
}

void BaseList2D::SetBit(Int32 mask) { SetAllBits(GetAllBits() | mask); }

void BaseList2D::ToggleBit(Int32 mask) {
    const C4D_ListTable* t = c4d_link::Lists();
    if (t && handle_)
        t->ToggleBit(handle_, mask);
}

BaseContainer BaseList2D::GetData() const {
    BaseContainer copy;
    const C4D_ListTable* t = c4d_link::Lists();
    if (!t || !handle_ || !copy.IsValid() || !t->GetData(handle_, copy.GetMutable()))
        return BaseContainer::Borrow(nullptr);
    return copy;
}

Bool BaseList2D::SetData(const BaseContainer& bc, Bool merge) {
    const C4D_ListTable* t = c4d_link::Lists();
    return t && handle_ && bc.IsValid() && t->SetData(handle_, bc.Get(), merge);
}

namespace {

Bool SendListMessage(C4D_ListObject* obj, Int32 type, void* data) {
    const C4D_ListTable* t = c4d_link::Lists();
    return t && obj && t->Message(obj, type, data);
}

} // namespace

Bool BaseList2D::Message(Int32 type) { return SendListMessage(handle_, type, nullptr); }

Bool BaseList2D::Message(Int32 type, const DescriptionCommand& dc) {
    C4D_DescriptionCommand record{dc.descId ? dc.descId->Get() : nullptr, dc.msg ? dc.msg->Get() : nullptr, nullptr,
                                  nullptr};
    return SendListMessage(handle_, type, &record);
}

Bool BaseList2D::Message(Int32 type, const DescriptionCheckUpdate& cu) {
    C4D_DescriptionCheckUpdate record{cu.doc ? cu.doc->Get() : nullptr, cu.drawflags,
                                      cu.descid ? cu.descid->Get() : nullptr};
    return SendListMessage(handle_, type, &record);
}

BaseVideoPost BaseVideoPost::GetNext() const {
    const C4D_ListTable* t = c4d_link::Lists();
    return BaseVideoPost((t && handle_) ? t->GetNext(handle_) : nullptr);
}

BaseVideoPost RenderData::GetFirstVideoPost() const {
    const C4D_SceneTable* t = c4d_link::Scenes();
    return BaseVideoPost((t && handle_) ? t->GetFirstVideoPost(handle_) : nullptr);
}
