// The OpenGL device drawn for real, headless (SDL's offscreen driver over EGL and Mesa's
// software renderer), and read back from the back buffer: alpha test and blending, the
// tint, filtering and wrap addressing, the screen-rectangle mapping, culling, depth range,
// mip levels, texture updates and dropped texture memory, the letterboxed present, device
// loss and mesh buffers.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "host/application.h"
#include "host/sdl_presentation.h"
#include "render/device_setup.h"
#include "render/gl_device.h"
#include "render/sprites.h"
#include "render/states.h"
#include "resources/mesh.h"
#include "resources/textures.h"
#include "tests/support/mesh_files.h"

using namespace qh;

namespace {

struct Rgb {
  int r, g, b;
};

class SdlVideo : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "offscreen");
  }
  void TearDown() override { SDL_Quit(); }
};
const auto* const kVideo = ::testing::AddGlobalTestEnvironment(new SdlVideo);

// A hidden window and the real device made for it the way the saver makes it.
class GlPixels : public ::testing::Test {
 protected:
  void SetUp() override { Open(800, 600); }
  void TearDown() override { Close(); }

  void Open(int width, int height) {
    window_ = SDL_CreateWindow("pixels", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    presentation_ = std::make_unique<SdlWindowPresentation>(window_);
    ASSERT_TRUE(InitDevice(std::make_unique<GlAdapter>(*presentation_), presentation_.get(), DeviceConfig{}));
    device_ = dynamic_cast<GlDevice*>(Device);
    ASSERT_NE(device_, nullptr);
    ASSERT_EQ(device_->BackBufferWidth(), 800u);
    ASSERT_EQ(device_->BackBufferHeight(), 600u);
  }

  void Close() {
    for (auto& texture : textures_) Device->ForgetTexture(texture.get());
    textures_.clear();
    ReleaseDevice();
    device_ = nullptr;
    presentation_.reset();
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    window_ = nullptr;
    SetSpriteTint(1, 1, 1, 1);
  }

  // The states every Saver frame sets before drawing, as the saver sets them.
  static void SetFrameStates() { SetSaverFrameStates(); }

  // A texture of w x h texels given as 0xAARRGGBB values, rows top to bottom.
  Texture* MakeTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb, D3DFORMAT format = D3DFMT_A8R8G8B8,
                       uint32_t levels = 1) {
    std::unique_ptr<Texture> texture;
    EXPECT_FALSE(Failed(Device->CreateTexture(w, h, levels, 0, format, D3DPOOL_MANAGED, &texture)));
    Fill(texture.get(), 0, argb);
    textures_.push_back(std::move(texture));
    return textures_.back().get();
  }

  static void Fill(Texture* texture, uint32_t level, const std::vector<uint32_t>& argb) {
    D3DLOCKED_RECT locked;
    ASSERT_FALSE(Failed(texture->LockRect(level, &locked)));
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    const size_t texels = size_t{texture->Width(level)} * texture->Height(level);
    for (size_t i = 0; i < texels; ++i) {
      const uint32_t v = argb[i % argb.size()];
      bits[i * 4 + 0] = static_cast<uint8_t>(v);
      bits[i * 4 + 1] = static_cast<uint8_t>(v >> 8);
      bits[i * 4 + 2] = static_cast<uint8_t>(v >> 16);
      bits[i * 4 + 3] = static_cast<uint8_t>(v >> 24);
    }
    texture->UnlockRect(level);
  }

  void Read() {
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(device_->ReadBackBuffer(&pixels_, &w, &h));
    ASSERT_EQ(w, 800u);
    ASSERT_EQ(h, 600u);
  }

  // Pixel (x, y) of the last read, y counted from the top.
  Rgb At(int x, int y) const {
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * 800 + x) * 4];
    return {p[0], p[1], p[2]};
  }

  static void FullScreen(D3DCOLOR colour, float uRight = 1.0f, float vBottom = 1.0f) {
    DrawScreenRect(0, 0, 800, 600, 0, 0, uRight, vBottom, colour);
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<SdlWindowPresentation> presentation_;
  GlDevice* device_ = nullptr;
  std::vector<std::unique_ptr<Texture>> textures_;
  std::vector<uint8_t> pixels_;
};

#define EXPECT_RGB_NEAR(actual, er, eg, eb, tolerance)    \
  do {                                                    \
    const Rgb value = (actual);                           \
    EXPECT_NEAR(value.r, (er), (tolerance)) << "red";     \
    EXPECT_NEAR(value.g, (eg), (tolerance)) << "green";   \
    EXPECT_NEAR(value.b, (eb), (tolerance)) << "blue";    \
  } while (0)

TEST_F(GlPixels, ScreenRectCoversExactlyTheWholeBackBuffer) {
  SetFrameStates();
  ClearTarget(0x00000000);
  BindTexture(nullptr);
  FullScreen(0xFFFFFFFF);
  Read();
  size_t white = 0;
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) white += At(x, y).r == 255 && At(x, y).g == 255 && At(x, y).b == 255;
  }
  EXPECT_EQ(white, 800u * 600u);
}

TEST_F(GlPixels, ScreenRectLandsOnItsPixelsWithTheTopRowAtTheTop) {
  SetFrameStates();
  ClearTarget(0x00000000);
  BindTexture(nullptr);
  DrawScreenRect(100, 50, 300, 250, 0, 0, 1, 1, 0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(100, 50), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(299, 249), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(99, 50), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(100, 49), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(300, 249), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(299, 250), 0, 0, 0, 0);

  // A texture's first row shows at the top of the screen, and colours keep their channels.
  Device->SetTexture(0, MakeTexture(1, 2, {0xFFFF0000, 0xFF0000FF}));
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 10), 255, 0, 0, 0);
  EXPECT_RGB_NEAR(At(400, 590), 0, 0, 255, 0);
}

TEST_F(GlPixels, AlphaZeroTexelsNeverReachTheTargetAndAlphaOneBlendsAtOne255th) {
  SetFrameStates();
  // Left texel alpha 0, right texel alpha 1, both white.
  Device->SetTexture(0, MakeTexture(2, 1, {0x00FFFFFF, 0x01FFFFFF}));
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(600, 300), 1, 1, 1, 0);

  // Over white, black at alpha 1/255 takes one step off.
  Device->SetTexture(0, MakeTexture(2, 1, {0x00000000, 0x01000000}));
  ClearTarget(0x00FFFFFF);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(600, 300), 254, 254, 254, 0);

  // Additive blending would show a transparent texel if it got through; the test stops it.
  SetBlendMode(Additive);
  Device->SetTexture(0, MakeTexture(2, 1, {0x00FFFFFF, 0x01808080}));
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(600, 300), 64, 64, 64, 1);  // 128 x 128/255

  // With the test switched off the same transparent texel adds its colour.
  DisableFeature(AlphaTest);
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 255, 255, 255, 0);
}

TEST_F(GlPixels, AlphaReferenceOf128DiscardsTheLowerHalf) {
  SetFrameStates();
  SetDeviceRenderState(D3DRS_ALPHAREF, 0x80);  // the device default
  SetBlendMode(Opaque);
  Device->SetTexture(0, MakeTexture(2, 1, {0x7FFFFFFF, 0x80FFFFFF}));
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(600, 300), 255, 255, 255, 0);
}

TEST_F(GlPixels, EachBlendModeCombinesSourceAndTarget) {
  SetFrameStates();
  // Source (200, 100, 0) at alpha 128 over a target of (40, 80, 255).
  Device->SetTexture(0, MakeTexture(1, 1, {0x80C86400}));
  const double a = 128.0 / 255.0;

  SetBlendMode(Alpha);
  ClearTarget(0x002850FF);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 200 * a + 40 * (1 - a), 100 * a + 80 * (1 - a), 255 * (1 - a), 1);

  SetBlendMode(Additive);  // source x source colour + target
  ClearTarget(0x002850FF);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 200.0 * 200 / 255 + 40, 100.0 * 100 / 255 + 80, 255, 1);

  SetBlendMode(Opaque);
  ClearTarget(0x002850FF);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 200, 100, 0, 0);

  // Blending off writes the source whatever the factors say.
  SetBlendMode(Additive);
  DisableFeature(AlphaBlend);
  ClearTarget(0x002850FF);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 200, 100, 0, 0);
}

TEST_F(GlPixels, TintAndDiffuseMultiplyTheTexture) {
  SetFrameStates();
  SetBlendMode(Opaque);
  ClearTarget(0x00000000);

  // No texture: the diffuse colour alone, with the tint truncated into it.
  BindTexture(nullptr);
  SetSpriteTint(0.5f, 1.0f, 1.0f, 1.0f);
  DrawScreenRect(0, 0, 400, 600, 0, 0, 1, 1, 0xFFFFFFFF);
  // Texture x diffuse.
  SetSpriteTint(1.0f, 1.0f, 1.0f, 1.0f);
  Device->SetTexture(0, MakeTexture(1, 1, {0xFFC864FF}));
  DrawScreenRect(400, 0, 800, 600, 0, 0, 1, 1, 0xFF808080);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 127, 255, 255, 0);
  EXPECT_RGB_NEAR(At(600, 300), 200 * 128 / 255.0, 100 * 128 / 255.0, 255 * 128 / 255.0, 1);

  // A tinted alpha halves the coverage of an opaque texel under alpha blending.
  SetBlendMode(Alpha);
  SetSpriteTint(1.0f, 1.0f, 1.0f, 0.5f);
  Device->SetTexture(0, MakeTexture(1, 1, {0xFFFFFFFF}));
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 127, 127, 127, 1);
}

// Each combination of stage operations and alpha comparison draws with a fragment stage of
// its own; every one must give what the fixed-function stage gives.
TEST_F(GlPixels, EveryStageOperationGivesTheTexelTheDiffuseOrTheirProduct) {
  SetFrameStates();
  DisableFeature(AlphaTest);
  SetBlendMode(Opaque);
  Texture* texel = MakeTexture(1, 1, {0xFFC86432});  // (200, 100, 50)
  const D3DCOLOR diffuse = 0xFF64C8FA;                // (100, 200, 250)
  struct Case {
    uint32_t colourOp;
    bool bound;
    int r, g, b;
  };
  const Case cases[] = {
      {D3DTOP_SELECTARG1, true, 200, 100, 50},
      {D3DTOP_SELECTARG2, true, 100, 200, 250},
      {D3DTOP_DISABLE, true, 100, 200, 250},
      {D3DTOP_MODULATE, true, 200 * 100 / 255, 100 * 200 / 255, 50 * 250 / 255},
      {D3DTOP_SELECTARG1, false, 100, 200, 250},  // nothing bound: the diffuse colour whatever the operation
      {D3DTOP_MODULATE, false, 100, 200, 250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "colour operation " << c.colourOp << (c.bound ? " textured" : " untextured"));
    Device->SetTextureStageState(0, D3DTSS_COLOROP, c.colourOp);
    Device->SetTexture(0, c.bound ? texel : nullptr);
    ClearTarget(0x00000000);
    FullScreen(diffuse);
    Read();
    EXPECT_RGB_NEAR(At(400, 300), c.r, c.g, c.b, 1);
  }
}

TEST_F(GlPixels, EveryAlphaComparisonKeepsExactlyTheAlphasItShould) {
  SetFrameStates();
  SetBlendMode(Opaque);
  // Texel alphas 99, 100 and 101 side by side, white; the reference is 100.
  Device->SetTexture(0, MakeTexture(3, 1, {0x63FFFFFF, 0x64FFFFFF, 0x65FFFFFF}));
  SetDeviceRenderState(D3DRS_ALPHAREF, 100);
  const struct {
    uint32_t func;
    bool below, equal, above;
  } cases[] = {
      {D3DCMP_NEVER, false, false, false},       {D3DCMP_LESS, true, false, false},
      {D3DCMP_EQUAL, false, true, false},        {D3DCMP_LESSEQUAL, true, true, false},
      {D3DCMP_GREATER, false, false, true},      {D3DCMP_NOTEQUAL, true, false, true},
      {D3DCMP_GREATEREQUAL, false, true, true},  {D3DCMP_ALWAYS, true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "comparison " << c.func);
    SetDeviceRenderState(D3DRS_ALPHAFUNC, c.func);
    ClearTarget(0x00000000);
    FullScreen(0xFFFFFFFF);
    Read();
    EXPECT_EQ(At(133, 300).r, c.below ? 255 : 0);
    EXPECT_EQ(At(400, 300).r, c.equal ? 255 : 0);
    EXPECT_EQ(At(666, 300).r, c.above ? 255 : 0);
  }
  // The alpha compared is the one the alpha operation chose: the diffuse's 99 instead of the texel's.
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  SetDeviceRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  ClearTarget(0x00000000);
  FullScreen(0x63FFFFFF);
  Read();
  EXPECT_EQ(At(666, 300).r, 0);
}

TEST_F(GlPixels, TransformAndReferenceFollowTheDrawsAcrossStageVariants) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Texture* half = MakeTexture(1, 1, {0x80FFFFFF});
  ClearTarget(0x00000000);
  // Left third with the alpha test on (one fragment stage), the middle third untextured with
  // it off (another), the right third with the first stage again after both the transform
  // and the reference changed while the other stage was in use.
  SetDeviceRenderState(D3DRS_ALPHAREF, 0x80);
  Device->SetTexture(0, half);
  DrawScreenRect(0, 0, 266, 600, 0, 0, 1, 1, 0xFFFFFFFF);
  DisableFeature(AlphaTest);
  BindTexture(nullptr);
  DrawScreenRect(266, 0, 533, 600, 0, 0, 1, 1, 0xFF00FF00);
  Matrix4 shifted = CameraView;
  PreTranslate(shifted, 533.0f, 0.0f, 0.0f);
  SetViewTransform(&shifted);
  SetDeviceRenderState(D3DRS_ALPHAREF, 0x81);  // 128 fails now
  EnableFeature(AlphaTest);
  Device->SetTexture(0, half);
  DrawScreenRect(0, 0, 266, 600, 0, 0, 1, 1, 0xFFFFFFFF);  // lands on the right third, discarded
  SetDeviceRenderState(D3DRS_ALPHAREF, 0x80);
  DrawScreenRect(0, 300, 266, 600, 0, 0, 1, 1, 0xFFFFFFFF);  // its lower half passes again
  Read();
  EXPECT_RGB_NEAR(At(100, 300), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(400, 300), 0, 255, 0, 0);
  EXPECT_RGB_NEAR(At(700, 100), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(700, 500), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(100, 100), 255, 255, 255, 0);  // the left third was not moved after all
}

TEST_F(GlPixels, ATextureOfOneLevelFiltersTheSameWithOrWithoutAMipFilter) {
  SetFrameStates();
  SetBlendMode(Opaque);
  // Stripes of one texel, shrunk three times and shifted by a third of a texel: linear
  // minification mixes neighbours, and a mip filter has no second level to go to.
  std::vector<uint32_t> stripes;
  for (int i = 0; i < 2400; ++i) stripes.push_back(i % 2 ? 0xFFFFFFFF : 0xFF000000);
  Device->SetTexture(0, MakeTexture(2400, 1, stripes));
  std::vector<uint8_t> withMip, without;
  for (uint32_t mip : {D3DTEXF_LINEAR, D3DTEXF_NONE}) {
    Device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    Device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    Device->SetTextureStageState(0, D3DTSS_MIPFILTER, mip);
    ClearTarget(0x00000000);
    DrawScreenRect(0, 0, 800, 600, 0.000139f, 0, 1.000139f, 1, 0xFFFFFFFF);
    Read();
    (mip == D3DTEXF_LINEAR ? withMip : without) = pixels_;
  }
  EXPECT_EQ(withMip, without);
  // Neither is point sampling: the stripes were mixed into greys.
  const Rgb grey = At(401, 300);
  EXPECT_GT(grey.r, 0);
  EXPECT_LT(grey.r, 255);
}

TEST_F(GlPixels, OpaqueTexturesIgnoreTheirFourthByte) {
  SetFrameStates();
  Device->SetTexture(0, MakeTexture(1, 1, {0x0000FF00}, D3DFMT_X8R8G8B8));
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 255, 0, 0);
}

TEST_F(GlPixels, PointSamplingKeepsTexelsWhileLinearFilteringBlendsThem) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Device->SetTexture(0, MakeTexture(2, 1, {0xFF000000, 0xFFFFFFFF}));

  // The device default (no filter) samples like point sampling.
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(399, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(400, 300), 255, 255, 255, 0);

  EnableFeature(LinearFiltering);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 128, 128, 128, 2);
  EXPECT_RGB_NEAR(At(300, 300), 64, 64, 64, 2);
  // Near the left edge the filter wraps round to the white texel on the right.
  EXPECT_RGB_NEAR(At(100, 300), 64, 64, 64, 2);

  DisableFeature(LinearFiltering);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(300, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(500, 300), 255, 255, 255, 0);
}

TEST_F(GlPixels, WrapAddressingRepeatsTheTexture) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Device->SetTexture(0, MakeTexture(2, 1, {0xFF000000, 0xFFFFFFFF}));
  ClearTarget(0x00000000);
  FullScreen(0xFFFFFFFF, 2.0f, 1.0f);  // u from 0 to 2: the texture twice across
  Read();
  EXPECT_RGB_NEAR(At(100, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(300, 300), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(500, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(700, 300), 255, 255, 255, 0);

  // Clamping, when asked for, holds the last texel instead.
  Device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  FullScreen(0xFFFFFFFF, 2.0f, 1.0f);
  Read();
  EXPECT_RGB_NEAR(At(500, 300), 255, 255, 255, 0);

  // The gradient quad's coordinates run from 0 to -1: with wrapping it shows the whole
  // texture once, mirrored, the white texel on the left.
  Device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
  DrawGradientQuad({-400, -300, 10}, {-400, 300, 10}, {400, 300, 10}, {400, -300, 10}, 0xFFFFFFFF, 0xFFFFFFFF,
                   0xFFFFFFFF, 0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(200, 300), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(600, 300), 0, 0, 0, 0);
}

TEST_F(GlPixels, MipLevelsServeMinificationOnlyWhenAMipFilterIsSet) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Texture* texture = MakeTexture(64, 64, {0xFFFFFFFF}, D3DFMT_A8R8G8B8, 2);
  Fill(texture, 1, {0xFFFF0000});
  Device->SetTexture(0, texture);
  ClearTarget(0x00000000);
  DrawScreenRect(0, 0, 8, 8, 0, 0, 1, 1, 0xFFFFFFFF);  // 64 texels onto 8 pixels
  Read();
  EXPECT_RGB_NEAR(At(4, 4), 255, 255, 255, 0);

  EnableFeature(LinearFiltering);  // linear mip filter: the 32x32 level is the nearest there is
  DrawScreenRect(0, 0, 8, 8, 0, 0, 1, 1, 0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(4, 4), 255, 0, 0, 0);
}

TEST_F(GlPixels, ChangedTextureMemoryIsUploadedAgain) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Texture* texture = MakeTexture(1, 1, {0xFF00FF00});
  Device->SetTexture(0, texture);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 255, 0, 0);
  Fill(texture, 0, {0xFF0000FF});
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 0, 255, 0);
}

// The saver's device gives a texture's own memory back once the driver holds its copy. What
// it draws stays the same, after a reset too; written again, the texture comes back zeroed
// and is uploaded again; and a new device, which has no copy, draws it as zero texels (black
// for an opaque texture), never as garbage.
TEST_F(GlPixels, DroppedTexturePixelsDrawFromTheDriversCopyAndComeBackAsZeroes) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Texture* kept = MakeTexture(2, 2, {0xFFFF0000});
  Device->SetTexture(0, kept);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 255, 0, 0, 0);
  EXPECT_FALSE(kept->PixelsDropped());  // off unless asked for
  EXPECT_NE(kept->Bits(0), nullptr);

  device_->SetDropPixelsAfterUpload(true);
  Texture* texture = MakeTexture(4, 4, {0xFF00FF00}, D3DFMT_X8R8G8B8, 2);
  Device->SetTexture(0, texture);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 255, 0, 0);
  EXPECT_TRUE(texture->PixelsDropped());
  EXPECT_EQ(texture->Bits(0), nullptr);
  EXPECT_EQ(texture->Bits(1), nullptr);
  EXPECT_EQ(texture->Width(1), 2u);

  ASSERT_EQ(Device->Reset(&PresentParameters), D3D_OK);
  SetFrameStates();
  SetBlendMode(Opaque);
  Device->SetTexture(0, texture);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 255, 0, 0);

  D3DLOCKED_RECT locked;
  ASSERT_FALSE(Failed(texture->LockRect(0, &locked)));
  ASSERT_NE(locked.pBits, nullptr);
  EXPECT_EQ(locked.Pitch, 16);
  const auto* bytes = static_cast<const uint8_t*>(locked.pBits);
  EXPECT_EQ(std::count(bytes, bytes + 4 * 16, 0), 4 * 16);
  texture->UnlockRect(0);
  Fill(texture, 0, {0xFF0000FF});
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 0, 255, 0);
  EXPECT_TRUE(texture->PixelsDropped());

  // A device of its own: nothing of the old one's copies, and no pixels to upload.
  ReleaseDevice();
  ASSERT_TRUE(InitDevice(std::make_unique<GlAdapter>(*presentation_), presentation_.get(), DeviceConfig{}));
  device_ = dynamic_cast<GlDevice*>(Device);
  ASSERT_NE(device_, nullptr);
  SetFrameStates();
  SetBlendMode(Opaque);
  ClearTarget(0xFFFFFFFF);
  Device->SetTexture(0, texture);
  FullScreen(0xFFFFFFFF);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 0, 0, 0);
  ASSERT_FALSE(texture->PixelsDropped());  // the new device keeps them
  EXPECT_EQ(std::count(texture->Bits(0), texture->Bits(0) + 4 * 16, 0), 4 * 16);
}

TEST_F(GlPixels, CounterClockwiseCullingDropsTrianglesWoundCounterClockwiseOnScreen) {
  SetFrameStates();
  SetBlendMode(Opaque);
  BindTexture(nullptr);
  SetDeviceRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  // Left: up, then right and down (clockwise as seen). Right: right, then up-left (counter-clockwise).
  const SpriteVertex triangles[6] = {
      {-300, -100, 10, 0xFFFFFFFF, 0, 0}, {-300, 100, 10, 0xFFFFFFFF, 0, 0}, {-100, -100, 10, 0xFFFFFFFF, 0, 0},
      {100, -100, 10, 0xFFFFFFFF, 0, 0},  {300, -100, 10, 0xFFFFFFFF, 0, 0}, {100, 100, 10, 0xFFFFFFFF, 0, 0},
  };
  ClearTarget(0x00000000);
  DrawUserPrimitives(triangles, 2, kSpriteFvf, D3DPT_TRIANGLELIST);
  Read();
  EXPECT_RGB_NEAR(At(150, 350), 255, 255, 255, 0);  // world (-250, -50)
  EXPECT_RGB_NEAR(At(550, 350), 0, 0, 0, 0);        // world (150, -50)

  SetDeviceRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  ClearTarget(0x00000000);
  DrawUserPrimitives(triangles, 2, kSpriteFvf, D3DPT_TRIANGLELIST);
  Read();
  EXPECT_RGB_NEAR(At(150, 350), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(550, 350), 255, 255, 255, 0);

  SetDeviceRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  ClearTarget(0x00000000);
  DrawUserPrimitives(triangles, 2, kSpriteFvf, D3DPT_TRIANGLELIST);
  Read();
  EXPECT_RGB_NEAR(At(150, 350), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(550, 350), 255, 255, 255, 0);
}

TEST_F(GlPixels, DepthRunsFromNearToFarPlane) {
  SetFrameStates();
  SetBlendMode(Opaque);
  BindTexture(nullptr);
  ClearTarget(0x00000000);
  const Vec2 t{0, 0};
  auto quad = [&](float left, float right, float z) {
    DrawQuad({right, -50, z}, {right, 50, z}, {left, 50, z}, {left, -50, z}, t, t, t, t, 0xFFFFFFFF);
  };
  // The camera sits 50 units behind the plane z = 0; near 1, far 100.
  quad(-390, -310, -48.5f);  // just behind the near plane: drawn
  quad(-290, -210, -50.0f);  // in front of it: clipped
  quad(210, 290, 49.5f);     // just before the far plane: drawn
  quad(310, 390, 51.0f);     // beyond it: clipped
  Read();
  EXPECT_RGB_NEAR(At(50, 300), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(150, 300), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(At(650, 300), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(At(750, 300), 0, 0, 0, 0);
}

TEST_F(GlPixels, DepthTestKeepsTheNearerQuadWhenSwitchedOn) {
  SetFrameStates();
  SetBlendMode(Opaque);
  BindTexture(nullptr);
  EnableFeature(DepthTest);
  SetDeviceRenderState(D3DRS_ZWRITEENABLE, 1);
  Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
  const Vec2 t{0, 0};
  DrawQuad({100, -100, 0}, {100, 100, 0}, {-100, 100, 0}, {-100, -100, 0}, t, t, t, t, 0xFFFF0000);
  DrawQuad({100, -100, 20}, {100, 100, 20}, {-100, 100, 20}, {-100, -100, 20}, t, t, t, t, 0xFF00FF00);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 255, 0, 0, 0);
}

// The depth buffer is made at the first draw that tests depth: a clear asked for before then
// must still be what that draw meets.
TEST_F(GlPixels, ADepthClearBeforeTheFirstDepthTestedDrawHolds) {
  SetFrameStates();
  SetBlendMode(Opaque);
  BindTexture(nullptr);
  Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 0.0f, 0);
  EnableFeature(DepthTest);
  const Vec2 t{0, 0};
  DrawQuad({100, -100, 20}, {100, 100, 20}, {-100, 100, 20}, {-100, -100, 20}, t, t, t, t, 0xFF00FF00);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 0, 0, 0);
}

TEST_F(GlPixels, PresentScalesIntoAWideWindowWithBlackBars) {
  Close();
  Open(1280, 720);
  SetFrameStates();
  ClearTarget(0x00FFFFFF);
  device_->ComposeWindow();
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(device_->ReadWindow(&pixels_, &w, &h));
  ASSERT_EQ(w, 1280u);
  ASSERT_EQ(h, 720u);
  auto window = [&](int x, int y) {
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * w + x) * 4];
    return Rgb{p[0], p[1], p[2]};
  };
  // 720 rows tall gives 960 columns wide, centred: bars of 160 columns on each side.
  EXPECT_RGB_NEAR(window(0, 360), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(window(159, 360), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(window(160, 0), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(window(640, 360), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(window(1119, 719), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(window(1120, 360), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(window(1279, 360), 0, 0, 0, 0);
  EXPECT_EQ(Device->Present(), D3D_OK);
}

TEST_F(GlPixels, PresentIntoATallWindowPutsTheBarsAboveAndBelow) {
  Close();
  Open(800, 800);
  SetFrameStates();
  ClearTarget(0x00FFFFFF);
  device_->ComposeWindow();
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(device_->ReadWindow(&pixels_, &w, &h));
  auto window = [&](int x, int y) {
    const uint8_t* p = &pixels_[(static_cast<size_t>(y) * w + x) * 4];
    return Rgb{p[0], p[1], p[2]};
  };
  // 800 wide gives 600 tall, rows 100 to 699.
  EXPECT_RGB_NEAR(window(400, 99), 0, 0, 0, 0);
  EXPECT_RGB_NEAR(window(400, 100), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(window(400, 699), 255, 255, 255, 0);
  EXPECT_RGB_NEAR(window(400, 700), 0, 0, 0, 0);
}

namespace placed {
int calls = 0;
int32_t x = 0, y = 0, width = 0, height = 0;
void Screen(void*, int32_t* w, int32_t* h) {
  *w = 1366;
  *h = 768;
}
void Place(void*, int32_t px, int32_t py, int32_t pw, int32_t ph) {
  ++calls;
  x = px;
  y = py;
  width = pw;
  height = ph;
}
}  // namespace placed

TEST_F(GlPixels, HidingTheWindowLosesTheDeviceAndShowingItAgainResetsIt) {
  // A window not shown yet (the saver loads before it shows its window) has lost nothing.
  EXPECT_EQ(Device->TestCooperativeLevel(), D3D_OK);
  SDL_ShowWindow(window_);
  EXPECT_EQ(Device->TestCooperativeLevel(), D3D_OK);
  SDL_HideWindow(window_);
  EXPECT_EQ(Device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(Device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  SDL_ShowWindow(window_);
  EXPECT_EQ(Device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

  DeviceWindow.screenSize = placed::Screen;
  DeviceWindow.placeWindow = placed::Place;
  placed::calls = 0;
  PresentFrame();
  DeviceWindow = DeviceWindowHooks{};
  EXPECT_EQ(placed::calls, 1);
  EXPECT_EQ(placed::x, 1366 / 2 - 400);
  EXPECT_EQ(placed::y, 768 / 2 - 300);
  EXPECT_EQ(placed::width, 800);
  EXPECT_EQ(placed::height, 600);
  EXPECT_EQ(Device->TestCooperativeLevel(), D3D_OK);

  // After the reset the device draws again, into a back buffer of the same size.
  SetFrameStates();
  SetBlendMode(Opaque);
  BindTexture(nullptr);
  ClearTarget(0x00000000);
  FullScreen(0xFF00FF00);
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 255, 0, 0);
}

TEST_F(GlPixels, MeshBuffersAreMadeByTheDeviceAndOutliveAReset) {
  BuildSqrtTable();
  const std::vector<uint8_t> bytes = MeshFileBytes(CubeMesh());
  Mesh mesh;
  ASSERT_EQ(ParseMesh(mesh, bytes.data(), bytes.size()), nullptr);
  UploadMesh(mesh, kMeshVertexFormat);
  ASSERT_NE(mesh.vertexBuffer, nullptr);
  ASSERT_NE(mesh.indexBuffer, nullptr);
  const std::vector<uint8_t> vertices(mesh.vertexBuffer->Data(), mesh.vertexBuffer->Data() + mesh.vertexBuffer->Length());
  EXPECT_EQ(vertices.size(), 8u * 32u);
  EXPECT_EQ(std::memcmp(vertices.data(), mesh.vertices.data(), vertices.size()), 0);
  ASSERT_EQ(Device->Reset(&PresentParameters), D3D_OK);
  EXPECT_EQ(std::vector<uint8_t>(mesh.vertexBuffer->Data(), mesh.vertexBuffer->Data() + mesh.vertexBuffer->Length()),
            vertices);
  EXPECT_EQ(mesh.indexBuffer->Length(), 72u);
}

TEST_F(GlPixels, ReleasedTexturesAreUnboundFromTheDevice) {
  SetFrameStates();
  SetBlendMode(Opaque);
  Texture* texture = MakeTexture(1, 1, {0xFFFF0000});
  Device->SetTexture(0, texture);
  Device->ForgetTexture(texture);
  ClearTarget(0x00000000);
  FullScreen(0xFF0000FF);  // drawn with the diffuse colour alone now
  Read();
  EXPECT_RGB_NEAR(At(400, 300), 0, 0, 255, 0);
}

}  // namespace
