// The mixer over the offline output: where and how loud a sample lands, the global
// volumes, the playback cap, a stream's loop point, a module's orders, the final clamp.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/mixer.h"
#include "sound/mixer_audio.h"
#include "sound/offline_output.h"
#include "sound/sample_decode.h"
#include "tests/support/sound_files.h"

namespace qh {
namespace {

int16_t Pcm(float v) {
  const float s = std::fmin(std::fmax(v, -1.0f), 1.0f) * 32767.0f;
  return static_cast<int16_t>(s >= 0.0f ? s + 0.5f : s - 0.5f);
}

// What a sample holds of the decoded value `v`: samples are kept in 16 bits.
float Held(float v) { return float(QuantizeFrames({v})[0]) * kSampleStep; }

// An opened, started mixer over memory.
struct OfflineMixer {
  OfflineOutput output;
  MixerAudio audio{&output};
  OfflineMixer() {
    EXPECT_TRUE(audio.Init(-1, 44100, 32));
    audio.Start();
  }
  std::vector<int16_t>& pcm() { return output.pcm; }
};

// Constant frames: left `l`, right `r`.
std::vector<float> Flat(int frames, float l, float r) {
  std::vector<float> out;
  for (int i = 0; i < frames; ++i) out.insert(out.end(), {l, r});
  return out;
}

// Rising zero crossings per second of the left channel from `from` for `frames`.
double Frequency(const std::vector<int16_t>& pcm, size_t from, size_t frames) {
  int crossings = 0;
  for (size_t i = from + 1; i < from + frames; ++i) {
    if (pcm[2 * (i - 1)] < 0 && pcm[2 * i] >= 0) ++crossings;
  }
  return crossings * 44100.0 / double(frames);
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/qh-mixer-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string File(const char* name) const { return path + "/" + name; }
  std::string path;
};

TEST(SoundMixer, ASampleLandsWhereItWasStartedWithItsGain) {
  OfflineMixer m;
  m.audio.SetGlobalVolumes(-1, 80, -1);
  const AudioHandle sample = m.audio.SampleLoadFrames(Flat(50, 0.5f, -0.25f), 255);
  ASSERT_NE(sample, 0u);
  m.output.Render(100);
  const AudioHandle channel = m.audio.SamplePlayEx(sample, 0, 44100, 50, kAudioKeepPan, false);
  ASSERT_NE(channel, 0u);
  EXPECT_EQ(m.audio.ChannelIsActive(channel), 1u);
  m.output.Render(100);
  const auto& pcm = m.pcm();
  ASSERT_EQ(pcm.size(), 400u);
  for (int i = 0; i < 200; ++i) {
    const bool sounding = i >= 100 && i < 150;
    EXPECT_EQ(pcm[2 * i], sounding ? Pcm(Held(0.5f) * 0.5f * 0.8f) : 0) << "frame " << i;
    EXPECT_EQ(pcm[2 * i + 1], sounding ? Pcm(Held(-0.25f) * 0.5f * 0.8f) : 0) << "frame " << i;
  }
  EXPECT_EQ(m.audio.ChannelIsActive(channel), 0u);
}

TEST(SoundMixer, PanTurnsTheFarSideDown) {
  OfflineMixer m;
  const AudioHandle sample = m.audio.SampleLoadFrames(Flat(10, 0.5f, 0.5f), 255);
  m.audio.SamplePlayEx(sample, 0, 44100, 100, 100, false);  // right
  m.audio.SamplePlayEx(sample, 0, 44100, 100, -50, false);  // half left
  m.output.Render(10);
  EXPECT_EQ(m.pcm()[0], Pcm(Held(0.5f)));                     // only the second, whole
  EXPECT_EQ(m.pcm()[1], Pcm(Held(0.5f) + Held(0.5f) * 0.5f));  // the first whole, the second at half
}

TEST(SoundMixer, AFrequencyChangesThePace) {
  OfflineMixer m;
  std::vector<float> ramp;
  for (int i = 0; i < 100; ++i) ramp.insert(ramp.end(), {i / 100.0f, 0.0f});
  const AudioHandle sample = m.audio.SampleLoadFrames(ramp, 255);
  const AudioHandle channel = m.audio.SamplePlayEx(sample, 0, 88200, 100, kAudioKeepPan, false);
  m.output.Render(60);
  EXPECT_EQ(m.pcm()[2 * 10], Pcm(Held(20 / 100.0f)));
  EXPECT_EQ(m.pcm()[2 * 55], 0);  // twice as fast: over after 50 frames
  EXPECT_EQ(m.audio.ChannelIsActive(channel), 0u);
}

TEST(SoundMixer, TheSampleVolumeScalesOnlySamples) {
  TempFolder folder;
  ASSERT_TRUE(WriteOggFile(folder.File("tune.ogg"), Sine(441, 44100, 44100, 2, 0.5f), 2, 44100));
  std::vector<int16_t> runs[3];
  const int32_t volumes[3][3] = {{100, 100, 100}, {100, 40, 100}, {30, 100, 100}};
  for (int run = 0; run < 3; ++run) {
    OfflineMixer m;
    m.audio.SetGlobalVolumes(volumes[run][0], volumes[run][1], volumes[run][2]);
    const AudioHandle sample = m.audio.SampleLoadFrames(Flat(1000, 0.25f, 0.25f), 255);
    const AudioHandle stream = m.audio.StreamCreateFile(folder.File("tune.ogg").c_str(), kAudioLoop);
    ASSERT_NE(stream, 0u);
    m.audio.StreamPlay(stream, false, kAudioLoop);
    m.audio.SamplePlayEx(sample, 0, 44100, -1, kAudioKeepPan, false);
    m.output.Render(2000);
    runs[run] = m.pcm();
  }
  // Sample and stream together, then the stream alone: a lower sample volume lowers the
  // first part by exactly the sample's share; the music volume changes nothing of a stream.
  for (int i = 0; i < 2000; ++i) {
    const float streamPart = (runs[0][2 * i] - Pcm(0.25f)) / 32767.0f;
    if (i < 1000) {
      EXPECT_NEAR(runs[1][2 * i], Pcm(streamPart + 0.25f * 0.4f), 1) << i;
    } else {
      EXPECT_EQ(runs[1][2 * i], runs[0][2 * i]) << i;
    }
  }
  EXPECT_EQ(runs[2], runs[0]);
}

TEST(SoundMixer, TheStreamVolumeAndTheChannelVolumeScaleAStream) {
  TempFolder folder;
  ASSERT_TRUE(WriteOggFile(folder.File("tune.ogg"), Sine(441, 44100, 44100, 2, 0.5f), 2, 44100));
  std::vector<int16_t> runs[3];
  const int32_t streamVolume[3] = {100, 50, 100};
  const int32_t channelVolume[3] = {100, 100, 25};
  for (int run = 0; run < 3; ++run) {
    OfflineMixer m;
    m.audio.SetGlobalVolumes(10, 10, streamVolume[run]);  // music and sample volumes: no effect
    const AudioHandle stream = m.audio.StreamCreateFile(folder.File("tune.ogg").c_str(), kAudioLoop);
    m.audio.ChannelSetAttributes(stream, kAudioKeep, channelVolume[run], kAudioKeepPan);
    m.audio.StreamPlay(stream, false, kAudioLoop);
    m.output.Render(4410);
    runs[run] = m.pcm();
  }
  int16_t peak = 0;
  for (size_t i = 0; i < runs[0].size(); ++i) {
    peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(runs[0][i])));
    EXPECT_NEAR(runs[1][i], runs[0][i] * 0.5, 1.0) << i;
    EXPECT_NEAR(runs[2][i], runs[0][i] * 0.25, 1.0) << i;
  }
  EXPECT_GT(peak, 15000);  // the sine is there at about its own level
}

TEST(SoundMixer, TheMusicVolumeScalesAModuleOnly) {
  std::vector<int16_t> runs[2];
  const int32_t musicVolume[2] = {100, 50};
  for (int run = 0; run < 2; ++run) {
    OfflineMixer m;
    m.audio.SetGlobalVolumes(musicVolume[run], 10, 10);
    const AudioHandle module = m.audio.MusicLoadBytes(MakeTestXm(), "test.xm");
    ASSERT_NE(module, 0u);
    m.audio.MusicPlayEx(module, 0, kMusicPlayFlags, true);
    m.output.Render(4410);
    runs[run] = m.pcm();
  }
  int16_t peak = 0;
  for (size_t i = 0; i < runs[0].size(); ++i) {
    peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(runs[0][i])));
    EXPECT_NEAR(runs[1][i], runs[0][i] * 0.5, 1.0) << i;
  }
  EXPECT_GT(peak, 1000);
}

TEST(SoundMixer, EachSamplePlaysAtMostItsCapAtOnce) {
  OfflineMixer m;
  const AudioHandle sample = m.audio.SampleLoadFrames(Flat(100, 0.001f, 0.001f), 255);
  std::vector<AudioHandle> channels;
  for (int i = 0; i < 256; ++i) channels.push_back(m.audio.SamplePlayEx(sample, 0, 44100, -1, kAudioKeepPan, false));
  for (int i = 0; i < 255; ++i) EXPECT_NE(channels[i], 0u) << i;
  EXPECT_EQ(channels[255], 0u);  // the 256th at once is refused
  // The cap is per sample: another one still plays.
  const AudioHandle other = m.audio.SampleLoadFrames(Flat(10, 0.1f, 0.1f), 255);
  EXPECT_NE(m.audio.SamplePlayEx(other, 0, 44100, -1, kAudioKeepPan, false), 0u);
  m.output.Render(1);
  EXPECT_EQ(m.pcm()[0], Pcm(255 * Held(0.001f) + Held(0.1f)));
  // Once they have ended, the sample plays again; the old handles stay ended.
  m.output.Render(200);
  const AudioHandle again = m.audio.SamplePlayEx(sample, 0, 44100, -1, kAudioKeepPan, false);
  EXPECT_NE(again, 0u);
  EXPECT_EQ(m.audio.ChannelIsActive(channels[0]), 0u);
  EXPECT_EQ(m.audio.ChannelIsActive(again), 1u);
}

TEST(SoundMixer, ClippingHappensOnlyAtTheEnd) {
  OfflineMixer m;
  const AudioHandle up = m.audio.SampleLoadFrames(Flat(10, 0.9f, 0.9f), 255);
  const AudioHandle down = m.audio.SampleLoadFrames(Flat(10, -0.9f, -0.9f), 255);
  m.audio.SamplePlayEx(up, 0, 44100, -1, kAudioKeepPan, false);
  m.audio.SamplePlayEx(up, 0, 44100, -1, kAudioKeepPan, false);
  m.audio.SamplePlayEx(down, 0, 44100, -1, kAudioKeepPan, false);
  m.output.Render(1);
  EXPECT_EQ(m.pcm()[0], Pcm(0.9f));  // 1.8 - 0.9, not min(1.8, 1) - 0.9
  m.audio.SamplePlayEx(up, 0, 44100, -1, kAudioKeepPan, false);
  m.output.Render(1);
  EXPECT_EQ(m.pcm()[2], 32767);  // 0.9 + 0.9 + 0.9 - 0.9 = 1.8: clamped
}

TEST(SoundMixer, AStreamLoopsWithoutAGap) {
  TempFolder folder;
  // Half a second of 441 Hz: a whole number of periods, so the file joins itself smoothly.
  ASSERT_TRUE(WriteOggFile(folder.File("loop.ogg"), Sine(441, 44100, 22050, 2, 0.5f), 2, 44100));
  std::vector<float> decoded;
  std::string why;
  ASSERT_TRUE(DecodeOggSample(folder.File("loop.ogg").c_str(), &decoded, &why)) << why;
  const size_t length = decoded.size() / 2;
  ASSERT_EQ(length, 22050u);
  float fileJump = 0.0f;
  for (size_t i = 1; i < length; ++i) fileJump = std::max(fileJump, std::fabs(decoded[2 * i] - decoded[2 * (i - 1)]));
  fileJump = std::max(fileJump, std::fabs(decoded[0] - decoded[2 * (length - 1)]));  // the seam itself

  OfflineMixer m;
  const AudioHandle stream = m.audio.StreamCreateFile(folder.File("loop.ogg").c_str(), kAudioLoop);
  m.audio.StreamPlay(stream, false, kAudioLoop);
  m.output.Render(static_cast<int32_t>(length * 3));
  const auto& pcm = m.pcm();
  // Every pass is the file again, frame for frame: nothing lost or added at the loop.
  for (size_t i = 0; i < length; ++i) {
    ASSERT_EQ(pcm[2 * i], Pcm(decoded[2 * i])) << i;
    ASSERT_EQ(pcm[2 * (length + i)], pcm[2 * i]) << i;
    ASSERT_EQ(pcm[2 * (2 * length + i)], pcm[2 * i]) << i;
  }
  int maxJump = 0;
  for (size_t i = 1; i < pcm.size() / 2; ++i) maxJump = std::max(maxJump, std::abs(pcm[2 * i] - pcm[2 * (i - 1)]));
  EXPECT_LE(maxJump, static_cast<int>(fileJump * 32767.0f) + 1);
  // A stream asked to play again while it plays goes on where it was.
  m.audio.StreamPlay(stream, false, kAudioLoop);
  m.output.Render(10);
  EXPECT_EQ(pcm[2 * 3 * length], pcm[0]);
}

TEST(SoundMixer, AnMp3StreamPlaysAndLoops) {
  TempFolder folder;
  // Half a second of 441 Hz at 48000 Hz: converted to 44100 Hz as it plays.
  ASSERT_TRUE(WriteMp3File(folder.File("tune.mp3"), Sine(441, 48000, 24000, 2, 0.5f), 48000));
  OfflineMixer m;
  const AudioHandle stream = m.audio.StreamCreateFile(folder.File("tune.mp3").c_str(), kAudioLoop);
  ASSERT_NE(stream, 0u);
  m.audio.StreamPlay(stream, false, kAudioLoop);
  m.output.Render(3 * 22050);
  const auto& pcm = m.pcm();
  EXPECT_NEAR(Frequency(pcm, 1000, 60000), 441.0, 4.0);  // through two loop points
  // The loop points join without a gap: nowhere does the tone drop out for a moment.
  int quietRun = 0, longestQuietRun = 0;
  int maxJump = 0;
  for (size_t i = 2000; i < pcm.size() / 2; ++i) {
    quietRun = std::abs(pcm[2 * i]) < 200 ? quietRun + 1 : 0;
    longestQuietRun = std::max(longestQuietRun, quietRun);
    maxJump = std::max(maxJump, std::abs(pcm[2 * i] - pcm[2 * (i - 1)]));
  }
  EXPECT_LT(longestQuietRun, 10);  // a zero crossing of the sine, not a pause
  EXPECT_LT(maxJump, 3000);        // the sine's own steps are about 1030
}

TEST(SoundMixer, AFileAtAnotherRateKeepsItsPitch) {
  TempFolder folder;
  ASSERT_TRUE(WriteOggFile(folder.File("low.ogg"), Sine(441, 22050, 22050, 1, 0.5f), 1, 22050));
  OfflineMixer m;
  const AudioHandle sample = m.audio.SampleLoad(folder.File("low.ogg").c_str(), 255, 0);
  ASSERT_NE(sample, 0u);
  m.audio.SamplePlayEx(sample, 0, 44100, -1, kAudioKeepPan, false);
  m.output.Render(44100 + 1000);
  EXPECT_NEAR(Frequency(m.pcm(), 1000, 40000), 441.0, 3.0);
  EXPECT_EQ(m.pcm()[2 * 44500], 0);  // one second long, as recorded
}

TEST(SoundMixer, AModuleStartsFromTheOrderAskedFor) {
  std::vector<int16_t> runs[3];
  const uint32_t orders[3] = {0, 1, 7};  // 7 is past the last order
  for (int run = 0; run < 3; ++run) {
    OfflineMixer m;
    const AudioHandle module = m.audio.MusicLoadBytes(MakeTestXm(), "test.xm");
    m.audio.MusicSetAmplify(module, 80);
    m.audio.ChannelSetAttributes(module, kAudioKeep, 100, kAudioKeepPan);
    m.audio.MusicPlayEx(module, orders[run], kMusicPlayFlags, true);
    m.output.Render(22050);
    runs[run] = m.pcm();
  }
  const double c4 = Frequency(runs[0], 2000, 20000);
  const double c5 = Frequency(runs[1], 2000, 20000);
  // The square wave of 32 steps at C-4 (8363 Hz): about 261 Hz; C-5 an octave higher.
  EXPECT_NEAR(c4, 8363.0 / 32, 8.0);
  EXPECT_NEAR(c5 / c4, 2.0, 0.05);
  // Past the last order: from the first one, exactly.
  EXPECT_EQ(runs[2], runs[0]);
}

TEST(SoundMixer, RestartingAModuleDropsWhatWasDecodedAhead) {
  OfflineMixer m;
  const AudioHandle module = m.audio.MusicLoadBytes(MakeTestXm(), "test.xm");
  m.audio.MusicPlayEx(module, 0, kMusicPlayFlags, true);
  m.output.Render(11025);
  m.audio.MusicPlayEx(module, 1, kMusicPlayFlags, true);
  m.output.Render(22050);
  EXPECT_NEAR(Frequency(m.pcm(), 11025 + 2000, 20000), 2 * 8363.0 / 32, 16.0);
}

TEST(SoundMixer, AmplificationFiftyIsUnity) {
  std::vector<int16_t> runs[2];
  const uint32_t amplification[2] = {50, 100};
  for (int run = 0; run < 2; ++run) {
    OfflineMixer m;
    const AudioHandle module = m.audio.MusicLoadBytes(MakeTestXm(), "test.xm");
    m.audio.MusicSetAmplify(module, amplification[run]);
    m.audio.MusicPlayEx(module, 0, kMusicPlayFlags, true);
    m.output.Render(8000);
    runs[run] = m.pcm();
  }
  double a = 0, b = 0;
  for (size_t i = 0; i < runs[0].size(); ++i) {
    a += std::abs(runs[0][i]);
    b += std::abs(runs[1][i]);
  }
  EXPECT_NEAR(b / a, 2.0, 0.05);  // 100 is +6 dB
}

TEST(SoundMixer, WithoutInitNothingLoadsOrPlays) {
  OfflineOutput output;
  MixerAudio audio(&output);
  EXPECT_EQ(audio.SampleLoadFrames(Flat(10, 0.1f, 0.1f), 255), 0u);
  EXPECT_EQ(audio.StreamCreateFile("nothing.ogg", kAudioLoop), 0u);
  EXPECT_EQ(audio.SamplePlayEx(0x10000001u, 0, 44100, -1, kAudioKeepPan, false), 0u);
  EXPECT_FALSE(audio.Stop());
}

TEST(SoundMixer, UnreadableFilesAreRefused) {
  TempFolder folder;
  OfflineMixer m;
  EXPECT_EQ(m.audio.SampleLoad(folder.File("missing.ogg").c_str(), 255, 0), 0u);
  EXPECT_EQ(m.audio.MusicLoad(folder.File("missing.xm").c_str(), kAudioLoop), 0u);
  EXPECT_EQ(m.audio.MusicLoadBytes(std::vector<uint8_t>(100, 7), "junk.xm"), 0u);
  EXPECT_EQ(m.audio.StreamCreateFile(folder.File("missing.ogg").c_str(), kAudioLoop), 0u);
}

TEST(SoundMixer, FilesThatAreNoFilesOrTooLargeAreRefusedAtOnceWithTheReason) {
  // Each would have held the start-up for ever: a FIFO waits for a writer, /dev/zero never
  // ends, and a file over the bound would be read whole.
  TempFolder folder;
  ASSERT_EQ(mkfifo(folder.File("fifo").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", folder.File("zero").c_str()), 0);
  std::filesystem::create_directory(folder.File("folder"));
  {
    FILE* big = std::fopen(folder.File("big").c_str(), "wb");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(ftruncate(fileno(big), static_cast<off_t>(kMaxSoundFileBytes) + 1), 0);  // sparse
    std::fclose(big);
  }
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {{"fifo", "not a regular file"}, {"zero", "not a regular file"},
               {"folder", "a folder"},         {"big", "larger than the 256 MiB"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OfflineMixer m;
    const std::string path = folder.File(c.name);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m.audio.SampleLoad(path.c_str(), 255, 0), 0u);
    EXPECT_EQ(m.audio.MusicLoad(path.c_str(), kAudioLoop), 0u);
    EXPECT_EQ(m.audio.StreamCreateFile(path.c_str(), kAudioLoop), 0u);
    const std::string said = testing::internal::GetCapturedStderr();
    size_t lines = 0;
    for (size_t at = said.find(path); at != std::string::npos; at = said.find(path, at + 1)) ++lines;
    EXPECT_EQ(lines, 3u) << "one line for each of the three loads: " << said;
    EXPECT_NE(said.find(c.reason), std::string::npos) << said;
  }
}

// Samples are held in 16 bits: rounded to the nearest step of the output, the same both ways
// round zero, and clamped at full scale so nothing wraps round.
TEST(SoundMixer, SamplesAreHeldToTheNearestOutputStep) {
  const std::vector<int16_t> held = QuantizeFrames({0.0f, 1.0f, -1.0f, 1.5f, -7.0f, 0.5f, -0.5f,
                                                    0.4f / 32767.0f, 0.6f / 32767.0f, -0.6f / 32767.0f});
  const std::vector<int16_t> expected = {0, 32767, -32767, 32767, -32767, 16384, -16384, 0, 1, -1};
  EXPECT_EQ(held, expected);
  for (float v : {0.123456f, -0.987654f, 0.000015f}) EXPECT_LE(std::fabs(Held(v) - v), 0.5f * kSampleStep) << v;
}

TEST(SoundMixer, TheEndFadesOutWithin30Ms) {
  Mixer mixer;
  MixerSample sample;
  sample.frames = QuantizeFrames(Flat(4000, 0.5f, 0.5f));
  sample.maxPlaybacks = 1;
  mixer.StartVoice(mixer.AddSample(std::move(sample)), 1.0, 1.0f, 0.0f, false);
  std::vector<float> out(2 * 2000);
  mixer.MixFloat(out.data(), 100);
  EXPECT_FLOAT_EQ(out[0], Held(0.5f));
  mixer.BeginFadeOut();
  mixer.MixFloat(out.data(), 2000);
  EXPECT_FLOAT_EQ(out[0], Held(0.5f));
  EXPECT_LT(out[2 * 600], 0.5f * 0.6f);
  EXPECT_GT(out[2 * 600], 0.5f * 0.5f);
  EXPECT_EQ(out[2 * kFadeOutFrames], 0.0f);
  EXPECT_TRUE(mixer.FadedOut());
}

TEST(SoundMixer, FramesOfAnyLengthComeToTheWholeRun) {
  FrameSampleCounter counter;
  int64_t total = 0;
  for (int i = 0; i < 625; ++i) total += counter.Next(16);
  EXPECT_EQ(total, 441000);
  FrameSampleCounter odd;
  EXPECT_EQ(odd.Next(1), 44);
  EXPECT_EQ(odd.Next(1), 44);
  EXPECT_EQ(odd.Next(3), 132);  // 0.2 carried + 132.3: 220 in all, 44.1 x 5 rounded down
}

}  // namespace
}  // namespace qh
