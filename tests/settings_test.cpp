// The settings record as the user and the host's preferences see it: factory defaults on a first
// run, saving exactly keys 7000 to 7027, loading them back in a later run, tolerance of stored
// containers that lack keys or hold unlisted values, and a refused save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/host.h"
#include "plugin_folder.h"
#include "corvel_facts.h"

namespace {

using corvel_test::kCorvelId;
using corvel_test::kNoSettingsLine;
using corvel_test::kResetSettings;
using corvel_test::kSaveSettings;

using corvel_test::PluginFolder;

constexpr const char* kSaveRefused = "Corvel: failed to save the plugin preferences correctly.";

// The stored form of every field: key, gadget, whether it is an Int32, and its factory default.
struct Field {
    int32_t key;
    int32_t gadget;
    bool isInt;
    int32_t preset; // Bool fields: 0 or 1
};

const std::vector<Field> kFields = {
    {7000, 10008, true, 6000}, {7001, 10009, true, 6010}, {7002, 10002, true, 6020},
    {7003, 10003, true, 6030}, {7004, 10004, true, 6041}, {7005, 10005, false, 0},
    {7006, 10006, false, 0},   {7007, 10021, false, 0},   {7008, 10014, false, 0},
    {7009, 10016, false, 0},   {7010, 10015, false, 1},   {7011, 10018, false, 0},
    {7012, 10020, false, 1},   {7013, 10022, false, 0},   {7014, 10019, false, 0},
    {7015, 10023, false, 1},   {7016, 10024, false, 0},   {7017, 10025, false, 0},
    {7018, 10026, false, 0},   {7019, 10027, false, 1},   {7020, 10028, false, 0},
    {7021, 10030, false, 0},   {7022, 10029, false, 0},   {7023, 10031, false, 0},
    {7024, 10017, false, 0},   {7025, 10007, false, 0},   {7026, 10012, false, 1},
    {7027, 10013, false, 0},
};

// A value other than the default for every field (integers from their value sets).
int32_t Changed(const Field& f) {
    if (!f.isInt)
        return f.preset ? 0 : 1;
    switch (f.key) {
    case 7000: return 6002;
    case 7001: return 6011;
    case 7002: return 6023;
    case 7003: return 6031;
    default: return 6048;
    }
}

hostsim::Container StoredWith(int32_t (*value)(const Field&)) {
    hostsim::Container bc;
    for (const Field& f : kFields) {
        if (f.isInt)
            bc.SetInt32(f.key, value(f));
        else
            bc.SetBool(f.key, value(f) != 0);
    }
    return bc;
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
    int n = 0;
    for (const std::string& l : lines)
        n += l == line ? 1 : 0;
    return n;
}

class SettingsTest : public ::testing::Test {
protected:
    // Starts a host on a fresh copy of the module; `stored` is put into its preferences first.
    void Start(const hostsim::Container* stored = nullptr, const std::string& prefsFile = "") {
        host_.reset(); // one host at a time
        copy_ = std::make_unique<PluginFolder>();
        hostsim::HostOptions options;
        options.prefsFile = prefsFile;
        host_ = std::make_unique<hostsim::Host>(options);
        if (stored)
            host_->SetWorldPluginData(kCorvelId, *stored);
        ASSERT_TRUE(host_->Load(copy_->Module())) << host_->LastError();
        ASSERT_EQ(host_->Startup().start, 1);
    }

    hostsim::DialogWindow* OpenDialog() {
        EXPECT_TRUE(host_->ExecuteCommand(kCorvelId));
        hostsim::DialogWindow* window = host_->ActiveWindow();
        EXPECT_NE(window, nullptr);
        return window;
    }

    // What the dialog shows for a field, in the stored form.
    static int32_t Shown(hostsim::DialogWindow* w, const Field& f) {
        const hostsim::Gadget& g = w->gadgets.at(f.gadget);
        return f.isInt ? g.intValue : (g.boolValue ? 1 : 0);
    }

    void ExpectShown(hostsim::DialogWindow* w, int32_t (*value)(const Field&)) {
        for (const Field& f : kFields)
            EXPECT_EQ(Shown(w, f), value(f)) << "gadget " << f.gadget << " (key " << f.key << ")";
    }

    static void ExpectStored(const hostsim::Container* stored, int32_t (*value)(const Field&)) {
        ASSERT_NE(stored, nullptr);
        std::vector<int32_t> keys = stored->Keys();
        std::sort(keys.begin(), keys.end());
        std::vector<int32_t> expected;
        for (int32_t k = 7000; k <= 7027; ++k)
            expected.push_back(k);
        EXPECT_EQ(keys, expected);
        for (const Field& f : kFields) {
            ASSERT_TRUE(stored->TypeOf(f.key).has_value());
            EXPECT_EQ(*stored->TypeOf(f.key), f.isInt ? hostsim::Container::Type::Int32
                                                     : hostsim::Container::Type::Bool)
                << "key " << f.key;
            const int32_t v = f.isInt ? stored->GetInt32(f.key, -1) : (stored->GetBool(f.key) ? 1 : 0);
            EXPECT_EQ(v, value(f)) << "key " << f.key;
        }
    }

    // As the user: gives every field its Changed() value. A disabled gadget can't be changed, so
    // the switches that enable others are set first and those that disable others last.
    void ChangeEveryField(hostsim::DialogWindow* w) {
        for (const Field& f : kFields)
            if (f.isInt)
                host_->UserSetInt32(w, f.gadget, Changed(f));
        host_->UserSetBool(w, 10014, true); // keepParams6017 enables forceParam6020
        for (auto f = kFields.rbegin(); f != kFields.rend(); ++f)
            if (!f->isInt && f->gadget != 10014)
                host_->UserSetBool(w, f->gadget, Changed(*f) != 0);
    }

    static int32_t Preset(const Field& f) { return f.preset; }
    static int32_t Other(const Field& f) { return Changed(f); }

    std::unique_ptr<PluginFolder> copy_;
    std::unique_ptr<hostsim::Host> host_;
};

TEST_F(SettingsTest, FirstRunShowsAndSavesTheFactoryDefaults) {
    Start();
    EXPECT_EQ(Count(host_->Console(), kNoSettingsLine), 1);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    ExpectShown(w, &Preset);
    host_->UserAction(w, kSaveSettings);
    EXPECT_TRUE(host_->MessageBoxes().empty());
    ExpectStored(host_->WorldPluginData(kCorvelId), &Preset);
}

// What one run saves, the next run (a new host process reading the same preferences file)
// shows, every one of the 28 fields.
TEST_F(SettingsTest, SavedSettingsComeBackInTheNextRun) {
    const std::string prefs = (std::filesystem::temp_directory_path() /
                               ("corvel-prefs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                "-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".prefs"))
                                  .u8string();
    std::remove(prefs.c_str());
    Start(nullptr, prefs);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    ChangeEveryField(w);
    host_->UserAction(w, kSaveSettings);
    ExpectStored(host_->WorldPluginData(kCorvelId), &Other);
    EXPECT_TRUE(host_->Shutdown().empty());

    Start(nullptr, prefs);
    EXPECT_EQ(Count(host_->Console(), kNoSettingsLine), 0);
    w = OpenDialog();
    ASSERT_NE(w, nullptr);
    ExpectShown(w, &Other);
    EXPECT_TRUE(host_->Shutdown().empty());
    std::remove(prefs.c_str());
}

// One key at a time, written by the host from another source: each value shows in its own gadget
// and in no other, so two keys swapped (even two Bool keys with the same default) are noticed.
TEST_F(SettingsTest, EachStoredKeyShowsInItsOwnGadget) {
    Start();
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    for (const Field& changed : kFields) {
        hostsim::Container stored;
        if (changed.isInt)
            stored.SetInt32(changed.key, Changed(changed));
        else
            stored.SetBool(changed.key, Changed(changed) != 0);
        host_->SetWorldPluginData(kCorvelId, stored);
        host_->UserAction(w, kResetSettings);
        for (const Field& f : kFields)
            EXPECT_EQ(Shown(w, f), f.key == changed.key ? Changed(f) : f.preset)
                << "only key " << changed.key << " stored; gadget " << f.gadget << " (key " << f.key << ")";
    }
}

// One gadget at a time, as the window shows it (enabled or not): the save stores it under its own
// key and every other key with its default.
TEST_F(SettingsTest, EachGadgetIsSavedUnderItsOwnKey) {
    Start();
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    auto show = [w](const Field& f, int32_t value) {
        hostsim::Gadget& g = w->gadgets.at(f.gadget);
        if (f.isInt)
            g.intValue = value;
        else
            g.boolValue = value != 0;
    };
    for (const Field& changed : kFields) {
        show(changed, Changed(changed));
        host_->UserAction(w, kSaveSettings);
        const hostsim::Container* stored = host_->WorldPluginData(kCorvelId);
        ASSERT_NE(stored, nullptr);
        for (const Field& f : kFields) {
            const int32_t value = f.isInt ? stored->GetInt32(f.key, -1) : (stored->GetBool(f.key) ? 1 : 0);
            EXPECT_EQ(value, f.key == changed.key ? Changed(f) : f.preset)
                << "only gadget " << changed.gadget << " changed; key " << f.key << " (gadget " << f.gadget << ")";
        }
        show(changed, changed.preset);
    }
}

// A change the dialog could not take (no active document, so its action was refused) is still
// saved: the save copies every gadget first, so what is stored is what the window shows.
TEST_F(SettingsTest, SaveStoresWhatTheWindowShowsEvenWhereAnActionWasRefused) {
    Start();
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    hostsim::Document* document = host_->ActiveDocument();
    host_->SetActiveDocument(nullptr);
    EXPECT_EQ(host_->UserSetBool(w, 10005, true), 0) << "without a document the action is refused";
    EXPECT_EQ(host_->UserSetInt32(w, 10002, 6023), 0);
    host_->SetActiveDocument(document);
    host_->UserAction(w, kSaveSettings);
    const hostsim::Container* stored = host_->WorldPluginData(kCorvelId);
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(stored->GetBool(7005));
    EXPECT_EQ(stored->GetInt32(7002, -1), 6023);
}

// A save replaces what was stored as a whole: keys the module does not write do not survive it.
TEST_F(SettingsTest, SaveReplacesTheStoredContainerInsteadOfMergingIntoIt) {
    hostsim::Container stored = StoredWith(&Other);
    stored.SetInt32(7100, 42);
    stored.SetBool(6999, true);
    Start(&stored);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    host_->UserAction(w, kSaveSettings);
    ExpectStored(host_->WorldPluginData(kCorvelId), &Other); // exactly the keys 7000 to 7027
}

TEST_F(SettingsTest, StoredContainerWithoutKeysLoadsTheDefaultsSilently) {
    const hostsim::Container empty;
    Start(&empty);
    EXPECT_EQ(Count(host_->Console(), kNoSettingsLine), 0);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    ExpectShown(w, &Preset);
}

TEST_F(SettingsTest, MissingKeysTakeTheirDefaultsAndTheRestIsKept) {
    hostsim::Container stored = StoredWith(&Other);
    stored.Remove(7026); // setParam7004, default true
    stored.Remove(7015); // keepEffects, default true
    stored.Remove(7000); // antialiasing, default 6000
    Start(&stored);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    for (const Field& f : kFields) {
        const bool missing = f.key == 7026 || f.key == 7015 || f.key == 7000;
        EXPECT_EQ(Shown(w, f), missing ? f.preset : Changed(f)) << "key " << f.key;
    }
}

TEST_F(SettingsTest, UnlistedIntegerIsLoadedAndSavedUnchanged) {
    hostsim::Container stored = StoredWith(&Preset);
    stored.SetInt32(7002, 6022); // frameRange: not an entry of its box
    Start(&stored);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->gadgets.at(10002).intValue, 6022);
    host_->UserAction(w, kSaveSettings);
    ASSERT_NE(host_->WorldPluginData(kCorvelId), nullptr);
    EXPECT_EQ(host_->WorldPluginData(kCorvelId)->GetInt32(7002), 6022);
}

TEST_F(SettingsTest, RefusedSaveWarnsAndLeavesTheStoredSettingsAlone) {
    const hostsim::Container stored = StoredWith(&Preset);
    Start(&stored);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    host_->UserSetBool(w, 10005, true);
    host_->FailNextPrefsSave();
    host_->UserAction(w, kSaveSettings);
    ASSERT_EQ(host_->MessageBoxes().size(), 1u);
    EXPECT_EQ(host_->MessageBoxes()[0].flags, 48);
    EXPECT_EQ(host_->MessageBoxes()[0].text, kSaveRefused);
    ASSERT_NE(host_->WorldPluginData(kCorvelId), nullptr);
    EXPECT_TRUE(host_->WorldPluginData(kCorvelId)->SameContent(stored));
}

// A container that can't be made (or filled) is a failed save, not a save of fewer keys: a
// missing key would quietly turn a choice back into its default at the next start.
TEST_F(SettingsTest, SaveWithoutMemoryForTheContainerIsAFailedSave) {
    const hostsim::Container stored = StoredWith(&Preset);
    Start(&stored);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    const int savesBefore = host_->PrefsSaves();
    host_->FailAllocation(hostsim::AllocKind::Containers, 1);
    host_->UserAction(w, kSaveSettings);
    ASSERT_EQ(host_->MessageBoxes().size(), 1u);
    EXPECT_EQ(host_->MessageBoxes()[0].text, kSaveRefused);
    EXPECT_EQ(host_->PrefsSaves(), savesBefore);
    EXPECT_TRUE(host_->WorldPluginData(kCorvelId)->SameContent(stored));
}

TEST_F(SettingsTest, ResetReturnsToTheLastSavedStateOrTheDefaults) {
    Start();
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);

    // Nothing saved yet: reset reports it and shows the factory defaults.
    host_->UserSetInt32(w, 10008, 6002);
    host_->ClearConsole();
    host_->UserAction(w, kResetSettings);
    EXPECT_EQ(Count(host_->Console(), kNoSettingsLine), 1);
    ExpectShown(w, &Preset);

    // After a save, reset shows what was saved, not the defaults.
    host_->UserSetInt32(w, 10008, 6001);
    host_->UserSetBool(w, 10023, false);
    host_->UserAction(w, kSaveSettings);
    host_->UserSetInt32(w, 10008, 6002);
    host_->UserSetBool(w, 10023, true);
    host_->UserAction(w, kResetSettings);
    EXPECT_EQ(w->gadgets.at(10008).intValue, 6001);
    EXPECT_FALSE(w->gadgets.at(10023).boolValue);
}

// Closing the window or quitting saves nothing.
TEST_F(SettingsTest, ClosingAndQuittingLeaveTheStoredSettingsAlone) {
    const hostsim::Container stored = StoredWith(&Preset);
    Start(&stored);
    hostsim::DialogWindow* w = OpenDialog();
    ASSERT_NE(w, nullptr);
    host_->UserSetBool(w, 10005, true);
    EXPECT_TRUE(host_->UserClose(w));
    EXPECT_TRUE(host_->Shutdown().empty());
    EXPECT_EQ(host_->PrefsSaves(), 0);
    ASSERT_NE(host_->WorldPluginData(kCorvelId), nullptr);
    EXPECT_TRUE(host_->WorldPluginData(kCorvelId)->SameContent(stored));
}

} // namespace
