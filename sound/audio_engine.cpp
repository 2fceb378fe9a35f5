// The audio engine over the installed AudioInterface. Nothing here allocates after
// start-up: the tables are fixed and a frame is one pass over them.
#include "sound/audio_engine.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/frame_timing.h"
#include "resources/settings.h"

namespace qh {

AudioInterface* Audio = nullptr;
SampleTableState SampleTable;
SoundRequestRingState SoundRequestRing;
MusicState Music;

void InstallAudio(AudioInterface* audio) { Audio = audio; }

namespace {
// Case-insensitive search for the first occurrence of `needle` in `text`; -1 when absent.
ptrdiff_t FindIgnoringCase(const char* text, const char* needle) {
  const size_t n = std::strlen(needle);
  for (const char* p = text; *p != '\0'; ++p) {
    if (strncasecmp(p, needle, n) == 0) return p - text;
  }
  return -1;
}

// The "*.ogg" names of `folder` (the extension in any case, like the folder search the
// samples have always come from), sorted bytewise so the order does not depend on the
// file system.
std::vector<std::string> OggNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".ogg") == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

bool IsModuleName(const char* name) {
  static const struct {
    const char* extension;
    bool module;
  } kKinds[] = {{".mp3", false}, {".ogg", false}, {".mo3", true}, {".xm", true}, {".it", true}};
  bool module = false;
  for (const auto& kind : kKinds) {
    if (FindIgnoringCase(name, kind.extension) > 0) module = kind.module;
  }
  return module;
}

bool StartAudio() {
  if (Audio == nullptr || !Audio->Init(kAudioDefaultDevice, 44100, 32)) return false;
  Audio->Start();
  for (SoundRequest& request : SoundRequestRing.slots) {
    request.state = kRequestFree;
    request.sample = 0;
    request.loop = 0;
  }
  Audio->SetGlobalVolumes(MusicVolume, SampleVolume, kAudioKeep);
  return true;
}

void LoadSoundsAndMusic() {
  if (Audio == nullptr) return;
  // The samples are named relative to "Sounds" when it exists, like the folder search of
  // the data folder they come from.
  std::error_code error;
  const bool haveSounds = std::filesystem::is_directory("Sounds", error);
  const std::filesystem::path folder = haveSounds ? "Sounds" : ".";
  for (const std::string& name : OggNames(folder)) {
    if (SampleTable.count >= kMaxSamples) break;
    if (name.size() >= sizeof SampleTable.slots[0].name) continue;  // longer than any Linux file name
    SampleSlot& slot = SampleTable.slots[SampleTable.count++];
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    const std::string path = haveSounds ? "Sounds/" + name : name;
    slot.handle = Audio->SampleLoad(path.c_str(), kAudioMaxPlaybacks, 0);
    slot.cooldown = 0.0f;
  }

  Music.musicIsModule = IsModuleName(musicName);
  if (Music.musicIsModule) {
    Music.MusicHandle = Audio->MusicLoad(musicName, kAudioLoop);
    Audio->MusicSetAmplify(Music.MusicHandle, kModuleAmplification);
  } else {
    Music.MusicHandle = Audio->StreamCreateFile(musicName, kAudioLoop);
  }
}

void StartMusic(int32_t order) {
  if (Audio == nullptr || !Music.musicIsModule) return;
  if (order == Music.requestedOrder) return;
  Music.requestedOrder = order;
  Audio->ChannelSetAttributes(Music.MusicHandle, kAudioKeep, 100, kAudioKeepPan);
  Audio->MusicPlayEx(Music.MusicHandle, static_cast<uint32_t>(order), kMusicPlayFlags, true);
}

void PlaySound(const char* name) {
  for (int32_t i = 0; i < SampleTable.count; ++i) {
    SampleSlot& slot = SampleTable.slots[i];
    if (std::strcmp(slot.name, name) != 0 || slot.cooldown > 0.0f) continue;
    slot.cooldown = kSampleCooldownMs;
    SoundRequest& request = SoundRequestRing.slots[SoundRequestRing.cursor];
    request.state = kRequestWaiting;
    request.sample = slot.handle;
    request.loop = 0;
    request.frequency = kSampleFrequency;
    SoundRequestRing.cursor = (SoundRequestRing.cursor + 1) % kSoundRequestSlots;
  }
}

void UpdateAudio() {
  for (int32_t i = 0; i < SampleTable.count; ++i) {
    SampleSlot& slot = SampleTable.slots[i];
    if (slot.cooldown > 0.0f) slot.cooldown -= FrameDeltaMs;
  }
  if (Audio == nullptr) return;
  for (SoundRequest& request : SoundRequestRing.slots) {
    if (request.state == kRequestWaiting) {
      request.channel = Audio->SamplePlayEx(request.sample, 0, request.frequency, kAudioKeep, kAudioKeepPan,
                                            request.loop != 0);
      request.state = kRequestPlaying;
    } else if (request.state == kRequestPlaying) {
      request.state = static_cast<int32_t>(Audio->ChannelIsActive(request.channel));
    }
  }
  // A stream is (re)asserted every frame; a playing one goes on untouched. With the music
  // switched off it never starts, like a module.
  if (!Music.musicIsModule && Settings.musicOn != 0) {
    Audio->ChannelSetAttributes(Music.MusicHandle, kAudioKeep, MusicVolume, kAudioKeepPan);
    Audio->StreamPlay(Music.MusicHandle, false, kAudioLoop);
  }
}

void StopAudio() {
  if (Audio == nullptr) return;
  Audio->Stop();
  Audio->Free();
}

void ResetAudioEngine() {
  SampleTable = SampleTableState{};
  SoundRequestRing = SoundRequestRingState{};
  Music = MusicState{};
}

}  // namespace qh
