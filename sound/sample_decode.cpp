// Whole-file decoding of the samples (libvorbisfile), at load time only.
#include "sound/sample_decode.h"

#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "resources/safe_file.h"
#include "sound/audio_output.h"

namespace qh {

namespace {
std::string RefusalReason(int error) {
  switch (error) {
    case ENOENT: return "it is missing";
    case EISDIR: return "it is a folder, not a file";
    case EINVAL: return "it is not a regular file (a pipe, a device or a socket)";
    case EFBIG: return "it is larger than the 256 MiB a sound file may be";
    default: return std::string("it cannot be read (") + std::strerror(error) + ")";
  }
}
}  // namespace

int OpenSoundFile(const char* path, std::string* why) {
  int error = 0;
  const int fd = OpenRegularFile(path, kMaxSoundFileBytes, &error);
  if (fd < 0) *why = RefusalReason(error);
  return fd;
}

bool ReadSoundFile(const char* path, std::vector<uint8_t>* bytes, std::string* why) {
  int error = 0;
  if (ReadRegularFile(path, kMaxSoundFileBytes, bytes, &error)) return true;
  *why = RefusalReason(error);
  return false;
}

bool OpenVorbisFile(const char* path, OggVorbis_File* file, std::string* why) {
  const int fd = OpenSoundFile(path, why);
  if (fd < 0) return false;
  FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) {
    close(fd);
    *why = "it cannot be read";
    return false;
  }
  if (ov_open_callbacks(stream, file, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
    std::fclose(stream);  // a failed open leaves the source to its caller
    *why = "not an Ogg Vorbis file";
    return false;
  }
  return true;
}

bool DecodeOggSample(const char* path, std::vector<float>* frames, std::string* why) {
  OggVorbis_File file;
  if (!OpenVorbisFile(path, &file, why)) return false;
  const vorbis_info* first = ov_info(&file, -1);
  const int32_t rate = first != nullptr ? static_cast<int32_t>(first->rate) : 0;
  frames->clear();
  const ogg_int64_t total = ov_pcm_total(&file, -1);
  if (total > 0) frames->reserve(size_t(total) * 2);
  bool ok = rate > 0;
  while (ok) {
    float** pcm = nullptr;
    int link = 0;
    const long got = ov_read_float(&file, &pcm, 4096, &link);
    if (got == 0) break;
    if (got == OV_HOLE) continue;
    if (got < 0) {
      ok = false;
      break;
    }
    const vorbis_info* info = ov_info(&file, link);
    const int channels = info != nullptr ? info->channels : 1;
    for (long i = 0; i < got; ++i) {
      frames->push_back(pcm[0][i]);
      frames->push_back(pcm[channels > 1 ? 1 : 0][i]);
    }
  }
  ov_clear(&file);
  if (!ok) {
    *why = "its audio data is damaged";
    return false;
  }
  if (rate != kMixRate) *frames = ConvertRate(*frames, rate, kMixRate);
  return true;
}

std::vector<float> ConvertRate(const std::vector<float>& frames, int32_t fromRate, int32_t toRate) {
  const size_t inFrames = frames.size() / 2;
  if (inFrames == 0 || fromRate <= 0 || toRate <= 0) return {};
  const size_t outFrames = static_cast<size_t>((uint64_t(inFrames) * uint64_t(toRate) + uint64_t(fromRate) - 1) / uint64_t(fromRate));
  std::vector<float> out(outFrames * 2);
  const double step = double(fromRate) / toRate;
  for (size_t i = 0; i < outFrames; ++i) {
    const double at = double(i) * step;
    const size_t a = static_cast<size_t>(at);
    const size_t b = a + 1 < inFrames ? a + 1 : a;
    const float t = static_cast<float>(at - double(a));
    for (int c = 0; c < 2; ++c) out[2 * i + c] = frames[2 * a + c] + (frames[2 * b + c] - frames[2 * a + c]) * t;
  }
  return out;
}

}  // namespace qh
