// The stand-in host's bitmaps.

#include "../core/host_internal.h"

namespace hostsim {

struct BitmapService {
static C4D_Bitmap* BmpAlloc() {
    const uint64_t serial = I().Allocate(AllocKind::Bitmaps);
    if (!serial)
        return nullptr;
    auto owned = std::make_unique<Bitmap>();
    Bitmap* raw = owned.get();
    I().bitmaps.emplace(raw, std::make_pair(serial, std::move(owned)));
    return raw;
}

static void BmpFree(C4D_Bitmap* bmp) {
    if (!bmp)
        return;
    if (!I().bitmaps.count(bmp)) {
        H().Violation("Bitmap Free: " + Ptr(bmp) + " is not a live bitmap of the module");
        return;
    }
    I().bitmaps.erase(bmp);
}

static int32_t BmpInitWithFile(C4D_Bitmap* bmp, const C4D_Filename* name, int32_t frame) {
    if (!bmp || !I().KnownBitmap(bmp, "Bitmap InitWithFile"))
        return C4D_IMAGERESULT_MISC_ERROR;
    const std::string path = I().PathOf(name, "Bitmap InitWithFile");
    Bitmap loaded;
    const int32_t result = H().LoadImage(path, &loaded);
    if (frame != -1 && frame != 0)
        H().LogLine("image " + path + ": frame " + std::to_string(frame) + " asked for; TIFF icons have one");
    if (result == C4D_IMAGERESULT_OK) {
        loaded.floatData = bmp->floatData;
        *bmp = std::move(loaded);
    } else {
        *bmp = Bitmap();
    }
    return result;
}

static bool BmpSetFloatData(C4D_Bitmap* bmp, int32_t id, double value) {
    if (!bmp || !I().KnownBitmap(bmp, "Bitmap SetFloatData"))
        return false;
    bmp->floatData[id] = value;
    return true;
}

static int32_t BmpGetWidth(const C4D_Bitmap* bmp) {
    return bmp && I().KnownBitmap(bmp, "Bitmap GetWidth") ? bmp->width : 0;
}

static int32_t BmpGetHeight(const C4D_Bitmap* bmp) {
    return bmp && I().KnownBitmap(bmp, "Bitmap GetHeight") ? bmp->height : 0;
}
};

namespace abi {
const C4D_BitmapTable kBitmap = {
    HOSTSIM_COUNTED(Bitmaps, BitmapService::BmpAlloc),
    HOSTSIM_COUNTED(Bitmaps, BitmapService::BmpFree),
    HOSTSIM_COUNTED(Bitmaps, BitmapService::BmpInitWithFile),
    HOSTSIM_COUNTED(Bitmaps, BitmapService::BmpSetFloatData),
    HOSTSIM_COUNTED(Bitmaps, BitmapService::BmpGetWidth),
    HOSTSIM_COUNTED(Bitmaps, BitmapService::BmpGetHeight)};
} // namespace abi
} // namespace hostsim
