// The validator's reports: a summary for people, JSON for scripts, JUnit XML for CI servers.
#include <algorithm>
#include <iomanip>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "../validator/validator_internal.h"

namespace hostsim {
namespace validate {
namespace {

using nlohmann::json;

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // XML 1.0 allows no control characters other than tab and line breaks.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                out += '?';
            else
                out += c;
        }
    }
    return out;
}

std::string Seconds(double s) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(3) << s;
    return out.str();
}

struct GroupCounts {
    int cases = 0, failed = 0, crashed = 0, skipped = 0;
    double seconds = 0.0;
};

// Groups in the order of their first case.
std::vector<std::pair<std::string, GroupCounts>> Groups(const Report& report) {
    std::vector<std::pair<std::string, GroupCounts>> groups;
    for (const CaseResult& c : report.cases) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == c.group; });
        if (it == groups.end())
            it = groups.insert(groups.end(), {c.group, GroupCounts{}});
        GroupCounts& g = it->second;
        ++g.cases;
        g.failed += c.status == CaseResult::Status::Failed ? 1 : 0;
        g.crashed += c.status == CaseResult::Status::Crashed ? 1 : 0;
        g.skipped += c.status == CaseResult::Status::Skipped ? 1 : 0;
        g.seconds += c.seconds;
    }
    return groups;
}

} // namespace

void PrintSummary(const Report& report, std::ostream& out) {
    out << "corvel-host validate " << report.module << "\n";
    out << "strictness " << report.strictness << ", seed " << report.seed << ", repeat " << report.repeat;
    if (report.budgetSeconds > 0)
        out << ", budget " << Seconds(report.budgetSeconds) << " s";
    out << "\n\n";
    for (const auto& g : Groups(report)) {
        out << "  " << std::left << std::setw(10) << g.first << std::right << std::setw(6) << g.second.cases
            << " case(s): " << g.second.cases - g.second.failed - g.second.crashed - g.second.skipped << " passed";
        if (g.second.failed)
            out << ", " << g.second.failed << " failed";
        if (g.second.crashed)
            out << ", " << g.second.crashed << " crashed";
        if (g.second.skipped)
            out << ", " << g.second.skipped << " skipped (time budget)";
        out << "\n";
    }
    bool header = false;
    for (const CaseResult& c : report.cases) {
        if (c.status != CaseResult::Status::Failed && c.status != CaseResult::Status::Crashed)
            continue;
        if (!header)
            out << "\nfailures:\n";
        header = true;
        out << "  [" << c.group << "] " << c.name << " (" << StatusName(c.status) << ")\n";
        for (size_t i = 0; i < c.failures.size() && i < 5; ++i)
            out << "      " << c.failures[i] << "\n";
    }
    out << "\nfigures: " << report.scenarios << " scenarios, " << report.faultsInjected << " faults injected, "
        << report.lifecycleOrders << " lifecycle orders, " << report.scenesRendered << " scenes rendered, "
        << report.processes << " processes, "
        << Seconds(report.seconds) << " s\n";
    out << "result: "
        << (report.moduleRefused ? "REFUSED (the module could not be loaded, bound or started)"
            : report.ExitCode() == kExitPassed ? "PASSED"
                                               : "FAILED")
        << "\n";
}

std::string ReportJson(const Report& report) {
    json cases = json::array();
    for (const CaseResult& c : report.cases)
        cases.push_back({{"group", c.group},
                         {"name", c.name},
                         {"status", StatusName(c.status)},
                         {"seconds", c.seconds},
                         {"checks", c.checks},
                         {"faults_injected", c.faultsInjected},
                         {"failures", c.failures}});
    const json j = {{"module", report.module},
                    {"strictness", report.strictness},
                    {"seed", report.seed},
                    {"repeat", report.repeat},
                    {"budget_seconds", report.budgetSeconds},
                    {"result", report.moduleRefused ? "refused" : report.ExitCode() == kExitPassed ? "passed" : "failed"},
                    {"exit_code", report.ExitCode()},
                    {"figures",
                     {{"seconds", report.seconds},
                      {"cases", report.cases.size()},
                      {"passed", report.Count(CaseResult::Status::Passed)},
                      {"failed", report.Count(CaseResult::Status::Failed)},
                      {"crashed", report.Count(CaseResult::Status::Crashed)},
                      {"skipped", report.Count(CaseResult::Status::Skipped)},
                      {"processes", report.processes},
                      {"scenarios", report.scenarios},
                      {"faults_injected", report.faultsInjected},
                      {"lifecycle_orders", report.lifecycleOrders},
                      {"scenes_rendered", report.scenesRendered}}},
                    {"cases", cases}};
    return j.dump(2) + "\n";
}

std::string ReportJUnit(const Report& report) {
    std::ostringstream x;
    x << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x << "<testsuites name=\"corvel-host validate\" tests=\"" << report.cases.size() << "\" failures=\""
      << report.Count(CaseResult::Status::Failed) << "\" errors=\"" << report.Count(CaseResult::Status::Crashed)
      << "\" skipped=\"" << report.Count(CaseResult::Status::Skipped) << "\" time=\"" << Seconds(report.seconds) << "\">\n";
    for (const auto& g : Groups(report)) {
        x << "  <testsuite name=\"" << XmlEscaped(g.first) << "\" tests=\"" << g.second.cases << "\" failures=\""
          << g.second.failed << "\" errors=\"" << g.second.crashed << "\" skipped=\"" << g.second.skipped
          << "\" time=\"" << Seconds(g.second.seconds) << "\">\n";
        for (const CaseResult& c : report.cases) {
            if (c.group != g.first)
                continue;
            x << "    <testcase classname=\"validate." << XmlEscaped(c.group) << "\" name=\"" << XmlEscaped(c.name)
              << "\" time=\"" << Seconds(c.seconds) << "\"";
            std::string detail;
            for (const std::string& f : c.failures)
                detail += f + "\n";
            const std::string message = c.failures.empty() ? std::string() : XmlEscaped(c.failures.front());
            switch (c.status) {
            case CaseResult::Status::Passed: x << "/>\n"; break;
            case CaseResult::Status::Skipped: x << ">\n      <skipped message=\"time budget spent\"/>\n    </testcase>\n"; break;
            case CaseResult::Status::Failed:
                x << ">\n      <failure message=\"" << message << "\">" << XmlEscaped(detail) << "</failure>\n    </testcase>\n";
                break;
            case CaseResult::Status::Crashed:
                x << ">\n      <error message=\"" << message << "\">" << XmlEscaped(detail) << "</error>\n    </testcase>\n";
                break;
            }
        }
        x << "  </testsuite>\n";
    }
    x << "</testsuites>\n";
    return x.str();
}

} // namespace validate
} // namespace hostsim
