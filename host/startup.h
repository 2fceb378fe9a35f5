// The start-up every run of the saver's picture shares, the saver's and the capture
// tool's alike: the settings, the geometry of the run mode, and the data folder; then
// (StartSaverMode in host/saver.h) the device and the content.
#pragma once

#include "render/device_setup.h"

namespace qh {

// Reads the settings (the installation folder with them; a missing links.txt ends the
// process with its message), sets the window geometry for RunMode, and makes the data
// folder current. The command line must have been read first.
void PrepareRun();

// The device configuration of the run: the window's size, full screen in Saver mode,
// 32-bit colour and vsync preferred.
DeviceConfig RunDeviceConfig();

}  // namespace qh
