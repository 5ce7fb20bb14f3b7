// c4d_baselist.h - list objects: render settings and render effects (video posts), and the
// description ids that name their parameters.
//
// These are handles to objects the host owns: copying one copies the reference, never the
// object, and nothing is freed when a handle goes. A null handle answers every query with its
// failure value.
#ifndef CORVEL_HOST_C4D_BASELIST_H
#define CORVEL_HOST_C4D_BASELIST_H

#include "c4d_basecontainer.h"
#include "c4d_link.h"

constexpr Int32 BIT_VPDISABLED = C4D_BIT_VPDISABLED;
constexpr Int32 MSG_UPDATE = C4D_MSG_UPDATE;
constexpr Int32 MSG_DESCRIPTION_CHECKUPDATE = C4D_MSG_DESCRIPTION_CHECKUPDATE;
constexpr Int32 MSG_DESCRIPTION_COMMAND = C4D_MSG_DESCRIPTION_COMMAND;
constexpr Int32 DTYPE_BUTTON = C4D_DTYPE_BUTTON;

struct DescLevel {
    Int32 id = 0;
    Int32 dtype = 0;
    Int32 creator = 0;
    DescLevel() = default;
    DescLevel(Int32 id_, Int32 dtype_ = 0, Int32 creator_ = 0) : id(id_), dtype(dtype_), creator(creator_) {}
};

// A path of up to seven levels naming a parameter of a list object.
class DescID {
public:
    DescID() : id_{} {}
    explicit DescID(const DescLevel& level);
    // Appends a level; ignored beyond the seventh.
    void PushId(const DescLevel& level);
    Int32 GetDepth() const { return id_.depth; }
    const C4D_DescID* Get() const { return &id_; }

private:
    C4D_DescID id_;
};

class BaseDocument;

// The record of MSG_DESCRIPTION_COMMAND: a parameter button pressed, with the action message that
// the host's own user interface would send for it. Both are borrowed for the call.
struct DescriptionCommand {
    const DescID* descId = nullptr;
    const BaseContainer* msg = nullptr;
};

// The record of MSG_DESCRIPTION_CHECKUPDATE: the parameter `descid` of an object in `doc` changed
// and the host should bring what depends on it up to date.
struct DescriptionCheckUpdate {
    const BaseDocument* doc = nullptr;
    Int32 drawflags = 0;
    const DescID* descid = nullptr;
};

class BaseList2D {
public:
    BaseList2D() = default;
    explicit BaseList2D(C4D_ListObject* handle) : handle_(handle) {}

    explicit operator bool() const { return handle_ != nullptr; }
    bool operator==(const BaseList2D& other) const { return handle_ == other.handle_; }
    bool operator!=(const BaseList2D& other) const { return handle_ != other.handle_; }

    // The plug-in type id; 0 for a null handle.
    Int32 GetType() const;
    Int32 GetAllBits() const;
    void SetAllBits(Int32 bits);
    // Sets the bits of `mask` (leaving the others).
    void SetBit(Int32 mask);
    Bool GetBit(Int32 mask) const { return (GetAllBits() & mask) == mask; }
    void ToggleBit(Int32 mask);
    // A copy of the object's parameter container. Without storage (no memory, null handle, or a
    // failed copy) the answer is not IsValid().
    BaseContainer GetData() const;
    // Writes `bc` into the parameters: with `merge` its keys replace or add to the object's;
    // without, the parameters become exactly `bc`. False when the host refused.
    Bool SetData(const BaseContainer& bc, Bool merge = true);
    // Sends a message without data (MSG_UPDATE); answers the object's result.
    Bool Message(Int32 type);
    // The description messages with their records, translated into the host's form for the call.
    Bool Message(Int32 type, const DescriptionCommand& dc);
    Bool Message(Int32 type, const DescriptionCheckUpdate& cu);

    C4D_ListObject* Get() const { return handle_; }

protected:
    C4D_ListObject* handle_ = nullptr;
};

// A render effect of a render settings object.
class BaseVideoPost : public BaseList2D {
public:
    using BaseList2D::BaseList2D;
    // The next render effect, or a null handle.
    BaseVideoPost GetNext() const;
};

// A render settings object.
class RenderData : public BaseList2D {
public:
    using BaseList2D::BaseList2D;
    // The first render effect, or a null handle.
    BaseVideoPost GetFirstVideoPost() const;
};

#endif // CORVEL_HOST_C4D_BASELIST_H
