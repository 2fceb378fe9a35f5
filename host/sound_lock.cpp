#include "host/sound_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qh {

namespace {
int lockFd = -1;  // open while this process holds the lock

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Makes the folders of `file` that are missing, user-only (the config folder may not exist yet).
void MakeParentFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
    mkdir(file.substr(0, slash).c_str(), 0700);
  }
}
}  // namespace

std::string SoundLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (IsAbsolute(runtime)) return std::string(runtime) + "/quiet-highland-sound.lock";
  std::string config;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (IsAbsolute(configHome)) {
    config = configHome;
  } else {
    const char* home = std::getenv("HOME");
    config = std::string(home != nullptr ? home : "") + "/.config";
  }
  return config + "/quiet-highland/sound.lock";
}

bool TakeSoundLock() {
  if (lockFd >= 0) return true;
  const std::string path = SoundLockPath();
  MakeParentFolders(path);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    close(fd);
    return false;
  }
  lockFd = fd;
  return true;
}

void ReleaseSoundLock() {
  if (lockFd < 0) return;
  close(lockFd);  // closing the only descriptor frees the flock
  lockFd = -1;
}

}  // namespace qh
