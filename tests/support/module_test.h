// module_test.h - a GoogleTest fixture that runs the real module in the stand-in host: a private
// copy of the module (PluginFolder) and a Host that has loaded and bound it.
#ifndef CORVEL_TESTS_SUPPORT_MODULE_TEST_H
#define CORVEL_TESTS_SUPPORT_MODULE_TEST_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "corvel_facts.h"
#include "hostsim/host.h"
#include "plugin_folder.h"

namespace corvel_test {

class ModuleTest : public ::testing::Test {
protected:
    // Copies the module (and res/ unless told otherwise) to a folder of its own, creates a host
    // and loads the copy; the test fails at once when the host refuses it.
    hostsim::Host& Load(PluginFolderOptions folderOptions = {}, hostsim::HostOptions hostOptions = {}) {
        folder_ = std::make_unique<PluginFolder>(folderOptions);
        return LoadFolder(std::move(hostOptions));
    }
    // Creates the folder only, so a test can change it before loading.
    PluginFolder& MakeFolder(PluginFolderOptions folderOptions = {}) {
        folder_ = std::make_unique<PluginFolder>(folderOptions);
        return *folder_;
    }
    hostsim::Host& LoadFolder(hostsim::HostOptions hostOptions = {}) {
        host_ = std::make_unique<hostsim::Host>(std::move(hostOptions));
        EXPECT_TRUE(host_->Load(folder_->Module())) << host_->LastError();
        return *host_;
    }
    void TearDown() override {
        if (host_) {
            EXPECT_TRUE(host_->Violations().empty()) << "first misuse: " << host_->Violations().front();
        }
        host_.reset();
        folder_.reset();
    }

    // Console lines printed since `from`.
    std::vector<std::string> ConsoleSince(size_t from) const {
        const auto& all = host_->Console();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end());
    }

    std::unique_ptr<PluginFolder> folder_;
    std::unique_ptr<hostsim::Host> host_;
};

} // namespace corvel_test

#endif // CORVEL_TESTS_SUPPORT_MODULE_TEST_H
