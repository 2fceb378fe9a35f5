#include "host/message_box.h"

#include <SDL.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>

#include "core/fatal.h"

namespace qh {

volatile sig_atomic_t MessageBoxOnScreen = 0;

namespace {
pid_t boxOwner = 0;

bool DisplayAvailable() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display != nullptr && display[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// Runs in every child forked while a box is being shown, which is the process SDL shows the
// box from: it is killed when we end, even by SIGKILL, so no box outlives the program.
void TieChildToUs() {
  if (MessageBoxOnScreen == 0) return;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != boxOwner) _exit(1);  // we ended before the tie was made
}

void ShowMessageBox(const char* caption, const char* text) {
  if (!DisplayAvailable()) return;
  static const bool tied = pthread_atfork(nullptr, nullptr, TieChildToUs) == 0;
  (void)tied;
  boxOwner = getpid();
  MessageBoxOnScreen = 1;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
  MessageBoxOnScreen = 0;
}
}  // namespace

void InstallMessageBoxes() { SetMessagePresenter(ShowMessageBox); }

void SetMessageBoxesEnabled(bool enabled) { SetMessagePresenter(enabled ? ShowMessageBox : nullptr); }

}  // namespace qh
