// Decoding ahead against the texture manager and the recording device: the pictures the
// workers decode are handed out only when they are exactly what the loader would decode
// itself, from the file the loader would read; a broken, missing or unreadable file, or one
// in a format only SDL decodes, goes the old way with the old messages.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/message_box.h"
#include "resources/decode_ahead.h"
#include "resources/file_table.h"
#include "resources/image_decode.h"
#include "resources/textures.h"
#include "tests/support/recording_device.h"
#include "tests/support/test_data.h"

using namespace qh;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Joined(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A JPEG with detail in every channel, so that a wrong or shifted pixel shows.
Bytes Detailed(int w, int h, uint32_t seed) {
  return testdata::EncodePicture(
      w, h,
      [seed](int x, int y) {
        return 0xFF000000u | uint32_t((x * 37 + y * 11 + seed * 53) % 256) << 16 |
               uint32_t((x * 5 + y * 29 + seed * 7) % 256) << 8 | uint32_t((x * y + seed) % 256);
      },
      true);
}

Bytes Plane(size_t n) {
  Bytes plane(n);
  for (size_t i = 0; i < n; ++i) plane[i] = static_cast<uint8_t>(i * 13 + 1);
  return plane;
}

Bytes Pixels(const TextureRecord* record) {
  EXPECT_NE(record, nullptr);
  if (record == nullptr) return {};
  const Texture* t = record->texture.get();
  Bytes all;
  for (uint32_t level = 0; level < t->LevelCount(); ++level) {
    all.insert(all.end(), t->Bits(level), t->Bits(level) + size_t{t->Width(level)} * t->Height(level) * 4);
  }
  return all;
}

class DecodeAhead : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxesEnabled(false);
    Device = &device_;
    ASSERT_NE(getcwd(savedCwd_, sizeof savedCwd_), nullptr);
    char pattern[] = "/tmp/qh-ahead.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }
  void TearDown() override {
    FinishDecodeAhead();
    ReleaseAllTextures();
    ReleaseAllFiles();
    Device = nullptr;
    ASSERT_EQ(chdir(savedCwd_), 0);
    ASSERT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
  }
  static void Write(const char* name, const Bytes& bytes) {
    FILE* file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  // Bytes in the file table under a name, as a test or a fuzz target puts them there.
  static void Provide(const char* name, const Bytes& bytes) {
    auto* data = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
    std::memcpy(data, bytes.data(), bytes.size());
    data[bytes.size()] = 0;
    ASSERT_TRUE(RegisterFile(name, static_cast<int32_t>(bytes.size()), data, 1));
  }

  RecordingDevice device_;
  char savedCwd_[PATH_MAX] = {};
  std::string dir_;
};

TEST_F(DecodeAhead, TexturesMadeFromPicturesDecodedAheadAreThoseOfADirectDecode) {
  Write("_a_leaf.jpg", Joined(Detailed(37, 21, 1), Plane(37 * 21)));
  Write("rock.jpg", Detailed(64, 48, 2));
  Write("_a_back0.jpg", Joined(Detailed(100, 75, 3), Plane(100 * 75)));
  // On disk one picture, in the table another: the loader reads the table's, so must the workers.
  Write("moss.jpg", Detailed(16, 16, 4));
  const Bytes tableMoss = Detailed(16, 16, 5);
  Provide("moss.jpg", tableMoss);

  QueueTextureAhead("leaf.tga");
  QueueTextureAhead("rock.jpg");
  QueueTextureAhead("moss.jpg");
  QueuePictureAhead("_a_back0.jpg");
  QueueTextureAhead("rock.jpg");  // asked for twice, decoded once
  StartDecodeAhead();
  WaitForDecodeAhead();
  EXPECT_EQ(DecodeAheadStatistics().queued, 4);
  EXPECT_EQ(DecodeAheadStatistics().decoded, 4);

  const Bytes leaf = Pixels(GetTexture("leaf.tga"));
  const Bytes rock = Pixels(GetTexture("rock.jpg"));
  const Bytes moss = Pixels(GetTexture("moss.jpg"));
  const Bytes back = Pixels(LoadPicture("_a_back0.jpg", 100, 75));
  EXPECT_EQ(DecodeAheadStatistics().taken, 4);
  EXPECT_EQ(FindTexture("leaf.tga")->hasAlpha, 1);
  FinishDecodeAhead();

  // The same loads with nothing decoded ahead.
  ReleaseAllTextures();
  ReleaseAllFiles();
  Provide("moss.jpg", tableMoss);
  EXPECT_EQ(Pixels(GetTexture("leaf.tga")), leaf);
  EXPECT_EQ(Pixels(GetTexture("rock.jpg")), rock);
  EXPECT_EQ(Pixels(GetTexture("moss.jpg")), moss);
  EXPECT_EQ(Pixels(LoadPicture("_a_back0.jpg", 100, 75)), back);
  EXPECT_EQ(DecodeAheadStatistics().taken, 4);
}

TEST_F(DecodeAhead, LoadingWhileTheWorkersRunGivesTheSamePictures) {
  constexpr int kFiles = 12;
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    names.push_back("pic" + std::to_string(i) + ".jpg");
    Write(names.back().c_str(), Detailed(96 + i, 64, static_cast<uint32_t>(i)));
    QueueTextureAhead(names.back().c_str());
  }
  StartDecodeAhead();
  // No waiting: some are taken finished, some waited for, some decoded here.
  std::vector<Bytes> ahead;
  for (const std::string& name : names) ahead.push_back(Pixels(GetTexture(name.c_str())));
  FinishDecodeAhead();
  ReleaseAllTextures();
  ReleaseAllFiles();
  for (int i = 0; i < kFiles; ++i) EXPECT_EQ(Pixels(GetTexture(names[i].c_str())), ahead[i]) << names[i];
}

TEST_F(DecodeAhead, APictureIsHandedOutOnceAndOnlyForTheBytesThatWereDecoded) {
  const Bytes rock = Detailed(40, 30, 6);
  const Bytes stone = Detailed(20, 50, 7);
  Write("rock.jpg", rock);
  Write("stone.jpg", stone);
  QueueTextureAhead("rock.jpg");
  QueueTextureAhead("stone.jpg");
  StartDecodeAhead();
  WaitForDecodeAhead();

  DecodedPicture picture;
  Bytes changed = rock;  // the file changed after the worker read it: one bit, same size
  changed[changed.size() / 2] ^= 0x10;
  EXPECT_FALSE(TakeDecodedAhead("rock.jpg", changed.data(), changed.size(), &picture));
  EXPECT_FALSE(TakeDecodedAhead("rock.jpg", rock.data(), rock.size(), &picture));  // given up already
  EXPECT_FALSE(TakeDecodedAhead("stone.jpg", stone.data(), stone.size() - 1, &picture));
  EXPECT_FALSE(TakeDecodedAhead("never.jpg", stone.data(), stone.size(), &picture));
  EXPECT_EQ(DecodeAheadStatistics().taken, 0);

  FinishDecodeAhead();
  Write("stone.jpg", stone);
  QueueTextureAhead("stone.jpg");
  StartDecodeAhead();
  WaitForDecodeAhead();
  ASSERT_TRUE(TakeDecodedAhead("stone.jpg", stone.data(), stone.size(), &picture));
  DecodedPicture direct;
  ASSERT_TRUE(DecodePicture(stone.data(), stone.size(), &direct));
  EXPECT_EQ(picture.width, direct.width);
  EXPECT_EQ(picture.height, direct.height);
  EXPECT_EQ(picture.hasAlpha, direct.hasAlpha);
  EXPECT_EQ(picture.pixels, direct.pixels);
  EXPECT_FALSE(TakeDecodedAhead("stone.jpg", stone.data(), stone.size(), &picture));
  FinishDecodeAhead();
  EXPECT_FALSE(TakeDecodedAhead("stone.jpg", stone.data(), stone.size(), &picture));
}

TEST_F(DecodeAhead, ABrokenPictureStillEndsTheProgramWithTheLoadersMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the workers are threads
  const Bytes whole = Detailed(64, 64, 9);
  const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 6 / 10));
  Write("cut.jpg", cut);
  Write("_a_back3.jpg", cut);
  QueueTextureAhead("cut.jpg");
  QueuePictureAhead("_a_back3.jpg");
  StartDecodeAhead();
  WaitForDecodeAhead();
  EXPECT_EQ(DecodeAheadStatistics().decoded, 0);
  EXPECT_EXIT(GetTexture("cut.jpg"), ::testing::ExitedWithCode(1),
              "cut\\.jpg: the JPEG data ends before the picture's last row(.|\n)*Loading error: Couldn't load texture: cut\\.jpg");
  // A broken background is no picture, as before.
  EXPECT_EQ(LoadPicture("_a_back3.jpg", 64, 64), nullptr);
  EXPECT_EQ(TextureManager.count, 0);
}

TEST_F(DecodeAhead, MissingFilesPipesAndOtherFormatsAreLeftToTheLoader) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A pipe in a picture's place is a missing file, never a wait for a writer.
  ASSERT_EQ(mkfifo("_a_back1.jpg", 0600), 0);
  ASSERT_EQ(mkfifo("_a_pipe.jpg", 0600), 0);
  // Its .tga request falls back to the TGA file, which only SDL decodes: on the main thread.
  Write("pipe.tga", testdata::SolidTga(4, 2, 0x80FF8000));
  QueueTextureAhead("absent.jpg");
  QueuePictureAhead("_a_back1.jpg");
  QueueTextureAhead("pipe.tga");
  StartDecodeAhead();
  WaitForDecodeAhead();
  EXPECT_EQ(DecodeAheadStatistics().decoded, 0);

  EXPECT_EQ(LoadPicture("_a_back1.jpg", 8, 8), nullptr);
  const TextureRecord* pipe = GetTexture("pipe.tga");
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(pipe->width, 4);
  EXPECT_EQ(Pixels(pipe)[0], 0x00);  // blue
  EXPECT_EQ(Pixels(pipe)[2], 0xFF);  // red
  EXPECT_EQ(Pixels(pipe)[3], 0x80);  // its own alpha
  EXPECT_EQ(DecodeAheadStatistics().taken, 0);
  EXPECT_EXIT(GetTexture("absent.jpg"), ::testing::ExitedWithCode(1),
              "absent\\.jpg: the file is missing or cannot be read(.|\n)*Couldn't load texture: absent\\.jpg");
}

}  // namespace
