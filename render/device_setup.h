// The program's one device: the table of usable full-screen modes, the choice of mode and
// depth format, creation with the default states, presentation, and recovery after the
// device was lost. Works over any adapter, so tests drive it with made-up mode lists.
#pragma once
#include <cstdint>
#include <memory>

#include "render/device.h"

namespace qh {

// What the caller wants of the device: the back buffer's size, full screen or not, the
// preferred depth, and whether presents wait for the display's refresh.
struct DeviceConfig {
  int32_t width = 800;
  int32_t height = 600;
  int32_t fullScreen = 1;
  int32_t prefer32Bit = 1;
  int32_t vsync = 1;
};

struct DisplayModeRecord {
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t bitsPerPixel = 0;                  // 32 or 16
  D3DFORMAT displayFormat = D3DFMT_UNKNOWN;  // X8R8G8B8 or R5G6B5; also the back buffer's
  D3DFORMAT depthFormat = D3DFMT_UNKNOWN;    // UNKNOWN when no depth format passed the probe
};

constexpr int kMaxDisplayModes = 256;

// Rebuilt by EnumerateDisplayModes, in the adapter's order, one record per size and depth.
struct DisplayModeTableState {
  DisplayModeRecord records[kMaxDisplayModes];
  int32_t count = 0;
};
extern DisplayModeTableState DisplayModeTable;
extern DisplayModeRecord CurrentDisplayMode;
// The configuration InitDevice was given; mode selection and every reset read it.
extern DeviceConfig DeviceConfiguration;
// Used for creation and for every reset; hDeviceWindow is the Presentation.
extern D3DPRESENT_PARAMETERS PresentParameters;

// How PresentFrame puts the window back after a reset: centred on its screen, at the
// wanted size, no longer on top. The host installs these; unset hooks do nothing.
struct DeviceWindowHooks {
  // The size of the screen the window is on.
  void (*screenSize)(void* window, int32_t* width, int32_t* height) = nullptr;
  void (*placeWindow)(void* window, int32_t x, int32_t y, int32_t width, int32_t height) = nullptr;
};
extern DeviceWindowHooks DeviceWindow;

// At least 640x480, 4:3 within 0.01, and 32-bit (X8R8G8B8) or 16-bit (R5G6B5) colour.
bool IsUsableDisplayMode(const D3DDISPLAYMODE& mode);

// Takes the adapter (none: fails without a message) and creates Device for the window.
// A device that cannot be created is reported ("Can't init Direct3D").
bool InitDevice(std::unique_ptr<GraphicsAdapter> adapter, void* window, const DeviceConfig& config);
void EnumerateDisplayModes();
void ProbeDepthFormat(DisplayModeRecord& record);
// The first record of the configured size at the preferred depth, else entry 0.
void SelectDisplayMode();
void ApplyDefaultDeviceStates();
// Presents, and resets the device when it reports it can be reset.
void PresentFrame();
void ResetDevice();
// Releases the device, then the adapter. Safe to call when there is none.
void ReleaseDevice();

}  // namespace qh
