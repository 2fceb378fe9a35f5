#include "render/device_setup.h"

#include <cmath>
#include <cstring>

#include "core/fatal.h"
#include "render/states.h"

namespace qh {

DisplayModeTableState DisplayModeTable;
DisplayModeRecord CurrentDisplayMode;
DeviceConfig DeviceConfiguration;
D3DPRESENT_PARAMETERS PresentParameters;
DeviceWindowHooks DeviceWindow;

namespace {
// Owners behind the Direct3D and Device pointers.
std::unique_ptr<GraphicsAdapter> ownedAdapter;
std::unique_ptr<GraphicsDevice> ownedDevice;

// The depth formats in the order they are tried: 32 bits first, then 16 before the 24-bit ones.
constexpr D3DFORMAT kDepthCandidates[] = {D3DFMT_D32,     D3DFMT_D16,   D3DFMT_D24S8,       D3DFMT_D24X4S4,
                                          D3DFMT_D15S1,   D3DFMT_D24X8, D3DFMT_D16_LOCKABLE};
}  // namespace

bool IsUsableDisplayMode(const D3DDISPLAYMODE& mode) {
  if (mode.Width < 640 || mode.Height < 480) return false;
  const float r = static_cast<float>(mode.Width) / static_cast<float>(mode.Height) - 1.33f;
  if (std::fabs(r) > 0.01f) return false;
  return mode.Format == D3DFMT_X8R8G8B8 || mode.Format == D3DFMT_R5G6B5;
}

void ProbeDepthFormat(DisplayModeRecord& record) {
  for (D3DFORMAT candidate : kDepthCandidates) {
    if (Failed(Direct3D->CheckDeviceFormat(record.displayFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                           candidate))) {
      continue;
    }
    if (Failed(Direct3D->CheckDepthStencilMatch(record.displayFormat, record.displayFormat, candidate))) continue;
    record.depthFormat = candidate;
    return;
  }
  // No candidate passed: the record keeps UNKNOWN and the device is made without a depth buffer.
}

void EnumerateDisplayModes() {
  DisplayModeTable = DisplayModeTableState{};
  const uint32_t modeCount = Direct3D->GetAdapterModeCount();
  for (uint32_t i = 0; i < modeCount; ++i) {
    D3DDISPLAYMODE mode;
    if (Failed(Direct3D->EnumAdapterModes(i, &mode))) continue;
    if (!IsUsableDisplayMode(mode)) continue;
    DisplayModeRecord record;
    record.width = mode.Width;
    record.height = mode.Height;
    record.bitsPerPixel = mode.Format == D3DFMT_X8R8G8B8 ? 32 : 16;
    record.displayFormat = mode.Format;
    bool known = false;
    for (int32_t j = 0; j < DisplayModeTable.count && !known; ++j) {
      const DisplayModeRecord& other = DisplayModeTable.records[j];
      known = other.bitsPerPixel == record.bitsPerPixel && other.width == record.width &&
              other.height == record.height;
    }
    if (known) continue;  // the same mode at another refresh rate
    if (DisplayModeTable.count >= kMaxDisplayModes) continue;  // further modes are not needed
    ProbeDepthFormat(record);
    DisplayModeTable.records[DisplayModeTable.count++] = record;
  }
}

void SelectDisplayMode() {
  const int32_t wantedBits = DeviceConfiguration.prefer32Bit ? 32 : 16;
  for (int32_t i = 0; i < DisplayModeTable.count; ++i) {
    const DisplayModeRecord& record = DisplayModeTable.records[i];
    if (record.bitsPerPixel == wantedBits && record.width == static_cast<uint32_t>(DeviceConfiguration.width) &&
        record.height == static_cast<uint32_t>(DeviceConfiguration.height)) {
      CurrentDisplayMode = record;
      return;
    }
  }
  // Entry 0 whatever it is; all zero when the table is empty.
  CurrentDisplayMode = DisplayModeTable.records[0];
}

bool InitDevice(std::unique_ptr<GraphicsAdapter> adapter, void* window, const DeviceConfig& config) {
  ReleaseDevice();
  DeviceConfiguration = config;
  if (adapter == nullptr) return false;
  ownedAdapter = std::move(adapter);
  Direct3D = ownedAdapter.get();
  EnumerateDisplayModes();
  SelectDisplayMode();

  PresentParameters = D3DPRESENT_PARAMETERS{};
  PresentParameters.BackBufferWidth = CurrentDisplayMode.width;
  PresentParameters.BackBufferHeight = CurrentDisplayMode.height;
  PresentParameters.BackBufferFormat = CurrentDisplayMode.displayFormat;
  PresentParameters.BackBufferCount = 0;
  PresentParameters.MultiSampleType = D3DMULTISAMPLE_NONE;
  PresentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  PresentParameters.hDeviceWindow = window;
  PresentParameters.Windowed = 0;
  PresentParameters.EnableAutoDepthStencil = 1;
  PresentParameters.AutoDepthStencilFormat = CurrentDisplayMode.depthFormat;
  PresentParameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  PresentParameters.FullScreen_RefreshRateInHz = 0;
  PresentParameters.FullScreen_PresentationInterval = DeviceConfiguration.vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;

  ownedDevice = Direct3D->CreateDevice(&PresentParameters);
  if (ownedDevice == nullptr) {
    ShowMessage("Initialization failed", "Can't init Direct3D");
    return false;
  }
  Device = ownedDevice.get();
  ApplyDefaultDeviceStates();
  return true;
}

void ApplyDefaultDeviceStates() {
  Device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  Device->SetRenderState(D3DRS_ALPHAREF, 0x80);
  Device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  Device->SetRenderState(D3DRS_LASTPIXEL, 0);
  Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  Device->SetRenderState(D3DRS_LIGHTING, 0);
  Device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
  Device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFFu);
  Device->SetRenderState(D3DRS_POINTSPRITEENABLE, 1);
  Device->SetRenderState(D3DRS_POINTSCALEENABLE, 1);
  Device->SetRenderState(D3DRS_POINTSIZE, FloatBits(1.0f));
  Device->SetRenderState(D3DRS_POINTSIZE_MIN, FloatBits(0.01f));
  Device->SetRenderState(D3DRS_POINTSCALE_A, FloatBits(0.0f));
  Device->SetRenderState(D3DRS_POINTSCALE_B, FloatBits(5.0f));
  Device->SetRenderState(D3DRS_POINTSCALE_C, FloatBits(5.0f));
  Device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
  Device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  Device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  Device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_NONE);
  Device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_NONE);
  Device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}

void PresentFrame() {
  Device->Present();
  if (Device->TestCooperativeLevel() != D3DERR_DEVICENOTRESET) return;
  ResetDevice();
  void* window = PresentParameters.hDeviceWindow;
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  if (DeviceWindow.screenSize != nullptr) DeviceWindow.screenSize(window, &screenWidth, &screenHeight);
  // Each half truncated toward zero, as integer division does.
  const int32_t width = DeviceConfiguration.width;
  const int32_t height = DeviceConfiguration.height;
  const int32_t x = screenWidth / 2 - width / 2;
  const int32_t y = screenHeight / 2 - height / 2;
  if (DeviceWindow.placeWindow != nullptr) DeviceWindow.placeWindow(window, x, y, width, height);
}

void ResetDevice() {
  SelectDisplayMode();
  PresentParameters.BackBufferWidth = CurrentDisplayMode.width;
  PresentParameters.BackBufferHeight = CurrentDisplayMode.height;
  PresentParameters.Windowed = 0;
  PresentParameters.BackBufferFormat = CurrentDisplayMode.displayFormat;
  Device->Reset(&PresentParameters);
  ApplyDefaultDeviceStates();
}

void ReleaseDevice() {
  Device = nullptr;
  ownedDevice.reset();
  Direct3D = nullptr;
  ownedAdapter.reset();
}

}  // namespace qh
