// Resident memory of a long run: the saver's start-up and frames headless, as the capture
// tool runs them, with 100 ms frames so the scene changes (every half minute, six seconds
// each) go round many times. Reads /proc/self/status after the start-up, after frame 100
// and at the end: VmRSS (resident now) and VmHWM (the peak so far). Run it in a process of
// its own, as scripts/bench.sh does: the peak belongs to the whole process.
// QH_BENCH_FRAMES sets the length of the run (10,000 frames unless given).
// Whenever the resident memory after a frame is the highest yet, /proc/self/smaps is read
// and its resident pages booked by kind (the peak_* counters): the graphics driver's
// libraries (libLLVM, the Mesa driver) and every other mapped file, the heap, the other
// anonymous memory (large blocks, textures, thread stacks and arenas).
// At the same point the allocator's own account is taken (peak_malloc_*: in use, freed but
// kept, in mappings of their own), and peak_frame names the frame that last raised VmHWM.
// QH_BENCH_SMAPS=FILE also copies /proc/self/smaps there at every new highest point, so the
// mappings behind the peak can be read one by one afterwards.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_support.h"

namespace qh::bench {
namespace {

uint32_t RunFrames() {
  const char* text = std::getenv("QH_BENCH_FRAMES");
  const long frames = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return frames >= 100 ? static_cast<uint32_t>(frames) : 10000u;
}

struct MemoryKinds {
  double llvm = 0, driver = 0, otherFiles = 0, heap = 0, anonymous = 0, total = 0;
  double librariesWritten = 0;  // pages of mapped files written to (relocations, data): private
  // The allocator's own account: blocks in use in its heaps and arenas, blocks freed there but
  // kept (resident when once touched), and blocks in mappings of their own.
  double heapInUse = 0, heapFree = 0, mapped = 0;
};

// "start-end perms offset dev inode   path": the first word is two hex numbers and a dash;
// the lines of a mapping's figures start with a name and a colon instead.
bool IsMappingLine(const char* line) {
  const char* c = line;
  while (std::isxdigit(static_cast<unsigned char>(*c))) ++c;
  return c != line && *c == '-';
}

std::string MappingPath(const char* line) {
  int fields = 0;
  const char* c = line;
  while (*c != '\0' && fields < 5) {
    if (*c == ' ') {
      ++fields;
      while (*c == ' ') ++c;
    } else {
      ++c;
    }
  }
  std::string path = fields == 5 ? std::string(c) : std::string();
  while (!path.empty() && (path.back() == '\n' || path.back() == ' ')) path.pop_back();
  return path;
}

// Resident kilobytes of every mapping of /proc/self/smaps, booked by what the mapping is.
MemoryKinds ReadMemoryKinds() {
  MemoryKinds kinds;
  FILE* f = std::fopen("/proc/self/smaps", "r");
  if (f == nullptr) return kinds;
  char line[512];
  std::string name;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (IsMappingLine(line)) {
      name = MappingPath(line);
      continue;
    }
    if (std::strncmp(line, "Private_Dirty:", 14) == 0 && !name.empty() && name[0] == '/') {
      kinds.librariesWritten += static_cast<double>(std::strtol(line + 14, nullptr, 10)) / 1024.0;
    }
    if (std::strncmp(line, "Rss:", 4) != 0) continue;
    const double mb = static_cast<double>(std::strtol(line + 4, nullptr, 10)) / 1024.0;
    kinds.total += mb;
    if (name.find("libLLVM") != std::string::npos) kinds.llvm += mb;
    else if (name.find("dri/") != std::string::npos || name.find("libgallium") != std::string::npos ||
             name.find("libglapi") != std::string::npos)
      kinds.driver += mb;
    else if (name == "[heap]") kinds.heap += mb;
    else if (!name.empty() && name[0] == '/') kinds.otherFiles += mb;
    else kinds.anonymous += mb;
  }
  std::fclose(f);
  const struct mallinfo2 info = mallinfo2();
  kinds.heapInUse = static_cast<double>(info.uordblks) / (1024.0 * 1024.0);
  kinds.heapFree = static_cast<double>(info.fordblks) / (1024.0 * 1024.0);
  kinds.mapped = static_cast<double>(info.hblkhd) / (1024.0 * 1024.0);
  return kinds;
}

// A copy of /proc/self/smaps as it is now, block by block through a buffer on the stack.
void CopySmaps(const char* path) {
  FILE* in = std::fopen("/proc/self/smaps", "r");
  FILE* out = in != nullptr ? std::fopen(path, "w") : nullptr;
  if (out != nullptr) {
    char block[16384];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) std::fwrite(block, 1, n, out);
    std::fclose(out);
  }
  if (in != nullptr) std::fclose(in);
}

void BM_MemoryOverALongRun(benchmark::State& state) {
  const uint32_t frames = RunFrames();
  const double kMb = 1.0 / 1024.0;
  const char* smapsCopy = std::getenv("QH_BENCH_SMAPS");
  for (auto _ : state) {
    HeadlessSaver saver(100);
    if (!saver.Start()) {
      state.SkipWithError("no OpenGL 3.3 device");
      return;
    }
    state.counters["rss_start_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) * kMb;
    long highest = 0, hwm = 0;
    uint32_t hwmFrame = 0;  // the frame in which the peak (VmHWM) was last raised
    MemoryKinds atPeak;
    for (uint32_t frame = 1; frame <= frames; ++frame) {
      RenderFrame();
      const long rss = StatusKilobytes("VmRSS");
      const long hwmNow = StatusKilobytes("VmHWM");
      if (hwmNow > hwm) {
        hwm = hwmNow;
        hwmFrame = frame;
      }
      if (rss > highest) {
        highest = rss;
        atPeak = ReadMemoryKinds();
        if (smapsCopy != nullptr) CopySmaps(smapsCopy);
      }
      if (frame == 100) {
        state.counters["rss_100_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) * kMb;
        state.counters["peak_100_MB"] = static_cast<double>(StatusKilobytes("VmHWM")) * kMb;
      }
    }
    state.counters["rss_end_MB"] = static_cast<double>(StatusKilobytes("VmRSS")) * kMb;
    state.counters["peak_end_MB"] = static_cast<double>(StatusKilobytes("VmHWM")) * kMb;
    state.counters["frames"] = frames;
    state.counters["peak_frame"] = hwmFrame;
    state.counters["peak_llvm_MB"] = atPeak.llvm;
    state.counters["peak_driver_lib_MB"] = atPeak.driver;
    state.counters["peak_other_files_MB"] = atPeak.otherFiles;
    state.counters["peak_heap_MB"] = atPeak.heap;
    state.counters["peak_anon_MB"] = atPeak.anonymous;
    state.counters["peak_sampled_MB"] = atPeak.total;
    state.counters["peak_files_written_MB"] = atPeak.librariesWritten;
    state.counters["peak_malloc_used_MB"] = atPeak.heapInUse;
    state.counters["peak_malloc_free_MB"] = atPeak.heapFree;
    state.counters["peak_malloc_mapped_MB"] = atPeak.mapped;
    saver.Stop();
  }
}

BENCHMARK(BM_MemoryOverALongRun)->Iterations(1)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
}  // namespace qh::bench

BENCHMARK_MAIN();
