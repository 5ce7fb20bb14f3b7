// Checks a whole resource folder: what the host reads when it loads the plug-in's resource and
// builds each of its dialogs, in every language it may run in.
#include "hostsim/resource_check.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

#include "hostsim/text.h"

namespace hostsim {
namespace {

namespace fs = std::filesystem;

bool EndsWithIgnoringCase(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && AsciiLower(s.substr(s.size() - suffix.size())) == suffix;
}

// The entries of `folder` (sorted by name) that are folders (`folders`) or files.
std::vector<fs::path> Entries(const std::string& folder, bool folders) {
    std::vector<fs::path> out;
    std::error_code ec;
    if (folder.empty())
        return out;
    for (fs::directory_iterator it(fs::u8path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (folders ? it->is_directory(typeError) : it->is_regular_file(typeError))
            out.push_back(it->path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Every entry of `folder` whose name ends in `suffix`, whatever it is (a file, a link to nothing, a
// folder, a FIFO), sorted by name: the reader says what is wrong with each one it cannot use. A
// folder that cannot be listed is an error of its own.
std::vector<fs::path> NamedEntries(const std::string& folder, const std::string& suffix, ResourceDiagnostics* d) {
    std::vector<fs::path> out;
    if (folder.empty())
        return out;
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(folder), ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec))
        if (EndsWithIgnoringCase(it->path().filename().u8string(), suffix))
            out.push_back(it->path());
    if (ec)
        d->Error(folder, SourcePos{}, "the folder cannot be read (" + ec.message() + ")");
    std::sort(out.begin(), out.end());
    return out;
}

// strings_<language>-<REGION>, the only naming the host of release 2023 and later reads.
bool IsLanguageFolderName(const std::string& name) {
    const std::string lower = AsciiLower(name);
    if (lower.rfind("strings_", 0) != 0)
        return false;
    const std::string code = lower.substr(8);
    const size_t dash = code.find('-');
    const auto letters = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isalpha(c) != 0; });
    };
    return dash >= 2 && dash <= 3 && code.size() - dash - 1 == 2 && letters(code.substr(0, dash)) &&
           letters(code.substr(dash + 1));
}

class FolderChecker {
public:
    explicit FolderChecker(ResourceCheckReport* report) : r_(*report), d_(report->diagnostics) {}

    void Run() {
        std::error_code ec;
        if (!fs::is_directory(fs::u8path(r_.folder), ec)) {
            d_.Error(r_.folder, SourcePos{}, "the resource folder does not exist");
            return;
        }
        if (!LoadSymbols(r_.folder, &symbols_, &d_))
            return; // without symbols every other file would only repeat that its ids are unknown
        for (const auto& s : symbols_)
            names_.emplace(s.second, s.first);
        FindLanguages();
        for (const std::string& language : languages_)
            CheckStringTable(language);
        CheckDialogs();
        for (const std::string& language : languages_)
            CheckUnusedDialogStrings(language);
    }

private:
    void FindLanguages() {
        std::string host;
        for (const fs::path& p : Entries(r_.folder, true)) {
            const std::string name = p.filename().u8string();
            if (AsciiLower(name).rfind("strings_", 0) != 0)
                continue;
            if (IsLanguageFolderName(name) && AsciiLower(name) == AsciiLower(kHostLanguageFolder)) {
                host = p.u8string();
            } else if (IsLanguageFolderName(name)) {
                others_.push_back(p.u8string());
            } else if (AsciiLower(name) != "strings_us") { // strings_us is reported with the host's language
                d_.Warning(p.u8string(), SourcePos{},
                           "the host of release 2023 and later does not read this folder: language folders are "
                           "named strings_<language>-<REGION>, like strings_en-US or strings_de-DE");
            }
        }
        if (host.empty()) {
            FindHostLanguageFolder(r_.folder, &d_); // says why the host finds none
        } else {
            languages_.push_back(host);
            const std::string legacy = FindIgnoringCase(r_.folder, "strings_us");
            if (!legacy.empty())
                d_.Warning(legacy, SourcePos{}, "ignored: the host reads strings_en-US, and strings_us is the folder "
                                                "name of releases before 20");
        }
        languages_.insert(languages_.end(), others_.begin(), others_.end());
        for (const std::string& language : languages_)
            r_.languages.push_back(fs::u8path(language).filename().u8string());
    }

    std::string NameOf(int32_t id) const {
        const auto it = names_.find(id);
        return it == names_.end() ? std::to_string(id) : it->second;
    }

    void CheckStringTable(const std::string& language) {
        std::map<int32_t, std::string>& strings = tables_[language];
        if (!LoadStringTable(language, symbols_, &strings, &d_) || FindIgnoringCase(language, "c4d_strings.str").empty())
            return;
        ++r_.stringTables;
        if (language == languages_.front())
            return;
        // Every string of the host's language should exist in the others too.
        const std::map<int32_t, std::string>& reference = tables_[languages_.front()];
        for (const auto& s : reference)
            if (!strings.count(s.first))
                d_.Warning(FindIgnoringCase(language, "c4d_strings.str"), SourcePos{},
                           "no string " + NameOf(s.first) + ", which " +
                               fs::u8path(languages_.front()).filename().u8string() + " has");
    }

    void CheckDialogs() {
        const std::string dialogs = FindIgnoringCase(r_.folder, "dialogs");
        std::map<int32_t, std::string> describedIn;
        std::map<std::string, std::string> misnamed; // dialog (lower case) -> the file describing it
        std::set<std::string> unreadable;            // file stems (lower case) already reported
        for (const fs::path& p : NamedEntries(dialogs, ".res", &d_)) {
            const std::string path = p.u8string();
            std::string bytes;
            DialogDescription dialog;
            if (!ReadResourceFile(path, &bytes, &d_) || !ReadDialog(bytes, path, symbols_, &dialog, &d_)) {
                unreadable.insert(AsciiLower(p.stem().u8string()));
                unusableDialogs_.insert(AsciiLower(p.stem().u8string()));
                continue;
            }
            r_.dialogs.push_back(dialog.symbol);
            const std::string stem = p.stem().u8string();
            if (AsciiLower(stem) != AsciiLower(dialog.symbol)) {
                d_.Warning(path, SourcePos{1, 1}, "describes " + dialog.symbol + ", which the host looks for in " +
                                                      AsciiLower(dialog.symbol) + ".res: this file is never read");
                misnamed.emplace(AsciiLower(dialog.symbol), path);
                continue;
            }
            usedDialogStrings_.insert(AsciiLower(dialog.symbol));
            if (!describedIn.emplace(dialog.id, path).second)
                d_.Warning(path, SourcePos{1, 1}, "dialog " + std::to_string(dialog.id) + " is also described by " +
                                                      describedIn[dialog.id] + "; the host reads only one of them");
            ElementIds ids;
            CheckElements(dialog, dialog.elements, &ids);
            for (const std::string& language : languages_) {
                DialogStrings strings;
                bool found = false;
                if (LoadDialogStrings(language, dialog.symbol, &strings, &found, &d_) && found) {
                    DialogDescription copy = dialog;
                    ApplyDialogStrings(&strings, &copy, &d_);
                }
            }
        }
        CheckMissingDialogs(dialogs, misnamed, unreadable);
    }

    // The module opens a dialog by its symbol, and the host then reads dialogs/<symbol>.res; when
    // that file is missing the dialog cannot open. A dialog is taken as opened when the folder
    // shows it: a description of it under another file name, strings for it in a language, or a
    // declared symbol named as dialogs are (DLG_..., IDD_...).
    void CheckMissingDialogs(const std::string& dialogs, const std::map<std::string, std::string>& misnamed,
                             const std::set<std::string>& unreadable) {
        std::map<std::string, std::string> declared; // lower case -> as declared
        for (const auto& s : symbols_)
            declared.emplace(AsciiLower(s.first), s.first);
        std::map<std::string, std::string> shownBy; // dialog (lower case) -> why it is taken as opened
        for (const auto& m : misnamed)
            shownBy.emplace(m.first, m.second + " describes it under another name and is never read");
        for (const std::string& language : languages_)
            for (const fs::path& p : Entries(FindIgnoringCase(language, "dialogs"), false)) {
                const std::string stem = AsciiLower(p.stem().u8string());
                if (EndsWithIgnoringCase(p.u8string(), ".str") && declared.count(stem))
                    shownBy.emplace(stem, "its texts are in " + p.u8string());
            }
        for (const auto& s : declared)
            if (s.first.rfind("dlg_", 0) == 0 || s.first.rfind("idd_", 0) == 0)
                shownBy.emplace(s.first, "its symbol is declared in c4d_symbols.h");
        for (const auto& dialog : shownBy) {
            if (usedDialogStrings_.count(dialog.first) || unreadable.count(dialog.first) || !declared.count(dialog.first))
                continue;
            const std::string symbol = declared[dialog.first];
            const std::string file = (dialogs.empty() ? (fs::u8path(r_.folder) / "dialogs").u8string() : dialogs) +
                                     "/" + dialog.first + ".res";
            d_.Error(fs::u8path(file).make_preferred().u8string(), SourcePos{},
                     "missing: the description of dialog " + symbol + " (" + dialog.second +
                         "); the module opens it by its symbol and the host reads this file, so the dialog cannot open");
            unusableDialogs_.insert(dialog.first);
        }
    }

    struct ElementIds {
        std::map<int32_t, const DialogElement*> first;
    };

    // Gadgets are addressed by id: two gadgets with one id leave the plug-in reaching only one.
    void CheckElements(const DialogDescription& dialog, const std::vector<DialogElement>& elements, ElementIds* ids) {
        for (const DialogElement& el : elements) {
            if (el.id && *el.id != kStaticId) {
                const auto earlier = ids->first.emplace(*el.id, &el);
                if (!earlier.second)
                    d_.Warning(dialog.file, el.pos,
                               el.kind + " " + el.idSymbol + " has the id " + std::to_string(*el.id) + " of " +
                                   earlier.first->second->kind + " " + earlier.first->second->idSymbol + " (line " +
                                   std::to_string(earlier.first->second->pos.line) +
                                   "); the plug-in can reach only one of them");
            }
            std::map<int32_t, SourcePos> values;
            for (const DialogChild& c : el.childKeys)
                if (!values.emplace(c.value, c.pos).second)
                    d_.Warning(dialog.file, c.pos, "the value " + std::to_string(c.value) + " appears twice in the "
                                                   "CHILDS of " + el.kind + " " + el.idSymbol + " (also line " +
                                                   std::to_string(values[c.value].line) +
                                                   "); picking either entry gives the same value");
            CheckElements(dialog, el.children, ids);
        }
    }

    // Dialog strings that no description uses point at a renamed or deleted dialog.
    void CheckUnusedDialogStrings(const std::string& language) {
        for (const fs::path& p : Entries(FindIgnoringCase(language, "dialogs"), false)) {
            // The texts of a dialog whose description is missing or unusable are not at fault: the
            // description is reported.
            if (EndsWithIgnoringCase(p.u8string(), ".str") && !usedDialogStrings_.count(AsciiLower(p.stem().u8string())) &&
                !unusableDialogs_.count(AsciiLower(p.stem().u8string())))
                d_.Warning(p.u8string(), SourcePos{}, "no dialog description dialogs/" + AsciiLower(p.stem().u8string()) +
                                                          ".res uses these texts");
        }
    }

    ResourceCheckReport& r_;
    ResourceDiagnostics& d_;
    std::map<std::string, int32_t> symbols_;
    std::multimap<int32_t, std::string> names_;
    std::vector<std::string> languages_; // the host's language first
    std::vector<std::string> others_;
    std::map<std::string, std::map<int32_t, std::string>> tables_;
    std::set<std::string> usedDialogStrings_;
    std::set<std::string> unusableDialogs_;
};

} // namespace

ResourceCheckReport CheckResourceFolder(const std::string& folder) {
    ResourceCheckReport report;
    report.folder = folder;
    FolderChecker(&report).Run();
    return report;
}

} // namespace hostsim
