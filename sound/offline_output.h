// The mix rendered into memory instead of a device: a block of frames whenever its owner
// asks (the capture tool: a frame's worth after every frame). Always opens; the same
// calls give the same samples on every run.
#pragma once
#include <cstdint>
#include <vector>

#include "sound/audio_output.h"

namespace qh {

class OfflineOutput : public AudioOutput {
 public:
  bool Open(Mixer* mixer) override;
  void Close() override;
  void Resume() override { running_ = true; }
  void Pause() override { running_ = false; }
  void Lock() override {}
  void Unlock() override {}
  bool RunsByItself() const override { return false; }

  // Appends `frames` stereo frames of the mix (silence while paused or closed).
  void Render(int32_t frames);
  // Everything rendered so far: interleaved 16-bit stereo at 44100 Hz.
  std::vector<int16_t> pcm;

 private:
  Mixer* mixer_ = nullptr;
  bool running_ = false;
};

// Frames of `dtMs` milliseconds at 44100 Hz, with the fraction carried to the next frame
// so that N frames come to exactly N x dtMs x 44.1 sample frames, rounded down.
class FrameSampleCounter {
 public:
  int32_t Next(uint32_t dtMs);

 private:
  uint64_t carried_ = 0;  // thousandths of a sample frame
};

}  // namespace qh
