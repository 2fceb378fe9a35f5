// The SDL device, the decoder thread, and the reopening of a device that went away.
#include "sound/sdl_output.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>

#include "sound/mixer.h"

namespace qh {

namespace {
constexpr int32_t kDeviceBufferFrames = 1024;  // 23 ms: a request sounds within one buffer
constexpr auto kDecodePeriod = std::chrono::milliseconds(10);
constexpr auto kReopenPeriod = std::chrono::milliseconds(250);

void MixCallback(void* mixer, Uint8* stream, int bytes) {
  static_cast<Mixer*>(mixer)->Mix(reinterpret_cast<int16_t*>(stream), bytes / 4);
}
}  // namespace

bool SdlAudioOutput::OpenDevice() {
  SDL_AudioSpec want{};
  want.freq = kMixRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kDeviceBufferFrames;
  want.callback = MixCallback;
  want.userdata = mixer_;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts whatever the device wants from exactly this format.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ != 0 && running_) SDL_PauseAudioDevice(device_, 0);
  return device_ != 0;
}

bool SdlAudioOutput::Open(Mixer* mixer) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "Quiet Highland: no sound (%s); the scene runs silently.\n", SDL_GetError());
    return false;
  }
  subsystem_ = true;
  mixer_ = mixer;
  running_ = false;
  if (!OpenDevice()) {
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
      std::lock_guard<std::mutex> hold(deviceGuard_);
      SDL_CloseAudioDevice(device_);
      device_ = 0;
      lastTry = std::chrono::steady_clock::now() - kReopenPeriod;
      std::fprintf(stderr, "Quiet Highland: the sound device went away; opening the default one again.\n");
    }
    if (device_ == 0 && std::chrono::steady_clock::now() - lastTry >= kReopenPeriod) {
      std::lock_guard<std::mutex> hold(deviceGuard_);
      lastTry = std::chrono::steady_clock::now();
      OpenDevice();
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
