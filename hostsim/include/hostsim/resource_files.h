// resource_files.h - readers for a plug-in's resource folder in the host's own formats:
//   c4d_symbols.h                         enum { NAME = value, NAME, ..., _DUMMY_ELEMENT_ };
//   strings_en-US/c4d_strings.str          STRINGTABLE { IDS_X "text"; ... }
//   dialogs/<symbol in lower case>.res     DIALOG <symbol> { elements and options }
//   strings_en-US/dialogs/<symbol>.str     DIALOGSTRINGS <symbol> { T_X "text"; ... }
// Every reader answers false with a reason ("file:line: what") instead of throwing.
#ifndef CORVEL_HOSTSIM_RESOURCE_FILES_H
#define CORVEL_HOSTSIM_RESOURCE_FILES_H

#include <cstdint>
#include <map>
#include <string>

#include "hostsim/objects.h"

namespace hostsim {

bool ParseSymbols(const std::string& text, const std::string& fileName,
                  std::map<std::string, int32_t>* symbols, std::string* why);

// Parses a STRINGTABLE (keys resolved through `symbols`, or plain integers) into `strings`.
bool ParseStringTable(const std::string& text, const std::string& fileName,
                      const std::map<std::string, int32_t>& symbols,
                      std::map<int32_t, std::string>* strings, std::string* why);

// Parses DIALOGSTRINGS <name> { KEY "text"; ... } into `texts` (keys are the dialog's own names).
bool ParseDialogStrings(const std::string& text, const std::string& fileName,
                        std::map<std::string, std::string>* texts, std::string* why);

// Parses a dialog description. NAME options are resolved through `texts` (left as the key when
// absent); element ids through `symbols` or as integers.
bool ParseDialog(const std::string& text, const std::string& fileName,
                 const std::map<std::string, int32_t>& symbols,
                 const std::map<std::string, std::string>& texts, DialogDescription* out,
                 std::string* why);

// Loads the resource folder `folder` (symbols and string table; both required). `out->folder`
// is set to `folder`.
bool LoadResourceFolder(const std::string& folder, Resource* out, std::string* why);

// Loads dialog description `dialogId` of a loaded resource (the dialog's symbol names its files).
bool LoadDialogDescription(const Resource& res, int32_t dialogId, DialogDescription* out,
                           std::string* why);

bool ReadTextFile(const std::string& path, std::string* text, std::string* why);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_RESOURCE_FILES_H
