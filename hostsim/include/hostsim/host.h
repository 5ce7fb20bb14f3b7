// host.h - the stand-in host: loads a plug-in module the way the host application does, binds its
// registration record, drives its lifecycle through c4d_main and serves every operation of the
// host ABI (host/c4d_abi.h, host/maxon_abi.h) from its own in-memory state.
//
// One Host is current at a time (the ABI's function tables carry no context pointer); constructing
// a Host makes it current, destroying it shuts its module down. All calls happen on one thread.
//
// Typical use:
//     hostsim::Host host;
//     if (!host.Load("/path/corvel.xso64")) { ... host.LastError() ... }
//     host.Startup();            // action 1, plug-in message 1, action 2
//     ... host.Console(), host.Commands(), host.ExecuteCommand(1027069) ...
//     host.Shutdown();           // action 3, free plug-ins, unload, report leaks
#ifndef CORVEL_HOSTSIM_HOST_H
#define CORVEL_HOSTSIM_HOST_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "c4d_abi.h"
#include "hostsim/objects.h"
#include "maxon_abi.h"

namespace hostsim {

class DynamicLibrary;
// The service areas behind the ABI tables (hostsim/src/services/service_*.cpp).
struct MaxonServices;
struct GeneralService;
struct ContainerService;
struct BitmapService;
struct FileService;
struct DialogService;
struct ResourceService;
struct SceneService;

// The string the host answers for a resource string that is not there (GeLoadString).
inline constexpr const char* kDefaultString = "StrNotFound";

// The two ways a host can treat the object of a plug-in registration it refused:
//  Keep: the object is the host's from the call on; it is never destroyed, and it is reported as
//        the host's own at shutdown, not as the module's leak. A module that frees it is misusing
//        a host handle (the host would free it again).
//  Free: the host destroys it at once through the record's destroy entry, as it destroys
//        registered objects at shutdown. A module that frees it too frees it twice.
enum class RefusedObjects { Keep, Free };
const char* RefusedObjectsName(RefusedObjects policy);
bool ParseRefusedObjects(const std::string& name, RefusedObjects* out);

struct HostOptions {
    int32_t apiVersion = C4D_API_VERSION;
    // File that keeps the world plug-in preferences between runs; empty keeps them in memory.
    std::string prefsFile;
    // Echo console lines to this stream as they arrive (the CLI passes stdout); null: collect only.
    std::ostream* consoleEcho = nullptr;
    // Echo the host's own log lines to this stream (the CLI passes stderr); null: collect only.
    std::ostream* logEcho = nullptr;
    // Folder answered for MAXON_FOLDER_STARTUP (the host's own modules); empty: unknown.
    std::string startupFolder;
    // Start with an active document holding one render settings object.
    bool activeDocument = true;
    // Hand the module its identifier as a text allocated on the host heap (identifier hash bit 43
    // set), which the module frees at unload; false hands it a literal text.
    bool allocatedModuleIdentifier = true;
    // Replace g_CpuYieldDelegate with a host hook that counts calls.
    bool replaceYieldDelegate = true;
    // What the host does with the command object of a registration it refuses (see
    // RefusedObjects). Real hosts differ here; a module must be sound under both.
    RefusedObjects refusedObjects = RefusedObjects::Keep;
    // Keep what was read from resource folders and image files, process-wide, and read a folder
    // or file again only when its size or time has changed (the validator loads the same module
    // thousands of times). What the module sees and what the log says are the same either way.
    bool reuseUnchangedFiles = false;
};

// Kinds of host objects the module can create; each is counted, can be made to fail, and is
// reported when the module leaves one behind. ContainerCopies are the container copies the host
// makes for the module (Container CopyTo): counted and made to fail like the others, with nothing
// to hold afterwards.
enum class AllocKind : int { Heap, Strings, Containers, Bitmaps, Filenames, Windows, Resources, ContainerCopies };
inline constexpr int kAllocKindCount = 8;
const char* AllocKindName(AllocKind kind);
bool ParseAllocKind(const std::string& name, AllocKind* out);

// The service areas of the host's tables, as host calls are counted.
enum class ServiceArea : int {
    System, Strings, General, Containers, Bitmaps, Files, Dialogs, Resources, Lists, Scene, Documents
};
inline constexpr int kServiceAreaCount = 11;
const char* ServiceAreaName(ServiceArea area);

struct LiveObject {
    AllocKind kind;
    uint64_t serial;      // 1-based number of the allocation of that kind
    std::string what;     // size of a heap block, text of a string, ...
};

// What the host learnt from the registration record while binding the module.
struct BindingReport {
    struct Unit {
        std::string name;
        uint32_t flags = 0;
        int uses = 0;
        std::vector<std::string> headers; // header of each declaration use, in list order
    };
    struct Reference {
        std::string id;
        std::string firstMethod;
        int32_t methodCount = 0;
    };
    struct Module {
        std::string id;
        uint32_t flags = 0;
        std::vector<std::string> dependencies;
        std::vector<uint64_t> dependencyHashes;
        std::vector<Unit> units;           // newest first, as linked
        std::vector<Reference> references; // newest first, as linked
    };
    int64_t version = 0;
    int64_t version2 = 0;
    std::vector<Module> modules;           // newest first, as linked
    std::string pluginModuleId;            // the module entity that is not framework glue
    MaxonCpuYieldFn initialYieldDelegate = nullptr;
    std::vector<std::string> exportsFound; // which of the three exports were found
};

struct RegisteredCommand {
    int32_t id = 0;
    int32_t sdkVersion = 0;
    int32_t recordSize = 0;
    std::string name;
    std::string help;
    int32_t info = 0;
    bool hasIcon = false;
    int32_t iconWidth = 0, iconHeight = 0;
    std::map<int32_t, double> iconFloatData;
    C4D_CommandPluginRecord record{};   // copy; name/help/icon fields point into host storage
    bool destroyed = false;
};

// The command object of a refused registration that the host keeps (RefusedObjects::Keep).
struct KeptCommandObject {
    int32_t pluginId = 0;
    void* object = nullptr;
};

struct CommandCall {
    uint64_t serial = 0;    // place among the host's recorded events (HostEventSerial)
    int32_t id = 0;
    int32_t subId = 0;
    bool known = false;
    // For the render commands: what the render took, a copy of the active document's active
    // render settings at the moment of the call.
    bool tookSnapshot = false;
    Container renderParams;
    std::vector<std::pair<int32_t, int32_t>> videoPostBits; // (type, bits), in list order
    int32_t renderDataType = 0;
    std::string renderDataName;
};

// One EventAdd of the module: its flags and its place among the recorded events.
struct EventAddCall {
    uint64_t serial = 0;
    int32_t flags = 0;
};

struct MessageBox {
    int32_t flags = 0;
    std::string text;
};

class Host {
public:
    explicit Host(HostOptions options = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The current host (the one the ABI tables serve), or null.
    static Host* Current();

    const HostOptions& Options() const { return options_; }

    // ---- Module ------------------------------------------------------------------------------
    // Loads the module file, finds its three exports and binds g_maxon. Answers false, with the
    // reason in LastError() and on the host log, when the file can't be loaded or the host refuses
    // the module; nothing stays loaded then.
    bool Load(const std::string& modulePath);
    bool Loaded() const { return library_ != nullptr; }
    const std::string& LastError() const { return lastError_; }
    const std::string& ModulePath() const { return modulePath_; }
    const BindingReport& Binding() const { return binding_; }
    MaxonModuleInfo* ModuleInfo() const { return gMaxon_; }
    MaxonCpuYieldFn* YieldDelegate() const { return yieldDelegate_; }
    uint64_t YieldCalls() const { return yieldCalls_; }

    // The table and the module file name that the host hands to action 1.
    C4D_HostApi& Api() { return api_; }
    C4D_Filename* ModuleFilename() { return &moduleFilename_; }

    // Raw entry: c4d_main(action, p1, p2, p3). Logs the call and its answer.
    int32_t CallMain(int32_t action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr);
    int32_t InitSys();                         // action 1 with Api() and ModuleFilename()
    int32_t PluginMessage(int64_t id, void* data = nullptr); // action 6
    int32_t Start();                           // action 2
    int32_t End();                             // action 3

    struct StartupAnswers { int32_t init = 0, message = 0, start = 0; };
    // The host's start-up: action 1, then (when it answered 1) plug-in message 1 and action 2.
    StartupAnswers Startup();
    // The host's shutdown: action 3, FreePlugins(), Unload(). Answers the leaks found after the
    // module was unloaded (also kept in LastLeaks()).
    std::vector<LiveObject> Shutdown();
    // Calls the destroy entry of every registered plug-in (once each).
    void FreePlugins();
    // Unloads the module (its static destructors run). Answers false when the operating system
    // kept it loaded.
    bool Unload();
    const std::vector<LiveObject>& LastLeaks() const { return lastLeaks_; }

    // ---- Accounting of module-owned host objects ---------------------------------------------
    // The n-th upcoming allocation of `kind` fails (1 = the next one). Calls add up: several
    // allocations of one kind can be made to fail. 0 cancels every pending failure of the kind.
    void FailAllocation(AllocKind kind, uint64_t n);
    // Every allocation of `kind` fails while set.
    void FailAllAllocations(AllocKind kind, bool fail);
    uint64_t AllocationCount(AllocKind kind) const { return counts_[static_cast<int>(kind)]; }
    uint64_t FailedAllocations(AllocKind kind) const { return failed_[static_cast<int>(kind)]; }
    // Host objects the module holds right now (allocated and not handed back). Objects the host
    // kept from a refused registration are the host's, not the module's: see KeptObjects().
    std::vector<LiveObject> LiveObjects() const;
    // The host objects behind the command objects the host kept after refusing their
    // registration: each object's heap block and the dialog windows created for it.
    std::vector<LiveObject> KeptObjects() const;
    // Calls that named an object the host does not know or that was already freed (double free,
    // foreign pointer). Each is also on the log.
    const std::vector<std::string>& Violations() const { return violations_; }

    // ---- Host calls -----------------------------------------------------------------------------
    // Calls the module made into each service area (both channels: the c4d_main tables and the
    // interfaces bound through g_maxon), since load or the last ResetHostCalls().
    uint64_t HostCalls(ServiceArea area) const { return hostCalls_[static_cast<int>(area)]; }
    uint64_t HostCallsTotal() const;
    void ResetHostCalls() { hostCalls_.fill(0); }
    void CountHostCall(ServiceArea area) { ++hostCalls_[static_cast<int>(area)]; }

    // ---- Console and log --------------------------------------------------------------------
    const std::vector<std::string>& Console() const { return console_; }
    void ClearConsole() { console_.clear(); }
    const std::vector<std::string>& Log() const { return log_; }
    void LogLine(const std::string& line);
    const std::vector<MessageBox>& MessageBoxes() const { return messageBoxes_; }

    // ---- Resources ----------------------------------------------------------------------------
    // Folders the module asked the host to load a resource from, in order.
    const std::vector<std::string>& ResourceLoads() const { return resourceLoads_; }
    // Each release of a resource, in order: its folder and the release flag the module passed.
    struct ResourceRelease {
        std::string folder;
        bool releaseFlag = false;
    };
    const std::vector<ResourceRelease>& ResourceReleaseLog() const { return resourceReleaseLog_; }
    int ResourceReleases() const { return static_cast<int>(resourceReleaseLog_.size()); }
    // Resource strings the module looked up, in order.
    const std::vector<int32_t>& StringLookups() const { return stringLookups_; }

    // ---- Plug-in registrations and commands --------------------------------------------------
    const std::vector<RegisteredCommand>& Commands() const { return commands_; }
    const RegisteredCommand* FindCommand(int32_t id) const;
    int RegistrationAttempts() const { return registrationAttempts_; }
    // The next `n` registrations are refused (false) by the host.
    void RefuseRegistrations(int n) { refuseRegistrations_ = n; }
    // What happens to a refused registration's command object from now on (starts as
    // HostOptions::refusedObjects).
    void SetRefusedObjects(RefusedObjects policy) { refusedObjects_ = policy; }
    const std::vector<KeptCommandObject>& KeptCommandObjects() const { return keptCommands_; }
    // Calls the command's entries as the host's user interface does. Each answers false (or 0 /
    // "") with a log line when no such command is registered or the entry is null.
    bool ExecuteCommand(int32_t id);
    int32_t CommandState(int32_t id);
    bool RestoreCommandLayout(int32_t id, void* layoutData);
    bool CommandExecuteSubID(int32_t id, int32_t subId);
    bool CommandExecuteOptionID(int32_t id, int32_t subId);
    bool CommandGetSubContainer(int32_t id, Container* submenu);
    std::string CommandScriptName(int32_t id);
    bool CommandMessage(int32_t id, int32_t type, void* data);
    // Host commands the module called (CallCommand), in order.
    const std::vector<CommandCall>& CommandCalls() const { return commandCalls_; }
    // Forgets the recorded host commands (long runs keep each render's copy otherwise).
    void ClearCommandCalls() { commandCalls_.clear(); }
    // What happens in the document while a render command runs (after the render took its copy),
    // as a user or a script might change it then; null: nothing.
    void SetDuringRender(std::function<void(Document&)> change) { duringRender_ = std::move(change); }
    int EventAdds() const { return static_cast<int>(eventAddCalls_.size()); }
    const std::vector<EventAddCall>& EventAddCalls() const { return eventAddCalls_; }
    // Render settings messages (ListMessage::serial), host commands and EventAdd calls are
    // numbered in one sequence as they arrive, so that their order can be checked.
    uint64_t NextEventSerial() { return ++eventSerial_; }
    const std::vector<std::array<int32_t, 3>>& InteractionChecks() const { return interactionChecks_; }
    const std::vector<std::string>& ExecutedFiles() const { return executedFiles_; }

    // ---- Preferences --------------------------------------------------------------------------
    const Container* WorldPluginData(int32_t id) const;
    const std::map<int32_t, Container>& AllWorldPluginData() const { return prefs_; }
    void SetWorldPluginData(int32_t id, const Container& bc); // as the host, never fails
    void EraseWorldPluginData(int32_t id);
    // The next SetWorldPluginData of the module is refused (answers false, stores nothing).
    void FailNextPrefsSave() { failNextPrefsSave_ = true; }
    int PrefsSaves() const { return prefsSaves_; }
    // Reads or writes the preferences file now (the host reads it in its constructor and writes
    // it after every stored change). Answers false with a log line on failure. A file that could
    // not be read is copied aside (`<file>.unreadable`, the log names the copy) before the first
    // write; when that copy fails, nothing is written.
    bool LoadPrefsFile();
    bool SavePrefsFile();

    // ---- Dialogs ------------------------------------------------------------------------------
    // Every window the module created and has not destroyed, in creation order.
    std::vector<DialogWindow*> Windows() const;
    // The window opened last that is still open, or null.
    DialogWindow* ActiveWindow() const;
    // As the user: changes a gadget's value (as the window would) and reports the action with
    // 'bACT'. Answer: the dialog's answer, or 0 when the gadget is unknown.
    int32_t UserSetBool(DialogWindow* w, int32_t gadget, bool value);
    int32_t UserSetInt32(DialogWindow* w, int32_t gadget, int32_t value);
    // As the user: presses a button or picks a menu entry ('bACT' with 'meid' = id).
    int32_t UserAction(DialogWindow* w, int32_t id);
    // As the user: asks the window to close ('chkc'); closes it when the dialog allows it.
    bool UserClose(DialogWindow* w);
    // Sends one message to a window's entry and answers the entry's answer.
    int32_t SendDialogMessage(DialogWindow* w, const Container& msg, Container* result = nullptr);

    // ---- Scene ----------------------------------------------------------------------------------
    Document* NewDocument(const std::string& name);
    // Removes every document (the active one included); the host then has no active document.
    void ClearDocuments();
    const std::vector<std::unique_ptr<Document>>& Documents() const { return documents_; }
    Document* ActiveDocument() const { return activeDocument_; }
    void SetActiveDocument(Document* doc) { activeDocument_ = doc; }

    // ---- Bitmaps (host side) -----------------------------------------------------------------
    // Loads an image file as the host does; answers a C4D_IMAGERESULT_*.
    int32_t LoadImage(const std::string& path, Bitmap* out);

    // ---- Host strings, for callers of the tables ----------------------------------------------
    // A new host string holding `text` (one reference, counted like the module's own strings),
    // its text, and the release of one reference.
    C4D_HString NewString(const std::string& text);
    std::string StringText(C4D_HString s);
    void ReleaseString(C4D_HString s);

    // ---- Internal: used by the ABI tables --------------------------------------------------------
    struct Internal;
    Internal& internal() { return *internal_; }

private:
    friend struct Internal;
    friend struct MaxonServices;
    friend struct GeneralService;
    friend struct ContainerService;
    friend struct BitmapService;
    friend struct FileService;
    friend struct DialogService;
    friend struct ResourceService;
    friend struct SceneService;
    void Violation(const std::string& what);
    bool Bind(std::string* why);
    void ClearModuleState();

    HostOptions options_;
    std::unique_ptr<Internal> internal_;
    C4D_HostApi api_{};
    std::string modulePath_;
    C4D_Filename moduleFilename_{nullptr};
    std::unique_ptr<DynamicLibrary> library_;
    C4D_MainFn main_ = nullptr;
    MaxonModuleInfo* gMaxon_ = nullptr;
    MaxonCpuYieldFn* yieldDelegate_ = nullptr;
    uint64_t yieldCalls_ = 0;
    BindingReport binding_;
    std::string lastError_;
    std::vector<LiveObject> lastLeaks_;

    std::array<uint64_t, kAllocKindCount> counts_{};
    std::array<uint64_t, kAllocKindCount> failed_{};
    std::array<std::set<uint64_t>, kAllocKindCount> failAt_{}; // serials that fail
    std::array<bool, kAllocKindCount> failAll_{};
    std::vector<std::string> violations_;
    std::array<uint64_t, kServiceAreaCount> hostCalls_{};

    std::vector<std::string> console_;
    std::vector<std::string> log_;
    std::vector<MessageBox> messageBoxes_;
    std::vector<std::string> resourceLoads_;
    std::vector<ResourceRelease> resourceReleaseLog_;
    std::vector<int32_t> stringLookups_;

    std::vector<RegisteredCommand> commands_;
    int registrationAttempts_ = 0;
    int refuseRegistrations_ = 0;
    RefusedObjects refusedObjects_ = RefusedObjects::Keep;
    std::vector<KeptCommandObject> keptCommands_;
    std::vector<CommandCall> commandCalls_;
    std::function<void(Document&)> duringRender_;
    std::vector<EventAddCall> eventAddCalls_;
    uint64_t eventSerial_ = 0;
    std::vector<std::array<int32_t, 3>> interactionChecks_;
    std::vector<std::string> executedFiles_;

    std::map<int32_t, Container> prefs_;
    bool failNextPrefsSave_ = false;
    bool keepPrefsAside_ = false; // the file on disk could not be read: copy it before writing
    int prefsSaves_ = 0;

    std::vector<std::unique_ptr<Document>> documents_;
    Document* activeDocument_ = nullptr;

    static void YieldHook(int64_t state, const void* lock);
};

} // namespace hostsim

#endif // CORVEL_HOSTSIM_HOST_H
