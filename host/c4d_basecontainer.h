// c4d_basecontainer.h - the host's keyed container: Int32 key -> typed value.
//
// A BaseContainer either owns a host container (made by the module, freed with it) or borrows
// one the host lends (a dialog message, a command's sub-menu, the stored preferences). Copies are
// always owned: assignment and copy construction copy the contents through the host.
//
// As in the SDK, writes answer nothing. A container whose storage the host could not provide, or
// whose copy failed, holds no values: it reads as empty (GetIndexId(0) answers NOTOK), which no
// real parameter container ever is.
#ifndef CORVEL_HOST_C4D_BASECONTAINER_H
#define CORVEL_HOST_C4D_BASECONTAINER_H

#include "maxon/apibase.h"

#if !defined(CORVEL_SDK_STRICT)
#include "c4d_link.h"
#endif

#if API_VERSION >= 2025000
namespace cinema {
#endif

class BaseContainer {
public:
    // A new, empty container with id 0 or `id`.
    BaseContainer();
    explicit BaseContainer(Int32 id);
    BaseContainer(const BaseContainer& other);
    BaseContainer(BaseContainer&& other) noexcept;
    // Copies the contents (id and values). When the copy fails (no memory), this container is
    // left empty rather than holding what it held before.
    const BaseContainer& operator=(const BaseContainer& other);
    BaseContainer& operator=(BaseContainer&& other) noexcept;
    ~BaseContainer();

    Int32 GetId() const;
    void SetId(Int32 id);

    // Typed reads answer `preset` when the key is absent.
    Int32 GetInt32(Int32 id, Int32 preset = 0) const;
    Bool GetBool(Int32 id, Bool preset = false) const;
    Float GetFloat(Int32 id, Float preset = 0.0) const;

    // Writes replace the key's value or add the key. A write the host had no memory for leaves the
    // container as it was; reading the key back shows it.
    void SetInt32(Int32 id, Int32 value);
    void SetBool(Int32 id, Bool value);
    void SetFloat(Int32 id, Float value);

    // The key at `index` (0-based, in insertion order); NOTOK past the last.
    Int32 GetIndexId(Int32 index) const;

#if !defined(CORVEL_SDK_STRICT)
    // A container that only refers to `handle` for the length of a host call and never frees it.
    static BaseContainer Borrow(const C4D_Container* handle);
    static BaseContainer BorrowMutable(C4D_Container* handle);
    // A read-only view of no container, constant-initialised; Rebind points it at one.
    struct ViewTag {};
    constexpr explicit BaseContainer(ViewTag) : owned_(false), mutable_(false) {}
    void Rebind(const C4D_Container* handle);

    // False when the container has no storage (its allocation or copy failed).
    Bool IsValid() const { return handle_ != nullptr; }
    Int32 GetCount() const;

    // The handle, borrowed for a host call.
    const C4D_Container* Get() const { return handle_; }
    // Null for a read-only borrow.
    C4D_Container* GetMutable() const { return mutable_ ? handle_ : nullptr; }

private:
    enum class Mode { Owned, Borrowed, BorrowedMutable };
    BaseContainer(C4D_Container* handle, Mode mode);
    void Drop();

    C4D_Container* handle_ = nullptr;
#else
private:
    void* handle_ = nullptr; // the strict check sees only the SDK's names; the size stays
#endif
    Bool owned_ = true;
    Bool mutable_ = true;
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_BASECONTAINER_H
