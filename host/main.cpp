// The entry point: the run mode from the command line, the settings, the window, the
// main loop, and a shutdown that always saves the settings, in this order.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/events.h"
#include "host/frame_rate.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/message_box.h"
#include "host/options.h"
#include "host/saver.h"
#include "host/sdl_clock.h"
#include "host/sleep_notice.h"
#include "host/sound_lock.h"
#include "host/startup.h"
#include "host/wayland_host.h"
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
    case ProgramOptions::ShowVersion:
      std::printf("quiet-highland %s\n", kProgramVersion);
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
  if (options->wallpaper) RunMode = Saver;  // the saver's picture, whatever switch came with it
  if (HasParentWindow && NegativeParentWindow) {
    // Read without its sign it would name some other window, or the root.
    const auto number = static_cast<unsigned long long>(ParentWindow);
    if (RunMode == Preview) {
      std::fprintf(stderr, "Quiet Highland: -%llu is not a window number (they are never negative); no preview.\n",
                   number);
      return 1;
    }
    std::fprintf(stderr,
                 "Quiet Highland: -%llu is not a window number (they are never negative); the settings dialog "
                 "opens on its own.\n",
                 number);
    HasParentWindow = false;
    ParentWindow = 0;
  }
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

bool HasEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Where a run that is no daemon's draws on today's desktops. A Wayland compositor with the
// layer shell gets the saver over every output, or the wallpaper under the windows; without
// it the saver falls back to SDL's full-screen window. On X11 the wallpaper is the root
// window. Returns the exit code when the run ended here, -1 to go on with SDL's window.
int RunOnDesktop(const qh::ProgramOptions& options) {
  using namespace qh;
  if (HasEnv("WAYLAND_DISPLAY") && !HasEnv("DISPLAY") && (RunMode == Preview || DaemonWindow)) {
    std::fprintf(stderr,
                 "Quiet Highland: the preview (/p) and the daemons' windows (-root, -window-id) are X11 windows, "
                 "and this Wayland session has no X11 display.\n");
    return 1;
  }
  if (RunMode != Saver || DaemonWindow) return -1;
  switch (ConnectWaylandDesktop()) {
    case WaylandDesktop::LayerShell: {
      LayerSurfaceRun run;
      run.wallpaper = options.wallpaper;
      run.fit = DefaultFit(options.wallpaper);
      run.maxFps = options.maxFps;
      if (options.shape == PictureShape::Fit) run.fit = PictureFit::Letterbox;
      if (options.shape == PictureShape::Fill) run.fit = PictureFit::Cover;
      if (options.wallpaper) SetMessageBoxesEnabled(false);  // started by the session: stderr only
      UseSdlClock();
      if ((!options.wallpaper || options.sound) && TakeSoundLock()) InstallAudio(SdlAudio());
      const int code = RunOnLayerSurfaces(run);
      if (code == 0) SaveRunSettings();
      // The software renderer's teardown is the slowest part of an exit: the process's end
      // takes the surfaces, the device and the connection away.
      std::fflush(nullptr);
      std::_Exit(code);
    }
    case WaylandDesktop::NoLayerShell:
      if (options.wallpaper) {
        std::fprintf(stderr,
                     "Quiet Highland: this desktop offers no wallpaper layer (wlr-layer-shell); the wallpaper needs "
                     "sway, Hyprland, KDE Plasma or another compositor that has it.\n");
        return 1;
      }
      std::fprintf(stderr,
                   "Quiet Highland: this desktop offers no overlay layer (wlr-layer-shell); the saver covers one "
                   "output in a full-screen window instead.\n");
      return -1;
    case WaylandDesktop::None:
      break;
  }
  // X11: the wallpaper covers (cropped), the saver letterboxes, unless told otherwise.
  SetWindowPictureCover(options.shape == PictureShape::Fill ||
                        (options.wallpaper && options.shape == PictureShape::Default));
  if (options.wallpaper) {
    // X11: the classic wallpaper in the root window, input left alone, ended by a signal.
    DaemonWindow = true;
    HasParentWindow = true;
    ParentWindow = 0;
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

  LimitSoftwareRasteriserThreads(options.maxFps);
  InstallQuitSignalHandlers();
  const int desktop = RunOnDesktop(options);
  if (desktop >= 0) return desktop;
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

  // Before the content loads, so a suspend announced meanwhile ends the run at its first frame.
  ListenForSleep();
  if (RunMode == Preview) {
    LoadPreviewPicture();
  } else {
    // Daemons start one saver per monitor: only the holder of the per-user sound lock opens
    // the default sound device, so the sound plays once. Without a device, or without the
    // lock, the saver runs silently.
    if ((!options.wallpaper || options.sound) && TakeSoundLock()) InstallAudio(SdlAudio());
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
    ReleaseSleepDelay();
    std::fflush(nullptr);
    std::_Exit(0);
  }
  Shutdown();
  SaveRunSettings();
  ReleaseSleepDelay();  // the settings are on disk: the system may sleep
  SDL_Quit();
  return 0;
}
