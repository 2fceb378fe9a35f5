#include "resources/registry_store.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/safe_file.h"

namespace qh {

namespace {

constexpr std::string_view kRootPrefix = "HKEY_LOCAL_MACHINE\\";
constexpr size_t kMaxStoreFileBytes = 1 << 20;  // a settings file is a few hundred bytes

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
  // A user file that is a link to a file elsewhere (a managed dotfile) is written there.
  char resolved[4096];
  if (realpath(path.c_str(), resolved) != nullptr) path = resolved;

  RegDocument doc;
  mode_t mode = 0600;
  std::string text;
  int error = 0;
  if (ReadRegularFile(path, kMaxStoreFileBytes, &text, &error)) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;
    doc = ParseRegText(text);
  } else if (error != ENOENT && error != EFBIG) {
    std::fprintf(stderr, "Quiet Highland: can't save the settings: %s can't be read (%s).\n", path.c_str(),
                 std::strerror(error));
    return false;
  } else if (error == EFBIG) {
    doc.clean = false;  // far too large for a settings file: keep it aside, start afresh
  }

  if (!doc.clean) {
    const std::string bad = MovedAsideName(path);
    if (std::rename(path.c_str(), bad.c_str()) != 0) {
      std::fprintf(stderr, "Quiet Highland: can't save the settings: %s can't be read and can't be moved aside (%s).\n",
                   path.c_str(), std::strerror(errno));
      return false;
    }
    std::fprintf(stderr, "Quiet Highland: %s could not be read; it was moved to %s and a new one written.\n",
                 path.c_str(), bad.c_str());
  }

  if (!SetRegValue(&doc, FullPath(keyPath), value)) {
    std::fprintf(stderr, "Quiet Highland: can't save the value \"%s\": it can't be written in a settings file.\n",
                 value.name.c_str());
    return false;
  }
  if (!MakeFolders(FolderOf(path)) || !WriteFileAtomically(path, FormatRegDocument(doc), mode)) {
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
