// Loading image files into host bitmaps. TIFF only (the format of plug-in icons): decoded with
// libtiff where the build found it (CORVEL_HOSTSIM_LIBTIFF); elsewhere the file's TIFF structure
// (header and first image directory) is checked and the size read, and the pixels stay blank.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "hostsim/host.h"
#include "file_stamp.h"

#ifdef CORVEL_HOSTSIM_LIBTIFF
#include <tiffio.h>
#endif

namespace hostsim {
namespace {

namespace fs = std::filesystem;

// Limits of what the host loads as an image. Plug-in icons are a few kilobytes; the limits leave
// room for far larger images and still keep a damaged or hostile file from taking the memory.
constexpr uint64_t kMaxImageFileBytes = 64ull << 20;
constexpr uint64_t kMaxDecodedBytes = 256ull << 20; // the RGBA raster, 4 bytes a pixel
// How many times compressed TIFF data can expand at most: LZW about 2,700 times, Deflate about
// 1,032, PackBits 64. A header claiming more pixels than its file could hold even so is damaged.
constexpr uint64_t kMaxExpansion = 4096;
constexpr uint64_t kMaxPackBitsExpansion = 64;
constexpr uint32_t kCompressionNone = 1;
constexpr uint32_t kCompressionPackBits = 32773;

bool ReadFile(const std::string& path, uint64_t size, std::vector<unsigned char>* bytes) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in)
        return false;
    bytes->resize(static_cast<size_t>(size));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size)));
}

bool LooksLikeTiff(const std::vector<unsigned char>& b) {
    return b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                             (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42));
}

// What the first image directory of a classic TIFF claims; the TIFF defaults where a tag is absent.
struct TiffHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t compression = kCompressionNone;
    uint32_t bitsPerSample = 1;
    uint32_t samplesPerPixel = 1;
};

// Walks the first image directory: answers false for a damaged structure.
bool ReadTiffHeader(const std::vector<unsigned char>& b, TiffHeader* out) {
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
    // The first value of an entry: inside the entry when it fits in four bytes, else at the offset
    // the entry holds. Answers false when that offset is outside the file.
    auto firstValue = [&](size_t e, uint32_t* value) {
        const uint32_t type = u16(e + 2), n = u32(e + 4);
        const size_t size = type == 3 ? 2 : 4;
        size_t at = e + 8;
        if (n > 4 / size) {
            at = u32(e + 8);
            if (at + size > b.size())
                return false;
        }
        *value = size == 2 ? u16(at) : u32(at);
        return true;
    };
    for (size_t k = 0; k < count; ++k) {
        const size_t e = ifd + 2 + k * 12;
        uint32_t* field = nullptr;
        switch (u16(e)) {
        case 256: field = &out->width; break;
        case 257: field = &out->height; break;
        case 258: field = &out->bitsPerSample; break;
        case 259: field = &out->compression; break;
        case 277: field = &out->samplesPerPixel; break;
        default: break;
        }
        if (field && !firstValue(e, field))
            return false;
    }
    return out->width > 0 && out->height > 0 && out->width <= 65535 && out->height <= 65535 &&
           out->bitsPerSample > 0 && out->samplesPerPixel > 0;
}

// Checks the size an image claims before anything is allocated for it: its pixel data must fit in
// the file (allowing for the most the compression can expand), and its decoded raster within the
// host's limit. Answers C4D_IMAGERESULT_OK, or the result to give, with the reason in `why`.
int32_t CheckClaimedSize(const TiffHeader& h, uint64_t fileSize, std::string* why) {
    const std::string size = std::to_string(h.width) + "x" + std::to_string(h.height);
    const uint64_t rowBytes = (uint64_t{h.width} * h.samplesPerPixel * h.bitsPerSample + 7) / 8;
    const uint64_t stored = rowBytes * h.height;
    const uint64_t expansion = h.compression == kCompressionNone       ? 1
                               : h.compression == kCompressionPackBits ? kMaxPackBitsExpansion
                                                                       : kMaxExpansion;
    if (stored / expansion > fileSize) {
        *why = "the header claims " + size + " pixels, which need at least " + std::to_string(stored / expansion) +
               " bytes of image data; the file has " + std::to_string(fileSize);
        return C4D_IMAGERESULT_FILESTRUCTURE;
    }
    const uint64_t decoded = uint64_t{h.width} * h.height * 4;
    if (decoded > kMaxDecodedBytes) {
        *why = size + " pixels need " + std::to_string(decoded >> 20) + " MiB to decode, more than the host's " +
               std::to_string(kMaxDecodedBytes >> 20) + " MiB";
        return C4D_IMAGERESULT_OUTOFMEMORY;
    }
    return C4D_IMAGERESULT_OK;
}

#ifdef CORVEL_HOSTSIM_LIBTIFF
int TiffMessage(TIFF*, void* message, const char* module, const char* fmt, va_list ap) {
    char buffer[512];
    std::vsnprintf(buffer, sizeof buffer, fmt, ap);
    *static_cast<std::string*>(message) = std::string(module ? module : "libtiff") + ": " + buffer;
    return 1; // handled: not passed on to the global handler
}

int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Decodes the first image into RGBA pixels, top row first. libtiff's own limit on any single
// allocation is set to the host's, so a damaged directory cannot make libtiff allocate more either.
int32_t DecodeTiff(const std::string& path, uint64_t fileSize, TiffHeader* h, std::vector<uint32_t>* pixels,
                   std::string* why) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return C4D_IMAGERESULT_OUTOFMEMORY;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxDecodedBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffMessage, why);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffQuiet, nullptr);
    TIFF* tif = TIFFOpenExt(path.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        return C4D_IMAGERESULT_FILESTRUCTURE;
    // libtiff's reading of the directory is the one that counts; check what it found again.
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &h->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h->height);
    int32_t result = CheckClaimedSize(*h, fileSize, why);
    if (result == C4D_IMAGERESULT_OK) {
        std::vector<uint32_t> raster(static_cast<size_t>(h->width) * h->height);
        if (TIFFReadRGBAImageOriented(tif, h->width, h->height, raster.data(), ORIENTATION_TOPLEFT, 0))
            *pixels = std::move(raster);
        else
            result = C4D_IMAGERESULT_FILESTRUCTURE;
    }
    TIFFClose(tif);
    return result;
}
#endif

} // namespace

namespace {

int32_t ReadImage(Host& host, const std::string& path, Bitmap* out) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(fs::u8path(path), ec)) {
        host.LogLine("image " + path + ": no such file");
        return C4D_IMAGERESULT_NOTEXISTING;
    }
    const uint64_t fileSize = fs::file_size(fs::u8path(path), ec);
    if (!ec && fileSize > kMaxImageFileBytes) {
        host.LogLine("image " + path + ": larger than the host's " + std::to_string(kMaxImageFileBytes >> 20) +
                " MiB for an image file");
        return C4D_IMAGERESULT_OUTOFMEMORY;
    }
    std::vector<unsigned char> bytes;
    if (ec || !ReadFile(path, fileSize, &bytes)) {
        host.LogLine("image " + path + ": cannot be read");
        return C4D_IMAGERESULT_FILEERROR;
    }
    if (!LooksLikeTiff(bytes)) {
        host.LogLine("image " + path + ": not a TIFF file (the only image format of this host)");
        return C4D_IMAGERESULT_WRONGTYPE;
    }
    TiffHeader header;
    if (!ReadTiffHeader(bytes, &header)) {
        host.LogLine("image " + path + ": damaged TIFF structure");
        return C4D_IMAGERESULT_FILESTRUCTURE;
    }
    std::string why;
    int32_t result = CheckClaimedSize(header, fileSize, &why);
    if (result != C4D_IMAGERESULT_OK) {
        host.LogLine("image " + path + ": " + why);
        return result;
    }
#ifdef CORVEL_HOSTSIM_LIBTIFF
    std::vector<uint32_t> pixels;
    result = DecodeTiff(path, fileSize, &header, &pixels, &why);
    if (result != C4D_IMAGERESULT_OK) {
        host.LogLine("image " + path + ": libtiff cannot decode it" + (why.empty() ? "" : ": " + why));
        return result;
    }
    out->pixels = std::move(pixels);
#else
    out->pixels.assign(static_cast<size_t>(header.width) * header.height, 0u);
#endif
    out->width = static_cast<int32_t>(header.width);
    out->height = static_cast<int32_t>(header.height);
    out->source = path;
    return C4D_IMAGERESULT_OK;
}

// An image file as read once (HostOptions::reuseUnchangedFiles): its stamp, the result, the
// image and what reading it logged.
struct ReadImageFile {
    FileStamp stamp;
    int32_t result = C4D_IMAGERESULT_NOTEXISTING;
    Bitmap image;
    std::vector<std::string> log;
};

} // namespace

int32_t Host::LoadImage(const std::string& path, Bitmap* out) {
    if (!options_.reuseUnchangedFiles)
        return ReadImage(*this, path, out);
    static std::map<std::string, ReadImageFile> read;
    const FileStamp stamp = StampOf(path);
    auto it = read.find(path);
    if (it == read.end() || !stamp.exists || it->second.stamp != stamp) {
        ReadImageFile r;
        r.stamp = stamp;
        const size_t logged = log_.size();
        r.result = ReadImage(*this, path, &r.image);
        r.log.assign(log_.begin() + static_cast<std::ptrdiff_t>(logged), log_.end());
        if (StampOf(path) != stamp)
            r.stamp = FileStamp{};
        if (r.result == C4D_IMAGERESULT_OK)
            *out = r.image;
        const int32_t result = r.result;
        read[path] = std::move(r);
        return result;
    }
    for (const std::string& line : it->second.log)
        LogLine(line);
    if (it->second.result == C4D_IMAGERESULT_OK)
        *out = it->second.image;
    return it->second.result;
}

} // namespace hostsim
