// Test sound files: an XM written byte by byte (FastTracker 2 layout), Ogg Vorbis files
// encoded with libvorbisenc and MP3 files encoded with LAME.
#include "tests/support/sound_files.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace qh {

namespace {
void Put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void Put16(std::vector<uint8_t>& out, uint32_t v) {
  Put8(out, v & 0xFF);
  Put8(out, (v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutText(std::vector<uint8_t>& out, const char* text, size_t size) {
  for (size_t i = 0; i < size; ++i) out.push_back(i < std::strlen(text) ? static_cast<uint8_t>(text[i]) : 0);
}
}  // namespace

std::vector<uint8_t> MakeTestXm() {
  constexpr int kChannels = 2, kRows = 16;
  std::vector<uint8_t> x;
  PutText(x, "Extended Module: ", 17);
  PutText(x, "test orders", 20);
  Put8(x, 0x1A);
  PutText(x, "quiet highland test", 20);
  Put16(x, 0x0104);
  Put32(x, 276);        // header size from here
  Put16(x, 2);          // song length: two orders
  Put16(x, 0);          // restart position
  Put16(x, kChannels);
  Put16(x, 2);          // patterns
  Put16(x, 1);          // instruments
  Put16(x, 1);          // linear frequency table
  Put16(x, 6);          // ticks per row
  Put16(x, 125);        // BPM
  for (int i = 0; i < 256; ++i) Put8(x, i < 2 ? static_cast<uint32_t>(i) : 0);  // order table
  for (int pattern = 0; pattern < 2; ++pattern) {
    Put32(x, 9);        // pattern header size
    Put8(x, 0);         // packing type
    Put16(x, kRows);
    Put16(x, kRows * kChannels * 5);
    for (int row = 0; row < kRows; ++row) {
      for (int channel = 0; channel < kChannels; ++channel) {
        const bool note = row == 0 && channel == 0;
        Put8(x, note ? (pattern == 0 ? 49 : 61) : 0);  // C-4, C-5
        Put8(x, note ? 1 : 0);                           // instrument 1
        Put8(x, 0);                                      // volume column
        Put8(x, 0);                                      // effect
        Put8(x, 0);                                      // parameter
      }
    }
  }
  // The instrument: header, one sample header, the sample's data.
  const size_t instrumentStart = x.size();
  Put32(x, 263);
  PutText(x, "square", 22);
  Put8(x, 0);           // type
  Put16(x, 1);          // samples
  Put32(x, 40);         // sample header size
  for (int i = 0; i < 96; ++i) Put8(x, 0);   // every note plays sample 0
  for (int i = 0; i < 96; ++i) Put8(x, 0);   // volume and panning envelopes (unused)
  for (int i = 0; i < 14; ++i) Put8(x, 0);   // envelope counts, sustain and loops, types: off
  Put16(x, 0x400);      // fadeout
  while (x.size() < instrumentStart + 263) Put8(x, 0);
  constexpr int kLength = 32;
  Put32(x, kLength);
  Put32(x, 0);          // loop start
  Put32(x, kLength);    // loop length
  Put8(x, 64);          // volume
  Put8(x, 0);           // finetune
  Put8(x, 1);           // forward loop, 8-bit
  Put8(x, 128);         // panning
  Put8(x, 0);           // relative note
  Put8(x, 0);           // reserved
  PutText(x, "square", 22);
  int8_t previous = 0;
  for (int i = 0; i < kLength; ++i) {  // delta-coded
    const int8_t value = i < kLength / 2 ? 64 : -64;
    Put8(x, static_cast<uint8_t>(static_cast<int8_t>(value - previous)));
    previous = value;
  }
  return x;
}

std::vector<float> Sine(double hz, int rate, int frames, int channels, float amplitude) {
  std::vector<float> out(size_t(frames) * size_t(channels));
  for (int i = 0; i < frames; ++i) {
    const float v = amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * i / rate));
    for (int c = 0; c < channels; ++c) out[size_t(i) * size_t(channels) + size_t(c)] = v;
  }
  return out;
}

bool WriteOggFile(const std::string& path, const std::vector<float>& samples, int channels, int rate) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.6f) != 0) {
    std::fclose(file);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);
  ogg_packet header, comments, code;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &code);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &code);
  ogg_page page;
  bool ok = true;
  while (ogg_stream_flush(&os, &page)) {
    ok = ok && std::fwrite(page.header, 1, size_t(page.header_len), file) == size_t(page.header_len);
    ok = ok && std::fwrite(page.body, 1, size_t(page.body_len), file) == size_t(page.body_len);
  }
  const size_t frames = samples.size() / size_t(channels);
  for (size_t at = 0; at <= frames;) {
    const size_t n = std::min<size_t>(1024, frames - at);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(at + i) * size_t(channels) + size_t(c)];
      }
    }
    vorbis_analysis_wrote(&vd, static_cast<int>(n));
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) {
          ok = ok && std::fwrite(page.header, 1, size_t(page.header_len), file) == size_t(page.header_len);
          ok = ok && std::fwrite(page.body, 1, size_t(page.body_len), file) == size_t(page.body_len);
        }
      }
    }
    if (n == 0) break;
    at += n;
  }
  while (ogg_stream_flush(&os, &page)) {
    ok = ok && std::fwrite(page.header, 1, size_t(page.header_len), file) == size_t(page.header_len);
    ok = ok && std::fwrite(page.body, 1, size_t(page.body_len), file) == size_t(page.body_len);
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return std::fclose(file) == 0 && ok;
}

bool WriteMp3File(const std::string& path, const std::vector<float>& stereo, int rate) {
  lame_global_flags* lame = lame_init();
  if (lame == nullptr) return false;
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, 2);
  lame_set_brate(lame, 192);
  lame_set_bWriteVbrTag(lame, 1);
  std::vector<unsigned char> mp3(stereo.size() * 2 + 16384);
  int size = -1;
  if (lame_init_params(lame) >= 0) {
    const int frames = static_cast<int>(stereo.size() / 2);
    size = lame_encode_buffer_interleaved_ieee_float(lame, stereo.data(), frames, mp3.data(), static_cast<int>(mp3.size()));
    if (size >= 0) {
      const int tail = lame_encode_flush(lame, mp3.data() + size, static_cast<int>(mp3.size()) - size);
      size = tail >= 0 ? size + tail : -1;
    }
  }
  // The LAME tag replaces the placeholder frame at the start.
  unsigned char tag[2880];
  const size_t tagSize = size >= 0 ? lame_get_lametag_frame(lame, tag, sizeof tag) : 0;
  lame_close(lame);
  if (size < 0 || tagSize > size_t(size)) return false;
  std::memcpy(mp3.data(), tag, tagSize);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(mp3.data(), 1, size_t(size), file) == size_t(size);
  return std::fclose(file) == 0 && ok;
}

}  // namespace qh
