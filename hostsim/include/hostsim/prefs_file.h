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
// bad line, a count that does not match, a missing `end` line from a truncated write, a file
// beyond the limits below) makes the whole file unreadable: the reader answers false with the
// reason and the host starts with no stored preferences, keeping a copy of the unreadable file
// before it writes a new one. Reading takes time in proportion to the file's size.
//
// The writer never writes in place (hostsim/safe_file.h): a temporary file created exclusively
// beside the target is written, flushed and renamed over it, so a failure at any point leaves the
// previous file; a link at the file's name is followed, the file's mode kept, and a read-only
// file left alone.
#ifndef CORVEL_HOSTSIM_PREFS_FILE_H
#define CORVEL_HOSTSIM_PREFS_FILE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "hostsim/objects.h"

namespace hostsim {

inline constexpr const char* kPrefsMagic = "corvel-host-prefs";
inline constexpr int kPrefsVersion = 1;

// Limits of what the reader accepts. The longest line the writer produces is about 50 bytes; the
// entry limit is twice the million entries a heavily used host might keep, and the file size
// follows from it.
inline constexpr size_t kPrefsMaxLineLength = 256;
inline constexpr size_t kPrefsMaxContainers = 100000;
inline constexpr size_t kPrefsMaxEntries = 2000000;
inline constexpr uint64_t kPrefsMaxFileBytes = 64ull << 20;

std::string FormatPrefs(const std::map<int32_t, Container>& prefs);
bool ParsePrefs(const std::string& text, std::map<int32_t, Container>* prefs, std::string* why);
bool ReadPrefsFile(const std::string& path, std::map<int32_t, Container>* prefs, std::string* why);
bool WritePrefsFile(const std::string& path, const std::map<int32_t, Container>& prefs,
                    std::string* why);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_PREFS_FILE_H
