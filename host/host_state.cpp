#include "host/host_state.h"

#include <cctype>
#include <cstdlib>

#include "host/clock.h"

namespace qh {

int32_t RunMode = Configure;
uint64_t ParentWindow = 0;
bool HasParentWindow = false;
std::string ProgramName;
int32_t WindowWidth = 0;
int32_t WindowHeight = 0;
int32_t Fullscreen = 0;
int32_t Prefer32Bit = 0;
int32_t VSync = 0;
std::string DataDirectory;
volatile int32_t QuitRequested = 0;
uint32_t LastFrameTime = 0;
uint32_t RawFrameDeltaMs = 0;
float FrameDeltaMs = 0.0f;
float SceneDelayMs = 0.0f;

namespace {
// Reads a decimal number like atol: digits from the first one, stopping at the first non-digit.
uint64_t ReadDecimal(const char* p) {
  uint64_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + static_cast<uint64_t>(*p - '0');
    ++p;
  }
  return value;
}

const char* FindDigit(const char* p) {
  while (*p != '\0' && !(*p >= '0' && *p <= '9')) ++p;
  return *p != '\0' ? p : nullptr;
}
}  // namespace

int32_t ParseCommandLine(const char* text) {
  if (text == nullptr) text = "";
  const char* p = text;
  std::string token;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') token.push_back(*p++);
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') token.push_back(*p++);
    if (*p != '\0') ++p;
  }
  // The file name without directory and extension.
  const size_t slash = token.find_last_of("/\\");
  std::string name = slash == std::string::npos ? token : token.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  ProgramName = name;

  while (*p != '\0' && *p != '/' && *p != '-') ++p;
  if (*p == '\0') return RunMode = Configure;
  const char letter = p[1];
  if (letter == 'c' || letter == 'C') {
    const char* digits = FindDigit(p + 2);
    HasParentWindow = digits != nullptr;
    ParentWindow = digits != nullptr ? ReadDecimal(digits) : 0;
    return RunMode = Configure;
  }
  if (letter == 'p' || letter == 'P') {
    const char* digits = FindDigit(p + 2);
    if (digits != nullptr) {
      HasParentWindow = true;
      ParentWindow = ReadDecimal(digits);
    }
    return RunMode = Preview;
  }
  return RunMode = Saver;
}

void MeasureFrameTime() {
  CurrentClock().FrameEnded();
  const uint32_t now = CurrentClock().NowMs();
  RawFrameDeltaMs = now - LastFrameTime;  // unsigned: a wrap of the counter still gives the true step
  LastFrameTime = now;
  FrameDeltaMs = static_cast<float>(RawFrameDeltaMs);
}

void RestartFrameTiming() {
  LastFrameTime = CurrentClock().NowMs();
  FrameDeltaMs = 0.0f;
  RawFrameDeltaMs = 0;
}

void SetSceneDelay(int32_t sceneDelayChoice) {
  static const float kDelays[7] = {30000.0f, 60000.0f, 120000.0f, 180000.0f, 300000.0f, 600000.0f, 600000000.0f};
  if (sceneDelayChoice >= 0 && sceneDelayChoice < 7) SceneDelayMs = kDelays[sceneDelayChoice];
}

}  // namespace qh
