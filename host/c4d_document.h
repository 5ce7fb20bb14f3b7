// c4d_document.h - documents and their active render settings.
#ifndef CORVEL_HOST_C4D_DOCUMENT_H
#define CORVEL_HOST_C4D_DOCUMENT_H

#include "c4d_baselist.h"
#include "c4d_link.h"

// A handle to a document the host owns; a null handle answers every query with its failure value.
class BaseDocument {
public:
    BaseDocument() = default;
    explicit BaseDocument(C4D_Document* handle) : handle_(handle) {}

    explicit operator bool() const { return handle_ != nullptr; }
    bool operator==(const BaseDocument& other) const { return handle_ == other.handle_; }

    // The active render settings, or a null handle.
    RenderData GetActiveRenderData() const;

    C4D_Document* Get() const { return handle_; }

private:
    C4D_Document* handle_ = nullptr;
};

// The active document, or a null handle when the host has none.
BaseDocument GetActiveDocument();

#endif // CORVEL_HOST_C4D_DOCUMENT_H
