// scene.h - scenes for the stand-in host: documents with render settings, written as JSON files so
// that people and scripts can set up what a render command will see.
//
//   {"documents": [
//     {"name": "shot-010", "active": true,
//      "render_settings": {
//        "name": "Preview",                                   (optional)
//        "type": 5000,                                        (optional, plug-in type)
//        "parameters": [{"id": 5008, "type": "float", "value": 1920.0},
//                       {"id": 5002, "type": "int32", "value": 2},
//                       {"id": 7004, "type": "bool", "value": false}],
//        "effects": [{"type": 1001400, "bits": 0, "name": "..."}, {"type": 1021096, "bits": 4}],
//        "button_28501": [{"id": 7004, "type": "bool", "value": true}]}}]}
//
// `parameters` is the render settings' parameter container in order (floats are doubles and
// round-trip exactly); `effects` the render effects in list order (duplicates and disabled
// effects allowed; bit 4 is "disabled"); `button_28501` the parameters the host writes when the
// render settings' button 28501 is pressed (absent: the button does nothing). A document whose
// `render_settings` is null has none. Exactly one document is active. Unknown keys, wrong types,
// duplicate parameter ids and values outside their type's range are refused.
#ifndef CORVEL_HOSTSIM_SCENE_H
#define CORVEL_HOSTSIM_SCENE_H

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "hostsim/objects.h"

namespace hostsim {

class Host;

// The render settings' button that a scene can give behaviour to.
inline constexpr int32_t kSceneButtonId = 28501;

struct SceneEffect {
    int32_t type = 0;
    int32_t bits = 0;
    std::string name;
    bool operator==(const SceneEffect& o) const { return type == o.type && bits == o.bits; }
};

struct SceneRenderSettings {
    std::string name;
    int32_t type = kRenderDataType;
    Container parameters;
    std::vector<SceneEffect> effects;
    std::optional<Container> button28501;
};

struct SceneDocument {
    std::string name;
    bool active = false;
    std::optional<SceneRenderSettings> renderSettings;
};

struct Scene {
    std::vector<SceneDocument> documents;
    // The active document (exactly one in a valid scene).
    const SceneDocument* Active() const;
};

// Limits of a scene file: its size, and how deep values may nest (a valid scene needs 6 levels).
inline constexpr size_t kMaxSceneBytes = size_t{64} << 20;
inline constexpr size_t kMaxSceneDepth = 64;

// Reads a scene. On failure answers false with "SOURCE: JSON-PATH: what is wrong" in *error and
// leaves *out untouched, so nothing is ever half-loaded.
bool ParseScene(const std::string& text, const std::string& sourceName, Scene* out, std::string* error);
// Reads a scene file: a regular file (links followed) of at most kMaxSceneBytes; anything else
// (an empty path, a directory, a FIFO, a device) is refused without reading from it.
bool LoadSceneFile(const std::string& path, Scene* out, std::string* error);

// The JSON forms: a whole scene (ParseScene reads it back unchanged), one render settings object
// and one parameter container.
nlohmann::json SceneToJson(const Scene& scene);
nlohmann::json RenderSettingsToJson(const SceneRenderSettings& rs);
nlohmann::json ParametersToJson(const Container& parameters);

// Replaces the host's documents with the scene's and makes its active document the host's.
void ApplyScene(Host& host, const Scene& scene);

// A render settings object of the host as the scene would write it (no button behaviour).
SceneRenderSettings CaptureRenderSettings(const ListObject& rd);

// Random scenes for property tests and the validator: one active document whose render settings
// hold a random parameter set (every container type, the render parameters a quick render writes
// among random others, some missing), a random effect list drawn mostly from `effectTypes` with
// duplicates and disabled effects, and sometimes a button that writes random parameters.
struct RandomSceneOptions {
    std::vector<int32_t> parameterIds;  // ids to draw parameters from (each present or not)
    std::vector<int32_t> effectTypes;   // effect types to draw from
    int maxExtraParameters = 8;         // further parameters with random ids
    int maxEffects = 14;
};
Scene RandomScene(std::mt19937_64& rng, const RandomSceneOptions& options);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_SCENE_H
