// Shared pieces of the sound makers: stereo buffers, periodic filtering, the loop tail
// and the Vorbis encoder.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/content/content.h"

namespace qhc {

constexpr int kRate = 44100;
// The ambient scheduler restarts these every period; each recording is one period long
// plus a tail that crossfades into the next copy.
constexpr int kBrookPeriodMs = 3100;
constexpr int kWaterfallPeriodMs = 3000;
constexpr int kLoopTailMs = 150;
// The music: 40 bars of 4/4 at 72 beats per minute.
constexpr int kMusicBars = 40;
constexpr int kMusicBpm = 72;

struct Stereo {
  std::vector<float> l, r;
};

Bytes EncodeVorbis(const Stereo& s, float quality, uint32_t serial);
void FilterPeriodic(std::vector<float>& x, float freq, float q, bool lowPass);
Stereo WithTail(const Stereo& period, size_t tail);
void Normalise(Stereo& s, float peak);

}  // namespace qhc
