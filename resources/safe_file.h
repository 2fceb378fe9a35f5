// File input and output for files other programs and people may have damaged or replaced:
// bounded reads of regular files only, opened without blocking, and atomic replacement
// through a temporary file beside the target.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace qh {

// Reads a whole regular file of at most maxBytes bytes into *bytes. The file is opened
// without blocking, so a FIFO or a device in its place is refused at once instead of being
// waited on for ever. False with *error set (an errno value) otherwise: the open's own
// error, EISDIR for a folder, EINVAL for anything else that is not a regular file, EFBIG
// for a file larger than maxBytes.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* bytes, int* error);

// The folder part of a path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);
// Creates the folder and its missing parents (mode 0700); true when it exists as a folder.
bool MakeFolders(const std::string& folder);

// Writes text to a temporary file beside path, flushes it to disk, then renames it over
// path: a reader sees the old file or the new one, never half of one. False (errno set)
// when any step failed; the temporary file is then removed and path is unchanged.
bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode);

// The first free name for keeping a damaged file aside: path.bad, path.bad.1, path.bad.2
// ... so an older file kept aside is never replaced.
std::string MovedAsideName(const std::string& path);

}  // namespace qh
