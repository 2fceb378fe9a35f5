// The mix played on the default sound device through SDL2, 44100 Hz 16-bit stereo. SDL's
// audio thread only mixes; a decoder thread of ours keeps the music decoded ahead and,
// when the device goes away (headphones unplugged, the sound server restarted), opens
// the default device again within a second.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "sound/audio_output.h"

namespace qh {

class SdlAudioOutput : public AudioOutput {
 public:
  ~SdlAudioOutput() override { Close(); }
  bool Open(Mixer* mixer) override;
  void Close() override;
  void Resume() override;
  void Pause() override;
  void Lock() override;
  void Unlock() override;
  bool RunsByItself() const override { return true; }

 private:
  // A new device for the mixer, paused; 0 when none opens. Touches nothing of ours, so it
  // runs outside the guard: a sound server slow to answer never holds up a frame.
  uint32_t OpenDevice() const;
  void Decode();  // the decoder thread

  Mixer* mixer_ = nullptr;
  std::mutex deviceGuard_;  // main thread vs. reopening; the mixing thread never takes it
  std::atomic<uint32_t> device_{0};  // SDL_AudioDeviceID, 0 while there is none
  bool subsystem_ = false;
  std::atomic<bool> running_{false};
  std::atomic<bool> quit_{false};
  std::thread decoder_;
};

}  // namespace qh
