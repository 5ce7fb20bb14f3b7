// c4d_document.cpp - documents and their active render settings.
#include "c4d_document.h"

RenderData BaseDocument::GetActiveRenderData() const {
    const C4D_DocumentTable* t = c4d_link::Documents();
    return RenderData((t && handle_) ? t->GetActiveRenderData(handle_) : nullptr);
}

BaseDocument GetActiveDocument() {
    const C4D_DocumentTable* t = c4d_link::Documents();
    return BaseDocument(t ? t->GetActiveDocument() : nullptr);
}
