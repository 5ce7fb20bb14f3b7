// The stand-in host object: construction, the log, the lifecycle calls into the module and the
// command plug-ins it registered. Binding lives in host_binding.cpp, accounting of the host objects
// the module holds in host_accounting.cpp, what tests and the CLI drive in host_session.cpp.
#include "hostsim/host.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_internal.h"
#include "hostsim/dynamic_library.h"

namespace hostsim {
namespace {

Host* g_current = nullptr;

} // namespace

const char* AllocKindName(AllocKind kind) {
    switch (kind) {
    case AllocKind::Heap: return "heap";
    case AllocKind::Strings: return "string";
    case AllocKind::Containers: return "container";
    case AllocKind::Bitmaps: return "bitmap";
    case AllocKind::Filenames: return "filename";
    case AllocKind::Windows: return "window";
    case AllocKind::Resources: return "resource";
    case AllocKind::ContainerCopies: return "container-copy";
    }
    return "?";
}

bool ParseAllocKind(const std::string& name, AllocKind* out) {
    for (int k = 0; k < kAllocKindCount; ++k) {
        if (name == AllocKindName(static_cast<AllocKind>(k))) {
            *out = static_cast<AllocKind>(k);
            return true;
        }
    }
    return false;
}

const char* RefusedObjectsName(RefusedObjects policy) {
    return policy == RefusedObjects::Free ? "free" : "keep";
}

bool ParseRefusedObjects(const std::string& name, RefusedObjects* out) {
    if (name != "keep" && name != "free")
        return false;
    *out = name == "free" ? RefusedObjects::Free : RefusedObjects::Keep;
    return true;
}

// ------------------------------------------------------------------------------------------------
// Construction
// ------------------------------------------------------------------------------------------------
Host::Host(HostOptions options) : options_(std::move(options)), internal_(std::make_unique<Internal>(*this)) {
    if (g_current) {
        std::fprintf(stderr, "hostsim: a second Host was constructed while another is current\n");
        std::abort();
    }
    g_current = this;
    refusedObjects_ = options_.refusedObjects;
    api_.apiVersion = options_.apiVersion;
    api_.general = &abi::kGeneral;
    api_.container = &abi::kContainer;
    api_.bitmap = &abi::kBitmap;
    api_.file = &abi::kFile;
    api_.dialog = &abi::kDialog;
    api_.resource = &abi::kResource;
    api_.list = &abi::kList;
    api_.scene = &abi::kScene;
    api_.document = &abi::kDocument;
    if (options_.activeDocument) {
        Document* doc = NewDocument("Untitled 1");
        doc->AddRenderData("My Render Setting");
        activeDocument_ = doc;
    }
    if (!options_.prefsFile.empty())
        LoadPrefsFile();
}

Host::~Host() {
    if (Loaded())
        Shutdown();
    internal_->FreeAll();
    g_current = nullptr;
}

Host* Host::Current() { return g_current; }

void Host::LogLine(const std::string& line) {
    log_.push_back(line);
    if (options_.logEcho)
        *options_.logEcho << "[host] " << line << std::endl;
}

void Host::Violation(const std::string& what) {
    violations_.push_back(what);
    LogLine("VIOLATION: " + what);
}

void Host::YieldHook(int64_t, const void*) {
    if (g_current)
        ++g_current->yieldCalls_;
}

// ------------------------------------------------------------------------------------------------
// Lifecycle
// ------------------------------------------------------------------------------------------------
int32_t Host::CallMain(int32_t action, void* p1, void* p2, void* p3) {
    if (!main_) {
        LogLine("c4d_main(" + std::to_string(action) + ") not called: no module is loaded");
        return C4D_PL_ANSWER_FAILED;
    }
    const int32_t answer = main_(action, p1, p2, p3);
    LogLine("c4d_main(" + std::to_string(action) + ") answered " + std::to_string(answer));
    return answer;
}

int32_t Host::InitSys() { return CallMain(C4D_PL_INIT_SYS, &api_, nullptr, &moduleFilename_); }

int32_t Host::PluginMessage(int64_t id, void* data) {
    return CallMain(C4D_PL_MESSAGE, reinterpret_cast<void*>(static_cast<intptr_t>(id)), data, nullptr);
}

int32_t Host::Start() { return CallMain(C4D_PL_START); }

int32_t Host::End() { return CallMain(C4D_PL_END); }

Host::StartupAnswers Host::Startup() {
    StartupAnswers a;
    a.init = InitSys();
    if (a.init != C4D_PL_ANSWER_OK) {
        LogLine("the module refused system initialisation; it is not started");
        return a;
    }
    a.message = PluginMessage(C4D_PLMSG_INIT_SYS);
    a.start = Start();
    return a;
}

std::vector<LiveObject> Host::Shutdown() {
    if (Loaded())
        End();
    FreePlugins();
    Unload();
    lastLeaks_ = LiveObjects();
    for (const auto& k : KeptObjects())
        LogLine(std::string("kept by the host (refused registration): ") + AllocKindName(k.kind) + " #" +
                std::to_string(k.serial) + ": " + k.what);
    if (lastLeaks_.empty()) {
        LogLine("unfreed host allocations: 0");
    } else {
        LogLine("unfreed host allocations: " + std::to_string(lastLeaks_.size()));
        for (const auto& l : lastLeaks_)
            LogLine(std::string("  leaked ") + AllocKindName(l.kind) + " #" + std::to_string(l.serial) + ": " + l.what);
    }
    return lastLeaks_;
}

void Host::FreePlugins() {
    for (auto& c : commands_) {
        if (c.destroyed)
            continue;
        c.destroyed = true;
        if (!c.record.Destroy) {
            LogLine("command " + std::to_string(c.id) + " has no destroy entry; its object is not freed");
            continue;
        }
        if (!Loaded()) {
            LogLine("command " + std::to_string(c.id) + " not freed: its module is no longer loaded");
            continue;
        }
        c.record.Destroy(c.record.object);
        LogLine("freed command " + std::to_string(c.id));
    }
}

bool Host::Unload() {
    if (!library_)
        return true;
    std::string why;
    const bool ok = library_->Close(&why);
    library_.reset();
    ClearModuleState();
    if (!ok)
        LogLine("unloading " + modulePath_ + ": " + why);
    else
        LogLine("unloaded module " + modulePath_);
    return ok;
}

// ------------------------------------------------------------------------------------------------
// Commands
// ------------------------------------------------------------------------------------------------
const RegisteredCommand* Host::FindCommand(int32_t id) const {
    for (const auto& c : commands_)
        if (c.id == id)
            return &c;
    return nullptr;
}

namespace {
template <typename Fn>
const RegisteredCommand* Callable(Host& host, int32_t id, const char* entry, Fn fn) {
    const RegisteredCommand* c = host.FindCommand(id);
    if (!c || c->destroyed) {
        host.LogLine(std::string("no command ") + std::to_string(id) + " to call " + entry + " on");
        return nullptr;
    }
    if (!(c->record.*fn)) {
        host.LogLine(std::string("command ") + std::to_string(id) + " has no " + entry + " entry");
        return nullptr;
    }
    return c;
}
} // namespace

bool Host::ExecuteCommand(int32_t id) {
    const RegisteredCommand* c = Callable(*this, id, "Execute", &C4D_CommandPluginRecord::Execute);
    return c && c->record.Execute(c->record.object, activeDocument_);
}

int32_t Host::CommandState(int32_t id) {
    const RegisteredCommand* c = Callable(*this, id, "GetState", &C4D_CommandPluginRecord::GetState);
    return c ? c->record.GetState(c->record.object, activeDocument_) : 0;
}

bool Host::RestoreCommandLayout(int32_t id, void* layoutData) {
    const RegisteredCommand* c = Callable(*this, id, "RestoreLayout", &C4D_CommandPluginRecord::RestoreLayout);
    return c && c->record.RestoreLayout(c->record.object, layoutData);
}

bool Host::CommandExecuteSubID(int32_t id, int32_t subId) {
    const RegisteredCommand* c = Callable(*this, id, "ExecuteSubID", &C4D_CommandPluginRecord::ExecuteSubID);
    return c && c->record.ExecuteSubID(c->record.object, activeDocument_, subId);
}

bool Host::CommandExecuteOptionID(int32_t id, int32_t subId) {
    const RegisteredCommand* c = Callable(*this, id, "ExecuteOptionID", &C4D_CommandPluginRecord::ExecuteOptionID);
    return c && c->record.ExecuteOptionID(c->record.object, activeDocument_, subId);
}

bool Host::CommandGetSubContainer(int32_t id, Container* submenu) {
    const RegisteredCommand* c = Callable(*this, id, "GetSubContainer", &C4D_CommandPluginRecord::GetSubContainer);
    if (!c)
        return false;
    internal_->inFlight.insert(submenu);
    const bool answer = c->record.GetSubContainer(c->record.object, activeDocument_, submenu);
    internal_->inFlight.erase(submenu);
    return answer;
}

std::string Host::CommandScriptName(int32_t id) {
    const RegisteredCommand* c = Callable(*this, id, "GetScriptName", &C4D_CommandPluginRecord::GetScriptName);
    if (!c)
        return std::string();
    C4D_HString s = c->record.GetScriptName(c->record.object);
    std::string text = internal_->Text(s, "GetScriptName");
    abi::kString.Release(s);
    return text;
}

bool Host::CommandMessage(int32_t id, int32_t type, void* data) {
    const RegisteredCommand* c = Callable(*this, id, "Message", &C4D_CommandPluginRecord::Message);
    return c && c->record.Message(c->record.object, type, data);
}

C4D_HString Host::NewString(const std::string& text) { return internal_->NewString(text); }

std::string Host::StringText(C4D_HString s) { return internal_->Text(s, "StringText"); }

void Host::ReleaseString(C4D_HString s) { abi::kString.Release(s); }

} // namespace hostsim
