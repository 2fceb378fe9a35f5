#include "resources/settings.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/byte_cursor.h"
#include "core/text_field.h"
#include "resources/file_table.h"
#include "resources/key_value.h"
#include "resources/registry_store.h"

namespace qh {

static_assert(sizeof(SettingsRecord) == kSettingsBytes, "the settings record is stored as 20 bytes");
static_assert(offsetof(SettingsRecord, volume) == 4 && offsetof(SettingsRecord, dayCycle) == 8 &&
                  offsetof(SettingsRecord, showClock) == 9 && offsetof(SettingsRecord, reserved1) == 10 &&
                  offsetof(SettingsRecord, startScene) == 12 && offsetof(SettingsRecord, musicOn) == 16 &&
                  offsetof(SettingsRecord, natureSounds) == 17 && offsetof(SettingsRecord, reserved2) == 18,
              "the settings record's fields sit at their stored offsets");
static_assert(sizeof(SettingsExRecord) == kSettingsExBytes, "the extra settings record is stored as 10 bytes");
static_assert(offsetof(SettingsExRecord, musicStartOrder) == 1 && offsetof(SettingsExRecord, ambientKind) == 2,
              "the extra settings record's fields sit at their stored offsets");

SettingsRecord Settings;
SettingsExRecord SettingsEx;

char musicName[kSettingsStringCapacity];
char titleName[kSettingsStringCapacity];
char homeLink[kSettingsStringCapacity];
std::string installDir;
int32_t MusicVolume = 0;
int32_t SampleVolume = 0;

namespace {
// Two fixed text areas: the key prefix, and the product name followed by its zero and
// one more byte, the order at which module music starts.
char keyPrefixArea[256] = "software\\quorvale\\screensavers\\";
const char productNameArea[256] = "Quiet Highland\0\x24";
bool keyPathComplete = false;

std::string ResolveInstallDir(const std::string& value, const std::string& folder) {
  if (value.empty() || value[0] == '/' || folder.empty()) return value;
  std::string joined = folder + "/" + value;
  char resolved[PATH_MAX];
  if (realpath(joined.c_str(), resolved) != nullptr) return resolved;
  return joined;
}
}  // namespace

char SettingsKeyPath[256];
const uint8_t& productTrailer =
    reinterpret_cast<const uint8_t&>(productNameArea[std::char_traits<char>::length(productNameArea) + 1]);

void CompleteSettingsKeyPath() {
  if (keyPathComplete) return;
  std::strcat(keyPrefixArea, productNameArea);
  std::memcpy(SettingsKeyPath, keyPrefixArea, sizeof SettingsKeyPath);
  keyPathComplete = true;
}

void EncodeSettings(const SettingsRecord& s, uint8_t out[kSettingsBytes]) {
  StoreU32(out + 0, static_cast<uint32_t>(s.sceneDelayChoice));
  StoreU32(out + 4, static_cast<uint32_t>(s.volume));
  out[8] = s.dayCycle;
  out[9] = s.showClock;
  out[10] = s.reserved1[0];
  out[11] = s.reserved1[1];
  StoreU32(out + 12, static_cast<uint32_t>(s.startScene));
  out[16] = s.musicOn;
  out[17] = s.natureSounds;
  out[18] = s.reserved2[0];
  out[19] = s.reserved2[1];
}

void DecodeSettings(const uint8_t in[kSettingsBytes], SettingsRecord* s) {
  ByteCursor in20(in, kSettingsBytes);
  s->sceneDelayChoice = in20.I32();
  s->volume = in20.I32();
  s->dayCycle = in20.U8();
  s->showClock = in20.U8();
  s->reserved1[0] = in20.U8();
  s->reserved1[1] = in20.U8();
  s->startScene = in20.I32();
  s->musicOn = in20.U8();
  s->natureSounds = in20.U8();
  s->reserved2[0] = in20.U8();
  s->reserved2[1] = in20.U8();
}

void DecodeSettingsEx(const uint8_t in[kSettingsExBytes], SettingsExRecord* s) {
  s->sceneCount = in[0];
  s->musicStartOrder = in[1];
  for (int i = 0; i < 8; ++i) s->ambientKind[i] = in[2 + i];
}

// The delay choice and the reserved bytes keep what they held (zero at start).
void SetDefaultSettings(SettingsRecord* s) {
  s->volume = 80;
  s->dayCycle = 0;
  s->showClock = 1;
  s->musicOn = 1;
  s->natureSounds = 1;
  s->startScene = 0;
}

void SetDefaultSettingsEx(SettingsExRecord* s) {
  s->sceneCount = 1;
  s->musicStartOrder = 0;
  for (uint8_t& kind : s->ambientKind) kind = 0;
}

std::string ProgramIconFile() {
  const std::string store = InstallationStoreFile();  // <prefix>/share/quiet-highland/registry.reg
  const size_t slash = store.find_last_of('/');
  if (slash == std::string::npos) return "";
  return store.substr(0, slash) + "/../icons/hicolor/128x128/apps/quiet-highland.png";
}

void LoadSettings() {
  CompleteSettingsKeyPath();

  uint8_t bytes[kSettingsBytes];
  uint32_t size = kSettingsBytes;
  ReadRegistryBlob(SettingsKeyPath, "settings", bytes, &size);
  if (size == kSettingsBytes) {
    DecodeSettings(bytes, &Settings);
  } else {
    SetDefaultSettings(&Settings);
  }
  MusicVolume = Settings.volume;
  SampleVolume = Settings.volume;

  uint8_t exBytes[kSettingsExBytes];
  size = kSettingsExBytes;
  ReadRegistryBlob(SettingsKeyPath, "settingsex", exBytes, &size);
  if (size == kSettingsExBytes) {
    DecodeSettingsEx(exBytes, &SettingsEx);
  } else {
    SetDefaultSettingsEx(&SettingsEx);
  }
  SettingsEx.musicStartOrder = productTrailer;

  std::string value;
  std::string folder;
  ReadRegistryString(SettingsKeyPath, "musicname", &value);
  CopyToField(musicName, sizeof musicName, value);
  ReadRegistryString(SettingsKeyPath, "dir", &value, &folder);
  installDir = ResolveInstallDir(value, folder);
  ReadRegistryString(SettingsKeyPath, "namerus", &value);
  CopyToField(titleName, sizeof titleName, value);

  if (chdir(installDir.c_str()) != 0) {
    // Not reported here: links.txt below (and the data files later) say what is missing.
  }

  uint8_t* links = LoadFile("links.txt", nullptr, true);
  GetKeyValue(homeLink, sizeof homeLink, reinterpret_cast<const char*>(links), "link1=");
  ReleaseFile(links);
}

void SaveSettings() {
  CompleteSettingsKeyPath();
  uint8_t bytes[kSettingsBytes];
  EncodeSettings(Settings, bytes);
  WriteRegistryBlob(SettingsKeyPath, "settings", bytes, kSettingsBytes);
}

}  // namespace qh
