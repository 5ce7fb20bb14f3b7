// Loading a module file and binding it: the registration record g_maxon is checked field by field
// before the host fills in its side, so a broken module is refused instead of followed.
#include "hostsim/host.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host_internal.h"
#include "hostsim/dynamic_library.h"

namespace hostsim {
namespace {

namespace fs = std::filesystem;

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

// The module's memory as mapped: the host reads a pointer out of the registration record only
// when what it points to lies wholly inside the module (a damaged record could point anywhere), and
// writes only where the module's mapping is writable.
class ModuleMemory {
public:
    explicit ModuleMemory(std::vector<ModuleRegion> regions) {
        // Adjacent ranges (segments, a read-only-after-relocation part) join into one.
        std::sort(regions.begin(), regions.end(),
                  [](const ModuleRegion& a, const ModuleRegion& b) { return a.begin < b.begin; });
        for (const ModuleRegion& r : regions) {
            if (r.begin >= r.end)
                continue;
            Join(&readable_, r.begin, r.end);
            if (r.writable)
                Join(&writable_, r.begin, r.end);
        }
    }

    bool Known() const { return !readable_.empty(); }
    bool Readable(const void* p, size_t size) const { return Inside(readable_, p, size); }
    bool Writable(const void* p, size_t size) const { return Inside(writable_, p, size); }
    // A whole struct of the module, aligned as its type needs.
    template <typename T>
    bool Holds(const T* p) const {
        return reinterpret_cast<uintptr_t>(p) % alignof(T) == 0 && Readable(p, sizeof(T));
    }

    // A zero-terminated text inside the module, of at most kMaxTextLength bytes.
    bool Text(const char* text, std::string* out) const {
        const auto at = reinterpret_cast<uintptr_t>(text);
        for (const auto& r : readable_) {
            if (at < r.first || at >= r.second)
                continue;
            const size_t room = std::min<uintptr_t>(r.second - at, kMaxTextLength);
            const void* end = std::memchr(text, '\0', room);
            if (!end)
                return false;
            out->assign(text, static_cast<const char*>(end));
            return true;
        }
        return false;
    }

private:
    using Ranges = std::vector<std::pair<uintptr_t, uintptr_t>>;
    static void Join(Ranges* ranges, uintptr_t begin, uintptr_t end) {
        if (!ranges->empty() && begin <= ranges->back().second)
            ranges->back().second = std::max(ranges->back().second, end);
        else
            ranges->emplace_back(begin, end);
    }
    static bool Inside(const Ranges& ranges, const void* p, size_t size) {
        const auto at = reinterpret_cast<uintptr_t>(p);
        for (const auto& r : ranges)
            if (at >= r.first && at < r.second && size <= r.second - at)
                return true;
        return false;
    }

    Ranges readable_;
    Ranges writable_;
};

// Checks an identifier of the module's static data: a text with its exact hash, bit 43 clear.
bool CheckLiteralId(const ModuleMemory& memory, const MaxonId& id, const std::string& what, std::string* text,
                    std::string* why) {
    if (!id.text) {
        *why = what + " has no identifier text";
        return false;
    }
    if (!memory.Text(id.text, text)) {
        *why = what + " has an identifier text at " + Hex(reinterpret_cast<uintptr_t>(id.text)) +
               " that is not a text inside the module";
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
    const ModuleMemory image(library_->Regions());
    if (!image.Known()) {
        *why = "the loader cannot tell where the module lies in memory, so g_maxon cannot be checked";
        return false;
    }
    // The host writes its fields of g_maxon and replaces g_CpuYieldDelegate: both must be the
    // module's own writable data.
    auto outside = [](const char* what, const void* p) {
        return std::string(what) + " points outside the module (" + Hex(reinterpret_cast<uintptr_t>(p)) + ")";
    };
    if (!image.Holds(info) || !image.Writable(info, sizeof *info)) {
        *why = "g_maxon is not writable data of the module";
        return false;
    }
    if (!image.Holds(yieldDelegate_) || !image.Writable(yieldDelegate_, sizeof *yieldDelegate_)) {
        *why = "g_CpuYieldDelegate is not writable data of the module";
        return false;
    }
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
        if (!image.Holds(e)) {
            *why = outside("the entity list of g_maxon", e);
            return false;
        }
        if (!seen.insert(e).second || ++steps > kMaxListLength) {
            *why = "the entity list of g_maxon loops";
            return false;
        }
        if (e->type != MAXON_ENTITY_MODULE) {
            *why = "the entity list of g_maxon holds an entity of type " + std::to_string(e->type) +
                   " where only module entities (type 8) belong";
            return false;
        }
        auto* m = reinterpret_cast<MaxonModuleEntity*>(e);
        if (!image.Holds(m)) {
            *why = outside("a module entity of g_maxon", e);
            return false;
        }
        BindingReport::Module report;
        if (!CheckLiteralId(image, e->id, "a module entity", &report.id, why))
            return false;
        if (e->owner != info) {
            *why = "module entity \"" + report.id + "\" does not point back to g_maxon";
            return false;
        }
        report.flags = e->flags;
        if (m->dependencyCount < 0 || m->dependencyCount > 256 || (m->dependencyCount > 0 && !m->dependencies)) {
            *why = "module \"" + report.id + "\" has a broken dependency list (count " +
                   std::to_string(m->dependencyCount) + ")";
            return false;
        }
        if (m->dependencyCount > 0 &&
            (!image.Holds(m->dependencies) ||
             !image.Readable(m->dependencies, sizeof(MaxonId) * static_cast<size_t>(m->dependencyCount)))) {
            *why = outside(("the dependency list of \"" + report.id + "\"").c_str(), m->dependencies);
            return false;
        }
        for (int32_t k = 0; k < m->dependencyCount; ++k) {
            std::string dep;
            if (!CheckLiteralId(image, m->dependencies[k], "dependency " + std::to_string(k + 1) + " of \"" + report.id + "\"",
                                &dep, why))
                return false;
            report.dependencies.push_back(dep);
            report.dependencyHashes.push_back(m->dependencies[k].hash);
        }
        size_t unitSteps = 0;
        for (MaxonEntity* u = m->units; u; u = u->next) {
            if (!image.Holds(u)) {
                *why = outside(("the translation-unit list of \"" + report.id + "\"").c_str(), u);
                return false;
            }
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
            auto* tu = reinterpret_cast<MaxonTranslationUnit*>(u);
            if (!image.Holds(tu)) {
                *why = outside(("a translation unit of \"" + report.id + "\"").c_str(), u);
                return false;
            }
            if (!CheckLiteralId(image, u->id, "a translation unit of \"" + report.id + "\"", &unit.name, why))
                return false;
            if (unit.name.find_first_of("/\\") != std::string::npos) {
                *why = "translation unit \"" + unit.name + "\" is named with its path, not its base name";
                return false;
            }
            if (u->owner != info || tu->module != m) {
                *why = "translation unit \"" + unit.name + "\" does not point back to its module and g_maxon";
                return false;
            }
            unit.flags = u->flags;
            size_t useSteps = 0;
            for (MaxonDeclarationUse* use = tu->uses; use; use = use->next) {
                if (!image.Holds(use)) {
                    *why = outside(("the declaration uses of \"" + unit.name + "\"").c_str(), use);
                    return false;
                }
                if (++useSteps > kMaxListLength) {
                    *why = "the declaration uses of \"" + unit.name + "\" loop";
                    return false;
                }
                std::string header;
                if (use->header && !image.Text(use->header, &header)) {
                    *why = outside(("a header name of the declaration uses of \"" + unit.name + "\"").c_str(),
                                   use->header);
                    return false;
                }
                unit.headers.push_back(header);
                ++unit.uses;
            }
            report.units.push_back(std::move(unit));
        }
        size_t refSteps = 0;
        for (MaxonEntity* r = m->references; r; r = r->next) {
            auto* ir = reinterpret_cast<MaxonInterfaceReference*>(r);
            if (!image.Holds(r) || (r->type == MAXON_ENTITY_INTERFACE_REFERENCE && !image.Holds(ir))) {
                *why = outside(("the interface-reference list of \"" + report.id + "\"").c_str(), r);
                return false;
            }
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
            if (!CheckLiteralId(image, r->id, "an interface reference of \"" + report.id + "\"", &ref.id, why))
                return false;
            if (ir->firstMethod && !image.Text(ir->firstMethod, &ref.firstMethod)) {
                *why = outside(("the first method name of \"" + ref.id + "\"").c_str(), ir->firstMethod);
                return false;
            }
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
        if (ir->firstMethod)
            image.Text(ir->firstMethod, &first); // checked above
        if (ir->methodCount != count || first != known->firstMethod ||
            ir->firstMethodSignatureHash != MaxonIdHash(known->signature, 0) || !ir->slots) {
            *why = std::string("the module's reference to \"") + known->id + "\" has another shape than the host's (" +
                   std::to_string(ir->methodCount) + " methods, first \"" + first + "\" " +
                   Hex(ir->firstMethodSignatureHash) + "; the host has " + std::to_string(count) + ", \"" +
                   known->firstMethod + "\" " + Hex(MaxonIdHash(known->signature, 0)) + ")";
            return false;
        }
        if (!image.Holds(ir->slots) || !image.Writable(ir->slots, known->size)) {
            *why = std::string("the slots of the module's reference to \"") + known->id +
                   "\" are not writable data of the module (" + Hex(reinterpret_cast<uintptr_t>(ir->slots)) + ")";
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

void Host::ClearModuleState() {
    main_ = nullptr;
    gMaxon_ = nullptr;
    yieldDelegate_ = nullptr;
    moduleFilename_.impl = nullptr;
}

} // namespace hostsim
