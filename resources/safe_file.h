// File input and output for files other programs and people may have damaged or replaced:
// bounded reads of regular files only, opened without blocking, and atomic replacement
// through a temporary file beside the target.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qh {

// Reads a whole regular file of at most maxBytes bytes into *bytes. The file is opened
// without blocking, so a FIFO or a device in its place is refused at once instead of being
// waited on for ever. False with *error set (an errno value) otherwise: the open's own
// error, EISDIR for a folder, EINVAL for anything else that is not a regular file, EFBIG
// for a file larger than maxBytes (a file of exactly maxBytes is read).
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* bytes, int* error);
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes, int* error);
// The descriptor ReadRegularFile reads from, for readers that take their own time over a
// file (the music, decoded as it plays): a regular file of at most maxBytes bytes, opened
// without blocking and close-on-exec, its size at the open in *size when asked; -1 with
// *error set as above otherwise. The caller closes it.
int OpenRegularFile(const std::string& path, size_t maxBytes, int* error, size_t* size = nullptr);

// The folder part of a path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);
// Creates the folder and its missing parents (mode 0700); true when it exists as a folder.
bool MakeFolders(const std::string& folder);

// An atomic replacement in two steps, so a caller can act between them. First the text is
// written in full and flushed to disk in a temporary file beside path, named
// path.tmp-<process id>-XXXXXX; false (errno set) when that failed, and nothing is left.
bool WriteTemporaryFile(const std::string& path, const std::string& text, mode_t mode, std::string* temp);
// Then it is renamed over path (a reader sees the old file or the new one, never half of
// one) and the rename is made durable; false (errno set, the temporary file removed) when
// the rename failed.
bool CommitTemporaryFile(const std::string& temp, const std::string& path);
// Both steps at once.
bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode);

// Removes the temporary files of path that earlier writes left behind when they were
// killed: ours by name, regular files of this user, whose writer no longer runs.
void RemoveStaleTemporaryFiles(const std::string& path);

// The first free name for keeping a damaged file aside: path.bad, path.bad.1, path.bad.2
// ... so an older file kept aside is never replaced.
std::string MovedAsideName(const std::string& path);
// Gives the file at path the second name aside without a moment in which path is missing
// (a hard link; a rename where the file system has no links). False (errno set) on failure.
bool KeepAside(const std::string& path, const std::string& aside);

}  // namespace qh
