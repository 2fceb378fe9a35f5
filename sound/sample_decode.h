// Samples are decoded whole when they are loaded: Ogg Vorbis to float stereo at 44100 Hz,
// so that playing one later costs only a voice. A file at another rate is converted to
// 44100 Hz here and keeps its natural pitch.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qh {

// False when the file cannot be read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);

// Interleaved stereo frames at 44100 Hz into `frames`; false and a reason when the file is
// not a readable Ogg Vorbis file.
bool DecodeOggSample(const char* path, std::vector<float>* frames, std::string* why);

// Linear-interpolation rate conversion of interleaved stereo frames.
std::vector<float> ConvertRate(const std::vector<float>& frames, int32_t fromRate, int32_t toRate);

}  // namespace qh
