// The stand-in host's list objects (render settings, render effects), scenes and documents.

#include "../core/host_internal.h"

namespace hostsim {

struct SceneService {
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
    m.serial = H().NextEventSerial();
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
    if (type == C4D_MSG_UPDATE) {
        m.state = obj->data;
        for (const auto& vp : obj->videoPosts)
            m.videoPostBits.emplace_back(vp->type, vp->bits);
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
const C4D_ListTable kList = {
    HOSTSIM_COUNTED(Lists, SceneService::ListGetType),
    HOSTSIM_COUNTED(Lists, SceneService::ListGetNext),
    HOSTSIM_COUNTED(Lists, SceneService::ListGetAllBits),
    HOSTSIM_COUNTED(Lists, SceneService::ListSetAllBits),
    HOSTSIM_COUNTED(Lists, SceneService::ListToggleBit),
    HOSTSIM_COUNTED(Lists, SceneService::ListGetData),
    HOSTSIM_COUNTED(Lists, SceneService::ListSetData),
    HOSTSIM_COUNTED(Lists, SceneService::ListMessage)};
const C4D_SceneTable kScene = {
    HOSTSIM_COUNTED(Scene, SceneService::SceneGetFirstVideoPost)};
const C4D_DocumentTable kDocument = {
    HOSTSIM_COUNTED(Documents, SceneService::DocGetActiveDocument),
    HOSTSIM_COUNTED(Documents, SceneService::DocGetActiveRenderData)};
} // namespace abi
} // namespace hostsim
