// c4d_bitmap.cpp - host bitmaps and the resource-folder icon loader.
#include "c4d_bitmap.h"

BaseBitmap::BaseBitmap() {
    if (const C4D_BitmapTable* t = c4d_link::Bitmaps())
        handle_ = t->Alloc();
}

BaseBitmap::~BaseBitmap() {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    if (t && handle_)
        t->Free(handle_);
}

Int32 BaseBitmap::Init(const Filename& name, Int32 frame) {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    if (!t || !handle_)
        return C4D_IMAGERESULT_OUTOFMEMORY;
    return t->InitWithFile(handle_, name.Get(), frame);
}

Bool BaseBitmap::SetData(Int32 id, Float value) {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    return t && handle_ && t->SetFloatData(handle_, id, value);
}

Int32 BaseBitmap::GetBw() const {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    return (t && handle_) ? t->GetWidth(handle_) : 0;
}

Int32 BaseBitmap::GetBh() const {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    return (t && handle_) ? t->GetHeight(handle_) : 0;
}

AutoBitmap::AutoBitmap(const String& name, Float pixelRatio) {
    bitmap_.emplace();
    if (!bitmap_->IsValid()) {
        bitmap_.reset();
        return;
    }
    const Filename path = GeGetPluginPath() + String("res") + name;
    if (bitmap_->Init(path, -1) != IMAGERESULT_OK) {
        bitmap_.reset();
        return;
    }
    // The pixel ratio only tells the host how to scale the icon; without it the host shows the
    // icon at its natural size, so a failure to store it is no reason to drop the icon.
    bitmap_->SetData(BASEBITMAP_DATA_GUIPIXELRATIO, pixelRatio);
}
