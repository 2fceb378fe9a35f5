#include "resources/registry_store.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/safe_file.h"

namespace qh {

namespace {

constexpr std::string_view kRootPrefix = "HKEY_LOCAL_MACHINE\\";

std::string installationStoreOverride;
bool installationStoreOverridden = false;

std::string AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};  // unset, empty or relative: ignored
  return value;
}

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  struct passwd entry;
  struct passwd* result = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr && result->pw_dir[0] == '/') {
    return result->pw_dir;
  }
  return {};
}

// For the tests that kill a save half way: QH_TEST_SAVE_PAUSE_MS holds a save for that many
// milliseconds after the new file is on disk and before anything is renamed.
void PauseBeforeRename() {
  const char* pause = std::getenv("QH_TEST_SAVE_PAUSE_MS");
  if (pause == nullptr) return;
  const long ms = std::strtol(pause, nullptr, 10);
  if (ms <= 0 || ms > 60000) return;
  timespec wait{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

std::string FullPath(std::string_view keyPath) {
  std::string full(kRootPrefix);
  full += keyPath;
  return full;
}

}  // namespace

std::string UserStoreFile() {
  std::string base = AbsoluteEnv("XDG_CONFIG_HOME");
  if (base.empty()) {
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    base = home + "/.config";
  }
  return base + "/quiet-highland/registry.reg";
}

void SetInstallationStoreFile(const char* path) {
  installationStoreOverridden = path != nullptr;
  installationStoreOverride = path != nullptr ? path : "";
}

std::string InstallationStoreFile() {
  if (installationStoreOverridden) return installationStoreOverride;
  char exe[4096];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length <= 0) return {};
  exe[length] = '\0';
  // <prefix>/bin/quiet-highland -> <prefix>/share/quiet-highland/registry.reg
  return FolderOf(FolderOf(exe)) + "/share/quiet-highland/registry.reg";
}

std::vector<std::string> StoreFiles() {
  std::vector<std::string> files;
  const std::string user = UserStoreFile();
  if (!user.empty()) files.push_back(user);
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view list = (dirs != nullptr && dirs[0] != '\0') ? dirs : "/etc/xdg";
  while (!list.empty()) {
    const size_t colon = list.find(':');
    const std::string_view dir = list.substr(0, colon);
    if (!dir.empty() && dir[0] == '/') files.push_back(std::string(dir) + "/quiet-highland/registry.reg");
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  const std::string installation = InstallationStoreFile();
  if (!installation.empty()) files.push_back(installation);
  return files;
}

bool LookupStoreValue(std::string_view keyPath, std::string_view name, StoreHit* hit) {
  const std::string full = FullPath(keyPath);
  for (const std::string& file : StoreFiles()) {
    std::string text;
    int error = 0;
    if (!ReadRegularFile(file, kMaxStoreFileBytes, &text, &error)) continue;
    const RegDocument doc = ParseRegText(text);
    if (const RegValue* value = FindRegValue(doc, full, name)) {
      hit->value = *value;
      hit->file = file;
      hit->folder = FolderOf(file);
      return true;
    }
  }
  return false;
}

bool WriteUserStoreValue(std::string_view keyPath, const RegValue& value) {
  std::string path = UserStoreFile();
  if (path.empty()) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings: no home folder is known.\n");
    return false;
  }
  // A user file that is a link (a managed dotfile) is written where it points, but only when
  // that is a settings file this program can read: whatever else a link leads to is not
  // ours to move aside or replace.
  struct stat linkInfo;
  const bool linked = lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode);
  if (linked) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) {
      char target[PATH_MAX] = {};
      const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
      if (length > 0) target[length] = '\0';
      std::fprintf(stderr, "Quiet Highland: can't save the settings: %s is a link to %s, which does not exist; "
                   "the link is left alone.\n", path.c_str(), target);
      return false;
    }
    path = resolved;
  }

  RegDocument doc;
  mode_t mode = 0600;
  std::string text;
  int error = 0;
  bool exists = false;
  if (ReadRegularFile(path, kMaxStoreFileBytes, &text, &error)) {
    exists = true;
    struct stat info;
    if (stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;
    doc = ParseRegText(text);
  } else if (error == EFBIG) {
    exists = true;
    doc.clean = false;  // far too large for a settings file: keep it aside, start afresh
  } else if (error != ENOENT) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings: %s can't be read (%s).\n", path.c_str(),
                 std::strerror(error));
    return false;
  }
  if (linked && !doc.clean) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings: the link %s leads to %s, which is not a settings "
                 "file; it is left alone.\n", UserStoreFile().c_str(), path.c_str());
    return false;
  }

  if (!SetRegValue(&doc, FullPath(keyPath), value)) {
    std::fprintf(stderr, "Quiet Highland: can't save the value \"%s\": it can't be written in a settings file.\n",
                 value.name.c_str());
    return false;
  }
  const std::string newText = FormatRegDocument(doc);
  if (newText.size() > kMaxStoreFileBytes) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings: %s would grow too large (over %zu bytes).\n",
                 path.c_str(), kMaxStoreFileBytes);
    return false;
  }
  std::string temp;
  if (!MakeFolders(FolderOf(path))) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings to %s (%s).\n", path.c_str(), std::strerror(errno));
    return false;
  }
  RemoveStaleTemporaryFiles(path);
  // The new file is complete on disk before the old one is touched: a write that fails (a
  // full disk) leaves the user's file where it was, damaged or not.
  if (!WriteTemporaryFile(path, newText, mode, &temp)) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings to %s (%s).\n", path.c_str(), std::strerror(errno));
    return false;
  }
  PauseBeforeRename();
  if (exists && !doc.clean) {
    const std::string bad = MovedAsideName(path);
    if (!KeepAside(path, bad)) {
      const int saved = errno;
      unlink(temp.c_str());
      std::fprintf(stderr, "Quiet Highland: can't save the settings: %s can't be read and can't be moved aside (%s).\n",
                   path.c_str(), std::strerror(saved));
      return false;
    }
    std::fprintf(stderr, "Quiet Highland: %s could not be read; it was moved to %s and a new one written.\n",
                 path.c_str(), bad.c_str());
  }
  if (!CommitTemporaryFile(temp, path)) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings to %s (%s).\n", path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// ---- registry calls ----

void ReadRegistryBlob(const char* keyPath, const char* name, void* buffer, uint32_t* size) {
  StoreHit hit;
  if (!LookupStoreValue(keyPath, name, &hit) || hit.value.type != RegValueType::Binary ||
      hit.value.data.size() != *size) {
    *size = 0;
    return;
  }
  if (*size > 0) std::memcpy(buffer, hit.value.data.data(), *size);
}

void WriteRegistryBlob(const char* keyPath, const char* name, const void* data, uint32_t size) {
  RegValue value;
  value.name = name;
  value.type = RegValueType::Binary;
  value.typeCode = 3;
  value.data.assign(static_cast<const char*>(data), size);
  WriteUserStoreValue(keyPath, value);
}

bool ReadRegistryString(const char* keyPath, const char* name, std::string* out, std::string* folder) {
  StoreHit hit;
  out->clear();
  if (folder != nullptr) folder->clear();
  if (!LookupStoreValue(keyPath, name, &hit) || hit.value.type != RegValueType::String) return false;
  *out = hit.value.data;
  if (folder != nullptr) *folder = hit.folder;
  return true;
}

bool WriteRegistryString(const char* keyPath, const char* name, const char* text) {
  RegValue value;
  value.name = name;
  value.type = RegValueType::String;
  value.data = text;
  return WriteUserStoreValue(keyPath, value);
}

}  // namespace qh
