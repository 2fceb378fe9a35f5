// An audio interface that plays nothing and remembers every call with its arguments, so a
// test can read back exactly what the engine asked for. Handles are made up: samples
// 100, 101, ... in load order, the stream 500, the module 600, channels 1000, 1001, ...
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sound/audio.h"

namespace qh {

class RecordingAudio : public AudioInterface {
 public:
  // What the test decides.
  bool initSucceeds = true;
  std::set<std::string> unloadable;             // files whose loading fails (handle 0)
  std::map<AudioHandle, uint32_t> channelActive;  // ChannelIsActive answers; 1 when absent

  // What the engine did: one line per call, e.g. "SamplePlayEx(100,0,44100,-1,-101,0)".
  std::vector<std::string> calls;
  // The calls whose line starts with `prefix`.
  std::vector<std::string> CallsTo(const std::string& prefix) const;
  void Forget() { calls.clear(); }

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

 private:
  AudioHandle nextSample_ = 100;
  AudioHandle nextChannel_ = 1000;
};

}  // namespace qh
