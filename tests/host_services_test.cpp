// The stand-in host's services as a module sees them: typed containers and their conversion rule,
// file names, the preferences file, and the readers of the resource formats.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "hostsim/host.h"
#include "hostsim/prefs_file.h"
#include "hostsim/resource_files.h"
#include "plugin_folder.h"

namespace {

using hostsim::Container;

TEST(HostContainer, TypedGetsConvertBetweenNumericTypesAndAnswerThePresetForAbsentKeys) {
    Container bc;
    bc.SetInt32(1, 7);
    bc.SetBool(2, true);
    bc.SetFloat(3, -2.75);
    bc.SetFloat(4, 1e12);
    bc.SetFloat(5, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(bc.GetInt32(9, 42), 42);
    EXPECT_TRUE(bc.GetBool(9, true));
    EXPECT_EQ(bc.GetFloat(9, 0.5), 0.5);

    EXPECT_EQ(bc.GetInt32(2), 1);
    EXPECT_EQ(bc.GetInt32(3), -2) << "truncated toward zero";
    EXPECT_EQ(bc.GetInt32(4), std::numeric_limits<int32_t>::max()) << "saturated";
    EXPECT_EQ(bc.GetInt32(5), 0) << "NaN";
    EXPECT_TRUE(bc.GetBool(1));
    EXPECT_TRUE(bc.GetBool(3));
    EXPECT_EQ(bc.GetFloat(1), 7.0);
    EXPECT_EQ(bc.GetFloat(2), 1.0);

    // A Set under another type replaces the value in place.
    bc.SetBool(1, false);
    EXPECT_EQ(bc.TypeOf(1), Container::Type::Bool);
    EXPECT_EQ(bc.Keys(), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

// Large containers keep an index of their keys: every way their entries change (new keys, a type
// replaced in place, a removal in the middle, entries appended by a reader, copies, moves) must
// answer as a search in insertion order would.
TEST(HostContainer, LargeContainersAnswerAsASearchInOrderWouldAfterEveryKindOfChange) {
    constexpr int32_t kKeys = 1000;
    Container bc(7);
    for (int32_t k = kKeys; k > 0; --k)
        bc.SetInt32(k * 3, k);
    bc.SetFloat(600, 0.5); // key 600 (k = 200) changes type, keeps its place
    bc.SetBool(1, true);   // a new key goes last
    ASSERT_EQ(bc.entries.size(), static_cast<size_t>(kKeys) + 1);
    EXPECT_EQ(bc.entries[kKeys - 200].first, 600);
    EXPECT_EQ(bc.TypeOf(600), Container::Type::Float);
    EXPECT_EQ(bc.entries.back().first, 1);

    EXPECT_TRUE(bc.Remove(1500));
    EXPECT_FALSE(bc.Remove(1500));
    EXPECT_FALSE(bc.Has(1500));
    EXPECT_EQ(bc.GetInt32(1503, -1), 501) << "a key after the removed one";
    EXPECT_EQ(bc.GetInt32(1497, -1), 499) << "a key before it";
    bc.SetInt32(1500, 9);
    EXPECT_EQ(bc.entries.back().first, 1500) << "a removed key comes back at the end";

    // A reader that appends (the preferences file) is found on the next lookup; of two entries with
    // one key the first answers.
    Container read = bc;
    EXPECT_EQ(read.GetInt32(3), 1);
    read.entries.emplace_back(5, Container::Value{Container::Type::Int32, 55, false, 0.0});
    read.entries.emplace_back(3, Container::Value{Container::Type::Int32, 77, false, 0.0});
    EXPECT_EQ(read.GetInt32(5), 55);
    EXPECT_EQ(read.GetInt32(3), 1);
    bc.SetInt32(5, 55);

    Container copy = bc;
    copy.SetInt32(3, -3);
    EXPECT_EQ(bc.GetInt32(3), 1) << "the copy has entries of its own";
    EXPECT_TRUE(copy.Remove(6));
    EXPECT_EQ(bc.GetInt32(6, -1), 2);
    Container moved = std::move(copy);
    EXPECT_EQ(moved.GetInt32(3), -3);
    EXPECT_EQ(moved.GetInt32(6, -1), -1);
    EXPECT_EQ(moved.id, 7);
    copy = bc; // a moved-from container is usable again
    EXPECT_TRUE(copy.SameContent(bc));
    copy.MergeFrom(moved);
    EXPECT_EQ(copy.Keys(), bc.Keys()) << "merging known keys keeps the order";
    EXPECT_EQ(copy.GetInt32(3), -3);
    copy.MergeFrom(copy);
    EXPECT_EQ(copy.Keys(), bc.Keys());

    // Small containers (searched in place) after shrinking from a large one.
    Container small = bc;
    for (int32_t key : small.Keys())
        if (key > 9)
            small.Remove(key);
    EXPECT_EQ(small.Keys(), (std::vector<int32_t>{9, 6, 3, 1, 5}));
    for (int32_t k = 100; k < 140; ++k)
        small.SetInt32(k, k);
    EXPECT_EQ(small.GetInt32(139), 139);
    EXPECT_EQ(small.GetInt32(6), 2);
    EXPECT_EQ(small.entries.size(), 45u);
}

TEST(HostContainer, TableOperationsCopyAndCountAModuleContainer) {
    hostsim::Host host;
    const C4D_ContainerTable& t = *host.Api().container;
    C4D_Container* a = t.Alloc(5);
    C4D_Container* b = t.Alloc(0);
    ASSERT_TRUE(a && b);
    t.SetInt32(a, 7000, 6001);
    t.SetFloat(a, 5008, 333.5);
    ASSERT_TRUE(t.CopyTo(b, a));
    EXPECT_EQ(t.GetId(b), 5);
    EXPECT_EQ(t.GetCount(b), 2);
    EXPECT_EQ(t.GetIndexId(b, 1), 5008);
    EXPECT_EQ(t.GetIndexId(b, 2), 0);
    EXPECT_EQ(t.GetFloat(b, 5008, 0.0), 333.5);
    t.Free(a);
    t.Free(b);
    t.Free(b);
    ASSERT_EQ(host.Violations().size(), 1u) << "the second Free of the same container";
    EXPECT_TRUE(host.LiveObjects().empty());
}

TEST(HostFiles, JoinDirectoryAndCopyUseThePlatformSeparator) {
    hostsim::Host host;
    const C4D_FileTable& f = *host.Api().file;
    auto text = [&](C4D_HString str) {
        std::string t = host.StringText(str);
        host.ReleaseString(str);
        return t;
    };
    C4D_Filename a, b;
    f.Construct(&a);
    f.Construct(&b);
    EXPECT_EQ(f.GetString(&a), nullptr) << "an empty file name has no text";
    const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string root = std::string(1, sep) + "plugins" + sep + "corvel";
    C4D_HString rootText = host.NewString(root);
    C4D_HString part = host.NewString("res");
    ASSERT_TRUE(f.SetString(&a, rootText));
    ASSERT_TRUE(f.Join(&b, &a, part));
    ASSERT_TRUE(f.Join(&b, &b, part)) << "dst may be the base";
    EXPECT_EQ(text(f.GetString(&b)), root + sep + "res" + sep + "res");
    ASSERT_TRUE(f.GetDirectory(&a, &b));
    EXPECT_EQ(text(f.GetString(&a)), root + sep + "res");
    ASSERT_TRUE(f.CopyTo(&b, &a));
    EXPECT_EQ(text(f.GetString(&b)), root + sep + "res");
    host.ReleaseString(rootText);
    host.ReleaseString(part);
    f.Destruct(&a);
    f.Destruct(&b);
    f.Destruct(&b);
    EXPECT_TRUE(host.LiveObjects().empty());
    EXPECT_TRUE(host.Violations().empty()) << "destructing an emptied file name is harmless";
}

TEST(HostPrefsFile, RoundTripsEveryValueExactly) {
    std::map<int32_t, Container> prefs;
    prefs[1027069].SetInt32(7000, -2147483647 - 1);
    prefs[1027069].SetBool(7005, true);
    prefs[1027069].SetFloat(7006, 0.1);
    prefs[5].id = 9;
    std::map<int32_t, Container> back;
    std::string why;
    ASSERT_TRUE(hostsim::ParsePrefs(hostsim::FormatPrefs(prefs), &back, &why)) << why;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(back[1027069].SameContent(prefs[1027069]));
    EXPECT_EQ(back[5].id, 9);
    EXPECT_EQ(back[1027069].GetFloat(7006), 0.1);
}

TEST(HostPrefsFile, RejectsDamagedFilesWithAReason) {
    const std::string good = "corvel-host-prefs 1\ncontainer 1 0 1\ni 7000 6001\nend 1\n";
    struct Case {
        std::string text;
        std::string reason;
    };
    const Case cases[] = {
        {"", "empty"},
        {"corvel-host-prefs 2\nend 0\n", "unsupported version 2"},
        {"corvel-host-prefs 1\ncontainer 1 0 1\ni 7000 6001\n", "truncated"},
        {"corvel-host-prefs 1\ncontainer 1 0 2\ni 7000 6001\nend 1\n", "fewer entries"},
        {"corvel-host-prefs 1\ncontainer 1 0 1\nb 7000 2\nend 1\n", "bad Bool"},
        {"corvel-host-prefs 1\ncontainer 1 0 1\ni 7000 99999999999\nend 1\n", "bad Int32"},
        {"corvel-host-prefs 1\ncontainer 1 0 2\ni 7000 1\ni 7000 2\nend 1\n", "stored twice"},
        {"something else\n", "not a preferences file"},
    };
    std::map<int32_t, Container> prefs;
    std::string why;
    ASSERT_TRUE(hostsim::ParsePrefs(good, &prefs, &why)) << why;
    for (const Case& c : cases) {
        why.clear();
        EXPECT_FALSE(hostsim::ParsePrefs(c.text, &prefs, &why)) << c.text;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
}

TEST(HostPrefsFile, ACorruptFileIsReportedAndTheHostStartsWithNoPreferences) {
    const auto path = std::filesystem::temp_directory_path() / "corvel-prefs-corrupt-test.txt";
    {
        std::ofstream out(path);
        out << "corvel-host-prefs 1\ncontainer 1027069 0 5\ni 7000 6001\n";
    }
    hostsim::HostOptions options;
    options.prefsFile = path.u8string();
    {
        hostsim::Host host(options);
        EXPECT_EQ(host.WorldPluginData(1027069), nullptr);
        ASSERT_FALSE(host.Log().empty());
        EXPECT_NE(host.Log().back().find("unreadable"), std::string::npos) << host.Log().back();
        // A store replaces the damaged file with a sound one, after copying it aside.
        Container bc;
        bc.SetBool(7005, true);
        host.SetWorldPluginData(1027069, bc);
    }
    {
        hostsim::Host host(options);
        ASSERT_NE(host.WorldPluginData(1027069), nullptr);
        EXPECT_TRUE(host.WorldPluginData(1027069)->GetBool(7005));
    }
    std::filesystem::remove(path);
    auto copy = path;
    copy += ".unreadable";
    EXPECT_TRUE(std::filesystem::remove(copy));
}

TEST(HostResources, SymbolsFollowThePreviousValueAndSkipComments) {
    std::map<std::string, int32_t> symbols;
    std::string why;
    ASSERT_TRUE(hostsim::ParseSymbols("#ifndef X\n// ids\nenum {\n  DLG_A = 10001, /* first */ G_B, G_C,\n"
                                      "  IDS_X = 0x4e20,\n  _DUMMY_ELEMENT_\n};\n#endif\n",
                                      "c4d_symbols.h", &symbols, &why))
        << why;
    EXPECT_EQ(symbols.at("G_B"), 10002);
    EXPECT_EQ(symbols.at("G_C"), 10003);
    EXPECT_EQ(symbols.at("IDS_X"), 20000);
    EXPECT_EQ(symbols.at("_DUMMY_ELEMENT_"), 20001);
}

TEST(HostResources, MalformedFilesAreRejectedWithFileAndLine) {
    std::map<std::string, int32_t> symbols{{"IDS_A", 20000}};
    std::map<int32_t, std::string> strings;
    std::map<std::string, int32_t> parsed;
    std::string why;
    EXPECT_FALSE(hostsim::ParseSymbols("enum { A = 1, A = 2 };", "s.h", &parsed, &why));
    EXPECT_NE(why.find("declared twice"), std::string::npos) << why;
    EXPECT_FALSE(hostsim::ParseStringTable("STRINGTABLE {\n IDS_A \"unterminated;\n}", "c.str", symbols, &strings, &why));
    EXPECT_NE(why.find("c.str:2:"), std::string::npos) << why;
    EXPECT_FALSE(hostsim::ParseStringTable("STRINGTABLE { IDS_A \"x\" }", "c.str", symbols, &strings, &why));
    EXPECT_NE(why.find("expected ';'"), std::string::npos) << why;
    hostsim::DialogDescription dialog;
    EXPECT_FALSE(hostsim::ParseDialog("DIALOG IDS_A { GROUP { CHECKBOX 5 { NAME X; }", "d.res", symbols, {}, &dialog, &why));
    EXPECT_NE(why.find("missing '}'"), std::string::npos) << why;
}

TEST(HostResources, StringEscapesBecomeUtf8) {
    std::map<int32_t, std::string> strings;
    std::string why;
    ASSERT_TRUE(hostsim::ParseStringTable("STRINGTABLE { 20000 \"Caf\\u00e9 \\\"1\\\"\"; }", "c.str", {}, &strings, &why))
        << why;
    EXPECT_EQ(strings.at(20000), "Caf\xc3\xa9 \"1\"");
}

TEST(HostResources, TheShippedResourceFolderLoadsWithItsDialog) {
    hostsim::Resource res;
    std::string why;
    const std::string folder = std::string(CORVEL_SOURCE_DIR) + "/res";
    ASSERT_TRUE(hostsim::LoadResourceFolder(folder, &res, &why)) << why;
    EXPECT_EQ(res.strings.count(20000), 1u);
    EXPECT_EQ(res.strings.count(20001), 1u);
    hostsim::DialogDescription dialog;
    ASSERT_TRUE(hostsim::LoadDialogDescription(res, 10001, &dialog, &why)) << why;
    EXPECT_FALSE(dialog.elements.empty());
}

} // namespace
