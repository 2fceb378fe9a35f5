// The entry point: the run mode from the command line, the settings, the window, the
// main loop, and a shutdown that always saves the settings, in this order.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/events.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/message_box.h"
#include "host/options.h"
#include "host/saver.h"
#include "host/sdl_clock.h"
#include "host/sound_lock.h"
#include "host/startup.h"
#include "host/window.h"
#include "resources/settings.h"
#include "sound/mixer_audio.h"
#include "ui/hyperlink.h"
#include "ui/settings_dialog.h"

namespace {
// The switches left after the long options, as one text with the program's path first
// (quoted when it has blanks), the way the screensaver switches have always been read.
std::string JoinCommandLine(const char* argv0, const std::vector<std::string>& switches) {
  std::string text;
  const std::string program = argv0 != nullptr ? argv0 : "quiet-highland";
  if (program.find_first_of(" \t") != std::string::npos) {
    text = "\"" + program + "\"";
  } else {
    text = program;
  }
  for (const std::string& item : switches) {
    text += ' ';
    text += item;
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

// The long options first; the rest goes to the switch rule. Returns an exit code when the
// run ends here (help, a bad option), -1 to go on.
int ReadCommandLine(int argc, char** argv, qh::ProgramOptions* options) {
  using namespace qh;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  *options = ParseProgramOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
  switch (options->outcome) {
    case ProgramOptions::ShowHelp:
      std::fputs(kProgramUsage, stdout);
      return 0;
    case ProgramOptions::BadUsage:
      std::fprintf(stderr, "quiet-highland: %s\nTry 'quiet-highland --help' for the options.\n", options->error.c_str());
      return 2;
    case ProgramOptions::BadEnvironment:
      std::fprintf(stderr, "quiet-highland: %s\n", options->error.c_str());
      return 1;
    case ProgramOptions::Run:
      break;
  }
  ParseCommandLine(JoinCommandLine(argc > 0 ? argv[0] : nullptr, options->switches).c_str());
  if (options->drawing != HostDrawing::None) {
    // A daemon's window: the saver's picture, input left to the daemon, and nobody may be
    // there to press OK on a message box.
    RunMode = Saver;
    DaemonWindow = true;
    HasParentWindow = true;
    ParentWindow = options->windowId;  // 0: the root window
    SetMessageBoxesEnabled(false);
  }
  return -1;
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
  ProgramOptions options;
  const int early = ReadCommandLine(argc, argv, &options);
  if (early >= 0) return early;
  if (RunMode == Configure) {
    CompleteSettingsKeyPath();
    RegisterHyperlinkClass();
    LoadSettings();  // links.txt must exist even for the dialog
    return RunConfigureMode();
  }
  PrepareRun();
  std::string badSetting;
  if (!ApplyRunSettings(options.overrides, &badSetting)) {
    std::fprintf(stderr, "quiet-highland: %s\n", badSetting.c_str());
    return 2;
  }

  InstallQuitSignalHandlers();
  SetEndAtOnceOnQuitSignal(DaemonWindow);  // until the loop runs: loading may take seconds
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
    // Daemons start one saver per monitor: only the holder of the per-user sound lock opens
    // the default sound device, so the sound plays once. Without a device, or without the
    // lock, the saver runs silently.
    if (TakeSoundLock()) InstallAudio(SdlAudio());
    if (!StartSaverMode(MainWindow)) {  // the device has shown why
      Shutdown();
      SDL_Quit();
      return 1;
    }
    if (!DaemonWindow) {
      SDL_ShowWindow(MainWindow);
      SDL_RaiseWindow(MainWindow);
    }
  }

  SetEndAtOnceOnQuitSignal(false);
  if (RunMode == Preview) {
    RunPreviewLoop();
  } else {
    RunSaverLoop(options.maxFps);
  }

  if (DaemonWindow) {
    // The daemon wants the run gone within a second of its SIGTERM: save the settings and
    // leave the rest (the software renderer's teardown takes longest) to the process's end.
    SaveRunSettings();
    std::fflush(nullptr);
    std::_Exit(0);
  }
  Shutdown();
  SaveRunSettings();
  SDL_Quit();
  return 0;
}
