// Nature sounds, synthesized and encoded as Ogg Vorbis. The brook and the waterfall are
// built periodic: one period of sound, then a short tail that fades out while the
// head fades in, so copies started one period apart join without a seam even when the
// saver's frame-by-frame scheduling starts them a few milliseconds early or late.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "tools/content/audio.h"
#include "tools/content/generate.h"

namespace qhc {

namespace {
constexpr float kTwoPi = 6.2831853f;
}

Bytes EncodeVorbis(const Stereo& s, float quality, uint32_t serial) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, kRate, quality) != 0) throw std::runtime_error("Vorbis encoder refused its settings");
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "TITLE", "Quiet Highland");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, int(serial));  // fixed serial: the same bytes on every build
  Bytes out;
  auto flushPages = [&](bool force) {
    ogg_page og;
    while (force ? ogg_stream_flush(&os, &og) : ogg_stream_pageout(&os, &og)) {
      out.insert(out.end(), og.header, og.header + og.header_len);
      out.insert(out.end(), og.body, og.body + og.body_len);
    }
  };
  ogg_packet header, headerComm, headerCode;
  vorbis_analysis_headerout(&vd, &vc, &header, &headerComm, &headerCode);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &headerComm);
  ogg_stream_packetin(&os, &headerCode);
  flushPages(true);
  const size_t n = s.l.size();
  const size_t chunk = 1024;
  for (size_t pos = 0;; pos += chunk) {
    const size_t count = pos < n ? std::min(chunk, n - pos) : 0;
    if (count == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, int(count));
      std::memcpy(buffer[0], &s.l[pos], count * sizeof(float));
      std::memcpy(buffer[1], &s.r[pos], count * sizeof(float));
      vorbis_analysis_wrote(&vd, int(count));
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        flushPages(false);
      }
    }
    if (count == 0) break;
  }
  flushPages(true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

// Two-pole resonant band-pass (or low-pass), run over a periodic signal twice so that its
// state at the start already holds the end: the result is periodic as well.
void FilterPeriodic(std::vector<float>& x, float freq, float q, bool lowPass) {
  const float w = kTwoPi * freq / kRate, alpha = std::sin(w) / (2 * q), cw = std::cos(w);
  float b0, b1, b2;
  if (lowPass) { b0 = (1 - cw) / 2; b1 = 1 - cw; b2 = (1 - cw) / 2; }
  else { b0 = alpha; b1 = 0; b2 = -alpha; }
  const float a0 = 1 + alpha, a1 = -2 * cw, a2 = 1 - alpha;
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  std::vector<float> out(x.size());
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < x.size(); ++i) {
      const float y = (b0 * x[i] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
      x2 = x1; x1 = x[i]; y2 = y1; y1 = y;
      if (pass == 1) out[i] = y;
    }
  }
  x.swap(out);
}

Stereo WithTail(const Stereo& period, size_t tail) {
  const size_t n = period.l.size();
  Stereo out;
  out.l.resize(n + tail);
  out.r.resize(n + tail);
  for (size_t i = 0; i < n + tail; ++i) {
    float env = 1;
    if (i < tail) env = float(i) / tail;
    if (i >= n) env = 1 - float(i - n) / tail;
    out.l[i] = period.l[i % n] * env;
    out.r[i] = period.r[i % n] * env;
  }
  return out;
}

void Normalise(Stereo& s, float peak) {
  float m = 1e-9f;
  for (size_t i = 0; i < s.l.size(); ++i) m = std::max({m, std::fabs(s.l[i]), std::fabs(s.r[i])});
  const float k = peak / m;
  for (size_t i = 0; i < s.l.size(); ++i) { s.l[i] *= k; s.r[i] *= k; }
}

namespace {

std::vector<float> WhiteNoise(size_t n, Rng& rng) {
  std::vector<float> v(n);
  for (float& x : v) x = rng.Uniform() * 2 - 1;
  return v;
}

// A water bubble: a short sine whose pitch rises as it decays.
void AddBubble(Stereo& s, size_t at, float freq, float amp, float decayMs, float pan) {
  const size_t n = s.l.size();
  const size_t len = size_t(decayMs * 5 * kRate / 1000);
  float phase = 0;
  const float gl = amp * std::sqrt(1 - pan) , gr = amp * std::sqrt(pan);
  for (size_t i = 0; i < len; ++i) {
    const float t = float(i) / kRate;
    const float f = freq * (1 + 18 * t);
    phase += kTwoPi * f / kRate;
    const float env = std::exp(-t * 1000 / decayMs) * std::min(1.0f, float(i) / 40);
    const float v = std::sin(phase) * env;
    s.l[(at + i) % n] += v * gl;
    s.r[(at + i) % n] += v * gr;
  }
}

}  // namespace

Bytes MakeBrook() {
  const size_t n = size_t(kRate) * kBrookPeriodMs / 1000;
  Rng rng(2024);
  Stereo s;
  // Rushing bed: band-limited noise, a little different on each side.
  auto bedL = WhiteNoise(n, rng), bedR = WhiteNoise(n, rng);
  auto common = WhiteNoise(n, rng);
  for (size_t i = 0; i < n; ++i) { bedL[i] = 0.6f * common[i] + 0.4f * bedL[i]; bedR[i] = 0.6f * common[i] + 0.4f * bedR[i]; }
  FilterPeriodic(bedL, 900, 0.6f, false);
  FilterPeriodic(bedR, 1000, 0.6f, false);
  FilterPeriodic(bedL, 4000, 0.7f, true);
  FilterPeriodic(bedR, 4000, 0.7f, true);
  s.l = bedL;
  s.r = bedR;
  // Gentle swell: whole cycles per period, so the modulation is periodic too.
  for (size_t i = 0; i < n; ++i) {
    const float t = float(i) / n;
    const float m = 0.75f + 0.15f * std::sin(kTwoPi * 3 * t + 0.5f) + 0.1f * std::sin(kTwoPi * 7 * t);
    s.l[i] *= 0.5f * m;
    s.r[i] *= 0.5f * m;
  }
  // Bubbles and plinks, some in quick clusters.
  Stereo bubbles{std::vector<float>(n), std::vector<float>(n)};
  const int count = 190;
  for (int k = 0; k < count; ++k) {
    const size_t at = size_t(rng.Uniform() * n);
    const float freq = 350 + 1500 * rng.Uniform() * rng.Uniform();
    const float amp = 0.05f + 0.25f * rng.Uniform() * rng.Uniform();
    AddBubble(bubbles, at, freq, amp, rng.Range(4, 14), rng.Range(0.15f, 0.85f));
    if (rng.Uniform() < 0.3f) AddBubble(bubbles, at + size_t(rng.Range(400, 1800)), freq * rng.Range(1.05f, 1.3f), amp * 0.7f, rng.Range(4, 10), rng.Range(0.2f, 0.8f));
  }
  FilterPeriodic(bubbles.l, 3500, 0.7f, true);
  FilterPeriodic(bubbles.r, 3500, 0.7f, true);
  for (size_t i = 0; i < n; ++i) { s.l[i] += bubbles.l[i]; s.r[i] += bubbles.r[i]; }
  Normalise(s, 0.6f);
  return EncodeVorbis(WithTail(s, size_t(kRate) * kLoopTailMs / 1000), 0.4f, 0x51480002u);
}

Bytes MakeWaterfallSound() {
  const size_t n = size_t(kRate) * kWaterfallPeriodMs / 1000;
  Rng rng(3031);
  Stereo s;
  auto common = WhiteNoise(n, rng);
  auto l = WhiteNoise(n, rng), r = WhiteNoise(n, rng);
  for (size_t i = 0; i < n; ++i) { l[i] = 0.5f * common[i] + 0.5f * l[i]; r[i] = 0.5f * common[i] + 0.5f * r[i]; }
  // A deep roar (low-passed twice) under a softer hiss.
  auto roarL = l, roarR = r;
  FilterPeriodic(roarL, 500, 0.7f, true);
  FilterPeriodic(roarL, 700, 0.7f, true);
  FilterPeriodic(roarR, 500, 0.7f, true);
  FilterPeriodic(roarR, 700, 0.7f, true);
  auto hissL = l, hissR = r;
  FilterPeriodic(hissL, 2500, 0.5f, false);
  FilterPeriodic(hissR, 2600, 0.5f, false);
  FilterPeriodic(hissL, 7000, 0.7f, true);
  FilterPeriodic(hissR, 7000, 0.7f, true);
  s.l.resize(n);
  s.r.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const float t = float(i) / n;
    const float surge = 0.85f + 0.1f * std::sin(kTwoPi * 2 * t + 1.0f) + 0.05f * std::sin(kTwoPi * 5 * t);
    s.l[i] = (2.2f * roarL[i] + 0.35f * hissL[i]) * surge;
    s.r[i] = (2.2f * roarR[i] + 0.35f * hissR[i]) * surge;
  }
  Normalise(s, 0.6f);
  return EncodeVorbis(WithTail(s, size_t(kRate) * kLoopTailMs / 1000), 0.4f, 0x51480003u);
}

}  // namespace qhc
