// The engine's own CPU per frame, without any graphics work: each bundled scene's frame
// (director, behaviours, spray, leaves, clock) drawn into a device that draws nothing.
// "quiet" keeps only the last state of everything; "recorded" is the tests' recording
// device, which also copies every call and vertex (cleared each frame, inside the timing).
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_support.h"
#include "core/math.h"
#include "render/device_setup.h"
#include "tests/support/recording_device.h"

namespace qh::bench {
namespace {

// The recording device's plain-memory textures and adapter, without its records.
class QuietDevice : public RecordingDevice {
 public:
  HRESULT SetRenderState(uint32_t, uint32_t) override { return D3D_OK; }
  HRESULT SetTextureStageState(uint32_t, uint32_t, uint32_t) override { return D3D_OK; }
  HRESULT SetTransform(uint32_t type, const Matrix4& matrix) override {
    if (type == D3DTS_WORLD) world = matrix;
    else if (type == D3DTS_VIEW) view = matrix;
    else if (type == D3DTS_PROJECTION) projection = matrix;
    return D3D_OK;
  }
  HRESULT SetTexture(uint32_t, Texture* texture) override {
    boundTexture = texture;
    return D3D_OK;
  }
  HRESULT SetStreamSource(uint32_t, const void*, uint32_t) override { return D3D_OK; }
  HRESULT SetVertexShader(uint32_t) override { return D3D_OK; }
  HRESULT DrawPrimitiveUP(uint32_t, uint32_t count, const void* vertices, uint32_t) override {
    benchmark::DoNotOptimize(vertices);
    primitives += count;
    return D3D_OK;
  }
  uint64_t primitives = 0;
};

class QuietAdapter : public RecordingAdapter {
 public:
  std::unique_ptr<GraphicsDevice> CreateDevice(D3DPRESENT_PARAMETERS*) override {
    return std::make_unique<QuietDevice>();
  }
};

enum class Kind { Plain, Crossfade };

// The bundled content loaded once per process onto a device of the given kind.
void Load(bool quiet) {
  static int loaded = -1;
  if (loaded == static_cast<int>(quiet)) return;
  if (loaded != -1) {
    ReleaseAllTextures();
    ResetSceneState();
    ReleaseAllFiles();
    ReleaseDevice();
  }
  SetMessageBoxesEnabled(false);
  UseInstallationSettingsOnly();
  static FixedStepClock clock(0, 16);
  InstallClock(&clock);
  FixLocalTimeOfDay(12 * 3600 + 34 * 60 + 56);
  RunMode = Saver;
  PrepareRun();
  std::unique_ptr<RecordingAdapter> adapter =
      quiet ? std::make_unique<QuietAdapter>() : std::make_unique<RecordingAdapter>();
  adapter->modes = {{800, 600, 60, D3DFMT_X8R8G8B8}};
  BuildSqrtTable();
  if (!InitDevice(std::move(adapter), nullptr, RunDeviceConfig())) std::abort();
  LoadContent();
  loaded = static_cast<int>(quiet);
}

void Frame(Kind kind) {
  if (kind == Kind::Crossfade) HoldCrossfade();
  BeginFrame();
  CurrentApplication->Render();
  EndFrame();
}

void EngineFrame(benchmark::State& state, bool quiet) {
  const auto scene = static_cast<int32_t>(state.range(0));
  const auto kind = static_cast<Kind>(state.range(1));
  Load(quiet);
  ShowScene(scene);
  FrameDeltaMs = 16.0f;
  // A running scene: spray puffs in the air, leaves swaying.
  const int warmUp = QuickRun() ? 2 : 300;
  for (int i = 0; i < warmUp; ++i) Frame(kind);
  auto* recording = quiet ? nullptr : dynamic_cast<RecordingDevice*>(Device);
  for (auto _ : state) {
    Frame(kind);
    if (recording != nullptr) recording->ClearRecord();
  }
  state.SetLabel(std::string("scene ") + std::to_string(scene) + (kind == Kind::Plain ? " plain" : " crossfade"));
}

void BM_EngineFrameQuiet(benchmark::State& state) { EngineFrame(state, true); }
void BM_EngineFrameRecorded(benchmark::State& state) { EngineFrame(state, false); }

void Scenes(benchmark::internal::Benchmark* b) {
  for (int kind = 0; kind < 2; ++kind) {
    for (int scene = 0; scene < kBundledScenes; ++scene) b->Args({scene, kind});
  }
  b->ArgNames({"scene", "crossfade"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_EngineFrameQuiet)->Apply(Scenes);
BENCHMARK(BM_EngineFrameRecorded)->Apply(Scenes);

}  // namespace
}  // namespace qh::bench

BENCHMARK_MAIN();
