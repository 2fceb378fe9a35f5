// Every call becomes one line of text; answers come from what the test set.
#include "tests/support/recording_audio.h"

#include <string>

namespace qh {

namespace {
std::string Line(const char* name, std::initializer_list<std::string> args) {
  std::string line = std::string(name) + "(";
  bool first = true;
  for (const std::string& arg : args) {
    if (!first) line += ",";
    line += arg;
    first = false;
  }
  return line + ")";
}
std::string N(int64_t v) { return std::to_string(v); }
}  // namespace

std::vector<std::string> RecordingAudio::CallsTo(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : calls) {
    if (call.rfind(prefix, 0) == 0) out.push_back(call);
  }
  return out;
}

bool RecordingAudio::Init(int32_t device, uint32_t frequency, uint32_t flags) {
  calls.push_back(Line("Init", {N(device), N(frequency), N(flags)}));
  return initSucceeds;
}
bool RecordingAudio::Start() {
  calls.push_back("Start()");
  return true;
}
bool RecordingAudio::Stop() {
  calls.push_back("Stop()");
  return true;
}
void RecordingAudio::Free() { calls.push_back("Free()"); }
bool RecordingAudio::SetGlobalVolumes(int32_t music, int32_t sample, int32_t stream) {
  calls.push_back(Line("SetGlobalVolumes", {N(music), N(sample), N(stream)}));
  return true;
}
AudioHandle RecordingAudio::SampleLoad(const char* file, uint32_t maxPlaybacks, uint32_t flags) {
  calls.push_back(Line("SampleLoad", {file, N(maxPlaybacks), N(flags)}));
  if (unloadable.count(file) != 0) return 0;
  return nextSample_++;
}
AudioHandle RecordingAudio::StreamCreateFile(const char* file, uint32_t flags) {
  calls.push_back(Line("StreamCreateFile", {file, N(flags)}));
  return unloadable.count(file) != 0 ? 0 : 500;
}
AudioHandle RecordingAudio::MusicLoad(const char* file, uint32_t flags) {
  calls.push_back(Line("MusicLoad", {file, N(flags)}));
  return unloadable.count(file) != 0 ? 0 : 600;
}
bool RecordingAudio::MusicSetAmplify(AudioHandle music, uint32_t amplification) {
  calls.push_back(Line("MusicSetAmplify", {N(music), N(amplification)}));
  return music != 0;
}
bool RecordingAudio::ChannelSetAttributes(AudioHandle channel, int32_t frequency, int32_t volume, int32_t pan) {
  calls.push_back(Line("ChannelSetAttributes", {N(channel), N(frequency), N(volume), N(pan)}));
  return channel != 0;
}
bool RecordingAudio::MusicPlayEx(AudioHandle music, uint32_t order, uint32_t flags, bool reset) {
  calls.push_back(Line("MusicPlayEx", {N(music), N(order), N(flags), N(reset)}));
  return music != 0;
}
bool RecordingAudio::StreamPlay(AudioHandle stream, bool flush, uint32_t flags) {
  calls.push_back(Line("StreamPlay", {N(stream), N(flush), N(flags)}));
  return stream != 0;
}
AudioHandle RecordingAudio::SamplePlayEx(AudioHandle sample, uint32_t start, int32_t frequency, int32_t volume,
                                         int32_t pan, bool loop) {
  calls.push_back(Line("SamplePlayEx", {N(sample), N(start), N(frequency), N(volume), N(pan), N(loop)}));
  return sample != 0 ? nextChannel_++ : 0;
}
uint32_t RecordingAudio::ChannelIsActive(AudioHandle channel) {
  calls.push_back(Line("ChannelIsActive", {N(channel)}));
  const auto it = channelActive.find(channel);
  return it != channelActive.end() ? it->second : (channel != 0 ? 1 : 0);
}

}  // namespace qh
