// The music: "Highland Morning", an original calm piece in D major for pad, harp-like
// arpeggios, a flute-like melody and a soft bass, 40 bars at 72 beats per minute
// (2 min 13 s). Every note is rendered into a circular buffer (tails that run past the
// end continue at the start) and the reverb runs round it twice, so the piece loops
// without a seam.
#include <algorithm>
#include <cmath>

#include "tools/content/audio.h"
#include "tools/content/generate.h"

namespace qhc {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBeat = 60.0 / kMusicBpm;

double MidiHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

struct Mixer {
  Stereo s;
  size_t n;
  explicit Mixer(size_t samples) : n(samples) { s.l.assign(samples, 0); s.r.assign(samples, 0); }
  void Add(size_t i, float v, float pan) {  // pan 0 left .. 1 right
    s.l[i % n] += v * std::sqrt(1 - pan);
    s.r[i % n] += v * std::sqrt(pan);
  }
};

// Additive voice: partial amplitudes and per-partial decay rates, oscillators by rotation
// (cheap, and exactly repeatable).
void RenderAdditive(Mixer& m, double startS, double seconds, double hz, const float* amps, const float* decays,
                    int partials, float gain, float pan, double attackS, double releaseAtS, double releaseS,
                    double vibratoHz = 0, double vibratoDepth = 0) {
  const size_t start = size_t(startS * kRate);
  const size_t len = size_t(seconds * kRate);
  double c[12], sn[12], rc[12], rs[12], fade[12], fadeStep[12];
  for (int p = 0; p < partials; ++p) {
    const double w = kTwoPi * hz * (p + 1) / kRate;
    c[p] = 1; sn[p] = 0; rc[p] = std::cos(w); rs[p] = std::sin(w);
    fade[p] = amps[p];
    fadeStep[p] = std::exp(-double(decays[p]) / kRate);  // each partial's decay, one sample at a time
  }
  double vib = 0;
  for (size_t i = 0; i < len; ++i) {
    const double t = double(i) / kRate;
    double env = std::min(1.0, t / attackS);
    if (t > releaseAtS) env *= std::max(0.0, 1 - (t - releaseAtS) / releaseS);
    double v = 0;
    for (int p = 0; p < partials; ++p) {
      v += fade[p] * sn[p];
      fade[p] *= fadeStep[p];
    }
    if (vibratoHz > 0 && (i & 63) == 0) {
      // Vibrato grows in after the attack; the rotation steps are refreshed every 64 samples.
      vib = vibratoDepth * std::min(1.0, std::max(0.0, t - 0.25) / 0.5) * std::sin(kTwoPi * vibratoHz * t);
      for (int p = 0; p < partials; ++p) {
        const double w = kTwoPi * hz * (1 + vib) * (p + 1) / kRate;
        rc[p] = std::cos(w); rs[p] = std::sin(w);
      }
    }
    for (int p = 0; p < partials; ++p) {
      const double nc = c[p] * rc[p] - sn[p] * rs[p];
      const double ns = c[p] * rs[p] + sn[p] * rc[p];
      c[p] = nc; sn[p] = ns;
    }
    if ((i & 1023) == 0) {  // keep the phasors on the unit circle
      for (int p = 0; p < partials; ++p) {
        const double r = std::sqrt(c[p] * c[p] + sn[p] * sn[p]);
        c[p] /= r; sn[p] /= r;
      }
    }
    m.Add(start + i, float(v * env * gain), pan);
  }
}

void Pad(Mixer& m, double startBeat, double beats, const int* tones, int count) {
  static const float amps[6] = {1.0f, 0.42f, 0.22f, 0.12f, 0.07f, 0.04f};
  static const float decays[6] = {0, 0, 0, 0.05f, 0.1f, 0.15f};
  for (int k = 0; k < count; ++k) {
    for (int d = -1; d <= 1; d += 2) {
      const double hz = MidiHz(tones[k]) * (1 + d * 0.0018);
      const double len = beats * kBeat;
      RenderAdditive(m, startBeat * kBeat, len + 2.5, hz, amps, decays, 6, 0.035f, d < 0 ? 0.3f : 0.7f, 1.6, len, 2.4);
    }
  }
}

void Pluck(Mixer& m, double beat, int midi, float gain) {
  static const float amps[8] = {1.0f, 0.5f, 0.3f, 0.18f, 0.1f, 0.06f, 0.035f, 0.02f};
  static const float decays[8] = {0.9f, 1.4f, 2.0f, 2.7f, 3.4f, 4.2f, 5.0f, 6.0f};
  const float pan = std::clamp(0.5f + (midi - 62) * 0.02f, 0.2f, 0.8f);
  RenderAdditive(m, beat * kBeat, 4.0, MidiHz(midi), amps, decays, 8, gain, pan, 0.004, 3.6, 0.4);
}

void Flute(Mixer& m, double beat, double beats, int midi) {
  static const float amps[4] = {1.0f, 0.16f, 0.06f, 0.02f};
  static const float decays[4] = {0.05f, 0.1f, 0.2f, 0.3f};
  const double len = beats * kBeat;
  RenderAdditive(m, beat * kBeat, len + 0.5, MidiHz(midi), amps, decays, 4, 0.11f, 0.55f, 0.09, len * 0.92, 0.35,
                 4.8, 0.004);
}

void Bass(Mixer& m, double beat, double beats, int midi) {
  static const float amps[3] = {1.0f, 0.25f, 0.08f};
  static const float decays[3] = {0.12f, 0.3f, 0.5f};
  const double len = beats * kBeat;
  RenderAdditive(m, beat * kBeat, len + 1.2, MidiHz(midi), amps, decays, 3, 0.13f, 0.5f, 0.06, len, 1.0);
}

// A plain Schroeder reverb run round the circular buffer twice.
void Reverb(Stereo& s, float wet) {
  const size_t n = s.l.size();
  const int combLen[4] = {1557, 1617, 1491, 1422};
  const int apLen[2] = {556, 441};
  for (int ch = 0; ch < 2; ++ch) {
    std::vector<float>& x = ch ? s.r : s.l;
    const int spread = ch ? 23 : 0;
    std::vector<std::vector<float>> comb(4), ap(2);
    std::vector<size_t> ci(4, 0), ai(2, 0);
    std::vector<float> damp(4, 0);
    for (int k = 0; k < 4; ++k) comb[size_t(k)].assign(size_t(combLen[k] + spread) * 2, 0);
    for (int k = 0; k < 2; ++k) ap[size_t(k)].assign(size_t(apLen[k] + spread), 0);
    std::vector<float> out(n);
    for (int pass = 0; pass < 2; ++pass) {
      for (size_t i = 0; i < n; ++i) {
        const float in = x[i] * 0.2f;
        float acc = 0;
        for (int k = 0; k < 4; ++k) {
          auto& buf = comb[size_t(k)];
          const float y = buf[ci[size_t(k)]];
          damp[size_t(k)] = y * 0.7f + damp[size_t(k)] * 0.3f;
          buf[ci[size_t(k)]] = in + damp[size_t(k)] * 0.86f;
          ci[size_t(k)] = (ci[size_t(k)] + 1) % buf.size();
          acc += y;
        }
        for (int k = 0; k < 2; ++k) {
          auto& buf = ap[size_t(k)];
          const float b = buf[ai[size_t(k)]];
          const float y = -acc + b;
          buf[ai[size_t(k)]] = acc + b * 0.5f;
          ai[size_t(k)] = (ai[size_t(k)] + 1) % buf.size();
          acc = y;
        }
        if (pass == 1) out[i] = x[i] + wet * acc;
      }
    }
    x.swap(out);
  }
}

struct Chord {
  int root;       // bass note
  int tones[4];   // pad voicing
};

}  // namespace

Bytes MakeMusic() {
  const double totalBeats = kMusicBars * 4.0;
  const size_t n = size_t(totalBeats * kBeat * kRate + 0.5);
  Mixer m(n);
  // D, Bm, G, A | D, Bm, G, A | Em, G, D, A | G, A, Bm, G | D, Bm, G, A — two bars each.
  const Chord D{38, {50, 57, 62, 66}}, Bm{35, {50, 54, 59, 62}}, G{31, {50, 55, 59, 62}}, A{33, {49, 57, 61, 64}},
      Em{28, {52, 55, 59, 64}};
  const Chord progression[20] = {D, Bm, G, A, D, Bm, G, A, Em, G, D, A, G, A, Bm, G, D, Bm, G, A};
  for (int c = 0; c < 20; ++c) {
    const double beat = c * 8.0;
    const Chord& ch = progression[c];
    Pad(m, beat, 8, ch.tones, 4);
    Bass(m, beat, 8, ch.root + 12);
    // Harp-like eighths walking up and down the chord; quieter in the first section.
    const int arp[8] = {ch.root + 24, ch.tones[1], ch.tones[2], ch.tones[3], ch.tones[2] + 12, ch.tones[3], ch.tones[2], ch.tones[1]};
    const float gain = (c < 4 || c >= 16) ? 0.05f : 0.065f;
    for (int bar = 0; bar < 2; ++bar) {
      for (int e = 0; e < 8; ++e) {
        if (c < 2 && bar == 0 && e < 4) continue;  // the piece opens with the pad alone
        Pluck(m, beat + bar * 4 + e * 0.5, arp[e] + (e == 4 && bar == 1 ? 2 : 0), gain);
      }
    }
  }
  // The melody: three eight-bar phrases in the middle of the piece (beat, length, note).
  struct N { double beat, len; int midi; };
  const N melody[] = {
      // over D Bm G A
      {32, 2, 69}, {34, 1, 66}, {35, 1, 69}, {36, 3, 74}, {39, 1, 73},
      {40, 2, 71}, {42, 1, 69}, {43, 1, 66}, {44, 3, 71},
      {48, 2, 67}, {50, 1, 71}, {51, 1, 74}, {52, 2, 76}, {54, 2, 74},
      {56, 2, 73}, {58, 1, 71}, {59, 1, 69}, {60, 4, 69},
      // over Em G D A
      {64, 2, 76}, {66, 1, 74}, {67, 1, 71}, {68, 2, 67}, {70, 2, 71},
      {72, 3, 74}, {75, 1, 71}, {76, 2, 69}, {78, 2, 67},
      {80, 2, 66}, {82, 2, 69}, {84, 2, 74}, {86, 1, 76}, {87, 1, 78},
      {88, 3, 76}, {91, 1, 73}, {92, 4, 69},
      // over G A Bm G
      {96, 1, 71}, {97, 1, 74}, {98, 4, 79}, {102, 1, 78}, {103, 1, 76},
      {104, 2, 76}, {106, 2, 73}, {108, 3, 69}, {111, 1, 71},
      {112, 2, 74}, {114, 2, 78}, {116, 1, 76}, {117, 1, 74}, {118, 2, 71},
      {120, 3, 74}, {123, 1, 71}, {124, 2, 67}, {126, 2, 69},
      // a last echo over the closing D
      {130, 2, 69}, {132, 4, 66},
  };
  for (const N& note : melody) Flute(m, note.beat, note.len, note.midi);
  (void)totalBeats;
  Reverb(m.s, 0.55f);
  Normalise(m.s, 0.7f);
  return EncodeVorbis(m.s, 0.3f, 0x51480001u);
}

}  // namespace qhc
