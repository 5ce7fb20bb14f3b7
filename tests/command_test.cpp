// The Corvel command as the host sees it: registration with name, help text and icon, the
// failures that must still leave a sound module behind, the command's answers, and its dialog.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hostsim/host.h"
#include "plugin_folder.h"
#include "corvel_facts.h"

namespace hostsim {
// Names the host behaviour in test output instead of its bytes.
void PrintTo(RefusedObjects policy, std::ostream* os) { *os << RefusedObjectsName(policy); }
} // namespace hostsim

namespace {

using corvel_test::kCorvelId;
using corvel_test::kFailedRegisterLine;
using corvel_test::kLoadedLine;
using corvel_test::kNoSettingsLine;

using corvel_test::PluginFolder;
using corvel_test::PluginFolderOptions;


// A host with a private copy of the module, loaded and bound; the test drives start-up itself.
class CommandTest : public ::testing::Test {
protected:
    // `without` names files of the plug-in folder to remove before loading (e.g. the icon).
    void Load(PluginFolderOptions options = {}, std::initializer_list<const char*> without = {},
              hostsim::HostOptions hostOptions = {}) {
        copy_ = std::make_unique<PluginFolder>(options);
        for (const char* relative : without)
            copy_->Remove(relative);
        host_ = std::make_unique<hostsim::Host>(hostOptions);
        ASSERT_TRUE(host_->Load(copy_->Module())) << host_->LastError();
    }

    void ExpectCleanShutdown() {
        const std::vector<hostsim::LiveObject> leaks = host_->Shutdown();
        for (const hostsim::LiveObject& leak : leaks)
            ADD_FAILURE() << "left on the host: " << hostsim::AllocKindName(leak.kind) << " " << leak.what;
        EXPECT_TRUE(host_->Violations().empty()) << host_->Violations().front();
    }

    std::unique_ptr<PluginFolder> copy_;
    std::unique_ptr<hostsim::Host> host_;
};

TEST_F(CommandTest, RegistersNameHelpAndIconFromTheResourceFolder) {
    Load();
    const auto answers = host_->Startup();
    EXPECT_EQ(answers.init, 1);
    EXPECT_EQ(answers.message, 1);
    EXPECT_EQ(answers.start, 1);

    ASSERT_EQ(host_->Commands().size(), 1u);
    const hostsim::RegisteredCommand* cmd = host_->FindCommand(kCorvelId);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->name, "Corvel");
    EXPECT_FALSE(cmd->help.empty());
    EXPECT_NE(cmd->help, hostsim::kDefaultString);
    EXPECT_EQ(cmd->info, 0);
    EXPECT_EQ(cmd->sdkVersion, 2023000);
    EXPECT_EQ(cmd->recordSize, static_cast<int32_t>(sizeof(C4D_CommandPluginRecord)));
    ASSERT_TRUE(cmd->hasIcon);
    EXPECT_EQ(cmd->iconWidth, 32);
    EXPECT_EQ(cmd->iconHeight, 32);
    ASSERT_EQ(cmd->iconFloatData.count(C4D_BITMAPDATA_GUIPIXELRATIO), 1u);
    EXPECT_EQ(cmd->iconFloatData.at(C4D_BITMAPDATA_GUIPIXELRATIO), 1.0);

    // A first run has no stored settings: one line for that, then the start-up lines.
    EXPECT_EQ(host_->Console(), (std::vector<std::string>{kNoSettingsLine, kLoadedLine, " "}));
    ExpectCleanShutdown();
}

TEST_F(CommandTest, RegistersWithoutIconWhenTheIconFileIsMissing) {
    Load({}, {"res/corvel.tif"});
    EXPECT_EQ(host_->Startup().start, 1);
    const hostsim::RegisteredCommand* cmd = host_->FindCommand(kCorvelId);
    ASSERT_NE(cmd, nullptr);
    EXPECT_FALSE(cmd->hasIcon);
    EXPECT_EQ(cmd->name, "Corvel");
    EXPECT_EQ(host_->Console(), (std::vector<std::string>{kNoSettingsLine, kLoadedLine, " "}));
    ExpectCleanShutdown();
}

TEST_F(CommandTest, RegistersUnderDefaultStringsWhenTheResourceIsMissing) {
    Load({/*withResources=*/false});
    const auto answers = host_->Startup();
    EXPECT_EQ(answers.message, -1);
    EXPECT_EQ(answers.start, 1);
    const hostsim::RegisteredCommand* cmd = host_->FindCommand(kCorvelId);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->name, hostsim::kDefaultString);
    EXPECT_EQ(cmd->help, hostsim::kDefaultString);
    EXPECT_FALSE(cmd->hasIcon);
    ExpectCleanShutdown();
}

// The name and the help text are the resource's strings 20000 and 20001, each in its place.
TEST_F(CommandTest, NameAndHelpTextAreTheirOwnResourceStrings) {
    Load();
    copy_->Write("res/strings_en-US/c4d_strings.str",
                 "STRINGTABLE\n{\n\tIDS_CORVEL_NAME \"Name from 20000\";\n\tIDS_CORVEL_HELP \"Help from 20001\";\n}\n");
    EXPECT_EQ(host_->Startup().start, 1);
    const hostsim::RegisteredCommand* cmd = host_->FindCommand(kCorvelId);
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->name, "Name from 20000");
    EXPECT_EQ(cmd->help, "Help from 20001");
    ExpectCleanShutdown();
}

// Once handed to the host, a refused command object is the host's: some hosts destroy it through
// the record's destroy entry, some keep it. Under both the module must neither free it nor touch
// it again, and start-up reports the failure the same way.
class RefusedRegistrationTest : public CommandTest, public ::testing::WithParamInterface<hostsim::RefusedObjects> {};

TEST_P(RefusedRegistrationTest, LeavesTheObjectToTheHostAndReportsTheFailure) {
    hostsim::HostOptions options;
    options.refusedObjects = GetParam();
    Load({}, {}, options);
    host_->SetWorldPluginData(kCorvelId, hostsim::Container());
    host_->RefuseRegistrations(1);
    EXPECT_EQ(host_->Startup().start, 0);
    EXPECT_EQ(host_->RegistrationAttempts(), 1);
    EXPECT_TRUE(host_->Commands().empty());
    EXPECT_EQ(host_->Console(), (std::vector<std::string>{kFailedRegisterLine, " "}));

    if (GetParam() == hostsim::RefusedObjects::Keep) {
        ASSERT_EQ(host_->KeptCommandObjects().size(), 1u);
        EXPECT_EQ(host_->KeptCommandObjects()[0].pluginId, kCorvelId);
        // The object and the window its dialog asked for stay, as the host's.
        std::vector<hostsim::AllocKind> kept;
        for (const hostsim::LiveObject& o : host_->KeptObjects())
            kept.push_back(o.kind);
        EXPECT_EQ(kept, (std::vector<hostsim::AllocKind>{hostsim::AllocKind::Heap, hostsim::AllocKind::Windows}));
    } else {
        EXPECT_TRUE(host_->KeptCommandObjects().empty());
        EXPECT_TRUE(host_->Windows().empty()) << "the destroy entry gave the dialog's window back";
    }
    EXPECT_TRUE(host_->Violations().empty()) << host_->Violations().front();
    ExpectCleanShutdown();
}

INSTANTIATE_TEST_SUITE_P(HostBehaviours, RefusedRegistrationTest,
                         ::testing::Values(hostsim::RefusedObjects::Keep, hostsim::RefusedObjects::Free),
                         [](const ::testing::TestParamInfo<hostsim::RefusedObjects>& p) {
                             return std::string(p.param == hostsim::RefusedObjects::Keep ? "HostKeepsIt" : "HostFreesIt");
                         });

TEST_F(CommandTest, CommandObjectWithoutMemoryFailsWithoutAskingTheHost) {
    Load();
    ASSERT_EQ(host_->InitSys(), 1);
    ASSERT_EQ(host_->PluginMessage(1), 1);
    host_->FailAllocation(hostsim::AllocKind::Heap, 1); // the command object
    host_->ClearConsole();
    EXPECT_EQ(host_->Start(), 0);
    EXPECT_EQ(host_->RegistrationAttempts(), 0);
    EXPECT_EQ(host_->Console(), (std::vector<std::string>{kFailedRegisterLine, " "}));
    ExpectCleanShutdown();
}

TEST_F(CommandTest, StateAndBaseBehaviours) {
    Load();
    host_->Startup();
    EXPECT_EQ(host_->CommandState(kCorvelId), 0x40000000);
    host_->SetActiveDocument(nullptr);
    EXPECT_EQ(host_->CommandState(kCorvelId), 0x40000000);

    hostsim::Container submenu;
    EXPECT_FALSE(host_->CommandExecuteSubID(kCorvelId, 1));
    EXPECT_FALSE(host_->CommandExecuteOptionID(kCorvelId, 1));
    EXPECT_FALSE(host_->CommandGetSubContainer(kCorvelId, &submenu));
    EXPECT_TRUE(submenu.entries.empty());
    EXPECT_EQ(host_->CommandScriptName(kCorvelId), "");
    EXPECT_TRUE(host_->CommandMessage(kCorvelId, 1, nullptr));
    ExpectCleanShutdown();
}

// There is one dialog per module: every run of the command opens the same window, which keeps
// its object (and settings) between openings, and each opening builds the layout afresh.
TEST_F(CommandTest, ExecuteOpensTheSameNonModalDialogEachTime) {
    Load();
    host_->Startup();
    ASSERT_EQ(host_->Windows().size(), 1u);
    hostsim::DialogWindow* window = host_->Windows().front();
    host_->ClearConsole();

    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId));
    EXPECT_TRUE(window->open);
    EXPECT_EQ(window->openType, C4D_DLG_TYPE_ASYNC);
    EXPECT_EQ(window->pluginId, kCorvelId);
    EXPECT_EQ(window->subId, 0);
    // The host chooses the place (-1, -1) and the description the size (0, 0); no flags.
    EXPECT_EQ(window->x, -1);
    EXPECT_EQ(window->y, -1);
    EXPECT_EQ(window->width, 0);
    EXPECT_EQ(window->height, 0);
    EXPECT_EQ(window->flags, 0);
    EXPECT_EQ(window->dialogId, 10001);
    ASSERT_TRUE(host_->UserClose(window));
    EXPECT_FALSE(window->open);

    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId));
    EXPECT_EQ(host_->Windows().size(), 1u);
    EXPECT_EQ(host_->Windows().front(), window);
    EXPECT_EQ(window->openCount, 2);
    // The plug-in folder is printed each time the layout is built.
    EXPECT_EQ(host_->Console().size(), 2u);
    ExpectCleanShutdown();
}

TEST_F(CommandTest, RestoreLayoutReopensTheDialogWithTheHostsLayout) {
    Load();
    host_->Startup();
    int layout = 0;
    ASSERT_TRUE(host_->RestoreCommandLayout(kCorvelId, &layout));
    hostsim::DialogWindow* window = host_->ActiveWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->open);
    EXPECT_EQ(window->pluginId, kCorvelId);
    EXPECT_EQ(window->subId, 0);
    EXPECT_EQ(window->layoutData, &layout);
    ExpectCleanShutdown();
}

// A dialog whose description can't be loaded must not open as an empty window; trying again
// builds the layout again (and reports again) rather than showing what failed the first time.
TEST_F(CommandTest, MissingDialogDescriptionFailsEveryOpening) {
    Load({}, {"res/dialogs"});
    host_->Startup();
    host_->ClearConsole();
    EXPECT_FALSE(host_->ExecuteCommand(kCorvelId));
    EXPECT_FALSE(host_->ExecuteCommand(kCorvelId));
    // Per attempt: the plug-in folder, then the report.
    const std::string& folder = copy_->Folder();
    const std::string report = "Corvel: could not load the resource file.";
    EXPECT_EQ(host_->Console(), (std::vector<std::string>{folder, report, folder, report}));
    ExpectCleanShutdown();
}

TEST_F(CommandTest, ShutdownDestroysTheCommandThroughItsRegistration) {
    Load();
    host_->Startup();
    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId)); // an open window is given back too
    ExpectCleanShutdown();
    ASSERT_EQ(host_->Commands().size(), 1u);
    EXPECT_TRUE(host_->Commands().front().destroyed);
}

} // namespace
