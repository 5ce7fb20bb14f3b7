// c4d_basecontainer.cpp - the host's keyed container.
#include "c4d_basecontainer.h"

CORVEL_CINEMA_BEGIN

namespace {

C4D_Container* AllocContainer(Int32 id) {
    const C4D_ContainerTable* t = c4d_link::Containers();
    return t ? t->Alloc(id) : nullptr;
}

// A fresh owned copy of `src`, or null when the host had no memory for it.
C4D_Container* CopyContainer(const C4D_Container* src) {
    const C4D_ContainerTable* t = c4d_link::Containers();
    // A container without storage copies as one without storage: the failure stays visible.
    if (!t || !src)
        return nullptr;
    C4D_Container* copy = t->Alloc(t->GetId(src));
    if (copy && !t->CopyTo(copy, src)) {
        t->Free(copy);
        copy = nullptr;
    }
    return copy;
}

} // namespace

BaseContainer::BaseContainer() : handle_(AllocContainer(0)) {}

BaseContainer::BaseContainer(Int32 id) : handle_(AllocContainer(id)) {}

BaseContainer::BaseContainer(C4D_Container* handle, Mode mode)
    : handle_(handle), owned_(mode == Mode::Owned), mutable_(mode != Mode::Borrowed) {}

BaseContainer::BaseContainer(const BaseContainer& other) : handle_(CopyContainer(other.handle_)) {}

BaseContainer::BaseContainer(BaseContainer&& other) noexcept
    : handle_(other.handle_), owned_(other.owned_), mutable_(other.mutable_) {
    other.handle_ = nullptr;
    other.owned_ = true;
    other.mutable_ = true;
}

const BaseContainer& BaseContainer::operator=(const BaseContainer& other) {
    if (this == &other)
        return *this;
    const C4D_ContainerTable* t = c4d_link::Containers();
    if (handle_ && mutable_ && !owned_) {
        // A container the host lent for writing keeps its storage; a failed copy leaves it as it
        // was, which the host's own container rules allow.
        if (t && other.handle_)
            t->CopyTo(handle_, other.handle_);
        return *this;
    }
    if (handle_ && owned_ && t && other.handle_ && t->CopyTo(handle_, other.handle_))
        return *this;
    // No storage of our own, a source without values, or a failed copy: this container must not
    // go on showing its old values as if they were the copy.
    Drop();
    handle_ = CopyContainer(other.handle_);
    owned_ = true;
    mutable_ = true;
    return *this;
}

BaseContainer& BaseContainer::operator=(BaseContainer&& other) noexcept {
    if (this != &other) {
        Drop();
        handle_ = other.handle_;
        owned_ = other.owned_;
        mutable_ = other.mutable_;
        other.handle_ = nullptr;
        other.owned_ = true;
        other.mutable_ = true;
    }
    return *this;
}

BaseContainer::~BaseContainer() { Drop(); }

BaseContainer BaseContainer::Borrow(const C4D_Container* handle) {
    // The const is restored by mutable_ == false: no write reaches a read-only borrow.
    return BaseContainer(const_cast<C4D_Container*>(handle), Mode::Borrowed);
}

BaseContainer BaseContainer::BorrowMutable(C4D_Container* handle) {
    return BaseContainer(handle, Mode::BorrowedMutable);
}

void BaseContainer::Rebind(const C4D_Container* handle) {
    Drop();
    handle_ = const_cast<C4D_Container*>(handle);
    owned_ = false;
    mutable_ = false;
}

void BaseContainer::Drop() {
    if (handle_ && owned_) {
        if (const C4D_ContainerTable* t = c4d_link::Containers())
            t->Free(handle_);
    }
    handle_ = nullptr;
}

Int32 BaseContainer::GetId() const {
    const C4D_ContainerTable* t = c4d_link::Containers();
    return (t && handle_) ? t->GetId(handle_) : 0;
}

void BaseContainer::SetId(Int32 id) {
    const C4D_ContainerTable* t = c4d_link::Containers();
    if (t && handle_ && mutable_)
        t->SetId(handle_, id);
}

Int32 BaseContainer::GetInt32(Int32 id, Int32 preset) const {
    const C4D_ContainerTable* t = c4d_link::Containers();
    return (t && handle_) ? t->GetInt32(handle_, id, preset) : preset;
}

Bool BaseContainer::GetBool(Int32 id, Bool preset) const {
    const C4D_ContainerTable* t = c4d_link::Containers();
    return (t && handle_) ? t->GetBool(handle_, id, preset) : preset;
}

Float BaseContainer::GetFloat(Int32 id, Float preset) const {
    const C4D_ContainerTable* t = c4d_link::Containers();
    return (t && handle_) ? t->GetFloat(handle_, id, preset) : preset;
}

void BaseContainer::SetInt32(Int32 id, Int32 value) {
    const C4D_ContainerTable* t = c4d_link::Containers();
    if (t && handle_ && mutable_)
        t->SetInt32(handle_, id, value);
}

void BaseContainer::SetBool(Int32 id, Bool value) {
    const C4D_ContainerTable* t = c4d_link::Containers();
    if (t && handle_ && mutable_)
        t->SetBool(handle_, id, value);
}

void BaseContainer::SetFloat(Int32 id, Float value) {
    const C4D_ContainerTable* t = c4d_link::Containers();
    if (t && handle_ && mutable_)
        t->SetFloat(handle_, id, value);
}

Int32 BaseContainer::GetCount() const {
    const C4D_ContainerTable* t = c4d_link::Containers();
    return (t && handle_) ? t->GetCount(handle_) : 0;
}

Int32 BaseContainer::GetIndexId(Int32 index) const {
    // The host answers 0 past the end; the SDK's callers look for NOTOK.
    if (index < 0 || index >= GetCount())
        return NOTOK;
    return c4d_link::Containers()->GetIndexId(handle_, index);
}

CORVEL_CINEMA_END
