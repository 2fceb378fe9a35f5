// The audio interface the engine calls: the operations of a small audio library (start,
// stop, global volumes, samples, streams, modules, channels). The mixer implements it
// over a real or an offline output; tests replace it with a recording double. Handles
// are 32-bit and never 0; 0 means failure. All calls come from the program's one thread.
#pragma once
#include <cstdint>

namespace qh {

using AudioHandle = uint32_t;

// "Leave it as it is" for the frequency, volume and pan arguments.
constexpr int32_t kAudioKeep = -1;
constexpr int32_t kAudioKeepPan = -101;
// Flags and arguments as the engine passes them.
constexpr int32_t kAudioDefaultDevice = -1;
constexpr uint32_t kAudioLoop = 4;
constexpr uint32_t kMusicPlayFlags = 534;  // includes kAudioLoop
constexpr uint32_t kAudioMaxPlaybacks = 255;

class AudioInterface {
 public:
  virtual ~AudioInterface() = default;
  // Opens the output (device -1: the default one) at `frequency` Hz; false when there is
  // no usable output.
  virtual bool Init(int32_t device, uint32_t frequency, uint32_t flags) = 0;
  virtual bool Start() = 0;
  virtual bool Stop() = 0;
  virtual void Free() = 0;
  // 0..100 each (linear), -1 leaves one unchanged.
  virtual bool SetGlobalVolumes(int32_t music, int32_t sample, int32_t stream) = 0;
  // Decodes a whole file; at most `maxPlaybacks` playbacks of it sound at once.
  virtual AudioHandle SampleLoad(const char* file, uint32_t maxPlaybacks, uint32_t flags) = 0;
  virtual AudioHandle StreamCreateFile(const char* file, uint32_t flags) = 0;
  virtual AudioHandle MusicLoad(const char* file, uint32_t flags) = 0;
  // 50 is unity gain.
  virtual bool MusicSetAmplify(AudioHandle music, uint32_t amplification) = 0;
  // Frequency in Hz, volume 0..100, pan -100 (left) .. 100 (right).
  virtual bool ChannelSetAttributes(AudioHandle channel, int32_t frequency, int32_t volume, int32_t pan) = 0;
  // Plays a module from an order (row 0); `reset` restarts it when it already plays.
  virtual bool MusicPlayEx(AudioHandle music, uint32_t order, uint32_t flags, bool reset) = 0;
  // Starts a stream; a playing one goes on untouched unless `flush`.
  virtual bool StreamPlay(AudioHandle stream, bool flush, uint32_t flags) = 0;
  // One playback of a sample; frequency 44100 is its natural pitch. Returns its channel.
  virtual AudioHandle SamplePlayEx(AudioHandle sample, uint32_t start, int32_t frequency, int32_t volume,
                                   int32_t pan, bool loop) = 0;
  // 1 while the channel sounds, 0 when it has ended (or never existed).
  virtual uint32_t ChannelIsActive(AudioHandle channel) = 0;
};

// The audio the engine uses; none (nullptr) means no sound at all.
extern AudioInterface* Audio;
void InstallAudio(AudioInterface* audio);

}  // namespace qh
