// resource_files.h - readers for a plug-in's resource folder in the host's own formats:
//   c4d_symbols.h                         enum { NAME = value, NAME, ..., _DUMMY_ELEMENT_ };
//   strings_en-US/c4d_strings.str          STRINGTABLE { IDS_X "text"; ... }
//   dialogs/<symbol in lower case>.res     DIALOG <symbol> { elements and options }
//   strings_en-US/dialogs/<symbol>.str     DIALOGSTRINGS <symbol> { T_X "text"; ... }
//
// The readers take files as the host does: any line ending (LF, CR LF, old Mac CR), file names in
// any case, the static id IDC_STATIC without a declaration, text in UTF-8 or (with a warning)
// Latin-1. What they find is reported as diagnostics with file, line and column: errors where the
// host could not use the file, warnings where it would use it but something is off. Nothing
// throws, and bad input is bounded by ResourceLimits (size, line length, nesting, entry counts).
#ifndef CORVEL_HOSTSIM_RESOURCE_FILES_H
#define CORVEL_HOSTSIM_RESOURCE_FILES_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hostsim/objects.h"

namespace hostsim {

// The id of static elements (labels, layout groups). The host knows it without a declaration, and
// any number of elements may carry it.
constexpr const char* kStaticIdSymbol = "IDC_STATIC";
constexpr int32_t kStaticId = -1;

// The language the stand-in host runs in, and the only folder naming the host of release 2023 and
// later reads: strings_<language>-<REGION>.
constexpr const char* kHostLanguageFolder = "strings_en-US";

// Bounds that keep a hostile or broken file from crashing, stalling or exhausting the host. Real
// resource files stay far below every one of them.
struct ResourceLimits {
    static constexpr size_t kMaxFileBytes = 4u << 20;
    static constexpr size_t kMaxLineBytes = 64u << 10;
    static constexpr int kMaxNesting = 100;          // element inside element inside ...
    static constexpr size_t kMaxEntries = 100000;    // symbols, strings or elements of one file
};

struct ResourceDiagnostic {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string file;
    SourcePos pos; // line 0: about the file as a whole
    std::string message;

    // "file:line:column: error: message" (or "file: warning: message" for the whole file).
    std::string Format() const;
};

class ResourceDiagnostics {
public:
    void Error(const std::string& file, SourcePos pos, const std::string& message);
    void Warning(const std::string& file, SourcePos pos, const std::string& message);
    void Append(const ResourceDiagnostics& other);

    const std::vector<ResourceDiagnostic>& All() const { return items_; }
    size_t ErrorCount() const { return errors_; }
    size_t WarningCount() const { return items_.size() - errors_; }
    bool HasErrors() const { return errors_ > 0; }
    // The first error, formatted; empty when there is none.
    std::string FirstError() const;

private:
    std::vector<ResourceDiagnostic> items_;
    size_t errors_ = 0;
};

// The texts of one dialog in one language, with where each key was defined.
struct DialogStrings {
    std::string dialogSymbol;
    SourcePos symbolPos;
    std::string file;
    std::map<std::string, std::string> texts;
    std::map<std::string, SourcePos> where;
};

// Each reader answers false when the file cannot be used (an error was reported); warnings alone
// leave it usable. `fileName` only names the file in diagnostics.
bool ReadSymbols(const std::string& text, const std::string& fileName, std::map<std::string, int32_t>* symbols,
                 ResourceDiagnostics* diagnostics);
// Keys are resolved through `symbols`, or are plain integers.
bool ReadStringTable(const std::string& text, const std::string& fileName,
                     const std::map<std::string, int32_t>& symbols, std::map<int32_t, std::string>* strings,
                     ResourceDiagnostics* diagnostics);
bool ReadDialogStrings(const std::string& text, const std::string& fileName, DialogStrings* out,
                       ResourceDiagnostics* diagnostics);
// Reads the structure of a description; NAME and CHILDS texts stay keys until ApplyDialogStrings.
bool ReadDialog(const std::string& text, const std::string& fileName, const std::map<std::string, int32_t>& symbols,
                DialogDescription* out, ResourceDiagnostics* diagnostics);
// Resolves the description's text keys through `strings` (null: the dialog has no strings file).
// A key that is missing stays as it is, shown raw as the host shows it, with a warning.
void ApplyDialogStrings(const DialogStrings* strings, DialogDescription* dialog, ResourceDiagnostics* diagnostics);

// Reads a file's bytes, refusing what is not a regular file or is larger than the limit.
bool ReadResourceFile(const std::string& path, std::string* bytes, ResourceDiagnostics* diagnostics);

// The entry `name` of `folder`, matched as the host does on a disk that ignores case: an exact
// match first, otherwise the one entry whose name differs only in case. Empty when there is none.
std::string FindIgnoringCase(const std::string& folder, const std::string& name);

// The pieces of a folder as the host loads them. Missing optional files are warnings.
// c4d_symbols.h of `folder` (required).
bool LoadSymbols(const std::string& folder, std::map<std::string, int32_t>* symbols, ResourceDiagnostics* diagnostics);
// The language folder the host reads (strings_en-US in any case); empty, with a warning that says
// why, when there is none.
std::string FindHostLanguageFolder(const std::string& folder, ResourceDiagnostics* diagnostics);
// c4d_strings.str of a language folder.
bool LoadStringTable(const std::string& languageFolder, const std::map<std::string, int32_t>& symbols,
                     std::map<int32_t, std::string>* strings, ResourceDiagnostics* diagnostics);
// dialogs/<symbol>.str of a language folder; `*found` tells whether the file exists.
bool LoadDialogStrings(const std::string& languageFolder, const std::string& symbol, DialogStrings* out, bool* found,
                       ResourceDiagnostics* diagnostics);

// Loads the resource folder `folder`: c4d_symbols.h (required) and the string table of the host's
// language (a missing table or language folder is a warning). `out->folder` is set to `folder`.
bool LoadResourceFolder(const std::string& folder, Resource* out, ResourceDiagnostics* diagnostics);
// Loads dialog description `dialogId` of a loaded resource (the dialog's symbol names its files)
// with its texts in the host's language.
bool LoadDialogDescription(const Resource& res, int32_t dialogId, DialogDescription* out,
                           ResourceDiagnostics* diagnostics);

// The same readers for callers that only want the verdict: false with the first error in `why`.
bool ParseSymbols(const std::string& text, const std::string& fileName, std::map<std::string, int32_t>* symbols,
                  std::string* why);
bool ParseStringTable(const std::string& text, const std::string& fileName,
                      const std::map<std::string, int32_t>& symbols, std::map<int32_t, std::string>* strings,
                      std::string* why);
bool ParseDialogStrings(const std::string& text, const std::string& fileName,
                        std::map<std::string, std::string>* texts, std::string* why);
bool ParseDialog(const std::string& text, const std::string& fileName, const std::map<std::string, int32_t>& symbols,
                 const std::map<std::string, std::string>& texts, DialogDescription* out, std::string* why);
bool LoadResourceFolder(const std::string& folder, Resource* out, std::string* why);
bool LoadDialogDescription(const Resource& res, int32_t dialogId, DialogDescription* out, std::string* why);
bool ReadTextFile(const std::string& path, std::string* text, std::string* why);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_RESOURCE_FILES_H
