// Mixing in float: every voice and the music added with their gains, clamped once at
// the end. A frequency of 44100 plays a sample at its natural pitch (samples are stored
// at the mix rate), so the usual voice is a plain copy with a gain.
#include "sound/mixer.h"

#include <algorithm>
#include <cstring>

#include "sound/audio_output.h"

namespace qh {

namespace {
// Balance: the far side is turned down, the near side stays whole.
void PanGains(float volume, float pan, float* left, float* right) {
  *left = volume * (pan > 0.0f ? 1.0f - pan : 1.0f);
  *right = volume * (pan < 0.0f ? 1.0f + pan : 1.0f);
}
}  // namespace

Mixer::Mixer() : samples_(kMixerSamples) {}

int32_t Mixer::AddSample(MixerSample&& sample) {
  if (sampleCount_ >= kMixerSamples) return -1;
  samples_[sampleCount_] = std::move(sample);
  samples_[sampleCount_].playing = 0;
  return sampleCount_++;
}

int32_t Mixer::StartVoice(int32_t index, double step, float volume, float pan, bool loop) {
  if (index < 0 || index >= sampleCount_) return -1;
  MixerSample& sample = samples_[index];
  if (sample.playing >= static_cast<int32_t>(sample.maxPlaybacks) || sample.frames.empty()) return -1;
  for (int32_t number = 0; number < kMixerVoices; ++number) {
    MixerVoice& voice = voices_[number];
    if (voice.active) continue;
    const uint32_t generation = voice.generation + 1;
    voice = MixerVoice{true, index, 0.0, step, volume, pan, loop, generation};
    ++sample.playing;
    return number;
  }
  return -1;
}

void Mixer::EndVoice(MixerVoice& voice) {
  voice.active = false;
  --samples_[voice.sample].playing;
}

void Mixer::SetMusic(MusicStream* music, bool isModule) {
  music_ = music;
  musicIsModule_ = isModule;
  musicPlaying = false;
  musicForDecoding_.store(music, std::memory_order_release);
}

void Mixer::StopAll() {
  for (MixerVoice& voice : voices_) {
    if (voice.active) EndVoice(voice);
  }
  musicPlaying = false;
}

void Mixer::BeginFadeOut() {
  if (fadeLeft_ < 0) fadeLeft_ = kFadeOutFrames;
}

void Mixer::ClearFade() {
  fadeLeft_ = -1;
  fadedOut_.store(false);
}

void Mixer::FreeAll() {
  StopAll();
  SetMusic(nullptr, false);
  for (int32_t i = 0; i < sampleCount_; ++i) samples_[i] = MixerSample{};
  sampleCount_ = 0;
}

void Mixer::DecodeAhead() {
  MusicStream* music = musicForDecoding_.load(std::memory_order_acquire);
  if (music != nullptr) music->DecodeAhead();
}

std::vector<int16_t> QuantizeFrames(const std::vector<float>& frames) {
  std::vector<int16_t> out(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    const float v = std::clamp(frames[i], -1.0f, 1.0f) * 32767.0f;
    out[i] = static_cast<int16_t>(v >= 0.0f ? v + 0.5f : v - 0.5f);
  }
  return out;
}

void Mixer::MixVoice(MixerVoice& voice, float* out, int32_t frames) {
  const MixerSample& sample = samples_[voice.sample];
  const int16_t* data = sample.frames.data();
  const size_t length = sample.frames.size() / 2;
  float left = 0.0f, right = 0.0f;
  PanGains(voice.volume * sampleVolume, voice.pan, &left, &right);
  for (int32_t i = 0; i < frames; ++i) {
    size_t at = static_cast<size_t>(voice.position);
    if (at >= length) {
      if (!voice.loop) {
        EndVoice(voice);
        return;
      }
      voice.position -= double(length);
      at = static_cast<size_t>(voice.position);
    }
    const float t = static_cast<float>(voice.position - double(at));
    float l = float(data[2 * at]) * kSampleStep, r = float(data[2 * at + 1]) * kSampleStep;
    if (t != 0.0f) {
      const size_t next = at + 1 < length ? at + 1 : (voice.loop ? 0 : at);
      l += (float(data[2 * next]) * kSampleStep - l) * t;
      r += (float(data[2 * next + 1]) * kSampleStep - r) * t;
    }
    out[2 * i] += l * left;
    out[2 * i + 1] += r * right;
    voice.position += voice.step;
  }
  if (!voice.loop && static_cast<size_t>(voice.position) >= length) EndVoice(voice);
}

void Mixer::MixFloat(float* out, int32_t frames) {
  std::memset(out, 0, sizeof(float) * 2 * size_t(frames));
  if (fadeLeft_ == 0) return;
  for (MixerVoice& voice : voices_) {
    if (voice.active) MixVoice(voice, out, frames);
  }
  if (music_ != nullptr && musicPlaying) {
    float left = 0.0f, right = 0.0f;
    PanGains(musicChannelVolume * (musicIsModule_ ? musicVolume : streamVolume), musicChannelPan, &left, &right);
    music_->MixInto(out, frames, left, right);
  }
  if (fadeLeft_ > 0) {
    for (int32_t i = 0; i < frames; ++i) {
      const float gain = fadeLeft_ > 0 ? float(fadeLeft_) / kFadeOutFrames : 0.0f;
      out[2 * i] *= gain;
      out[2 * i + 1] *= gain;
      if (fadeLeft_ > 0) --fadeLeft_;
    }
    if (fadeLeft_ == 0) fadedOut_.store(true);
  }
}

void Mixer::Mix(int16_t* out, int32_t frames) {
  while (frames > 0) {
    const int32_t block = std::min(frames, kMixBlockFrames);
    MixFloat(scratch_, block);
    // The one clamp of the whole mix.
    for (int32_t i = 0; i < 2 * block; ++i) {
      const float v = std::clamp(scratch_[i], -1.0f, 1.0f) * 32767.0f;
      out[i] = static_cast<int16_t>(v >= 0.0f ? v + 0.5f : v - 0.5f);
    }
    out += 2 * block;
    frames -= block;
  }
}

}  // namespace qh
