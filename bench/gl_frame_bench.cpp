// Whole frames on the OpenGL device, headless (SDL's offscreen driver; on a machine without
// a GPU driver that is Mesa's software rasteriser), for each bundled scene: a plain frame
// and a crossfade frame, into an 800x600 window and into a 1920x1080 one (the saver's
// present then scales the picture). CPU time is the whole process's, the rasteriser's
// threads included; every frame ends with glFinish so none is left half drawn.
//
// BM_GlFrameLayers splits a frame by layer: the device is wrapped so that whenever the
// texture of a draw belongs to another layer than the draw before, it waits for the device
// (glFinish) and books the process CPU time since the last mark to the layer that ended.
// The waits break the rasteriser's batching, so the layers add up to more than a frame
// measured without them; their shares are what they tell.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <memory>

#include "bench/bench_support.h"
#include "overlay/font.h"
#include "render/device_setup.h"
#include "render/sprites.h"
#include "scene/catalogue.h"

namespace qh::bench {
namespace {

enum Layer { Sky, Water, Background, Objects, Spray, Leaves, Clock, Presenting, kLayerCount };
constexpr const char* kLayerNames[kLayerCount] = {"sky", "water", "background", "objects",
                                                  "spray", "leaves", "clock", "present"};

// The layer a texture is drawn in, by the behaviour its catalogue entry has.
Layer LayerOf(const Texture* texture) {
  if (texture == nullptr) return Objects;
  if (Font.texture != nullptr && Font.texture->texture.get() == texture) return Clock;
  const TextureRecord* background[] = {currentBackground, Director.incomingBackground};
  for (const TextureRecord* record : background) {
    if (record != nullptr && record->texture.get() == texture) return Background;
  }
  for (int32_t i = 0; i < ObjectCatalogue.entryCount; ++i) {
    const CatalogueEntry& entry = ObjectCatalogue.entries[i];
    if (entry.texture == nullptr || entry.texture->texture.get() != texture) continue;
    if (std::strstr(entry.name, "sky") != nullptr) return Sky;
    if (std::strstr(entry.name, "water") != nullptr) return Water;
    if (std::strstr(entry.name, "spray") != nullptr) return Spray;
    if (std::strstr(entry.name, "leaves") != nullptr) return Leaves;
    return Objects;
  }
  return Objects;
}

// Passes every call to the OpenGL device and books process CPU time to layers.
class LayerTimer : public GraphicsDevice {
 public:
  explicit LayerTimer(GlDevice* inner) : inner_(inner) {}

  HRESULT SetRenderState(uint32_t s, uint32_t v) override { return inner_->SetRenderState(s, v); }
  HRESULT SetTextureStageState(uint32_t st, uint32_t t, uint32_t v) override {
    return inner_->SetTextureStageState(st, t, v);
  }
  HRESULT SetTransform(uint32_t t, const Matrix4& m) override { return inner_->SetTransform(t, m); }
  HRESULT GetTransform(uint32_t t, Matrix4* m) override { return inner_->GetTransform(t, m); }
  HRESULT SetTexture(uint32_t stage, Texture* texture) override {
    if (stage == 0) texture_ = texture;
    return inner_->SetTexture(stage, texture);
  }
  HRESULT SetStreamSource(uint32_t s, const void* b, uint32_t st) override { return inner_->SetStreamSource(s, b, st); }
  HRESULT SetVertexShader(uint32_t fvf) override { return inner_->SetVertexShader(fvf); }
  HRESULT DrawPrimitiveUP(uint32_t type, uint32_t count, const void* data, uint32_t stride) override {
    Switch(LayerOf(texture_));
    return inner_->DrawPrimitiveUP(type, count, data, stride);
  }
  HRESULT Clear(uint32_t c, const void* r, uint32_t f, D3DCOLOR colour, float z, uint32_t s) override {
    return inner_->Clear(c, r, f, colour, z, s);
  }
  HRESULT BeginScene() override {
    mark_ = ProcessCpuSeconds();
    current_ = Sky;  // what runs before the first draw belongs to the first layer
    return inner_->BeginScene();
  }
  HRESULT EndScene() override { return inner_->EndScene(); }
  HRESULT Present() override {
    Switch(Presenting);
    const HRESULT result = inner_->Present();
    Switch(Presenting);  // books the present itself, waited for
    return result;
  }
  HRESULT TestCooperativeLevel() override { return inner_->TestCooperativeLevel(); }
  HRESULT Reset(D3DPRESENT_PARAMETERS* p) override { return inner_->Reset(p); }
  HRESULT CreateTexture(uint32_t w, uint32_t h, uint32_t l, uint32_t u, D3DFORMAT f, D3DPOOL p,
                        std::unique_ptr<Texture>* out) override {
    return inner_->CreateTexture(w, h, l, u, f, p, out);
  }
  void ForgetTexture(Texture* texture) override { inner_->ForgetTexture(texture); }

  std::array<double, kLayerCount> seconds{};

 private:
  void Switch(Layer next) {
    if (next == current_ && next != Presenting) return;
    inner_->Finish();
    const double now = ProcessCpuSeconds();
    seconds[current_] += now - mark_;
    mark_ = now;
    current_ = next;
  }

  GlDevice* inner_;
  Texture* texture_ = nullptr;
  Layer current_ = Sky;
  double mark_ = 0.0;
};

HeadlessSaver* saver = nullptr;
int openWindowWidth = 0;

bool Open(int width, int height) {
  if (saver != nullptr && openWindowWidth == width) return true;
  delete saver;
  saver = new HeadlessSaver;
  openWindowWidth = width;
  return saver->Start(width, height);
}

void Frame(bool crossfade) {
  if (crossfade) HoldCrossfade();
  FrameDeltaMs = 16.0f;
  BeginFrame();
  CurrentApplication->Render();
  EndFrame();
  PresentFrame();
}

void Prepare(benchmark::State& state, int32_t scene, bool crossfade, int width, int height) {
  if (!Open(width, height)) {
    state.SkipWithError("no OpenGL 3.3 device");
    return;
  }
  ShowScene(scene);
  // Uploads, shader compilation and a sky of spray puffs before anything is timed.
  const int warmUp = QuickRun() ? 2 : 120;
  for (int i = 0; i < warmUp; ++i) Frame(crossfade);
  saver->Gl()->Finish();
  state.SetLabel(std::string("scene ") + std::to_string(scene) + (crossfade ? " crossfade" : " plain") + " " +
                 std::to_string(width) + "x" + std::to_string(height));
}

void BM_GlFrame(benchmark::State& state) {
  const auto scene = static_cast<int32_t>(state.range(0));
  const bool crossfade = state.range(1) != 0;
  const bool large = state.range(2) != 0;
  Prepare(state, scene, crossfade, large ? 1920 : 800, large ? 1080 : 600);
  if (saver == nullptr || saver->Gl() == nullptr) return;
  GlDevice* gl = saver->Gl();
  for (auto _ : state) {
    Frame(crossfade);
    gl->Finish();
  }
}

void BM_GlFrameLayers(benchmark::State& state) {
  const auto scene = static_cast<int32_t>(state.range(0));
  const bool crossfade = state.range(1) != 0;
  Prepare(state, scene, crossfade, 800, 600);
  if (saver == nullptr || saver->Gl() == nullptr) return;
  LayerTimer timer(saver->Gl());
  GraphicsDevice* real = Device;
  Device = &timer;
  for (auto _ : state) Frame(crossfade);
  Device = real;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    state.counters[std::string(kLayerNames[layer]) + "_ms"] =
        benchmark::Counter(timer.seconds[static_cast<size_t>(layer)] * 1e3, benchmark::Counter::kAvgIterations);
  }
}

// What one pass over the whole 800 x 600 picture costs, by the work its pixels need: the
// floor under any frame that must touch every pixel once or more.
// DepthTested is the bilinear pass again, with every pixel passing a depth test first: what
// hiding pixels through the depth buffer adds to each pixel that is still drawn.
enum PassKind { Untextured, PointSampled, Bilinear, DepthTested, BlendedPicture, PresentOnly, kPassKinds };
constexpr const char* kPassNames[kPassKinds] = {"untextured opaque", "picture, point sampled, opaque",
                                                "picture, bilinear, opaque", "picture, bilinear, depth tested",
                                                "picture, point sampled, blended", "present (blit and swap)"};

void BM_FullScreenPass(benchmark::State& state) {
  const auto kind = static_cast<PassKind>(state.range(0));
  Prepare(state, 0, false, 800, 600);
  if (saver == nullptr || saver->Gl() == nullptr) return;
  GlDevice* gl = saver->Gl();
  SetSaverFrameStates();
  DisableFeature(AlphaTest);
  DisableFeature(AlphaBlend);
  if (kind == BlendedPicture) {
    EnableFeature(AlphaTest);
    EnableFeature(AlphaBlend);
  }
  if (kind == Bilinear || kind == DepthTested) EnableFeature(LinearFiltering);
  else DisableFeature(LinearFiltering);
  if (kind == DepthTested) {
    Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    EnableFeature(DepthTest);
  }
  BindTexture(kind == Untextured ? nullptr : currentBackground);
  for (auto _ : state) {
    if (kind == PresentOnly) {
      gl->Present();
    } else {
      DrawScreenRect(0.0f, 0.0f, 800.0f, 600.0f, 0.0f, 0.0f, 0.78125f, 0.5859375f, 0xFFFFFFFFu);
    }
    gl->Finish();
  }
  DisableFeature(DepthTest);
  EnableFeature(LinearFiltering);
  state.SetLabel(kPassNames[kind]);
}

void Scenes(benchmark::internal::Benchmark* b, bool windows) {
  for (int large = 0; large < (windows ? 2 : 1); ++large) {
    for (int crossfade = 0; crossfade < 2; ++crossfade) {
      for (int scene = 0; scene < kBundledScenes; ++scene) {
        if (windows) b->Args({scene, crossfade, large});
        else b->Args({scene, crossfade});
      }
    }
  }
  b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
}

BENCHMARK(BM_GlFrameLayers)->Apply([](benchmark::internal::Benchmark* b) { Scenes(b, false); })
    ->ArgNames({"scene", "crossfade"});
BENCHMARK(BM_FullScreenPass)->DenseRange(0, kPassKinds - 1)->ArgName("kind")
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_GlFrame)->Apply([](benchmark::internal::Benchmark* b) { Scenes(b, true); })
    ->ArgNames({"scene", "crossfade", "large"});

}  // namespace
}  // namespace qh::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete qh::bench::saver;
  return 0;
}
