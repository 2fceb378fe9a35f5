// The nature sounds under each scene: bird song, a brook or a waterfall, re-triggered at
// a fixed rhythm so that water sounds continuous and birds sing every few seconds.
// Written by UpdateAmbientSounds, once per frame after the clock and before UpdateAudio.
#pragma once
#include <cstdint>

namespace qh {

constexpr int32_t kAmbientNone = 0;
constexpr int32_t kAmbientBirds = 1;
constexpr int32_t kAmbientBrook = 2;
constexpr int32_t kAmbientWaterfall = 3;

struct AmbientState {
  int32_t AmbientTimer = 0;  // ms the scheduler has run; shared by every kind, never reset
  int32_t BirdCounter = 0;   // chooses the next bird recording
  bool started = false;      // the run's first call has been made (its sound plays at once)
};
extern AmbientState Ambient;

// The period of a kind in milliseconds (0 for a kind without sound).
int32_t AmbientPeriodMs(int32_t kind);

// Requests this frame's nature sound of the scene sceneCursor (through PlaySound) when its
// period boundary falls in this frame's step, then advances the timer by RawFrameDeltaMs.
// Does nothing at all while the nature sounds are switched off.
void UpdateAmbientSounds();

void ResetAmbientSounds();  // tests

}  // namespace qh
