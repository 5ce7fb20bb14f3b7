// The operations behind the host ABI's function tables and the interfaces bound through g_maxon.
// Each function finds the current Host, checks the handles it is given against the host's
// registries (an unknown or already freed handle is a violation: logged, counted, answered with
// the operation's failure value, never dereferenced) and acts on the host's state.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "host_internal.h"
#include "hostsim/resource_files.h"

namespace hostsim {
namespace {

namespace fs = std::filesystem;

Host& H() {
    Host* h = Host::Current();
    if (!h) {
        std::fprintf(stderr, "hostsim: the module called the host while no host is current\n");
        std::abort();
    }
    return *h;
}

Host::Internal& I() { return H().internal(); }

std::string Ptr(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

} // namespace

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
struct Tables {

// ------------------------------------------------------------------------------------------------
// System interface (bound through g_maxon)
// ------------------------------------------------------------------------------------------------
static void* SysAlloc(int64_t size) {
    if (size < 0) {
        H().Violation("Alloc: negative size " + std::to_string(size));
        return nullptr;
    }
    const uint64_t serial = I().Allocate(AllocKind::Heap);
    if (!serial)
        return nullptr;
    void* memory = std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
    if (!memory)
        return nullptr;
    std::memset(memory, 0xA5, size == 0 ? 1 : static_cast<size_t>(size)); // never zero: callers clear
    I().heap[memory] = {serial, size, std::string()};
    return memory;
}

static void SysFree(void* memory) {
    if (!memory)
        return;
    auto it = I().heap.find(memory);
    if (it == I().heap.end()) {
        H().Violation("Free: " + Ptr(memory) + " is not a live block of the host heap (double free?)");
        return;
    }
    I().heap.erase(it);
    std::free(memory);
}

static void SysDeleteObject(void* object, void (*destruct)(void*)) {
    if (!object)
        return;
    if (!I().heap.count(object)) {
        H().Violation("DeleteObject: " + Ptr(object) + " is not a live block of the host heap");
        return;
    }
    if (destruct)
        destruct(object);
    SysFree(object);
}

// ------------------------------------------------------------------------------------------------
// String interface (bound through g_maxon)
// ------------------------------------------------------------------------------------------------
static C4D_HString StrCreate(const char* utf8, int64_t length) {
    if (length < 0 || (!utf8 && length > 0)) {
        H().Violation("String Create: bad text (" + Ptr(utf8) + ", length " + std::to_string(length) + ")");
        return nullptr;
    }
    return I().NewString(length == 0 ? std::string() : std::string(utf8, static_cast<size_t>(length)));
}

static void StrRetain(C4D_HString s) {
    if (s && I().KnownString(s, "String Retain"))
        ++s->references;
}

static void StrRelease(C4D_HString s) {
    if (!s || !I().KnownString(s, "String Release"))
        return;
    if (--s->references == 0) {
        I().strings.erase(s);
        delete s;
    }
}

static const char* StrGetUtf8(C4D_HString s) {
    if (!s || !I().KnownString(s, "String GetUtf8"))
        return "";
    return s->text.c_str();
}

static int64_t StrGetLength(C4D_HString s) {
    if (!s || !I().KnownString(s, "String GetLength"))
        return 0;
    return static_cast<int64_t>(s->text.size());
}

// ------------------------------------------------------------------------------------------------
// Host object and resolver (g_maxon offsets 40, 48)
// ------------------------------------------------------------------------------------------------
static C4D_HString GetApplicationFolder(int32_t which) {
    const std::string& folder = H().Options().startupFolder;
    if (which != MAXON_FOLDER_STARTUP || folder.empty())
        return nullptr;
    return I().NewString(folder);
}

// ------------------------------------------------------------------------------------------------
// General services
// ------------------------------------------------------------------------------------------------
static void GenPrint(C4D_HString line) {
    Host& h = H();
    std::string text = I().Text(line, "Print");
    h.console_.push_back(text);
    if (h.options_.consoleEcho)
        *h.options_.consoleEcho << text << std::endl;
}

static int32_t GenMessageDialog(int32_t flags, C4D_HString text) {
    Host& h = H();
    MessageBox box{flags, I().Text(text, "MessageDialog")};
    h.messageBoxes_.push_back(box);
    h.LogLine("message box (flags " + std::to_string(flags) + "): " + box.text);
    return 1;
}

static void GenEventAdd(int32_t) { ++H().eventAdds_; }

static bool GenCallCommand(int32_t id, int32_t subid) {
    Host& h = H();
    CommandCall call;
    call.id = id;
    call.subId = subid;
    call.known = id == 12163 || id == 12099 || id == 12097;
    if ((id == 12163 || id == 12099) && h.activeDocument_ && h.activeDocument_->activeRenderData) {
        const ListObject& rd = *h.activeDocument_->activeRenderData;
        call.tookSnapshot = true;
        call.renderParams = rd.data;
        for (const auto& vp : rd.videoPosts)
            call.videoPostBits.emplace_back(vp->type, vp->bits);
    }
    h.commandCalls_.push_back(call);
    h.LogLine("host command " + std::to_string(id) + (call.known ? " ran" : " does not exist"));
    return call.known;
}

static bool GenRegisterPlugin(int32_t sdkVersion, int32_t type, int32_t id, C4D_HString name, const void* record,
                       int32_t recordSize) {
    Host& h = H();
    ++h.registrationAttempts_;
    const std::string nameText = I().Text(name, "RegisterPlugin");
    auto refuse = [&](const std::string& why) {
        h.LogLine("refused plug-in " + std::to_string(id) + " \"" + nameText + "\": " + why);
        return false;
    };
    if (h.refuseRegistrations_ > 0) {
        --h.refuseRegistrations_;
        return refuse("registration refused on request (injected)");
    }
    if (type != C4D_PLUGINTYPE_COMMAND)
        return refuse("plug-in type " + std::to_string(type) + " is not supported by this host");
    if (sdkVersion > h.api_.apiVersion)
        return refuse("built against SDK " + std::to_string(sdkVersion) + ", newer than the host's API " +
                      std::to_string(h.api_.apiVersion));
    if (!record || recordSize < static_cast<int32_t>(sizeof(C4D_CommandPluginRecord)))
        return refuse("command record of " + std::to_string(recordSize) + " bytes, expected " +
                      std::to_string(sizeof(C4D_CommandPluginRecord)));
    if (h.FindCommand(id))
        return refuse("plug-in id already registered");
    RegisteredCommand c;
    std::memcpy(&c.record, record, sizeof(C4D_CommandPluginRecord));
    if (!c.record.object)
        return refuse("the record holds no command object");
    c.id = id;
    c.sdkVersion = sdkVersion;
    c.recordSize = recordSize;
    c.name = nameText;
    c.help = I().Text(c.record.help, "RegisterPlugin help");
    c.info = c.record.info;
    if (c.record.icon && I().KnownBitmap(c.record.icon, "RegisterPlugin icon")) {
        c.hasIcon = true;
        c.iconWidth = c.record.icon->width;
        c.iconHeight = c.record.icon->height;
        c.iconFloatData = c.record.icon->floatData;
    }
    c.record.help = nullptr; // borrowed for the call only
    c.record.icon = nullptr;
    h.commands_.push_back(c);
    h.LogLine("registered command " + std::to_string(id) + " \"" + c.name + "\", help \"" + c.help + "\", " +
              (c.hasIcon ? "icon " + std::to_string(c.iconWidth) + "x" + std::to_string(c.iconHeight) : "no icon"));
    return true;
}

static const C4D_Container* GenGetWorldPluginData(int32_t id) { return H().WorldPluginData(id); }

static bool GenSetWorldPluginData(int32_t id, const C4D_Container* bc, bool merge) {
    Host& h = H();
    if (!bc || !I().KnownContainer(bc, "SetWorldPluginData", false))
        return false;
    if (h.failNextPrefsSave_) {
        h.failNextPrefsSave_ = false;
        h.LogLine("preferences of plug-in " + std::to_string(id) + " not stored: save refused on request (injected)");
        return false;
    }
    const bool had = h.prefs_.count(id) != 0;
    const Container previous = had ? h.prefs_[id] : Container();
    Container copy = *bc; // bc may be the stored container itself
    if (merge && had)
        h.prefs_[id].MergeFrom(copy);
    else
        h.prefs_[id] = copy;
    if (!h.options_.prefsFile.empty() && !h.SavePrefsFile()) {
        if (had)
            h.prefs_[id] = previous;
        else
            h.prefs_.erase(id);
        return false;
    }
    ++h.prefsSaves_;
    return true;
}

static void GenCheckInteraction(int32_t a, int32_t b, int32_t c) { H().interactionChecks_.push_back({a, b, c}); }

// ------------------------------------------------------------------------------------------------
// Keyed containers
// ------------------------------------------------------------------------------------------------
static C4D_Container* BcAlloc(int32_t id) {
    const uint64_t serial = I().Allocate(AllocKind::Containers);
    if (!serial)
        return nullptr;
    auto owned = std::make_unique<Container>(id);
    Container* raw = owned.get();
    I().containers.emplace(raw, std::make_pair(serial, std::move(owned)));
    return raw;
}

static void BcFree(C4D_Container* bc) {
    if (!bc)
        return;
    if (!I().containers.count(bc)) {
        H().Violation("Container Free: " + Ptr(bc) + " is not a live container of the module");
        return;
    }
    I().containers.erase(bc);
}

static bool BcCopyTo(C4D_Container* dst, const C4D_Container* src) {
    if (!dst || !src || !I().KnownContainer(dst, "Container CopyTo", true) ||
        !I().KnownContainer(src, "Container CopyTo", false))
        return false;
    if (dst != src)
        *dst = *src;
    return true;
}

static int32_t BcGetId(const C4D_Container* bc) {
    return bc && I().KnownContainer(bc, "Container GetId", false) ? bc->id : 0;
}

static void BcSetId(C4D_Container* bc, int32_t id) {
    if (bc && I().KnownContainer(bc, "Container SetId", true))
        bc->id = id;
}

static bool BcSetInt32(C4D_Container* bc, int32_t key, int32_t v) {
    if (!bc || !I().KnownContainer(bc, "Container SetInt32", true))
        return false;
    bc->SetInt32(key, v);
    return true;
}

static bool BcSetBool(C4D_Container* bc, int32_t key, bool v) {
    if (!bc || !I().KnownContainer(bc, "Container SetBool", true))
        return false;
    bc->SetBool(key, v);
    return true;
}

static bool BcSetFloat(C4D_Container* bc, int32_t key, double v) {
    if (!bc || !I().KnownContainer(bc, "Container SetFloat", true))
        return false;
    bc->SetFloat(key, v);
    return true;
}

static int32_t BcGetInt32(const C4D_Container* bc, int32_t key, int32_t preset) {
    return bc && I().KnownContainer(bc, "Container GetInt32", false) ? bc->GetInt32(key, preset) : preset;
}

static bool BcGetBool(const C4D_Container* bc, int32_t key, bool preset) {
    return bc && I().KnownContainer(bc, "Container GetBool", false) ? bc->GetBool(key, preset) : preset;
}

static double BcGetFloat(const C4D_Container* bc, int32_t key, double preset) {
    return bc && I().KnownContainer(bc, "Container GetFloat", false) ? bc->GetFloat(key, preset) : preset;
}

static int32_t BcGetCount(const C4D_Container* bc) {
    return bc && I().KnownContainer(bc, "Container GetCount", false) ? static_cast<int32_t>(bc->entries.size()) : 0;
}

static int32_t BcGetIndexId(const C4D_Container* bc, int32_t index) {
    if (!bc || !I().KnownContainer(bc, "Container GetIndexId", false) || index < 0 ||
        static_cast<size_t>(index) >= bc->entries.size())
        return 0;
    return bc->entries[static_cast<size_t>(index)].first;
}

// ------------------------------------------------------------------------------------------------
// Bitmaps
// ------------------------------------------------------------------------------------------------
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

// ------------------------------------------------------------------------------------------------
// File names
// ------------------------------------------------------------------------------------------------
static void FnConstruct(C4D_Filename* fn) {
    if (!fn) {
        H().Violation("Filename Construct: null storage");
        return;
    }
    fn->impl = nullptr;
}

static void FnDestruct(C4D_Filename* fn) {
    if (!fn || !fn->impl)
        return;
    auto* impl = static_cast<FilenameImpl*>(fn->impl);
    if (impl == &I().moduleFile) {
        H().Violation("Filename Destruct: the module destructed the host's file name of the module");
        return;
    }
    if (!I().filenames.count(impl)) {
        H().Violation("Filename Destruct: unknown or already destructed content " + Ptr(impl));
        fn->impl = nullptr;
        return;
    }
    I().filenames.erase(impl);
    fn->impl = nullptr;
}

static bool FnCopyTo(C4D_Filename* dst, const C4D_Filename* src) {
    if (!dst)
        return false;
    const std::string path = I().PathOf(src, "Filename CopyTo");
    return I().StorePath(dst, path, "Filename CopyTo");
}

static bool FnJoin(C4D_Filename* dst, const C4D_Filename* base, C4D_HString part) {
    if (!dst)
        return false;
    std::string path = I().PathOf(base, "Filename Join");
    const std::string add = I().Text(part, "Filename Join");
    if (path.empty())
        path = add;
    else if (!add.empty())
        path += (path.back() == '/' || path.back() == kPathSeparator ? std::string() : std::string(1, kPathSeparator)) + add;
    return I().StorePath(dst, path, "Filename Join");
}

static bool FnGetDirectory(C4D_Filename* dst, const C4D_Filename* src) {
    if (!dst)
        return false;
    const std::string path = I().PathOf(src, "Filename GetDirectory");
    std::string dir;
    const size_t cut = path.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
    if (cut != std::string::npos)
        dir = cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
    return I().StorePath(dst, dir, "Filename GetDirectory");
}

static C4D_HString FnGetString(const C4D_Filename* fn) {
    const std::string path = I().PathOf(fn, "Filename GetString");
    return path.empty() ? nullptr : I().NewString(path);
}

static bool FnSetString(C4D_Filename* fn, C4D_HString path) {
    if (!fn)
        return false;
    return I().StorePath(fn, I().Text(path, "Filename SetString"), "Filename SetString");
}

static bool FnExecuteFile(const C4D_Filename* fn) {
    Host& h = H();
    const std::string path = I().PathOf(fn, "Filename ExecuteFile");
    h.executedFiles_.push_back(path);
    std::error_code ec;
    const bool exists = !path.empty() && fs::is_regular_file(fs::u8path(path), ec);
    h.LogLine("open file " + path + (exists ? ": handed to the system's viewer (not started by the stand-in host)"
                                            : ": no such file"));
    return exists;
}

// ------------------------------------------------------------------------------------------------
// Dialogs
// ------------------------------------------------------------------------------------------------
static int32_t Send(DialogWindow* w, int32_t id) {
    Container msg(id);
    return H().SendDialogMessage(w, msg);
}

static C4D_DialogWindow* DlgCreateWindow(void* owner, C4D_DialogMessageFn entry) {
    if (!entry) {
        H().Violation("CreateWindow: no message entry");
        return nullptr;
    }
    const uint64_t serial = I().Allocate(AllocKind::Windows);
    if (!serial)
        return nullptr;
    auto owned = std::make_unique<DialogWindow>();
    owned->owner = owner;
    owned->entry = entry;
    DialogWindow* raw = owned.get();
    I().windows.emplace(raw, std::make_pair(serial, std::move(owned)));
    return raw;
}

static void DlgDestroyWindow(C4D_DialogWindow* w) {
    if (!w)
        return;
    if (!I().KnownWindow(w, "DestroyWindow"))
        return;
    if (I().lastOpened == w)
        I().lastOpened = nullptr;
    I().windows.erase(w); // the entry is not called: its owner is being destroyed
}

static bool OpenWindow(DialogWindow* w, const char* how) {
    Host& h = H();
    if (w->open) {
        h.LogLine(std::string(how) + ": the dialog is already open; brought to the front");
        I().lastOpened = w;
        return true;
    }
    if (Send(w, C4D_FOURCC('b', 'I', 'N', 'I')) == 0) {
        h.LogLine(std::string(how) + ": the dialog's layout was not built; the window is not shown");
        if (I().windows.count(w))
            Send(w, C4D_FOURCC('d', 's', 't', 'y'));
        return false;
    }
    if (!I().windows.count(w))
        return false;
    w->open = true;
    ++w->openCount;
    I().lastOpened = w;
    if (Send(w, C4D_FOURCC('b', 'V', 'I', 'N')) == 0)
        h.LogLine(std::string(how) + ": the dialog answered false to value initialisation");
    return true;
}

static bool DlgOpen(C4D_DialogWindow* w, int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t width,
             int32_t height, int32_t subId, int32_t flags) {
    if (!w || !I().KnownWindow(w, "Open"))
        return false;
    (void)x, (void)y, (void)width, (void)height, (void)flags;
    if (!w->open) {
        w->openType = type;
        w->pluginId = pluginId;
        w->subId = subId;
        w->layoutData = nullptr;
    }
    return OpenWindow(w, "Open");
}

static bool DlgRestoreLayout(C4D_DialogWindow* w, int32_t pluginId, int32_t subId, void* layoutData) {
    if (!w || !I().KnownWindow(w, "RestoreLayout"))
        return false;
    if (!w->open) {
        w->openType = C4D_DLG_TYPE_ASYNC;
        w->pluginId = pluginId;
        w->subId = subId;
        w->layoutData = layoutData;
    }
    return OpenWindow(w, "RestoreLayout");
}

static bool DlgClose(C4D_DialogWindow* w) {
    if (!w || !I().KnownWindow(w, "Close") || !w->open)
        return false;
    w->open = false;
    Send(w, C4D_FOURCC('d', 's', 't', 'y'));
    return true;
}

static hostsim::GadgetKind KindOf(const std::string& element) {
    if (element == "CHECKBOX")
        return GadgetKind::Check;
    if (element == "COMBOBOX")
        return GadgetKind::Combo;
    if (element == "BUTTON")
        return GadgetKind::Button;
    if (element == "STATICTEXT")
        return GadgetKind::Text;
    if (element == "GROUP")
        return GadgetKind::Group;
    return GadgetKind::Other;
}

static void AddGadgets(DialogWindow* w, const std::vector<DialogElement>& elements) {
    for (const auto& el : elements) {
        if (el.id) {
            Gadget g;
            g.id = *el.id;
            g.kind = KindOf(el.kind);
            g.element = el.kind;
            g.name = el.name;
            g.children = el.childs;
            if (!w->gadgets.count(g.id))
                w->gadgetOrder.push_back(g.id);
            w->gadgets[g.id] = g;
        }
        AddGadgets(w, el.children);
    }
}

static bool DlgLoadDialogResource(C4D_DialogWindow* w, int32_t dialogId, const C4D_Resource* res, int32_t) {
    if (!w || !I().KnownWindow(w, "LoadDialogResource"))
        return false;
    if (!res) {
        H().LogLine("dialog " + std::to_string(dialogId) + " not built: no resource given");
        return false;
    }
    if (!I().KnownResource(res, "LoadDialogResource"))
        return false;
    DialogDescription description;
    std::string why;
    if (!LoadDialogDescription(*res, dialogId, &description, &why)) {
        H().LogLine("dialog " + std::to_string(dialogId) + " not built: " + why);
        return false;
    }
    w->gadgets.clear();
    w->gadgetOrder.clear();
    AddGadgets(w, description.elements);
    w->dialogId = dialogId;
    return true;
}

static Gadget* FindGadget(C4D_DialogWindow* w, int32_t gadget, const char* op) {
    if (!w || !I().KnownWindow(w, op))
        return nullptr;
    auto it = w->gadgets.find(gadget);
    return it == w->gadgets.end() ? nullptr : &it->second;
}

static bool DlgFreeChildren(C4D_DialogWindow* w, int32_t gadget) {
    Gadget* g = FindGadget(w, gadget, "FreeChildren");
    if (!g)
        return false;
    g->children.clear();
    return true;
}

static bool DlgAddChild(C4D_DialogWindow* w, int32_t gadget, int32_t childId, C4D_HString text) {
    Gadget* g = FindGadget(w, gadget, "AddChild");
    if (!g)
        return false;
    g->children.emplace_back(childId, I().Text(text, "AddChild"));
    return true;
}

static bool DlgSetInt32(C4D_DialogWindow* w, int32_t gadget, int32_t value, int32_t min, int32_t max, int32_t step,
                 bool tristate) {
    Gadget* g = FindGadget(w, gadget, "SetInt32");
    if (!g)
        return false;
    g->intValue = value;
    g->min = min;
    g->max = max;
    g->step = step;
    g->tristate = tristate;
    return true;
}

static bool DlgSetBool(C4D_DialogWindow* w, int32_t gadget, bool value, bool tristate) {
    Gadget* g = FindGadget(w, gadget, "SetBool");
    if (!g)
        return false;
    g->boolValue = value;
    g->tristate = tristate;
    return true;
}

static bool DlgGetInt32(C4D_DialogWindow* w, int32_t gadget, int32_t* out) {
    Gadget* g = FindGadget(w, gadget, "GetInt32");
    if (!g || !out)
        return false;
    *out = g->kind == GadgetKind::Check ? (g->boolValue ? 1 : 0) : g->intValue;
    return true;
}

static bool DlgGetBool(C4D_DialogWindow* w, int32_t gadget, bool* out) {
    Gadget* g = FindGadget(w, gadget, "GetBool");
    if (!g || !out)
        return false;
    *out = g->kind == GadgetKind::Check ? g->boolValue : g->intValue != 0;
    return true;
}

static bool DlgEnable(C4D_DialogWindow* w, int32_t gadget, bool enabled) {
    Gadget* g = FindGadget(w, gadget, "Enable");
    if (!g)
        return false;
    g->enabled = enabled;
    return true;
}

static bool AddMenu(C4D_DialogWindow* w, MenuItem::Kind kind, int32_t id, C4D_HString text, const char* op) {
    if (!w || !I().KnownWindow(w, op))
        return false;
    MenuItem item;
    item.kind = kind;
    item.id = id;
    item.text = I().Text(text, op);
    w->menu.push_back(item);
    return true;
}

static bool DlgMenuFlushAll(C4D_DialogWindow* w) {
    if (!w || !I().KnownWindow(w, "MenuFlushAll"))
        return false;
    w->menu.clear();
    w->menuFinished = false;
    return true;
}

static bool DlgMenuSubBegin(C4D_DialogWindow* w, C4D_HString title) {
    return AddMenu(w, MenuItem::Kind::SubBegin, 0, title, "MenuSubBegin");
}

static bool DlgMenuAddString(C4D_DialogWindow* w, int32_t id, C4D_HString text) {
    return AddMenu(w, MenuItem::Kind::String, id, text, "MenuAddString");
}

static bool DlgMenuAddSeparator(C4D_DialogWindow* w) {
    return AddMenu(w, MenuItem::Kind::Separator, 0, nullptr, "MenuAddSeparator");
}

static bool DlgMenuAddCommand(C4D_DialogWindow* w, int32_t commandId) {
    return AddMenu(w, MenuItem::Kind::Command, commandId, nullptr, "MenuAddCommand");
}

static bool DlgMenuSubEnd(C4D_DialogWindow* w) { return AddMenu(w, MenuItem::Kind::SubEnd, 0, nullptr, "MenuSubEnd"); }

static bool DlgMenuFinished(C4D_DialogWindow* w) {
    if (!w || !I().KnownWindow(w, "MenuFinished"))
        return false;
    w->menuFinished = true;
    return true;
}

// ------------------------------------------------------------------------------------------------
// Resources
// ------------------------------------------------------------------------------------------------
static C4D_Resource* ResLoad(const C4D_Filename* folder) {
    Host& h = H();
    const std::string path = I().PathOf(folder, "Resource Load");
    h.resourceLoads_.push_back(path);
    const uint64_t serial = I().Allocate(AllocKind::Resources);
    if (!serial)
        return nullptr;
    if (path.empty() || !fs::u8path(path).is_absolute()) {
        h.LogLine("resource not loaded: the folder \"" + path + "\" is not an absolute path");
        return nullptr;
    }
    // The folder given is the resource folder itself, or a module folder that holds one in `res`.
    std::string use = path;
    std::error_code ec;
    if (!fs::exists(fs::u8path(path) / "c4d_symbols.h", ec) && fs::is_directory(fs::u8path(path) / "res", ec))
        use = (fs::u8path(path) / "res").u8string();
    auto owned = std::make_unique<Resource>();
    std::string why;
    if (!LoadResourceFolder(use, owned.get(), &why)) {
        h.LogLine("resource not loaded: " + why);
        return nullptr;
    }
    Resource* raw = owned.get();
    I().resources.emplace(raw, std::make_pair(serial, std::move(owned)));
    h.LogLine("loaded resource " + use + " (" + std::to_string(raw->strings.size()) + " strings)");
    return raw;
}

static void ResRelease(C4D_Resource* res, bool release) {
    if (!res || !I().KnownResource(res, "Resource Release"))
        return;
    ++H().resourceReleases_;
    H().LogLine("released resource " + res->folder + (release ? "" : " (release flag false)"));
    I().resources.erase(res);
}

static C4D_HString ResLoadString(const C4D_Resource* res, int32_t id) {
    H().stringLookups_.push_back(id);
    if (res && I().KnownResource(res, "Resource LoadString")) {
        auto it = res->strings.find(id);
        if (it != res->strings.end())
            return I().NewString(it->second);
    }
    return I().NewString(kDefaultString);
}

// ------------------------------------------------------------------------------------------------
// List objects, scene, documents
// ------------------------------------------------------------------------------------------------
static int32_t ListGetType(const C4D_ListObject* obj) {
    return obj && I().KnownListObject(obj, "GetType") ? obj->type : 0;
}

static C4D_ListObject* ListGetNext(const C4D_ListObject* obj) {
    return obj && I().KnownListObject(obj, "GetNext") ? obj->next : nullptr;
}

static int32_t ListGetAllBits(const C4D_ListObject* obj) {
    return obj && I().KnownListObject(obj, "GetAllBits") ? obj->bits : 0;
}

static void ListSetAllBits(C4D_ListObject* obj, int32_t bits) {
    if (obj && I().KnownListObject(obj, "SetAllBits"))
        obj->bits = bits;
}

static void ListToggleBit(C4D_ListObject* obj, int32_t mask) {
    if (obj && I().KnownListObject(obj, "ToggleBit"))
        obj->bits ^= mask;
}

static bool ListGetData(const C4D_ListObject* obj, C4D_Container* dst) {
    if (!obj || !dst || !I().KnownListObject(obj, "GetData") || !I().KnownContainer(dst, "GetData", true))
        return false;
    *dst = obj->data;
    return true;
}

static bool ListSetData(C4D_ListObject* obj, const C4D_Container* bc, bool merge) {
    if (!obj || !bc || !I().KnownListObject(obj, "SetData") || !I().KnownContainer(bc, "SetData", false))
        return false;
    if (merge) {
        obj->data.MergeFrom(*bc);
    } else {
        const int32_t id = obj->data.id;
        obj->data = *bc;
        obj->data.id = id;
    }
    return true;
}

static bool ListMessage(C4D_ListObject* obj, int32_t type, void* data) {
    if (!obj || !I().KnownListObject(obj, "Message"))
        return false;
    hostsim::ListMessage m;
    m.type = type;
    m.hadData = data != nullptr;
    if (type == C4D_MSG_DESCRIPTION_COMMAND && data) {
        const auto* dc = static_cast<const C4D_DescriptionCommand*>(data);
        if (dc->id)
            m.descId = *dc->id;
        if (dc->action && I().KnownContainer(dc->action, "Message 18 action", false))
            m.action = *dc->action;
    } else if (type == C4D_MSG_DESCRIPTION_CHECKUPDATE && data) {
        const auto* cu = static_cast<const C4D_DescriptionCheckUpdate*>(data);
        m.document = cu->doc;
        m.flags = cu->flags;
        if (cu->descid)
            m.descId = *cu->descid;
    }
    obj->messages.push_back(m);
    if (type == C4D_MSG_DESCRIPTION_COMMAND && m.descId && obj->onButton)
        obj->onButton(*obj, *m.descId, m.action ? *m.action : Container());
    return true;
}

static C4D_ListObject* SceneGetFirstVideoPost(const C4D_ListObject* rd) {
    if (!rd || !I().KnownListObject(rd, "GetFirstVideoPost"))
        return nullptr;
    return rd->videoPosts.empty() ? nullptr : rd->videoPosts.front().get();
}

static C4D_Document* DocGetActiveDocument() { return H().ActiveDocument(); }

static C4D_ListObject* DocGetActiveRenderData(const C4D_Document* doc) {
    if (!doc || !I().KnownDocument(doc, "GetActiveRenderData"))
        return nullptr;
    return doc->activeRenderData;
}

};

namespace abi {

const MaxonSystemInterface kSystem = {Tables::SysAlloc, Tables::SysFree, Tables::SysDeleteObject};
const MaxonStringInterface kString = {Tables::StrCreate, Tables::StrRetain, Tables::StrRelease, Tables::StrGetUtf8, Tables::StrGetLength};
const MaxonHostObject kHostObject = {Tables::GetApplicationFolder};

int32_t Resolver(void*, const MaxonEntity* declaration, void** slot) {
    if (!declaration || !slot)
        return 1;
    if (declaration->type == MAXON_ENTITY_INTERFACE_REFERENCE && declaration->id.text) {
        if (std::strcmp(declaration->id.text, MAXON_SYSTEM_INTERFACE_ID) == 0) {
            *slot = const_cast<MaxonSystemInterface*>(&kSystem);
            return 0;
        }
        if (std::strcmp(declaration->id.text, MAXON_STRING_INTERFACE_ID) == 0) {
            *slot = const_cast<MaxonStringInterface*>(&kString);
            return 0;
        }
    }
    H().LogLine(std::string("resolver: unknown declaration \"") + (declaration->id.text ? declaration->id.text : "") + "\"");
    return 1;
}

const C4D_GeneralTable kGeneral = {Tables::GenPrint,           Tables::GenMessageDialog,      Tables::GenEventAdd,
                                   Tables::GenCallCommand,     Tables::GenRegisterPlugin,     Tables::GenGetWorldPluginData,
                                   Tables::GenSetWorldPluginData, Tables::GenCheckInteraction};
const C4D_ContainerTable kContainer = {Tables::BcAlloc,    Tables::BcFree,     Tables::BcCopyTo,   Tables::BcGetId,    Tables::BcSetId,
                                       Tables::BcSetInt32, Tables::BcSetBool,  Tables::BcSetFloat, Tables::BcGetInt32, Tables::BcGetBool,
                                       Tables::BcGetFloat, Tables::BcGetCount, Tables::BcGetIndexId};
const C4D_BitmapTable kBitmap = {Tables::BmpAlloc, Tables::BmpFree, Tables::BmpInitWithFile, Tables::BmpSetFloatData, Tables::BmpGetWidth, Tables::BmpGetHeight};
const C4D_FileTable kFile = {Tables::FnConstruct,    Tables::FnDestruct,  Tables::FnCopyTo,    Tables::FnJoin,
                             Tables::FnGetDirectory, Tables::FnGetString, Tables::FnSetString, Tables::FnExecuteFile};
const C4D_DialogTable kDialog = {Tables::DlgCreateWindow,     Tables::DlgDestroyWindow, Tables::DlgOpen,          Tables::DlgRestoreLayout,
                                 Tables::DlgClose,            Tables::DlgLoadDialogResource, Tables::DlgFreeChildren, Tables::DlgAddChild,
                                 Tables::DlgSetInt32,         Tables::DlgSetBool,       Tables::DlgGetInt32,      Tables::DlgGetBool,
                                 Tables::DlgEnable,           Tables::DlgMenuFlushAll,  Tables::DlgMenuSubBegin,  Tables::DlgMenuAddString,
                                 Tables::DlgMenuAddSeparator, Tables::DlgMenuAddCommand, Tables::DlgMenuSubEnd,   Tables::DlgMenuFinished};
const C4D_ResourceTable kResource = {Tables::ResLoad, Tables::ResRelease, Tables::ResLoadString};
const C4D_ListTable kList = {Tables::ListGetType, Tables::ListGetNext, Tables::ListGetAllBits, Tables::ListSetAllBits,
                             Tables::ListToggleBit, Tables::ListGetData, Tables::ListSetData,  Tables::ListMessage};
const C4D_SceneTable kScene = {Tables::SceneGetFirstVideoPost};
const C4D_DocumentTable kDocument = {Tables::DocGetActiveDocument, Tables::DocGetActiveRenderData};

} // namespace abi
} // namespace hostsim
