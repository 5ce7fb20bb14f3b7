// c4d_videopost.h - render effects (video posts) of a render settings object.
#ifndef CORVEL_HOST_C4D_VIDEOPOST_H
#define CORVEL_HOST_C4D_VIDEOPOST_H

#include "c4d_baselist.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

class BaseVideoPost : public BaseList2D {
public:
    // The next render effect of the same render settings, or null.
    BaseVideoPost* GetNext();
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_VIDEOPOST_H
