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
#include "ui/hyperlink.h"
#include "ui/settings_dialog.h"

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

// Configure mode: the settings dialog, over the host's window when one is named and exists
// (asked on a connection of our own, so a wrong number is never an X error).
int RunConfigureMode() {
  unsigned long parent = 0;
  if (qh::HasParentWindow && qh::ParentWindow != 0) {
    qh::CatchXErrors();
    if (qh::HostWindowExists()) {
      parent = static_cast<unsigned long>(qh::ParentWindow);
    } else {
      std::fprintf(stderr, "Quiet Highland: there is no window %llu; the settings dialog opens on its own.\n",
                   static_cast<unsigned long long>(qh::ParentWindow));
    }
    qh::DestroyMainWindow();  // closes the connection the question was asked on
  }
  return qh::RunSettingsDialog(parent);  // it saves the settings itself when closed with OK
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
    RegisterHyperlinkClass();
    LoadSettings();  // links.txt must exist even for the dialog
    return RunConfigureMode();
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
