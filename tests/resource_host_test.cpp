// The module's resource folder written the way other tools and older systems write it: the
// stand-in host must load it, build the dialog and say on its log what is off.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "hostsim/host.h"
#include "hostsim/resource_files.h"
#include "plugin_folder.h"
#include "corvel_facts.h"

namespace {

using corvel_test::kCorvelId;

using corvel_test::PluginFolder;


class ResourceOnTheHost : public ::testing::Test {
protected:
    void Start(const std::function<void(const PluginFolder&)>& prepare) {
        prepare(copy_);
        host_ = std::make_unique<hostsim::Host>();
        ASSERT_TRUE(host_->Load(copy_.Module())) << host_->LastError();
        ASSERT_EQ(host_->Startup().start, 1);
    }

    void TearDown() override {
        if (host_) {
            EXPECT_TRUE(host_->Shutdown().empty());
        }
    }

    std::string Read(const std::string& relative) const {
        std::ifstream in(std::filesystem::u8path(copy_.Path(relative)), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    bool Logged(const std::string& part) const {
        return std::any_of(host_->Log().begin(), host_->Log().end(), [&](std::string line) {
            std::replace(line.begin(), line.end(), '\\', '/');
            return line.find(part) != std::string::npos;
        });
    }

    std::string LogText() const {
        std::string out;
        for (const std::string& line : host_->Log())
            out += line + "\n";
        return out;
    }

    PluginFolder copy_;
    std::unique_ptr<hostsim::Host> host_;
};

TEST_F(ResourceOnTheHost, StaticLabelsAreBuiltButAreNoGadgets) {
    Start([this](const PluginFolder& folder) {
        std::string text = Read("res/dialogs/dlg_corvel.res");
        for (std::string::size_type at = 0; (at = text.find("STATICTEXT {", at)) != std::string::npos;)
            text.replace(at, 12, "STATICTEXT IDC_STATIC {");
        folder.Write("res/dialogs/dlg_corvel.res", text);
    });
    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId)) << LogText();
    hostsim::DialogWindow* w = host_->ActiveWindow();
    ASSERT_NE(w, nullptr) << LogText();
    EXPECT_EQ(w->gadgets.count(hostsim::kStaticId), 0u);
    EXPECT_EQ(w->gadgets.size(), 31u); // 10002 to 10033, 10011 unused: the same as without the static ids
    host_->UserClose(w);
}

TEST_F(ResourceOnTheHost, FileNamesInAnotherCaseAreFound) {
    Start([](const PluginFolder& folder) {
        std::filesystem::rename(std::filesystem::u8path(folder.Path("res/dialogs/dlg_corvel.res")),
                                std::filesystem::u8path(folder.Path("res/dialogs/DLG_Corvel.res")));
        std::filesystem::rename(std::filesystem::u8path(folder.Path("res/strings_en-US")),
                                std::filesystem::u8path(folder.Path("res/Strings_en-us")));
    });
    EXPECT_EQ(host_->FindCommand(kCorvelId)->name, "Corvel");
    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId)) << LogText();
    hostsim::DialogWindow* w = host_->ActiveWindow();
    ASSERT_NE(w, nullptr) << LogText();
    EXPECT_EQ(w->gadgets.at(10032).name, "Render");
    host_->UserClose(w);
}

TEST_F(ResourceOnTheHost, UndeclaredStringIdLeavesTheTableUsableAndIsLogged) {
    Start([](const PluginFolder& folder) {
        folder.Write("res/strings_en-US/c4d_strings.str",
                     "STRINGTABLE\n{\n\tIDS_CORVEL_NAME \"Corvel\";\n\tIDS_NOT_DECLARED \"x\";\n}\n");
    });
    EXPECT_EQ(host_->FindCommand(kCorvelId)->name, "Corvel");
    EXPECT_TRUE(Logged("c4d_strings.str:4:2: warning: string id 'IDS_NOT_DECLARED' is not declared")) << LogText();
}

TEST_F(ResourceOnTheHost, DialogWithoutItsStringsOpensWithRawKeysAndIsLogged) {
    Start([](const PluginFolder& folder) { folder.Remove("res/strings_en-US/dialogs/dlg_corvel.str"); });
    ASSERT_TRUE(host_->ExecuteCommand(kCorvelId));
    hostsim::DialogWindow* w = host_->ActiveWindow();
    ASSERT_NE(w, nullptr) << LogText();
    EXPECT_EQ(w->gadgets.at(10032).name, "T_RENDER_BUTTON");
    EXPECT_TRUE(Logged("dialog 10001: ")) << LogText();
    EXPECT_TRUE(Logged("strings_en-US/dialogs/dlg_corvel.str: warning: missing: dialog DLG_CORVEL has no texts"))
        << LogText();
    host_->UserClose(w);
}

} // namespace
