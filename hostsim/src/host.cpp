// The stand-in host: module loading and binding, the lifecycle calls, accounting of the host
// objects the module holds, and the host-side operations that tests and the CLI drive.
#include "hostsim/host.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "host_internal.h"
#include "hostsim/dynamic_library.h"
#include "hostsim/prefs_file.h"
#include "hostsim/safe_file.h"

namespace hostsim {
namespace {

namespace fs = std::filesystem;

Host* g_current = nullptr;

// The frameworks a module of this host depends on, in the order it must list them.
const char* const kFrameworks[] = {
    "net.maxon.c4d.cinema.framework", "net.maxon.command.framework", "net.maxon.core.framework",
    "net.maxon.crypt.framework",      "net.maxon.geom.framework",    "net.maxon.image.framework",
    "net.maxon.math.framework",       "net.maxon.mesh_misc.framework", "net.maxon.python.framework",
};
constexpr size_t kFrameworkCount = sizeof(kFrameworks) / sizeof(kFrameworks[0]);

// Limits on walking lists in the module's static data, so a broken list cannot hang the host.
constexpr size_t kMaxListLength = 100000;
constexpr size_t kMaxTextLength = 4096;

std::string Hex(uint64_t v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIx64, v);
    return buffer;
}

// A bounded strlen over module memory.
bool TextOf(const char* text, std::string* out) {
    if (!text)
        return false;
    size_t n = 0;
    while (n < kMaxTextLength && text[n] != '\0')
        ++n;
    if (n == kMaxTextLength)
        return false;
    out->assign(text, n);
    return true;
}

// Checks an identifier of the module's static data: a text with its exact hash, bit 43 clear.
bool CheckLiteralId(const MaxonId& id, const std::string& what, std::string* text, std::string* why) {
    if (!TextOf(id.text, text)) {
        *why = what + " has no identifier text";
        return false;
    }
    if (id.hash & MAXON_ID_ALLOCATED_BIT) {
        *why = what + " \"" + *text + "\" is a literal identifier but its hash marks it as allocated (bit 43)";
        return false;
    }
    const uint64_t expected = MaxonIdHash(id.text, 0);
    if (id.hash != expected) {
        *why = what + " \"" + *text + "\" has hash " + Hex(id.hash) + ", expected " + Hex(expected);
        return false;
    }
    return true;
}

bool IsReverseDomainName(const std::string& id) {
    // labels of lower-case letters, digits and '-', at least three, separated by single points
    size_t labels = 0;
    size_t start = 0;
    for (;;) {
        size_t end = id.find('.', start);
        std::string label = id.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (label.empty())
            return false;
        for (char c : label)
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
                return false;
        ++labels;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return labels >= 3;
}

struct KnownInterface {
    const char* id;
    const char* firstMethod;
    const char* signature;
    const void* table;
    size_t size;
};

const KnownInterface kInterfaces[] = {
    {MAXON_SYSTEM_INTERFACE_ID, MAXON_SYSTEM_FIRST_METHOD, MAXON_SYSTEM_FIRST_SIGNATURE, &abi::kSystem,
     sizeof(MaxonSystemInterface)},
    {MAXON_STRING_INTERFACE_ID, MAXON_STRING_FIRST_METHOD, MAXON_STRING_FIRST_SIGNATURE, &abi::kString,
     sizeof(MaxonStringInterface)},
};

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

// ------------------------------------------------------------------------------------------------
// Loading and binding
// ------------------------------------------------------------------------------------------------
bool Host::Load(const std::string& modulePath) {
    lastError_.clear();
    if (Loaded()) {
        lastError_ = "a module is already loaded";
        LogLine(lastError_);
        return false;
    }
    std::error_code ec;
    fs::path path = fs::absolute(fs::u8path(modulePath), ec);
    if (ec)
        path = fs::u8path(modulePath);
    path = path.lexically_normal();
    modulePath_ = path.u8string();
    if (!fs::is_regular_file(path, ec)) {
        lastError_ = "cannot load module " + modulePath_ + ": no such file";
        LogLine(lastError_);
        return false;
    }
    std::string why;
    library_ = DynamicLibrary::Open(modulePath_, &why);
    if (!library_) {
        lastError_ = "cannot load module " + modulePath_ + ": " + why;
        LogLine(lastError_);
        return false;
    }
    binding_ = BindingReport();
    main_ = reinterpret_cast<C4D_MainFn>(library_->Symbol("c4d_main"));
    gMaxon_ = static_cast<MaxonModuleInfo*>(library_->Symbol("g_maxon"));
    yieldDelegate_ = static_cast<MaxonCpuYieldFn*>(library_->Symbol("g_CpuYieldDelegate"));
    if (main_)
        binding_.exportsFound.push_back("c4d_main");
    if (gMaxon_)
        binding_.exportsFound.push_back("g_maxon");
    if (yieldDelegate_)
        binding_.exportsFound.push_back("g_CpuYieldDelegate");
    std::string missing;
    if (!main_)
        missing += " c4d_main";
    if (!gMaxon_)
        missing += " g_maxon";
    if (!yieldDelegate_)
        missing += " g_CpuYieldDelegate";
    if (!missing.empty()) {
        why = "the module does not export" + missing;
    } else if (Bind(&why)) {
        internal_->moduleFile.path = modulePath_;
        moduleFilename_.impl = &internal_->moduleFile;
        LogLine("loaded and bound module " + modulePath_ + " (" + binding_.pluginModuleId + ")");
        return true;
    }
    lastError_ = "refused module " + modulePath_ + ": " + why;
    LogLine(lastError_);
    std::string ignored;
    library_->Close(&ignored);
    library_.reset();
    ClearModuleState();
    return false;
}

bool Host::Bind(std::string* why) {
    MaxonModuleInfo* info = gMaxon_;
    binding_.version = info->version;
    binding_.version2 = info->version2;
    if (info->version != MAXON_MODULE_VERSION || info->version2 != MAXON_MODULE_VERSION) {
        *why = "g_maxon version stamps are " + std::to_string(info->version) + " and " +
               std::to_string(info->version2) + ", expected " + std::to_string(MAXON_MODULE_VERSION) + " twice";
        return false;
    }
    if (!info->entities) {
        *why = "g_maxon lists no module entity";
        return false;
    }
    std::vector<MaxonInterfaceReference*> references;
    std::set<const void*> seen;
    size_t steps = 0;
    for (MaxonEntity* e = info->entities; e; e = e->next) {
        if (!seen.insert(e).second || ++steps > kMaxListLength) {
            *why = "the entity list of g_maxon loops";
            return false;
        }
        if (e->type != MAXON_ENTITY_MODULE) {
            *why = "the entity list of g_maxon holds an entity of type " + std::to_string(e->type) +
                   " where only module entities (type 8) belong";
            return false;
        }
        BindingReport::Module report;
        if (!CheckLiteralId(e->id, "a module entity", &report.id, why))
            return false;
        if (e->owner != info) {
            *why = "module entity \"" + report.id + "\" does not point back to g_maxon";
            return false;
        }
        report.flags = e->flags;
        auto* m = reinterpret_cast<MaxonModuleEntity*>(e);
        if (m->dependencyCount < 0 || m->dependencyCount > 256 || (m->dependencyCount > 0 && !m->dependencies)) {
            *why = "module \"" + report.id + "\" has a broken dependency list (count " +
                   std::to_string(m->dependencyCount) + ")";
            return false;
        }
        for (int32_t k = 0; k < m->dependencyCount; ++k) {
            std::string dep;
            if (!CheckLiteralId(m->dependencies[k], "dependency " + std::to_string(k + 1) + " of \"" + report.id + "\"",
                                &dep, why))
                return false;
            report.dependencies.push_back(dep);
            report.dependencyHashes.push_back(m->dependencies[k].hash);
        }
        size_t unitSteps = 0;
        for (MaxonEntity* u = m->units; u; u = u->next) {
            if (!seen.insert(u).second || ++unitSteps > kMaxListLength) {
                *why = "the translation-unit list of \"" + report.id + "\" loops";
                return false;
            }
            BindingReport::Unit unit;
            if (u->type != MAXON_ENTITY_TRANSLATION_UNIT) {
                *why = "the translation-unit list of \"" + report.id + "\" holds an entity of type " +
                       std::to_string(u->type);
                return false;
            }
            if (!CheckLiteralId(u->id, "a translation unit of \"" + report.id + "\"", &unit.name, why))
                return false;
            if (unit.name.find_first_of("/\\") != std::string::npos) {
                *why = "translation unit \"" + unit.name + "\" is named with its path, not its base name";
                return false;
            }
            auto* tu = reinterpret_cast<MaxonTranslationUnit*>(u);
            if (u->owner != info || tu->module != m) {
                *why = "translation unit \"" + unit.name + "\" does not point back to its module and g_maxon";
                return false;
            }
            unit.flags = u->flags;
            size_t useSteps = 0;
            for (MaxonDeclarationUse* use = tu->uses; use; use = use->next) {
                if (++useSteps > kMaxListLength) {
                    *why = "the declaration uses of \"" + unit.name + "\" loop";
                    return false;
                }
                std::string header;
                TextOf(use->header, &header);
                unit.headers.push_back(header);
                ++unit.uses;
            }
            report.units.push_back(std::move(unit));
        }
        size_t refSteps = 0;
        for (MaxonEntity* r = m->references; r; r = r->next) {
            if (!seen.insert(r).second || ++refSteps > kMaxListLength) {
                *why = "the interface-reference list of \"" + report.id + "\" loops";
                return false;
            }
            if (r->type != MAXON_ENTITY_INTERFACE_REFERENCE) {
                *why = "the interface-reference list of \"" + report.id + "\" holds an entity of type " +
                       std::to_string(r->type);
                return false;
            }
            BindingReport::Reference ref;
            if (!CheckLiteralId(r->id, "an interface reference of \"" + report.id + "\"", &ref.id, why))
                return false;
            auto* ir = reinterpret_cast<MaxonInterfaceReference*>(r);
            TextOf(ir->firstMethod, &ref.firstMethod);
            ref.methodCount = ir->methodCount;
            report.references.push_back(ref);
            references.push_back(ir);
        }
        binding_.modules.push_back(std::move(report));
    }

    // The plug-in's own module: the one entity that is not framework glue.
    std::vector<const BindingReport::Module*> own;
    for (const auto& m : binding_.modules)
        if (m.id.rfind("net.maxon.", 0) != 0)
            own.push_back(&m);
    if (own.size() != 1) {
        *why = own.empty() ? "no module entity names the plug-in (all are net.maxon.* framework glue)"
                           : "more than one module entity names a plug-in";
        return false;
    }
    const BindingReport::Module& plugin = *own[0];
    if (!IsReverseDomainName(plugin.id) || plugin.id.size() < 7 || plugin.id.compare(plugin.id.size() - 7, 7, ".corvel") != 0) {
        *why = "module identifier \"" + plugin.id +
               "\" is not a reverse-domain name of lower-case labels ending in \".corvel\"";
        return false;
    }
    if (plugin.dependencies.size() != kFrameworkCount) {
        *why = "module \"" + plugin.id + "\" lists " + std::to_string(plugin.dependencies.size()) +
               " dependencies, expected " + std::to_string(kFrameworkCount);
        return false;
    }
    for (size_t k = 0; k < kFrameworkCount; ++k) {
        if (plugin.dependencies[k] != kFrameworks[k]) {
            *why = "dependency " + std::to_string(k + 1) + " of \"" + plugin.id + "\" is \"" + plugin.dependencies[k] +
                   "\", expected \"" + kFrameworks[k] + "\"";
            return false;
        }
    }
    binding_.pluginModuleId = plugin.id;

    // Check every interface reference before filling any.
    std::vector<std::pair<MaxonInterfaceReference*, const KnownInterface*>> fills;
    for (MaxonInterfaceReference* ir : references) {
        const KnownInterface* known = nullptr;
        for (const auto& k : kInterfaces)
            if (std::strcmp(ir->head.id.text, k.id) == 0)
                known = &k;
        if (!known) {
            *why = std::string("the module references the unknown host interface \"") + ir->head.id.text + "\"";
            return false;
        }
        const int32_t count = static_cast<int32_t>(known->size / sizeof(void*));
        std::string first;
        TextOf(ir->firstMethod, &first);
        if (ir->methodCount != count || first != known->firstMethod ||
            ir->firstMethodSignatureHash != MaxonIdHash(known->signature, 0) || !ir->slots) {
            *why = std::string("the module's reference to \"") + known->id + "\" has another shape than the host's (" +
                   std::to_string(ir->methodCount) + " methods, first \"" + first + "\" " +
                   Hex(ir->firstMethodSignatureHash) + "; the host has " + std::to_string(count) + ", \"" +
                   known->firstMethod + "\" " + Hex(MaxonIdHash(known->signature, 0)) + ")";
            return false;
        }
        fills.emplace_back(ir, known);
    }
    for (auto& f : fills)
        std::memcpy(f.first->slots, f.second->table, f.second->size);

    binding_.initialYieldDelegate = *yieldDelegate_;
    if (!binding_.initialYieldDelegate) {
        *why = "g_CpuYieldDelegate is null; it must start as an empty function";
        return false;
    }

    // The host's fields.
    if (options_.allocatedModuleIdentifier) {
        const std::string& text = binding_.pluginModuleId;
        void* memory = std::malloc(text.size() + 1);
        if (!memory) {
            *why = "out of memory";
            return false;
        }
        std::memcpy(memory, text.c_str(), text.size() + 1);
        internal_->heap[memory] = {0, static_cast<int64_t>(text.size() + 1),
                                   "module identifier text \"" + text + "\" (allocated by the host, freed by the module at unload)"};
        info->id.text = static_cast<const char*>(memory);
        info->id.hash = MaxonIdHash(info->id.text, 1);
    } else {
        for (MaxonEntity* e = info->entities; e; e = e->next)
            if (binding_.pluginModuleId == e->id.text)
                info->id = e->id;
    }
    info->hostObject = &abi::kHostObject;
    info->resolver = &abi::Resolver;
    if (options_.replaceYieldDelegate)
        *yieldDelegate_ = &Host::YieldHook;
    return true;
}

void Host::YieldHook(int64_t, const void*) {
    if (g_current)
        ++g_current->yieldCalls_;
}

void Host::ClearModuleState() {
    main_ = nullptr;
    gMaxon_ = nullptr;
    yieldDelegate_ = nullptr;
    moduleFilename_.impl = nullptr;
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
