// c4d_basebitmap.cpp - host bitmaps and the resource-folder icon loader.
#include "c4d_basebitmap.h"

#include <new>

CORVEL_CINEMA_BEGIN

namespace {

IMAGERESULT FromHost(Int32 result) {
    switch (result) {
    case C4D_IMAGERESULT_OK: return IMAGERESULT::OK;
    case C4D_IMAGERESULT_NOTEXISTING: return IMAGERESULT::NOTEXISTING;
    case C4D_IMAGERESULT_WRONGTYPE: return IMAGERESULT::WRONGTYPE;
    case C4D_IMAGERESULT_OUTOFMEMORY: return IMAGERESULT::OUTOFMEMORY;
    case C4D_IMAGERESULT_FILEERROR: return IMAGERESULT::FILEERROR;
    case C4D_IMAGERESULT_FILESTRUCTURE: return IMAGERESULT::FILESTRUCTURE;
    default: return IMAGERESULT::MISC_ERROR;
    }
}

} // namespace

BaseBitmap::BaseBitmap() {
    if (const C4D_BitmapTable* t = c4d_link::Bitmaps())
        handle_ = t->Alloc();
}

BaseBitmap::~BaseBitmap() {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    if (t && handle_)
        t->Free(handle_);
}

IMAGERESULT BaseBitmap::Init(const Filename& name, Int32 frame) {
    const C4D_BitmapTable* t = c4d_link::Bitmaps();
    if (!t || !handle_)
        return IMAGERESULT::OUTOFMEMORY;
    return FromHost(t->InitWithFile(handle_, name.Get(), frame));
}

Bool BaseBitmap::SetFloatData(Int32 id, Float value) {
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

namespace {

void Drop(BaseBitmap*& bmp) {
    if (bmp)
        bmp->~BaseBitmap();
    bmp = nullptr;
}

} // namespace

AutoBitmap::AutoBitmap(const maxon::String& str, Float pixelRatio) : storage_{} {
    static_assert(sizeof(BaseBitmap) <= sizeof storage_, "the icon's bitmap fits its storage");
    bmp = new (storage_) BaseBitmap();
    if (!bmp->IsValid()) {
        Drop(bmp);
        return;
    }
    const Filename path = c4d_link::Join(c4d_link::Join(GeGetPluginPath(), maxon::String("res")), str);
    if (bmp->Init(path, -1) != IMAGERESULT::OK) {
        Drop(bmp);
        return;
    }
    // The pixel ratio only tells the host how to scale the icon; without it the host shows the
    // icon at its natural size, so a failure to store it is no reason to drop the icon.
    bmp->SetFloatData(BASEBITMAP_DATA_GUIPIXELRATIO, pixelRatio);
}

AutoBitmap::~AutoBitmap() { Drop(bmp); }

CORVEL_CINEMA_END
