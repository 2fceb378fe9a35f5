#include "host/startup.h"

#include <unistd.h>

#include "host/host_state.h"
#include "resources/settings.h"

namespace qh {

namespace {
// The settings as the store gave them, kept while command-line settings are in force.
SettingsRecord storedSettings;
bool overridden = false;
}  // namespace

void PrepareRun() {
  CompleteSettingsKeyPath();
  LoadSettings();  // also makes the installation folder current; links.txt must exist
  if (RunMode == Saver) {
    WindowWidth = 800;
    WindowHeight = 600;
    Fullscreen = 1;
  } else {
    Fullscreen = 0;  // the size is the host window's, read when it is wrapped
  }
  Prefer32Bit = 1;
  VSync = 1;
  DataDirectory = installDir + "/Data/";
  if (chdir(DataDirectory.c_str()) != 0) {
    // Not reported here: the first data file that cannot be loaded says what is missing.
  }
}

bool ApplyRunSettings(const SettingOverrides& overrides, std::string* error) {
  if (!overrides.Any()) return true;
  SettingsRecord changed = Settings;
  if (!ApplySettingOverrides(overrides, SettingsEx.sceneCount, &changed, error)) return false;
  if (!overridden) storedSettings = Settings;
  overridden = true;
  Settings = changed;
  MusicVolume = Settings.volume;
  SampleVolume = Settings.volume;
  return true;
}

void SaveRunSettings() {
  if (overridden) Settings = storedSettings;
  SaveSettings();
}

DeviceConfig RunDeviceConfig() {
  DeviceConfig config;
  config.width = WindowWidth;
  config.height = WindowHeight;
  config.fullScreen = Fullscreen;
  config.prefer32Bit = Prefer32Bit;
  config.vsync = VSync;
  return config;
}

}  // namespace qh
