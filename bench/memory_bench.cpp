// Resident memory of a long run: the saver's start-up and frames headless, as the capture
// tool runs them, with 100 ms frames so the scene changes (every half minute, six seconds
// each) go round many times. Reads /proc/self/status after the start-up, after frame 100
// and at the end: VmRSS (resident now) and VmHWM (the peak so far). Run it in a process of
// its own, as scripts/bench.sh does: the peak belongs to the whole process.
// QH_BENCH_FRAMES sets the length of the run (10,000 frames unless given).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/bench_support.h"

namespace qh::bench {
namespace {

uint32_t RunFrames() {
  const char* text = std::getenv("QH_BENCH_FRAMES");
  const long frames = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return frames >= 100 ? static_cast<uint32_t>(frames) : 10000u;
}

void BM_MemoryOverALongRun(benchmark::State& state) {
  const uint32_t frames = RunFrames();
  const double kMb = 1.0 / 1024.0;
  for (auto _ : state) {
    HeadlessSaver saver(100);
    if (!saver.Start()) {
      state.SkipWithError("no OpenGL 3.3 device");
      return;
    }
    state.counters["rss_start_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) * kMb;
    for (uint32_t frame = 1; frame <= frames; ++frame) {
      RenderFrame();
      if (frame == 100) {
        state.counters["rss_100_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) * kMb;
        state.counters["peak_100_MB"] = static_cast<double>(StatusKilobytes("VmHWM")) * kMb;
      }
    }
    state.counters["rss_end_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) * kMb;
    state.counters["peak_end_MB"] = static_cast<double>(StatusKilobytes("VmHWM")) * kMb;
    state.counters["frames"] = frames;
    saver.Stop();
  }
}

BENCHMARK(BM_MemoryOverALongRun)->Iterations(1)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
}  // namespace qh::bench

BENCHMARK_MAIN();
