// The Corvel dialog as the user meets it: the combo boxes and the menu bar that each opening
// builds, the gadgets that follow the choices they depend on, what the window keeps between
// openings, the menu entries (About box, help file), and that nothing happens without an active
// document.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/host.h"
#include "plugin_folder.h"
#include "corvel_facts.h"

namespace {

using corvel_test::kCorvelId;
using corvel_test::kNoSettingsLine;
using corvel_test::kRenderButton;
using corvel_test::kResetSettings;
using corvel_test::kSaveSettings;

using corvel_test::PluginFolder;
using hostsim::MenuItem;

constexpr int32_t kAbout = 5100;
constexpr int32_t kHelpFile = 5110;
constexpr int32_t kCloseButton = 10033;
constexpr int32_t kQualityBox = 10010;

// Combo boxes and their entries (value, text), in the order the dialog shows them.
using Entries = std::vector<std::pair<int32_t, std::string>>;
const std::vector<std::pair<int32_t, Entries>> kComboBoxes = {
    {10008, {{6000, "None"}, {6001, "Geometry"}, {6002, "Best"}}},
    {10009, {{6010, "Still"}, {6011, "Animation"}}},
    {10002, {{6020, "Current frame"}, {6021, "Preview range"}, {6023, "All"}}},
    {10003, {{6030, "Editor"}, {6031, "Picture Viewer"}}},
    {10004, {{6041, "1:1"}, {6042, "1:2"}, {6043, "1:3"}, {6044, "1:4"}, {6048, "1:8"}, {6056, "1:16"}}},
    {kQualityBox, {{6070, "Low - no filter"}, {6073, "Low"}, {6075, "No change"}}},
};

// The boxes as the module under test fills them: the macOS build leaves the quality box empty.
std::vector<std::pair<int32_t, Entries>> ExpectedComboBoxes() {
    auto boxes = kComboBoxes;
    if (corvel_test::ModuleIsForMacOS())
        boxes.back().second.clear();
    return boxes;
}

// The eight effect switches under the master switch 10023.
const std::vector<int32_t> kEffectSwitches = {10024, 10025, 10026, 10027, 10028, 10029, 10030, 10031};

// Disabled with the factory defaults: antialiasing "None" (10009), keepParams6017 off (10016),
// output "Editor" (10004, 10012, 10013).
const std::set<int32_t> kDisabledByDefault = {10004, 10009, 10012, 10013, 10016};

std::set<int32_t> Plus(std::set<int32_t> s, std::initializer_list<int32_t> more) {
    s.insert(more);
    return s;
}

std::set<int32_t> Minus(std::set<int32_t> s, std::initializer_list<int32_t> less) {
    for (int32_t id : less)
        s.erase(id);
    return s;
}

std::vector<MenuItem> ExpectedMenu() {
    using K = MenuItem::Kind;
    return {
        {K::SubBegin, 0, "File"},          {K::String, 5055, "Save Settings"},
        {K::String, 5050, "Reset settings"}, {K::Separator, 0, ""},
        {K::Command, 12097, ""},           {K::SubEnd, 0, ""},
        {K::SubBegin, 0, "Help"},          {K::String, 5100, "About Corvel..."},
        {K::String, 5110, "Show Help File (.PDF)..."}, {K::SubEnd, 0, ""},
    };
}

std::string Describe(const std::vector<MenuItem>& menu) {
    std::ostringstream out;
    for (const MenuItem& m : menu)
        out << "[" << static_cast<int>(m.kind) << " " << m.id << " '" << m.text << "'] ";
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

class DialogTest : public ::testing::Test {
protected:
    // Starts a host on a fresh copy of the module. `stored` goes into the host's preferences
    // first; `prepare` may change the plug-in folder before the module is loaded.
    void Start(const hostsim::Container* stored = nullptr,
               const std::function<void(const PluginFolder&)>& prepare = {}) {
        copy_ = std::make_unique<PluginFolder>();
        if (prepare)
            prepare(*copy_);
        host_ = std::make_unique<hostsim::Host>();
        if (stored)
            host_->SetWorldPluginData(kCorvelId, *stored);
        ASSERT_TRUE(host_->Load(copy_->Module())) << host_->LastError();
        ASSERT_EQ(host_->Startup().start, 1);
    }

    void TearDown() override {
        if (!host_)
            return;
        for (const hostsim::LiveObject& leak : host_->Shutdown())
            ADD_FAILURE() << "left on the host: " << hostsim::AllocKindName(leak.kind) << " " << leak.what;
        EXPECT_TRUE(host_->Violations().empty()) << "first misuse: " << host_->Violations().front();
    }

    hostsim::DialogWindow* Open() {
        EXPECT_TRUE(host_->ExecuteCommand(kCorvelId));
        hostsim::DialogWindow* w = host_->ActiveWindow();
        EXPECT_NE(w, nullptr);
        return w;
    }

    // Closes the window as the user and opens it again through the command.
    hostsim::DialogWindow* Reopen(hostsim::DialogWindow* w) {
        EXPECT_TRUE(host_->UserClose(w));
        EXPECT_FALSE(w->open);
        return Open();
    }

    // Every gadget of the window that is disabled now.
    static std::set<int32_t> Disabled(const hostsim::DialogWindow* w) {
        std::set<int32_t> out;
        for (const auto& g : w->gadgets)
            if (!g.second.enabled)
                out.insert(g.first);
        return out;
    }

    // The values of all check boxes and combo boxes (the quality box left out), to compare.
    static std::map<int32_t, int32_t> Values(const hostsim::DialogWindow* w) {
        std::map<int32_t, int32_t> out;
        for (const auto& g : w->gadgets) {
            if (g.first == kQualityBox)
                continue;
            if (g.second.kind == hostsim::GadgetKind::Check)
                out[g.first] = g.second.boolValue ? 1 : 0;
            else if (g.second.kind == hostsim::GadgetKind::Combo)
                out[g.first] = g.second.intValue;
        }
        return out;
    }

    static bool Checked(const hostsim::DialogWindow* w, int32_t gadget) { return w->gadgets.at(gadget).boolValue; }
    static int32_t Chosen(const hostsim::DialogWindow* w, int32_t gadget) { return w->gadgets.at(gadget).intValue; }

    std::unique_ptr<PluginFolder> copy_;
    std::unique_ptr<hostsim::Host> host_;
};

// ---- What each opening builds ----------------------------------------------------------------

using DialogLayoutTest = DialogTest;

TEST_F(DialogLayoutTest, OpeningFillsTheComboBoxesBuildsTheMenuBarAndNamesThePluginFolder) {
    Start();
    host_->ClearConsole();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);

    EXPECT_EQ(host_->Console(), std::vector<std::string>{copy_->Folder()});
    for (const auto& box : ExpectedComboBoxes()) {
        ASSERT_EQ(w->gadgets.count(box.first), 1u) << "combo box " << box.first;
        const hostsim::Gadget& g = w->gadgets.at(box.first);
        EXPECT_EQ(g.kind, hostsim::GadgetKind::Combo) << box.first;
        EXPECT_EQ(g.children, box.second) << "entries of combo box " << box.first;
    }
    EXPECT_EQ(w->menu, ExpectedMenu()) << Describe(w->menu);
    EXPECT_TRUE(w->menuFinished);

    // The record's values are shown with the full Int32 range and without a third state.
    for (const auto& box : kComboBoxes) {
        if (box.first == kQualityBox)
            continue;
        const hostsim::Gadget& g = w->gadgets.at(box.first);
        EXPECT_EQ(g.min, INT32_MIN) << box.first;
        EXPECT_EQ(g.max, INT32_MAX) << box.first;
        EXPECT_EQ(g.step, 1) << box.first;
        EXPECT_FALSE(g.tristate) << box.first;
    }
    for (const auto& g : w->gadgets) {
        if (g.second.kind == hostsim::GadgetKind::Check) {
            EXPECT_FALSE(g.second.tristate) << "check box " << g.first;
        }
    }
}

// The entries are the module's own: a dialog description that brings entries of its own for a
// box does not add to them.
TEST_F(DialogLayoutTest, ComboEntriesReplaceThoseOfTheDialogDescription) {
    Start(nullptr, [](const PluginFolder& folder) {
        const std::string path = folder.Path("res/dialogs/dlg_corvel.res");
        std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (const char* box : {"IDC_ANTIALIASING", "IDC_OUTPUT"}) {
            const std::string plain = std::string("COMBOBOX ") + box + " { SCALE_H; }";
            const std::string::size_type at = text.find(plain);
            ASSERT_NE(at, std::string::npos) << plain;
            text.replace(at, plain.size(),
                         std::string("COMBOBOX ") + box +
                             " { SCALE_H; CHILDS { 6000, \"Stale\"; 6099, \"Extra\"; } }");
        }
        folder.Write("res/dialogs/dlg_corvel.res", text);
    });
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    for (const auto& box : kComboBoxes) {
        if (box.first == 10008 || box.first == 10003) {
            EXPECT_EQ(w->gadgets.at(box.first).children, box.second) << "entries of combo box " << box.first;
        }
    }
}

// ---- Gadgets that depend on other choices --------------------------------------------------------

using DialogEnablingTest = DialogTest;

TEST_F(DialogEnablingTest, FactoryDefaultsOpenWithTheirDependentGadgetsDisabled) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
    EXPECT_TRUE(Checked(w, 10012)); // 10013 is disabled by the editor output although 10012 is on
}

TEST_F(DialogEnablingTest, PictureViewerOptionsFollowTheOutputAndTheirSwitch) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    const std::set<int32_t> viewer = Minus(kDisabledByDefault, {10004, 10012, 10013});

    ASSERT_NE(host_->UserSetInt32(w, 10003, 6031), 0); // Picture Viewer, 10012 on
    EXPECT_EQ(Disabled(w), viewer);

    ASSERT_NE(host_->UserSetBool(w, 10012, false), 0);
    EXPECT_EQ(Disabled(w), Plus(viewer, {10013}));

    ASSERT_NE(host_->UserSetInt32(w, 10003, 6030), 0); // Editor
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
    EXPECT_FALSE(Checked(w, 10012));

    ASSERT_NE(host_->UserSetInt32(w, 10003, 6031), 0); // Picture Viewer, 10012 off
    EXPECT_EQ(Disabled(w), Plus(viewer, {10013}));

    ASSERT_NE(host_->UserSetBool(w, 10012, true), 0);
    EXPECT_EQ(Disabled(w), viewer);

    // Values chosen while enabled survive being disabled by the editor output.
    ASSERT_NE(host_->UserSetBool(w, 10013, true), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10004, 6048), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10003, 6030), 0);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
    EXPECT_TRUE(Checked(w, 10012));
    EXPECT_TRUE(Checked(w, 10013));
    EXPECT_EQ(Chosen(w, 10004), 6048);
}

TEST_F(DialogEnablingTest, FilterChoiceIsDisabledOnlyWithoutAntialiasing) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    const std::set<int32_t> withFilter = Minus(kDisabledByDefault, {10009});

    ASSERT_NE(host_->UserSetInt32(w, 10008, 6001), 0);
    EXPECT_EQ(Disabled(w), withFilter);
    ASSERT_NE(host_->UserSetInt32(w, 10009, 6011), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10008, 6002), 0);
    EXPECT_EQ(Disabled(w), withFilter);
    ASSERT_NE(host_->UserSetInt32(w, 10008, 6000), 0);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
    EXPECT_EQ(Chosen(w, 10009), 6011);
}

TEST_F(DialogEnablingTest, ForcingSwitchesFollowTheirKeepSwitches) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);

    ASSERT_NE(host_->UserSetBool(w, 10014, true), 0);
    EXPECT_EQ(Disabled(w), Minus(kDisabledByDefault, {10016}));
    ASSERT_NE(host_->UserSetBool(w, 10016, true), 0);
    ASSERT_NE(host_->UserSetBool(w, 10014, false), 0);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
    EXPECT_TRUE(Checked(w, 10016));

    ASSERT_NE(host_->UserSetBool(w, 10017, true), 0);
    ASSERT_NE(host_->UserSetBool(w, 10015, false), 0);
    EXPECT_EQ(Disabled(w), Plus(kDisabledByDefault, {10017}));
    EXPECT_TRUE(Checked(w, 10017));
    ASSERT_NE(host_->UserSetBool(w, 10015, true), 0);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
}

// Switching the effects off as a whole keeps each effect's own choice: it is still saved, shown
// at the next opening, and back in force when the master switch is on again.
TEST_F(DialogEnablingTest, EffectSwitchesFollowTheMasterSwitchAndKeepTheirValues) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    // Gadget, preferences key, the value chosen (not the factory default for all of them).
    const std::vector<std::pair<int32_t, std::pair<int32_t, bool>>> chosen = {
        {10024, {7016, true}},  {10025, {7017, false}}, {10026, {7018, true}}, {10027, {7019, false}},
        {10028, {7020, true}},  {10029, {7022, false}}, {10030, {7021, true}}, {10031, {7023, true}},
    };
    for (const auto& c : chosen)
        ASSERT_NE(host_->UserSetBool(w, c.first, c.second.second), 0) << c.first;

    const std::set<int32_t> effectsOff = Plus(kDisabledByDefault, {10024, 10025, 10026, 10027, 10028, 10029, 10030, 10031});
    ASSERT_NE(host_->UserSetBool(w, 10023, false), 0);
    EXPECT_EQ(Disabled(w), effectsOff);
    for (const auto& c : chosen)
        EXPECT_EQ(Checked(w, c.first), c.second.second) << c.first;

    host_->UserAction(w, kSaveSettings);
    const hostsim::Container* stored = host_->WorldPluginData(kCorvelId);
    ASSERT_NE(stored, nullptr);
    EXPECT_FALSE(stored->GetBool(7015, true));
    for (const auto& c : chosen)
        EXPECT_EQ(stored->GetBool(c.second.first, !c.second.second), c.second.second) << "key " << c.second.first;

    w = Reopen(w);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Disabled(w), effectsOff);
    for (const auto& c : chosen)
        EXPECT_EQ(Checked(w, c.first), c.second.second) << c.first;

    ASSERT_NE(host_->UserSetBool(w, 10023, true), 0);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
    for (const auto& c : chosen)
        EXPECT_EQ(Checked(w, c.first), c.second.second) << c.first;
}

// Opening and "Reset settings" both show the enabled state of the record they show, not of the
// gadgets' previous state.
TEST_F(DialogEnablingTest, OpeningAndResetEnableByTheRecordShown) {
    hostsim::Container stored;
    stored.SetInt32(7000, 6001);  // antialiasing Geometry: 10009 enabled
    stored.SetInt32(7003, 6031);  // Picture Viewer: 10004, 10012 enabled
    stored.SetBool(7026, false);  // setParam7004 off: 10013 disabled
    stored.SetBool(7008, true);   // keepParams6017 on: 10016 enabled
    stored.SetBool(7010, false);  // keepParam6019 off: 10017 disabled
    stored.SetBool(7015, false);  // keepEffects off: 10024 to 10031 disabled
    Start(&stored);
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    const std::set<int32_t> fromStored = {10013, 10017, 10024, 10025, 10026, 10027, 10028, 10029, 10030, 10031};
    EXPECT_EQ(Disabled(w), fromStored);

    ASSERT_NE(host_->UserSetInt32(w, 10003, 6030), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10008, 6000), 0);
    ASSERT_NE(host_->UserSetBool(w, 10015, true), 0);
    ASSERT_NE(host_->UserSetBool(w, 10014, false), 0);
    ASSERT_NE(host_->UserSetBool(w, 10023, true), 0);
    EXPECT_EQ(Disabled(w), (std::set<int32_t>{10004, 10009, 10012, 10013, 10016}));

    ASSERT_NE(host_->UserAction(w, kResetSettings), 0);
    EXPECT_EQ(Disabled(w), fromStored);
    EXPECT_EQ(Chosen(w, 10003), 6031);
    EXPECT_FALSE(Checked(w, 10023));
}

// ---- The window between openings ------------------------------------------------------------

using DialogLifecycleTest = DialogTest;

// The record lives as long as the host runs: a second opening shows what the first one left,
// saved or not, and builds its combo boxes and menu bar afresh rather than on top of the old ones.
TEST_F(DialogLifecycleTest, SecondOpeningShowsTheUnsavedValuesOfTheFirst) {
    Start();
    host_->ClearConsole();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(host_->UserSetInt32(w, 10003, 6031), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10004, 6056), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10008, 6002), 0);
    ASSERT_NE(host_->UserSetInt32(w, 10002, 6023), 0);
    ASSERT_NE(host_->UserSetBool(w, 10005, true), 0);
    ASSERT_NE(host_->UserSetBool(w, 10023, false), 0);
    const std::map<int32_t, int32_t> shown = Values(w);
    const std::set<int32_t> disabled = Disabled(w);

    // The close button closes the window; the host's close request is never refused.
    ASSERT_NE(host_->UserAction(w, kCloseButton), 0);
    EXPECT_FALSE(w->open);
    w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Values(w), shown);
    EXPECT_EQ(Disabled(w), disabled);

    w = Reopen(w);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Values(w), shown);
    EXPECT_EQ(Disabled(w), disabled);
    EXPECT_EQ(w->menu, ExpectedMenu()) << Describe(w->menu);
    for (const auto& box : ExpectedComboBoxes())
        EXPECT_EQ(w->gadgets.at(box.first).children, box.second) << "entries of combo box " << box.first;

    EXPECT_EQ(host_->Console(), std::vector<std::string>(3, copy_->Folder()));
    EXPECT_EQ(host_->PrefsSaves(), 0);
    EXPECT_EQ(host_->WorldPluginData(kCorvelId), nullptr);
}

TEST_F(DialogLifecycleTest, ClosingIsNeverRefused) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(host_->UserClose(w));
    EXPECT_FALSE(w->open);

    w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(host_->UserSetBool(w, 10005, true), 0); // unsaved change
    EXPECT_TRUE(host_->UserClose(w));
    EXPECT_FALSE(w->open);

    w = Open();
    ASSERT_NE(w, nullptr);
    host_->SetActiveDocument(nullptr);
    EXPECT_TRUE(host_->UserClose(w));
    EXPECT_FALSE(w->open);
}

// The messages the dialog leaves to its base: a timer tick is answered 1, 'inta' asks the host's
// interaction check with (1, 1, 1) and is answered 0, the visibility marks and unknown messages
// are answered 0, a core message is answered true. None of them changes the window or the record.
TEST_F(DialogLifecycleTest, TimerInteractionAndOtherHostMessagesAreAnsweredAsTheirTableSays) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(host_->UserSetBool(w, 10023, false), 0);
    const std::map<int32_t, int32_t> shown = Values(w);
    const std::set<int32_t> disabled = Disabled(w);
    host_->ClearConsole();

    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(10020)), 1) << "timer";
    EXPECT_TRUE(host_->InteractionChecks().empty());
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('i', 'n', 't', 'a'))), 0);
    EXPECT_EQ(host_->InteractionChecks(), (std::vector<std::array<int32_t, 3>>{{1, 1, 1}}));
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('v', 'i', 's', 'F'))), 0);
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('v', 'i', 's', 'T'))), 0);
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('M', 'c', 'i', 'M'))), 1) << "core message";
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('s', 'y', 'n', 'c'))), 1) << "core message";
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('z', 'z', 'z', 'z'))), 0) << "unknown";
    // An action without an id is action 0, which the dialog does not list: answered true.
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('b', 'A', 'C', 'T'))), 1);
    // The layout is built once per opening: a second 'bINI' is answered true without building it
    // again (no folder line on the console).
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('b', 'I', 'N', 'I'))), 1);
    EXPECT_EQ(host_->InteractionChecks().size(), 1u);

    EXPECT_TRUE(w->open);
    EXPECT_EQ(Values(w), shown);
    EXPECT_EQ(Disabled(w), disabled);
    EXPECT_TRUE(host_->Console().empty());
    // The record is untouched too: what a save stores is what was shown before.
    host_->UserAction(w, kSaveSettings);
    ASSERT_NE(host_->WorldPluginData(kCorvelId), nullptr);
    EXPECT_FALSE(host_->WorldPluginData(kCorvelId)->GetBool(7015));

    // After the window is destroyed, value initialisation waits for a new layout: 'bVIN' is
    // answered true and shows nothing.
    ASSERT_TRUE(host_->UserClose(w));
    w->gadgets.at(10023).boolValue = true;
    EXPECT_EQ(host_->SendDialogMessage(w, hostsim::Container(C4D_FOURCC('b', 'V', 'I', 'N'))), 1);
    EXPECT_TRUE(w->gadgets.at(10023).boolValue) << "the record was shown without a layout";
}

// ---- Actions ------------------------------------------------------------------------------------

using DialogActionTest = DialogTest;

// Without an active document every action answers false and is ignored: no field is copied, no
// gadget is enabled or disabled, no menu entry acts. Once there is a document again, an action
// copies its own gadget only.
TEST_F(DialogActionTest, WithoutADocumentActionsAnswerFalseAndChangeNothing) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    const std::map<int32_t, int32_t> before = Values(w);
    hostsim::Document* document = host_->ActiveDocument();
    ASSERT_NE(document, nullptr);
    host_->SetActiveDocument(nullptr);
    host_->ClearConsole();

    EXPECT_EQ(host_->UserSetBool(w, 10023, false), 0);
    EXPECT_EQ(host_->UserSetInt32(w, 10003, 6031), 0);
    EXPECT_EQ(host_->UserSetInt32(w, 10008, 6002), 0);
    EXPECT_EQ(host_->UserSetBool(w, 10005, true), 0);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);

    EXPECT_EQ(host_->UserAction(w, kSaveSettings), 0);
    EXPECT_EQ(host_->UserAction(w, kResetSettings), 0);
    EXPECT_EQ(host_->UserAction(w, kAbout), 0);
    EXPECT_EQ(host_->UserAction(w, kHelpFile), 0);
    EXPECT_EQ(host_->UserAction(w, kRenderButton), 0);
    EXPECT_EQ(host_->UserAction(w, kCloseButton), 0);
    EXPECT_TRUE(w->open);
    EXPECT_EQ(host_->PrefsSaves(), 0);
    EXPECT_EQ(host_->WorldPluginData(kCorvelId), nullptr);
    EXPECT_TRUE(host_->Console().empty()); // a reset would have reported the missing settings
    EXPECT_TRUE(host_->MessageBoxes().empty());
    EXPECT_TRUE(host_->ExecutedFiles().empty());
    EXPECT_TRUE(host_->CommandCalls().empty());
    // A reset would have shown the record again.
    EXPECT_FALSE(Checked(w, 10023));
    EXPECT_TRUE(Checked(w, 10005));
    EXPECT_EQ(Chosen(w, 10003), 6031);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);

    host_->SetActiveDocument(document);
    ASSERT_NE(host_->UserSetBool(w, 10006, true), 0);
    w = Reopen(w);
    ASSERT_NE(w, nullptr);
    std::map<int32_t, int32_t> expected = before;
    expected[10006] = 1;
    EXPECT_EQ(Values(w), expected);
    EXPECT_EQ(Disabled(w), kDisabledByDefault);
}

TEST_F(DialogActionTest, AboutBoxNamesVersionAndDate) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    host_->ClearConsole();
    EXPECT_NE(host_->UserAction(w, kAbout), 0);
    ASSERT_EQ(host_->MessageBoxes().size(), 1u);
    EXPECT_EQ(host_->MessageBoxes()[0].flags, 48);
    const std::string& text = host_->MessageBoxes()[0].text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 5u) << text;
    EXPECT_EQ(lines[0], "Corvel v1.2");
    EXPECT_EQ(lines[1], "November 1st 2021");
    EXPECT_EQ(lines[2], "");
    EXPECT_FALSE(lines[3].empty()); // the author
    EXPECT_FALSE(lines[4].empty()); // where the latest version is
    EXPECT_TRUE(host_->Console().empty());
    EXPECT_TRUE(w->open);
}

TEST_F(DialogActionTest, HelpFileIsOpenedFromThePluginFolder) {
    Start(nullptr, [](const PluginFolder& folder) { folder.Write("Corvel.pdf", "%PDF-1.4\n%%EOF\n"); });
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_NE(host_->UserAction(w, kHelpFile), 0);
    EXPECT_EQ(host_->ExecutedFiles(), std::vector<std::string>{copy_->Path("Corvel.pdf")});
}

TEST_F(DialogActionTest, MissingHelpFileIsNotReported) {
    Start();
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_NE(host_->UserSetBool(w, 10005, true), 0);
    const std::map<int32_t, int32_t> shown = Values(w);
    const std::set<int32_t> disabled = Disabled(w);
    host_->ClearConsole();

    EXPECT_NE(host_->UserAction(w, kHelpFile), 0);
    EXPECT_EQ(host_->ExecutedFiles(), std::vector<std::string>{copy_->Path("Corvel.pdf")});
    EXPECT_TRUE(host_->Console().empty());
    EXPECT_TRUE(host_->MessageBoxes().empty());
    EXPECT_TRUE(w->open);
    EXPECT_EQ(Values(w), shown);
    EXPECT_EQ(Disabled(w), disabled);
}

// The quality box is shown only: its choice reaches neither the record nor the stored
// preferences, and it moves no other gadget.
TEST_F(DialogActionTest, QualityChoiceChangesNothing) {
    if (corvel_test::ModuleIsForMacOS())
        GTEST_SKIP() << "the macOS build offers no quality entries";
    hostsim::Container stored;
    stored.SetInt32(7000, 6001);
    stored.SetInt32(7003, 6031);
    stored.SetInt32(7004, 6042);
    Start(&stored);
    hostsim::DialogWindow* w = Open();
    ASSERT_NE(w, nullptr);
    const std::map<int32_t, int32_t> shown = Values(w);
    const std::set<int32_t> disabled = Disabled(w);

    for (int32_t entry : {6070, 6073, 6075}) {
        EXPECT_NE(host_->UserSetInt32(w, kQualityBox, entry), 0) << entry;
        EXPECT_EQ(Values(w), shown) << entry;
        EXPECT_EQ(Disabled(w), disabled) << entry;
    }
    EXPECT_EQ(host_->PrefsSaves(), 0);
    ASSERT_NE(host_->WorldPluginData(kCorvelId), nullptr);
    EXPECT_TRUE(host_->WorldPluginData(kCorvelId)->SameContent(stored));

    // The record the window shows at the next opening is the one from before the choices.
    w = Reopen(w);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Values(w), shown);
    EXPECT_EQ(Disabled(w), disabled);

    // A save after a choice stores the same container as one without it.
    host_->UserAction(w, kSaveSettings);
    ASSERT_NE(host_->WorldPluginData(kCorvelId), nullptr);
    const hostsim::Container first = *host_->WorldPluginData(kCorvelId);
    EXPECT_NE(host_->UserSetInt32(w, kQualityBox, 6070), 0);
    host_->UserAction(w, kSaveSettings);
    EXPECT_TRUE(host_->WorldPluginData(kCorvelId)->SameContent(first))
        << host_->WorldPluginData(kCorvelId)->Describe() << " vs " << first.Describe();
}

} // namespace
