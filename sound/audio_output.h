// Where the mix goes: a sound device (SDL) or memory (the offline output). The output
// calls Mixer::Mix for every block it needs; the main thread changes mixer state only
// between Lock and Unlock.
#pragma once

namespace qh {

class Mixer;

constexpr int kMixRate = 44100;  // every output runs at this rate, 16-bit stereo

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Prepares the output for `mixer` (not yet sounding); false when there is none to open.
  virtual bool Open(Mixer* mixer) = 0;
  virtual void Close() = 0;
  virtual void Resume() = 0;
  virtual void Pause() = 0;
  // Around every change of mixer state from the main thread; held for microseconds.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  // True when the output pulls blocks by itself as time passes (a device); false when
  // its owner decides when a block is made (offline).
  virtual bool RunsByItself() const = 0;
};

}  // namespace qh
