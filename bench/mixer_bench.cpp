// The mixer's cost: one device buffer (1024 frames, 23.2 ms at 44100 Hz) with the bundled
// music stream and eight samples playing, decoding included; decoding the bundled samples
// as the start-up does; and the heap that sound takes beyond the decoded samples.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/mixer_audio.h"
#include "sound/offline_output.h"
#include "sound/sample_decode.h"

namespace {

const std::string kData = QH_CONTENT_DIR "/Data";

std::vector<std::string> BundledSamples() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kData + "/Sounds")) {
    if (entry.path().extension() == ".ogg") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_MixMusicAndEightSamples(benchmark::State& state) {
  qh::OfflineOutput output;
  qh::MixerAudio audio(&output);
  audio.Init(-1, 44100, 32);
  audio.Start();
  audio.SetGlobalVolumes(80, 80, -1);
  const std::vector<std::string> files = BundledSamples();
  std::vector<qh::AudioHandle> samples;
  for (const std::string& file : files) samples.push_back(audio.SampleLoad(file.c_str(), 255, 0));
  const qh::AudioHandle music = audio.StreamCreateFile((kData + "/music.ogg").c_str(), qh::kAudioLoop);
  audio.ChannelSetAttributes(music, -1, 80, -101);
  audio.StreamPlay(music, false, qh::kAudioLoop);
  for (int i = 0; i < 8; ++i) {  // looping, so all eight sound throughout
    audio.SamplePlayEx(samples[size_t(i) % samples.size()], 0, 44100, -1, -101, true);
  }
  std::vector<int16_t> buffer(2 * 1024);
  for (auto _ : state) {
    audio.mixer().DecodeAhead();
    audio.mixer().Mix(buffer.data(), 1024);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * 1024);
  // Share of one core: CPU time per buffer / the buffer's 23.22 ms of sound (printed as
  // a fraction, e.g. 2.3m = 0.0023 = 0.23 %).
  state.counters["core_share"] = benchmark::Counter(1024.0 / 44100.0, benchmark::Counter::kIsIterationInvariantRate |
                                                                          benchmark::Counter::kInvert);
  audio.Free();
}
BENCHMARK(BM_MixMusicAndEightSamples)->Unit(benchmark::kMicrosecond);

void BM_DecodeBundledSamples(benchmark::State& state) {
  const std::vector<std::string> files = BundledSamples();
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (const std::string& file : files) {
      std::vector<float> frames;
      std::string why;
      qh::DecodeOggSample(file.c_str(), &frames, &why);
      bytes += frames.size() * sizeof(float);
    }
  }
  state.counters["decoded_MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_DecodeBundledSamples)->Unit(benchmark::kMillisecond);

// Heap in use once everything is loaded and playing, less the decoded samples themselves.
void BM_SoundMemory(benchmark::State& state) {
  for (auto _ : state) {
    const size_t before = HeapInUse();
    qh::OfflineOutput output;
    auto audio = std::make_unique<qh::MixerAudio>(&output);
    audio->Init(-1, 44100, 32);
    audio->Start();
    size_t sampleBytes = 0;
    for (const std::string& file : BundledSamples()) {
      std::vector<float> frames;
      std::string why;
      qh::DecodeOggSample(file.c_str(), &frames, &why);
      sampleBytes += frames.size() * sizeof(int16_t);  // as the mixer holds them, in 16 bits
      audio->SampleLoadFrames(std::move(frames), 255);
    }
    const qh::AudioHandle music = audio->StreamCreateFile((kData + "/music.ogg").c_str(), qh::kAudioLoop);
    audio->StreamPlay(music, false, qh::kAudioLoop);
    output.Render(44100);
    const size_t pcmBytes = output.pcm.capacity() * sizeof(int16_t);  // the offline output's own memory
    const size_t after = HeapInUse();
    state.counters["samples_MB"] = double(sampleBytes) / 1e6;
    state.counters["beyond_samples_MB"] = (double(after - before) - double(sampleBytes) - double(pcmBytes)) / 1e6;
    audio->Free();
  }
}
BENCHMARK(BM_SoundMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
