// c4d_baselist.h - list objects (render settings, render effects), their bits and messages.
//
// As in the SDK, the module never holds a list object by value: it gets pointers to objects the
// host owns (null when absent), and each member call goes to the host with that pointer.
#ifndef CORVEL_HOST_C4D_BASELIST_H
#define CORVEL_HOST_C4D_BASELIST_H

#include "c4d_basecontainer.h"
#include "maxon/apibase.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

class BaseDocument;
class DescID;

// Messages to list objects.
#define MSG_UPDATE 5
#define MSG_DESCRIPTION_CHECKUPDATE 17
#define MSG_DESCRIPTION_COMMAND 18

// The record of MSG_DESCRIPTION_CHECKUPDATE: the parameter `descid` of an object in `doc` changed
// and the host should bring what depends on it up to date.
struct DescriptionCheckUpdate {
    DescriptionCheckUpdate() : doc(nullptr), drawflags(0), descid(nullptr) {}
    BaseDocument* doc;
    Int32 drawflags;
    const DescID* descid;
};

class BaseList2D {
public:
    BaseList2D() = delete;
    BaseList2D(const BaseList2D&) = delete;
    BaseList2D& operator=(const BaseList2D&) = delete;
    ~BaseList2D() = delete;

    // The plug-in type id.
    Int32 GetType() const;
    // Sends a message with its record (MSG_UPDATE: none; MSG_DESCRIPTION_COMMAND: a
    // DescriptionCommand; MSG_DESCRIPTION_CHECKUPDATE: a DescriptionCheckUpdate); answers the
    // object's result.
    Bool Message(Int32 type, void* data = nullptr);

    Int32 GetAllBits() const;
    void SetAllBits(Int32 bits);
    // Sets, tests, clears and flips the bits of `mask`.
    void SetBit(Int32 mask);
    Bool GetBit(Int32 mask) const { return (GetAllBits() & mask) == mask; }
    void DelBit(Int32 mask);
    void ToggleBit(Int32 mask);

    // A copy of the object's parameter container. When the host could not copy it, the answer
    // is empty (GetIndexId(0) is NOTOK).
    BaseContainer GetData();
    // Writes `bc` into the parameters: with `add` its keys replace or add to the object's;
    // without, the parameters become exactly `bc`.
    void SetData(const BaseContainer& bc, Bool add = true);
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_BASELIST_H
