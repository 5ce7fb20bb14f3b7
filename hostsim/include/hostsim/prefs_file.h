// prefs_file.h - the stand-in host's file of world plug-in preferences.
//
// Format (text, UTF-8, one record per line, version 1):
//
//     corvel-host-prefs 1
//     container <plugin id> <container id> <entry count>
//     i <key> <Int32 value>
//     b <key> <0|1>
//     f <key> <Float value as a C99 hexadecimal literal, exact, e.g. 0x1.4p+10>
//     ...
//     end <container count>
//
// Entries follow their `container` line in insertion order. Anything else (another version, a
// bad line, a count that does not match, a missing `end` line from a truncated write) makes the
// whole file unreadable: the reader answers false with the reason and the host starts with no
// stored preferences. The writer writes a temporary file beside the target and renames it, so a
// crash mid-write leaves the previous file.
#ifndef CORVEL_HOSTSIM_PREFS_FILE_H
#define CORVEL_HOSTSIM_PREFS_FILE_H

#include <cstdint>
#include <map>
#include <string>

#include "hostsim/objects.h"

namespace hostsim {

inline constexpr const char* kPrefsMagic = "corvel-host-prefs";
inline constexpr int kPrefsVersion = 1;

std::string FormatPrefs(const std::map<int32_t, Container>& prefs);
bool ParsePrefs(const std::string& text, std::map<int32_t, Container>* prefs, std::string* why);
bool ReadPrefsFile(const std::string& path, std::map<int32_t, Container>* prefs, std::string* why);
bool WritePrefsFile(const std::string& path, const std::map<int32_t, Container>& prefs,
                    std::string* why);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_PREFS_FILE_H
