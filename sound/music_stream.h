// The music, decoded ahead of the mixer into a ring of float stereo frames at 44100 Hz:
// a decoder thread (or the offline output, before each block) fills it, the mixer's
// output thread reads it without waiting on anything. Ogg Vorbis and MP3 streams and
// tracker modules; each loops without end, so the loop point is just the next frame.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qh {

// A source of looping stereo audio at 44100 Hz; used from one thread at a time.
class MusicDecoder {
 public:
  virtual ~MusicDecoder() = default;
  // Up to `frames` interleaved stereo frames into `out`; fewer only on a decoding error.
  virtual int32_t Read(float* out, int32_t frames) = 0;
  // Modules: play on from order `order`, row 0 (an order past the last starts at 0).
  virtual void SeekOrder(int32_t /*order*/) {}
  // Modules: 50 is unity gain.
  virtual void SetAmplification(uint32_t /*amplification*/) {}
};

// Opens a music file by its kind; nullptr and a reason when it cannot be read.
std::unique_ptr<MusicDecoder> OpenOggStream(const char* path, std::string* why);
std::unique_ptr<MusicDecoder> OpenMp3Stream(const char* path, std::string* why);
std::unique_ptr<MusicDecoder> OpenModule(const std::vector<uint8_t>& bytes, std::string* why);
std::unique_ptr<MusicDecoder> OpenModuleFile(const char* path, std::string* why);

class MusicStream {
 public:
  static constexpr int32_t kRingFrames = 16384;  // 370 ms ahead

  explicit MusicStream(std::unique_ptr<MusicDecoder> decoder);

  // Decoding side (never the mixer's thread).
  void DecodeAhead();
  // Main thread: a module restarts from `order`; what was decoded before is dropped.
  void Restart(int32_t order);
  void SetAmplification(uint32_t amplification);

  // Mixer side: adds up to `frames` frames times the gains into `out`; returns how many
  // were there (fewer when decoding has fallen behind; the rest is silence).
  int32_t MixInto(float* out, int32_t frames, float gainLeft, float gainRight);

 private:
  void DecodeAheadLocked();

  std::mutex decoding_;  // the decoder's one user at a time; never taken by the mixer
  std::unique_ptr<MusicDecoder> decoder_;
  std::vector<float> ring_;
  std::atomic<uint64_t> written_{0};  // frames ever written
  std::atomic<uint64_t> read_{0};     // frames ever read
  std::atomic<uint64_t> skipTo_{0};   // frames before this are stale (a restart)
  bool failed_ = false;
};

}  // namespace qh
