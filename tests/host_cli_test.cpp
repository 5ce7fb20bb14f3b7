// corvel-host as a user runs it: separate processes, their output and exit codes.
#include <gtest/gtest.h>

#include <filesystem>

#include "plugin_folder.h"
#include "child_process.h"

namespace corvel_test {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(HostCli, RunStartsTheModulePrintsItsConsoleAndReportsNoLeaks) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"Failed to load the Corvel settings.",
                                                      "Tarnwick Software: Corvel successfully loaded.", " "}));
    EXPECT_TRUE(Contains(r.err, "registered command 1027069 \"Corvel\"")) << r.err;
    EXPECT_TRUE(Contains(r.err, "icon 32x32")) << r.err;
    EXPECT_TRUE(Contains(r.err, "unfreed host allocations: 0")) << r.err;
}

TEST(HostCli, AnOldHostIsRefusedByTheModuleAndNothingStarts) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--api-version", "2022999"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(Contains(r.err, "c4d_main(1) answered -3")) << r.err;
}

TEST(HostCli, PreferencesSavedInOneRunAreReadByTheNext) {
    PluginFolder folder;
    const std::string prefs = folder.Path("prefs.txt");
    const ProcessResult first =
        RunProcess(HostCli(), {"run", folder.Module(), "--prefs", prefs, "--execute", "--do", "click:5055"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_TRUE(fs::exists(fs::u8path(prefs))) << first.err;

    const ProcessResult second = RunProcess(HostCli(), {"run", folder.Module(), "--prefs", prefs});
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.OutLines(),
              (std::vector<std::string>{"Tarnwick Software: Corvel successfully loaded.", " "}));

    const ProcessResult shown = RunProcess(HostCli(), {"prefs", prefs});
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(Contains(shown.out, "plug-in 1027069: 28 key(s)")) << shown.out;
}

TEST(HostCli, BadUsageRefusedModulesAndLeaksHaveTheirOwnExitCodes) {
    EXPECT_EQ(RunProcess(HostCli(), {"run"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--no-such-flag"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--fail-alloc", "disk:1"}).exitCode, 1);

    const ProcessResult refused = RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_BAD_STAMP});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(Contains(refused.err, "refused module")) << refused.err;

    const ProcessResult leaks = RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_LEAKS});
    EXPECT_EQ(leaks.exitCode, 3);
    EXPECT_TRUE(Contains(leaks.err, "leaked heap #1: 24 bytes")) << leaks.err;

    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK}).exitCode, 0);
}

TEST(HostCli, AFailedModulePathAllocationLeavesTheModuleWithoutItsResource) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--fail-alloc", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_FALSE(r.OutLines().empty());
    EXPECT_EQ(r.OutLines().front(), "Corvel: failed to load resource file.");
}

} // namespace
} // namespace corvel_test
