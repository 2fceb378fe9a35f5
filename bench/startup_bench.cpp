// Start-up to the first presented frame, headless, split into its steps: the settings, the
// window and device (with the black start frame; the pictures are decoded ahead meanwhile), the font, the catalogue's pictures
// (decoded), the level files, the first scene (its background decoded, its level parsed),
// the first frame (which uploads what it draws and builds the shaders it needs) and, for
// comparison, the second frame. Every step is timed in wall time and in process CPU time.
//
// BM_ProcessToFirstFrame runs the capture tool for one frame as a new process: what a user
// waits for, program loading and the graphics driver's own start included.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <ctime>

#include "bench/bench_support.h"
#include "core/math.h"
#include "overlay/clock.h"
#include "overlay/font.h"
#include "resources/decode_ahead.h"
#include "resources/settings.h"
#include "scene/catalogue.h"

namespace qh::bench {
namespace {

enum Step { StepSettings, StepWindowDevice, StepFont, StepTextures, StepLevels, StepFirstScene, StepFirstFrame, StepSecondFrame, kStepCount };
constexpr const char* kStepNames[kStepCount] = {"settings", "window_device", "font",        "textures",
                                                "levels",   "first_scene",   "first_frame", "second_frame"};

struct StepTimer {
  std::array<double, kStepCount> wall{}, cpu{};
  double wallMark = 0.0, cpuMark = 0.0;
  void Start() {
    wallMark = WallSeconds();
    cpuMark = ProcessCpuSeconds();
  }
  void Book(Step step) {
    const double wallNow = WallSeconds(), cpuNow = ProcessCpuSeconds();
    wall[step] += wallNow - wallMark;
    cpu[step] += cpuNow - cpuMark;
    wallMark = wallNow;
    cpuMark = cpuNow;
  }
};

// One frame as the saver draws it, waited for.
void DrawFrame(HeadlessSaver& saver) {
  RenderFrame();
  if (GlDevice* gl = saver.Gl()) gl->Finish();
}

void BM_StartupSteps(benchmark::State& state) {
  StepTimer timer;
  for (auto _ : state) {
    HeadlessSaver saver;
    timer.Start();
    saver.PrepareSettings();
    timer.Book(StepSettings);
    if (!saver.OpenDevice()) {
      state.SkipWithError("no OpenGL 3.3 device");
      return;
    }
    timer.Book(StepWindowDevice);
    // LoadContent's steps in its order (host/saver.cpp).
    std::srand(CurrentClock().NowMs());
    SeedSceneRandom(CurrentClock().NowMs());
    LoadFont("font");
    StartClockLocale();
    timer.Book(StepFont);
    sceneCursor = Settings.startScene;
    SetSceneDelay(Settings.sceneDelayChoice);
    LoadCatalogue();
    timer.Book(StepTextures);
    PreloadScenes();  // the catalogue again (every picture is found registered) and the level files
    timer.Book(StepLevels);
    ShowFirstScene();
    FinishDecodeAhead();
    CurrentApplication = &TheSaverApplication;
    LastFrameTime = CurrentClock().NowMs();
    timer.Book(StepFirstScene);
    DrawFrame(saver);
    timer.Book(StepFirstFrame);
    DrawFrame(saver);
    timer.Book(StepSecondFrame);
    state.PauseTiming();
    saver.Stop();
    state.ResumeTiming();
  }
  for (int step = 0; step < kStepCount; ++step) {
    state.counters[std::string(kStepNames[step]) + "_ms"] =
        benchmark::Counter(timer.wall[static_cast<size_t>(step)] * 1e3, benchmark::Counter::kAvgIterations);
    state.counters[std::string(kStepNames[step]) + "_cpu_ms"] =
        benchmark::Counter(timer.cpu[static_cast<size_t>(step)] * 1e3, benchmark::Counter::kAvgIterations);
  }
}

// The saver's own LoadContent in one piece, to check that the steps above add up to it.
void BM_LoadContent(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    HeadlessSaver saver;
    saver.PrepareSettings();
    if (!saver.OpenDevice()) {
      state.SkipWithError("no OpenGL 3.3 device");
      return;
    }
    state.ResumeTiming();
    LoadContent();
    state.PauseTiming();
    saver.Stop();
    state.ResumeTiming();
  }
}

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void BM_ProcessToFirstFrame(benchmark::State& state) {
  UseInstallationSettingsOnly();
  double cpu = 0.0;
  for (auto _ : state) {
    const double startWall = WallSeconds();
    const double startCpu = ChildrenCpuSeconds();
    const pid_t child = fork();
    if (child == 0) {
      execl(QH_CAPTURE_TOOL, QH_CAPTURE_TOOL, "--frames", "1", "--time", "12:34:56", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the capture tool did not draw its frame");
      return;
    }
    state.SetIterationTime(WallSeconds() - startWall);
    cpu += ChildrenCpuSeconds() - startCpu;
  }
  state.counters["process_cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_StartupSteps)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_LoadContent)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ProcessToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
}  // namespace qh::bench

BENCHMARK_MAIN();
