// Accounting of the host objects a module holds: injected allocation faults and the live and kept
// objects the host reports at shutdown.
#include "hostsim/host.h"

#include <algorithm>

#include "host_internal.h"

namespace hostsim {

// ------------------------------------------------------------------------------------------------
// Accounting
// ------------------------------------------------------------------------------------------------
void Host::FailAllocation(AllocKind kind, uint64_t n) {
    const int k = static_cast<int>(kind);
    if (n == 0)
        failAt_[k].clear();
    else
        failAt_[k].insert(counts_[k] + n);
}

void Host::FailAllAllocations(AllocKind kind, bool fail) { failAll_[static_cast<int>(kind)] = fail; }

uint64_t Host::Internal::Allocate(AllocKind kind) {
    const int k = static_cast<int>(kind);
    const uint64_t serial = ++host.counts_[k];
    if (host.failAll_[k] || host.failAt_[k].erase(serial) != 0) {
        ++host.failed_[k];
        host.LogLine(std::string("injected failure of ") + AllocKindName(kind) + " allocation #" + std::to_string(serial));
        return 0;
    }
    return serial;
}

// A heap block, or a window whose owner lies inside it, that belongs to a command object the host
// kept after refusing its registration: the host's from then on.
bool Host::Internal::KeptByHost(const void* address) const {
    const auto* byte = static_cast<const unsigned char*>(address);
    for (const KeptCommandObject& kept : host.keptCommands_) {
        const auto block = heap.find(kept.object);
        const auto* begin = static_cast<const unsigned char*>(kept.object);
        const int64_t size = block == heap.end() ? 1 : std::max<int64_t>(block->second.size, 1);
        if (byte >= begin && byte < begin + size)
            return true;
    }
    return false;
}

std::vector<LiveObject> Host::Internal::Objects(bool keptByHost) const {
    std::vector<LiveObject> live;
    auto add = [&](const void* owner, const LiveObject& object) {
        if (KeptByHost(owner) == keptByHost)
            live.push_back(object);
    };
    for (const auto& b : heap)
        add(b.first, {AllocKind::Heap, b.second.serial,
                      b.second.note.empty() ? std::to_string(b.second.size) + " bytes" : b.second.note});
    if (!keptByHost) {
        for (const auto& s : strings)
            live.push_back({AllocKind::Strings, s.second, "\"" + s.first->text + "\""});
        for (const auto& c : containers)
            live.push_back({AllocKind::Containers, c.second.first, c.first->Describe()});
        for (const auto& b : bitmaps)
            live.push_back({AllocKind::Bitmaps, b.second.first,
                            std::to_string(b.first->width) + "x" + std::to_string(b.first->height) + " " + b.first->source});
        for (const auto& f : filenames)
            live.push_back({AllocKind::Filenames, f.second.first, f.first->path});
        for (const auto& r : resources)
            live.push_back({AllocKind::Resources, r.second.first, r.first->folder});
    }
    for (const auto& w : windows)
        add(w.first->owner, {AllocKind::Windows, w.second.first, "dialog window"});
    std::sort(live.begin(), live.end(), [](const LiveObject& a, const LiveObject& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.serial < b.serial;
    });
    return live;
}

std::vector<LiveObject> Host::LiveObjects() const { return internal_->Objects(false); }

std::vector<LiveObject> Host::KeptObjects() const { return internal_->Objects(true); }

void Host::Internal::FreeAll() {
    for (auto& b : heap)
        std::free(b.first);
    heap.clear();
    for (auto& s : strings)
        delete s.first;
    strings.clear();
    containers.clear();
    bitmaps.clear();
    filenames.clear();
    windows.clear();
    resources.clear();
}

} // namespace hostsim
