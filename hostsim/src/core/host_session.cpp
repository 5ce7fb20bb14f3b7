// What tests and the CLI drive on a running host: world plug-in preferences and their file, the
// user acting on dialog windows, and the scene's documents.
#include "hostsim/host.h"

#include <algorithm>
#include <filesystem>

#include "host_internal.h"
#include "hostsim/prefs_file.h"
#include "hostsim/safe_file.h"

namespace hostsim {
namespace fs = std::filesystem;

// ------------------------------------------------------------------------------------------------
// Preferences
// ------------------------------------------------------------------------------------------------
const Container* Host::WorldPluginData(int32_t id) const {
    auto it = prefs_.find(id);
    return it == prefs_.end() ? nullptr : &it->second;
}

void Host::SetWorldPluginData(int32_t id, const Container& bc) {
    prefs_[id] = bc;
    if (!options_.prefsFile.empty())
        SavePrefsFile();
}

void Host::EraseWorldPluginData(int32_t id) {
    prefs_.erase(id);
    if (!options_.prefsFile.empty())
        SavePrefsFile();
}

bool Host::LoadPrefsFile() {
    prefs_.clear();
    keepPrefsAside_ = false;
    std::error_code ec;
    const bool exists = fs::exists(fs::u8path(options_.prefsFile), ec);
    if (!exists && !ec) {
        LogLine("preferences file " + options_.prefsFile + " does not exist yet; no stored preferences");
        return true;
    }
    std::string why;
    if (ec || !ReadPrefsFile(options_.prefsFile, &prefs_, &why)) {
        prefs_.clear();
        // It may hold other plug-ins' preferences that this host cannot read: the first save keeps
        // a copy of it before writing anything.
        keepPrefsAside_ = true;
        LogLine("preferences file unreadable, starting with no stored preferences: " +
                (ec ? options_.prefsFile + ": " + ec.message() : why) + "; it is copied aside before the first save");
        return false;
    }
    LogLine("read preferences of " + std::to_string(prefs_.size()) + " plug-in(s) from " + options_.prefsFile);
    return true;
}

bool Host::SavePrefsFile() {
    std::string why;
    if (keepPrefsAside_) {
        std::string target, copy;
        if (!ResolveFileLinks(options_.prefsFile, &target, &why) || !KeepCopyAside(target, "unreadable", &copy, &why)) {
            LogLine("preferences not saved: the unreadable preferences file could not be copied aside first: " + why);
            return false;
        }
        keepPrefsAside_ = false;
        LogLine("the unreadable preferences file was copied to " + copy + " before this save");
    }
    if (!WritePrefsFile(options_.prefsFile, prefs_, &why)) {
        LogLine("cannot write the preferences file: " + why);
        return false;
    }
    return true;
}

// ------------------------------------------------------------------------------------------------
// Dialogs
// ------------------------------------------------------------------------------------------------
std::vector<DialogWindow*> Host::Windows() const {
    std::vector<std::pair<uint64_t, DialogWindow*>> byAge;
    for (const auto& w : internal_->windows)
        byAge.emplace_back(w.second.first, w.second.second.get());
    std::sort(byAge.begin(), byAge.end());
    std::vector<DialogWindow*> out;
    for (auto& w : byAge)
        out.push_back(w.second);
    return out;
}

DialogWindow* Host::ActiveWindow() const {
    DialogWindow* w = internal_->lastOpened;
    return w && internal_->windows.count(w) && w->open ? w : nullptr;
}

int32_t Host::SendDialogMessage(DialogWindow* w, const Container& msg, Container* result) {
    if (!w || !internal_->windows.count(w) || !w->entry) {
        LogLine("no such dialog window to send message " + std::to_string(msg.id) + " to");
        return 0;
    }
    Container local;
    Container* out = result ? result : &local;
    internal_->inFlight.insert(&msg);
    internal_->inFlight.insert(out);
    const int32_t answer = w->entry(w->owner, &msg, out);
    internal_->inFlight.erase(&msg);
    internal_->inFlight.erase(out);
    return answer;
}

int32_t Host::UserAction(DialogWindow* w, int32_t id) {
    if (!w || !internal_->windows.count(w) || !w->open) {
        LogLine("user action " + std::to_string(id) + ": the dialog is not open");
        return 0;
    }
    auto g = w->gadgets.find(id);
    if (g != w->gadgets.end() && !g->second.enabled) {
        LogLine("user action " + std::to_string(id) + ": the gadget is disabled");
        return 0;
    }
    Container msg(C4D_FOURCC('b', 'A', 'C', 'T'));
    msg.SetInt32(C4D_FOURCC('m', 'e', 'i', 'd'), id);
    return SendDialogMessage(w, msg);
}

int32_t Host::UserSetBool(DialogWindow* w, int32_t gadget, bool value) {
    if (!w || !internal_->windows.count(w) || !w->open)
        return UserAction(w, gadget);
    auto g = w->gadgets.find(gadget);
    if (g == w->gadgets.end() || g->second.kind != GadgetKind::Check) {
        LogLine("user: gadget " + std::to_string(gadget) + " is not a check box of the dialog");
        return 0;
    }
    if (!g->second.enabled) {
        LogLine("user: gadget " + std::to_string(gadget) + " is disabled");
        return 0;
    }
    g->second.boolValue = value;
    return UserAction(w, gadget);
}

int32_t Host::UserSetInt32(DialogWindow* w, int32_t gadget, int32_t value) {
    if (!w || !internal_->windows.count(w) || !w->open)
        return UserAction(w, gadget);
    auto g = w->gadgets.find(gadget);
    if (g == w->gadgets.end()) {
        LogLine("user: gadget " + std::to_string(gadget) + " is not a gadget of the dialog");
        return 0;
    }
    const GadgetKind kind = g->second.kind;
    if (kind != GadgetKind::Combo && kind != GadgetKind::Other) {
        LogLine("user: gadget " + std::to_string(gadget) + " is a " + g->second.element + ", which takes no number");
        return 0;
    }
    if (!g->second.enabled) {
        LogLine("user: gadget " + std::to_string(gadget) + " is disabled");
        return 0;
    }
    if (g->second.kind == GadgetKind::Combo) {
        const auto& ch = g->second.children;
        if (std::none_of(ch.begin(), ch.end(), [value](const auto& c) { return c.first == value; })) {
            LogLine("user: combo box " + std::to_string(gadget) + " has no entry " + std::to_string(value));
            return 0;
        }
    }
    g->second.intValue = value;
    return UserAction(w, gadget);
}

bool Host::UserClose(DialogWindow* w) {
    if (!w || !internal_->windows.count(w) || !w->open)
        return false;
    Container msg(C4D_FOURCC('c', 'h', 'k', 'c'));
    if (SendDialogMessage(w, msg) != 0) {
        LogLine("the dialog refused to close");
        return false;
    }
    return abi::kDialog.Close(w);
}

// ------------------------------------------------------------------------------------------------
// Scene
// ------------------------------------------------------------------------------------------------
void Host::ClearDocuments() {
    activeDocument_ = nullptr;
    documents_.clear();
}

Document* Host::NewDocument(const std::string& name) {
    documents_.push_back(std::make_unique<Document>());
    documents_.back()->name = name;
    return documents_.back().get();
}

} // namespace hostsim
