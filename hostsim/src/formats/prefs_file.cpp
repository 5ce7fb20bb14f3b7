// The stand-in host's preferences file (format in hostsim/prefs_file.h).
#include "hostsim/prefs_file.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unordered_set>

#include "hostsim/safe_file.h"

namespace hostsim {
namespace {

namespace fs = std::filesystem;

// The most fields a record has (`container <plug-in> <id> <count>`).
constexpr size_t kMaxFields = 4;

struct Fields {
    std::string_view field[kMaxFields];
    size_t count = 0;
    bool tooMany = false;
};

Fields SplitFields(std::string_view line) {
    Fields f;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at == line.size())
            break;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t')
            ++end;
        if (f.count == kMaxFields) {
            f.tooMany = true;
            break;
        }
        f.field[f.count++] = line.substr(at, end - at);
        at = end;
    }
    return f;
}

template <typename Int>
bool ParseInt(std::string_view text, Int* out) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *out);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseFloat(std::string_view text, double* out) {
    const std::string copy(text); // strtod needs a terminated string; lines are short
    char* end = nullptr;
    *out = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size();
}

std::string HexFloat(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a", v);
    return buffer;
}

// Reads the records after the first line, one line at a time, checking counts and limits as it
// goes. Each line is looked at once and each key checked against a hash set, so the whole read is
// linear in the size of the text.
class PrefsParser {
public:
    bool Parse(std::string_view text, std::map<int32_t, Container>* prefs, std::string* why) {
        why_ = why;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            const bool lastLine = end == std::string_view::npos;
            if (lastLine)
                end = text.size();
            std::string_view line = text.substr(at, end - at);
            at = lastLine ? text.size() : end + 1;
            ++lineNo_;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.size() > kPrefsMaxLineLength)
                return Fail("the line is longer than " + std::to_string(kPrefsMaxLineLength) + " bytes");
            if (!Line(line))
                return false;
        }
        if (lineNo_ == 0)
            return Fail("the file is empty");
        if (!ended_)
            return Fail("no end line (the file is truncated)");
        *prefs = std::move(result_);
        return true;
    }

private:
    bool Fail(const std::string& what) {
        *why_ = "line " + std::to_string(lineNo_) + ": " + what;
        return false;
    }

    bool Line(std::string_view line) {
        const Fields f = SplitFields(line);
        if (lineNo_ == 1)
            return Header(f);
        if (ended_)
            return Fail("text after the end line");
        if (f.count == 0)
            return Fail("empty line");
        if (f.field[0] == "container")
            return ContainerLine(f);
        if (f.field[0] == "i" || f.field[0] == "b" || f.field[0] == "f")
            return EntryLine(f);
        if (f.field[0] == "end")
            return EndLine(f);
        return Fail("unknown record '" + std::string(f.field[0]) + "'");
    }

    bool Header(const Fields& f) {
        if (f.count != 2 || f.tooMany || f.field[0] != kPrefsMagic)
            return Fail("not a preferences file of the stand-in host");
        if (f.field[1] != std::to_string(kPrefsVersion))
            return Fail("unsupported version " + std::string(f.field[1]) + " (this host reads version " +
                        std::to_string(kPrefsVersion) + ")");
        return true;
    }

    bool ContainerLine(const Fields& f) {
        if (remaining_ != 0)
            return Fail("the previous container has fewer entries than it announced");
        int32_t plugin = 0, id = 0;
        size_t count = 0;
        if (f.count != 4 || f.tooMany || !ParseInt(f.field[1], &plugin) || !ParseInt(f.field[2], &id) ||
            !ParseInt(f.field[3], &count))
            return Fail("bad container line");
        if (result_.size() == kPrefsMaxContainers)
            return Fail("more than " + std::to_string(kPrefsMaxContainers) + " containers");
        if (count > kPrefsMaxEntries - entries_)
            return Fail("more than " + std::to_string(kPrefsMaxEntries) + " entries");
        const auto inserted = result_.emplace(plugin, Container(id));
        if (!inserted.second)
            return Fail("plug-in id " + std::string(f.field[1]) + " stored twice");
        current_ = &inserted.first->second;
        current_->entries.reserve(count);
        keys_.clear();
        keys_.reserve(count);
        remaining_ = count;
        entries_ += count;
        return true;
    }

    bool EntryLine(const Fields& f) {
        if (!current_ || remaining_ == 0)
            return Fail("entry outside a container");
        int32_t key = 0;
        if (f.count != 3 || f.tooMany || !ParseInt(f.field[1], &key))
            return Fail("bad entry line");
        if (!keys_.insert(key).second)
            return Fail("key " + std::string(f.field[1]) + " stored twice");
        Container::Value v;
        const std::string_view value = f.field[2];
        if (f.field[0] == "i") {
            v.type = Container::Type::Int32;
            if (!ParseInt(value, &v.i))
                return Fail("bad Int32 value");
        } else if (f.field[0] == "b") {
            v.type = Container::Type::Bool;
            if (value != "0" && value != "1")
                return Fail("bad Bool value");
            v.b = value == "1";
        } else {
            v.type = Container::Type::Float;
            if (!ParseFloat(value, &v.f))
                return Fail("bad Float value");
        }
        // Appended directly: the key was checked to be new, so no search of the entries is needed.
        current_->entries.emplace_back(key, v);
        --remaining_;
        return true;
    }

    bool EndLine(const Fields& f) {
        if (remaining_ != 0)
            return Fail("the last container has fewer entries than it announced");
        size_t containers = 0;
        if (f.count != 2 || f.tooMany || !ParseInt(f.field[1], &containers) || containers != result_.size())
            return Fail("the end line does not match the number of containers");
        ended_ = true;
        return true;
    }

    std::string* why_ = nullptr;
    size_t lineNo_ = 0;
    std::map<int32_t, Container> result_;
    Container* current_ = nullptr;
    std::unordered_set<int32_t> keys_; // of the current container
    size_t remaining_ = 0;             // entries the current container still announces
    size_t entries_ = 0;               // entries announced so far, all containers
    bool ended_ = false;
};

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
    return PrefsParser().Parse(text, prefs, why);
}

bool ReadPrefsFile(const std::string& path, std::map<int32_t, Container>* prefs, std::string* why) {
    const fs::path file = fs::u8path(path);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        *why = path + ": no such file";
        return false;
    }
    const uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kPrefsMaxFileBytes) {
        *why = path + (ec ? ": cannot tell its size: " + ec.message()
                          : ": larger than " + std::to_string(kPrefsMaxFileBytes >> 20) + " MiB");
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(size)) || in.peek() != std::char_traits<char>::eof()) {
        *why = path + ": cannot be read in full";
        return false;
    }
    if (!ParsePrefs(text, prefs, why)) {
        *why = path + ": " + *why;
        return false;
    }
    return true;
}

bool WritePrefsFile(const std::string& path, const std::map<int32_t, Container>& prefs, std::string* why) {
    if (!ReplaceFileContents(path, FormatPrefs(prefs), why)) {
        *why = path + ": " + *why;
        return false;
    }
    return true;
}

} // namespace hostsim
