// The texture manager against the recording device, with pictures made in memory and
// handed to the file table: the alpha-plane path and its fallback, shared records,
// power-of-two backgrounds, the 1023-record limit, release order, and bad input.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/fatal.h"
#include "host/message_box.h"
#include "tests/support/recording_device.h"
#include "tests/support/test_data.h"
#include "resources/file_table.h"
#include "resources/image_decode.h"
#include "resources/textures.h"

using namespace qh;

namespace {

using Bytes = std::vector<uint8_t>;
using testdata::PixelFunction;  // 0xAARRGGBB

Bytes Encode(int w, int h, const PixelFunction& pixel, bool jpeg) { return testdata::EncodePicture(w, h, pixel, jpeg); }

Bytes Jpeg(int w, int h, uint32_t argb) { return Encode(w, h, [=](int, int) { return argb; }, true); }

Bytes Tga(int w, int h, const PixelFunction& pixel) { return testdata::TgaBytes(w, h, pixel); }
Bytes Tga(int w, int h, uint32_t argb) { return testdata::SolidTga(w, h, argb); }

Bytes Joined(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Hands bytes to the file table under a name, as if read from the data folder (with the
// zero byte past the end the table promises).
void Provide(const char* name, const Bytes& bytes) {
  auto* data = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  data[bytes.size()] = 0;
  ASSERT_TRUE(RegisterFile(name, static_cast<int32_t>(bytes.size()), data, 1));
}

struct Bgra {
  int b, g, r, a;
};

Bgra Texel(const TextureRecord* record, uint32_t x, uint32_t y, uint32_t level = 0) {
  const Texture* t = record->texture.get();
  const uint8_t* p = t->Bits(level) + (size_t{y} * t->Width(level) + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

class Textures : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxesEnabled(false);
    Device = &device_;
  }
  void TearDown() override {
    ReleaseAllTextures();
    ReleaseAllFiles();
    Device = nullptr;
  }
  RecordingDevice device_;
};

constexpr uint32_t kGreen = 0xFF20C040;
constexpr uint32_t kBlue = 0xFF2040C0;

void ExpectNear(Bgra t, uint32_t argb, int tolerance) {
  EXPECT_NEAR(t.r, static_cast<int>(argb >> 16 & 0xFF), tolerance);
  EXPECT_NEAR(t.g, static_cast<int>(argb >> 8 & 0xFF), tolerance);
  EXPECT_NEAR(t.b, static_cast<int>(argb & 0xFF), tolerance);
}

Bytes Plane(size_t n) {
  Bytes plane(n);
  for (size_t i = 0; i < n; ++i) plane[i] = static_cast<uint8_t>(i * 13 + 1);
  return plane;
}

TEST_F(Textures, AnAlphaPlanePictureServesATgaRequestAndIsShared) {
  Provide("_a_leaf.jpg", Joined(Jpeg(4, 4, kGreen), Plane(16)));
  Provide("leaf.tga", Tga(4, 4, 0xFFFF0000));
  TextureRecord* record = GetTexture("leaf.tga");
  ASSERT_NE(record, nullptr);
  EXPECT_STREQ(record->name, "leaf.tga");
  EXPECT_EQ(record->hasAlpha, 1);
  EXPECT_EQ(record->width, 4);
  EXPECT_EQ(record->height, 4);
  EXPECT_EQ(record->texture->Format(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(record->texture->LevelCount(), 1u);
  const Bytes plane = Plane(16);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(Texel(record, i % 4, i / 4).a, plane[i]) << i;
  ExpectNear(Texel(record, 2, 2), kGreen, 8);
  EXPECT_NE(FindFile("leaf.tga"), nullptr);     // the TGA was not read (reading releases it)
  EXPECT_EQ(FindFile("_a_leaf.jpg"), nullptr);  // the file bytes were released

  EXPECT_EQ(GetTexture("leaf.tga"), record);
  EXPECT_EQ(TextureManager.count, 1);
}

TEST_F(Textures, AMissingAlphaPlanePictureFallsBackToTheTga) {
  Provide("leaf.tga", Tga(4, 2, [](int x, int y) { return 0x10000000u * static_cast<uint32_t>(x + 4 * y) | 0xFF0000; }));
  TextureRecord* record = GetTexture("leaf.tga");
  EXPECT_EQ(record->hasAlpha, 1);
  EXPECT_EQ(record->width, 4);
  EXPECT_EQ(record->height, 2);
  EXPECT_EQ(record->texture->Format(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(Texel(record, 3, 1).a, 0x70);
  EXPECT_EQ(Texel(record, 3, 1).r, 0xFF);
  // Two levels: the second the average of two-by-two blocks.
  ASSERT_EQ(record->texture->LevelCount(), 2u);
  EXPECT_EQ(record->texture->Width(1), 2u);
  EXPECT_EQ(Texel(record, 0, 0, 1).a, (0x00 + 0x10 + 0x40 + 0x50 + 2) / 4);
  EXPECT_EQ(FindFile("leaf.tga"), nullptr);
}

TEST_F(Textures, AnUndecodableAlphaPlanePictureFallsBackWithoutAMessage) {
  Provide("_a_leaf.jpg", Bytes{1, 2, 3, 0xFF, 0xD9, 7, 7});
  Provide("leaf.tga", Tga(2, 2, 0xFFFF0000));
  ::testing::internal::CaptureStderr();
  TextureRecord* record = GetTexture("leaf.tga");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(Texel(record, 0, 0).r, 0xFF);
  EXPECT_EQ(record->hasAlpha, 1);
}

TEST_F(Textures, AJpgRequestNeverLooksForAnAlphaPlane) {
  Provide("rock.jpg", Jpeg(8, 8, kBlue));
  Provide("_a_rock.jpg", Joined(Jpeg(8, 8, kGreen), Plane(64)));
  TextureRecord* record = GetTexture("rock.jpg");
  EXPECT_EQ(record->hasAlpha, 0);
  EXPECT_EQ(record->texture->Format(), D3DFMT_X8R8G8B8);  // the file has no alpha of its own
  ExpectNear(Texel(record, 4, 4), kBlue, 8);
  EXPECT_NE(FindFile("_a_rock.jpg"), nullptr);
}

TEST_F(Textures, OnlyLowerAndUpperCaseTgaCountAsTga) {
  Provide("_a_leaf.jpg", Joined(Jpeg(2, 2, kGreen), Plane(4)));
  Provide("leaf.Tga", Tga(2, 2, 0xFFFF0000));
  TextureRecord* mixed = GetTexture("leaf.Tga");
  EXPECT_EQ(mixed->hasAlpha, 0);
  EXPECT_EQ(Texel(mixed, 0, 0).r, 0xFF);  // loaded directly
  EXPECT_NE(FindFile("_a_leaf.jpg"), nullptr);

  // "LEAF.TGA" looks for "_a_LEAF.jpg", which the data folder's case-blind names find.
  TextureRecord* upper = GetTexture("LEAF.TGA");
  EXPECT_NE(upper, mixed);  // texture names compare byte for byte
  EXPECT_EQ(upper->hasAlpha, 1);
  EXPECT_EQ(Texel(upper, 1, 1).a, Plane(4)[3]);
}

TEST_F(Textures, AnAlphaPlanePictureWithoutAnEndMarkerKeepsTheDecodersAlpha) {
  Bytes jpeg = Jpeg(4, 4, kGreen);
  ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  ASSERT_EQ(jpeg[jpeg.size() - 1], 0xD9);
  jpeg.resize(jpeg.size() - 2);
  Provide("_a_leaf.jpg", jpeg);
  TextureRecord* record = GetTexture("leaf.tga");
  EXPECT_EQ(record->hasAlpha, 1);
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(Texel(record, x, y).a, 255);
  }
  ExpectNear(Texel(record, 1, 1), kGreen, 8);
}

TEST_F(Textures, AlphaPlanesOfTheWrongLengthNeverReachPastEitherEnd) {
  // Five bytes for sixteen texels: five are applied, the rest keep the decoder's alpha, and
  // stderr says so once.
  Provide("_a_short.jpg", Joined(Jpeg(4, 4, kGreen), Plane(5)));
  testing::internal::CaptureStderr();
  TextureRecord* shortPlane = GetTexture("short.tga");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("_a_short.jpg holds 5 of the 16 transparency bytes"),
            std::string::npos);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(Texel(shortPlane, i % 4, i / 4).a, i < 5 ? Plane(5)[i] : 255) << i;

  // A plane longer than the picture: the texture ends where it ends.
  Provide("_a_long.jpg", Joined(Jpeg(4, 4, kGreen), Plane(1000)));
  TextureRecord* longPlane = GetTexture("long.tga");
  EXPECT_EQ(Texel(longPlane, 3, 3).a, Plane(16)[15]);

  // The same for backgrounds.
  Provide("_a_back9.jpg", Joined(Jpeg(8, 4, kGreen), Plane(10)));
  testing::internal::CaptureStderr();
  TextureRecord* picture = LoadPicture("_a_back9.jpg", 8, 4);
  ReleaseTexture(picture);  // as at a change of scene: released, then loaded again
  Provide("_a_back9.jpg", Joined(Jpeg(8, 4, kGreen), Plane(10)));
  picture = LoadPicture("_a_back9.jpg", 8, 4);
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_NE(message.find("_a_back9.jpg holds 10 of the 32 transparency bytes"), std::string::npos) << message;
  EXPECT_EQ(message.find("_a_back9"), message.rfind("_a_back9")) << "said once: " << message;
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(Texel(picture, 1, 1).a, Plane(10)[9]);
  EXPECT_EQ(Texel(picture, 2, 1).a, 255);  // beyond the plane: the picture's own (opaque) alpha
  EXPECT_EQ(Texel(picture, 8, 0).a, 0);    // beyond the picture: as the blank texture was
}

TEST_F(Textures, ABackgroundLandsInTheTopLeftOfAPowerOfTwoTexture) {
  Provide("_a_back0.jpg", Joined(Jpeg(800, 600, kBlue), Plane(800 * 600)));
  TextureRecord* record = LoadPicture("_a_back0.jpg", 800, 600);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->width, 1024);
  EXPECT_EQ(record->height, 1024);
  EXPECT_EQ(record->texture->Width(0), 1024u);
  EXPECT_EQ(record->texture->Height(0), 1024u);
  EXPECT_EQ(record->hasAlpha, 0);
  const Bytes plane = Plane(800 * 600);
  EXPECT_EQ(Texel(record, 0, 0).a, plane[0]);
  EXPECT_EQ(Texel(record, 799, 0).a, plane[799]);
  EXPECT_EQ(Texel(record, 0, 1).a, plane[800]);
  EXPECT_EQ(Texel(record, 799, 599).a, plane[599 * 800 + 799]);
  ExpectNear(Texel(record, 400, 300), kBlue, 8);
  ExpectNear(Texel(record, 799, 599), kBlue, 8);
  // Outside the picture nothing was written.
  const Bgra outside[] = {Texel(record, 800, 0), Texel(record, 0, 600), Texel(record, 1023, 1023)};
  for (const Bgra& t : outside) EXPECT_EQ(t.r + t.g + t.b + t.a, 0);
  EXPECT_EQ(FindFile("_a_back0.jpg"), nullptr);
}

TEST_F(Textures, ABackgroundAlreadyRegisteredIsReusedWhateverItsSize) {
  TextureRecord* blank = CreateBlankTexture("_a_back1.jpg", 4, 4, D3DFMT_A8R8G8B8);
  Provide("_a_back1.jpg", Joined(Jpeg(800, 600, kBlue), Plane(800 * 600)));
  TextureRecord* record = LoadPicture("_a_back1.jpg", 800, 600);
  EXPECT_EQ(record, blank);
  EXPECT_EQ(record->width, 4);
  EXPECT_EQ(record->texture->Width(0), 4u);
  EXPECT_EQ(Texel(record, 3, 3).a, Plane(800 * 600)[3 * 800 + 3]);
}

TEST_F(Textures, ABrokenBackgroundLeavesASharedRecordAlone) {
  TextureRecord* held = CreateBlankTexture("_a_back5.jpg", 16, 16, D3DFMT_A8R8G8B8);
  Provide("_a_back5.jpg", Bytes{'j', 'u', 'n', 'k'});
  EXPECT_EQ(LoadPicture("_a_back5.jpg", 8, 8), nullptr);
  EXPECT_EQ(FindTexture("_a_back5.jpg"), held);
  EXPECT_EQ(TextureManager.count, 1);
}

TEST_F(Textures, ARecordIsFreedOnlyByItsLastHolder) {
  // A catalogue entry naming a scene's background: GetTexture first, then the background's
  // LoadPicture shares the record; the change of scene lets the background go.
  Provide("_a_back2.jpg", Joined(Jpeg(8, 6, kBlue), Plane(48)));
  TextureRecord* entry = GetTexture("_a_back2.jpg");
  Provide("_a_back2.jpg", Joined(Jpeg(8, 6, kBlue), Plane(48)));
  TextureRecord* background = LoadPicture("_a_back2.jpg", 8, 6);
  ASSERT_EQ(background, entry);
  EXPECT_EQ(entry->holds, 2);
  Texture* texture = entry->texture.get();
  ReleaseTexture(background);
  ASSERT_EQ(FindTexture("_a_back2.jpg"), entry) << "the entry's hold keeps the record";
  EXPECT_EQ(entry->holds, 1);
  EXPECT_TRUE(device_.forgottenTextures.empty());
  ReleaseTexture(entry);
  EXPECT_EQ(FindTexture("_a_back2.jpg"), nullptr);
  EXPECT_EQ(device_.forgottenTextures, std::vector<Texture*>{texture});

  // Every way to a record counts: GetTexture, CreateBlankTexture, and a failed LoadPicture
  // gives back only its own hold.
  TextureRecord* blank = CreateBlankTexture("shared", 2, 2, D3DFMT_A8R8G8B8);
  EXPECT_EQ(CreateBlankTexture("shared", 2, 2, D3DFMT_A8R8G8B8), blank);
  Provide("shared", Bytes{'j', 'u', 'n', 'k'});
  EXPECT_EQ(LoadPicture("shared", 2, 2), nullptr);
  EXPECT_EQ(blank->holds, 2);
  ReleaseTexture(blank);
  ReleaseTexture(blank);
  EXPECT_EQ(TextureManager.count, 0);
}

TEST_F(Textures, TextureSidesAreThePowerOfTwoStrictlyAbove) {
  EXPECT_EQ(TextureSide(0), 2);
  EXPECT_EQ(TextureSide(1), 2);
  EXPECT_EQ(TextureSide(2), 4);
  EXPECT_EQ(TextureSide(511), 512);
  EXPECT_EQ(TextureSide(512), 1024);
  EXPECT_EQ(TextureSide(600), 1024);
  EXPECT_EQ(TextureSide(800), 1024);
  EXPECT_EQ(TextureSide(1023), 1024);
  EXPECT_EQ(TextureSide(1024), 0);
  EXPECT_EQ(TextureSide(5000), 0);
}

TEST_F(Textures, APictureSideOf512GetsA1024Texture) {
  Provide("_a_back2.jpg", Joined(Jpeg(512, 8, kGreen), Plane(512 * 8)));
  TextureRecord* record = LoadPicture("_a_back2.jpg", 512, 8);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->width, 1024);
  EXPECT_EQ(record->height, 16);
}

TEST_F(Textures, APictureSideOf1024GetsNoTextureAndAMessage) {
  Provide("_a_back3.jpg", Joined(Jpeg(1024, 8, kGreen), Plane(1024 * 8)));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadPicture("_a_back3.jpg", 1024, 8), nullptr);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Init error: Couldn't create texture: _a_back3.jpg"), std::string::npos) << said;
  EXPECT_EQ(TextureManager.count, 0);
  EXPECT_EQ(FindFile("_a_back3.jpg"), nullptr);
}

TEST_F(Textures, AMissingBackgroundIsNoPictureAndNoMessage) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadPicture("_a_back7.jpg", 800, 600), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(TextureManager.count, 0);
}

TEST_F(Textures, ARefusedTextureIsReportedAndNothingIsRegistered) {
  device_.failCreateTexture = true;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CreateBlankTexture("blank", 4, 4, D3DFMT_A8R8G8B8), nullptr);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Couldn't create texture: blank"), std::string::npos);
  EXPECT_EQ(TextureManager.count, 0);
}

TEST_F(Textures, TheTableTakes1023RecordsAndRefusesTheNext) {
  char name[32];
  for (int i = 0; i < kMaxTextureRecords; ++i) {
    std::snprintf(name, sizeof name, "blank%d", i);
    ASSERT_NE(CreateBlankTexture(name, 2, 2, D3DFMT_A8R8G8B8), nullptr) << i;
  }
  EXPECT_EQ(TextureManager.count, 1023);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CreateBlankTexture("one-too-many", 2, 2, D3DFMT_A8R8G8B8), nullptr);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Couldn't create texture: one-too-many"),
            std::string::npos);
  EXPECT_EQ(TextureManager.count, 1023);
  // A name already there is still found.
  EXPECT_EQ(CreateBlankTexture("blank7", 2, 2, D3DFMT_A8R8G8B8), TextureManager.records[7]);

  // A picture that decodes but finds no room ends the program like a missing one.
  Provide("rock.jpg", Jpeg(2, 2, kBlue));
  EXPECT_EXIT(GetTexture("rock.jpg"), ::testing::ExitedWithCode(1), "Couldn't load texture: rock.jpg");
}

TEST_F(Textures, ReleasingKeepsTheOrderOfTheRestAndIgnoresStrangers) {
  TextureRecord* a = CreateBlankTexture("a", 2, 2, D3DFMT_A8R8G8B8);
  TextureRecord* b = CreateBlankTexture("b", 2, 2, D3DFMT_A8R8G8B8);
  TextureRecord* c = CreateBlankTexture("c", 2, 2, D3DFMT_A8R8G8B8);
  Texture* bTexture = b->texture.get();

  TextureRecord stranger;
  ReleaseTexture(&stranger);
  ReleaseTexture(nullptr);
  EXPECT_EQ(TextureManager.count, 3);
  EXPECT_TRUE(device_.forgottenTextures.empty());

  ReleaseTexture(b);
  ASSERT_EQ(TextureManager.count, 2);
  EXPECT_EQ(TextureManager.records[0], a);
  EXPECT_EQ(TextureManager.records[1], c);
  EXPECT_EQ(TextureManager.records[2], nullptr);
  EXPECT_EQ(device_.forgottenTextures, std::vector<Texture*>{bTexture});
  EXPECT_EQ(FindTexture("b"), nullptr);
  // The name can be loaded again as a new record.
  EXPECT_NE(CreateBlankTexture("b", 2, 2, D3DFMT_A8R8G8B8), nullptr);
  EXPECT_EQ(TextureManager.count, 3);
}

TEST_F(Textures, ReleasingEverythingTellsTheDeviceAboutEveryTexture) {
  std::vector<Texture*> made;
  for (const char* name : {"x", "y", "z"}) made.push_back(CreateBlankTexture(name, 2, 2, D3DFMT_A8R8G8B8)->texture.get());
  ReleaseAllTextures();
  EXPECT_EQ(TextureManager.count, 0);
  EXPECT_EQ(device_.forgottenTextures, (std::vector<Texture*>{made[2], made[1], made[0]}));
  EXPECT_EQ(FindTexture("x"), nullptr);
}

TEST_F(Textures, AMissingTextureEndsTheProgramWithItsName) {
  EXPECT_EXIT(GetTexture("missing.jpg"), ::testing::ExitedWithCode(1), "Loading error: Couldn't load texture: missing.jpg");
  EXPECT_EXIT(GetTexture("missing.tga"), ::testing::ExitedWithCode(1), "Couldn't load texture: missing.tga");
}

// Every kind of broken picture: GetTexture's fatal message, LoadPicture's none.
TEST_F(Textures, BrokenPicturesAreRefused) {
  Bytes jpeg = Jpeg(8, 8, kBlue);
  Bytes png = Encode(8, 8, [](int, int) { return kGreen; }, false);
  Bytes wide = Tga(4097, 1, 0xFFFFFFFF);
  Bytes tall = Tga(1, 4097, 0xFFFFFFFF);
  Bytes cutTga = Tga(8, 8, 0xFFFFFFFF);
  cutTga.resize(cutTga.size() - 10);
  Bytes badType = Tga(2, 2, 0xFFFFFFFF);
  badType[2] = 99;
  Bytes badDepth = Tga(2, 2, 0xFFFFFFFF);
  badDepth[16] = 7;
  Bytes noWidth = Tga(2, 2, 0xFFFFFFFF);
  noWidth[12] = 0;
  Bytes headerOnly(jpeg.begin(), jpeg.begin() + 20);
  Bytes cutPng(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
  // A detailed picture cut in the middle of its image data: the decoder would invent the rest.
  Bytes detailed = Encode(64, 64, [](int x, int y) { return 0xFF000000u | uint32_t((x * 37 + y * 91) % 251) << 8; }, true);
  Bytes cutJpeg(detailed.begin(), detailed.begin() + static_cast<long>(detailed.size() * 6 / 10));
  // Headers that promise pictures far larger than any texture: refused before decoding.
  Bytes hugeJpeg = jpeg;
  for (size_t i = 0; i + 8 < hugeJpeg.size(); ++i) {
    if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {
      hugeJpeg[i + 5] = hugeJpeg[i + 6] = hugeJpeg[i + 7] = hugeJpeg[i + 8] = 0xFF;
      break;
    }
  }
  Bytes hugePng = png;
  hugePng[16] = hugePng[20] = 0x7F;
  const std::vector<std::pair<const char*, Bytes>> broken = {
      {"empty.jpg", {}},
      {"junk.jpg", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
      {"header.jpg", headerOnly},
      {"cut.png", cutPng},
      {"cut.jpg", cutJpeg},
      {"huge.jpg", hugeJpeg},
      {"huge.png", hugePng},
      {"wide.tga", wide},
      {"tall.tga", tall},
      {"cut.tga", cutTga},
      {"type.tga", badType},
      {"depth.tga", badDepth},
      {"nowidth.tga", noWidth},
  };
  for (const auto& [name, bytes] : broken) {
    SCOPED_TRACE(name);
    Provide(name, bytes);
    EXPECT_EXIT(GetTexture(name), ::testing::ExitedWithCode(1), std::string("Couldn't load texture: ") + name);
    // As a background: no picture, and the blank texture made for it is gone again.
    EXPECT_EQ(LoadPicture(name, 8, 8), nullptr);
    EXPECT_EQ(TextureManager.count, 0);
  }
  // The intact versions load.
  Provide("detailed.jpg", detailed);
  EXPECT_EQ(GetTexture("detailed.jpg")->width, 64);
  Provide("whole.tga", Tga(8, 8, 0xFFFFFFFF));
  Provide("whole.png", png);
  EXPECT_EQ(GetTexture("whole.tga")->width, 8);
  EXPECT_EQ(GetTexture("whole.png")->hasAlpha, 0);
}

TEST_F(Textures, AFatalPictureSaysWhyOnStderr) {
  const Bytes whole = Jpeg(16, 16, kBlue);
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"cut.jpg", Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2))},
      {"huge.tga", Tga(8, 8, 0xFFFFFFFF)},
      {"empty.png", Bytes{}},
  };
  Bytes huge = cases[1].second;
  huge[12] = 0x01;  // 4097 texels wide
  huge[13] = 0x10;
  Provide("cut.jpg", cases[0].second);
  Provide("huge.tga", huge);
  Provide("empty.png", cases[2].second);
  EXPECT_EXIT(GetTexture("cut.jpg"), ::testing::ExitedWithCode(1),
              "cut\\.jpg: the JPEG data (is damaged|ends before the picture's last row)(.|\n)*Couldn't load texture: cut\\.jpg");
  EXPECT_EXIT(GetTexture("huge.tga"), ::testing::ExitedWithCode(1), "huge\\.tga: the picture's sides are 0 or above 4096");
  EXPECT_EXIT(GetTexture("missing.png"), ::testing::ExitedWithCode(1), "missing\\.png: the file is missing");
  // The reason belongs to the last decode of the thread and clears on success.
  DecodedPicture picture;
  EXPECT_FALSE(DecodePicture(huge.data(), huge.size(), &picture));
  EXPECT_NE(std::string(DecodeFailureReason()), "");
  const Bytes small = Tga(2, 2, 0xFF00FF00);
  EXPECT_TRUE(DecodePicture(small.data(), small.size(), &picture));
  EXPECT_STREQ(DecodeFailureReason(), "");
}

TEST_F(Textures, OnlyJpegPngBmpAndTgaAreDecoded) {
  // Other formats SDL_image knows are not handed to it: their readers trust their headers.
  // This one names itself a GIMP picture 0x10007 by 0x78200000 pixels large.
  const Bytes gimp = {'g', 'i', 'm', 'p', ' ', 'x', 'c', 'f', ' ', 0, 6, 0, 0xFF, 0xD9, 4, 0, 0x3D, 7, 0x20, 0x78};
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 'D', 1, 0, ';'};
  DecodedPicture picture;
  for (const Bytes* bytes : {&gimp, &gif}) {
    EXPECT_FALSE(DecodePicture(bytes->data(), bytes->size(), &picture));
    EXPECT_NE(std::string(DecodeFailureReason()).find("not a picture this program reads"), std::string::npos)
        << DecodeFailureReason();
  }
  // A 24-bit BMP of 3 x 2 texels of one colour: two headers, then rows padded to 4 bytes.
  Bytes bmp = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
  bmp.resize(54, 0);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 3; ++x) bmp.insert(bmp.end(), {0x30, 0x20, 0x10});
    bmp.insert(bmp.end(), {0, 0, 0});
  }
  ASSERT_TRUE(DecodePicture(bmp.data(), bmp.size(), &picture)) << DecodeFailureReason();
  EXPECT_EQ(picture.width, 3);
  EXPECT_EQ(picture.pixels[0] & 0xFFFFFFu, 0x102030u);
}

TEST_F(Textures, RunLengthTgaFilesMustHoldEveryPixel) {
  // 4x1: a run of three red pixels, then one literal blue pixel.
  const Bytes header = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0, 32, 0x28};
  const Bytes packets = {0x82, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF};
  Provide("rle.tga", Joined(header, packets));
  TextureRecord* record = GetTexture("rle.tga");
  EXPECT_EQ(Texel(record, 2, 0).r, 0xFF);
  EXPECT_EQ(Texel(record, 3, 0).b, 0xFF);

  Bytes cut = Joined(header, packets);
  cut.pop_back();
  Provide("rlecut.tga", cut);
  EXPECT_EXIT(GetTexture("rlecut.tga"), ::testing::ExitedWithCode(1), "Couldn't load texture: rlecut.tga");
}

TEST_F(Textures, NamesLongerThanTheFieldsAreRefusedSafely) {
  const std::string name127(127, 'n');
  const std::string name128(128, 'n');
  EXPECT_NE(CreateBlankTexture(name127.c_str(), 2, 2, D3DFMT_A8R8G8B8), nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CreateBlankTexture(name128.c_str(), 2, 2, D3DFMT_A8R8G8B8), nullptr);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(TextureManager.count, 1);

  // Longer than a data-folder name may be: never found, so a fatal load or no picture.
  const std::string longTga = std::string(70, 'l') + ".tga";
  EXPECT_EXIT(GetTexture(longTga.c_str()), ::testing::ExitedWithCode(1), "Couldn't load texture: l+\\.tga");
  EXPECT_EQ(LoadPicture((std::string(100, 'b') + ".jpg").c_str(), 800, 600), nullptr);

  // A .tga name of 60 characters still finds its alpha-plane picture (63 characters).
  const std::string base(56, 'k');
  Provide(("_a_" + base + ".jpg").c_str(), Joined(Jpeg(2, 2, kGreen), Plane(4)));
  TextureRecord* record = GetTexture((base + ".tga").c_str());
  EXPECT_EQ(Texel(record, 1, 1).a, Plane(4)[3]);
}

}  // namespace
