// The stand-in host's own checks when it binds a module: it accepts a correct registration record,
// refuses each kind of broken one with a message naming the fault, and reports the host objects a
// module leaves behind or frees twice.
#include <gtest/gtest.h>

#include <string>

#include "hostsim/host.h"

namespace {

struct Refusal {
    const char* name;
    const char* module;
    const char* reason; // a part of the refusal message
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class HostRefusesBrokenModules : public ::testing::TestWithParam<Refusal> {};

TEST_P(HostRefusesBrokenModules, WithAMessageNamingTheFault) {
    hostsim::Host host;
    EXPECT_FALSE(host.Load(GetParam().module));
    EXPECT_FALSE(host.Loaded());
    EXPECT_NE(host.LastError().find("refused module"), std::string::npos) << host.LastError();
    EXPECT_NE(host.LastError().find(GetParam().reason), std::string::npos) << host.LastError();
    EXPECT_EQ(host.CallMain(1), -1) << "nothing of a refused module may be called";
}

INSTANTIATE_TEST_SUITE_P(
    Binding, HostRefusesBrokenModules,
    ::testing::Values(
        Refusal{"stamp", CORVEL_FAKE_MODULE_BAD_STAMP, "version stamps are 2022901 and 2022900"},
        Refusal{"identifier", CORVEL_FAKE_MODULE_BAD_ID, "\"Corvel\" is not a reverse-domain name"},
        Refusal{"order", CORVEL_FAKE_MODULE_BAD_ORDER, "dependency 1 of \"com.example.fake.corvel\" is \"net.maxon.command.framework\""},
        Refusal{"count", CORVEL_FAKE_MODULE_EIGHT_DEPS, "lists 8 dependencies, expected 9"},
        Refusal{"hash", CORVEL_FAKE_MODULE_BAD_HASH, "\"net.maxon.core.framework\" has hash 0x1854b7897c12a, expected 0x1854b7897c12b"},
        Refusal{"allocated_bit", CORVEL_FAKE_MODULE_ALLOCATED_BIT, "marks it as allocated"},
        Refusal{"interface", CORVEL_FAKE_MODULE_UNKNOWN_INTERFACE, "unknown host interface \"net.maxon.interface.unknown\""},
        Refusal{"shape", CORVEL_FAKE_MODULE_BAD_SHAPE, "another shape than the host's (2 methods"},
        Refusal{"export", CORVEL_FAKE_MODULE_NO_YIELD, "does not export g_CpuYieldDelegate"},
        // Pointers of a damaged record are checked against the module's mapped image before the
        // host follows them or writes through them.
        Refusal{"wild_entity", CORVEL_FAKE_MODULE_WILD_ENTITY, "the entity list of g_maxon points outside the module (0x10)"},
        Refusal{"wild_text", CORVEL_FAKE_MODULE_WILD_TEXT,
                "a translation unit of \"com.example.fake.corvel\" has an identifier text at 0x1000 that is not a text "
                "inside the module"},
        Refusal{"readonly_slots", CORVEL_FAKE_MODULE_READONLY_SLOTS,
                "the slots of the module's reference to \"net.maxon.interface.string\" are not writable data"}),
    [](const ::testing::TestParamInfo<Refusal>& p) { return std::string(p.param.name); });

TEST(HostBinding, AcceptsACorrectMinimalModuleAndFillsItsInterfaceSlots) {
    hostsim::Host host;
    ASSERT_TRUE(host.Load(CORVEL_FAKE_MODULE_OK)) << host.LastError();
    EXPECT_EQ(host.Binding().pluginModuleId, "com.example.fake.corvel");
    ASSERT_EQ(host.Binding().modules.size(), 1u);
    EXPECT_EQ(host.Binding().modules[0].units.size(), 1u);
    EXPECT_EQ(host.Binding().modules[0].references.size(), 2u);
    EXPECT_EQ(host.CallMain(4), 5);
    EXPECT_TRUE(host.Shutdown().empty());
    EXPECT_TRUE(host.Violations().empty());
}

TEST(HostBinding, MissingFileIsReportedNotRefused) {
    hostsim::Host host;
    EXPECT_FALSE(host.Load("/nonexistent/folder/corvel.xso64"));
    EXPECT_NE(host.LastError().find("no such file"), std::string::npos) << host.LastError();
}

TEST(HostBinding, LeakedAndDoublyFreedBlocksAreReported) {
    hostsim::Host host;
    ASSERT_TRUE(host.Load(CORVEL_FAKE_MODULE_LEAKS)) << host.LastError();
    EXPECT_EQ(host.InitSys(), 1);
    const auto leaks = host.Shutdown();
    ASSERT_EQ(leaks.size(), 1u);
    EXPECT_EQ(leaks[0].kind, hostsim::AllocKind::Heap);
    EXPECT_EQ(leaks[0].what, "24 bytes");
    ASSERT_EQ(host.Violations().size(), 1u);
    EXPECT_NE(host.Violations()[0].find("double free"), std::string::npos) << host.Violations()[0];
}

TEST(HostBinding, IdentifierHashPacksLengthAndPolynomialHash) {
    EXPECT_EQ(MaxonIdHash("abc", 0), 0x300000017862u);
    EXPECT_EQ(MaxonIdHash("abc", 1), 0x300000017862u | MAXON_ID_ALLOCATED_BIT);
    EXPECT_EQ(MaxonIdHash("net.maxon.core.framework", 0), 0x1854b7897c12bu);
    EXPECT_EQ(MaxonIdHash("net.maxon.c4d.cinema.framework", 0), 0x1e459d5288338u);
    EXPECT_EQ(MaxonIdHash("", 0), 0u);
}

} // namespace
