// The music ring: one writer (the decoding side), one reader (the mixer), positions as
// ever-growing frame counts so that "how much is there" is one subtraction.
#include "sound/music_stream.h"

#include <algorithm>

namespace qh {

MusicStream::MusicStream(std::unique_ptr<MusicDecoder> decoder)
    : decoder_(std::move(decoder)), ring_(size_t{kRingFrames} * 2, 0.0f) {}

void MusicStream::DecodeAhead() {
  std::lock_guard<std::mutex> hold(decoding_);
  DecodeAheadLocked();
}

void MusicStream::DecodeAheadLocked() {
  if (failed_) return;
  // Only frames the mixer has passed may be overwritten, stale ones included: it may be
  // reading them this very moment.
  const uint64_t read = read_.load(std::memory_order_acquire);
  uint64_t written = written_.load(std::memory_order_relaxed);
  while (written - read < kRingFrames) {
    const int32_t at = static_cast<int32_t>(written % kRingFrames);
    const int32_t room = static_cast<int32_t>(std::min<uint64_t>(kRingFrames - (written - read), kRingFrames - at));
    const int32_t got = decoder_->Read(&ring_[size_t(at) * 2], room);
    if (got <= 0) {
      failed_ = true;  // a broken file: the music stops, nothing else does
      break;
    }
    written += static_cast<uint64_t>(got);
    written_.store(written, std::memory_order_release);
  }
}

void MusicStream::Restart(int32_t order) {
  std::lock_guard<std::mutex> hold(decoding_);
  decoder_->SeekOrder(order);
  // Everything decoded so far belongs to the old position.
  skipTo_.store(written_.load(std::memory_order_relaxed), std::memory_order_release);
  DecodeAheadLocked();
}

void MusicStream::SetAmplification(uint32_t amplification) {
  std::lock_guard<std::mutex> hold(decoding_);
  decoder_->SetAmplification(amplification);
}

int32_t MusicStream::MixInto(float* out, int32_t frames, float gainLeft, float gainRight) {
  uint64_t read = read_.load(std::memory_order_relaxed);
  const uint64_t skip = skipTo_.load(std::memory_order_acquire);
  if (skip > read) read = skip;
  const uint64_t written = written_.load(std::memory_order_acquire);
  const int32_t n = static_cast<int32_t>(std::min<uint64_t>(written - read, uint64_t(frames)));
  for (int32_t i = 0; i < n; ++i) {
    const size_t at = size_t((read + uint64_t(i)) % kRingFrames) * 2;
    out[2 * i] += ring_[at] * gainLeft;
    out[2 * i + 1] += ring_[at + 1] * gainRight;
  }
  read_.store(read + uint64_t(n), std::memory_order_release);
  return n;
}

}  // namespace qh
