// corvel-inspect - prints what a module file exports and needs, without loading it.
//
//   corvel-inspect FILE...
//
// For each file: format, architecture, kind, internal name, imported libraries, exported symbols,
// for Mach-O the platform, minimum OS and code signature, and how the registration record g_maxon
// starts (initialised data holding the version stamps, or zero-filled for a static initialiser);
// for a universal macOS file all of it per slice.
// Works on modules of any of the three platforms on any platform. Exit codes: 0 every file was
// read, 1 bad usage, 2 a file could not be read (no such file, a directory or other non-regular
// file, unreadable) or is not a module image.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "hostsim/binary_inspect.h"
#include "hostsim/safe_file.h"

namespace {

std::string DescribeRegistrationRecord(const hostsim::BinaryImage& image) {
    const auto bytes = image.ExportedBytes("g_maxon", 16);
    if (!bytes)
        return "not exported";
    auto stamp = [&](size_t offset) {
        uint64_t value = 0;
        for (size_t i = 0; i < 8; ++i)
            value |= static_cast<uint64_t>(bytes->bytes[offset + i]) << (8 * i);
        return value;
    };
    if (bytes->zeroFill)
        return "zero-filled in " + bytes->section + (image.Info().hasStaticInitialisers ? " (static initialisers present)" : " (no static initialisers)");
    return "initialised data in " + bytes->section + ", stamps " + std::to_string(stamp(0)) + ", " + std::to_string(stamp(8));
}


} // namespace

int main(int argc, char** argv) {
#ifdef CORVEL_VERSION
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "corvel-inspect " << CORVEL_VERSION << "\n";
        return 0;
    }
#endif
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::cerr << "usage: corvel-inspect FILE...\n"
                     "prints the exports, imports and registration record of module files (ELF, PE, Mach-O)\n";
        return argc < 2 ? 1 : 0;
    }
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && hostsim::WhyNotReadableFile(argv[i]) == "no such file") {
            std::cerr << "corvel-inspect: unknown option " << argv[i] << "\nusage: corvel-inspect FILE...\n";
            return 1;
        }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string notAFile = hostsim::WhyNotReadableFile(argv[i]);
        if (!notAFile.empty()) {
            std::cerr << "corvel-inspect: " << argv[i] << ": " << notAFile << "\n";
            status = 2;
            continue;
        }
        std::string error;
        std::optional<hostsim::BinaryImage> image;
        try {
            image = hostsim::BinaryImage::Load(argv[i], &error);
        } catch (const std::exception& e) {
            error = std::string(argv[i]) + ": cannot be read: " + e.what();
        }
        if (!image) {
            std::cerr << "corvel-inspect: " << error << "\n";
            status = 2;
            continue;
        }
        std::cout << argv[i] << "\n" << hostsim::DescribeBinary(*image);
        if (image->IsUniversal()) {
            for (const auto& slice : image->Slices())
                std::cout << "g_maxon (" << slice.Info().architecture << "): " << DescribeRegistrationRecord(slice) << "\n";
        } else {
            std::cout << "g_maxon:       " << DescribeRegistrationRecord(*image) << "\n";
        }
        if (i + 1 < argc)
            std::cout << "\n";
    }
    return status;
}
