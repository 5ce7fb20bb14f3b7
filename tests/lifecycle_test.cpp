// The module's life as the host drives it through c4d_main: system initialisation with the
// version check and the module path, plug-in messages with the resource load, start with the
// start-up lines, end with the teardown, and the nesting of actions 1 and 3.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "module_test.h"

namespace corvel_test {
namespace {

using hostsim::AllocKind;

class LifecycleTest : public ModuleTest {
protected:
    // The module's own objects that the teardown frees: its copy of the module path and the
    // resource's folder (file names), and the loaded resource.
    size_t HeldFilenames() const {
        const auto live = host_->LiveObjects();
        return static_cast<size_t>(std::count_if(live.begin(), live.end(), [](const hostsim::LiveObject& o) {
            return o.kind == AllocKind::Filenames;
        }));
    }
    // Host objects the module holds, apart from the identifier text the host allocated for it at
    // binding (freed at unload).
    size_t ModuleHeld() const {
        const auto live = host_->LiveObjects();
        return static_cast<size_t>(std::count_if(live.begin(), live.end(), [](const hostsim::LiveObject& o) {
            return o.serial != 0;
        }));
    }
};

TEST_F(LifecycleTest, FullStartupPrintsTheTwoLinesAndShutdownLeavesNothingBehind) {
    hostsim::Host& host = Load();
    const auto answers = host.Startup();
    EXPECT_EQ(answers.init, 1);
    EXPECT_EQ(answers.message, 1);
    EXPECT_EQ(answers.start, 1);

    // A first run has no stored settings; the registration reports that before the outcome.
    const std::vector<std::string> expected = {kNoSettingsLine, kLoadedLine, " "};
    EXPECT_EQ(host.Console(), expected);

    const auto leaks = host.Shutdown();
    EXPECT_TRUE(leaks.empty()) << leaks.size() << " host objects left, first: " << leaks.front().what;
    // The module's resource goes back to the host once, with the release flag set.
    ASSERT_EQ(host.ResourceReleaseLog().size(), 1u);
    EXPECT_EQ(host.ResourceReleaseLog()[0].folder, host.ResourceLoads().at(0));
    EXPECT_TRUE(host.ResourceReleaseLog()[0].releaseFlag);
}

TEST_F(LifecycleTest, WithStoredSettingsStartupPrintsExactlyTheTwoLines) {
    hostsim::Host& host = Load();
    host.SetWorldPluginData(kCorvelId, hostsim::Container());
    host.Startup();
    const std::vector<std::string> expected = {kLoadedLine, " "};
    EXPECT_EQ(host.Console(), expected);
}

TEST_F(LifecycleTest, HostApiVersionBelow2023000IsRefused) {
    hostsim::Host& host = Load();
    host.Api().apiVersion = 2022999;
    EXPECT_EQ(host.InitSys(), -3);
    EXPECT_EQ(host.AllocationCount(AllocKind::Heap), 0u) << "a refused host must not be asked for memory";
    EXPECT_EQ(HeldFilenames(), 0u);
}

TEST_F(LifecycleTest, HostApiVersion2023000IsAccepted) {
    hostsim::Host& host = Load();
    host.Api().apiVersion = 2023000;
    EXPECT_EQ(host.InitSys(), 1);
    EXPECT_EQ(HeldFilenames(), 1u) << "the module keeps a copy of its path";
}

TEST_F(LifecycleTest, MissingModulePathIsRefusedEvenForARecentHost) {
    hostsim::Host& host = Load();
    EXPECT_EQ(host.CallMain(1, &host.Api(), nullptr, nullptr), -3);
    EXPECT_EQ(host.AllocationCount(AllocKind::Heap), 0u);
}

TEST_F(LifecycleTest, AfterARefusedInitTheNextInitIsNestedAndChecksNothing) {
    hostsim::Host& host = Load();
    host.Api().apiVersion = 2022999;
    ASSERT_EQ(host.InitSys(), -3);
    // The counter stays raised: the next action 1 is a nested one and reads neither p1 nor p3.
    EXPECT_EQ(host.CallMain(1, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(host.AllocationCount(AllocKind::Heap), 0u);
}

TEST_F(LifecycleTest, NestedInitAndEndTearDownOnlyAtTheOutermostEnd) {
    hostsim::Host& host = Load();
    ASSERT_EQ(host.InitSys(), 1);
    ASSERT_EQ(host.PluginMessage(1), 1);
    const uint64_t heapBefore = host.AllocationCount(AllocKind::Heap);
    // A nested action 1 reads neither the table nor the path (both null here) and allocates nothing.
    EXPECT_EQ(host.CallMain(1, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(host.AllocationCount(AllocKind::Heap), heapBefore);

    EXPECT_EQ(host.End(), 1);
    EXPECT_EQ(host.ResourceReleases(), 0) << "the inner end must not tear down";
    EXPECT_EQ(HeldFilenames(), 2u) << "module path and resource folder are still held";

    EXPECT_EQ(host.End(), 1);
    EXPECT_EQ(host.ResourceReleases(), 1);
    EXPECT_EQ(HeldFilenames(), 0u);
    EXPECT_EQ(ModuleHeld(), 0u);
}

TEST_F(LifecycleTest, EndWithoutInitTearsNothingDownAndTheNextInitInitialisesNothing) {
    hostsim::Host& host = Load();
    EXPECT_EQ(host.End(), 1); // counter 0 -> -1
    EXPECT_EQ(host.ResourceReleases(), 0);
    EXPECT_EQ(host.InitSys(), 1); // -1 -> 0: nothing is initialised
    EXPECT_EQ(host.AllocationCount(AllocKind::Heap), 0u);
    EXPECT_EQ(HeldFilenames(), 0u);
    // The host table was never taken, so the resource cannot be asked for: message 1 fails
    // without reaching the host (and without crashing on the missing table).
    EXPECT_EQ(host.PluginMessage(1), -1);
    EXPECT_TRUE(host.ResourceLoads().empty());
}

TEST_F(LifecycleTest, ActionsOtherThanTheLifecycleOnesAreAnsweredAsDocumented) {
    hostsim::Host& host = Load();
    EXPECT_EQ(host.CallMain(4), 5) << "version query";
    for (int32_t action : {0, 5, 7, 100, -1, -3, INT32_MIN})
        EXPECT_EQ(host.CallMain(action), -1) << "action " << action;
    EXPECT_TRUE(host.Console().empty());
    EXPECT_EQ(host.AllocationCount(AllocKind::Heap), 0u);
}

TEST_F(LifecycleTest, PluginMessagesZeroAndUnknownIdsAreAnsweredWithoutAction) {
    hostsim::Host& host = Load();
    ASSERT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.PluginMessage(0), 1);
    EXPECT_EQ(host.PluginMessage(2), -1);
    EXPECT_EQ(host.PluginMessage(-1), -1);
    // Only the low 32 bits of p1 carry the message id.
    EXPECT_EQ(host.PluginMessage(int64_t{1} << 32), 1) << "id 0 with high bits set";
    EXPECT_EQ(host.PluginMessage((int64_t{7} << 32) | 2), -1);
    EXPECT_TRUE(host.ResourceLoads().empty());
    EXPECT_TRUE(host.Console().empty());
}

TEST_F(LifecycleTest, MessageOneLoadsTheResourceFromResBesideTheModule) {
    hostsim::Host& host = Load();
    ASSERT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.PluginMessage(1), 1);
    ASSERT_EQ(host.ResourceLoads().size(), 1u);
    EXPECT_EQ(host.ResourceLoads()[0], folder_->Path("res"));
    EXPECT_TRUE(host.Console().empty());
}

TEST_F(LifecycleTest, MissingResFolderFailsMessageOneOnceAndNeverRetriesTheLoad) {
    hostsim::Host& host = Load({/*withResources=*/false});
    ASSERT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.PluginMessage(1), -1);
    EXPECT_EQ(host.Console(), std::vector<std::string>{kResourceFailedLine});

    // A second message 1 reports the failure again without asking the host a second time.
    EXPECT_EQ(host.PluginMessage(1), -1);
    EXPECT_EQ(host.Console(), (std::vector<std::string>{kResourceFailedLine, kResourceFailedLine}));
    EXPECT_EQ(host.ResourceLoads().size(), 1u);

    EXPECT_TRUE(host.Shutdown().empty());
}

TEST_F(LifecycleTest, MalformedStringTableIsALoadFailureWithTheReasonOnTheHostLog) {
    PluginFolder& folder = MakeFolder();
    folder.Write("res/strings_en-US/c4d_strings.str", "STRINGTABLE { IDS_CORVEL_NAME \"x\" }\n");
    hostsim::Host& host = LoadFolder();
    const auto answers = host.Startup();
    EXPECT_EQ(answers.message, -1);
    EXPECT_EQ(host.Console().front(), kResourceFailedLine);
    const auto& log = host.Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.find("IDS_CORVEL_NAME") != std::string::npos && line.find("c4d_strings.str:1:") != std::string::npos;
    })) << "the host log names the file, the line and the entry";
    // The command is still registered, named with the host's default string.
    EXPECT_EQ(answers.start, 1);
    const hostsim::RegisteredCommand* command = host.FindCommand(kCorvelId);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->name, hostsim::kDefaultString);
    EXPECT_EQ(command->help, hostsim::kDefaultString);
    EXPECT_TRUE(host.Shutdown().empty());
}

TEST_F(LifecycleTest, NoMemoryForTheModulePathStillInitialisesAndTheResourceCannotLoad) {
    hostsim::Host& host = Load();
    host.FailAllocation(AllocKind::Heap, 1);
    EXPECT_EQ(host.InitSys(), 1);
    EXPECT_EQ(host.FailedAllocations(AllocKind::Heap), 1u);
    EXPECT_EQ(HeldFilenames(), 0u);
    EXPECT_EQ(host.PluginMessage(1), -1);
    EXPECT_EQ(host.Console(), std::vector<std::string>{kResourceFailedLine});
    ASSERT_EQ(host.ResourceLoads().size(), 1u);
    EXPECT_EQ(host.ResourceLoads()[0], "res");
    EXPECT_TRUE(host.Shutdown().empty());
}

TEST_F(LifecycleTest, RefusedRegistrationPrintsTheFailureLinesAndStartAnswersZero) {
    hostsim::Host& host = Load();
    host.SetWorldPluginData(kCorvelId, hostsim::Container());
    host.RefuseRegistrations(1);
    const auto answers = host.Startup();
    EXPECT_EQ(answers.start, 0);
    EXPECT_EQ(host.Console(), (std::vector<std::string>{kFailedRegisterLine, " "}));
    EXPECT_EQ(host.RegistrationAttempts(), 1);
    EXPECT_TRUE(host.Commands().empty());
    // The refused command object is left to the host, which (by default) keeps it as its own: it
    // is not the module's leak, and the module's own teardown leaves nothing else behind.
    EXPECT_EQ(host.KeptCommandObjects().size(), 1u);
    EXPECT_TRUE(host.Shutdown().empty());
    EXPECT_EQ(host.ResourceReleases(), 1);
}

TEST_F(LifecycleTest, StartupLinesWithoutMemoryForHostStringsArePrintedEmpty) {
    hostsim::Host& host = Load();
    host.SetWorldPluginData(kCorvelId, hostsim::Container());
    ASSERT_EQ(host.InitSys(), 1);
    ASSERT_EQ(host.PluginMessage(1), 1);
    host.FailAllAllocations(AllocKind::Strings, true);
    const int32_t start = host.Start();
    host.FailAllAllocations(AllocKind::Strings, false);
    // Name and help text come out empty, but the host takes the command all the same: start
    // succeeds, and both lines (the success line and the blank) are printed, empty.
    EXPECT_EQ(start, 1);
    EXPECT_NE(host.FindCommand(kCorvelId), nullptr);
    EXPECT_EQ(host.Console(), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(host.Shutdown().empty());
}

TEST_F(LifecycleTest, ShutdownFreesTheCommandThroughItsDestroyEntry) {
    hostsim::Host& host = Load();
    host.Startup();
    ASSERT_NE(host.FindCommand(kCorvelId), nullptr);
    const auto heapLiveBefore = host.LiveObjects();
    ASSERT_FALSE(heapLiveBefore.empty()) << "the command object lives on the host heap";
    host.End();
    host.FreePlugins();
    EXPECT_TRUE(host.FindCommand(kCorvelId)->destroyed);
    EXPECT_EQ(ModuleHeld(), 0u) << "the command object and its dialog are freed by the destroy entry";
    EXPECT_TRUE(host.Unload());
    EXPECT_TRUE(host.LiveObjects().empty()) << "the identifier text is freed at unload";
}

} // namespace
} // namespace corvel_test
