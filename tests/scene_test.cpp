// Scene files of the stand-in host and `corvel-host run --scene ... --report ...` as scripts use it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "hostsim/scene.h"
#include "plugin_folder.h"
#include "text_match.h"

namespace corvel_test {
namespace {

using json = nlohmann::json;


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
    EXPECT_TRUE(Contains(Refusal("{\"documents\": ["), "scene.json: /documents: not valid JSON: parse error at line 1"))
        << Refusal("{\"documents\": [");
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

// Damaged scenes that once ended the host (an uncaught exception, a stack overflow) or were read
// as if a missing member were 0: each is refused with its JSON path.
TEST(SceneFile, DamagedValuesAreRefusedWhereTheyAreNotTakenAsZeroOrFollowed) {
    const std::string value = "/documents/0/render_settings/parameters/0/value";
    const std::string param = R"({"documents": [{"active": true, "render_settings": {"parameters": [%]}}]})";
    auto withParameter = [&](const std::string& p) { return param.substr(0, param.find('%')) + p + param.substr(param.find('%') + 1); };

    EXPECT_EQ(Refusal(withParameter(R"({"id": 5008, "type": "float", "value": 1e400})")),
              "scene.json: " + value + ": the number 1e400 is outside the range of a double");
    EXPECT_TRUE(Contains(Refusal(withParameter(R"({"id": 5008, "type": "float", "value": -)" + std::string(400, '7') + "}")),
                         "scene.json: " + value + ": the number -777"));
    EXPECT_TRUE(Contains(Refusal(withParameter(R"({"id": )" + std::string(400, '1') + R"(, "type": "int32", "value": 1})")),
                         "scene.json: /documents/0/render_settings/parameters/0/id: the number 111"));

    const std::string deep = Refusal(withParameter(R"({"id": 5008, "type": "float", "value": )" + std::string(100000, '[') +
                                                   std::string(100000, ']') + "}"));
    EXPECT_TRUE(Contains(deep, "scene.json: " + value + "/0/0/0")) << deep.substr(0, 200);
    EXPECT_TRUE(Contains(deep, ": nested deeper than 64 levels")) << deep.substr(0, 200);
    EXPECT_LT(deep.size(), 1000u);
    const std::string deepType = Refusal(withParameter(R"({"id": 5008, "value": 1, "type": )" + std::string(40, '[') +
                                                       std::string(40, ']') + "}"));
    EXPECT_EQ(deepType, "scene.json: /documents/0/render_settings/parameters/0/type: expected \"int32\", \"bool\" or "
                        "\"float\", found an array");
    const std::string longKey = Refusal(withParameter(R"({"id": 1, "type": "int32", "value": 1, ")" + std::string(100000, 'k') + R"(": 0})"));
    EXPECT_LT(longKey.size(), 400u) << "a key is cut in the message";
    EXPECT_TRUE(Contains(longKey, "/parameters/0/kkkk")) << longKey;

    EXPECT_EQ(Refusal(withParameter(R"({"type": "int32", "value": 1})")),
              "scene.json: /documents/0/render_settings/parameters/0/id: missing");
    EXPECT_EQ(Refusal(Patched("/documents/0/render_settings/effects/0", json{{"bits", 4}})),
              "scene.json: /documents/0/render_settings/effects/0/type: missing");
    EXPECT_EQ(Refusal(std::string(hostsim::kMaxSceneBytes + 1, ' ')),
              "scene.json: /: the file is larger than 64 MiB, the most a scene may be");
}

// What `--scene` names must be a regular file: anything else is refused before it is opened, so a
// FIFO never blocks and a device never fills the memory.
TEST(SceneFile, OnlyARegularFileWithinTheLimitIsRead) {
    PluginFolder folder;
    auto refusal = [](const std::string& path) {
        hostsim::Scene scene;
        std::string why;
        EXPECT_FALSE(hostsim::LoadSceneFile(path, &scene, &why)) << path;
        return why;
    };
    EXPECT_EQ(refusal(""), "no scene file named (the path is empty)");
    EXPECT_TRUE(Contains(refusal(folder.Folder()), "it is a directory, not a regular file")) << refusal(folder.Folder());
#ifndef _WIN32
    EXPECT_TRUE(Contains(refusal("/dev/zero"), "/dev/zero: cannot be used: it is a device")) << refusal("/dev/zero");
    const std::string fifo = folder.Path("scene.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(Contains(refusal(fifo), "it is a FIFO, not a regular file")) << refusal(fifo);
    const std::string dangling = folder.Path("dangling.json");
    ASSERT_EQ(::symlink(folder.Path("gone.json").c_str(), dangling.c_str()), 0);
    EXPECT_TRUE(Contains(refusal(dangling), "dangling.json: cannot be opened (no such file)")) << refusal(dangling);
    const std::string big = folder.Path("big.json");
    {
        std::ofstream out(big);
        out << R"({"documents": [{"active": true}]})";
    }
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(hostsim::kMaxSceneBytes) + 1), 0);
    EXPECT_TRUE(Contains(refusal(big), "big.json: /: the file is larger than 64 MiB")) << refusal(big);
#endif
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

    std::vector<std::string> unusable = {""};
#ifndef _WIN32
    unusable.push_back("/dev/zero");
#endif
    for (const std::string& path : unusable) {
        const ProcessResult r2 = RunProcess(HostCli(), {"run", folder.Module(), "--scene", path});
        EXPECT_EQ(r2.exitCode, 1) << "--scene '" << path << "'";
        EXPECT_TRUE(Contains(r2.err, "corvel-host: error: --scene ")) << r2.err;
        EXPECT_FALSE(Contains(r2.out, "successfully loaded")) << "refused before the module loads";
    }
}

} // namespace
} // namespace corvel_test
