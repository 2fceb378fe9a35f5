#include "resources/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace qh {

namespace {
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
}  // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string* bytes, int* error) {
  *error = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *error = errno;
    close(fd);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return false;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    *error = errno;
    close(fd);
    return false;
  }
  bytes->clear();
  char chunk[4096];
  while (true) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes->append(chunk, got);
    if (bytes->size() > maxBytes) {
      *error = EFBIG;
      break;
    }
    if (got < sizeof chunk) {
      if (std::ferror(file)) *error = errno != 0 ? errno : EIO;
      break;
    }
  }
  std::fclose(file);
  return *error == 0;
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

bool WriteFileAtomically(const std::string& path, const std::string& text, mode_t mode) {
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  ok = ok && fchmod(fd, mode) == 0;
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return false;
  }
  // Make the rename itself durable.
  const int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
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

}  // namespace qh
