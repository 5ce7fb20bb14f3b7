// c4d_basebitmap.h - host bitmaps and the resource-folder icon loader.
#ifndef CORVEL_HOST_C4D_BASEBITMAP_H
#define CORVEL_HOST_C4D_BASEBITMAP_H

#include "c4d_file.h"
#include "ge_prepass.h"
#include "maxon/apibase.h"
#include "maxon/string.h"

#if !defined(CORVEL_SDK_STRICT)
#include "c4d_link.h"
#endif

#if API_VERSION >= 2025000
namespace cinema {
#endif

// Bitmap data ids.
#define BASEBITMAP_DATA_GUIPIXELRATIO 100

// One host bitmap, owned: freed through the host with the object.
class BaseBitmap {
public:
    BaseBitmap(const BaseBitmap&) = delete;
    BaseBitmap& operator=(const BaseBitmap&) = delete;

    // Loads frame `frame` (-1: the default frame) of the image file `name`. On anything but
    // IMAGERESULT::OK the bitmap stays empty.
    IMAGERESULT Init(const Filename& name, Int32 frame = -1);
    Int32 GetBw() const;
    Int32 GetBh() const;

#if !defined(CORVEL_SDK_STRICT)
    // A new empty bitmap; IsValid() is false when the host had no memory.
    BaseBitmap();
    ~BaseBitmap();
    Bool IsValid() const { return handle_ != nullptr; }
    // Stores a Float datum (BASEBITMAP_DATA_GUIPIXELRATIO). False when out of memory.
    Bool SetFloatData(Int32 id, Float value);
    const C4D_Bitmap* Get() const { return handle_; }

private:
    C4D_Bitmap* handle_ = nullptr;
#else
private:
    BaseBitmap();
    ~BaseBitmap();
    void* handle_ = nullptr; // the strict check sees only the SDK's names; the size stays
#endif
};

// An icon from the module's resource folder ("res" in the plug-in folder), loaded on construction
// with the given pixel ratio. Converts to null when the file is missing or can't be loaded.
class AutoBitmap {
public:
    explicit AutoBitmap(const maxon::String& str, Float pixelRatio = 1.0);
    ~AutoBitmap();
    AutoBitmap(const AutoBitmap&) = delete;
    AutoBitmap& operator=(const AutoBitmap&) = delete;

    operator BaseBitmap*() const { return bmp; } // NOLINT(google-explicit-constructor)

private:
    // Points into `storage_` while it holds the loaded image; a failed load gives the host's
    // bitmap back at once.
    BaseBitmap* bmp = nullptr;
    alignas(void*) unsigned char storage_[sizeof(void*)];
};

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_C4D_BASEBITMAP_H
