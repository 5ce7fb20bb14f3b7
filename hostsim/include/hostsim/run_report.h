// run_report.h - what one run of a module in the stand-in host did, as JSON for scripts and as a
// side-by-side table of the render settings for people.
//
// Report keys:
//   "module"                 the module file
//   "scene"                  the scene file, or null
//   "console"                the console lines, in order
//   "message_boxes"          [{"flags": 48, "text": "..."}]
//   "render_settings_before" the active document's render settings when the module started
//   "renders"                one object per render command: "command" (12163 editor view, 12099
//                            Picture Viewer) and "render_settings", the copy the render took
//   "render_settings_after"  the active document's render settings after the run
//   "render_settings_messages" the messages its render settings received: 5 update, 17 check
//                            update (with the document and the description id), 18 command (with
//                            the description id and the action container)
//   "host_commands"          every host command the module called, with its sub-id
//   "host_calls"             {"total": N, "<service area>": N, ...} from load to unload
//   "objects_left"           {"total": N, "<kind>": N, ...} host objects not given back
//   "violations"             handles the module misused
// Render settings use the scene file's shape (hostsim/scene.h); a document without render
// settings gives null.
#ifndef CORVEL_HOSTSIM_RUN_REPORT_H
#define CORVEL_HOSTSIM_RUN_REPORT_H

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "hostsim/scene.h"

namespace hostsim {

class Host;

struct RunReportInputs {
    std::string module;
    std::string sceneFile;                                 // empty: no scene was given
    std::optional<SceneRenderSettings> renderSettingsBefore;
};

// Call after the module was shut down (so objects left behind are known).
nlohmann::json MakeRunReport(const Host& host, const RunReportInputs& inputs);

// The active document's render settings now, or none.
std::optional<SceneRenderSettings> ActiveRenderSettings(const Host& host);

// For each render of the report: every parameter and every effect in rows, with the values the
// document held before, the render saw, and the document holds after; cells that differ from
// "before" are marked with '*'.
std::string RenderSettingsTable(const nlohmann::json& report);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_RUN_REPORT_H
