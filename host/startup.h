// The start-up every run of the saver's picture shares, the saver's and the capture
// tool's alike: the settings, the geometry of the run mode, and the data folder; then
// (StartSaverMode in host/saver.h) the device and the content.
#pragma once

#include <string>

#include "host/options.h"
#include "render/device_setup.h"

namespace qh {

// Reads the settings (the installation folder with them; a missing links.txt ends the
// process with its message), sets the window geometry for RunMode, and makes the data
// folder current. The command line must have been read first.
void PrepareRun();

// Puts the command line's settings into this run's Settings (and the volumes the sound
// engine reads); SaveRunSettings still writes the ones the store gave. After PrepareRun.
// False, with *error holding one line, for a start scene that is not installed.
bool ApplyRunSettings(const SettingOverrides& overrides, std::string* error);
// Writes the settings as the store gave them, without this run's command-line settings.
void SaveRunSettings();

// The device configuration of the run: the window's size, full screen in Saver mode,
// 32-bit colour and vsync preferred.
DeviceConfig RunDeviceConfig();

}  // namespace qh
