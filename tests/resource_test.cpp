// The module's resource across a full end and a new start within one load of the module: a
// released resource is loaded again, while a failed load within one start is not retried.
#include <gtest/gtest.h>

#include <memory>

#include "hostsim/host.h"
#include "plugin_folder.h"

namespace {

using corvel_test::PluginFolder;
using corvel_test::PluginFolderOptions;

TEST(ResourceTest, ReleasedResourceIsLoadedAgainAfterANewStart) {
    PluginFolder copy;
    hostsim::Host host;
    ASSERT_TRUE(host.Load(copy.Module())) << host.LastError();

    ASSERT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.PluginMessage(1), 1);
    EXPECT_EQ(host.End(), 1);
    EXPECT_EQ(host.ResourceReleases(), 1);

    ASSERT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.PluginMessage(1), 1);
    EXPECT_EQ(host.ResourceLoads().size(), 2u);
    EXPECT_EQ(host.Start(), 1);
    const hostsim::RegisteredCommand* cmd = host.FindCommand(1027069);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->name, "Corvel");
    EXPECT_TRUE(host.Shutdown().empty());
}

TEST(ResourceTest, FailedLoadIsNotRetriedWithinOneStart) {
    PluginFolder copy(PluginFolderOptions{/*withResources=*/false});
    hostsim::Host host;
    ASSERT_TRUE(host.Load(copy.Module())) << host.LastError();
    ASSERT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.PluginMessage(1), -1);
    EXPECT_EQ(host.PluginMessage(1), -1);
    EXPECT_EQ(host.ResourceLoads().size(), 1u);
    EXPECT_EQ(host.Console(), (std::vector<std::string>{"Corvel: failed to load resource file.",
                                                        "Corvel: failed to load resource file."}));
    EXPECT_TRUE(host.Shutdown().empty());
}

} // namespace
