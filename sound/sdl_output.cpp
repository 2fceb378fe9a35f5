// The SDL device, the decoder thread, and the reopening of a device that went away.
#include "sound/sdl_output.h"

#include <SDL.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>

#include "sound/mixer.h"

namespace qh {

namespace {
constexpr int32_t kDeviceBufferFrames = 1024;  // 23 ms: a request sounds within one buffer
constexpr auto kDecodePeriod = std::chrono::milliseconds(10);
constexpr auto kReopenPeriod = std::chrono::milliseconds(250);

// ALSA writes its own lines to stderr when it finds no card ("ALSA lib confmisc.c:855:
// (parse_card) cannot find card '0'" and seven more on every start), into a daemon's log
// beside our one line that says the scene runs silently. SDL loads libasound itself; the
// library is the same one, so a silent handler set here holds for SDL's use of it too.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error, const char* format, ...);
void IgnoreAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                     const char* /*format*/, ...) {}

void SilenceAlsa() {
  static void* const alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);  // kept to the end
  if (alsa == nullptr) return;  // no ALSA: nothing to silence
  using SetHandler = int (*)(AlsaErrorHandler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(IgnoreAlsaError);
}

void MixCallback(void* mixer, Uint8* stream, int bytes) {
  static_cast<Mixer*>(mixer)->Mix(reinterpret_cast<int16_t*>(stream), bytes / 4);
}
}  // namespace

uint32_t SdlAudioOutput::OpenDevice() const {
  SDL_AudioSpec want{};
  want.freq = kMixRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kDeviceBufferFrames;
  want.callback = MixCallback;
  want.userdata = mixer_;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts whatever the device wants from exactly this format.
  return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

bool SdlAudioOutput::Open(Mixer* mixer) {
  Close();
  SilenceAlsa();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "Quiet Highland: no sound (%s); the scene runs silently.\n", SDL_GetError());
    return false;
  }
  subsystem_ = true;
  mixer_ = mixer;
  running_ = false;
  device_ = OpenDevice();
  if (device_ == 0) {
    std::fprintf(stderr, "Quiet Highland: no sound device (%s); the scene runs silently.\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
    mixer_ = nullptr;
    return false;
  }
  quit_ = false;
  decoder_ = std::thread([this] { Decode(); });
  return true;
}

void SdlAudioOutput::Decode() {
  auto lastTry = std::chrono::steady_clock::now();
  while (!quit_) {
    mixer_->DecodeAhead();
    const uint32_t device = device_;
    if (device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED) {
      {
        // Paused, SDL's thread for the lost device calls the mixer no more; from here on
        // the main thread changes the mixer under the guard alone.
        std::lock_guard<std::mutex> hold(deviceGuard_);
        SDL_PauseAudioDevice(device, 1);
        device_ = 0;
      }
      SDL_CloseAudioDevice(device);  // may wait on the server: outside the guard
      lastTry = std::chrono::steady_clock::now() - kReopenPeriod;
      std::fprintf(stderr, "Quiet Highland: the sound device went away; opening the default one again.\n");
    }
    if (device_ == 0 && std::chrono::steady_clock::now() - lastTry >= kReopenPeriod) {
      lastTry = std::chrono::steady_clock::now();
      const uint32_t opened = OpenDevice();  // may wait on the server: outside the guard
      if (opened != 0) {
        std::lock_guard<std::mutex> hold(deviceGuard_);
        device_ = opened;
        if (running_) SDL_PauseAudioDevice(opened, 0);
      }
    }
    std::this_thread::sleep_for(kDecodePeriod);
  }
}

void SdlAudioOutput::Close() {
  quit_ = true;
  if (decoder_.joinable()) decoder_.join();
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
  mixer_ = nullptr;
  running_ = false;
}

void SdlAudioOutput::Resume() {
  std::lock_guard<std::mutex> hold(deviceGuard_);
  running_ = true;
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioOutput::Pause() {
  std::lock_guard<std::mutex> hold(deviceGuard_);
  running_ = false;
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

void SdlAudioOutput::Lock() {
  deviceGuard_.lock();
  if (device_ != 0) SDL_LockAudioDevice(device_);
}

void SdlAudioOutput::Unlock() {
  if (device_ != 0) SDL_UnlockAudioDevice(device_);
  deviceGuard_.unlock();
}

}  // namespace qh
