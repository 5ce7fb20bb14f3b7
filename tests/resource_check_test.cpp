// `corvel-host res check`: a whole resource folder checked the way the host reads it, in every
// language, and the command's output and exit codes.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "hostsim/resource_check.h"
#include "plugin_folder.h"

namespace corvel_test {
namespace {

// Paths are compared with forward slashes, whatever the platform writes.
bool Contains(std::string text, const std::string& part) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text.find(part) != std::string::npos;
}

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
    EXPECT_TRUE(Contains(findings, "dlg_browser.res:11:26: warning: the text 'T_GO' of BUTTON IDC_GO is not in ")) << findings;
    EXPECT_TRUE(Contains(findings, "strings_de-DE/dialogs/dlg_browser.str; the host shows the key itself")) << findings;
    EXPECT_TRUE(Contains(findings, "strings_de-DE/c4d_strings.str: warning: no string IDS_HELP, which strings_en-US has"))
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
    EXPECT_TRUE(Contains(findings, "dlg_browser.res:7:3: warning: BUTTON 10002 has the id 10002 of CHECKBOX IDC_PICK "
                                   "(line 6)"))
        << findings;
    EXPECT_TRUE(Contains(findings, "dlg_browser.res:8:43: warning: the value 1 appears twice in the CHILDS of "
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
    EXPECT_TRUE(Contains(findings, "dlg_old.res:1:1: warning: describes DLG_BROWSER, which the host looks for in "
                                   "dlg_browser.res: this file is never read"))
        << findings;
    EXPECT_TRUE(Contains(findings, "dlg_gone.str: warning: no dialog description dialogs/dlg_gone.res uses these texts"))
        << findings;
    EXPECT_TRUE(Contains(findings, "strings_de: warning: the host of release 2023 and later does not read this folder"))
        << findings;
}

TEST_F(ResourceCheck, DialogStringsNamingAnotherDialogAreReported) {
    Write("strings_de-DE/dialogs/dlg_browser.str", "DIALOGSTRINGS\n  DLG_OTHER { T_TITLE \"B\"; T_PICK \"P\"; "
                                                   "T_A \"A\"; T_B \"B\"; T_GO \"G\"; }");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.WarningCount(), 1u) << findings;
    EXPECT_TRUE(Contains(findings, "strings_de-DE/dialogs/dlg_browser.str:2:3: warning: DIALOGSTRINGS names DLG_OTHER, "
                                   "but the host reads this file for dialog DLG_BROWSER"))
        << findings;
}

TEST_F(ResourceCheck, AnUnusableFileIsAnErrorAndTheRestIsStillChecked) {
    Write("strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_NAME \"Browser\"\n}\n");
    Write("dialogs/dlg_extra.res", "DIALOG IDD_UNKNOWN { }");
    const hostsim::ResourceCheckReport report = Check();
    const std::string findings = AllFindings(report);
    EXPECT_EQ(report.diagnostics.ErrorCount(), 2u) << findings;
    EXPECT_TRUE(Contains(findings, "strings_de-DE/c4d_strings.str:4:1: error: expected ';' after the text of 'IDS_NAME'"))
        << findings;
    EXPECT_TRUE(Contains(findings, "dlg_extra.res:1:8: error: the dialog id 'IDD_UNKNOWN' is not declared")) << findings;
    EXPECT_EQ(report.dialogs, (std::vector<std::string>{"DLG_BROWSER"}));
}

// --- The command ---------------------------------------------------------------------------------

TEST(ResCommand, OurOwnFolderPassesStrict) {
    const ProcessResult r = RunProcess(HostCli(), {"res", "check", std::string(CORVEL_SOURCE_DIR) + "/res", "--strict"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "0 error(s), 0 warning(s); 1 string table(s), 1 dialog(s), 1 language(s)")) << r.out;
}

TEST(ResCommand, ADamagedCopyGetsFileLineAndTheRightExitCode) {
    PluginFolder copy;
    // A warning only: a NAME key that the dialog's strings do not hold.
    copy.Write("res/dialogs/dlg_corvel.res",
               "// C4D-DialogResource\nDIALOG DLG_CORVEL\n{\n\tNAME T_TITLE;\n\tSTATICTEXT { NAME T_NOWHERE; }\n}\n");
    ProcessResult lax = RunProcess(HostCli(), {"res", "check", copy.Path("res")});
    EXPECT_EQ(lax.exitCode, 0) << lax.out;
    EXPECT_TRUE(Contains(lax.out, "dlg_corvel.res:5:20: warning: the text 'T_NOWHERE' of STATICTEXT")) << lax.out;
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
    EXPECT_TRUE(Contains(error["file"].get<std::string>(), "c4d_strings.str")) << error;
    EXPECT_EQ(error["line"], 4);
    EXPECT_EQ(error["column"], 1);
}

TEST(ResCommand, BadUsageAndAMissingFolderAreRefused) {
    EXPECT_EQ(RunProcess(HostCli(), {"res"}).exitCode, 1);
    EXPECT_EQ(RunProcess(HostCli(), {"res", "check"}).exitCode, 1);
    const ProcessResult misspelt = RunProcess(HostCli(), {"res", "check", "a", "--strcit"});
    EXPECT_EQ(misspelt.exitCode, 1);
    EXPECT_TRUE(Contains(misspelt.err, "did you mean --strict?")) << misspelt.err;
    EXPECT_TRUE(Contains(misspelt.err, "run 'corvel-host res check --help'")) << misspelt.err;
    // A file where the folder belongs is not a folder that happens to be empty.
    PluginFolder copy;
    const ProcessResult file = RunProcess(HostCli(), {"res", "check", copy.Path("res/c4d_symbols.h")});
    EXPECT_EQ(file.exitCode, 2) << file.out << file.err;
    EXPECT_TRUE(Contains(file.err, "is a file")) << file.err;
    const ProcessResult missing = RunProcess(HostCli(), {"res", "check", "/no/such/folder"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(Contains(missing.out, "error: the resource folder does not exist")) << missing.out;
}

} // namespace
} // namespace corvel_test
