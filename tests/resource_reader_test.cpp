// The stand-in host's readers of resource files, on files written the way real plug-in folders are:
// by hand and by the host's resource editor, on old and new systems.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hostsim/resource_files.h"
#include "plugin_folder.h"
#include "text_match.h"

namespace {

using corvel_test::ContainsPath;

using hostsim::DialogDescription;
using hostsim::DialogElement;
using hostsim::ResourceDiagnostic;
using hostsim::ResourceDiagnostics;

// All findings of one severity, formatted, one per line (for assertions and their messages).
std::string Findings(const ResourceDiagnostics& d, ResourceDiagnostic::Severity severity) {
    std::string out;
    for (const auto& item : d.All())
        if (item.severity == severity)
            out += item.Format() + "\n";
    return out;
}
std::string Warnings(const ResourceDiagnostics& d) { return Findings(d, ResourceDiagnostic::Severity::Warning); }
std::string Errors(const ResourceDiagnostics& d) { return Findings(d, ResourceDiagnostic::Severity::Error); }

const std::map<std::string, int32_t> kSymbols{{"DLG_X", 10001}, {"IDC_A", 10002}, {"IDC_B", 10003},
                                              {"IDS_A", 20000}, {"IDS_B", 20001}};

TEST(ResourceReader, StaticIdIsKnownWithoutDeclarationAndItsElementsStaySeparate) {
    const std::string res = "DIALOG DLG_X\n{\n  NAME T_TITLE;\n  GROUP IDC_STATIC\n  {\n"
                            "    STATICTEXT IDC_STATIC { NAME T_FIRST; }\n"
                            "    STATICTEXT IDC_STATIC { NAME T_SECOND; }\n"
                            "    CHECKBOX IDC_A { NAME T_A; }\n  }\n}\n";
    DialogDescription dialog;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::ReadDialog(res, "dlg_x.res", kSymbols, &dialog, &d)) << Errors(d);
    ASSERT_EQ(dialog.elements.size(), 1u);
    const DialogElement& group = dialog.elements[0];
    EXPECT_EQ(group.id, hostsim::kStaticId);
    ASSERT_EQ(group.children.size(), 3u);
    EXPECT_EQ(group.children[0].id, hostsim::kStaticId);
    EXPECT_EQ(group.children[0].nameKey, "T_FIRST");
    EXPECT_EQ(group.children[1].id, hostsim::kStaticId);
    EXPECT_EQ(group.children[1].nameKey, "T_SECOND");
    EXPECT_EQ(group.children[2].id, 10002);
    EXPECT_TRUE(Warnings(d).empty()) << Warnings(d);
}

TEST(ResourceReader, OldMacLineEndingsAreLineBreaks) {
    // A file of the old Mac OS: CR only, starting with a comment line.
    const std::string cr = "// C4D-StringResource\rSTRINGTABLE\r{\r\tIDS_A \"first\";\r\tIDS_B \"second;\r}\r";
    std::map<int32_t, std::string> strings;
    ResourceDiagnostics d;
    EXPECT_FALSE(hostsim::ReadStringTable(cr, "c4d_strings.str", kSymbols, &strings, &d));
    EXPECT_TRUE(ContainsPath(Errors(d), "c4d_strings.str:5:8: error: string literal runs past the end of the line"))
        << Errors(d);

    // The same table intact, with every kind of line ending mixed: each counts one line.
    const std::string mixed = "// C4D-StringResource\rSTRINGTABLE\r\n{\n\tIDS_A \"first\";\r\tIDS_B \"second\" x;\r}\r";
    ResourceDiagnostics mixedFindings;
    EXPECT_FALSE(hostsim::ReadStringTable(mixed, "c4d_strings.str", kSymbols, &strings, &mixedFindings));
    EXPECT_TRUE(ContainsPath(Errors(mixedFindings), "c4d_strings.str:5:17:")) << Errors(mixedFindings);

    ResourceDiagnostics good;
    strings.clear();
    ASSERT_TRUE(hostsim::ReadStringTable("// C4D-StringResource\rSTRINGTABLE\r{\r IDS_A \"a\";\r}\r", "s.str", kSymbols,
                                         &strings, &good))
        << Errors(good);
    EXPECT_EQ(strings.at(20000), "a");
}

TEST(ResourceReader, SymbolsAsTheHostAcceptsThem) {
    // No ';' after the enum, and one name declared twice with the same value: both read, warned.
    std::map<std::string, int32_t> symbols;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::ReadSymbols("enum\n{\n  DLG_A = 10001,\n  IDC_B,\n  IDC_B = 10002,\n  _DUMMY_ELEMENT_\n}\n",
                                     "c4d_symbols.h", &symbols, &d))
        << Errors(d);
    EXPECT_EQ(symbols.at("IDC_B"), 10002);
    EXPECT_EQ(symbols.at("_DUMMY_ELEMENT_"), 10003);
    EXPECT_TRUE(ContainsPath(Warnings(d), "c4d_symbols.h:5:3: warning: 'IDC_B' is declared twice")) << Warnings(d);
    EXPECT_TRUE(ContainsPath(Warnings(d), "c4d_symbols.h:8:1: warning: ';' is missing")) << Warnings(d);

    // Declared twice with different values: the host cannot know which is meant.
    symbols.clear();
    ResourceDiagnostics twice;
    EXPECT_FALSE(hostsim::ReadSymbols("enum {\n A = 1,\n A = 2\n};", "c4d_symbols.h", &symbols, &twice));
    EXPECT_TRUE(ContainsPath(Errors(twice), "c4d_symbols.h:3:2: error: 'A' is declared twice, with different values (2 "
                                        "here, 1 at line 2)"))
        << Errors(twice);

    // IDC_STATIC keeps the host's value whatever a file declares.
    symbols.clear();
    ResourceDiagnostics statics;
    ASSERT_TRUE(hostsim::ReadSymbols("enum { IDC_STATIC = 5, IDC_X };", "c4d_symbols.h", &symbols, &statics));
    EXPECT_EQ(symbols.count("IDC_STATIC"), 0u);
    EXPECT_EQ(symbols.at("IDC_X"), 6);
    EXPECT_TRUE(ContainsPath(Warnings(statics), "IDC_STATIC is predefined")) << Warnings(statics);
}

TEST(ResourceReader, StringTableWithUndeclaredOrRepeatedIdsIsUsedWithWarnings) {
    std::map<int32_t, std::string> strings;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::ReadStringTable("STRINGTABLE\n{\n IDS_A \"old\";\n IDS_UNKNOWN \"u\";\n IDS_A \"new\";\n"
                                         " IDS_B \"b\";\n}\n",
                                         "c4d_strings.str", kSymbols, &strings, &d))
        << Errors(d);
    EXPECT_EQ(strings, (std::map<int32_t, std::string>{{20000, "new"}, {20001, "b"}}));
    EXPECT_TRUE(ContainsPath(Warnings(d), "c4d_strings.str:4:2: warning: string id 'IDS_UNKNOWN' is not declared"))
        << Warnings(d);
    EXPECT_TRUE(ContainsPath(Warnings(d), "c4d_strings.str:5:2: warning: string IDS_A (20000) is defined again (line 3)"))
        << Warnings(d);
}

TEST(ResourceReader, PopupButtonListsItsEntriesLikeAComboBox) {
    const std::string res = "DIALOG DLG_X { NAME T_TITLE;\n"
                            "  POPUPBUTTON IDC_A { CHILDS { 1, T_ONE; 2, \"Two\"; } }\n"
                            "  COMBOBOX IDC_B { CHILDS { 5, T_ONE; } }\n}\n";
    DialogDescription dialog;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::ReadDialog(res, "dlg_x.res", kSymbols, &dialog, &d)) << Errors(d);
    hostsim::DialogStrings strings;
    strings.file = "dlg_x.str";
    strings.texts = {{"T_TITLE", "Title"}, {"T_ONE", "One"}};
    hostsim::ApplyDialogStrings(&strings, &dialog, &d);
    ASSERT_EQ(dialog.elements.size(), 2u);
    for (const DialogElement& el : dialog.elements)
        EXPECT_TRUE(el.children.empty()) << el.kind << " read its CHILDS as an element";
    EXPECT_EQ(dialog.elements[0].childs,
              (std::vector<std::pair<int32_t, std::string>>{{1, "One"}, {2, "Two"}}));
    EXPECT_EQ(dialog.elements[1].childs, (std::vector<std::pair<int32_t, std::string>>{{5, "One"}}));
    EXPECT_EQ(dialog.title, "Title");
    EXPECT_TRUE(Warnings(d).empty()) << Warnings(d);
}

TEST(ResourceReader, DialogWithoutNameHasNoTitleAndAWarning) {
    DialogDescription dialog;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::ReadDialog("// C4D-DialogResource\nDIALOG DLG_X\n{\n  CHECKBOX IDC_A { NAME T_A; }\n}\n",
                                    "dlg_x.res", kSymbols, &dialog, &d));
    hostsim::DialogStrings strings;
    strings.file = "dlg_x.str";
    strings.texts = {{"T_TITLE", "Would be the title"}};
    hostsim::ApplyDialogStrings(&strings, &dialog, &d);
    EXPECT_EQ(dialog.title, "");
    EXPECT_TRUE(ContainsPath(Warnings(d), "dlg_x.res:2:1: warning: the dialog has no NAME option")) << Warnings(d);
    // The NAME key missing from the strings is shown raw, and said so where it is used.
    EXPECT_EQ(dialog.elements.at(0).name, "T_A");
    EXPECT_TRUE(ContainsPath(Warnings(d), "dlg_x.res:4:25: warning: the text 'T_A' of CHECKBOX IDC_A is not in dlg_x.str"))
        << Warnings(d);
}

TEST(ResourceReader, Latin1TextIsReadAsLatin1WithAWarning) {
    std::map<int32_t, std::string> strings;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::ReadStringTable("STRINGTABLE {\n IDS_A \"Caf\xE9 \xBD\";\n}", "c4d_strings.str", kSymbols,
                                         &strings, &d))
        << Errors(d);
    EXPECT_EQ(strings.at(20000), "Caf\xC3\xA9 \xC2\xBD");
    EXPECT_TRUE(ContainsPath(Warnings(d), "c4d_strings.str:2:12: warning: the file is not UTF-8 (byte 0xE9)")) << Warnings(d);

    // Valid UTF-8 (with a byte order mark) is taken as it is, without a warning.
    ResourceDiagnostics utf8;
    strings.clear();
    ASSERT_TRUE(hostsim::ReadStringTable("\xEF\xBB\xBFSTRINGTABLE { IDS_A \"Caf\xC3\xA9\"; }", "c4d_strings.str",
                                         kSymbols, &strings, &utf8));
    EXPECT_EQ(strings.at(20000), "Caf\xC3\xA9");
    EXPECT_TRUE(utf8.All().empty()) << Warnings(utf8);
}

TEST(ResourceReader, ErrorsNameFileLineAndColumnAndStopTheFile) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"DIALOG DLG_X {\n  CHECKBOX IDC_NOPE { }\n}", "d.res:2:12: error: the id 'IDC_NOPE' of CHECKBOX is not declared"},
        {"DIALOG DLG_X {\n  GROUP {\n    SCALE_H\n  }\n}", "d.res:4:3: error: expected ';' to end the option 'SCALE_H'"},
        {"DIALOG DLG_X {\n  GROUP {\n", "d.res:3:1: error: missing '}' to close GROUP opened at line 2"},
        {"DIALOG DLG_X { }\nDIALOG DLG_X { }", "d.res:2:1: error: expected nothing after the dialog"},
        {"DIALOG DLG_X {\n  COMBOBOX IDC_A { CHILDS { 1 T_A; } }\n}", "d.res:2:31: error: expected ',' between"},
        {"DIALOG DLG_X {\n  NAME T_X; \x01\n}", "d.res:2:13: error: unexpected control character 1"},
    };
    for (const auto& c : cases) {
        DialogDescription dialog;
        ResourceDiagnostics d;
        EXPECT_FALSE(hostsim::ReadDialog(c.text, "d.res", kSymbols, &dialog, &d)) << c.text;
        EXPECT_EQ(d.ErrorCount(), 1u) << Errors(d);
        EXPECT_TRUE(ContainsPath(Errors(d), c.expected)) << Errors(d);
    }
}

TEST(ResourceReader, HostileInputIsAClearErrorNotACrashOrAHugeAllocation) {
    DialogDescription dialog;
    std::string deep = "DIALOG DLG_X {\n";
    for (int i = 0; i < 40000; ++i)
        deep += "GROUP {\n";
    ResourceDiagnostics nested;
    EXPECT_FALSE(hostsim::ReadDialog(deep, "deep.res", kSymbols, &dialog, &nested));
    EXPECT_TRUE(ContainsPath(Errors(nested), "deep.res:102:1: error: elements are nested more than 100 deep"))
        << Errors(nested);

    ResourceDiagnostics longLine;
    std::map<int32_t, std::string> strings;
    const std::string line = "STRINGTABLE {\n IDS_A \"" + std::string(100000, 'x') + "\";\n}";
    EXPECT_FALSE(hostsim::ReadStringTable(line, "s.str", kSymbols, &strings, &longLine));
    EXPECT_TRUE(ContainsPath(Errors(longLine), "s.str:2:1: error: line longer than 65536 bytes")) << Errors(longLine);

    ResourceDiagnostics huge;
    EXPECT_FALSE(hostsim::ReadStringTable(std::string(hostsim::ResourceLimits::kMaxFileBytes + 1, '\n'), "s.str",
                                          kSymbols, &strings, &huge));
    EXPECT_TRUE(ContainsPath(Errors(huge), "s.str: error: the file is larger than 4 MiB")) << Errors(huge);

    std::string many = "enum {\n";
    for (size_t i = 0; i <= hostsim::ResourceLimits::kMaxEntries; ++i)
        many += "S" + std::to_string(i) + ",\n";
    std::map<std::string, int32_t> symbols;
    ResourceDiagnostics tooMany;
    EXPECT_FALSE(hostsim::ReadSymbols(many + "};", "c4d_symbols.h", &symbols, &tooMany));
    EXPECT_TRUE(ContainsPath(Errors(tooMany), "error: more than 100000 symbols")) << Errors(tooMany);
}

// --- Folders -------------------------------------------------------------------------------------

using corvel_test::PluginFolder;
using corvel_test::PluginFolderOptions;

const char* const kFolderSymbols = "enum { IDS_NAME = 20000, IDD_SOME_BROWSER = 10001, IDC_LIST, _DUMMY_ELEMENT_ };";

TEST(ResourceFolder, FilesAreFoundWhateverTheCaseOfTheirNames) {
    PluginFolder folder(PluginFolderOptions{/*withResources=*/false});
    folder.Write("res/C4D_Symbols.h", kFolderSymbols);
    folder.Write("res/Strings_EN-us/C4D_Strings.STR", "STRINGTABLE { IDS_NAME \"Browser\"; }");
    folder.Write("res/Dialogs/IDD_SOME_BROWSER.res", "DIALOG IDD_SOME_BROWSER { NAME T_TITLE; LISTVIEW IDC_LIST { } }");
    folder.Write("res/Strings_EN-us/DIALOGS/Idd_Some_Browser.Str", "DIALOGSTRINGS IDD_SOME_BROWSER { T_TITLE \"Some\"; }");

    hostsim::Resource res;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::LoadResourceFolder(folder.Path("res"), &res, &d)) << Errors(d);
    EXPECT_EQ(res.strings.at(20000), "Browser");
    DialogDescription dialog;
    ASSERT_TRUE(hostsim::LoadDialogDescription(res, 10001, &dialog, &d)) << Errors(d);
    EXPECT_EQ(dialog.title, "Some");
    EXPECT_TRUE(d.All().empty()) << Warnings(d);
}

TEST(ResourceFolder, OldLanguageFolderAndMissingStringTableLoadWithAWarning) {
    PluginFolder folder(PluginFolderOptions{/*withResources=*/false});
    folder.Write("res/c4d_symbols.h", kFolderSymbols);
    folder.Write("res/strings_us/c4d_strings.str", "STRINGTABLE { IDS_NAME \"Browser\"; }");
    hostsim::Resource res;
    ResourceDiagnostics legacy;
    ASSERT_TRUE(hostsim::LoadResourceFolder(folder.Path("res"), &res, &legacy)) << Errors(legacy);
    EXPECT_TRUE(res.strings.empty());
    EXPECT_TRUE(ContainsPath(Warnings(legacy), "does not read strings_us")) << Warnings(legacy);
    EXPECT_TRUE(ContainsPath(Warnings(legacy), "rename it to strings_en-US")) << Warnings(legacy);

    folder.Write("res/strings_en-US/dialogs/idd_some_browser.str", "DIALOGSTRINGS IDD_SOME_BROWSER { }");
    ResourceDiagnostics noTable;
    ASSERT_TRUE(hostsim::LoadResourceFolder(folder.Path("res"), &res, &noTable)) << Errors(noTable);
    EXPECT_TRUE(ContainsPath(Warnings(noTable), "c4d_strings.str: warning: missing: the resource loads without strings"))
        << Warnings(noTable);

    folder.Remove("res/c4d_symbols.h");
    ResourceDiagnostics noSymbols;
    EXPECT_FALSE(hostsim::LoadResourceFolder(folder.Path("res"), &res, &noSymbols));
    EXPECT_TRUE(ContainsPath(Errors(noSymbols), "c4d_symbols.h: error: missing")) << Errors(noSymbols);
}

TEST(ResourceFolder, DialogWithoutItsStringsIsBuiltWithRawKeysAndAWarning) {
    PluginFolder folder(PluginFolderOptions{/*withResources=*/false});
    folder.Write("res/c4d_symbols.h", kFolderSymbols);
    folder.Write("res/strings_en-US/c4d_strings.str", "STRINGTABLE { IDS_NAME \"Browser\"; }");
    folder.Write("res/dialogs/idd_some_browser.res", "DIALOG IDD_SOME_BROWSER { NAME T_TITLE; }");
    hostsim::Resource res;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::LoadResourceFolder(folder.Path("res"), &res, &d)) << Errors(d);
    DialogDescription dialog;
    ASSERT_TRUE(hostsim::LoadDialogDescription(res, 10001, &dialog, &d)) << Errors(d);
    EXPECT_EQ(dialog.title, "T_TITLE");
    EXPECT_TRUE(ContainsPath(Warnings(d), "idd_some_browser.str: warning: missing: dialog IDD_SOME_BROWSER has no texts"))
        << Warnings(d);
}

TEST(ResourceFolder, TheShippedFolderLoadsWithoutAFinding) {
    hostsim::Resource res;
    ResourceDiagnostics d;
    ASSERT_TRUE(hostsim::LoadResourceFolder(std::string(CORVEL_SOURCE_DIR) + "/res", &res, &d)) << Errors(d);
    DialogDescription dialog;
    ASSERT_TRUE(hostsim::LoadDialogDescription(res, 10001, &dialog, &d)) << Errors(d);
    EXPECT_EQ(dialog.title, "Corvel");
    EXPECT_TRUE(d.All().empty()) << Warnings(d);
}

} // namespace
