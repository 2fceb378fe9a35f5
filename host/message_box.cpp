#include "host/message_box.h"

#include <SDL.h>

#include <cstdlib>

#include "core/fatal.h"

namespace qh {

namespace {
bool DisplayAvailable() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display != nullptr && display[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

void ShowMessageBox(const char* caption, const char* text) {
  if (DisplayAvailable()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}
}  // namespace

void InstallMessageBoxes() { SetMessagePresenter(ShowMessageBox); }

void SetMessageBoxesEnabled(bool enabled) { SetMessagePresenter(enabled ? ShowMessageBox : nullptr); }

}  // namespace qh
