// c4d_basedata.h - the root of every object the module registers with the host.
#ifndef CORVEL_HOST_C4D_BASEDATA_H
#define CORVEL_HOST_C4D_BASEDATA_H

#include "maxon/apibase.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

// The host destroys registered objects through the virtual destructor.
class BaseData {
public:
    BaseData() = default;
    BaseData(const BaseData&) = delete;
    BaseData& operator=(const BaseData&) = delete;
    virtual ~BaseData() = default;
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_BASEDATA_H
