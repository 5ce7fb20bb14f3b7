// Loading image files into host bitmaps. TIFF only (the format of plug-in icons): decoded with
// libtiff where the build found it (CORVEL_HOSTSIM_LIBTIFF); elsewhere the file's TIFF structure
// (header and first image directory) is checked and the size read, and the pixels stay blank.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hostsim/host.h"

#ifdef CORVEL_HOSTSIM_LIBTIFF
#include <tiffio.h>
#endif

namespace hostsim {
namespace {

namespace fs = std::filesystem;

bool ReadFile(const std::string& path, std::vector<unsigned char>* bytes) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool LooksLikeTiff(const std::vector<unsigned char>& b) {
    return b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                             (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42));
}

// Walks the first image directory of a classic TIFF: answers false for a damaged structure.
bool ReadTiffSize(const std::vector<unsigned char>& b, uint32_t* width, uint32_t* height) {
    const bool little = b[0] == 'I';
    auto u16 = [&](size_t at) -> uint32_t {
        return little ? (b[at] | (b[at + 1] << 8)) : ((b[at] << 8) | b[at + 1]);
    };
    auto u32 = [&](size_t at) -> uint32_t {
        return little ? (uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24))
                      : ((uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | uint32_t(b[at + 3]));
    };
    if (b.size() < 8)
        return false;
    const size_t ifd = u32(4);
    if (ifd < 8 || ifd + 2 > b.size())
        return false;
    const size_t count = u16(ifd);
    if (count == 0 || ifd + 2 + count * 12 + 4 > b.size())
        return false;
    *width = *height = 0;
    for (size_t k = 0; k < count; ++k) {
        const size_t e = ifd + 2 + k * 12;
        const uint32_t tag = u16(e), type = u16(e + 2);
        const uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
        if (tag == 256)
            *width = value;
        else if (tag == 257)
            *height = value;
    }
    return *width > 0 && *height > 0 && *width <= 65535 && *height <= 65535;
}

#ifdef CORVEL_HOSTSIM_LIBTIFF
std::string g_tiffMessage;

void TiffHandler(const char* module, const char* fmt, va_list ap) {
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, fmt, ap);
    g_tiffMessage = std::string(module ? module : "libtiff") + ": " + buffer;
}
#endif

} // namespace

int32_t Host::LoadImage(const std::string& path, Bitmap* out) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(fs::u8path(path), ec)) {
        LogLine("image " + path + ": no such file");
        return C4D_IMAGERESULT_NOTEXISTING;
    }
    std::vector<unsigned char> bytes;
    if (!ReadFile(path, &bytes)) {
        LogLine("image " + path + ": cannot be read");
        return C4D_IMAGERESULT_FILEERROR;
    }
    if (!LooksLikeTiff(bytes)) {
        LogLine("image " + path + ": not a TIFF file (the only image format of this host)");
        return C4D_IMAGERESULT_WRONGTYPE;
    }
    uint32_t width = 0, height = 0;
    if (!ReadTiffSize(bytes, &width, &height)) {
        LogLine("image " + path + ": damaged TIFF structure");
        return C4D_IMAGERESULT_FILESTRUCTURE;
    }
#ifdef CORVEL_HOSTSIM_LIBTIFF
    TIFFErrorHandler oldError = TIFFSetErrorHandler(TiffHandler);
    TIFFErrorHandler oldWarning = TIFFSetWarningHandler(nullptr);
    g_tiffMessage.clear();
    int32_t result = C4D_IMAGERESULT_OK;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) {
        result = C4D_IMAGERESULT_FILESTRUCTURE;
    } else {
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
        if (!TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
            result = C4D_IMAGERESULT_FILESTRUCTURE;
        } else {
            out->pixels = std::move(raster);
        }
        TIFFClose(tif);
    }
    TIFFSetErrorHandler(oldError);
    TIFFSetWarningHandler(oldWarning);
    if (result != C4D_IMAGERESULT_OK) {
        LogLine("image " + path + ": libtiff cannot decode it" + (g_tiffMessage.empty() ? "" : ": " + g_tiffMessage));
        return result;
    }
#else
    out->pixels.assign(static_cast<size_t>(width) * height, 0u);
#endif
    out->width = static_cast<int32_t>(width);
    out->height = static_cast<int32_t>(height);
    out->source = path;
    return C4D_IMAGERESULT_OK;
}

} // namespace hostsim
