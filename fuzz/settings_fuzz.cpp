// The settings records: any 20 stored bytes decode and encode back to the same bytes, and
// a settings file of any text gives the store the same value the .reg reader finds in it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "resources/registry_store.h"
#include "resources/settings.h"

namespace {
constexpr const char* kKeyPath = "software\\quorvale\\screensavers\\Quiet Highland";

std::string userFile;
std::string worldRoot;

void RemoveWorld() {
  if (!worldRoot.empty() && std::system(("rm -rf '" + worldRoot + "'").c_str()) != 0) {
    std::fprintf(stderr, "could not remove %s\n", worldRoot.c_str());
  }
}

// A private XDG world, so the store reads only the file this target writes; in memory when
// the machine has /dev/shm, since every input is written to disk and read back.
void MakeWorld() {
  char shm[] = "/dev/shm/qh-fuzz-settings.XXXXXX";
  char tmp[] = "/tmp/qh-fuzz-settings.XXXXXX";
  const char* made = mkdtemp(shm);
  if (made == nullptr) made = mkdtemp(tmp);
  if (made == nullptr) std::abort();
  const std::string root = made;
  worldRoot = root;
  std::atexit(RemoveWorld);
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (root + "/none").c_str(), 1);
  qh::SetInstallationStoreFile((root + "/none/registry.reg").c_str());
  if (std::system(("mkdir -p '" + root + "/config/quiet-highland'").c_str()) != 0) std::abort();
  userFile = root + "/config/quiet-highland/registry.reg";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (MakeWorld(), true);
  (void)ready;
  if (size >= qh::kSettingsBytes) {
    qh::SettingsRecord record;
    qh::DecodeSettings(data, &record);
    uint8_t again[qh::kSettingsBytes];
    qh::EncodeSettings(record, again);
    QH_FUZZ_CHECK(std::memcmp(again, data, qh::kSettingsBytes) == 0);
  }
  if (size >= qh::kSettingsExBytes) {
    qh::SettingsExRecord ex;
    qh::DecodeSettingsEx(data, &ex);
    QH_FUZZ_CHECK(ex.sceneCount == data[0] && std::memcmp(ex.ambientKind, data + 2, 8) == 0);
  }

  {
    std::ofstream out(userFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  uint8_t buffer[qh::kSettingsBytes];
  std::memset(buffer, 0xA5, sizeof buffer);
  uint32_t got = qh::kSettingsBytes;
  qh::ReadRegistryBlob(kKeyPath, "settings", buffer, &got);
  const qh::RegDocument doc = qh::ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size));
  const qh::RegValue* value =
      qh::FindRegValue(doc, std::string("HKEY_LOCAL_MACHINE\\") + kKeyPath, "settings");
  const bool usable = value != nullptr && value->type == qh::RegValueType::Binary && value->data.size() == 20;
  QH_FUZZ_CHECK(got == (usable ? qh::kSettingsBytes : 0));
  if (usable) {
    QH_FUZZ_CHECK(std::memcmp(buffer, value->data.data(), 20) == 0);
  } else {
    for (const uint8_t b : buffer) QH_FUZZ_CHECK(b == 0xA5);  // untouched
  }
  return 0;
}
