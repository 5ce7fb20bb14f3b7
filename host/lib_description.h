// lib_description.h - description ids, which name a parameter of a list object, and the record
// of MSG_DESCRIPTION_COMMAND.
#ifndef CORVEL_HOST_LIB_DESCRIPTION_H
#define CORVEL_HOST_LIB_DESCRIPTION_H

#include "c4d_basecontainer.h"
#include "maxon/apibase.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

class GeDialog;

// Parameter data types.
enum {
    DTYPE_BUTTON = 8,
};

// One level of a description id: the parameter id, its data type and the type of its creator.
struct DescLevel {
    DescLevel(Int32 t_id) : id(t_id), dtype(0), creator(0) {} // NOLINT(google-explicit-constructor)
    DescLevel(Int32 t_id, Int32 t_datatype, Int32 t_creator) : id(t_id), dtype(t_datatype), creator(t_creator) {}
    Int32 id;
    Int32 dtype;
    Int32 creator;
};

// A path of up to seven levels naming a parameter of a list object.
class DescID {
public:
    DescID() = default;
#if API_VERSION < 2024000
    DescID(const DescLevel& id1) { PushId(id1); } // NOLINT(google-explicit-constructor)
#else
    // From release 2024 an id is made with CreateDescID.
    static DescID Create(const DescLevel& id1) {
        DescID id;
        id.PushId(id1);
        return id;
    }
#endif
    // Appends a level; ignored beyond the seventh.
    void PushId(const DescLevel& subid) {
        if (depth_ < kMaxDepth)
            levels_[depth_++] = Level{subid.id, subid.dtype, subid.creator};
    }
    Int32 GetDepth() const { return depth_; }
    // The level at `pos`; a zero level past the depth.
    DescLevel operator[](Int32 pos) const {
        if (pos < 0 || pos >= depth_)
            return DescLevel(0, 0, 0);
        return DescLevel(levels_[pos].id, levels_[pos].dtype, levels_[pos].creator);
    }

private:
    static constexpr Int32 kMaxDepth = 7;
    struct Level {
        Int32 id;
        Int32 dtype;
        Int32 creator;
    };
    Int32 depth_ = 0;
    Level levels_[kMaxDepth] = {};
};

#if API_VERSION >= 2024000
#define CreateDescID(...) DescID::Create(__VA_ARGS__)
#endif

// What every description message names: the parameter and the dialog it came from.
struct DescriptionBaseMessage {
    DescID _descId;
    GeDialog* _parentDialog = nullptr;
};

// The record of MSG_DESCRIPTION_COMMAND: a parameter button pressed, with the action message
// that the host's own user interface sends for it.
struct DescriptionCommand : public DescriptionBaseMessage {
    const BaseContainer* _msg = nullptr;
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_LIB_DESCRIPTION_H
