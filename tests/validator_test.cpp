// corvel-host validate: the lifecycle model it judges modules by, how it plans scenarios and
// faults, how it judges stored preferences, its reports, and that it catches broken modules (a
// crash, a leak, wrong lifecycle answers) while the real module passes.
#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "hostsim/lifecycle_model.h"
#include "hostsim/validator.h"
#include "plugin_folder.h"
#include "sanitizers.h"

namespace {

using hostsim::LifecycleCall;
using hostsim::LifecycleModel;
namespace validate = hostsim::validate;

// ---- the lifecycle model ------------------------------------------------------------------------

TEST(LifecycleModelTest, NestedInitialisationsTearDownOnlyAtTheOutermostEnd) {
    LifecycleModel m;
    EXPECT_EQ(m.Apply(LifecycleCall::Init).answer, 1);
    EXPECT_EQ(m.Apply(LifecycleCall::Init).answer, 1);
    const auto inner = m.Apply(LifecycleCall::End);
    EXPECT_EQ(inner.answer, 1);
    EXPECT_FALSE(inner.tearsDown);
    EXPECT_TRUE(m.Apply(LifecycleCall::End).tearsDown);
    EXPECT_EQ(m.Counter(), 0);
}

TEST(LifecycleModelTest, RefusedInitialisationKeepsTheCounterRaisedAndTheNextOneIsNested) {
    for (LifecycleCall refused : {LifecycleCall::InitOldHost, LifecycleCall::InitNoPath}) {
        LifecycleModel m;
        EXPECT_EQ(m.Apply(refused).answer, -3);
        EXPECT_EQ(m.Counter(), 1);
        EXPECT_EQ(m.Apply(LifecycleCall::InitOldHost).answer, 1) << "a nested call checks nothing";
        // No module path: the resource folder is relative and does not load.
        const auto message = m.Apply(LifecycleCall::MessageInit);
        EXPECT_TRUE(message.loadsResource);
        EXPECT_EQ(message.answer, -1);
    }
}

TEST(LifecycleModelTest, EndBeforeAnyInitialisationMakesTheNextInitialisationANoOp) {
    LifecycleModel m;
    const auto end = m.Apply(LifecycleCall::End);
    EXPECT_EQ(end.answer, 1);
    EXPECT_FALSE(end.tearsDown);
    EXPECT_EQ(m.Apply(LifecycleCall::Init).answer, 1);
    EXPECT_EQ(m.Counter(), 0);
    // Never initialised: no host table, so nothing can be loaded or registered.
    const auto message = m.Apply(LifecycleCall::MessageInit);
    EXPECT_FALSE(message.loadsResource);
    EXPECT_EQ(message.answer, -1);
    EXPECT_EQ(m.Apply(LifecycleCall::Start).answer, 0);
}

TEST(LifecycleModelTest, TheResourceIsAskedForOnceUntilTheTeardownAndAfreshAfterIt) {
    LifecycleModel loads;
    loads.Apply(LifecycleCall::Init);
    auto first = loads.Apply(LifecycleCall::MessageInit);
    EXPECT_TRUE(first.loadsResource);
    EXPECT_EQ(first.answer, 1);
    auto second = loads.Apply(LifecycleCall::MessageInit);
    EXPECT_FALSE(second.loadsResource);
    EXPECT_EQ(second.answer, 1);
    loads.Apply(LifecycleCall::End);
    EXPECT_FALSE(loads.HoldsResource());
    loads.Apply(LifecycleCall::Init);
    EXPECT_TRUE(loads.Apply(LifecycleCall::MessageInit).loadsResource);

    LifecycleModel missing(hostsim::LifecycleFacts{false});
    missing.Apply(LifecycleCall::Init);
    EXPECT_EQ(missing.Apply(LifecycleCall::MessageInit).answer, -1);
    const auto retry = missing.Apply(LifecycleCall::MessageInit);
    EXPECT_FALSE(retry.loadsResource) << "a failed load is not retried";
    EXPECT_EQ(retry.answer, -1);
}

TEST(LifecycleModelTest, MessageBeforeTheHostTableUsesUpTheOneLoadAttempt) {
    LifecycleModel m;
    EXPECT_FALSE(m.Apply(LifecycleCall::MessageInit).loadsResource);
    m.Apply(LifecycleCall::Init);
    const auto later = m.Apply(LifecycleCall::MessageInit);
    EXPECT_FALSE(later.loadsResource);
    EXPECT_EQ(later.answer, -1);
}

TEST(LifecycleModelTest, TheHostRegistersTheCommandOnce) {
    LifecycleModel m;
    m.Apply(LifecycleCall::Init);
    EXPECT_EQ(m.Apply(LifecycleCall::Start).answer, 1);
    EXPECT_EQ(m.Apply(LifecycleCall::Start).answer, 0);
    m.Apply(LifecycleCall::End);
    m.Apply(LifecycleCall::Init);
    EXPECT_EQ(m.Apply(LifecycleCall::Start).answer, 0) << "the registration outlives the teardown";
}

TEST(LifecycleModelTest, OtherActionsAndMessagesAnswerAsDocumented) {
    LifecycleModel m;
    EXPECT_EQ(m.Apply(LifecycleCall::Version).answer, 5);
    EXPECT_EQ(m.Apply(LifecycleCall::OtherAction).answer, -1);
    EXPECT_EQ(m.Apply(LifecycleCall::MessageNone).answer, 1);
    EXPECT_EQ(m.Apply(LifecycleCall::MessageOther).answer, -1);
    EXPECT_EQ(m.Counter(), 0);
}

TEST(LifecycleModelTest, DrainBringsTheCounterToOneAndTearsDown) {
    LifecycleModel high;
    for (int i = 0; i < 3; ++i)
        high.Apply(LifecycleCall::Init);
    EXPECT_EQ(high.Drain(), std::vector<LifecycleCall>(3, LifecycleCall::End));
    LifecycleModel low;
    low.Apply(LifecycleCall::End);
    EXPECT_EQ(low.Drain(), (std::vector<LifecycleCall>{LifecycleCall::Init, LifecycleCall::Init, LifecycleCall::End}));
}

TEST(LifecycleOrdersTest, EveryOrderOnceWithItsPrefix) {
    const auto& calls = hostsim::CommonLifecycleCalls();
    const auto orders = hostsim::LifecycleOrders(calls, 3);
    ASSERT_EQ(orders.size(), calls.size() * calls.size() * calls.size());
    EXPECT_EQ(orders.front(), std::vector<LifecycleCall>(3, calls.front()));
    EXPECT_EQ(orders.back(), std::vector<LifecycleCall>(3, calls.back()));
    std::vector<std::vector<LifecycleCall>> sorted = orders;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "no order twice";

    const std::vector<LifecycleCall> prefix = {LifecycleCall::End, LifecycleCall::Init};
    const auto withPrefix = hostsim::LifecycleOrders(calls, 4, prefix);
    EXPECT_EQ(withPrefix.size(), calls.size() * calls.size());
    for (const auto& o : withPrefix)
        EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), o.begin()));
    for (LifecycleCall c : hostsim::AllLifecycleCalls()) {
        LifecycleCall parsed;
        ASSERT_TRUE(hostsim::ParseLifecycleCall(hostsim::LifecycleCallName(c), &parsed));
        EXPECT_EQ(parsed, c);
    }
}

// ---- planning and judging -----------------------------------------------------------------------

TEST(ValidatorPlanTest, FaultsCoverEveryAllocationInTurnFromLevelThree) {
    std::array<uint64_t, hostsim::kAllocKindCount> allocations{};
    allocations[static_cast<int>(hostsim::AllocKind::Heap)] = 4;
    allocations[static_cast<int>(hostsim::AllocKind::Strings)] = 1;
    const auto strict = validate::PlanFaults(allocations, 5);
    std::vector<std::string> texts;
    for (const auto& f : strict)
        texts.push_back(f.Text());
    EXPECT_EQ(texts, (std::vector<std::string>{"heap #1", "heap #2", "heap #3", "heap #4", "every heap", "string #1"}));
    const auto quick = validate::PlanFaults(allocations, 1);
    texts.clear();
    for (const auto& f : quick)
        texts.push_back(f.Text());
    EXPECT_EQ(texts, (std::vector<std::string>{"heap #1", "heap #4", "string #1"}));
}

TEST(ValidatorPlanTest, ScenariosReachDisabledGadgetsThroughTheirEnablingSteps) {
    validate::CaseResult discovery;
    discovery.commands = {"1027069 \"Corvel\""};
    validate::GadgetInfo check;
    check.id = 10013;
    check.kind = hostsim::GadgetKind::Check;
    check.enabledBy = {validate::Step{validate::Step::Kind::Set, 10003, 6031}};
    validate::GadgetInfo unreachable;
    unreachable.id = 10099;
    unreachable.kind = hostsim::GadgetKind::Button;
    unreachable.reachable = false;
    discovery.gadgets = {check, unreachable};
    discovery.menu = {{5055, "Save Settings"}};

    const auto scenarios = validate::PlanScenarios(discovery, 5);
    auto find = [&](const std::string& prefix) -> const validate::Scenario* {
        for (const auto& s : scenarios)
            if (s.name.rfind(prefix, 0) == 0)
                return &s;
        return nullptr;
    };
    const validate::Scenario* viaEnabler = find("check box 10013");
    ASSERT_NE(viaEnabler, nullptr);
    std::vector<std::string> steps;
    for (const auto& s : viaEnabler->steps)
        steps.push_back(s.Text());
    EXPECT_EQ(steps, (std::vector<std::string>{"startup", "open", "set:10003=6031", "set:10013=1"}));
    EXPECT_EQ(viaEnabler->focus, 3u);
    EXPECT_EQ(find("button 10099"), nullptr);
    ASSERT_NE(find("menu 5055"), nullptr);
    EXPECT_EQ(find("start-up")->focus, 0u);
    EXPECT_EQ(validate::PlanScenarios(discovery, 1).size() + 2, scenarios.size()) << "no check boxes, no reopening";
}

TEST(ValidatorPlanTest, StepsReadBackWhatTheyWriteAndRefuseGarbage) {
    for (const char* text : {"startup", "open", "set:10005=0", "set:-1=-2147483648", "click:5055", "close", "shutdown"}) {
        validate::Step s;
        ASSERT_TRUE(validate::Step::Parse(text, &s)) << text;
        EXPECT_EQ(s.Text(), text);
    }
    for (const char* text : {"", "set:10005", "set:x=1", "click:", "click:99999999999", "opened"}) {
        validate::Step s;
        EXPECT_FALSE(validate::Step::Parse(text, &s)) << text;
    }
}

TEST(ValidatorJudgeTest, PreferencesAfterAFailedStepAreAsBeforeOrAsASuccessfulStepLeavesThem) {
    validate::CaseResult reference;
    reference.prefsAfter = {{1027069, "saved"}};
    auto run = [](validate::PrefsSnapshot after, uint64_t faults) {
        validate::CaseResult r;
        r.faultsInjected = faults;
        r.prefsBefore = {{1027069, "before"}, {5, "other plug-in"}};
        r.prefsAfter = std::move(after);
        return r;
    };
    auto asBefore = run({{1027069, "before"}, {5, "other plug-in"}}, 1);
    validate::JudgePrefs(reference, &asBefore);
    EXPECT_TRUE(asBefore.failures.empty());
    auto asSaved = run({{1027069, "saved"}}, 1);
    validate::JudgePrefs(reference, &asSaved);
    EXPECT_TRUE(asSaved.failures.empty());

    auto halfWritten = run({{1027069, "half"}, {5, "other plug-in"}}, 1);
    validate::JudgePrefs(reference, &halfWritten);
    ASSERT_EQ(halfWritten.failures.size(), 1u);
    EXPECT_NE(halfWritten.failures[0].find("plug-in 1027069"), std::string::npos);
    EXPECT_EQ(halfWritten.status, validate::CaseResult::Status::Failed);

    auto noFault = run({{1027069, "half"}}, 0);
    validate::JudgePrefs(reference, &noFault);
    EXPECT_TRUE(noFault.failures.empty()) << "a fault that never fired judges nothing";
}

TEST(ValidatorReportTest, JUnitCountsEveryStatusAndEscapesText) {
    validate::Report report;
    report.module = "m";
    auto add = [&](validate::CaseResult::Status status, const std::string& failure) {
        validate::CaseResult r;
        r.group = "faults";
        r.name = "menu 5055 \"Save <Settings>\"";
        r.status = status;
        if (!failure.empty())
            r.failures.push_back(failure);
        report.cases.push_back(r);
    };
    add(validate::CaseResult::Status::Passed, "");
    add(validate::CaseResult::Status::Failed, "a & b");
    add(validate::CaseResult::Status::Crashed, "signal 11 (SIGSEGV)");
    add(validate::CaseResult::Status::Skipped, "");
    const std::string xml = validate::ReportJUnit(report);
    EXPECT_NE(xml.find("tests=\"4\" failures=\"1\" errors=\"1\" skipped=\"1\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("Save &lt;Settings&gt;"), std::string::npos);
    EXPECT_NE(xml.find("<failure message=\"a &amp; b\">"), std::string::npos);
    EXPECT_NE(xml.find("<error message=\"signal 11 (SIGSEGV)\">"), std::string::npos);
    EXPECT_EQ(xml.find("\"Save"), std::string::npos) << "quotes inside attributes are escaped";
    EXPECT_EQ(report.ExitCode(), validate::kExitFailed);

    const auto json = nlohmann::json::parse(validate::ReportJson(report));
    EXPECT_EQ(json["figures"]["crashed"], 1);
    EXPECT_EQ(json["result"], "failed");
}

// ---- whole runs through the CLI, one process per case ---------------------------------------------

class ValidateCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::make_unique<corvel_test::PluginFolder>();
        json_ = folder_->Path("report.json");
        junit_ = folder_->Path("report.xml");
    }
    hostsim::ProcessResult Validate(const std::string& module, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"validate", module, "--json", json_, "--junit", junit_, "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        return hostsim::RunProcess(corvel_test::HostCli(), args);
    }
    nlohmann::json Report() const {
        std::ifstream in(std::filesystem::u8path(json_));
        return nlohmann::json::parse(in);
    }
    // Failures of the cases of `group`, joined.
    std::string Failures(const nlohmann::json& report, const std::string& group, const std::string& status) const {
        std::string all;
        for (const auto& c : report["cases"])
            if (c["group"] == group && c["status"] == status)
                for (const auto& f : c["failures"])
                    all += f.get<std::string>() + "\n";
        return all;
    }
    std::unique_ptr<corvel_test::PluginFolder> folder_;
    std::string json_, junit_;
};

TEST_F(ValidateCliTest, TheModulePassesAndTheReportsGiveTheFigures) {
    const auto r = Validate(folder_->Module(), {"--strictness", "1", "--seed", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("result: PASSED"), std::string::npos) << r.out;
    const auto report = Report();
    EXPECT_EQ(report["seed"], 7);
    EXPECT_GT(report["figures"]["faults_injected"].get<int>(), 0);
    EXPECT_GT(report["figures"]["lifecycle_orders"].get<int>(), 300);
    EXPECT_GT(report["figures"]["scenes_rendered"].get<int>(), 0);
    // Children run cases in batches: binding, discovery and a few batches, far fewer than the cases.
    EXPECT_LT(report["figures"]["processes"].get<int>(), report["figures"]["cases"].get<int>() / 2);
    EXPECT_GE(report["figures"]["processes"].get<int>(), 3);
    std::ifstream xml(std::filesystem::u8path(junit_));
    std::stringstream text;
    text << xml.rdbuf();
    EXPECT_NE(text.str().find("<testsuite name=\"lifecycle\""), std::string::npos);
}

TEST_F(ValidateCliTest, ACrashIsAFailedCaseThatNamesTheSignalAndTheOrder) {
#if defined(CORVEL_TEST_UNDER_ASAN)
    // In a sanitizer build the sanitizer's own handler would turn the crash into an ordinary exit;
    // the children let the signal through, as a host without sanitizers sees it.
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string childOptions = std::string(options ? options : "") + (options && *options ? ":" : "") +
                                     "handle_segv=0";
    ::setenv("ASAN_OPTIONS", childOptions.c_str(), 1);
#endif
    const auto r = Validate(CORVEL_FAKE_MODULE_CRASH, {"--strictness", "1"});
    EXPECT_EQ(r.exitCode, validate::kExitFailed) << r.out << r.err;
    const std::string crashes = Failures(Report(), "lifecycle", "crashed");
    EXPECT_NE(crashes.find("crashed"), std::string::npos) << crashes;
    EXPECT_NE(crashes.find("during the order 5\n"), std::string::npos) << "the order that crashed is named: " << crashes;
    EXPECT_NE(crashes.find("during the order 1 5\n"), std::string::npos) << "the orders behind a crash still run";
#if defined(_WIN32)
    EXPECT_NE(crashes.find("exception 0xC0000005 (access violation)"), std::string::npos) << crashes;
#else
    EXPECT_NE(crashes.find("signal 11 (SIGSEGV)"), std::string::npos) << crashes;
#endif
    // The crashes happened in children that ran other cases too: each is charged to the case that
    // was running, and the cases after it in the same batch ran in a new child and passed.
    const auto report = Report();
    int crashed = 0, passed = 0;
    for (const auto& c : report["cases"]) {
        if (c["status"] == "crashed") {
            ++crashed;
            EXPECT_EQ(c["group"], "lifecycle") << c["name"];
        }
        passed += c["status"] == "passed" ? 1 : 0;
    }
    EXPECT_GT(crashed, 0);
    EXPECT_GT(passed, 0);
}

// One child at a time or several: the same cases with the same verdicts, in the same order.
TEST_F(ValidateCliTest, TheVerdictsDoNotDependOnHowManyChildrenRunAtOnce) {
    auto verdicts = [&](const std::string& jobs) {
        const auto r = Validate(CORVEL_FAKE_MODULE_LEAKS, {"--strictness", "2", "--jobs", jobs});
        EXPECT_EQ(r.exitCode, validate::kExitFailed) << r.out << r.err;
        std::vector<std::string> out;
        const auto report = Report();
        for (const auto& c : report["cases"])
            out.push_back(c["group"].get<std::string>() + " " + c["name"].get<std::string>() + ": " +
                          c["status"].get<std::string>() + ", " + std::to_string(c["failures"].size()) +
                          " failure(s)"); // their texts name heap addresses, which differ per process
        return out;
    };
    const auto one = verdicts("1");
    EXPECT_FALSE(one.empty());
    EXPECT_EQ(one, verdicts("3"));
}

TEST_F(ValidateCliTest, LeaksMisuseAndWrongAnswersAreReported) {
    const auto r = Validate(CORVEL_FAKE_MODULE_LEAKS, {"--strictness", "1"});
    EXPECT_EQ(r.exitCode, validate::kExitFailed) << r.out << r.err;
    const std::string lifecycle = Failures(Report(), "lifecycle", "failed");
    EXPECT_NE(lifecycle.find("left behind"), std::string::npos) << lifecycle;
    EXPECT_NE(lifecycle.find("misused host handle"), std::string::npos) << lifecycle;
    // The fake answers 1 to everything but the version query.
    EXPECT_NE(lifecycle.find("(5) answered 1, expected -1"), std::string::npos) << lifecycle;
}

TEST_F(ValidateCliTest, ARefusedModuleAndABadCommandLineHaveTheirExitCodes) {
    EXPECT_EQ(Validate(CORVEL_FAKE_MODULE_BAD_STAMP).exitCode, validate::kExitRefused);
    EXPECT_EQ(Validate(folder_->Path("missing.xso64")).exitCode, validate::kExitRefused);
    // A damaged record or file is refused by the host's checks, not a crash of the binding case.
    EXPECT_EQ(Validate(CORVEL_FAKE_MODULE_WILD_ENTITY).exitCode, validate::kExitRefused);
    folder_->Write("cut.xso64", std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(100, '\0'));
    EXPECT_EQ(Validate(folder_->Path("cut.xso64")).exitCode, validate::kExitRefused);
    EXPECT_EQ(Validate(folder_->Module(), {"--strictness", "11"}).exitCode, validate::kExitUsage);
    EXPECT_EQ(hostsim::RunProcess(corvel_test::HostCli(), {"validate"}).exitCode, validate::kExitUsage);
}

// A child that cannot be started at all is reported as not started: never as a crash, which the
// validator would blame on the module. On Windows the command processor that runs the child is the
// one named by COMSPEC; under Wine a loaded machine has been seen failing to start it.
TEST(ChildProcess, AProgramThatCannotStartIsReportedAsNotStartedNotAsACrash) {
#ifdef _WIN32
    const char* comspec = std::getenv("COMSPEC");
    const std::string saved = comspec ? comspec : "";
    _putenv_s("COMSPEC", "C:\\nowhere\\no-command-processor.exe");
    const hostsim::ProcessResult r = hostsim::RunProcess(corvel_test::HostCli(), {"--version"});
    _putenv_s("COMSPEC", saved.c_str());
#else
    if (std::getenv("CORVEL_EMULATOR"))
        GTEST_SKIP() << "children start through the emulator, which exists";
    const hostsim::ProcessResult r = hostsim::RunProcess("/nonexistent/corvel-host", {"--version"});
#endif
    EXPECT_FALSE(r.started) << r.how;
    EXPECT_FALSE(r.crashed) << r.how;
    EXPECT_NE(r.how.find("cannot start"), std::string::npos) << r.how;
}

// A run that skipped cases is not a pass unless asked for, and says so everywhere it reports.
TEST_F(ValidateCliTest, ATimeBudgetThatSkipsCasesIsIncompleteUnlessSkipsAreAllowed) {
    const auto r = Validate(folder_->Module(), {"--strictness", "3", "--budget", "0.001", "--seed", "9"});
    EXPECT_EQ(r.exitCode, validate::kExitIncomplete) << r.out << r.err;
    EXPECT_NE(r.out.find("result: INCOMPLETE: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("skipped for the time budget"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("PASSED"), std::string::npos) << r.out;
    auto report = Report();
    EXPECT_GT(report["figures"]["skipped"].get<int>(), 0);
    EXPECT_EQ(report["figures"]["failed"].get<int>(), 0);
    EXPECT_EQ(report["result"], "incomplete");
    EXPECT_EQ(report["complete"], false);
    EXPECT_EQ(report["allow_skips"], false);
    EXPECT_EQ(report["exit_code"], validate::kExitIncomplete);
    EXPECT_EQ(report["seed"], 9);
    EXPECT_EQ(report["strictness"], 3);
    std::ifstream xml(std::filesystem::u8path(junit_));
    std::stringstream text;
    text << xml.rdbuf();
    EXPECT_NE(text.str().find("<property name=\"seed\" value=\"9\"/>"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("<property name=\"strictness\" value=\"3\"/>"), std::string::npos);
    EXPECT_NE(text.str().find("<property name=\"result\" value=\"incomplete\"/>"), std::string::npos);
    EXPECT_NE(text.str().find("<skipped message="), std::string::npos);

    const auto allowed = Validate(folder_->Module(), {"--strictness", "3", "--budget", "0.001", "--allow-skips"});
    EXPECT_EQ(allowed.exitCode, validate::kExitPassed) << allowed.out << allowed.err;
    EXPECT_NE(allowed.out.find("result: PASSED with "), std::string::npos) << allowed.out;
    report = Report();
    EXPECT_EQ(report["result"], "passed");
    EXPECT_EQ(report["allow_skips"], true);
    EXPECT_EQ(report["complete"], false);
}

TEST_F(ValidateCliTest, NumbersThatMakeNoSenseAreUsageErrorsBeforeAnythingRuns) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--budget", "nan"}, {"--budget", "inf"}, {"--budget", "-1"}, {"--budget", "1e19"},
          {"--case-timeout", "nan"}, {"--case-timeout", "1e19"}, {"--case-timeout", "0"}, {"--case-timeout", "-5"},
          {"--seed", "-1"}, {"--seed", "18446744073709551616"}, {"--seed", "1.5"}, {"--render-button", "-3"},
          {"--repeat", "0"}}) {
        const auto r = Validate(folder_->Module(), args);
        EXPECT_EQ(r.exitCode, validate::kExitUsage) << args[0] << " " << args[1] << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find(args[0]), std::string::npos) << "the message names the option: " << r.err;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(json_))) << args[0] << " " << args[1];
    }
    // The largest seed is a seed, not a wrap-around.
    const auto big = Validate(folder_->Module(), {"--seed", "18446744073709551615", "--filter", "binding/"});
    EXPECT_EQ(big.exitCode, 0) << big.out << big.err;
    EXPECT_EQ(Report()["seed"].get<uint64_t>(), 18446744073709551615u);
}

TEST_F(ValidateCliTest, AReportPathThatCannotBeWrittenIsRefusedBeforeAnyCaseRuns) {
    const std::string intoMissingFolder = folder_->Path("no/such/folder/report.json");
    const auto r = hostsim::RunProcess(corvel_test::HostCli(),
                                       {"validate", folder_->Module(), "--json", intoMissingFolder, "-q"});
    EXPECT_EQ(r.exitCode, validate::kExitInternal) << r.out << r.err;
    EXPECT_NE(r.err.find("no case was run"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("result:"), std::string::npos) << r.out;
    const auto dir = hostsim::RunProcess(corvel_test::HostCli(),
                                         {"validate", folder_->Module(), "--junit", folder_->Path("res"), "-q"});
    EXPECT_EQ(dir.exitCode, validate::kExitInternal) << dir.out << dir.err;
    EXPECT_NE(dir.err.find("is a directory"), std::string::npos) << dir.err;
}

// --list shows the plan without running it; --filter runs a part of it; a failing case names the
// command that runs it again in one process, and that command reproduces the failure.
TEST_F(ValidateCliTest, CasesCanBeListedFilteredAndAFailureReplayedInOneProcess) {
    const auto list = hostsim::RunProcess(corvel_test::HostCli(), {"validate", folder_->Module(), "--strictness", "1", "--list", "-q"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    const std::vector<std::string> lines = list.OutLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("lifecycle/", 0) == 0; }));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("faults/", 0) == 0; }));
    EXPECT_EQ(list.out.find("result:"), std::string::npos) << "nothing was validated";

    const auto reload = Validate(folder_->Module(), {"--strictness", "1", "--filter", "reload/"});
    EXPECT_EQ(reload.exitCode, 0) << reload.out << reload.err;
    const auto report = Report();
    ASSERT_EQ(report["cases"].size(), 1u) << report.dump(1);
    EXPECT_EQ(report["cases"][0]["group"], "reload");
    EXPECT_EQ(report["filters"], nlohmann::json::array({"reload/"}));
    EXPECT_NE(reload.out.find("result: PASSED (only the 1 case(s) matching the filter)"), std::string::npos) << reload.out;

    // A filter that lets no case through has validated nothing: not a pass.
    const auto none = Validate(folder_->Module(), {"--strictness", "1", "--filter", "no such case"});
    EXPECT_EQ(none.exitCode, validate::kExitUsage) << none.out << none.err;
    EXPECT_NE(none.err.find("no case matches the filter"), std::string::npos) << none.err;

    const auto leaks = Validate(CORVEL_FAKE_MODULE_LEAKS, {"--strictness", "1", "--filter", "lifecycle/"});
    EXPECT_EQ(leaks.exitCode, validate::kExitFailed) << leaks.out << leaks.err;
    const size_t at = leaks.out.find("replay: ");
    ASSERT_NE(at, std::string::npos) << leaks.out;
    std::string replayCase;
    const auto failed = Report();
    for (const auto& c : failed["cases"])
        if (c["group"] == "lifecycle" && c.contains("replay")) {
            replayCase = c["replay"].get<std::string>();
            break;
        }
    ASSERT_FALSE(replayCase.empty());
    EXPECT_NE(replayCase.find(" validate "), std::string::npos) << replayCase;
#ifndef _WIN32
    // (The test's process runner on Windows goes through cmd, which cannot pass the case's
    // quotes on; the line's Windows quoting is for a console.)
    EXPECT_NE(replayCase.find(" --replay '"), std::string::npos) << replayCase;
    // The case as the command line carries it, run again in this test's own child process.
    const size_t quote = replayCase.find(" --replay '") + 11;
    const std::string json = replayCase.substr(quote, replayCase.size() - quote - 1);
    const auto again = hostsim::RunProcess(corvel_test::HostCli(), {"validate", CORVEL_FAKE_MODULE_LEAKS, "--replay", json});
    EXPECT_EQ(again.exitCode, validate::kExitFailed) << again.out << again.err;
    EXPECT_NE(again.out.find("left behind"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("result: FAILED"), std::string::npos) << again.out;
#endif
}

#ifndef _WIN32
// The replay line is a command line as printed: a shell runs it as it stands, quotes and all (the
// discovery case's name has an apostrophe).
TEST_F(ValidateCliTest, AReplayLineRunsAsPrintedInAShell) {
    if (std::getenv("CORVEL_EMULATOR"))
        GTEST_SKIP() << "the shell is the build machine's; the line's quoting is checked where the host runs natively";
    const auto r = Validate(CORVEL_FAKE_MODULE_LEAKS, {"--strictness", "1", "--filter", "discovery/"});
    EXPECT_EQ(r.exitCode, validate::kExitFailed) << r.out << r.err;
    std::string line;
    const auto report = Report();
    for (const auto& c : report["cases"])
        if (c["group"] == "discovery" && c.contains("replay"))
            line = c["replay"].get<std::string>();
    ASSERT_NE(line.find("dialog'\\''s"), std::string::npos) << line;
    EXPECT_NE(r.out.find("replay: " + line), std::string::npos) << "the summary prints the same line: " << r.out;
    const auto shell = hostsim::RunProcess("/bin/sh", {"-c", line});
    EXPECT_EQ(shell.exitCode, validate::kExitFailed) << line << "\n" << shell.out << shell.err;
    EXPECT_NE(shell.out.find("replaying [discovery] the dialog's gadgets and menu"), std::string::npos) << shell.out;
    EXPECT_NE(shell.out.find("left behind"), std::string::npos) << shell.out;
}
#endif

} // namespace

namespace {

TEST(ValidatorRenderTest, RestoreMeansTheSameBitsForEveryParameterAndEffect) {
    hostsim::SceneRenderSettings before;
    before.parameters.SetFloat(5008, 0.0);
    before.parameters.SetFloat(5009, std::nan(""));
    before.parameters.SetInt32(5002, 2);
    before.parameters.SetBool(7004, false);
    before.effects = {{1001400, 0, ""}, {1021096, 4, ""}};

    hostsim::SceneRenderSettings same = before;
    same.parameters.SetInt32(28501, 1); // a key the render added is not judged
    EXPECT_TRUE(validate::RestoreDifferences(before, same).empty());

    auto differences = [&](const std::function<void(hostsim::SceneRenderSettings&)>& change) {
        hostsim::SceneRenderSettings after = before;
        change(after);
        return validate::RestoreDifferences(before, after);
    };
    EXPECT_EQ(differences([](auto& a) { a.parameters.SetFloat(5008, -0.0); }).size(), 1u) << "-0.0 is not 0.0";
    EXPECT_EQ(differences([](auto& a) { a.parameters.SetFloat(5009, -std::nan("")); }).size(), 1u);
    EXPECT_EQ(differences([](auto& a) { a.parameters.SetFloat(5002, 2.0); }).size(), 1u) << "the type is part of it";
    EXPECT_EQ(differences([](auto& a) { a.parameters.Remove(7004); }).size(), 1u);
    EXPECT_EQ(differences([](auto& a) { a.effects[1].bits = 0; }).size(), 1u);
    EXPECT_EQ(differences([](auto& a) { a.effects.pop_back(); }).size(), 1u);
}

} // namespace

// ---- the exchange between parent and child ----------------------------------------------------------

namespace {

TEST(ValidatorExchangeTest, CasesAndResultsSurviveTheTripThroughJson) {
    validate::CaseSpec scenario;
    scenario.kind = validate::CaseSpec::Kind::Scenario;
    scenario.group = "faults";
    scenario.name = "menu 5055 \"Save Settings\": heap #2 fails";
    scenario.scenario.name = "menu 5055";
    ASSERT_TRUE(validate::Step::Parse("startup", &scenario.scenario.steps.emplace_back()));
    ASSERT_TRUE(validate::Step::Parse("click:5055", &scenario.scenario.steps.emplace_back()));
    scenario.scenario.focus = 1;
    scenario.fault = validate::Fault{hostsim::AllocKind::Strings, 2, false};
    validate::CaseSpec lifecycle;
    lifecycle.kind = validate::CaseSpec::Kind::Lifecycle;
    lifecycle.lifecycleCalls = {"1", "3"};
    lifecycle.lifecyclePrefix = {"3"};
    lifecycle.lifecycleLength = 4;
    lifecycle.lifecycleSkip = 2;
    lifecycle.resourceLoads = false;

    std::vector<validate::CaseSpec> back;
    std::string why;
    ASSERT_TRUE(validate::CasesFromJson(validate::CasesToJson({scenario, lifecycle}), &back, &why)) << why;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].name, scenario.name);
    EXPECT_EQ(back[0].scenario.steps.size(), 2u);
    EXPECT_EQ(back[0].scenario.steps[1].Text(), "click:5055");
    EXPECT_EQ(back[0].scenario.focus, 1u);
    EXPECT_EQ(back[0].fault.Text(), "string #2");
    EXPECT_EQ(back[1].lifecycleCalls, lifecycle.lifecycleCalls);
    EXPECT_EQ(back[1].lifecyclePrefix, lifecycle.lifecyclePrefix);
    EXPECT_EQ(back[1].lifecycleLength, 4);
    EXPECT_EQ(back[1].lifecycleSkip, 2u);
    EXPECT_FALSE(back[1].resourceLoads);

    validate::CaseResult result;
    result.group = "discovery";
    result.name = "n";
    result.status = validate::CaseResult::Status::Failed;
    result.failures = {"f"};
    result.focusAllocations[3] = 7;
    result.prefsBefore = {{1027069, "id 0: 7000=i6000"}};
    result.prefsAfter = {{-5, "id 0: 5008=f0x1p+0"}};
    validate::GadgetInfo g;
    g.id = 10013;
    g.kind = hostsim::GadgetKind::Check;
    g.value = 1;
    g.reachable = true;
    ASSERT_TRUE(validate::Step::Parse("set:10003=6031", &g.enabledBy.emplace_back()));
    result.gadgets = {g};
    result.menu = {{5100, "About Corvel..."}};
    validate::CaseResult read;
    ASSERT_TRUE(validate::ResultFromJson(validate::ResultToJson(result), &read, &why)) << why;
    EXPECT_EQ(read.status, validate::CaseResult::Status::Failed);
    EXPECT_EQ(read.failures, result.failures);
    EXPECT_EQ(read.focusAllocations, result.focusAllocations);
    EXPECT_EQ(read.prefsBefore, result.prefsBefore);
    EXPECT_EQ(read.prefsAfter, result.prefsAfter);
    ASSERT_EQ(read.gadgets.size(), 1u);
    EXPECT_EQ(read.gadgets[0].kind, hostsim::GadgetKind::Check);
    EXPECT_EQ(read.gadgets[0].enabledBy[0].Text(), "set:10003=6031");
    EXPECT_EQ(read.menu[0].text, "About Corvel...");
}

TEST(ValidatorExchangeTest, MalformedCaseListsAreRefusedWithAReason) {
    std::vector<validate::CaseSpec> cases;
    std::string why;
    for (const char* text : {
             "not json",
             R"([{"kind": "explode", "group": "g", "name": "n"}])",
             R"([{"kind": "scenario", "group": "g", "name": "n", "scenario": {"name": "s", "steps": ["jump"], "focus": 0},
                  "fault": {"kind": "heap", "n": 1, "all": false}}])",
             R"([{"kind": "scenario", "group": "g", "name": "n", "scenario": {"name": "s", "steps": ["open"], "focus": 1},
                  "fault": {"kind": "heap", "n": 1, "all": false}}])",
             R"([{"kind": "scenario", "group": "g", "name": "n", "scenario": {"name": "s", "steps": ["open"], "focus": 0},
                  "fault": {"kind": "disk", "n": 1, "all": false}}])",
         }) {
        why.clear();
        EXPECT_FALSE(validate::CasesFromJson(text, &cases, &why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
}

// ---- cases run in this process against the real module ---------------------------------------------

class ValidatorCaseTest : public ::testing::Test {
protected:
    corvel_test::PluginFolder folder_;
};

TEST_F(ValidatorCaseTest, DiscoveryFindsTheGadgetsTheMenuAndHowToEnableDisabledGadgets) {
    validate::CaseSpec spec;
    spec.kind = validate::CaseSpec::Kind::Discover;
    const validate::CaseResult r = validate::RunCase(folder_.Module(), spec);
    EXPECT_TRUE(r.failures.empty()) << r.failures.front();
    EXPECT_TRUE(r.resourceLoads);
    auto gadget = [&](int32_t id) -> const validate::GadgetInfo* {
        for (const auto& g : r.gadgets)
            if (g.id == id)
                return &g;
        return nullptr;
    };
    ASSERT_NE(gadget(10032), nullptr);
    EXPECT_EQ(gadget(10032)->kind, hostsim::GadgetKind::Button);
    EXPECT_TRUE(gadget(10005)->enabledBy.empty()) << "enabled from the start";
    // The resolution and the button press need the Picture Viewer (7004 is on by default).
    const validate::GadgetInfo* fraction = gadget(10004);
    ASSERT_NE(fraction, nullptr);
    ASSERT_EQ(fraction->enabledBy.size(), 1u);
    EXPECT_EQ(fraction->enabledBy[0].Text(), "set:10003=6031");
    const validate::GadgetInfo* press = gadget(10013);
    ASSERT_NE(press, nullptr);
    EXPECT_TRUE(press->reachable);
    ASSERT_FALSE(press->enabledBy.empty());
    EXPECT_EQ(press->enabledBy.back().Text(), "set:10003=6031");
    std::vector<int32_t> menu;
    for (const auto& m : r.menu)
        menu.push_back(m.id);
    EXPECT_EQ(menu, (std::vector<int32_t>{5055, 5050, 5100, 5110}));
}

TEST_F(ValidatorCaseTest, AScenarioReportsWhatItsStepAllocatedAndTheFaultItInjected) {
    validate::CaseSpec spec;
    spec.kind = validate::CaseSpec::Kind::Scenario;
    for (const char* step : {"startup", "open", "click:5055"})
        ASSERT_TRUE(validate::Step::Parse(step, &spec.scenario.steps.emplace_back()));
    spec.scenario.focus = 2;
    const validate::CaseResult reference = validate::RunCase(folder_.Module(), spec);
    EXPECT_TRUE(reference.failures.empty()) << reference.failures.front();
    EXPECT_TRUE(reference.focusReached);
    EXPECT_EQ(reference.faultsInjected, 0u);
    const uint64_t containers = reference.focusAllocations[static_cast<int>(hostsim::AllocKind::Containers)];
    EXPECT_GT(containers, 0u) << "a save builds a container";
    EXPECT_NE(reference.prefsAfter, reference.prefsBefore) << "the save stored the settings";

    spec.fault = validate::Fault{hostsim::AllocKind::Containers, 1, false};
    validate::CaseResult failed = validate::RunCase(folder_.Module(), spec);
    EXPECT_EQ(failed.faultsInjected, 1u);
    EXPECT_TRUE(failed.failures.empty()) << failed.failures.front();
    validate::JudgePrefs(reference, &failed);
    EXPECT_TRUE(failed.failures.empty()) << failed.failures.front();
}

TEST_F(ValidatorCaseTest, LifecycleOrdersOfTheModuleMatchTheModelAndAFakeModuleDoesNot) {
    validate::CaseSpec spec;
    spec.kind = validate::CaseSpec::Kind::Lifecycle;
    for (LifecycleCall c : hostsim::CommonLifecycleCalls())
        spec.lifecycleCalls.push_back(hostsim::LifecycleCallName(c));
    spec.lifecycleLength = 2;
    const validate::CaseResult real = validate::RunCase(folder_.Module(), spec);
    EXPECT_TRUE(real.failures.empty()) << real.failures.front();
    EXPECT_EQ(real.checks, 49u);

    spec.lifecycleSkip = 40;
    EXPECT_EQ(validate::RunCase(folder_.Module(), spec).checks, 9u) << "orders behind a crash";

    spec.lifecycleSkip = 0;
    const validate::CaseResult fake = validate::RunCase(CORVEL_FAKE_MODULE_OK, spec);
    ASSERT_FALSE(fake.failures.empty());
    EXPECT_NE(fake.failures.front().find("orders failed"), std::string::npos) << fake.failures.front();
}

} // namespace
