// The audio interface made real: samples decoded whole at load, the music decoded as it
// plays, all mixed by our own float mixer into an AudioOutput (a sound device or memory).
#pragma once
#include <memory>

#include "sound/audio.h"
#include "sound/audio_output.h"
#include "sound/mixer.h"

namespace qh {

class MixerAudio : public AudioInterface {
 public:
  explicit MixerAudio(AudioOutput* output);
  ~MixerAudio() override;

  bool Init(int32_t device, uint32_t frequency, uint32_t flags) override;
  bool Start() override;
  bool Stop() override;
  void Free() override;
  bool SetGlobalVolumes(int32_t music, int32_t sample, int32_t stream) override;
  AudioHandle SampleLoad(const char* file, uint32_t maxPlaybacks, uint32_t flags) override;
  AudioHandle StreamCreateFile(const char* file, uint32_t flags) override;
  AudioHandle MusicLoad(const char* file, uint32_t flags) override;
  bool MusicSetAmplify(AudioHandle music, uint32_t amplification) override;
  bool ChannelSetAttributes(AudioHandle channel, int32_t frequency, int32_t volume, int32_t pan) override;
  bool MusicPlayEx(AudioHandle music, uint32_t order, uint32_t flags, bool reset) override;
  bool StreamPlay(AudioHandle stream, bool flush, uint32_t flags) override;
  AudioHandle SamplePlayEx(AudioHandle sample, uint32_t start, int32_t frequency, int32_t volume, int32_t pan,
                           bool loop) override;
  uint32_t ChannelIsActive(AudioHandle channel) override;

  // A sample from frames already decoded (interleaved stereo at 44100 Hz; tests and the
  // benchmark); the same as SampleLoad otherwise.
  AudioHandle SampleLoadFrames(std::vector<float> frames, uint32_t maxPlaybacks);
  // A module from bytes in memory (tests); the same as MusicLoad otherwise.
  AudioHandle MusicLoadBytes(const std::vector<uint8_t>& bytes, const char* name);
  Mixer& mixer() { return *mixer_; }

 private:
  AudioHandle AddMusic(std::unique_ptr<MusicDecoder> decoder, bool isModule);
  bool IsMusic(AudioHandle handle) const;
  int32_t VoiceOf(AudioHandle channel) const;  // -1 unless the channel's voice still sounds

  AudioOutput* output_;
  std::unique_ptr<Mixer> mixer_;
  std::unique_ptr<MusicStream> music_;
  AudioHandle musicHandle_ = 0;
  bool initialised_ = false;
};

// The saver's audio: the mixer over the default SDL sound device, made on first use.
AudioInterface* SdlAudio();

}  // namespace qh
