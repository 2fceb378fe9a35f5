// The audio engine and the nature sounds against the recording audio interface: which
// calls, with which arguments, in which order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/frame_timing.h"
#include "core/math.h"
#include "resources/settings.h"
#include "scene/level.h"
#include "sound/ambient.h"
#include "sound/audio_engine.h"
#include "tests/support/recording_audio.h"

namespace qh {
namespace {

using Calls = std::vector<std::string>;

class SoundEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAudioEngine();
    ResetAmbientSounds();
    SetDefaultSettings(&Settings);
    SetDefaultSettingsEx(&SettingsEx);
    MusicVolume = SampleVolume = Settings.volume;
    std::snprintf(musicName, sizeof musicName, "%s", "music.ogg");
    sceneCursor = 0;
    FrameDeltaMs = 0.0f;
    RawFrameDeltaMs = 0;
    InstallAudio(&audio);
    oldDirectory_ = std::filesystem::current_path();
    char pattern[] = "/tmp/qh-sound-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dataDirectory_ = pattern;
    std::filesystem::current_path(dataDirectory_);
  }
  void TearDown() override {
    InstallAudio(nullptr);
    ResetAudioEngine();
    std::filesystem::current_path(oldDirectory_);
    std::filesystem::remove_all(dataDirectory_);
  }
  static void Touch(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path().empty()
                                            ? std::filesystem::path(".")
                                            : std::filesystem::path(path).parent_path());
    std::ofstream(path) << "x";
  }
  // The usual installation: three birds, a brook and a waterfall.
  void LoadNatureSounds() {
    for (const char* name : {"waterfall.ogg", "brook.ogg", "birds2.ogg", "birds1.ogg", "birds3.ogg"}) {
      Touch(std::string("Sounds/") + name);
    }
    LoadSoundsAndMusic();
    audio.Forget();
  }
  // One frame of the engine as the frame object runs it, after a step of `ms`.
  void Frame(uint32_t ms) {
    RawFrameDeltaMs = ms;
    FrameDeltaMs = static_cast<float>(ms);
    UpdateAmbientSounds();
    UpdateAudio();
  }
  AudioHandle HandleOf(const char* name) {
    for (int32_t i = 0; i < SampleTable.count; ++i) {
      if (std::string(SampleTable.slots[i].name) == name) return SampleTable.slots[i].handle;
    }
    return 0;
  }
  std::string PlayOf(const char* name) {
    return "SamplePlayEx(" + std::to_string(HandleOf(name)) + ",0,44100,-1,-101,0)";
  }

  RecordingAudio audio;
  std::filesystem::path oldDirectory_, dataDirectory_;
};

TEST(MusicName, ExtensionsDecideStreamOrModule) {
  EXPECT_FALSE(IsModuleName("music.ogg"));
  EXPECT_FALSE(IsModuleName("song.MP3"));
  EXPECT_TRUE(IsModuleName("Music.XM"));
  EXPECT_TRUE(IsModuleName("tune.mo3"));
  EXPECT_TRUE(IsModuleName("tune.It"));
  // ".it" is tested last, so it decides even before a stream's extension.
  EXPECT_TRUE(IsModuleName("theme.it.mp3"));
  // The order of the tests decides, not where the extensions stand in the name.
  EXPECT_TRUE(IsModuleName("a.xm.ogg"));
  EXPECT_TRUE(IsModuleName("a.ogg.xm"));
  // An extension at the very start does not count.
  EXPECT_FALSE(IsModuleName(".xm"));
  EXPECT_FALSE(IsModuleName(".it"));
  EXPECT_TRUE(IsModuleName("x.it"));
  // None of the five: a stream.
  EXPECT_FALSE(IsModuleName("music.flac"));
  EXPECT_FALSE(IsModuleName(""));
  // Only the first occurrence is looked at: one at the start hides a later one.
  EXPECT_FALSE(IsModuleName(".xm.xm"));
}

TEST_F(SoundEngineTest, StartAudioOpensTheOutputAndSetsTheVolumes) {
  MusicVolume = SampleVolume = 42;
  SoundRequestRing.slots[7].state = kRequestPlaying;
  SoundRequestRing.slots[7].sample = 9;
  EXPECT_TRUE(StartAudio());
  EXPECT_EQ(audio.calls, (Calls{"Init(-1,44100,32)", "Start()", "SetGlobalVolumes(42,42,-1)"}));
  EXPECT_EQ(SoundRequestRing.slots[7].state, kRequestFree);
  EXPECT_EQ(SoundRequestRing.slots[7].sample, 0u);
}

TEST_F(SoundEngineTest, StartAudioFailsWithoutAnOutput) {
  audio.initSucceeds = false;
  EXPECT_FALSE(StartAudio());
  EXPECT_EQ(audio.calls, (Calls{"Init(-1,44100,32)"}));
  InstallAudio(nullptr);
  EXPECT_FALSE(StartAudio());
  // Without any audio the rest of the engine goes on quietly.
  LoadSoundsAndMusic();
  StartMusic(3);
  PlaySound("brook.ogg");
  UpdateAudio();
  StopAudio();
}

TEST_F(SoundEngineTest, SamplesLoadInNameOrderFromSounds) {
  for (const char* name : {"b.ogg", "a.ogg", "C.ogg", "notes.txt", "x.OGG", "a_sample_name_longer_than_thirty_one_bytes.ogg"}) {
    Touch(std::string("Sounds/") + name);
  }
  Touch("stray.ogg");  // in the data folder, not in Sounds
  LoadSoundsAndMusic();
  EXPECT_EQ(audio.CallsTo("SampleLoad"),
            (Calls{"SampleLoad(Sounds/C.ogg,255,0)", "SampleLoad(Sounds/a.ogg,255,0)",
                   "SampleLoad(Sounds/a_sample_name_longer_than_thirty_one_bytes.ogg,255,0)",
                   "SampleLoad(Sounds/b.ogg,255,0)", "SampleLoad(Sounds/x.OGG,255,0)"}));
  ASSERT_EQ(SampleTable.count, 5);
  // The long name is kept whole, so it can be played by its name.
  EXPECT_STREQ(SampleTable.slots[2].name, "a_sample_name_longer_than_thirty_one_bytes.ogg");
  audio.Forget();
  PlaySound("a_sample_name_longer_than_thirty_one_bytes.ogg");
  UpdateAudio();
  EXPECT_EQ(audio.CallsTo("SamplePlayEx"), (Calls{PlayOf("a_sample_name_longer_than_thirty_one_bytes.ogg")}));
}

TEST_F(SoundEngineTest, WithoutASoundsFolderTheDataFolderIsSearched) {
  Touch("here.ogg");
  LoadSoundsAndMusic();
  EXPECT_EQ(audio.CallsTo("SampleLoad"), (Calls{"SampleLoad(here.ogg,255,0)"}));
}

TEST_F(SoundEngineTest, AnEmptySoundsFolderLoadsNothingAndPlaysNothing) {
  std::filesystem::create_directory("Sounds");
  Touch("outside.ogg");
  LoadSoundsAndMusic();
  EXPECT_TRUE(audio.CallsTo("SampleLoad").empty());
  EXPECT_EQ(SampleTable.count, 0);
  PlaySound("outside.ogg");
  UpdateAudio();
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
}

TEST_F(SoundEngineTest, AtMost256SamplesAreLoaded) {
  for (int i = 0; i < 260; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Sounds/s%03d.ogg", i);
    Touch(name);
  }
  LoadSoundsAndMusic();
  EXPECT_EQ(SampleTable.count, 256);
  EXPECT_EQ(audio.CallsTo("SampleLoad").size(), 256u);
  EXPECT_STREQ(SampleTable.slots[255].name, "s255.ogg");
}

TEST_F(SoundEngineTest, AnUnloadableSampleKeepsItsSlot) {
  Touch("Sounds/bad.ogg");
  Touch("Sounds/good.ogg");
  audio.unloadable.insert("Sounds/bad.ogg");
  LoadSoundsAndMusic();
  ASSERT_EQ(SampleTable.count, 2);
  EXPECT_EQ(SampleTable.slots[0].handle, 0u);
  EXPECT_NE(SampleTable.slots[1].handle, 0u);
}

TEST_F(SoundEngineTest, AStreamIsOpenedAndPlayedEveryFrameWithTheMusicOn) {
  LoadSoundsAndMusic();
  EXPECT_EQ(audio.calls, (Calls{"StreamCreateFile(music.ogg,4)"}));
  EXPECT_FALSE(Music.musicIsModule);
  audio.Forget();
  StartMusic(0);  // a stream is not started here
  EXPECT_TRUE(audio.calls.empty());
  MusicVolume = 63;
  UpdateAudio();
  UpdateAudio();
  EXPECT_EQ(audio.calls, (Calls{"ChannelSetAttributes(500,-1,63,-101)", "StreamPlay(500,0,4)",
                                "ChannelSetAttributes(500,-1,63,-101)", "StreamPlay(500,0,4)"}));
}

TEST_F(SoundEngineTest, WithTheMusicOffAStreamStaysSilentToo) {
  Settings.musicOn = 0;
  LoadSoundsAndMusic();
  audio.Forget();
  UpdateAudio();
  EXPECT_TRUE(audio.calls.empty());
}

TEST_F(SoundEngineTest, AModuleIsAmplifiedAndStartedFromTheOrderOnce) {
  std::snprintf(musicName, sizeof musicName, "%s", "Music.XM");
  LoadSoundsAndMusic();
  EXPECT_EQ(audio.calls, (Calls{"MusicLoad(Music.XM,4)", "MusicSetAmplify(600,80)"}));
  EXPECT_TRUE(Music.musicIsModule);
  audio.Forget();
  StartMusic(3);
  EXPECT_EQ(audio.calls, (Calls{"ChannelSetAttributes(600,-1,100,-101)", "MusicPlayEx(600,3,534,1)"}));
  audio.Forget();
  StartMusic(3);  // already running from there: not restarted
  EXPECT_TRUE(audio.calls.empty());
  StartMusic(1);
  EXPECT_EQ(audio.CallsTo("MusicPlayEx"), (Calls{"MusicPlayEx(600,1,534,1)"}));
  // A module is never touched by the frame.
  audio.Forget();
  UpdateAudio();
  EXPECT_TRUE(audio.calls.empty());
}

TEST_F(SoundEngineTest, ThemeItMp3IsAModule) {
  std::snprintf(musicName, sizeof musicName, "%s", "theme.it.mp3");
  LoadSoundsAndMusic();
  EXPECT_EQ(audio.CallsTo("MusicLoad"), (Calls{"MusicLoad(theme.it.mp3,4)"}));
}

TEST_F(SoundEngineTest, ANameStartingWithTheExtensionIsAStream) {
  std::snprintf(musicName, sizeof musicName, "%s", ".xm");
  LoadSoundsAndMusic();
  EXPECT_EQ(audio.calls, (Calls{"StreamCreateFile(.xm,4)"}));
}

TEST_F(SoundEngineTest, AMusicFileThatCannotBeOpenedLeavesHandleZero) {
  std::snprintf(musicName, sizeof musicName, "%s", "gone.it");
  audio.unloadable.insert("gone.it");
  LoadSoundsAndMusic();
  EXPECT_EQ(Music.MusicHandle, 0u);
  EXPECT_EQ(audio.CallsTo("MusicSetAmplify"), (Calls{"MusicSetAmplify(0,80)"}));
}

TEST_F(SoundEngineTest, TwoRequestsInOneFrameStartOnePlayback) {
  LoadNatureSounds();
  PlaySound("brook.ogg");
  PlaySound("brook.ogg");
  EXPECT_EQ(SoundRequestRing.cursor, 1);
  Settings.musicOn = 0;
  UpdateAudio();
  EXPECT_EQ(audio.calls, (Calls{PlayOf("brook.ogg")}));
  EXPECT_EQ(SoundRequestRing.slots[0].state, kRequestPlaying);
  EXPECT_EQ(SoundRequestRing.slots[0].channel, 1000u);
}

TEST_F(SoundEngineTest, TheCooldownRunsDownWithFrameTime) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  PlaySound("brook.ogg");
  FrameDeltaMs = 4.0f;
  UpdateAudio();  // cooldown 5 -> 1
  PlaySound("brook.ogg");
  EXPECT_EQ(SoundRequestRing.cursor, 1);  // refused
  UpdateAudio();  // 1 -> -3
  PlaySound("brook.ogg");
  EXPECT_EQ(SoundRequestRing.cursor, 2);
}

TEST_F(SoundEngineTest, NamesMatchExactly) {
  LoadNatureSounds();
  PlaySound("Brook.ogg");
  PlaySound("brook");
  PlaySound("nothing.ogg");
  EXPECT_EQ(SoundRequestRing.cursor, 0);
  Settings.musicOn = 0;
  UpdateAudio();
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
}

TEST_F(SoundEngineTest, FinishedPlaybacksFreeTheirSlot) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  PlaySound("brook.ogg");
  UpdateAudio();
  audio.Forget();
  UpdateAudio();
  EXPECT_EQ(audio.calls, (Calls{"ChannelIsActive(1000)"}));
  EXPECT_EQ(SoundRequestRing.slots[0].state, kRequestPlaying);
  audio.channelActive[1000] = 0;
  UpdateAudio();
  EXPECT_EQ(SoundRequestRing.slots[0].state, kRequestFree);
  audio.Forget();
  UpdateAudio();
  EXPECT_TRUE(audio.calls.empty());
}

TEST_F(SoundEngineTest, The257thRequestOverwritesTheFirstSlot) {
  for (int i = 0; i < 257; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Sounds/s%03d.ogg", i % 200);
    Touch(name);
  }
  LoadSoundsAndMusic();
  for (int i = 0; i < 257; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "s%03d.ogg", i < 200 ? i : i - 200);
    if (i >= 200) SampleTable.slots[i - 200].cooldown = 0.0f;  // a second round of the same samples
    PlaySound(name);
  }
  EXPECT_EQ(SoundRequestRing.cursor, 1);
  EXPECT_EQ(SoundRequestRing.slots[0].sample, HandleOf("s056.ogg"));
  EXPECT_EQ(SoundRequestRing.slots[1].sample, HandleOf("s001.ogg"));
  audio.Forget();
  Settings.musicOn = 0;
  UpdateAudio();
  EXPECT_EQ(audio.CallsTo("SamplePlayEx").size(), 256u);
  EXPECT_EQ(audio.CallsTo("SamplePlayEx")[0], PlayOf("s056.ogg"));
}

TEST_F(SoundEngineTest, StopAudioStopsThenFrees) {
  StopAudio();
  EXPECT_EQ(audio.calls, (Calls{"Stop()", "Free()"}));
}

// --- The nature sounds ---

TEST_F(SoundEngineTest, NatureSoundsOffPlayNothingAndHoldTheTimer) {
  LoadNatureSounds();
  Settings.natureSounds = 0;
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBrook;
  for (int i = 0; i < 400; ++i) Frame(i == 0 ? 0 : 16);
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
  EXPECT_EQ(Ambient.AmbientTimer, 0);
}

TEST_F(SoundEngineTest, TheStartOfTheRunPlaysOneBirdNotOnePerZeroStep) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBirds;
  Frame(0);
  Frame(0);
  Frame(16);  // the timer is still 0 when this frame starts
  EXPECT_EQ(audio.CallsTo("SamplePlayEx"), (Calls{PlayOf("birds1.ogg")}));
}

TEST_F(SoundEngineTest, TheFirstFramePlaysOnceEvenWithZeroSteps) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientWaterfall;
  Frame(0);
  Frame(0);
  Frame(0);
  EXPECT_EQ(audio.CallsTo("SamplePlayEx"), (Calls{PlayOf("waterfall.ogg")}));
  EXPECT_EQ(Ambient.AmbientTimer, 0);
}

TEST_F(SoundEngineTest, ABrookAt16MsFramesPlaysAtEveryPeriod) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBrook;
  std::vector<int32_t> requestedAt;  // timer value before the frame that requested
  for (int frame = 0; frame < 700; ++frame) {
    const int32_t before = Ambient.AmbientTimer;
    const size_t plays = audio.CallsTo("SamplePlayEx").size();
    Frame(frame == 0 ? 0 : 16);
    if (audio.CallsTo("SamplePlayEx").size() > plays) requestedAt.push_back(before);
  }
  // The frames that carry the timer across 3100, 6200, 9300: 3088 -> 3104 and so on.
  EXPECT_EQ(requestedAt, (std::vector<int32_t>{0, 3088, 6192, 9296}));
}

TEST_F(SoundEngineTest, ALongStepOverABoundaryFromTheFirstHalfPlaysNothing) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBrook;
  Frame(0);  // timer 0: the first sound
  audio.Forget();
  Frame(1000);  // 0 -> 1000
  Frame(2500);  // 1000 (first half) -> 3500: past the boundary at 3100, not played
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
  Frame(1500);  // 3500 -> 5000: 400 -> 1900 in the period, no boundary
  Frame(1300);  // 5000 (second half) -> 6300: across 6200, played
  EXPECT_EQ(audio.CallsTo("SamplePlayEx").size(), 1u);
}

TEST_F(SoundEngineTest, BirdsFollowTheCounterAndNeverRepeat) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBirds;
  SeedSceneRandom(12345);
  const std::string birds[3] = {PlayOf("birds1.ogg"), PlayOf("birds2.ogg"), PlayOf("birds3.ogg")};
  std::vector<int> played;
  Frame(0);
  for (int i = 0; i < 40; ++i) {
    Frame(3100);  // into the second half
    Frame(3100);  // across the boundary
  }
  bool sawTwo = false, sawThree = false;
  for (const std::string& call : audio.CallsTo("SamplePlayEx")) {
    int which = -1;
    for (int b = 0; b < 3; ++b) {
      if (call == birds[b]) which = b + 1;
    }
    ASSERT_NE(which, -1) << call;
    played.push_back(which);
  }
  ASSERT_EQ(played.size(), 41u);
  EXPECT_EQ(played[0], 1);
  for (size_t i = 1; i < played.size(); ++i) {
    EXPECT_NE(played[i], played[i - 1]) << "at " << i;
    const int step = (played[i] - played[i - 1] + 3) % 3;
    if (step == 1) sawTwo = true;  // the counter grew by 1
    if (step == 2) sawThree = true;  // ... or by 2
  }
  EXPECT_TRUE(sawTwo && sawThree);
}

TEST_F(SoundEngineTest, KindZeroIsSilentButTheTimerRuns) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientNone;
  SettingsEx.ambientKind[1] = 7;  // not a kind
  Frame(0);
  for (int i = 0; i < 100; ++i) Frame(100);
  sceneCursor = 1;
  for (int i = 0; i < 100; ++i) Frame(100);
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
  EXPECT_EQ(Ambient.AmbientTimer, 20000);
}

TEST_F(SoundEngineTest, TheIncomingScenesKindAppliesAtItsNextBoundary) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBrook;
  SettingsEx.ambientKind[1] = kAmbientWaterfall;
  Frame(0);
  Frame(2000);
  sceneCursor = 1;
  audio.Forget();
  Frame(500);  // 2000 -> 2500: waterfall's second half begins at 1500, no boundary yet
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
  Frame(600);  // 2500 -> 3100: past 3000
  EXPECT_EQ(audio.CallsTo("SamplePlayEx"), (Calls{PlayOf("waterfall.ogg")}));
  // Beyond the eighth scene there is no kind: silence.
  sceneCursor = 9;
  audio.Forget();
  for (int i = 0; i < 100; ++i) Frame(100);
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
}

TEST_F(SoundEngineTest, TheTimerFoldsBeforeItOverflowsAndKeepsItsRhythm) {
  LoadNatureSounds();
  Settings.musicOn = 0;
  SettingsEx.ambientKind[0] = kAmbientBrook;
  Ambient.AmbientTimer = 1999999050;  // mod 3100 = 3050: the second half
  Frame(1000);                        // across 1999999100, and past 2000000000: folded
  EXPECT_EQ(Ambient.AmbientTimer, 140000050);
  EXPECT_EQ(audio.CallsTo("SamplePlayEx"), (Calls{PlayOf("brook.ogg")}));
  audio.Forget();
  Frame(1000);  // 140000050 mod 3100 = 950, so this step (to 1950) crosses no boundary...
  EXPECT_TRUE(audio.CallsTo("SamplePlayEx").empty());
  Frame(1300);  // ...and this one (1950 -> 3250) does
  EXPECT_EQ(audio.CallsTo("SamplePlayEx").size(), 1u);
}

}  // namespace
}  // namespace qh
