// The stand-in host's image loader reads the module's icon, a file the module ships but anyone can
// replace. Whatever a file claims, the host checks it against the file itself before it allocates
// anything, and answers a damaged or oversized image with a clear error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hostsim/host.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A little-endian TIFF with one strip: the directory first, then `dataBytes` bytes of image data
// (0x40 each). The header claims whatever the test asks.
struct TiffSpec {
    uint32_t width = 2, height = 2;
    uint16_t samplesPerPixel = 3;
    uint16_t compression = 1;
    uint32_t dataBytes = 12;
};

std::vector<uint8_t> MakeTiff(const TiffSpec& t) {
    std::vector<uint8_t> b;
    auto u16 = [&](uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xffff); u16(v >> 16); };
    struct Entry { uint16_t tag, type; uint32_t count, value; };
    const uint32_t entries = 10;
    const uint32_t ifdEnd = 8 + 2 + entries * 12 + 4;
    const uint32_t bitsAt = ifdEnd;                 // three SHORT bits-per-sample values
    const uint32_t dataAt = bitsAt + 8;
    const Entry e[entries] = {
        {256, 4, 1, t.width}, {257, 4, 1, t.height},
        {258, 3, t.samplesPerPixel, t.samplesPerPixel > 2 ? bitsAt : 8},
        {259, 3, 1, t.compression}, {262, 3, 1, t.samplesPerPixel > 2 ? 2u : 1u},
        {273, 4, 1, dataAt}, {277, 3, 1, t.samplesPerPixel}, {278, 4, 1, t.height},
        {279, 4, 1, t.dataBytes}, {284, 3, 1, 1}};
    b = {'I', 'I', 42, 0};
    u32(8);
    u16(entries);
    for (const Entry& x : e) {
        u16(x.tag);
        u16(x.type);
        u32(x.count);
        u32(x.value);
    }
    u32(0);
    u16(8); u16(8); u16(8); u16(0);
    b.insert(b.end(), t.dataBytes, 0x40);
    return b;
}

long CurrentProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

class ImageLoaderTest : public ::testing::Test {
protected:
    // The process id keeps parallel test processes apart: the fixture's address alone repeats in
    // every process where addresses are not randomised (under qemu-user they never are).
    ImageLoaderTest()
        : path_(fs::temp_directory_path() / ("corvel-image-" + std::to_string(CurrentProcessId()) + "-" +
                                             std::to_string(reinterpret_cast<uintptr_t>(this)) + ".tif")) {}
    ~ImageLoaderTest() override {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    int32_t Load(const std::vector<uint8_t>& bytes) {
        {
            std::ofstream out(path_, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        return LoadFile();
    }
    int32_t LoadFile() { return host_.LoadImage(path_.u8string(), &bitmap_); }
    const std::string& LastLog() const { return host_.Log().back(); }

    fs::path path_;
    hostsim::Host host_;
    hostsim::Bitmap bitmap_;
};

TEST_F(ImageLoaderTest, ASoundImageIsLoaded) {
    ASSERT_EQ(Load(MakeTiff({})), C4D_IMAGERESULT_OK) << LastLog();
    EXPECT_EQ(bitmap_.width, 2);
    EXPECT_EQ(bitmap_.height, 2);
    EXPECT_EQ(bitmap_.pixels.size(), 4u);
}

TEST_F(ImageLoaderTest, AHeaderClaimingMorePixelsThanTheFileHoldsIsDamaged) {
    TiffSpec huge;
    huge.width = huge.height = 65535; // 17 GB to decode, from a file of some 200 bytes
    EXPECT_EQ(Load(MakeTiff(huge)), C4D_IMAGERESULT_FILESTRUCTURE);
    EXPECT_NE(LastLog().find("claims 65535x65535 pixels"), std::string::npos) << LastLog();
    EXPECT_TRUE(bitmap_.pixels.empty());

    // Uncompressed, every pixel is in the file: 100x100 RGB needs 30,000 bytes.
    TiffSpec uncompressed;
    uncompressed.width = uncompressed.height = 100;
    uncompressed.dataBytes = 100 * 100 * 3;
    EXPECT_EQ(Load(MakeTiff(uncompressed)), C4D_IMAGERESULT_OK) << LastLog();
    uncompressed.dataBytes = 100 * 100 * 3 / 2;
    EXPECT_EQ(Load(MakeTiff(uncompressed)), C4D_IMAGERESULT_FILESTRUCTURE);
    EXPECT_NE(LastLog().find("need at least 30000 bytes"), std::string::npos) << LastLog();
}

TEST_F(ImageLoaderTest, CompressedDataMayExpandOnlyAsFarAsCompressionCan) {
    TiffSpec packed;
    packed.compression = 32773; // PackBits: at most 64 times
    packed.width = packed.height = 1000;
    packed.dataBytes = 1000;     // 3 MB of pixels from 1 kB
    EXPECT_EQ(Load(MakeTiff(packed)), C4D_IMAGERESULT_FILESTRUCTURE);
    EXPECT_NE(LastLog().find("need at least 46875 bytes"), std::string::npos) << LastLog();
}

TEST_F(ImageLoaderTest, AnImageTooLargeToDecodeIsRefusedBeforeAnyAllocation) {
    TiffSpec large;
    large.compression = 8;  // Deflate
    large.width = large.height = 10000; // 400 MB decoded; 300 MB of samples fit 80 kB compressed
    large.dataBytes = 80000;
    EXPECT_EQ(Load(MakeTiff(large)), C4D_IMAGERESULT_OUTOFMEMORY);
    EXPECT_NE(LastLog().find("10000x10000 pixels need 381 MiB to decode, more than the host's 256 MiB"),
              std::string::npos)
        << LastLog();
}

TEST_F(ImageLoaderTest, AFileLargerThanAnyImageIsNotRead) {
    ASSERT_EQ(Load(MakeTiff({})), C4D_IMAGERESULT_OK);
    fs::resize_file(path_, (64u << 20) + 1);
    EXPECT_EQ(LoadFile(), C4D_IMAGERESULT_OUTOFMEMORY);
    EXPECT_NE(LastLog().find("larger than the host's 64 MiB"), std::string::npos) << LastLog();
}

} // namespace
