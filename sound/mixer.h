// The float mixer: a fixed pool of sample voices and one music stream, summed in float
// with their gains and the global volumes, clamped once at the end into 16-bit stereo.
// Mix runs on the output's thread; everything else on the main thread with the output
// locked. Nothing here allocates, decodes or waits once samples are in place.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "sound/music_stream.h"

namespace qh {

constexpr int32_t kMixerVoices = 256;
constexpr int32_t kMixerSamples = 1024;
constexpr int32_t kMixBlockFrames = 1024;
constexpr int32_t kFadeOutFrames = 44100 * 30 / 1000;  // 30 ms

// Samples are held in 16 bits, the output's own resolution: half the memory of float (the
// bundled nature sounds are 7 MB as float), and what a voice plays differs from the decoded
// float by at most half a step of the output before its gain.
constexpr float kSampleStep = 1.0f / 32767.0f;

struct MixerSample {
  std::vector<int16_t> frames;  // stereo, interleaved, at kMixRate; full scale is 32767
  uint32_t maxPlaybacks = 0;
  int32_t playing = 0;        // voices now sounding it
};

struct MixerVoice {
  bool active = false;
  int32_t sample = -1;
  double position = 0.0;   // in sample frames
  double step = 1.0;       // frames per output frame: frequency / kMixRate
  float volume = 1.0f;     // 0..1
  float pan = 0.0f;        // -1..1
  bool loop = false;
  uint32_t generation = 0;
};

// Decoded float frames (-1..1, clamped beyond) rounded to the samples' 16 bits.
std::vector<int16_t> QuantizeFrames(const std::vector<float>& frames);

class Mixer {
 public:
  Mixer();

  // Global volumes, 0..1 each: modules, samples, streams.
  float musicVolume = 1.0f, sampleVolume = 1.0f, streamVolume = 1.0f;

  // -- main thread, output locked --
  // Moves `sample` into a free slot; its index, or -1 when the table is full.
  int32_t AddSample(MixerSample&& sample);
  // A voice for sample `index`; its voice number, or -1 when the sample already sounds
  // maxPlaybacks times or every voice is busy.
  int32_t StartVoice(int32_t index, double step, float volume, float pan, bool loop);
  MixerVoice& Voice(int32_t number) { return voices_[number]; }
  const MixerSample& Sample(int32_t index) const { return samples_[index]; }
  int32_t SampleCount() const { return sampleCount_; }
  // The music: set while stopped; volume 0..1, `isModule` picks the global volume.
  void SetMusic(MusicStream* music, bool isModule);
  MusicStream* Music() const { return music_; }
  bool musicPlaying = false;
  float musicChannelVolume = 1.0f;
  float musicChannelPan = 0.0f;
  void StopAll();  // every voice and the music
  void BeginFadeOut();
  bool FadedOut() const { return fadedOut_.load(); }
  void ClearFade();

  // -- the output's thread --
  // The next `frames` frames of the mix into `out` (interleaved stereo).
  void Mix(int16_t* out, int32_t frames);
  // The same before the final clamp, for tests and the benchmark.
  void MixFloat(float* out, int32_t frames);
  // Keeps the music's decoded audio ahead; on the thread that decodes (never Mix's).
  void DecodeAhead();

  // After the output is closed (no Mix can run): frees every sample.
  void FreeAll();

 private:
  void MixVoice(MixerVoice& voice, float* out, int32_t frames);
  void EndVoice(MixerVoice& voice);

  std::vector<MixerSample> samples_;
  int32_t sampleCount_ = 0;
  MixerVoice voices_[kMixerVoices];
  std::atomic<MusicStream*> musicForDecoding_{nullptr};
  MusicStream* music_ = nullptr;
  bool musicIsModule_ = false;
  float scratch_[kMixBlockFrames * 2];
  int32_t fadeLeft_ = -1;  // -1: not fading
  std::atomic<bool> fadedOut_{false};
};

}  // namespace qh
