// c4d_bitmap.h - host bitmaps and the resource-folder icon loader.
#ifndef CORVEL_HOST_C4D_BITMAP_H
#define CORVEL_HOST_C4D_BITMAP_H

#include <optional>

#include "c4d_file.h"
#include "c4d_link.h"
#include "c4d_string.h"

constexpr Int32 IMAGERESULT_OK = C4D_IMAGERESULT_OK;
constexpr Int32 BASEBITMAP_DATA_GUIPIXELRATIO = C4D_BITMAPDATA_GUIPIXELRATIO;

// One host bitmap, owned: freed through the host with the object.
class BaseBitmap {
public:
    // A new empty bitmap; IsValid() is false when the host had no memory.
    BaseBitmap();
    BaseBitmap(const BaseBitmap&) = delete;
    BaseBitmap& operator=(const BaseBitmap&) = delete;
    ~BaseBitmap();

    Bool IsValid() const { return handle_ != nullptr; }
    // Loads frame `frame` (-1: the default frame) of the image file `name`. Answers the host's
    // image result (IMAGERESULT_OK on success); on anything else the bitmap stays empty. A bitmap
    // without storage answers C4D_IMAGERESULT_OUTOFMEMORY.
    Int32 Init(const Filename& name, Int32 frame = -1);
    // Stores a Float datum (BASEBITMAP_DATA_GUIPIXELRATIO). False when out of memory.
    Bool SetData(Int32 id, Float value);
    Int32 GetBw() const;
    Int32 GetBh() const;

    const C4D_Bitmap* Get() const { return handle_; }

private:
    C4D_Bitmap* handle_ = nullptr;
};

// An icon from the module's resource folder ("res" in the plug-in folder), loaded on construction
// with the given pixel ratio. Converts to null when the file is missing or can't be loaded.
class AutoBitmap {
public:
    explicit AutoBitmap(const String& name, Float pixelRatio = 1.0);
    AutoBitmap(const AutoBitmap&) = delete;
    AutoBitmap& operator=(const AutoBitmap&) = delete;

    operator BaseBitmap*() { return bitmap_ ? &*bitmap_ : nullptr; }

private:
    // Present only while it holds the loaded image; a failed load gives the bitmap back at once.
    std::optional<BaseBitmap> bitmap_;
};

#endif // CORVEL_HOST_C4D_BITMAP_H
