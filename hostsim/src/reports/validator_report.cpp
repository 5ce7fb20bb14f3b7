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

// A word of a command line, quoted where it needs to be: for a POSIX shell, or on Windows as the
// C runtime splits a command line (quotes inside escaped with a backslash).
std::string ShellWord(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=:,+@%") ==
                             std::string::npos)
        return text;
#ifdef _WIN32
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped; elsewhere they stand.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
#else
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
#endif
}

std::string SkippedText(const Report& report) {
    return std::to_string(report.Count(CaseResult::Status::Skipped)) + " of " + std::to_string(report.cases.size()) +
           " case(s) skipped for the time budget";
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

std::string ResultName(const Report& report) {
    switch (report.ExitCode()) {
    case kExitRefused: return "refused";
    case kExitFailed: return "failed";
    case kExitIncomplete: return "incomplete";
    default: return "passed";
    }
}

std::string ReplayCommand(const Report& report, const CaseResult& c) {
    if (c.replay.empty())
        return std::string();
    return ShellWord(report.executable.empty() ? "corvel-host" : report.executable) + " validate " +
           ShellWord(report.module) + " --replay " + ShellWord(c.replay);
}

void PrintSummary(const Report& report, std::ostream& out) {
    out << "corvel-host validate " << report.module << "\n";
    out << "strictness " << report.strictness << ", seed " << report.seed << ", repeat " << report.repeat;
    if (report.budgetSeconds > 0)
        out << ", budget " << Seconds(report.budgetSeconds) << " s" << (report.allowSkips ? " (skips allowed)" : "");
    for (const std::string& f : report.filters)
        out << ", filter '" << f << "'";
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
        if (!c.replay.empty())
            out << "      replay: " << ReplayCommand(report, c) << "\n";
    }
    out << "\nfigures: " << report.scenarios << " scenarios, " << report.faultsInjected << " faults injected, "
        << report.lifecycleOrders << " lifecycle orders, " << report.scenesRendered << " scenes rendered, "
        << report.processes << " processes, "
        << Seconds(report.seconds) << " s\n";
    const bool skipped = report.Count(CaseResult::Status::Skipped) > 0;
    out << "result: ";
    switch (report.ExitCode()) {
    case kExitRefused: out << "REFUSED (the module could not be loaded, bound or started)"; break;
    case kExitFailed: out << "FAILED" << (skipped ? " (and " + SkippedText(report) + ")" : std::string()); break;
    case kExitIncomplete:
        out << "INCOMPLETE: " << SkippedText(report) << "; not a pass (--allow-skips accepts a partial run)";
        break;
    default: out << "PASSED" << (skipped ? " with " + SkippedText(report) + " (--allow-skips)" : std::string()); break;
    }
    if (!report.filters.empty() && !report.moduleRefused)
        out << " (only the " << report.filterMatches << " case(s) matching the filter)";
    out << "\n";
}

std::string ReportJson(const Report& report) {
    json cases = json::array();
    for (const CaseResult& c : report.cases) {
        json j = {{"group", c.group},
                  {"name", c.name},
                  {"status", StatusName(c.status)},
                  {"seconds", c.seconds},
                  {"checks", c.checks},
                  {"faults_injected", c.faultsInjected},
                  {"failures", c.failures}};
        if (!c.replay.empty())
            j["replay"] = ReplayCommand(report, c);
        cases.push_back(std::move(j));
    }
    const json j = {{"module", report.module},
                    {"strictness", report.strictness},
                    {"seed", report.seed},
                    {"repeat", report.repeat},
                    {"budget_seconds", report.budgetSeconds},
                    {"allow_skips", report.allowSkips},
                    {"filters", report.filters},
                    {"complete", report.Count(CaseResult::Status::Skipped) == 0 && !report.moduleRefused},
                    {"result", ResultName(report)},
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
        // How the run was made, so that a CI server's record says what a pass covered.
        x << "    <properties>\n";
        const std::vector<std::pair<std::string, std::string>> properties = {
            {"module", report.module},
            {"strictness", std::to_string(report.strictness)},
            {"seed", std::to_string(report.seed)},
            {"repeat", std::to_string(report.repeat)},
            {"budget_seconds", Seconds(report.budgetSeconds)},
            {"allow_skips", report.allowSkips ? "true" : "false"},
            {"skipped", std::to_string(report.Count(CaseResult::Status::Skipped))},
            {"result", ResultName(report)}};
        for (const auto& p : properties)
            x << "      <property name=\"" << p.first << "\" value=\"" << XmlEscaped(p.second) << "\"/>\n";
        x << "    </properties>\n";
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
                if (!c.replay.empty())
                    detail += "replay: " + ReplayCommand(report, c) + "\n";
                x << ">\n      <failure message=\"" << message << "\">" << XmlEscaped(detail) << "</failure>\n    </testcase>\n";
                break;
            case CaseResult::Status::Crashed:
                if (!c.replay.empty())
                    detail += "replay: " + ReplayCommand(report, c) + "\n";
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
