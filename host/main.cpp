// The entry point: the run mode from the command line, the settings, the window, the
// main loop, and a shutdown that always saves the settings, in this order.
#include <SDL.h>

#include <cstdio>
#include <string>

#include "host/application.h"
#include "host/events.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/message_box.h"
#include "host/saver.h"
#include "host/sdl_clock.h"
#include "host/startup.h"
#include "host/window.h"
#include "resources/settings.h"
#include "sound/mixer_audio.h"

namespace {
// The command line as one text, the program's path first (quoted when it has blanks), the
// way the screensaver switches have always been read.
std::string JoinCommandLine(int argc, char** argv) {
  std::string text;
  const std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "quiet-highland";
  if (program.find_first_of(" \t") != std::string::npos) {
    text = "\"" + program + "\"";
  } else {
    text = program;
  }
  for (int i = 1; i < argc; ++i) {
    text += ' ';
    text += argv[i];
  }
  return text;
}

// Shutdown: the device and the sound, the window, the cursor, then the settings.
void Shutdown() {
  if (qh::RunMode == qh::Saver) qh::ShutdownSaverMode();
  qh::DestroyMainWindow();
  qh::FreePreviewPicture();
  SDL_ShowCursor(SDL_ENABLE);
}
}  // namespace

int main(int argc, char** argv) {
  using namespace qh;
  CurrentApplication = &TheSaverApplication;
  InstallMessageBoxes();
  ParseCommandLine(JoinCommandLine(argc, argv).c_str());
  if (RunMode == Configure) {
    CompleteSettingsKeyPath();
    LoadSettings();  // links.txt must exist even for the dialog
    // The settings dialog runs here; it saves the settings itself when closed with OK.
    return 0;
  }
  PrepareRun();

  InstallQuitSignalHandlers();
  PrepareVideo();
  // Before SDL's video starts: SDL keeps the handler it finds and hands errors on to it,
  // also after SDL_Quit has put it back, when late errors of a vanished preview window
  // may still arrive.
  CatchXErrors();
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "Quiet Highland: can't open the display: %s\n", SDL_GetError());
    return 1;
  }
  UseSdlClock();
  if (!CreateMainWindow()) {
    SDL_Quit();
    return 1;
  }

  if (RunMode == Preview) {
    LoadPreviewPicture();
  } else {
    InstallAudio(SdlAudio());  // the default sound device; without one the saver runs silently
    if (!StartSaverMode(MainWindow)) {  // the device has shown why
      Shutdown();
      SDL_Quit();
      return 1;
    }
    SDL_ShowWindow(MainWindow);
    SDL_RaiseWindow(MainWindow);
  }

  if (RunMode == Preview) {
    RunPreviewLoop();
  } else {
    RunSaverLoop();
  }

  Shutdown();
  SaveSettings();
  SDL_Quit();
  return 0;
}
