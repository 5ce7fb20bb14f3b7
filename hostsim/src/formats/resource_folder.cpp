// A plug-in's resource folder as the host finds its files: names in any case, the string table of
// the host's language, a dialog's description and its strings.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hostsim/resource_files.h"
#include "hostsim/text.h"

namespace hostsim {
namespace {

namespace fs = std::filesystem;

std::string Join(const std::string& folder, const std::string& name) {
    return (fs::u8path(folder) / fs::u8path(name)).u8string();
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::u8path(path), ec);
}

} // namespace

// Reads the strings of dialog `symbol` in the language folder `languageFolder`. A missing file is a
// warning (`*found` stays false); false when the file is there but cannot be used.
bool LoadDialogStrings(const std::string& languageFolder, const std::string& symbol, DialogStrings* out,
                       bool* found, ResourceDiagnostics* d) {
    *found = false;
    const std::string expected = Join(Join(languageFolder, "dialogs"), AsciiLower(symbol) + ".str");
    const std::string path = FindIgnoringCase(FindIgnoringCase(languageFolder, "dialogs"), AsciiLower(symbol) + ".str");
    if (path.empty()) {
        d->Warning(expected, SourcePos{}, "missing: dialog " + symbol +
                                              " has no texts in this language and shows its raw text keys");
        return true;
    }
    std::string bytes;
    if (!ReadResourceFile(path, &bytes, d) || !ReadDialogStrings(bytes, path, out, d))
        return false;
    if (AsciiLower(out->dialogSymbol) != AsciiLower(symbol))
        d->Warning(path, out->symbolPos, "DIALOGSTRINGS names " + out->dialogSymbol +
                                             ", but the host reads this file for dialog " + symbol);
    *found = true;
    return true;
}

bool ReadResourceFile(const std::string& path, std::string* bytes, ResourceDiagnostics* diagnostics) {
    std::error_code ec;
    const fs::path p = fs::u8path(path);
    // Only a regular file is opened (links followed): a FIFO would block the host.
    const fs::file_status target = fs::status(p, ec);
    if (!fs::is_regular_file(target)) {
        std::error_code linkError;
        const bool link = fs::is_symlink(fs::symlink_status(p, linkError));
        std::string what = "no such file";
        if (ec == std::errc::too_many_symbolic_link_levels)
            what = "a loop of symbolic links";
        else if (link && !fs::exists(target))
            what = "a symbolic link to " + fs::read_symlink(p, linkError).u8string() + ", which does not exist";
        else if (fs::is_directory(target))
            what = "a folder, not a file";
        else if (fs::is_fifo(target))
            what = "a FIFO, not a file";
        else if (fs::exists(target))
            what = "not a regular file";
        else if (ec && ec != std::errc::no_such_file_or_directory)
            what = "cannot be read (" + ec.message() + ")";
        diagnostics->Error(path, SourcePos{}, what);
        return false;
    }
    const auto size = fs::file_size(p, ec);
    if (ec || size > ResourceLimits::kMaxFileBytes) {
        diagnostics->Error(path, SourcePos{}, ec ? "cannot be read" : "the file is larger than " +
                                                                          std::to_string(ResourceLimits::kMaxFileBytes >> 20) +
                                                                          " MiB; a resource file this size is not a resource file");
        return false;
    }
    std::string data(static_cast<size_t>(size), '\0');
    std::ifstream in(p, std::ios::binary);
    if (!in || (size > 0 && !in.read(&data[0], static_cast<std::streamsize>(size)))) {
        diagnostics->Error(path, SourcePos{}, "cannot be read");
        return false;
    }
    *bytes = std::move(data);
    return true;
}

bool ReadTextFile(const std::string& path, std::string* text, std::string* why) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::u8path(path), ec)) {
        *why = path + ": no such file";
        return false;
    }
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) {
        *why = path + ": cannot be opened";
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return {};
    std::error_code ec;
    const std::string exact = Join(folder, name);
    if (fs::exists(fs::u8path(exact), ec))
        return exact;
    // Several names that differ only in case: the first in sorted order, so that every run picks
    // the same one.
    std::string found;
    const std::string wanted = AsciiLower(name);
    for (fs::directory_iterator it(fs::u8path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().u8string();
        if (AsciiLower(entry) == wanted && (found.empty() || entry < found))
            found = entry;
    }
    return found.empty() ? std::string() : Join(folder, found);
}

bool LoadSymbols(const std::string& folder, std::map<std::string, int32_t>* symbols, ResourceDiagnostics* diagnostics) {
    const std::string path = FindIgnoringCase(folder, "c4d_symbols.h");
    if (path.empty()) {
        diagnostics->Error(Join(folder, "c4d_symbols.h"), SourcePos{},
                           "missing: without it no resource id can be resolved");
        return false;
    }
    std::string bytes;
    return ReadResourceFile(path, &bytes, diagnostics) && ReadSymbols(bytes, path, symbols, diagnostics);
}

std::string FindHostLanguageFolder(const std::string& folder, ResourceDiagnostics* diagnostics) {
    const std::string language = FindIgnoringCase(folder, kHostLanguageFolder);
    if (IsFolder(language))
        return language;
    const std::string legacy = FindIgnoringCase(folder, "strings_us");
    if (IsFolder(legacy))
        diagnostics->Warning(legacy, SourcePos{},
                             "the host of release 2023 and later does not read strings_us (the folder name of "
                             "releases before 20); rename it to strings_en-US, or the plug-in's strings and dialog "
                             "texts are missing");
    else
        diagnostics->Warning(Join(folder, kHostLanguageFolder), SourcePos{},
                             "missing: the plug-in has no strings or dialog texts in the host's language");
    return {};
}

bool LoadStringTable(const std::string& languageFolder, const std::map<std::string, int32_t>& symbols,
                     std::map<int32_t, std::string>* strings, ResourceDiagnostics* diagnostics) {
    const std::string path = FindIgnoringCase(languageFolder, "c4d_strings.str");
    if (path.empty()) {
        diagnostics->Warning(Join(languageFolder, "c4d_strings.str"), SourcePos{},
                             "missing: the resource loads without strings, and every string the plug-in asks for "
                             "is empty");
        return true;
    }
    std::string bytes;
    return ReadResourceFile(path, &bytes, diagnostics) &&
           ReadStringTable(bytes, path, symbols, strings, diagnostics);
}

bool LoadResourceFolder(const std::string& folder, Resource* out, ResourceDiagnostics* diagnostics) {
    if (!IsFolder(folder)) {
        diagnostics->Error(folder, SourcePos{}, "the resource folder does not exist");
        return false;
    }
    out->symbols.clear();
    out->strings.clear();
    out->stringsFolder = {};
    if (!LoadSymbols(folder, &out->symbols, diagnostics))
        return false;
    const std::string language = FindHostLanguageFolder(folder, diagnostics);
    if (!language.empty() && !LoadStringTable(language, out->symbols, &out->strings, diagnostics))
        return false;
    out->stringsFolder = language;
    out->folder = folder;
    return true;
}

bool LoadDialogDescription(const Resource& res, int32_t dialogId, DialogDescription* out,
                           ResourceDiagnostics* diagnostics) {
    ResourceDiagnostics& d = *diagnostics;
    const std::string dialogs = FindIgnoringCase(res.folder, "dialogs");
    // Several symbols may share the value: the one whose description exists names the files.
    std::string symbol;
    std::string resPath;
    for (const auto& s : res.symbols) {
        if (s.second != dialogId)
            continue;
        const std::string candidate = FindIgnoringCase(dialogs, AsciiLower(s.first) + ".res");
        if (symbol.empty() || (resPath.empty() && !candidate.empty())) {
            symbol = s.first;
            resPath = candidate;
        }
    }
    if (symbol.empty()) {
        d.Error(Join(res.folder, "c4d_symbols.h"), SourcePos{},
                "no symbol has the value " + std::to_string(dialogId) + ", so dialog " + std::to_string(dialogId) +
                    " has no description");
        return false;
    }
    if (resPath.empty()) {
        d.Error(Join(Join(res.folder, "dialogs"), AsciiLower(symbol) + ".res"), SourcePos{},
                "missing: dialog " + symbol + " cannot be built");
        return false;
    }
    std::string bytes;
    if (!ReadResourceFile(resPath, &bytes, &d) || !ReadDialog(bytes, resPath, res.symbols, out, &d))
        return false;
    if (out->id != dialogId) {
        d.Error(resPath, SourcePos{1, 1}, "describes dialog " + out->symbol + " (" + std::to_string(out->id) +
                                              "), not " + symbol + " (" + std::to_string(dialogId) + ")");
        return false;
    }
    DialogStrings strings;
    bool found = false;
    if (!res.stringsFolder.empty() && !LoadDialogStrings(res.stringsFolder, symbol, &strings, &found, &d))
        return false;
    ApplyDialogStrings(found ? &strings : nullptr, out, &d);
    return true;
}

bool LoadResourceFolder(const std::string& folder, Resource* out, std::string* why) {
    ResourceDiagnostics d;
    if (LoadResourceFolder(folder, out, &d))
        return true;
    *why = d.FirstError();
    return false;
}

bool LoadDialogDescription(const Resource& res, int32_t dialogId, DialogDescription* out, std::string* why) {
    ResourceDiagnostics d;
    if (LoadDialogDescription(res, dialogId, out, &d))
        return true;
    *why = d.FirstError();
    return false;
}

} // namespace hostsim
