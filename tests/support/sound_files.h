// Sound files made by the tests themselves: a small XM module whose two orders play
// different notes, and Ogg Vorbis files of given samples.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qh {

// An XM module of two channels and two orders: order 0 (pattern 0) holds C-4 on its first
// row, order 1 (pattern 1) C-5, an octave higher. The one instrument is a looped square
// wave, so a note sounds until the pattern ends; each pattern lasts 16 rows (1.92 s).
std::vector<uint8_t> MakeTestXm();

// Encodes interleaved float samples (`channels` of them per frame) as Ogg Vorbis.
bool WriteOggFile(const std::string& path, const std::vector<float>& samples, int channels, int rate);

// Encodes interleaved float stereo samples as MP3 (with the LAME tag that tells a decoder
// the encoder's delay and padding, so the file can loop without a gap).
bool WriteMp3File(const std::string& path, const std::vector<float>& stereo, int rate);

// A sine of `hz` at `rate`, `frames` long, interleaved for `channels`.
std::vector<float> Sine(double hz, int rate, int frames, int channels, float amplitude);

}  // namespace qh
