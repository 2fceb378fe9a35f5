#include "resources/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace qh {

namespace {
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kRandomPartLength = 6;  // mkstemp's XXXXXX

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool IsRandomPart(std::string_view s) {
  if (s.size() != kRandomPartLength) return false;
  for (const char c : s) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) return false;
  }
  return true;
}

// What follows "<name>.tmp-" in a temporary file of ours: "<pid>-XXXXXX", or the older
// "XXXXXX" that carried no process id. True when its writer is certainly gone.
bool WriterGone(std::string_view rest) {
  if (IsRandomPart(rest)) return true;  // the older form: no writer of today makes it
  const size_t dash = rest.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash > 9 || !IsRandomPart(rest.substr(dash + 1))) return false;
  long pid = 0;
  for (const char c : rest.substr(0, dash)) {
    if (c < '0' || c > '9') return false;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}
}  // namespace

int OpenRegularFile(const std::string& path, size_t maxBytes, int* error, size_t* size) {
  *error = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *error = errno;
  } else if (!S_ISREG(info.st_mode)) {
    *error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  } else if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxBytes) {
    *error = EFBIG;  // refused before a byte is read or a buffer is made for it
  }
  if (*error != 0) {
    close(fd);
    return -1;
  }
  if (size != nullptr) *size = static_cast<size_t>(info.st_size);
  return fd;
}

namespace {
// Text and binary readers each get their own container, read into once.
template <typename Bytes>
bool ReadWhole(const std::string& path, size_t maxBytes, Bytes* bytes, int* error) {
  size_t size = 0;
  const int fd = OpenRegularFile(path, maxBytes, error, &size);
  if (fd < 0) return false;
  bytes->clear();
  bytes->reserve(size);
  char chunk[65536];
  while (true) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      break;
    }
    if (got == 0) break;
    // The file may grow while it is read: the bound holds for what arrives, too.
    if (static_cast<size_t>(got) > maxBytes - bytes->size()) {
      *error = EFBIG;
      break;
    }
    bytes->insert(bytes->end(), chunk, chunk + got);
  }
  close(fd);
  return *error == 0;
}
}  // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* bytes, int* error) {
  return ReadWhole(path, maxBytes, bytes, error);
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes, int* error) {
  return ReadWhole(path, maxBytes, bytes, error);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const std::string parent = FolderOf(folder);
  if (parent != folder && !MakeFolders(parent)) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteTemporaryFile(const std::string& path, const std::string& text, mode_t mode, std::string* temp) {
  *temp = path + std::string(kTemporaryMark) + std::to_string(getpid()) + "-XXXXXX";
  const int fd = mkstemp(temp->data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  ok = ok && fchmod(fd, mode) == 0;
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    const int saved = errno;
    unlink(temp->c_str());
    errno = saved;
  }
  return ok;
}

bool CommitTemporaryFile(const std::string& temp, const std::string& path) {
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return false;
  }
  // Make the rename itself durable.
  const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode) {
  std::string temp;
  return WriteTemporaryFile(path, text, mode, &temp) && CommitTemporaryFile(temp, path);
}

void RemoveStaleTemporaryFiles(const std::string& path) {
  const std::string folder = FolderOf(path);
  const size_t slash = path.find_last_of('/');
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + std::string(kTemporaryMark);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    if (!WriterGone(name.substr(prefix.size()))) continue;
    const std::string file = folder + "/" + std::string(name);
    struct stat info;
    if (lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid()) unlink(file.c_str());
  }
  closedir(dir);
}

std::string MovedAsideName(const std::string& path) {
  std::string candidate = path + ".bad";
  for (int i = 1; i < 1000; ++i) {
    struct stat info;
    if (lstat(candidate.c_str(), &info) != 0 && errno == ENOENT) return candidate;
    candidate = path + ".bad." + std::to_string(i);
  }
  return candidate;
}

bool KeepAside(const std::string& path, const std::string& aside) {
  if (link(path.c_str(), aside.c_str()) == 0) return true;
  if (errno == EEXIST) return false;
  return std::rename(path.c_str(), aside.c_str()) == 0;
}

}  // namespace qh
