// safe_file.h - replacing a file's contents so that its old contents are never lost.
//
// A file that other programs or the user care about (the preferences file) is never written in
// place: the new contents go into a temporary file created exclusively beside it, are flushed to
// the disk, and the temporary file is renamed over the old one. Whatever fails on the way (no
// space, no permission, a crash) leaves the old file as it was and no temporary file behind.
#ifndef CORVEL_HOSTSIM_SAFE_FILE_H
#define CORVEL_HOSTSIM_SAFE_FILE_H

#include <string>

namespace hostsim {

// The file a path finally names: symbolic links followed (relative ones from the link's folder),
// also when the last one points at a file that does not exist yet. Answers false for a loop.
bool ResolveFileLinks(const std::string& path, std::string* target, std::string* why);

// Replaces the contents of the file at `path` with `data`. A symbolic link at `path` is followed
// and its target replaced, the link stays. The file keeps its permission bits; a file without
// write permission for its owner is not replaced (answers false). The temporary file is created
// exclusively (never through a name someone else planted) in the target's folder.
bool ReplaceFileContents(const std::string& path, const std::string& data, std::string* why);

// Copies the file at `path` to a name of its own beside it, `<name>.<label>` or
// `<name>.<label>.N` for the first free N, without touching the original. Answers the copy's path.
bool KeepCopyAside(const std::string& path, const std::string& label, std::string* copy, std::string* why);

// Why `path` is not a regular file this process can read ("no such file", "is a directory, not a
// file", ...), or empty when it is one. Every command that takes a file asks this first.
std::string WhyNotReadableFile(const std::string& path);

} // namespace hostsim

#endif // CORVEL_HOSTSIM_SAFE_FILE_H
