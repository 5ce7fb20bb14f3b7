// Fuzzes the Mach-O reader that both corvel-inspect and the Mach-O loader use: whatever universal
// slice table, header, load commands, opcode streams and export trie it accepts, every fixup it decodes must lie inside
// its segment and every section inside its segment, because the loader writes through them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hostsim/binary_inspect.h"
#include "hostsim/macho_file.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool InsideSegment(const hostsim::MachOLayout& layout, uint32_t segment, uint64_t offset) {
    return segment < layout.segments.size() && layout.segments[segment].size >= 8 &&
           offset <= layout.segments[segment].size - 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    std::string why;
    hostsim::BinaryImage::Parse(bytes, &why); // the inspection path over the same reader
    // A universal file's slices, which the loader copies out: inside the file, none overlapping.
    if (const auto slices = hostsim::ParseUniversalMachO(bytes, &why)) {
        for (size_t i = 0; i < slices->size(); ++i) {
            const hostsim::MachOSlice& slice = (*slices)[i];
            Check(slice.size > 0 && slice.offset <= size && slice.size <= size - slice.offset);
            for (size_t j = 0; j < i; ++j)
                Check(slice.offset >= (*slices)[j].offset + (*slices)[j].size ||
                      (*slices)[j].offset >= slice.offset + slice.size);
        }
    }
    const auto layout = hostsim::ParseMachO(bytes, &why);
    if (!layout)
        return 0;
    for (const auto& segment : layout->segments) {
        Check(segment.fileSize <= segment.size && segment.fileOffset <= size && segment.fileSize <= size - segment.fileOffset);
        for (const auto& section : segment.sections)
            Check(section.address >= segment.address && section.size <= segment.size &&
                  section.address - segment.address <= segment.size - section.size);
    }
    std::vector<hostsim::MachORebase> rebases;
    if (hostsim::DecodeMachORebases(bytes, *layout, &rebases, &why))
        for (const auto& r : rebases)
            Check(InsideSegment(*layout, r.segment, r.offset));
    for (auto stream : {hostsim::MachOBindStream::Regular, hostsim::MachOBindStream::Lazy, hostsim::MachOBindStream::Weak}) {
        std::vector<hostsim::MachOBind> binds;
        if (hostsim::DecodeMachOBinds(bytes, *layout, stream, &binds, &why))
            for (const auto& b : binds)
                Check(InsideSegment(*layout, b.segment, b.offset) && !b.symbol.empty());
    }
    std::vector<hostsim::MachOExport> exports;
    hostsim::DecodeMachOExports(bytes, *layout, &exports, &why);
    return 0;
}
