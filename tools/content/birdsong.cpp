// Birdsong: three recordings of three different singers, each with a fainter bird or two
// further off. Song is nearly pure whistle, so every note is a sine whose pitch follows a
// curve (a glide, an arch, a dip, a warble or a buzz) with a small second harmonic, about
// 32 dB down, and no higher ones; notes rise quickly and die away more slowly, and no two
// notes in a row are the same unless they belong to a trill.
#include <algorithm>
#include <cmath>

#include "tools/content/audio.h"
#include "tools/content/generate.h"

namespace qhc {

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kPi = 3.14159265f;

// One note: the pitch passes through f0 at its start, fm at its middle and f1 at its end
// (a quadratic curve), warbling by vibDepth (relative) at vibHz; loudness peaks at `peak`
// (0..1 of the note) and then falls away.
struct Note {
  float start, dur;
  float f0, fm, f1;
  float amp;
  float peak = 0.25f;
  float vibHz = 0, vibDepth = 0;
};

struct Voice {
  std::vector<float> mono;
  void Sing(const Note& n) {
    const size_t at = size_t(std::max(0.0f, n.start) * kRate), len = size_t(n.dur * kRate);
    float phase = 0;
    for (size_t i = 0; i < len && at + i < mono.size(); ++i) {
      const float q = float(i) / float(len);
      const float t = float(i) / kRate;
      float f = n.f0 * (1 - q) * (1 - 2 * q) + 4 * n.fm * q * (1 - q) + n.f1 * q * (2 * q - 1);
      if (n.vibHz > 0) f *= 1 + n.vibDepth * std::sin(kTwoPi * n.vibHz * t);
      f = std::clamp(f, 800.0f, 9000.0f);
      phase += kTwoPi * f / kRate;
      if (phase > kTwoPi) phase -= kTwoPi;
      const float w = q < n.peak ? 0.5f * q / n.peak : 0.5f + 0.5f * (q - n.peak) / (1 - n.peak);
      const float s = std::sin(kPi * w);
      const float env = s * std::sqrt(s);
      mono[at + i] += n.amp * env * (std::sin(phase) + 0.025f * std::sin(2 * phase + 0.4f));
    }
  }
};

// ---- three singers ----------------------------------------------------------------------

// A thrush: short, clear motifs of two or three different notes, each motif said two or
// three times with small changes, then a pause and a new motif.
float Thrush(Voice& v, float t, float until, float amp, Rng& rng) {
  while (t < until) {
    Note motif[3];
    const int notes = 2 + rng.Below(2);
    for (int k = 0; k < notes; ++k) {
      const float base = rng.Range(2100, 4600);
      const float dur = rng.Range(0.05f, 0.16f);
      switch (rng.Below(5)) {
        case 0: motif[k] = {0, dur, base, base * 1.2f, base * 1.5f, 1, 0.6f}; break;            // rising whistle
        case 1: motif[k] = {0, dur, base * 1.5f, base * 1.15f, base, 1, 0.15f}; break;           // falling slur
        case 2: motif[k] = {0, dur * 1.3f, base, base * 1.3f, base * 1.05f, 1, 0.4f, 9, 0.02f}; break;  // fluted arch
        case 3: motif[k] = {0, dur * 0.6f, base * 1.6f, base * 1.1f, base * 0.8f, 1, 0.1f}; break;  // sharp chip
        default: motif[k] = {0, dur, base * 1.2f, base, base * 1.3f, 1, 0.3f, 60, 0.05f}; break;  // buzzy dip
      }
      motif[k].amp = amp * rng.Range(0.6f, 1.0f);
    }
    const int repeats = 2 + rng.Below(2);
    for (int r = 0; r < repeats && t < until; ++r) {
      for (int k = 0; k < notes; ++k) {
        Note n = motif[k];
        const float shift = rng.Range(0.98f, 1.02f);
        n.f0 *= shift; n.fm *= shift; n.f1 *= shift;
        n.start = t;
        n.amp *= rng.Range(0.85f, 1.0f);
        v.Sing(n);
        t += n.dur + rng.Range(0.025f, 0.06f);
      }
      t += rng.Range(0.05f, 0.1f);
    }
    t += rng.Range(0.25f, 0.45f);
  }
  return t;
}

// A finch: a rattling trill that falls and quickens, a second, lower trill of another note
// shape, and a flourish at the end: a quick upsweep and a long, warbled fall.
float Finch(Voice& v, float t, float amp, Rng& rng) {
  const float top = rng.Range(5400, 6200);
  const int first = 5 + rng.Below(3);
  float gap = 0.105f;
  for (int k = 0; k < first; ++k) {
    const float f = top * (1 - 0.035f * k);
    v.Sing({t, 0.045f, f, f * 0.86f, f * 0.7f, amp * (0.7f + 0.05f * k), 0.2f});
    t += gap;
    gap *= 0.96f;
  }
  t += 0.03f;
  const int second = 3 + rng.Below(3);
  const float mid = rng.Range(3600, 4200);
  for (int k = 0; k < second; ++k) {
    const float f = mid * (1 - 0.02f * k);
    v.Sing({t, 0.055f, f * 1.15f, f * 0.85f, f * 1.05f, amp, 0.35f});
    t += 0.075f;
  }
  t += 0.04f;
  v.Sing({t, 0.07f, 2700, 3800, 5200, amp * 0.9f, 0.7f});
  t += 0.08f;
  v.Sing({t, 0.22f, 5400, 4300, 2300, amp, 0.15f, 38, 0.035f});
  return t + 0.22f;
}

// A warbler: a soft run of slurred notes falling from high to low, each a little longer
// and lower than the one before, alternating its shape, ending on a fuller fall.
float Warbler(Voice& v, float t, float amp, Rng& rng) {
  const int notes = 13 + rng.Below(4);
  float f = rng.Range(5600, 6100);
  for (int k = 0; k < notes; ++k) {
    const float q = float(k) / (notes - 1);
    const float dur = 0.05f + 0.04f * q + rng.Range(-0.006f, 0.006f);
    const float loud = amp * (0.45f + 0.55f * std::sin(kPi * std::min(1.0f, 0.25f + q)));
    if (k % 3 == 2)
      v.Sing({t, dur, f * 0.92f, f * 1.08f, f * 0.85f, loud, 0.45f});  // a small arch
    else if (k % 3 == 1)
      v.Sing({t, dur, f * 1.12f, f * 0.95f, f * 0.82f, loud, 0.2f});   // a slur down
    else
      v.Sing({t, dur, f * 0.9f, f * 1.05f, f * 1.1f, loud, 0.6f});     // a slur up
    t += dur + 0.03f + 0.02f * q;
    f *= 0.955f + rng.Range(-0.01f, 0.01f);
  }
  v.Sing({t, 0.16f, f * 1.3f, f * 1.05f, f * 0.7f, amp * 0.8f, 0.2f, 22, 0.02f});
  return t + 0.16f;
}

// A tit's thin calls far off: pairs of a high note and a lower one, never quite alike.
void TitCalls(Voice& v, float t, int pairs, float amp, Rng& rng) {
  for (int k = 0; k < pairs; ++k) {
    const float hi = rng.Range(6800, 7400), lo = rng.Range(4200, 4800);
    v.Sing({t, 0.09f, hi, hi * 0.98f, hi * 0.95f, amp, 0.3f});
    v.Sing({t + 0.13f, 0.1f, lo * 1.04f, lo, lo * 0.97f, amp * 0.9f, 0.3f});
    t += rng.Range(0.4f, 0.55f);
  }
}

// ---- the place ---------------------------------------------------------------------------

// A one-pole low-pass: distance takes the top off a bird's voice.
void Muffle(std::vector<float>& x, float cutoffHz) {
  const float k = 1 - std::exp(-kTwoPi * cutoffHz / kRate);
  float y = 0;
  for (float& v : x) { y += k * (v - y); v = y; }
}

// Adds a voice to the stereo mix at a place between the sides, with echoes off the trees:
// a bird further off has more echo and less direct sound.
void Place(Stereo& s, const std::vector<float>& mono, float pan, float echo) {
  const float gl = std::sqrt(1 - pan), gr = std::sqrt(pan);
  for (size_t i = 0; i < mono.size(); ++i) { s.l[i] += mono[i] * gl; s.r[i] += mono[i] * gr; }
  const float delays[5] = {0.029f, 0.043f, 0.071f, 0.113f, 0.167f};
  const float gains[5] = {0.24f, 0.18f, 0.12f, 0.08f, 0.05f};
  for (int k = 0; k < 5; ++k) {
    const size_t d = size_t(delays[k] * kRate);
    float lp = 0;
    const bool left = k % 2 == 0;  // echoes come back from either side
    for (size_t i = d; i < mono.size(); ++i) {
      lp += 0.4f * (mono[i - d] - lp);
      (left ? s.l : s.r)[i] += echo * gains[k] * lp;
    }
  }
}

}  // namespace

Bytes MakeBirds(int which) {
  const float seconds = 4.8f;
  const size_t n = size_t(seconds * kRate);
  Stereo s{std::vector<float>(n), std::vector<float>(n)};
  Rng rng(uint64_t(5000 + which));
  Voice near{std::vector<float>(n)}, far{std::vector<float>(n)}, farther{std::vector<float>(n)};
  if (which == 1) {
    Thrush(near, 0.2f, 3.8f, 0.9f, rng);
    Finch(far, 1.3f, 0.12f, rng);
    TitCalls(farther, 3.2f, 2, 0.06f, rng);
  } else if (which == 2) {
    const float end = Finch(near, 0.25f, 0.9f, rng);
    Finch(near, end + 0.45f, 0.85f, rng);
    Warbler(far, 0.9f, 0.1f, rng);
  } else {
    Warbler(near, 0.3f, 0.9f, rng);
    Thrush(far, 2.0f, 3.6f, 0.1f, rng);
    TitCalls(farther, 0.6f, 3, 0.05f, rng);
  }
  Muffle(far.mono, 3500);
  Muffle(farther.mono, 3000);
  Place(s, near.mono, 0.3f + 0.2f * float(which - 1), 0.5f);
  Place(s, far.mono, which == 2 ? 0.15f : 0.82f, 2.0f);
  Place(s, farther.mono, 0.6f, 2.5f);
  Normalise(s, 0.5f);
  // Soft ends.
  const size_t fade = size_t(0.05f * kRate);
  for (size_t i = 0; i < fade; ++i) {
    const float g = float(i) / fade;
    s.l[i] *= g; s.r[i] *= g;
    s.l[n - 1 - i] *= g; s.r[n - 1 - i] *= g;
  }
  return EncodeVorbis(s, 0.4f, 0x51480010u + uint32_t(which));
}

}  // namespace qhc
