// The report of one run and its side-by-side table of render settings.

#include "hostsim/run_report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "hostsim/host.h"

namespace hostsim {

namespace {

using json = nlohmann::json;

json DescIdToJson(const C4D_DescID& id) {
    json levels = json::array();
    for (int32_t i = 0; i < id.depth && i < C4D_DESCID_MAX_DEPTH; ++i)
        levels.push_back({{"id", id.level[i].id}, {"dtype", id.level[i].dtype}, {"creator", id.level[i].creator}});
    return levels;
}

std::string DocumentName(const Host& host, const C4D_Document* doc) {
    for (const auto& d : host.Documents())
        if (d.get() == doc)
            return d->name;
    return doc ? "(unknown document)" : "";
}

json MessageToJson(const Host& host, const ListMessage& m) {
    json out = {{"type", m.type}};
    if (m.descId)
        out["desc_id"] = DescIdToJson(*m.descId);
    if (m.type == C4D_MSG_DESCRIPTION_COMMAND)
        out["action"] = m.action ? json{{"id", m.action->id}, {"values", ParametersToJson(*m.action)}} : json(nullptr);
    if (m.type == C4D_MSG_DESCRIPTION_CHECKUPDATE) {
        out["document"] = m.document ? json(DocumentName(host, m.document)) : json(nullptr);
        out["flags"] = m.flags;
    }
    if (m.type != C4D_MSG_DESCRIPTION_COMMAND && m.type != C4D_MSG_DESCRIPTION_CHECKUPDATE)
        out["had_data"] = m.hadData;
    return out;
}

json RenderCopyToJson(const CommandCall& call) {
    SceneRenderSettings rs;
    rs.name = call.renderDataName;
    rs.type = call.renderDataType;
    rs.parameters = call.renderParams;
    for (const auto& vp : call.videoPostBits)
        rs.effects.push_back(SceneEffect{vp.first, vp.second, ""});
    return RenderSettingsToJson(rs);
}

} // namespace

std::optional<SceneRenderSettings> ActiveRenderSettings(const Host& host) {
    const Document* doc = host.ActiveDocument();
    if (!doc || !doc->activeRenderData)
        return std::nullopt;
    return CaptureRenderSettings(*doc->activeRenderData);
}

json MakeRunReport(const Host& host, const RunReportInputs& inputs) {
    json report = json::object();
    report["module"] = inputs.module;
    report["scene"] = inputs.sceneFile.empty() ? json(nullptr) : json(inputs.sceneFile);
    report["console"] = host.Console();

    json boxes = json::array();
    for (const MessageBox& box : host.MessageBoxes())
        boxes.push_back({{"flags", box.flags}, {"text", box.text}});
    report["message_boxes"] = boxes;

    report["render_settings_before"] =
        inputs.renderSettingsBefore ? RenderSettingsToJson(*inputs.renderSettingsBefore) : json(nullptr);

    json renders = json::array();
    json commands = json::array();
    for (const CommandCall& call : host.CommandCalls()) {
        commands.push_back({{"command", call.id}, {"sub_id", call.subId}, {"known", call.known}});
        if (call.tookSnapshot)
            renders.push_back({{"command", call.id}, {"render_settings", RenderCopyToJson(call)}});
    }
    report["renders"] = renders;
    const std::optional<SceneRenderSettings> after = ActiveRenderSettings(host);
    report["render_settings_after"] = after ? RenderSettingsToJson(*after) : json(nullptr);

    json messages = json::array();
    if (const Document* doc = host.ActiveDocument())
        if (doc->activeRenderData)
            for (const ListMessage& m : doc->activeRenderData->messages)
                messages.push_back(MessageToJson(host, m));
    report["render_settings_messages"] = messages;
    report["host_commands"] = commands;

    json calls = {{"total", host.HostCallsTotal()}};
    for (int a = 0; a < kServiceAreaCount; ++a)
        calls[ServiceAreaName(static_cast<ServiceArea>(a))] = host.HostCalls(static_cast<ServiceArea>(a));
    report["host_calls"] = calls;

    json left = {{"total", host.LastLeaks().size()}};
    for (int k = 0; k < kAllocKindCount; ++k)
        if (static_cast<AllocKind>(k) != AllocKind::ContainerCopies) // a copy leaves nothing to hold
            left[AllocKindName(static_cast<AllocKind>(k))] = 0;
    for (const LiveObject& o : host.LastLeaks())
        left[AllocKindName(o.kind)] = left[AllocKindName(o.kind)].get<int>() + 1;
    report["objects_left"] = left;
    report["violations"] = host.Violations();
    return report;
}

// ---- The table ----------------------------------------------------------------------------------

namespace {

// Render settings parameters whose meaning a reader of the table needs.
const std::map<int32_t, std::string>& ParameterNames() {
    static const std::map<int32_t, std::string> names = {
        {5008, "width"},           {5009, "height"},          {5002, "antialiasing"},
        {5070, "antialias filter"}, {5016, "frame range"},    {5401, "render effects"},
    };
    return names;
}

std::string FormatValue(const json& parameter) {
    const std::string type = parameter.at("type").get<std::string>();
    const json& v = parameter.at("value");
    if (type == "bool")
        return v.get<bool>() ? "on" : "off";
    if (type == "int32")
        return std::to_string(v.get<int64_t>());
    if (v.is_null())
        return "nan";
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", v.get<double>());
    std::string s = text;
    if (s.find_first_of(".en") == std::string::npos)
        s += ".0";
    return s;
}

// id -> the parameter's JSON, for one render settings object (null: none).
std::map<int32_t, json> ParametersById(const json& rs) {
    std::map<int32_t, json> out;
    if (rs.is_null())
        return out;
    for (const json& p : rs.at("parameters"))
        out[p.at("id").get<int32_t>()] = p;
    return out;
}

std::string Cell(const std::map<int32_t, json>& params, int32_t id) {
    auto it = params.find(id);
    return it == params.end() ? "-" : FormatValue(it->second);
}

std::string EffectCell(const json& rs, size_t index) {
    if (rs.is_null() || index >= rs.at("effects").size())
        return "-";
    const int32_t bits = rs.at("effects")[index].at("bits").get<int32_t>();
    std::string text = (bits & C4D_BIT_VPDISABLED) ? "disabled" : "enabled";
    if (bits & ~C4D_BIT_VPDISABLED)
        text += " (bits " + std::to_string(bits) + ")";
    return text;
}

class Table {
public:
    void Row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
    std::string Text() const {
        std::vector<size_t> widths;
        for (const auto& row : rows_)
            for (size_t c = 0; c < row.size(); ++c) {
                widths.resize(std::max(widths.size(), row.size()));
                widths[c] = std::max(widths[c], row[c].size());
            }
        std::ostringstream out;
        for (const auto& row : rows_) {
            out << "  ";
            for (size_t c = 0; c < row.size(); ++c)
                out << row[c] << std::string(widths[c] - row[c].size() + (c + 1 < row.size() ? 3 : 0), ' ');
            out << '\n';
        }
        return out.str();
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

// "x" plus " *" when it differs from `before`.
std::string Marked(const std::string& cell, const std::string& before) {
    return cell == before ? cell + "  " : cell + " *";
}

std::string CommandName(int32_t command) {
    switch (command) {
    case 12163: return "render the editor view (12163)";
    case 12099: return "render to the Picture Viewer (12099)";
    default: return "host command " + std::to_string(command);
    }
}

} // namespace

std::string RenderSettingsTable(const json& report) {
    const json& before = report.at("render_settings_before");
    const json& after = report.at("render_settings_after");
    const json& renders = report.at("renders");
    std::ostringstream out;
    if (renders.empty())
        out << "No render command ran.\n";
    for (size_t r = 0; r < renders.size(); ++r) {
        const json& seen = renders[r].at("render_settings");
        out << "Render " << (r + 1) << ": " << CommandName(renders[r].at("command").get<int32_t>())
            << "   (* = differs from before)\n";
        const auto beforeParams = ParametersById(before);
        const auto seenParams = ParametersById(seen);
        const auto afterParams = ParametersById(after);
        // Rows in the document's order, then what the render added.
        std::vector<int32_t> ids;
        for (const auto* rs : {&before, &seen, &after})
            if (!rs->is_null())
                for (const json& p : rs->at("parameters")) {
                    const int32_t id = p.at("id").get<int32_t>();
                    if (std::find(ids.begin(), ids.end(), id) == ids.end())
                        ids.push_back(id);
                }
        Table table;
        table.Row({"parameter", "", "before", "render saw", "after"});
        int changedAfter = 0;
        for (int32_t id : ids) {
            auto name = ParameterNames().find(id);
            const std::string b = Cell(beforeParams, id);
            changedAfter += Cell(afterParams, id) != b ? 1 : 0;
            table.Row({std::to_string(id), name == ParameterNames().end() ? "" : name->second, b,
                       Marked(Cell(seenParams, id), b), Marked(Cell(afterParams, id), b)});
        }
        const size_t effects = std::max({before.is_null() ? 0 : before.at("effects").size(),
                                         seen.at("effects").size(), after.is_null() ? 0 : after.at("effects").size()});
        for (size_t e = 0; e < effects; ++e) {
            const json* named = !before.is_null() && e < before.at("effects").size() ? &before.at("effects")[e] : nullptr;
            const json& typed = named ? *named : seen.at("effects")[e];
            const std::string b = EffectCell(before, e);
            changedAfter += EffectCell(after, e) != b ? 1 : 0;
            table.Row({"effect " + std::to_string(typed.at("type").get<int32_t>()),
                       named && named->contains("name") ? named->at("name").get<std::string>() : "", b,
                       Marked(EffectCell(seen, e), b), Marked(EffectCell(after, e), b)});
        }
        out << table.Text();
        out << (changedAfter == 0 ? "  after: the document holds exactly what it held before.\n\n"
                                  : "  after: " + std::to_string(changedAfter) + " row(s) differ from before.\n\n");
    }
    return out.str();
}

} // namespace hostsim
