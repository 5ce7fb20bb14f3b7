// The module's registration record as the host reads it while binding: version stamps, the module
// entities with their identifiers, flags, dependencies and translation units, the host fields the
// host writes, and the interface slots it fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "module_test.h"

namespace corvel_test {
namespace {

const hostsim::BindingReport::Module* FindModule(const hostsim::BindingReport& b, const std::string& id) {
    for (const auto& m : b.modules)
        if (m.id == id)
            return &m;
    return nullptr;
}

const hostsim::BindingReport::Unit* FindUnit(const hostsim::BindingReport::Module& m, const std::string& name) {
    for (const auto& u : m.units)
        if (u.name == name)
            return &u;
    return nullptr;
}

// The mark the framework glue adds to the flags of every module and translation unit it registers.
constexpr uint32_t kGlueFlags = MAXON_FLAGS_GLUE;

class BindingTest : public ModuleTest {};

TEST_F(BindingTest, VersionStampsAreSetBeforeTheHostLooks) {
    hostsim::Host& host = Load();
    EXPECT_EQ(host.Binding().version, 2022901);
    EXPECT_EQ(host.Binding().version2, 2022901);
}

TEST_F(BindingTest, PluginModuleListsTheNineFrameworksInOrderWithTheirHashes) {
    hostsim::Host& host = Load();
    const auto* plugin = FindModule(host.Binding(), host.Binding().pluginModuleId);
    ASSERT_NE(plugin, nullptr);
    const std::vector<std::string> expected = {
        "net.maxon.c4d.cinema.framework", "net.maxon.command.framework", "net.maxon.core.framework",
        "net.maxon.crypt.framework",      "net.maxon.geom.framework",    "net.maxon.image.framework",
        "net.maxon.math.framework",       "net.maxon.mesh_misc.framework", "net.maxon.python.framework"};
    EXPECT_EQ(plugin->dependencies, expected);
    // The hashes as the module stores them, against known values.
    ASSERT_EQ(plugin->dependencyHashes.size(), 9u);
    EXPECT_EQ(plugin->dependencyHashes[0], 0x1e459d5288338u);
    EXPECT_EQ(plugin->dependencyHashes[2], 0x1854b7897c12bu);
    EXPECT_EQ(plugin->flags, kGlueFlags) << "the plug-in's own flags are 0; the glue adds its mark";
}

TEST_F(BindingTest, ModuleIdentifierIsAReverseDomainNameOfTheProduct) {
    hostsim::Host& host = Load();
    const std::string& id = host.Binding().pluginModuleId;
    ASSERT_GT(id.size(), 7u);
    EXPECT_EQ(id.substr(id.size() - 7), ".corvel");
    EXPECT_EQ(std::count(id.begin(), id.end(), '.'), 2) << id;
}

TEST_F(BindingTest, PluginTranslationUnitsCarryTheirFlagsAndDeclarationUses) {
    hostsim::Host& host = Load();
    const auto* plugin = FindModule(host.Binding(), host.Binding().pluginModuleId);
    ASSERT_NE(plugin, nullptr);
    const auto* registration = FindUnit(*plugin, "interface_registration");
    const auto* reg = FindUnit(*plugin, "register");
    const auto* corvel = FindUnit(*plugin, "corvel");
    const auto* main = FindUnit(*plugin, "main");
    ASSERT_TRUE(registration && reg && corvel && main);
    EXPECT_EQ(registration->flags, 0x2000000u | kGlueFlags);
    EXPECT_EQ(registration->uses, 0);
    EXPECT_EQ(reg->flags, 0x100u | kGlueFlags);
    EXPECT_EQ(corvel->flags, kGlueFlags);
    EXPECT_EQ(main->flags, kGlueFlags);

    auto uses = [](const hostsim::BindingReport::Unit* u, const char* header) {
        return std::count(u->headers.begin(), u->headers.end(), header);
    };
    EXPECT_EQ(reg->uses, 2);
    EXPECT_EQ(uses(reg, "maxon/objectbase.h"), 1);
    EXPECT_EQ(uses(reg, "maxon/errorbase.h"), 1);
    // Each plug-in source records its uses of the host's system and string declarations, newest
    // first in its list.
    const std::vector<std::string> frameworkUses = {"maxon/string.h", "maxon/system.h"};
    EXPECT_EQ(corvel->uses, 2);
    EXPECT_EQ(corvel->headers, frameworkUses);
    EXPECT_EQ(main->uses, 2);
    EXPECT_EQ(main->headers, frameworkUses);
}

// Each plug-in source file registers itself through the framework header it includes, under its
// base name; the binding layer's files belong to the framework glue and register nothing there.
TEST_F(BindingTest, EveryPluginSourceIsOneUnitAndNoGlueFileIs) {
    hostsim::Host& host = Load();
    const auto* plugin = FindModule(host.Binding(), host.Binding().pluginModuleId);
    ASSERT_NE(plugin, nullptr);
    std::vector<std::string> names;
    for (const auto& u : plugin->units)
        names.push_back(u.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"corvel", "corvel_render", "interface_registration", "main", "register"}));
    const auto* render = FindUnit(*plugin, "corvel_render");
    ASSERT_NE(render, nullptr);
    EXPECT_EQ(render->flags, kGlueFlags);
    EXPECT_EQ(render->headers, (std::vector<std::string>{"maxon/string.h", "maxon/system.h"}));
}

TEST_F(BindingTest, GlueModulesAreRegisteredBesideThePluginModule) {
    hostsim::Host& host = Load();
    const auto* cinema = FindModule(host.Binding(), "net.maxon.c4d.cinema.framework");
    const auto* core = FindModule(host.Binding(), "net.maxon.core.framework");
    ASSERT_NE(cinema, nullptr);
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(cinema->flags, 0x8001000u);
    EXPECT_EQ(core->flags, 0x8001000u);
    EXPECT_EQ(cinema->dependencies, (std::vector<std::string>{"net.maxon.core.framework", "net.maxon.geom.framework",
                                                              "net.maxon.mesh_misc.framework"}));
    EXPECT_NE(FindUnit(*cinema, "register"), nullptr);
    EXPECT_NE(FindUnit(*core, "register"), nullptr);
    // The host interfaces the glue uses are referenced from the glue modules, and bound.
    std::vector<std::string> references;
    for (const auto& m : host.Binding().modules)
        for (const auto& r : m.references)
            references.push_back(r.id);
    EXPECT_NE(std::find(references.begin(), references.end(), MAXON_SYSTEM_INTERFACE_ID), references.end());
    EXPECT_NE(std::find(references.begin(), references.end(), MAXON_STRING_INTERFACE_ID), references.end());
}

TEST_F(BindingTest, HostFieldsAreWrittenAndTheYieldHookStartsAsAnEmptyFunction) {
    hostsim::Host& host = Load();
    const MaxonModuleInfo* info = host.ModuleInfo();
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->id.text, nullptr);
    EXPECT_EQ(host.Binding().pluginModuleId, info->id.text);
    EXPECT_EQ(info->id.hash, MaxonIdHash(info->id.text, 1)) << "the host hands over an allocated identifier";
    EXPECT_NE(info->hostObject, nullptr);
    EXPECT_NE(info->resolver, nullptr);
    ASSERT_NE(host.Binding().initialYieldDelegate, nullptr);
    host.Binding().initialYieldDelegate(3, nullptr); // an empty function: returns, touches nothing
    EXPECT_TRUE(host.LiveObjects().size() == 1 && host.LiveObjects()[0].serial == 0)
        << "only the identifier text the host allocated is held before c4d_main";
}

TEST_F(BindingTest, UnloadFreesTheIdentifierTheHostAllocated) {
    hostsim::Host& host = Load();
    ASSERT_EQ(host.LiveObjects().size(), 1u);
    EXPECT_TRUE(host.Unload());
    EXPECT_TRUE(host.LiveObjects().empty());
}

TEST_F(BindingTest, ALiteralIdentifierFromTheHostIsLeftAlone) {
    hostsim::HostOptions options;
    options.allocatedModuleIdentifier = false;
    hostsim::Host& host = Load({}, options);
    EXPECT_EQ(host.ModuleInfo()->id.hash & MAXON_ID_ALLOCATED_BIT, 0u);
    EXPECT_TRUE(host.Unload());
    EXPECT_TRUE(host.Violations().empty()) << "a literal text must not be handed to Free";
}

} // namespace
} // namespace corvel_test
