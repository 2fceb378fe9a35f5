#include "host/fatal.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace qh {

namespace {
bool messageBoxes = true;

bool DisplayAvailable() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display != nullptr && display[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}
}  // namespace

void SetMessageBoxesEnabled(bool enabled) { messageBoxes = enabled; }

void ShowMessage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  if (messageBoxes && DisplayAvailable()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

void FatalError(const char* caption, const char* text) {
  ShowMessage(caption, text);
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace qh
