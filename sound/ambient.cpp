// The nature-sound scheduler: one timer for every kind, a request on the frame whose
// step carries the timer from the second half of a period into the next one.
#include "sound/ambient.h"

#include <cstdio>

#include "core/frame_timing.h"
#include "core/math.h"
#include "resources/settings.h"
#include "scene/level.h"
#include "sound/audio_engine.h"

namespace qh {

AmbientState Ambient;

namespace {
constexpr int64_t kAmbientFoldMs = 186000LL * 10000;  // 1 860 000 000
constexpr int64_t kAmbientFoldAboveMs = 2000000000LL;
}  // namespace

int32_t AmbientPeriodMs(int32_t kind) {
  switch (kind) {
    case kAmbientBirds: return 6200;
    case kAmbientBrook: return 3100;
    case kAmbientWaterfall: return 3000;
    default: return 0;
  }
}

void UpdateAmbientSounds() {
  if (Settings.natureSounds == 0) return;
  // Scenes beyond the eighth have no entry: they are silent.
  const int32_t kind = sceneCursor >= 0 && sceneCursor < 8 ? SettingsEx.ambientKind[sceneCursor] : kAmbientNone;
  const int32_t t = Ambient.AmbientTimer;
  const int32_t d = static_cast<int32_t>(RawFrameDeltaMs);
  const int32_t period = AmbientPeriodMs(kind);
  if (period > 0) {
    const int32_t half = period / 2;
    // In 64 bits: the sum must not wrap after weeks of running.
    const int64_t next = (int64_t{t} + d) % period;
    // The start of the run plays at once, but only once: frames of step 0 keep the timer
    // at 0, and the cooldown would not stop a different bird recording each frame.
    const bool due = (t == 0 && !Ambient.started) || (t % period >= half && next < half);
    if (due) {
      if (kind == kAmbientBirds) {
        char name[16];
        std::snprintf(name, sizeof name, "birds%i.ogg", static_cast<int>(Ambient.BirdCounter % 3) + 1);
        PlaySound(name);
        Ambient.BirdCounter += RandomBelow(2) + 1;
      } else {
        PlaySound(kind == kAmbientBrook ? "brook.ogg" : "waterfall.ogg");
      }
    }
  }
  Ambient.started = true;
  // After about 23 days the timer would overflow: it is folded back by a multiple of every
  // period (186000 ms), which keeps each kind's phase and never lands on 0.
  int64_t after = int64_t{t} + d;
  if (after > kAmbientFoldAboveMs) after -= kAmbientFoldMs;
  Ambient.AmbientTimer = static_cast<int32_t>(after);
}

void ResetAmbientSounds() { Ambient = AmbientState{}; }

}  // namespace qh
