// What the stand-in host does when the module and its resource disagree: a gadget of another kind
// than the module expects, a gadget or a string the resource does not hold. The host refuses what
// cannot be right and says so on its log, so that such a fault shows up and never changes a
// stored choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "module_test.h"
#include "corvel_facts.h"

namespace corvel_test {
namespace {

constexpr int32_t kOutputCombo = 10003;      // stored under key 7003
constexpr int32_t kKeep5202Check = 10005;    // stored under key 7005
constexpr int32_t kPictureViewer = 6031;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Rewrites one file of the plug-in folder, replacing `from` (which must be there) with `to`.
void Edit(const PluginFolder& folder, const std::string& relative, const std::string& from, const std::string& to) {
    std::string text = ReadText(folder.Path(relative));
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from << " not in " << relative;
    text.replace(at, from.size(), to);
    folder.Write(relative, text);
}

bool Logged(const hostsim::Host& host, const std::string& part) {
    return std::any_of(host.Log().begin(), host.Log().end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

class DialogChecksTest : public ModuleTest {
protected:
    // Loads the folder with `stored` as the module's preferences, starts the module and opens its
    // dialog; answers the dialog's window.
    hostsim::DialogWindow* OpenWith(const hostsim::Container& stored) {
        hostsim::Host& host = LoadFolder();
        host.SetWorldPluginData(kCorvelId, stored);
        EXPECT_EQ(host.Startup().start, 1);
        EXPECT_TRUE(host.ExecuteCommand(kCorvelId));
        return host.ActiveWindow();
    }
};

TEST_F(DialogChecksTest, AGadgetOfAnotherKindInTheDescriptionCannotChangeStoredChoices) {
    const PluginFolder& folder = MakeFolder();
    // The description swaps the kinds: the output combo box as a check box, a check box as a
    // combo box.
    Edit(folder, "res/dialogs/dlg_corvel.res", "COMBOBOX IDC_OUTPUT", "CHECKBOX IDC_OUTPUT");
    Edit(folder, "res/dialogs/dlg_corvel.res", "CHECKBOX IDC_KEEP_PARAM5202", "COMBOBOX IDC_KEEP_PARAM5202");
    hostsim::Container stored(0);
    stored.SetInt32(7003, kPictureViewer);
    stored.SetBool(7005, true);
    hostsim::DialogWindow* w = OpenWith(stored);
    ASSERT_NE(w, nullptr);

    ASSERT_NE(host_->UserAction(w, kSaveSettings), 0);
    const hostsim::Container* saved = host_->WorldPluginData(kCorvelId);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->GetInt32(7003), kPictureViewer);
    EXPECT_TRUE(saved->GetBool(7005));
    // Neither gadget took a value of the other kind.
    EXPECT_FALSE(w->gadgets.at(kOutputCombo).boolValue);
    EXPECT_EQ(w->gadgets.at(kKeep5202Check).intValue, 0);
    EXPECT_TRUE(Logged(*host_, "SetInt32: gadget 10003 is a CHECKBOX")) << "no refusal logged";
    EXPECT_TRUE(Logged(*host_, "GetInt32: gadget 10003 is a CHECKBOX"));
    EXPECT_TRUE(Logged(*host_, "SetBool: gadget 10005 is a COMBOBOX"));
    EXPECT_TRUE(Logged(*host_, "GetBool: gadget 10005 is a COMBOBOX"));
}

TEST_F(DialogChecksTest, AsTheUserANumberGoesOnlyToAGadgetThatHoldsOne) {
    MakeFolder();
    hostsim::DialogWindow* w = OpenWith(hostsim::Container(0));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(host_->UserSetInt32(w, kKeep5202Check, 1), 0);
    EXPECT_EQ(host_->UserSetInt32(w, 10033, 1), 0); // the close button
    EXPECT_TRUE(w->open);
    EXPECT_TRUE(Logged(*host_, "user: gadget 10005 is a CHECKBOX, which takes no number"));
}

TEST_F(DialogChecksTest, AGadgetTheDescriptionLacksIsLogged) {
    const PluginFolder& folder = MakeFolder();
    Edit(folder, "res/dialogs/dlg_corvel.res", "CHECKBOX IDC_KEEP_PARAM5202 { NAME T_KEEP_PARAM5202; }", "");
    ASSERT_NE(OpenWith(hostsim::Container(0)), nullptr);
    EXPECT_TRUE(Logged(*host_, "SetBool: the dialog 10001 has no gadget 10005"));
}

TEST_F(DialogChecksTest, AStringTheResourceLacksIsLogged) {
    const PluginFolder& folder = MakeFolder();
    Edit(folder, "res/strings_en-US/c4d_strings.str", "IDS_CORVEL_NAME \"Corvel\";", "");
    LoadFolder();
    host_->Startup();
    ASSERT_NE(host_->FindCommand(kCorvelId), nullptr);
    EXPECT_EQ(host_->FindCommand(kCorvelId)->name, hostsim::kDefaultString);
    EXPECT_TRUE(Logged(*host_, "resource string 20000 is not in ")) << "no line about the missing string";
}

} // namespace
} // namespace corvel_test
