// Samples are decoded whole when they are loaded: Ogg Vorbis to float stereo at 44100 Hz,
// so that playing one later costs only a voice. A file at another rate is converted to
// 44100 Hz here and keeps its natural pitch.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct OggVorbis_File;

namespace qh {

// Sound files are read like the data files: regular files only, opened without blocking,
// at most kMaxSoundFileBytes. A pipe, a device or a folder in a sound's place, or a file
// over the bound, is refused at once with a reason (never waited on), and the caller
// leaves that sound out.
constexpr size_t kMaxSoundFileBytes = size_t{256} << 20;
// A checked descriptor for readers that keep the file open; -1 and a reason otherwise.
int OpenSoundFile(const char* path, std::string* why);
// The whole file (modules are read whole); false and a reason otherwise.
bool ReadSoundFile(const char* path, std::vector<uint8_t>* bytes, std::string* why);
// An Ogg Vorbis file opened through a checked descriptor; false and a reason otherwise
// (nothing is left open). ov_clear closes it.
bool OpenVorbisFile(const char* path, OggVorbis_File* file, std::string* why);

// Interleaved stereo frames at 44100 Hz into `frames`; false and a reason when the file is
// not a readable Ogg Vorbis file.
bool DecodeOggSample(const char* path, std::vector<float>* frames, std::string* why);

// Linear-interpolation rate conversion of interleaved stereo frames.
std::vector<float> ConvertRate(const std::vector<float>& frames, int32_t fromRate, int32_t toRate);

}  // namespace qh
