// Process-wide state of the host: the run mode, the window geometry, the data directory,
// the quit flag and the frame timing every animation reads. Written by the host
// (start-up, main loop, event handling); read everywhere else.
#pragma once
#include <cstdint>
#include <string>

namespace qh {

enum RunModeValue : int32_t { Configure = 0, Preview = 1, Saver = 2 };

extern int32_t RunMode;
extern uint64_t ParentWindow;      // an X11 window id; meaningful only when HasParentWindow
extern bool HasParentWindow;
extern std::string ProgramName;
extern int32_t WindowWidth;
extern int32_t WindowHeight;
extern int32_t Fullscreen;
extern int32_t Prefer32Bit;
extern int32_t VSync;
extern std::string DataDirectory;  // installDir + "/Data/"
extern volatile int32_t QuitRequested;
extern uint32_t LastFrameTime;
extern uint32_t RawFrameDeltaMs;
extern float FrameDeltaMs;
extern float SceneDelayMs;

// Reads the command line (the whole text, program path first) into RunMode,
// ParentWindow and ProgramName, and returns the mode.
int32_t ParseCommandLine(const char* text);

// Frame timing: the difference to the last timing point in unsigned 32-bit arithmetic,
// no clamp. MeasureFrameTime runs once per frame; RestartFrameTiming when the window
// becomes active (the next frame then measures 0).
void MeasureFrameTime();
void RestartFrameTiming();

// The scene delay for a settings choice (0..6); other values leave SceneDelayMs unchanged.
void SetSceneDelay(int32_t sceneDelayChoice);

}  // namespace qh
