// The music decoders: libvorbisfile for Ogg Vorbis, libmpg123 for MP3, libopenmpt for
// tracker modules. Streams are read at their own rate and brought to 44100 Hz here;
// at the end of a file they seek back to its first sample, so the loop has no gap.
#include <mpg123.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <cstdio>
#include <libopenmpt/libopenmpt.hpp>

#include "sound/audio_output.h"
#include "sound/music_stream.h"
#include "sound/sample_decode.h"

namespace qh {

namespace {

// A looping source read at its own rate, resampled to kMixRate by linear interpolation
// when the rates differ.
class RateConvertingDecoder : public MusicDecoder {
 public:
  int32_t Read(float* out, int32_t frames) override {
    if (rate_ == kMixRate) return PullLooping(out, frames);
    const double step = double(rate_) / kMixRate;
    for (int32_t i = 0; i < frames; ++i) {
      while (position_ >= 1.0) {  // move the two-frame window one source frame on
        float next[2];
        if (PullLooping(next, 1) != 1) return i;
        previous_[0] = current_[0], previous_[1] = current_[1];
        current_[0] = next[0], current_[1] = next[1];
        position_ -= 1.0;
      }
      const float t = static_cast<float>(position_);
      out[2 * i] = previous_[0] + (current_[0] - previous_[0]) * t;
      out[2 * i + 1] = previous_[1] + (current_[1] - previous_[1]) * t;
      position_ += step;
    }
    return frames;
  }

 protected:
  // Up to `frames` stereo frames at rate_; 0 at the end of the file, -1 on an error.
  virtual int32_t Pull(float* out, int32_t frames) = 0;
  virtual bool Rewind() = 0;
  int32_t rate_ = kMixRate;

 private:
  int32_t PullLooping(float* out, int32_t frames) {
    int32_t done = 0;
    int32_t emptyTurns = 0;
    while (done < frames) {
      const int32_t got = Pull(out + 2 * done, frames - done);
      if (got < 0) return done;
      if (got == 0) {
        // The end: on from the first sample. A file with no sound at all stops here.
        if (++emptyTurns > 2 || !Rewind()) return done;
        continue;
      }
      emptyTurns = 0;
      done += got;
    }
    return done;
  }

  float previous_[2] = {0, 0}, current_[2] = {0, 0};
  double position_ = 1.0;  // primes the window on the first frame
};

class OggStream : public RateConvertingDecoder {
 public:
  ~OggStream() override {
    if (open_) ov_clear(&file_);
  }
  bool Open(const char* path, std::string* why) {
    if (!OpenVorbisFile(path, &file_, why)) return false;
    open_ = true;
    const vorbis_info* info = ov_info(&file_, -1);
    if (info == nullptr || info->rate <= 0 || info->channels <= 0) {
      *why = "an Ogg Vorbis file without audio";
      return false;
    }
    rate_ = static_cast<int32_t>(info->rate);
    return true;
  }

 protected:
  int32_t Pull(float* out, int32_t frames) override {
    float** pcm = nullptr;
    int link = 0;
    const long got = ov_read_float(&file_, &pcm, frames, &link);
    if (got == OV_HOLE) return Pull(out, frames);  // a gap in the data: go on
    if (got < 0) return -1;
    const vorbis_info* info = ov_info(&file_, link);
    const int channels = info != nullptr ? info->channels : 1;
    for (long i = 0; i < got; ++i) {
      out[2 * i] = pcm[0][i];
      out[2 * i + 1] = pcm[channels > 1 ? 1 : 0][i];
    }
    return static_cast<int32_t>(got);
  }
  bool Rewind() override { return ov_pcm_seek(&file_, 0) == 0; }

 private:
  OggVorbis_File file_{};
  bool open_ = false;
};

class Mp3Stream : public RateConvertingDecoder {
 public:
  ~Mp3Stream() override {
    if (handle_ != nullptr) {
      mpg123_close(handle_);
      mpg123_delete(handle_);
    }
    if (fd_ >= 0) close(fd_);  // libmpg123 closes only what it opened itself
  }
  bool Open(const char* path, std::string* why) {
    static const bool initialised = mpg123_init() == MPG123_OK;
    int error = 0;
    handle_ = initialised ? mpg123_new(nullptr, &error) : nullptr;
    if (handle_ == nullptr) {
      *why = "the MP3 decoder could not start";
      return false;
    }
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_FORCE_FLOAT | MPG123_QUIET | MPG123_GAPLESS, 0);
    long rate = 0;
    int channels = 0, encoding = 0;
    fd_ = OpenSoundFile(path, why);
    if (fd_ < 0) return false;
    if (mpg123_open_fd(handle_, fd_) != MPG123_OK || mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
        rate <= 0) {
      *why = "not an MP3 file";
      return false;
    }
    mpg123_format_none(handle_);
    mpg123_format(handle_, rate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    rate_ = static_cast<int32_t>(rate);
    return true;
  }

 protected:
  int32_t Pull(float* out, int32_t frames) override {
    size_t bytes = 0;
    const int result = mpg123_read(handle_, out, size_t(frames) * 2 * sizeof(float), &bytes);
    const int32_t got = static_cast<int32_t>(bytes / (2 * sizeof(float)));
    if (got > 0) return got;
    if (result == MPG123_NEW_FORMAT) return Pull(out, frames);
    if (result == MPG123_DONE) return 0;
    return result == MPG123_OK ? Pull(out, frames) : -1;
  }
  bool Rewind() override { return mpg123_seek(handle_, 0, SEEK_SET) >= 0; }

 private:
  mpg123_handle* handle_ = nullptr;
  int fd_ = -1;
};

// libopenmpt's messages about a module's oddities are of no use to a screensaver's user.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

class ModuleDecoder : public MusicDecoder {
 public:
  bool Open(const std::vector<uint8_t>& bytes, std::string* why) {
    try {
      // Seeking to an order computes the state of every sample there, not just the notes.
      module_ = std::make_unique<openmpt::module>(bytes, log_, std::map<std::string, std::string>{{"seek.sync_samples", "1"}});
      module_->set_repeat_count(-1);
      return true;
    } catch (const std::exception& error) {
      *why = std::string("not a module libopenmpt can play (") + error.what() + ")";
      return false;
    }
  }
  int32_t Read(float* out, int32_t frames) override {
    return static_cast<int32_t>(module_->read_interleaved_stereo(kMixRate, size_t(frames), out));
  }
  void SeekOrder(int32_t order) override {
    // libopenmpt ignores an order beyond the last one and plays on where it was.
    if (order < 0 || order >= module_->get_num_orders()) order = 0;
    module_->set_position_order_row(order, 0);
  }
  void SetAmplification(uint32_t amplification) override {
    // 50 is unity: 2000 * log10(amplification / 50) millibel.
    const double millibel = amplification == 0 ? -12000.0 : 2000.0 * std::log10(amplification / 50.0);
    module_->set_render_param(openmpt::module::RENDER_MASTERGAIN_MILLIBEL,
                              static_cast<int32_t>(std::lround(std::max(millibel, -12000.0))));
  }

 private:
  NullBuffer nullBuffer_;
  std::ostream log_{&nullBuffer_};
  std::unique_ptr<openmpt::module> module_;
};

}  // namespace

std::unique_ptr<MusicDecoder> OpenOggStream(const char* path, std::string* why) {
  auto stream = std::make_unique<OggStream>();
  if (!stream->Open(path, why)) return nullptr;
  return stream;
}

std::unique_ptr<MusicDecoder> OpenMp3Stream(const char* path, std::string* why) {
  auto stream = std::make_unique<Mp3Stream>();
  if (!stream->Open(path, why)) return nullptr;
  return stream;
}

std::unique_ptr<MusicDecoder> OpenModule(const std::vector<uint8_t>& bytes, std::string* why) {
  auto module = std::make_unique<ModuleDecoder>();
  if (!module->Open(bytes, why)) return nullptr;
  return module;
}

std::unique_ptr<MusicDecoder> OpenModuleFile(const char* path, std::string* why) {
  std::vector<uint8_t> bytes;
  if (!ReadSoundFile(path, &bytes, why)) return nullptr;
  return OpenModule(bytes, why);
}

}  // namespace qh
