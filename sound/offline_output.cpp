// Rendering the mix into memory, a block at a time, decoding the music just before it.
#include "sound/offline_output.h"

#include <algorithm>

#include "sound/mixer.h"

namespace qh {

bool OfflineOutput::Open(Mixer* mixer) {
  mixer_ = mixer;
  running_ = false;
  return true;
}

void OfflineOutput::Close() {
  mixer_ = nullptr;
  running_ = false;
}

void OfflineOutput::Render(int32_t frames) {
  const size_t at = pcm.size();
  pcm.resize(at + size_t(std::max(frames, 0)) * 2, 0);
  if (mixer_ == nullptr || !running_) return;
  int16_t* out = pcm.data() + at;
  while (frames > 0) {
    const int32_t block = std::min(frames, kMixBlockFrames);
    mixer_->DecodeAhead();  // in step with the mix: nothing can run short
    mixer_->Mix(out, block);
    out += 2 * block;
    frames -= block;
  }
}

int32_t FrameSampleCounter::Next(uint32_t dtMs) {
  carried_ += uint64_t{dtMs} * 44100;  // thousandths of a sample frame
  const uint64_t whole = carried_ / 1000;
  carried_ -= whole * 1000;
  return static_cast<int32_t>(whole);
}

}  // namespace qh
