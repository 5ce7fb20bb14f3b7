// The stand-in host's registries of module-owned objects: look-ups that turn an unknown or freed
// handle into a violation, and the file names and strings the host hands out.
#include "host_internal.h"

namespace hostsim {

// ------------------------------------------------------------------------------------------------
// Registry helpers
// ------------------------------------------------------------------------------------------------
bool Host::Internal::KnownString(C4D_HString s, const char* op) {
    if (strings.count(s))
        return true;
    host.Violation(std::string(op) + ": unknown or already released host string " + Ptr(s));
    return false;
}

bool Host::Internal::KnownContainer(const Container* bc, const char* op, bool mutableAccess) {
    if (containers.count(bc) || inFlight.count(bc))
        return true;
    if (!mutableAccess) {
        for (const auto& p : host.prefs_)
            if (&p.second == bc)
                return true;
    }
    host.Violation(std::string(op) + ": unknown or already freed container " + Ptr(bc));
    return false;
}

bool Host::Internal::KnownBitmap(const Bitmap* bmp, const char* op) {
    if (bitmaps.count(bmp))
        return true;
    host.Violation(std::string(op) + ": unknown or already freed bitmap " + Ptr(bmp));
    return false;
}

bool Host::Internal::KnownWindow(const DialogWindow* w, const char* op) {
    if (windows.count(w))
        return true;
    host.Violation(std::string(op) + ": unknown or already destroyed dialog window " + Ptr(w));
    return false;
}

bool Host::Internal::KnownResource(const Resource* res, const char* op) {
    if (resources.count(res))
        return true;
    host.Violation(std::string(op) + ": unknown or already released resource " + Ptr(res));
    return false;
}

bool Host::Internal::KnownDocument(const Document* doc, const char* op) {
    for (const auto& d : host.documents_)
        if (d.get() == doc)
            return true;
    host.Violation(std::string(op) + ": unknown document " + Ptr(doc));
    return false;
}

bool Host::Internal::KnownListObject(const ListObject* obj, const char* op) {
    for (const auto& d : host.documents_) {
        for (const auto& rd : d->renderData) {
            if (rd.get() == obj)
                return true;
            for (const auto& vp : rd->videoPosts)
                if (vp.get() == obj)
                    return true;
        }
    }
    host.Violation(std::string(op) + ": unknown list object " + Ptr(obj));
    return false;
}

std::string Host::Internal::PathOf(const C4D_Filename* fn, const char* op) {
    if (!fn || !fn->impl)
        return std::string();
    auto* impl = static_cast<const FilenameImpl*>(fn->impl);
    if (impl == &moduleFile)
        return moduleFile.path;
    if (filenames.count(impl))
        return impl->path;
    host.Violation(std::string(op) + ": file name with an unknown or destroyed content " + Ptr(impl) +
                   " (not constructed through the host?)");
    return std::string();
}

bool Host::Internal::StorePath(C4D_Filename* fn, const std::string& path, const char* op) {
    auto* impl = static_cast<FilenameImpl*>(fn->impl);
    if (impl == &moduleFile) {
        host.Violation(std::string(op) + ": the module wrote into the host's file name of the module");
        return false;
    }
    if (impl && !filenames.count(impl)) {
        host.Violation(std::string(op) + ": file name with an unknown or destroyed content " + Ptr(impl));
        fn->impl = nullptr;
        impl = nullptr;
    }
    if (path.empty()) {
        if (impl)
            filenames.erase(impl);
        fn->impl = nullptr;
        return true;
    }
    const uint64_t serial = Allocate(AllocKind::Filenames);
    if (!serial) {
        if (impl)
            filenames.erase(impl);
        fn->impl = nullptr;
        return false;
    }
    if (impl) {
        impl->path = path;
        filenames[impl].first = serial;
        return true;
    }
    auto owned = std::make_unique<FilenameImpl>();
    owned->path = path;
    FilenameImpl* raw = owned.get();
    filenames.emplace(raw, std::make_pair(serial, std::move(owned)));
    fn->impl = raw;
    return true;
}

C4D_HString Host::Internal::NewString(const std::string& text) {
    const uint64_t serial = Allocate(AllocKind::Strings);
    if (!serial)
        return nullptr;
    auto* s = new HostString();
    s->text = text;
    strings[s] = serial;
    return s;
}

std::string Host::Internal::Text(C4D_HString s, const char* op) {
    if (!s)
        return std::string();
    return KnownString(s, op) ? s->text : std::string();
}

// The operations, as static members of a friend of Host.

} // namespace hostsim
