// Scene files of the stand-in host and `corvel-host run --scene ... --report ...` as scripts use it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "hostsim/scene.h"
#include "plugin_folder.h"

namespace corvel_test {
namespace {

using json = nlohmann::json;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char* const kMinimal =
    R"({"documents": [{"name": "shot", "active": true, "render_settings": {"type": 5000,
        "parameters": [{"id": 5008, "type": "float", "value": 1920.0}],
        "effects": [{"type": 1001400, "bits": 0}]}}]})";

// The scene with `path` (a JSON pointer) replaced by `value`.
std::string Patched(const std::string& path, const json& value) {
    json scene = json::parse(kMinimal);
    scene[json::json_pointer(path)] = value;
    return scene.dump();
}

std::string Refusal(const std::string& text) {
    hostsim::Scene scene;
    scene.documents.resize(3); // must stay as it is when the scene is refused
    std::string why;
    EXPECT_FALSE(hostsim::ParseScene(text, "scene.json", &scene, &why));
    EXPECT_EQ(scene.documents.size(), 3u) << "a refused scene must leave nothing half-loaded";
    return why;
}

TEST(SceneFile, MalformedScenesAreRefusedWithTheFileThePathAndTheReason) {
    EXPECT_TRUE(Contains(Refusal("{\"documents\": ["), "scene.json: not valid JSON")) << Refusal("{");
    EXPECT_EQ(Refusal(Patched("/documents/0/render_settings/parameters/0/value", "wide")),
              "scene.json: /documents/0/render_settings/parameters/0/value: expected a number for a float "
              "parameter, found a string");
    EXPECT_EQ(Refusal(Patched("/documents/0/render_settings/colour", 1)),
              "scene.json: /documents/0/render_settings/colour: unknown key (known here: name, type, "
              "parameters, effects, button_28501)");
    EXPECT_EQ(Refusal(Patched("/documents/0/render_settings/parameters/1",
                              json{{"id", 5008}, {"type", "int32"}, {"value", 1}})),
              "scene.json: /documents/0/render_settings/parameters/1/id: duplicate parameter id 5008 (first at "
              "/documents/0/render_settings/parameters/0)");
    EXPECT_EQ(Refusal(Patched("/documents/0/active", false)),
              "scene.json: /documents: no active document (set \"active\": true on one)");
    EXPECT_EQ(Refusal(Patched("/documents/0/render_settings/effects/0/bits", 4294967296LL)),
              "scene.json: /documents/0/render_settings/effects/0/bits: integer 4294967296 is outside the Int32 "
              "range");
    EXPECT_EQ(Refusal(Patched("/documents/0/render_settings/parameters/0/type", "double")),
              "scene.json: /documents/0/render_settings/parameters/0/type: expected \"int32\", \"bool\" or "
              "\"float\", found \"double\"");
    EXPECT_TRUE(Contains(Refusal("[]"), "scene.json: /: expected an object")) << Refusal("[]");
}

TEST(SceneFile, ParametersRoundTripExactlyThroughTheFile) {
    hostsim::SceneRenderSettings rs;
    rs.parameters.SetFloat(5008, 1000.0 / 3.0);
    rs.parameters.SetFloat(5009, 5e-324);
    rs.parameters.SetFloat(5010, -0.0);
    rs.parameters.SetInt32(5002, INT32_MIN);
    rs.parameters.SetBool(7004, true);
    rs.effects = {{1001400, 4 | 32, "a"}, {1001400, 0, ""}};
    hostsim::Container button;
    button.SetInt32(7004, 1);
    rs.button28501 = button;
    hostsim::Scene scene;
    scene.documents.push_back({"shot", true, rs});
    scene.documents.push_back({"empty", false, std::nullopt});

    hostsim::Scene back;
    std::string why;
    ASSERT_TRUE(hostsim::ParseScene(hostsim::SceneToJson(scene).dump(), "round trip", &back, &why)) << why;
    ASSERT_EQ(back.documents.size(), 2u);
    const hostsim::SceneRenderSettings& read = *back.documents[0].renderSettings;
    ASSERT_EQ(read.parameters.entries.size(), rs.parameters.entries.size());
    for (size_t i = 0; i < rs.parameters.entries.size(); ++i) {
        EXPECT_EQ(read.parameters.entries[i].first, rs.parameters.entries[i].first);
        EXPECT_EQ(read.parameters.entries[i].second.type, rs.parameters.entries[i].second.type);
        EXPECT_EQ(std::memcmp(&read.parameters.entries[i].second.f, &rs.parameters.entries[i].second.f,
                              sizeof(double)),
                  0);
    }
    EXPECT_EQ(read.effects, rs.effects);
    ASSERT_TRUE(read.button28501.has_value());
    EXPECT_FALSE(back.documents[1].renderSettings.has_value());
}

TEST(SceneFile, TheShippedSamplesAreValid) {
    for (const char* name : {"shot-010.json", "no-effects.json", "disabled-and-duplicate-effects.json"}) {
        hostsim::Scene scene;
        std::string why;
        EXPECT_TRUE(hostsim::LoadSceneFile(std::string(CORVEL_SOURCE_DIR) + "/hostsim/scenes/" + name, &scene, &why))
            << why;
    }
}

TEST(HostCliScene, ReportOnStandardOutputIsJsonAScriptCanCheck) {
    PluginFolder folder;
    const std::string scene = std::string(CORVEL_SOURCE_DIR) + "/hostsim/scenes/shot-010.json";
    const ProcessResult r = RunProcess(
        HostCli(), {"run", folder.Module(), "--scene", scene, "--execute", "--do", "click:10032", "--report", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json report = json::parse(r.out);
    EXPECT_TRUE(Contains(r.err, "Tarnwick Software: Corvel successfully loaded.")) << "console moves to stderr";
    EXPECT_EQ(report.at("console").at(1), "Tarnwick Software: Corvel successfully loaded.");
    ASSERT_EQ(report.at("renders").size(), 1u);
    EXPECT_EQ(report.at("renders")[0].at("command"), 12163);
    EXPECT_EQ(report.at("render_settings_after"), report.at("render_settings_before"));
    EXPECT_NE(report.at("renders")[0].at("render_settings"), report.at("render_settings_before"));
    EXPECT_EQ(report.at("objects_left").at("total"), 0);
    EXPECT_GT(report.at("host_calls").at("total").get<int>(), 0);
    EXPECT_TRUE(report.at("violations").empty());
    std::vector<int> messages;
    for (const json& m : report.at("render_settings_messages"))
        messages.push_back(m.at("type").get<int>());
    EXPECT_EQ(messages, (std::vector<int>{5, 5}));
}

TEST(HostCliScene, AMalformedSceneIsAUsageErrorBeforeTheModuleLoads) {
    PluginFolder folder;
    const std::string bad = folder.Path("bad.json");
    std::ofstream(bad) << Patched("/documents/0/render_settings/parameters/0/id", "5008");
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--scene", bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, bad + ": /documents/0/render_settings/parameters/0/id: expected an integer")) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    const ProcessResult missing = RunProcess(HostCli(), {"run", folder.Module(), "--scene", folder.Path("none.json")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Contains(missing.err, "none.json: cannot be opened")) << missing.err;
}

} // namespace
} // namespace corvel_test
