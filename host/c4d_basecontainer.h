// c4d_basecontainer.h - the host's keyed container: Int32 key -> typed value.
//
// A BaseContainer either owns a host container (made by the module, freed with it) or borrows
// one the host lends for the length of a call (a dialog message, a command's sub-menu). Copies
// are always owned: assignment and copy construction copy the contents through the host.
#ifndef CORVEL_HOST_C4D_BASECONTAINER_H
#define CORVEL_HOST_C4D_BASECONTAINER_H

#include "c4d_link.h"

class BaseContainer {
public:
    // A new, empty container with the id `id`. When the host has no memory the container stays
    // without storage: reads answer their presets and writes answer false.
    explicit BaseContainer(Int32 id = 0);
    BaseContainer(const BaseContainer& other);
    BaseContainer(BaseContainer&& other) noexcept;
    // Copies the contents (id and values). When the copy fails (no memory), this container is
    // left as it was.
    BaseContainer& operator=(const BaseContainer& other);
    BaseContainer& operator=(BaseContainer&& other) noexcept;
    ~BaseContainer();

    // A container that only refers to `handle` for the length of a host call and never frees it.
    static BaseContainer Borrow(const C4D_Container* handle);
    static BaseContainer BorrowMutable(C4D_Container* handle);

    // False when the container has no storage (its allocation failed).
    Bool IsValid() const { return handle_ != nullptr; }

    Int32 GetId() const;
    void SetId(Int32 id);

    // Typed reads answer `preset` when the key is absent (or the container has no storage).
    Int32 GetInt32(Int32 key, Int32 preset = 0) const;
    Bool GetBool(Int32 key, Bool preset = false) const;
    Float GetFloat(Int32 key, Float preset = 0.0) const;

    // Writes answer false when the host had no memory for the value (the container is then
    // unchanged) or when this is a read-only borrow.
    Bool SetInt32(Int32 key, Int32 value);
    Bool SetBool(Int32 key, Bool value);
    Bool SetFloat(Int32 key, Float value);

    Int32 GetCount() const;
    Int32 GetIndexId(Int32 index) const;

    // The handle, borrowed for a host call.
    const C4D_Container* Get() const { return handle_; }
    // Null for a read-only borrow.
    C4D_Container* GetMutable() const { return mutable_ ? handle_ : nullptr; }

private:
    enum class Mode { Owned, Borrowed, BorrowedMutable };
    BaseContainer(C4D_Container* handle, Mode mode);
    void Drop();

    C4D_Container* handle_ = nullptr;
    Bool owned_ = true;
    Bool mutable_ = true;
};

#endif // CORVEL_HOST_C4D_BASECONTAINER_H
