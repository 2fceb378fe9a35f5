// Handles carry their kind in the top four bits; a channel also carries its voice's
// generation, so a finished playback's handle never answers for a later one.
#include "sound/mixer_audio.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "sound/sample_decode.h"
#include "sound/sdl_output.h"

namespace qh {

namespace {
constexpr AudioHandle kKindMask = 0xF0000000u;
constexpr AudioHandle kSampleKind = 0x10000000u;
constexpr AudioHandle kChannelKind = 0x20000000u;
constexpr AudioHandle kStreamKind = 0x30000000u;
constexpr AudioHandle kModuleKind = 0x40000000u;
constexpr uint32_t kGenerationMask = 0xFFFFFu;

class LockedOutput {
 public:
  explicit LockedOutput(AudioOutput* output) : output_(output) { output_->Lock(); }
  ~LockedOutput() { output_->Unlock(); }
  LockedOutput(const LockedOutput&) = delete;
  LockedOutput& operator=(const LockedOutput&) = delete;

 private:
  AudioOutput* output_;
};

float Level(int32_t volume) { return static_cast<float>(std::min(volume, 100)) / 100.0f; }

void Complain(const char* file, const std::string& why) {
  std::fprintf(stderr, "Quiet Highland: the sound \"%s\" is left out: %s.\n", file, why.c_str());
}
}  // namespace

MixerAudio::MixerAudio(AudioOutput* output) : output_(output), mixer_(std::make_unique<Mixer>()) {}

MixerAudio::~MixerAudio() { Free(); }

bool MixerAudio::Init(int32_t /*device*/, uint32_t frequency, uint32_t /*flags*/) {
  if (initialised_ || frequency != kMixRate) return false;
  mixer_->ClearFade();
  if (!output_->Open(mixer_.get())) return false;
  initialised_ = true;
  return true;
}

bool MixerAudio::Start() {
  if (!initialised_) return false;
  output_->Resume();
  return true;
}

bool MixerAudio::Stop() {
  if (!initialised_) return false;
  {
    LockedOutput locked(output_);
    mixer_->BeginFadeOut();
  }
  // The device plays the fade out by itself: wait for it, a little longer than its 30 ms.
  for (int waited = 0; output_->RunsByItself() && waited < 150 && !mixer_->FadedOut(); ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  output_->Pause();
  return true;
}

void MixerAudio::Free() {
  if (!initialised_) return;
  output_->Close();  // no mixing after this
  mixer_->FreeAll();
  music_.reset();
  musicHandle_ = 0;
  initialised_ = false;
}

bool MixerAudio::SetGlobalVolumes(int32_t music, int32_t sample, int32_t stream) {
  if (!initialised_) return false;
  LockedOutput locked(output_);
  if (music >= 0) mixer_->musicVolume = Level(music);
  if (sample >= 0) mixer_->sampleVolume = Level(sample);
  if (stream >= 0) mixer_->streamVolume = Level(stream);
  return true;
}

AudioHandle MixerAudio::SampleLoad(const char* file, uint32_t maxPlaybacks, uint32_t /*flags*/) {
  if (!initialised_) return 0;
  std::vector<float> frames;
  std::string why;
  if (!DecodeOggSample(file, &frames, &why)) {
    Complain(file, why);
    return 0;
  }
  return SampleLoadFrames(std::move(frames), maxPlaybacks);
}

AudioHandle MixerAudio::SampleLoadFrames(std::vector<float> frames, uint32_t maxPlaybacks) {
  if (!initialised_) return 0;
  MixerSample sample;
  sample.frames = QuantizeFrames(frames);
  std::vector<float>().swap(frames);
  sample.maxPlaybacks = maxPlaybacks;
  int32_t index = -1;
  {
    LockedOutput locked(output_);
    index = mixer_->AddSample(std::move(sample));
  }
  return index < 0 ? 0 : kSampleKind | AudioHandle(index + 1);
}

AudioHandle MixerAudio::AddMusic(std::unique_ptr<MusicDecoder> decoder, bool isModule) {
  auto stream = std::make_unique<MusicStream>(std::move(decoder));
  if (!isModule) stream->DecodeAhead();  // ready before the first frame asks for it
  {
    LockedOutput locked(output_);
    mixer_->SetMusic(stream.get(), isModule);
    mixer_->musicChannelVolume = 1.0f;
    mixer_->musicChannelPan = 0.0f;
  }
  music_ = std::move(stream);
  musicHandle_ = (isModule ? kModuleKind : kStreamKind) | 1u;
  return musicHandle_;
}

AudioHandle MixerAudio::StreamCreateFile(const char* file, uint32_t /*flags*/) {
  if (!initialised_ || music_ != nullptr) return 0;  // one piece of music per run
  std::string why;
  // A file refused as a file (a pipe, a folder, too large) is said so, not as a bad stream.
  const int checked = OpenSoundFile(file, &why);
  if (checked < 0) {
    Complain(file, why);
    return 0;
  }
  close(checked);
  std::unique_ptr<MusicDecoder> decoder = OpenOggStream(file, &why);
  if (decoder == nullptr) decoder = OpenMp3Stream(file, &why);
  if (decoder == nullptr) {
    Complain(file, "neither Ogg Vorbis nor MP3 that can be read");
    return 0;
  }
  return AddMusic(std::move(decoder), false);
}

AudioHandle MixerAudio::MusicLoadBytes(const std::vector<uint8_t>& bytes, const char* name) {
  if (!initialised_ || music_ != nullptr) return 0;
  std::string why;
  std::unique_ptr<MusicDecoder> decoder = OpenModule(bytes, &why);
  if (decoder == nullptr) {
    Complain(name, why);
    return 0;
  }
  decoder->SetAmplification(50);
  return AddMusic(std::move(decoder), true);
}

AudioHandle MixerAudio::MusicLoad(const char* file, uint32_t /*flags*/) {
  if (!initialised_ || music_ != nullptr) return 0;
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadSoundFile(file, &bytes, &why)) {
    Complain(file, why);
    return 0;
  }
  return MusicLoadBytes(bytes, file);
}

bool MixerAudio::IsMusic(AudioHandle handle) const { return handle != 0 && handle == musicHandle_; }

bool MixerAudio::MusicSetAmplify(AudioHandle music, uint32_t amplification) {
  if (!IsMusic(music) || (music & kKindMask) != kModuleKind) return false;
  music_->SetAmplification(std::min(amplification, 100u));
  return true;
}

int32_t MixerAudio::VoiceOf(AudioHandle channel) const {
  if ((channel & kKindMask) != kChannelKind) return -1;
  const int32_t number = static_cast<int32_t>(channel & 0xFFu);
  const MixerVoice& voice = mixer_->Voice(number);
  if (!voice.active || (voice.generation & kGenerationMask) != ((channel >> 8) & kGenerationMask)) return -1;
  return number;
}

bool MixerAudio::ChannelSetAttributes(AudioHandle channel, int32_t frequency, int32_t volume, int32_t pan) {
  if (!initialised_) return false;
  LockedOutput locked(output_);
  if (IsMusic(channel)) {
    if (volume >= 0) mixer_->musicChannelVolume = Level(volume);
    if (pan >= -100 && pan <= 100) mixer_->musicChannelPan = float(pan) / 100.0f;
    return true;
  }
  const int32_t number = VoiceOf(channel);
  if (number < 0) return false;
  MixerVoice& voice = mixer_->Voice(number);
  if (frequency > 0) voice.step = double(frequency) / kMixRate;
  if (volume >= 0) voice.volume = Level(volume);
  if (pan >= -100 && pan <= 100) voice.pan = float(pan) / 100.0f;
  return true;
}

bool MixerAudio::MusicPlayEx(AudioHandle music, uint32_t order, uint32_t /*flags*/, bool reset) {
  if (!IsMusic(music) || (music & kKindMask) != kModuleKind) return false;
  bool playing = false;
  {
    LockedOutput locked(output_);
    playing = mixer_->musicPlaying;
  }
  // Decoding from the new order happens here, outside the output's lock.
  if (reset || !playing) music_->Restart(static_cast<int32_t>(std::min<uint32_t>(order, INT32_MAX)));
  LockedOutput locked(output_);
  mixer_->musicPlaying = true;
  return true;
}

bool MixerAudio::StreamPlay(AudioHandle stream, bool /*flush*/, uint32_t /*flags*/) {
  if (!IsMusic(stream) || (stream & kKindMask) != kStreamKind) return false;
  LockedOutput locked(output_);
  mixer_->musicPlaying = true;  // a playing stream goes on untouched
  return true;
}

AudioHandle MixerAudio::SamplePlayEx(AudioHandle sample, uint32_t /*start*/, int32_t frequency, int32_t volume,
                                     int32_t pan, bool loop) {
  if (!initialised_ || (sample & kKindMask) != kSampleKind) return 0;
  const int32_t index = static_cast<int32_t>(sample & ~kKindMask) - 1;
  const double step = frequency > 0 ? double(frequency) / kMixRate : 1.0;
  const float gain = volume >= 0 ? Level(volume) : 1.0f;
  const float balance = pan >= -100 && pan <= 100 ? float(pan) / 100.0f : 0.0f;
  LockedOutput locked(output_);
  const int32_t number = mixer_->StartVoice(index, step, gain, balance, loop);
  if (number < 0) return 0;
  return kChannelKind | ((mixer_->Voice(number).generation & kGenerationMask) << 8) | AudioHandle(number);
}

uint32_t MixerAudio::ChannelIsActive(AudioHandle channel) {
  if (!initialised_) return 0;
  LockedOutput locked(output_);
  if (IsMusic(channel)) return mixer_->musicPlaying ? 1 : 0;
  return VoiceOf(channel) >= 0 ? 1 : 0;
}

AudioInterface* SdlAudio() {
  static SdlAudioOutput output;
  static MixerAudio audio(&output);
  return &audio;
}

}  // namespace qh
