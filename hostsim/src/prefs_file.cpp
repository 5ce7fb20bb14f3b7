// The stand-in host's preferences file (format in hostsim/prefs_file.h).
#include "hostsim/prefs_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hostsim/resource_files.h"

namespace hostsim {
namespace {

bool ParseInt(const std::string& s, long long lo, long long hi, long long* out) {
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

std::string HexFloat(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a", v);
    return buffer;
}

} // namespace

std::string FormatPrefs(const std::map<int32_t, Container>& prefs) {
    std::ostringstream out;
    out << kPrefsMagic << ' ' << kPrefsVersion << '\n';
    for (const auto& p : prefs) {
        out << "container " << p.first << ' ' << p.second.id << ' ' << p.second.entries.size() << '\n';
        for (const auto& e : p.second.entries) {
            switch (e.second.type) {
            case Container::Type::Int32: out << "i " << e.first << ' ' << e.second.i << '\n'; break;
            case Container::Type::Bool: out << "b " << e.first << ' ' << (e.second.b ? 1 : 0) << '\n'; break;
            case Container::Type::Float: out << "f " << e.first << ' ' << HexFloat(e.second.f) << '\n'; break;
            }
        }
    }
    out << "end " << prefs.size() << '\n';
    return out.str();
}

bool ParsePrefs(const std::string& text, std::map<int32_t, Container>* prefs, std::string* why) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    auto fail = [&](const std::string& what) {
        *why = "line " + std::to_string(lineNo) + ": " + what;
        return false;
    };
    std::map<int32_t, Container> result;
    Container* current = nullptr;
    long long remaining = 0;
    bool ended = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        if (lineNo == 1) {
            if (f.size() != 2 || f[0] != kPrefsMagic)
                return fail("not a preferences file of the stand-in host");
            if (f[1] != std::to_string(kPrefsVersion))
                return fail("unsupported version " + f[1] + " (this host reads version " +
                            std::to_string(kPrefsVersion) + ")");
            continue;
        }
        if (ended)
            return fail("text after the end line");
        if (f.empty())
            return fail("empty line");
        long long a = 0, b = 0, c = 0;
        if (f[0] == "container") {
            if (remaining != 0)
                return fail("the previous container has fewer entries than it announced");
            if (f.size() != 4 || !ParseInt(f[1], INT32_MIN, INT32_MAX, &a) || !ParseInt(f[2], INT32_MIN, INT32_MAX, &b) ||
                !ParseInt(f[3], 0, 1000000, &c))
                return fail("bad container line");
            if (result.count(static_cast<int32_t>(a)))
                return fail("plug-in id " + f[1] + " stored twice");
            current = &result[static_cast<int32_t>(a)];
            current->id = static_cast<int32_t>(b);
            remaining = c;
        } else if (f[0] == "i" || f[0] == "b" || f[0] == "f") {
            if (!current || remaining == 0)
                return fail("entry outside a container");
            if (f.size() != 3 || !ParseInt(f[1], INT32_MIN, INT32_MAX, &a))
                return fail("bad entry line");
            const int32_t key = static_cast<int32_t>(a);
            if (current->Has(key))
                return fail("key " + f[1] + " stored twice");
            if (f[0] == "i") {
                if (!ParseInt(f[2], INT32_MIN, INT32_MAX, &b))
                    return fail("bad Int32 value");
                current->SetInt32(key, static_cast<int32_t>(b));
            } else if (f[0] == "b") {
                if (f[2] != "0" && f[2] != "1")
                    return fail("bad Bool value");
                current->SetBool(key, f[2] == "1");
            } else {
                char* end = nullptr;
                double v = std::strtod(f[2].c_str(), &end);
                if (!end || *end != '\0')
                    return fail("bad Float value");
                current->SetFloat(key, v);
            }
            --remaining;
        } else if (f[0] == "end") {
            if (remaining != 0)
                return fail("the last container has fewer entries than it announced");
            if (f.size() != 2 || !ParseInt(f[1], 0, 1000000, &a) || static_cast<size_t>(a) != result.size())
                return fail("the end line does not match the number of containers");
            ended = true;
        } else {
            return fail("unknown record '" + f[0] + "'");
        }
    }
    if (lineNo == 0)
        return fail("the file is empty");
    if (!ended)
        return fail("no end line (the file is truncated)");
    *prefs = std::move(result);
    return true;
}

bool ReadPrefsFile(const std::string& path, std::map<int32_t, Container>* prefs, std::string* why) {
    std::string text;
    if (!ReadTextFile(path, &text, why))
        return false;
    if (!ParsePrefs(text, prefs, why)) {
        *why = path + ": " + *why;
        return false;
    }
    return true;
}

bool WritePrefsFile(const std::string& path, const std::map<int32_t, Container>& prefs, std::string* why) {
    namespace fs = std::filesystem;
    const fs::path target = fs::u8path(path);
    fs::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            *why = path + ": cannot write " + temp.u8string();
            return false;
        }
        out << FormatPrefs(prefs);
        out.flush();
        if (!out) {
            *why = path + ": write failed";
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        *why = path + ": cannot replace the file: " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace hostsim
