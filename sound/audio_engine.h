// The audio engine: the background music for the whole run and short samples on request
// (the nature sounds). Samples are every "*.ogg" of the "Sounds" folder, loaded at
// start-up; the music is a stream or a module chosen by the file name. Written by the
// start-up (StartAudio, LoadSoundsAndMusic, StartMusic) and the frame (PlaySound,
// UpdateAudio); everything goes through the installed AudioInterface.
#pragma once
#include <cstdint>

#include "sound/audio.h"

namespace qh {

constexpr int32_t kMaxSamples = 256;
constexpr int32_t kSoundRequestSlots = 256;
constexpr float kSampleCooldownMs = 5.0f;
constexpr int32_t kModuleAmplification = 80;
constexpr int32_t kSampleFrequency = 44100;

struct SampleSlot {
  AudioHandle handle = 0;  // 0 when the file could not be loaded; the slot stays
  char name[256] = {};     // the file's name without folder, whole
  float cooldown = 0.0f;   // ms; play requests are refused while above 0
};

// The loaded samples in the order of their names (byte order).
struct SampleTableState {
  SampleSlot slots[kMaxSamples];
  int32_t count = 0;
};
extern SampleTableState SampleTable;

constexpr int32_t kRequestFree = 0;
constexpr int32_t kRequestWaiting = -1;
constexpr int32_t kRequestPlaying = 1;

struct SoundRequest {
  int32_t state = kRequestFree;  // free or finished, waiting for UpdateAudio, playing
  AudioHandle channel = 0;
  AudioHandle sample = 0;
  uint8_t loop = 0;
  int32_t frequency = 0;
};

struct SoundRequestRingState {
  SoundRequest slots[kSoundRequestSlots];
  int32_t cursor = 0;  // the next slot to write
};
extern SoundRequestRingState SoundRequestRing;

struct MusicState {
  AudioHandle MusicHandle = 0;  // the stream or the module; 0 when it could not be opened
  bool musicIsModule = false;
  int32_t requestedOrder = -1;  // the order the module was last started from
};
extern MusicState Music;

// True when the music file name `name` is a module (".mo3", ".xm", ".it"), false for a
// stream (".mp3", ".ogg", or none of the five). Case is ignored; an extension counts only
// when its first occurrence lies after the first character; the last one that counts decides.
bool IsModuleName(const char* name);

// Opens the output and clears the request ring; false (and nothing else done) when there
// is no sound output. The caller may go on without sound.
bool StartAudio();
// Loads the samples of "Sounds" (relative to the current data folder; the data folder
// itself when there is no "Sounds") and opens the music file musicName.
void LoadSoundsAndMusic();
// Starts a module from `order` unless it was last started from there. Streams start in
// UpdateAudio.
void StartMusic(int32_t order);
// Asks for one playback of the sample(s) called exactly `name`; it starts at the next
// UpdateAudio. Refused while that sample's cooldown runs; an unknown name does nothing.
void PlaySound(const char* name);
// Once per frame: runs down the cooldowns, starts the requested playbacks, notes the
// finished ones, keeps a stream playing (only when the music is switched on).
void UpdateAudio();
// Fades out and closes the output.
void StopAudio();

// Back to the program-start state (tests); does not touch the installed interface.
void ResetAudioEngine();

}  // namespace qh
