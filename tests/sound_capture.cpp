// The capture tool's sound, end to end: the brook scene's WAV over ten seconds holds the
// brook recording starting every 3.1 s, two runs give the same bytes, and with music and
// nature sounds off the file is silent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sound/sample_decode.h"

namespace {

class SoundCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qh-sound-capture-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    work_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(work_); }

  // The user's settings: scene `scene`, volume 80, music and nature sounds as given.
  void UseSettings(int scene, int musicOn, int natureSounds) {
    std::filesystem::create_directories(work_ + "/config/quiet-highland");
    char hex[128];
    std::snprintf(hex, sizeof hex,
                  "00,00,00,00,50,00,00,00,00,01,00,00,%02x,00,00,00,%02x,%02x,00,00", scene, musicOn, natureSounds);
    std::ofstream(work_ + "/config/quiet-highland/registry.reg")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\n\"settings\"=hex:"
        << hex << "\n";
  }

  // Runs the capture tool; the WAV's samples (interleaved 16-bit stereo).
  std::vector<int16_t> Capture(const std::string& name, int frames, std::vector<uint8_t>* bytes = nullptr) {
    const std::string wav = work_ + "/" + name;
    const std::string command = "cd '" + work_ + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_AUDIODRIVER XDG_CONFIG_HOME='" +
                                work_ + "/config' XDG_CONFIG_DIRS='" + work_ + "/none' '" QH_CAPTURE_TOOL "' --frames " +
                                std::to_string(frames) + " --dt 16 --start 1000 --time 12:00:00 --wav '" + wav + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(wav, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GE(file.size(), 44u);
    if (bytes != nullptr) *bytes = file;
    std::vector<int16_t> pcm((file.size() - 44) / 2);
    for (size_t i = 0; i < pcm.size(); ++i) {
      pcm[i] = static_cast<int16_t>(file[44 + 2 * i] | (file[45 + 2 * i] << 8));
    }
    return pcm;
  }

  std::string work_;
};

int16_t Pcm(float v) {
  const float s = std::fmin(std::fmax(v, -1.0f), 1.0f) * 32767.0f;
  return static_cast<int16_t>(s >= 0.0f ? s + 0.5f : s - 0.5f);
}

TEST_F(SoundCapture, TheBrookStartsEvery3100Ms) {
  UseSettings(1, 0, 1);
  const std::vector<int16_t> pcm = Capture("brook.wav", 625);
  ASSERT_EQ(pcm.size(), 441000u * 2);  // 10 s at 44100 Hz

  std::vector<float> brook;
  std::string why;
  ASSERT_TRUE(qh::DecodeOggSample(QH_CONTENT_DIR "/Data/Sounds/brook.ogg", &brook, &why)) << why;
  // Past the previous recording's tail only one recording sounds: there the output is the
  // recording at the settings' volume (80), sample for sample.
  const size_t probe = 8820;  // 200 ms into a recording
  const size_t probeLength = 256;
  ASSERT_GT(brook.size() / 2, probe + probeLength);
  std::vector<int16_t> expected(probeLength);
  for (size_t k = 0; k < probeLength; ++k) expected[k] = Pcm(brook[2 * (probe + k)] * 0.8f);

  std::vector<double> startsMs;
  const size_t frames = pcm.size() / 2;
  for (size_t start = 0; start + probe + probeLength <= frames; ++start) {
    size_t k = 0;
    while (k < probeLength && std::abs(pcm[2 * (start + probe + k)] - expected[k]) <= 1) ++k;
    if (k == probeLength) startsMs.push_back(start * 1000.0 / 44100.0);
  }
  ASSERT_EQ(startsMs.size(), 4u) << "brook recordings found: " << startsMs.size();
  const double due[4] = {0, 3100, 6200, 9300};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(startsMs[i], due[i], 16.0) << "recording " << i;
}

TEST_F(SoundCapture, TwoRunsGiveTheSameBytes) {
  UseSettings(0, 1, 1);  // the lake: music and birds
  std::vector<uint8_t> a, b;
  const std::vector<int16_t> pcm = Capture("a.wav", 120, &a);
  Capture("b.wav", 120, &b);
  EXPECT_TRUE(a == b);
  int peak = 0;
  for (int16_t v : pcm) peak = std::max(peak, std::abs(int(v)));
  EXPECT_GT(peak, 3000);  // and there is something to hear
}

TEST_F(SoundCapture, MusicAndNatureSoundsOffAreSilence) {
  UseSettings(1, 0, 0);
  const std::vector<int16_t> pcm = Capture("quiet.wav", 60);
  ASSERT_EQ(pcm.size(), 42336u * 2);  // 60 frames of 16 ms
  for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(pcm[i], 0) << "sample " << i;
}

}  // namespace
