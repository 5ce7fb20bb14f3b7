// corvel-host as a user runs it: separate processes, their output and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plugin_folder.h"
#include "child_process.h"
#include "text_match.h"

namespace corvel_test {
namespace {

namespace fs = std::filesystem;


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
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--api-version", "2022999", "--execute"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(Contains(r.err, "c4d_main(1) answered -3")) << r.err;
    EXPECT_TRUE(Contains(r.err, "the module refused its initialisation")) << r.err;
}

// Whatever was asked and did not happen shows in the exit code, as the help lists them.
TEST(HostCli, ActionsThatFailExitWith4) {
    PluginFolder folder;
    const ProcessResult unknown = RunProcess(HostCli(), {"run", folder.Module(), "--execute=999"});
    EXPECT_EQ(unknown.exitCode, 4) << unknown.err;
    EXPECT_TRUE(Contains(unknown.err, "no command 999 is registered")) << unknown.err;

    // Without a window the command cannot open its dialog: Execute answers false.
    const ProcessResult refused = RunProcess(HostCli(), {"run", folder.Module(), "--fail-alloc", "window:1", "--execute"});
    EXPECT_EQ(refused.exitCode, 4) << refused.err;
    EXPECT_TRUE(Contains(refused.out, "--execute: command 1027069 answered false")) << refused.out;

    const ProcessResult noDialog = RunProcess(HostCli(), {"run", folder.Module(), "--do", "close"});
    EXPECT_EQ(noDialog.exitCode, 4) << noDialog.err;

    // The resolution is disabled while the output is the editor (the default).
    const ProcessResult disabled = RunProcess(HostCli(), {"run", folder.Module(), "--execute", "--do", "set:10004=6042"});
    EXPECT_EQ(disabled.exitCode, 4) << disabled.err;
    EXPECT_TRUE(Contains(disabled.out, "--do set:10004=6042: the dialog answered 0")) << disabled.out;
}

// An action that does not fit the dialog is a mistake on the command line, not a failure of the
// module; nothing after it is carried out.
TEST(HostCli, ActionsThatDoNotFitTheDialogAreUsageErrors) {
    PluginFolder folder;
    const std::string prefs = folder.Path("prefs.txt");
    struct Case {
        const char* action;
        const char* why;
    };
    for (const Case& c : {Case{"set:10005=2", "its value is 0 or 1"}, Case{"click:10005", "is a CHECKBOX"},
                          Case{"set:10003=5", "has no entry 5"}, Case{"set:10032=1", "is a BUTTON"},
                          Case{"set:4242=1", "has no gadget 4242"}, Case{"click:4242", "nor a menu entry 4242"}}) {
        const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--prefs", prefs, "--execute", "--do",
                                                       c.action, "--do", "click:5055"});
        EXPECT_EQ(r.exitCode, 1) << c.action << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, c.why)) << c.action << "\n" << r.err;
        EXPECT_FALSE(Contains(r.out, "--do click:5055")) << c.action << ": the save after it was carried out";
    }
    EXPECT_FALSE(fs::exists(fs::u8path(prefs)));
}

TEST(HostCli, EachActionsAnswerAndTheShownDialogGoToStdout) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--execute", "--do", "set:10005=1", "--do",
                                                   "set:10003=6031", "--do", "show", "--do", "click:10033"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = r.OutLines();
    const auto at = std::find(lines.begin(), lines.end(), "--execute: command 1027069 answered true");
    ASSERT_GE(lines.end() - at, 4) << r.out;
    EXPECT_EQ(at[1], "--do set:10005=1: the dialog answered 1");
    EXPECT_EQ(at[2], "--do set:10003=6031: the dialog answered 1");
    EXPECT_EQ(at[3], "dialog \"Corvel\" of plug-in 1027069 (open), description 10001");
    EXPECT_TRUE(Contains(r.out, "CHECKBOX 10005 \"Keep")) << r.out;
    EXPECT_TRUE(Contains(r.out, "--do click:10033: the dialog answered 1")) << r.out;
    EXPECT_FALSE(Contains(r.err, "dialog of plug-in")) << r.err;
}

TEST(HostCli, EveryFailedAllocationAskedForIsInjected) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--fail-alloc", "string:1", "--fail-alloc",
                                                   "string:3", "--fail-alloc", "2"});
    EXPECT_TRUE(Contains(r.err, "injected failure of string allocation #1")) << r.err;
    EXPECT_TRUE(Contains(r.err, "injected failure of string allocation #3")) << r.err;
    EXPECT_TRUE(Contains(r.err, "injected failure of heap allocation #2")) << r.err;
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
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--fail-alloc", "heap:0"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--execute=0"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--do", "press:5"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--api-version", "x"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"frobnicate"}).exitCode, 1);
    const ProcessResult help = RunProcess(HostCli(), {"run", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "exit codes:")) << help.out;

    const ProcessResult refused = RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_BAD_STAMP});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(Contains(refused.err, "refused module")) << refused.err;

    const ProcessResult leaks = RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_LEAKS});
    EXPECT_EQ(leaks.exitCode, 3);
    EXPECT_TRUE(Contains(leaks.err, "leaked heap #1: 24 bytes")) << leaks.err;

    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK}).exitCode, 0);
}

// A refused registration's object is the host's: kept (and listed as the host's at shutdown) or
// destroyed at once, as asked; either way nothing is the module's leak.
TEST(HostCli, RefusedObjectsAreKeptOrFreedAsAsked) {
    PluginFolder folder;
    const ProcessResult kept = RunProcess(HostCli(), {"run", folder.Module(), "--refuse-registration"});
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_TRUE(Contains(kept.out, "Tarnwick Software: Failed to register Corvel")) << kept.out;
    EXPECT_TRUE(Contains(kept.err, "keeping the refused command object of plug-in 1027069")) << kept.err;
    EXPECT_TRUE(Contains(kept.err, "kept by the host (refused registration): heap")) << kept.err;
    EXPECT_TRUE(Contains(kept.err, "unfreed host allocations: 0")) << kept.err;

    const ProcessResult freed =
        RunProcess(HostCli(), {"run", folder.Module(), "--refuse-registration", "--refused-objects", "free"});
    EXPECT_EQ(freed.exitCode, 0) << freed.err;
    EXPECT_TRUE(Contains(freed.err, "destroying the refused command object of plug-in 1027069")) << freed.err;
    EXPECT_FALSE(Contains(freed.err, "kept by the host")) << freed.err;
    EXPECT_TRUE(Contains(freed.err, "unfreed host allocations: 0")) << freed.err;

    const ProcessResult bad = RunProcess(HostCli(), {"run", folder.Module(), "--refused-objects", "drop"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(Contains(bad.err, "expected keep or free, got 'drop'")) << bad.err;
}

TEST(HostCli, AFailedModulePathAllocationLeavesTheModuleWithoutItsResource) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--fail-alloc", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_FALSE(r.OutLines().empty());
    EXPECT_EQ(r.OutLines().front(), "Corvel: failed to load resource file.");
}

// Whatever stands where a file belongs and is not a readable file gets one clear line and the
// documented exit code, never an abort.
TEST(HostCli, PathsThatAreNotReadableFilesGetAClearErrorAndTheirExitCode) {
    PluginFolder folder;
    const std::string dir = folder.Path("res");
    const ProcessResult runDir = RunProcess(HostCli(), {"run", dir});
    EXPECT_EQ(runDir.exitCode, 2) << runDir.err;
    EXPECT_TRUE(Contains(runDir.err, "corvel-host: error: module " + dir + ": is a directory, not a file")) << runDir.err;
    EXPECT_FALSE(Contains(runDir.err, "no such file")) << runDir.err;
    const ProcessResult runMissing = RunProcess(HostCli(), {"run", folder.Path("none.xso64")});
    EXPECT_EQ(runMissing.exitCode, 2) << runMissing.err;
    EXPECT_TRUE(Contains(runMissing.err, "no such file")) << runMissing.err;

    const ProcessResult prefsDir = RunProcess(HostCli(), {"prefs", dir});
    EXPECT_EQ(prefsDir.exitCode, 2) << prefsDir.err;
    EXPECT_TRUE(Contains(prefsDir.err, "is a directory, not a file")) << prefsDir.err;

    const ProcessResult inspectDir = RunProcess(CORVEL_INSPECT_CLI, {dir});
    EXPECT_EQ(inspectDir.exitCode, 2) << inspectDir.err;
    EXPECT_TRUE(Contains(inspectDir.err, "is a directory, not a file")) << inspectDir.err;
    const ProcessResult inspectMissing = RunProcess(CORVEL_INSPECT_CLI, {folder.Path("none.xso64"), folder.Module()});
    EXPECT_EQ(inspectMissing.exitCode, 2) << inspectMissing.err;
    EXPECT_TRUE(Contains(inspectMissing.err, "no such file")) << inspectMissing.err;
    EXPECT_TRUE(Contains(inspectMissing.out, "g_maxon")) << "the readable file is still described";
    EXPECT_EQ(RunProcess(CORVEL_INSPECT_CLI, {"--exports", folder.Module()}).exitCode, 1) << "an option it does not have";
}

// A preferences file the host could never keep is refused before the module loads, not logged
// and passed over.
TEST(HostCli, APreferencesPathThatCannotBeUsedIsRefusedBeforeTheModuleLoads) {
    PluginFolder folder;
    for (const std::string& prefs : {folder.Path("res"), folder.Path("no/such/folder/prefs.txt")}) {
        const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--prefs", prefs, "--execute"});
        EXPECT_EQ(r.exitCode, 1) << prefs << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, "corvel-host: error: --prefs " + prefs)) << r.err;
        EXPECT_TRUE(r.out.empty()) << "the module was started: " << r.out;
    }
    // So is a report that could only fail to be written after the run.
    const ProcessResult report = RunProcess(HostCli(), {"run", folder.Module(), "--report", folder.Path("res"), "--execute"});
    EXPECT_EQ(report.exitCode, 1) << report.err;
    EXPECT_TRUE(Contains(report.err, "corvel-host: error: --report " + folder.Path("res") + ": is a directory")) << report.err;
    EXPECT_TRUE(report.out.empty()) << "the module was started: " << report.out;

    const ProcessResult fresh = RunProcess(HostCli(), {"run", folder.Module(), "--prefs", folder.Path("new-prefs.txt")});
    EXPECT_EQ(fresh.exitCode, 0) << "a file that does not exist yet is created: " << fresh.err;
}

TEST(HostCli, NoDocumentAndASceneAreRefusedTogether) {
    PluginFolder folder;
    const std::string scene = std::string(CORVEL_SOURCE_DIR) + "/hostsim/scenes/shot-010.json";
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--no-document", "--scene", scene, "--execute"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "--no-document")) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

// The reason an action failed is one line of its own, apart from the host log, which can be sent
// to a file or left out.
TEST(HostCli, AFailedActionsReasonIsOneErrorLineApartFromTheHostLog) {
    // Standard error as lines (without the carriage returns of a Windows console).
    auto errLines = [](const ProcessResult& r) {
        std::vector<std::string> lines;
        std::stringstream in(r.err);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    };
    PluginFolder folder;
    const std::string log = folder.Path("host.log");
    const ProcessResult r =
        RunProcess(HostCli(), {"run", folder.Module(), "--log", log, "--execute", "--do", "set:10004=6042"});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_EQ(errLines(r), std::vector<std::string>{"corvel-host: error: --do set:10004=6042: gadget IDC_RESOLUTION "
                                                    "(10004) \"Resolution\" is disabled, so the host did not pass it on"});
    std::ifstream in(fs::u8path(log));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(Contains(text.str(), "[host] registered command 1027069")) << text.str();

    const ProcessResult quiet = RunProcess(HostCli(), {"run", folder.Module(), "--quiet", "--do", "close"});
    EXPECT_EQ(quiet.exitCode, 4) << quiet.err;
    EXPECT_EQ(errLines(quiet), std::vector<std::string>{"corvel-host: error: --do close: no dialog is open"});
}

// Gadgets and values by the names a user reads: symbols, labels, entry texts; a wrong name lists
// the right ones.
TEST(HostCli, ShowNamesTitleAndLabelsAndActionsTakeSymbolsAndEntryTexts) {
    PluginFolder folder;
    const ProcessResult r = RunProcess(HostCli(), {"run", folder.Module(), "--quiet", "--execute", "--do",
                                                   "set:IDC_OUTPUT=Picture Viewer", "--do", "set:idc_keep_param5202=on",
                                                   "--do", "show", "--do", "click:IDC_RENDER"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "--do set:IDC_OUTPUT=Picture Viewer: the dialog answered 1")) << r.out;
    EXPECT_TRUE(Contains(r.out, "COMBOBOX 10003 \"Render to\" (IDC_OUTPUT) = 6031 \"Picture Viewer\" of 6030 ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "(IDC_KEEP_PARAM5202) = on")) << r.out;
    EXPECT_TRUE(Contains(r.out, "--do click:IDC_RENDER: the dialog answered 1")) << r.out;

    const ProcessResult entry =
        RunProcess(HostCli(), {"run", folder.Module(), "--quiet", "--execute", "--do", "set:IDC_OUTPUT=Nowhere"});
    EXPECT_EQ(entry.exitCode, 1) << entry.err;
    EXPECT_TRUE(Contains(entry.err, "has no entry Nowhere; its entries: 6030 ")) << entry.err;
    EXPECT_TRUE(Contains(entry.err, "6031 \"Picture Viewer\"")) << entry.err;

    const ProcessResult gadget =
        RunProcess(HostCli(), {"run", folder.Module(), "--quiet", "--execute", "--do", "set:IDC_OUTPT=1"});
    EXPECT_EQ(gadget.exitCode, 1) << gadget.err;
    EXPECT_TRUE(Contains(gadget.err, "has no gadget IDC_OUTPT; gadgets that take a value: ")) << gadget.err;
    EXPECT_TRUE(Contains(gadget.err, "IDC_OUTPUT (10003) \"Render to\"")) << gadget.err;

    // A menu entry by its text: the save reaches the preferences file.
    const std::string prefs = folder.Path("prefs.txt");
    const ProcessResult menu =
        RunProcess(HostCli(), {"run", folder.Module(), "--quiet", "--prefs", prefs, "--execute", "--do", "click:save settings"});
    EXPECT_EQ(menu.exitCode, 0) << menu.err;
    EXPECT_TRUE(fs::exists(fs::u8path(prefs)));
    const ProcessResult nowhere = RunProcess(HostCli(), {"run", folder.Module(), "--quiet", "--execute", "--do", "click:Print"});
    EXPECT_EQ(nowhere.exitCode, 1) << nowhere.err;
    EXPECT_TRUE(Contains(nowhere.err, "menu entries: 5055 \"Save Settings\"")) << nowhere.err;
}

TEST(HostCli, MisspeltOptionsSuggestTheNearestAndVersionAndDefaultsAreShown) {
    const ProcessResult misspelt = RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--scen", "x.json"});
    EXPECT_EQ(misspelt.exitCode, 1);
    EXPECT_TRUE(Contains(misspelt.err, "did you mean --scene?")) << misspelt.err;
    EXPECT_TRUE(Contains(misspelt.err, "run 'corvel-host run --help'")) << misspelt.err;
    const ProcessResult far = RunProcess(HostCli(), {"validate", CORVEL_FAKE_MODULE_OK, "--xyzzy"});
    EXPECT_EQ(far.exitCode, 1);
    EXPECT_FALSE(Contains(far.err, "did you mean")) << "nothing near enough: " << far.err;

    for (const std::vector<std::string>& args : {std::vector<std::string>{"--version"}, {"run", "--version"}}) {
        const ProcessResult v = RunProcess(HostCli(), args);
        EXPECT_EQ(v.exitCode, 0) << v.err;
        EXPECT_TRUE(Contains(v.out, "1.2.0")) << v.out;
    }
    const ProcessResult help = RunProcess(HostCli(), {"validate", "--help"});
    EXPECT_TRUE(Contains(help.out, "--strictness")) << help.out;
    EXPECT_TRUE(Contains(help.out, "=5")) << "the default strictness is shown: " << help.out;
    EXPECT_TRUE(Contains(help.out, ".xlib")) << help.out;
    EXPECT_EQ(RunProcess(HostCli(), {"run", CORVEL_FAKE_MODULE_OK, "--execute=-5"}).exitCode, 1);
}

} // namespace
} // namespace corvel_test
