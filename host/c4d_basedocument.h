// c4d_basedocument.h - documents and their render settings.
#ifndef CORVEL_HOST_C4D_BASEDOCUMENT_H
#define CORVEL_HOST_C4D_BASEDOCUMENT_H

#include "c4d_baselist.h"
#include "c4d_videopost.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

// A render settings object.
class RenderData : public BaseList2D {
public:
    // The first render effect, or null.
    BaseVideoPost* GetFirstVideoPost();
};

// A document the host owns. The host's documents are a service area of their own, so only the
// document operations below reach it.
class BaseDocument {
public:
    BaseDocument() = delete;
    BaseDocument(const BaseDocument&) = delete;
    BaseDocument& operator=(const BaseDocument&) = delete;
    ~BaseDocument() = delete;

    // The active render settings, or null.
    RenderData* GetActiveRenderData();
};

// The active document, or null when the host has none.
BaseDocument* GetActiveDocument();

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_BASEDOCUMENT_H
