#include "host/saver.h"

#include <SDL.h>
#include <malloc.h>

#include <cstdlib>
#include <memory>

#include "host/application.h"
#include "core/clock.h"
#include "host/host_state.h"
#include "host/startup.h"
#include "host/window.h"
#include "render/device_setup.h"
#include "render/gl_device.h"
#include "overlay/clock.h"
#include "overlay/font.h"
#include "render/states.h"
#include "resources/decode_ahead.h"
#include "resources/settings.h"
#include "resources/textures.h"
#include "scene/level.h"
#include "sound/audio_engine.h"
#include "core/math.h"

namespace qh {

namespace {
void ScreenSizeOfWindow(void* window, int32_t* width, int32_t* height) {
  int display = SDL_GetWindowDisplayIndex(static_cast<SDL_Window*>(window));
  if (display < 0) display = 0;
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(display, &desktop) != 0) return;
  *width = desktop.w;
  *height = desktop.h;
}

// After a reset the window comes back centred and no longer above every other window.
void PlaceWindow(void* window, int32_t x, int32_t y, int32_t width, int32_t height) {
  auto* sdlWindow = static_cast<SDL_Window*>(window);
  if (sdlWindow == nullptr || DaemonWindow) return;  // a daemon's window is never moved
  SDL_SetWindowAlwaysOnTop(sdlWindow, SDL_FALSE);
  SDL_SetWindowPosition(sdlWindow, x, y);
  SDL_SetWindowSize(sdlWindow, width, height);
  SDL_ShowWindow(sdlWindow);
}
// The device of a frame nobody sees: states, transforms, textures and buffers go to the
// real device as always (so what it and the state layer believe stays the same), the
// drawing goes nowhere.
class TickOnlyDevice : public GraphicsDevice {
 public:
  GraphicsDevice* real = nullptr;

  HRESULT SetRenderState(uint32_t state, uint32_t value) override { return real->SetRenderState(state, value); }
  HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override {
    return real->SetTextureStageState(stage, type, value);
  }
  HRESULT SetTransform(uint32_t type, const Matrix4& matrix) override { return real->SetTransform(type, matrix); }
  HRESULT GetTransform(uint32_t type, Matrix4* matrix) override { return real->GetTransform(type, matrix); }
  HRESULT SetTexture(uint32_t stage, Texture* texture) override { return real->SetTexture(stage, texture); }
  HRESULT SetStreamSource(uint32_t stream, const void* buffer, uint32_t stride) override {
    return real->SetStreamSource(stream, buffer, stride);
  }
  HRESULT SetVertexShader(uint32_t fvf) override { return real->SetVertexShader(fvf); }
  HRESULT DrawPrimitiveUP(uint32_t, uint32_t, const void*, uint32_t) override { return D3D_OK; }
  HRESULT Clear(uint32_t, const void*, uint32_t, D3DCOLOR, float, uint32_t) override { return D3D_OK; }
  HRESULT BeginScene() override { return real->BeginScene(); }
  HRESULT EndScene() override { return real->EndScene(); }
  HRESULT Present() override { return D3D_OK; }
  HRESULT TestCooperativeLevel() override { return real->TestCooperativeLevel(); }
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override { return real->Reset(params); }
  HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, D3DFORMAT format,
                        D3DPOOL pool, std::unique_ptr<Texture>* out) override {
    return real->CreateTexture(width, height, levels, usage, format, pool, out);
  }
  HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                             std::unique_ptr<VertexBuffer>* out) override {
    return real->CreateVertexBuffer(length, usage, fvf, pool, out);
  }
  HRESULT CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                            std::unique_ptr<IndexBuffer>* out) override {
    return real->CreateIndexBuffer(length, usage, format, pool, out);
  }
  void ForgetTexture(Texture* texture) override { real->ForgetTexture(texture); }
};
TickOnlyDevice tickOnlyDevice;
}  // namespace

bool StartSaverMode(SDL_Window* window) {
  // Pictures and the driver's copies of them are megabytes each and come and go with every
  // change of scene. A fixed threshold keeps such blocks in mappings of their own, returned
  // to the system when freed; the allocator's self-adjusting one would move them into the
  // heap after the first free, where the holes they leave keep the run growing for hours.
  // Fixing it also fixes the trim threshold, which must then be raised by hand: at its
  // default the heap would shrink and grow again with the driver's work of every frame.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
  // Making the device is a quarter of a second on one core (the driver loads and builds its
  // rasteriser): the pictures LoadContent will decode are decoded on the others meanwhile.
  StartContentDecodeAhead();
  BuildSqrtTable();
  DeviceWindow.screenSize = ScreenSizeOfWindow;
  DeviceWindow.placeWindow = PlaceWindow;
  std::unique_ptr<GraphicsAdapter> adapter;
  if (window != nullptr) adapter = std::make_unique<GlAdapter>(window);
  if (!InitDevice(std::move(adapter), window, RunDeviceConfig())) {
    FinishDecodeAhead();
    return false;
  }
  if (auto* gl = dynamic_cast<GlDevice*>(Device)) {
    gl->SetPictureAreas(MonitorPictureAreas());
    // The saver's one device keeps its textures for the whole run: the driver's copy is enough.
    gl->SetDropPixelsAfterUpload(true);
  }
  int width = 0, height = 0;
  SDL_GetWindowSize(window, &width, &height);
  UpdatePerspective(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  StartupApplication.PresentBlankFrame();
  return LoadContent();
}

bool LoadContent() {
  std::srand(CurrentClock().NowMs());
  SeedSceneRandom(CurrentClock().NowMs());
  LoadFont("font");
  StartClockLocale();  // the time format and its converter, once, before the first frame
  StartAudio();  // without sound the scene runs silently
  LoadSoundsAndMusic();
  if (Settings.musicOn) StartMusic(SettingsEx.musicStartOrder);
  sceneCursor = Settings.startScene;
  SetSceneDelay(Settings.sceneDelayChoice);
  PreloadScenes();
  ShowFirstScene();
  FinishDecodeAhead();  // everything asked for has been taken or is not needed
  // The workers' own allocator arenas keep what they freed; it is no use to the run.
  malloc_trim(0);
  CurrentApplication = &TheSaverApplication;
  return true;
}

void StartContentDecodeAhead() {
  QueueFontAhead("font");
  QueueScenesAhead(Settings.startScene);
  StartDecodeAhead();
}

void RenderFrame() {
  BeginFrame();
  CurrentApplication->Render();
  EndFrame();
  PresentFrame();
  MeasureFrameTime();
  CurrentApplication->AfterFrame();
}

void TickFrame() {
  tickOnlyDevice.real = Device;
  Device = &tickOnlyDevice;
  BeginFrame();
  CurrentApplication->Render();
  EndFrame();
  Device = tickOnlyDevice.real;
  MeasureFrameTime();
  CurrentApplication->AfterFrame();
}

void ShutdownSaverMode() {
  FinishDecodeAhead();
  // Textures first, so the device can free what it made for them.
  ReleaseAllTextures();
  ReleaseDevice();
  StopAudio();
}

}  // namespace qh
