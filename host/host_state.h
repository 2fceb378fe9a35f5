// Process-wide state of the host: the run mode, the window geometry, the data directory
// and the quit flag. Written by the host (start-up, main loop, event handling); the frame
// timing the animations read lives in core/frame_timing.h.
#pragma once
#include <cstdint>
#include <string>

#include "core/frame_timing.h"

namespace qh {

enum RunModeValue : int32_t { Configure = 0, Preview = 1, Saver = 2 };

extern int32_t RunMode;
extern uint64_t ParentWindow;      // an X11 window id; meaningful only when HasParentWindow
extern bool HasParentWindow;
// The window number was written with a minus sign ("/p -1", "/c:-1"): no window has one, so
// the host refuses it. ParentWindow then holds the number without its sign.
extern bool NegativeParentWindow;
extern std::string ProgramName;
extern int32_t WindowWidth;
extern int32_t WindowHeight;
extern int32_t Fullscreen;
extern int32_t Prefer32Bit;
extern int32_t VSync;
extern std::string DataDirectory;  // installDir + "/Data/"
extern volatile int32_t QuitRequested;
// Saver mode drawing into a screensaver daemon's window (-root, -window-id ParentWindow):
// the daemon owns that window, the keyboard, the mouse and the cursor, and ends the run.
extern bool DaemonWindow;

// Reads the command line (the whole text, program path first) into RunMode,
// ParentWindow and ProgramName, and returns the mode.
int32_t ParseCommandLine(const char* text);

}  // namespace qh
