// The stand-in host's general services: console, message boxes, events, host commands, plug-in
// registration, world plug-in preferences.
#include <cstring>

#include "../core/host_internal.h"

namespace hostsim {

struct GeneralService {
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

static void GenEventAdd(int32_t flags) {
    Host& h = H();
    h.eventAddCalls_.push_back(EventAddCall{h.NextEventSerial(), flags});
}

static bool GenCallCommand(int32_t id, int32_t subid) {
    Host& h = H();
    CommandCall call;
    call.serial = h.NextEventSerial();
    call.id = id;
    call.subId = subid;
    call.known = id == 12163 || id == 12099 || id == 12097;
    if ((id == 12163 || id == 12099) && h.activeDocument_ && h.activeDocument_->activeRenderData) {
        const ListObject& rd = *h.activeDocument_->activeRenderData;
        call.tookSnapshot = true;
        call.renderParams = rd.data;
        call.renderDataType = rd.type;
        call.renderDataName = rd.name;
        for (const auto& vp : rd.videoPosts)
            call.videoPostBits.emplace_back(vp->type, vp->bits);
        if (h.duringRender_)
            h.duringRender_(*h.activeDocument_);
    }
    h.commandCalls_.push_back(call);
    h.LogLine("host command " + std::to_string(id) + (call.known ? " ran" : " does not exist"));
    return call.known;
}

// A refused registration's command object, as the host's policy says: kept as the host's own, or
// destroyed at once through the record's destroy entry. Only a command record of full size can be
// read; anything else the host cannot interpret and leaves alone.
static void DisposeRefusedObject(int32_t id, const C4D_CommandPluginRecord* record) {
    Host& h = H();
    if (!record || !record->object)
        return;
    const std::string which = "the refused command object of plug-in " + std::to_string(id);
    if (h.refusedObjects_ == RefusedObjects::Free && record->Destroy) {
        h.LogLine("destroying " + which + " through its destroy entry");
        record->Destroy(record->object);
        return;
    }
    h.keptCommands_.push_back({id, record->object});
    h.LogLine("keeping " + which + " as the host's own");
}

static bool GenRegisterPlugin(int32_t sdkVersion, int32_t type, int32_t id, C4D_HString name, const void* record,
                       int32_t recordSize) {
    Host& h = H();
    ++h.registrationAttempts_;
    const std::string nameText = I().Text(name, "RegisterPlugin");
    const auto* commandRecord =
        type == C4D_PLUGINTYPE_COMMAND && record && recordSize >= static_cast<int32_t>(sizeof(C4D_CommandPluginRecord))
            ? static_cast<const C4D_CommandPluginRecord*>(record)
            : nullptr;
    auto refuse = [&](const std::string& why) {
        h.LogLine("refused plug-in " + std::to_string(id) + " \"" + nameText + "\": " + why);
        DisposeRefusedObject(id, commandRecord);
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
    if (!commandRecord)
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
};

namespace abi {
const C4D_GeneralTable kGeneral = {
    HOSTSIM_COUNTED(General, GeneralService::GenPrint),
    HOSTSIM_COUNTED(General, GeneralService::GenMessageDialog),
    HOSTSIM_COUNTED(General, GeneralService::GenEventAdd),
    HOSTSIM_COUNTED(General, GeneralService::GenCallCommand),
    HOSTSIM_COUNTED(General, GeneralService::GenRegisterPlugin),
    HOSTSIM_COUNTED(General, GeneralService::GenGetWorldPluginData),
    HOSTSIM_COUNTED(General, GeneralService::GenSetWorldPluginData),
    HOSTSIM_COUNTED(General, GeneralService::GenCheckInteraction)};
} // namespace abi
} // namespace hostsim
