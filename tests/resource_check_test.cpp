// `corvel-host res check`: a whole resource folder checked the way the host reads it, in every
// language, and the command's output and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "hostsim/resource_check.h"
#include "plugin_folder.h"
#include "text_match.h"

namespace corvel_test {
namespace {

std::string AllFindings(const hostsim::ResourceCheckReport& report) {
    std::string out;
    for (const auto& d : report.diagnostics.All())
        out += d.Format() + "\n";
    return out;
}

// A small folder in two languages, with one dialog; each test damages it in its own way.
class ResourceCheck : public ::testing::Test {
protected:
    ResourceCheck() : folder_(PluginFolderOptions{/*withResources=*/false}) {
        Write("c4d_symbols.h", "enum\n{\n  IDS_NAME = 20000,\n  IDS_HELP,\n  DLG_BROWSER = 10001,\n  IDC_PICK,\n"
                               "  IDC_MODE,\n  IDC_GO,\n  _DUMMY_ELEMENT_\n};\n");
        for (const char* language : {"strings_en-US", "strings_de-DE"}) {
            Write(std::string(language) + "/c4d_strings.str",
                  "STRINGTABLE\n{\n  IDS_NAME \"Browser\";\n  IDS_HELP \"Browses\";\n}\n");
            Write(std::string(language) + "/dialogs/dlg_browser.str",
                  "DIALOGSTRINGS DLG_BROWSER\n{\n  T_TITLE \"Browser\";\n  T_PICK \"Pick\";\n  T_A \"A\";\n"
                  "  T_B \"B\";\n  T_GO \"Go\";\n}\n");
        }
        Write("dialogs/dlg_browser.res", "// C4D-DialogResource\nDIALOG DLG_BROWSER\n{\n  NAME T_TITLE;\n"
                                         "  GROUP IDC_STATIC\n  {\n"
                                         "    STATICTEXT IDC_STATIC { NAME T_PICK; }\n"
                                         "    STATICTEXT IDC_STATIC { NAME T_PICK; }\n"
                                         "    CHECKBOX IDC_PICK { NAME T_PICK; }\n"
                                         "    POPUPBUTTON IDC_MODE { CHILDS { 1, T_A; 2, T_B; } }\n"
                                         "    BUTTON IDC_GO { NAME T_GO; }\n  }\n}\n");
    }

    void Write(const std::string& relative, const std::string& text) { folder_.Write("res/" + relative, text); }
    std::string Res() const { return folder_.Path("res"); }
    hostsim::ResourceCheckReport Check() const { return hostsim::CheckResourceFolder(Res()); }

    PluginFolder folder_;
};

TEST_F(ResourceCheck, ASoundFolderInTwoLanguagesHasNoFinding) {
    const hostsim::ResourceCheckReport report = Check();
    EXPECT_TRUE(report.diagnostics.All().empty()) << AllFindings(report);
    EXPECT_EQ(report.languages, (std::vector<std::string>{"strings_en-US", "strings_de-DE"}));
    EXPECT_EQ(report.dialogs, (std::vector<std::string>{"DLG_BROWSER"}));
    EXPECT_EQ(report.stringTables, 2u);
}

TEST_F(ResourceCheck, TextsMissingInOneLanguageAreReportedWhereTheDialogUsesThem) {
    Write("strings_de-DE/dialogs/dlg_browser.str", "DIALOGSTRINGS DLG_BROWSER { T_TITLE \"Browser\"; T_PICK \"W\"; "
                                                   "T_A \"A\"; T_B \"B\"; }");
    Write("strings_de-DE/c4d_strings.str", "STRINGTABLE { IDS_NAME \"Browser\"; }");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 0u) << findings;
    EXPECT_EQ(report.diagnostics.WarningCount(), 2u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_browser.res:11:26: warning: the text 'T_GO' of BUTTON IDC_GO is not in ")) << findings;
    EXPECT_TRUE(ContainsPath(findings, "strings_de-DE/dialogs/dlg_browser.str; the host shows the key itself")) << findings;
    EXPECT_TRUE(ContainsPath(findings, "strings_de-DE/c4d_strings.str: warning: no string IDS_HELP, which strings_en-US has"))
        << findings;
}

TEST_F(ResourceCheck, GadgetsSharingAnIdAreReportedButStaticElementsAreNot) {
    Write("dialogs/dlg_browser.res", "DIALOG DLG_BROWSER\n{\n  NAME T_TITLE;\n"
                                     "  STATICTEXT IDC_STATIC { NAME T_PICK; }\n"
                                     "  STATICTEXT IDC_STATIC { NAME T_PICK; }\n"
                                     "  CHECKBOX IDC_PICK { NAME T_PICK; }\n"
                                     "  BUTTON 10002 { NAME T_GO; }\n"
                                     "  POPUPBUTTON IDC_MODE { CHILDS { 1, T_A; 1, T_B; } }\n}\n");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.WarningCount(), 2u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_browser.res:7:3: warning: BUTTON 10002 has the id 10002 of CHECKBOX IDC_PICK "
                                   "(line 6)"))
        << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_browser.res:8:43: warning: the value 1 appears twice in the CHILDS of "
                                   "POPUPBUTTON IDC_MODE"))
        << findings;
}

TEST_F(ResourceCheck, FilesTheHostNeverReadsAreReported) {
    Write("dialogs/dlg_old.res", "DIALOG DLG_BROWSER { NAME T_TITLE; }");
    Write("strings_en-US/dialogs/dlg_gone.str", "DIALOGSTRINGS DLG_GONE { }");
    Write("strings_de/c4d_strings.str", "STRINGTABLE { }");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 0u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_old.res:1:1: warning: describes DLG_BROWSER, which the host looks for in "
                                   "dlg_browser.res: this file is never read"))
        << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_gone.str: warning: no dialog description dialogs/dlg_gone.res uses these texts"))
        << findings;
    EXPECT_TRUE(ContainsPath(findings, "strings_de: warning: the host of release 2023 and later does not read this folder"))
        << findings;
}

TEST_F(ResourceCheck, DialogStringsNamingAnotherDialogAreReported) {
    Write("strings_de-DE/dialogs/dlg_browser.str", "DIALOGSTRINGS\n  DLG_OTHER { T_TITLE \"B\"; T_PICK \"P\"; "
                                                   "T_A \"A\"; T_B \"B\"; T_GO \"G\"; }");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.WarningCount(), 1u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "strings_de-DE/dialogs/dlg_browser.str:2:3: warning: DIALOGSTRINGS names DLG_OTHER, "
                                   "but the host reads this file for dialog DLG_BROWSER"))
        << findings;
}

TEST_F(ResourceCheck, AnUnusableFileIsAnErrorAndTheRestIsStillChecked) {
    Write("strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_NAME \"Browser\"\n}\n");
    Write("dialogs/dlg_extra.res", "DIALOG IDD_UNKNOWN { }");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 2u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "strings_de-DE/c4d_strings.str:4:1: error: expected ';' after the text of 'IDS_NAME'"))
        << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_extra.res:1:8: error: the dialog id 'IDD_UNKNOWN' is not declared")) << findings;
    EXPECT_EQ(report.dialogs, (std::vector<std::string>{"DLG_BROWSER"}));
}

// The module opens its dialog by symbol; without dialogs/<symbol>.res the dialog cannot open. That is
// an error on the missing file, not a warning about the strings left without a description.
TEST_F(ResourceCheck, AMissingOrMisnamedDescriptionIsAnErrorOnTheFileTheHostLooksFor) {
    folder_.Remove("res/dialogs/dlg_browser.res");
    Write("dialogs/readme.txt", "not a description");
    hostsim::ResourceCheckReport report = Check();
    std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 1u) << findings;
    EXPECT_EQ(report.diagnostics.WarningCount(), 0u) << "the strings are not to blame\n" << findings;
    EXPECT_TRUE(ContainsPath(findings, "res/dialogs/dlg_browser.res: error: missing: the description of dialog DLG_BROWSER"))
        << findings;

    Write("dialogs/dlg_browse.res", "DIALOG DLG_BROWSER { NAME T_TITLE; }");
    report = Check();
    findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 1u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_browser.res: error: missing: the description of dialog DLG_BROWSER ("))
        << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_browse.res describes it under another name and is never read")) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_browse.res:1:1: warning: describes DLG_BROWSER")) << findings;

    // A declared dialog symbol without strings or a description is missing as well.
    folder_.Remove("res/dialogs/dlg_browse.res");
    folder_.Remove("res/strings_en-US/dialogs/dlg_browser.str");
    folder_.Remove("res/strings_de-DE/dialogs/dlg_browser.str");
    findings = AllFindings(Check());
    EXPECT_TRUE(ContainsPath(findings, "dlg_browser.res: error: missing: the description of dialog DLG_BROWSER (its symbol "
                                   "is declared in c4d_symbols.h)"))
        << findings;
}

TEST_F(ResourceCheck, AnUnclosedCommentAtTheEndOfAFileIsAnError) {
    Write("strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_NAME \"Browser\";\n  IDS_HELP \"B\";\n}\n  /* later");
    Write("dialogs/dlg_browser.res", "DIALOG DLG_BROWSER { NAME T_TITLE; } /*");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 2u) << findings;
    EXPECT_TRUE(ContainsPath(findings, "strings_de-DE/c4d_strings.str:6:3: error: comment not closed: '/*' without '*/'"))
        << findings;
    EXPECT_TRUE(ContainsPath(findings, "dialogs/dlg_browser.res:1:38: error: comment not closed")) << findings;
}

#ifndef _WIN32
// What the host cannot open as a file is an error on that name, whatever stands there instead.
TEST_F(ResourceCheck, ADescriptionThatIsNotAReadableFileIsAnError) {
    namespace fs = std::filesystem;
    folder_.Remove("res/dialogs/dlg_browser.res");
    const fs::path dialogs = fs::u8path(Res()) / "dialogs";
    fs::create_symlink("gone.res", dialogs / "dlg_browser.res");
    fs::create_symlink("dlg_loop2.res", dialogs / "dlg_loop1.res");
    fs::create_symlink("dlg_loop1.res", dialogs / "dlg_loop2.res");
    fs::create_directory(dialogs / "dlg_folder.res");
    ASSERT_EQ(::mkfifo((dialogs / "dlg_fifo.res").c_str(), 0600), 0);
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_TRUE(ContainsPath(findings, "dlg_browser.res: error: a symbolic link to gone.res, which does not exist")) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_loop1.res: error: a loop of symbolic links")) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_folder.res: error: a folder, not a file")) << findings;
    EXPECT_TRUE(ContainsPath(findings, "dlg_fifo.res: error: a FIFO, not a file")) << findings;
    EXPECT_EQ(report.diagnostics.ErrorCount(), 5u) << findings;
    EXPECT_EQ(report.diagnostics.WarningCount(), 0u) << "the strings are not to blame\n" << findings;

    if (::geteuid() != 0) { // permissions do not hold back the superuser
        fs::permissions(dialogs, fs::perms::none);
        const std::string locked = AllFindings(Check());
        fs::permissions(dialogs, fs::perms::owner_all);
        EXPECT_TRUE(ContainsPath(locked, "dialogs: error: the folder cannot be read")) << locked;
    }
}
#endif

// --- The command ---------------------------------------------------------------------------------

TEST(ResCommand, OurOwnFolderPassesStrict) {
    const ProcessResult r = RunProcess(HostCli(), {"res", "check", std::string(CORVEL_SOURCE_DIR) + "/res", "--strict"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(ContainsPath(r.out, "0 error(s), 0 warning(s); 1 string table(s), 1 dialog(s), 1 language(s)")) << r.out;
}

TEST(ResCommand, ADamagedCopyGetsFileLineAndTheRightExitCode) {
    PluginFolder copy;
    // A warning only: a NAME key that the dialog's strings do not hold.
    copy.Write("res/dialogs/dlg_corvel.res",
               "// C4D-DialogResource\nDIALOG DLG_CORVEL\n{\n\tNAME T_TITLE;\n\tSTATICTEXT { NAME T_NOWHERE; }\n}\n");
    ProcessResult lax = RunProcess(HostCli(), {"res", "check", copy.Path("res")});
    EXPECT_EQ(lax.exitCode, 0) << lax.out;
    EXPECT_TRUE(ContainsPath(lax.out, "dlg_corvel.res:5:20: warning: the text 'T_NOWHERE' of STATICTEXT")) << lax.out;
    // Warnings under --strict have a code of their own, apart from bad usage (1).
    EXPECT_EQ(RunProcess(HostCli(), {"res", "check", copy.Path("res"), "--strict"}).exitCode, 3);

    // An error: the string table loses a ';'.
    copy.Write("res/strings_en-US/c4d_strings.str", "STRINGTABLE\n{\n\tIDS_CORVEL_NAME \"Corvel\"\n}\n");
    const ProcessResult broken = RunProcess(HostCli(), {"res", "check", copy.Path("res"), "--json"});
    EXPECT_EQ(broken.exitCode, 2) << broken.out;
    const nlohmann::json report = nlohmann::json::parse(broken.out);
    EXPECT_TRUE(report.contains("string_tables")) << "keys in snake_case, as in the other reports: " << report;
    EXPECT_EQ(report["errors"], 1);
    EXPECT_EQ(report["warnings"], 1);
    const nlohmann::json& error = report["diagnostics"][0];
    EXPECT_EQ(error["severity"], "error");
    EXPECT_TRUE(ContainsPath(error["file"].get<std::string>(), "c4d_strings.str")) << error;
    EXPECT_EQ(error["line"], 4);
    EXPECT_EQ(error["column"], 1);
}

TEST(ResCommand, AMissingDialogDescriptionFailsWithoutStrict) {
    PluginFolder copy;
    copy.Remove("res/dialogs/dlg_corvel.res");
    const ProcessResult r = RunProcess(HostCli(), {"res", "check", copy.Path("res")});
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_TRUE(ContainsPath(r.out, "dialogs/dlg_corvel.res: error: missing: the description of dialog DLG_CORVEL")) << r.out;
}

TEST(ResCommand, BadUsageAndAMissingFolderAreRefused) {
    EXPECT_EQ(RunProcess(HostCli(), {"res"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"res", "check"}).exitCode, 1);
    const ProcessResult misspelt = RunProcess(HostCli(), {"res", "check", "a", "--strcit"});
    EXPECT_EQ(misspelt.exitCode, 1);
    EXPECT_TRUE(ContainsPath(misspelt.err, "did you mean --strict?")) << misspelt.err;
    EXPECT_TRUE(ContainsPath(misspelt.err, "run 'corvel-host res check --help'")) << misspelt.err;
    // A file where the folder belongs is not a folder that happens to be empty.
    PluginFolder copy;
    const ProcessResult file = RunProcess(HostCli(), {"res", "check", copy.Path("res/c4d_symbols.h")});
    EXPECT_EQ(file.exitCode, 2) << file.out << file.err;
    EXPECT_TRUE(ContainsPath(file.err, "is a file")) << file.err;
    const ProcessResult missing = RunProcess(HostCli(), {"res", "check", "/no/such/folder"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(ContainsPath(missing.out, "error: the resource folder does not exist")) << missing.out;
}

} // namespace
} // namespace corvel_test
