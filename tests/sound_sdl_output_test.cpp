// The SDL output on SDL's dummy driver (no sound card needed): the device thread really
// mixes, so playbacks end on their own; the end fades out and returns promptly; without a
// usable driver the output refuses to open.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "sound/mixer_audio.h"
#include "sound/sdl_output.h"

namespace qh {
namespace {

class SdlOutputTest : public ::testing::Test {
 protected:
  void UseDriver(const char* driver) {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    hadDriver_ = old != nullptr;
    if (hadDriver_) oldDriver_ = old;
    setenv("SDL_AUDIODRIVER", driver, 1);
  }
  void TearDown() override {
    if (hadDriver_) {
      setenv("SDL_AUDIODRIVER", oldDriver_.c_str(), 1);
    } else {
      unsetenv("SDL_AUDIODRIVER");
    }
  }
  bool hadDriver_ = false;
  std::string oldDriver_;
};

TEST_F(SdlOutputTest, TheDeviceMixesByItself) {
  UseDriver("dummy");
  SdlAudioOutput output;
  MixerAudio audio(&output);
  ASSERT_TRUE(audio.Init(-1, 44100, 32));
  EXPECT_FALSE(audio.Init(-1, 44100, 32));  // once only
  ASSERT_TRUE(audio.Start());
  std::vector<float> tenthOfASecond(2 * 4410, 0.25f);
  const AudioHandle sample = audio.SampleLoadFrames(tenthOfASecond, 255);
  const AudioHandle channel = audio.SamplePlayEx(sample, 0, 44100, -1, kAudioKeepPan, false);
  ASSERT_NE(channel, 0u);
  EXPECT_EQ(audio.ChannelIsActive(channel), 1u);
  // The dummy device consumes sound in real time: the playback is over well within 3 s.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (audio.ChannelIsActive(channel) == 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(audio.ChannelIsActive(channel), 0u);
  const auto stopAt = std::chrono::steady_clock::now();
  EXPECT_TRUE(audio.Stop());
  audio.Free();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(500));
  EXPECT_EQ(audio.SamplePlayEx(sample, 0, 44100, -1, kAudioKeepPan, false), 0u);  // freed
}

TEST_F(SdlOutputTest, NoUsableDriverMeansNoSound) {
  UseDriver("no-such-driver");
  SdlAudioOutput output;
  MixerAudio audio(&output);
  EXPECT_FALSE(audio.Init(-1, 44100, 32));
  EXPECT_FALSE(audio.Start());
  EXPECT_EQ(audio.SampleLoadFrames(std::vector<float>(20, 0.1f), 255), 0u);
}

}  // namespace
}  // namespace qh
