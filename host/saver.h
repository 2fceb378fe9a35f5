// Saver mode once the main window exists: the square-root table, the device, the black
// start frame and the content; then one call per frame; then the saver's part of shutdown.
// The capture tool runs the same three steps without a display.
#pragma once

#include <cstdint>

struct SDL_Window;

namespace qh {

class Presentation;

// False when the run must end (the reason has been shown to the user).
// The window must have been created with SDL_WINDOW_OPENGL; the device presents into it.
bool StartSaverMode(SDL_Window* window);
// The window's picture cropped to cover it instead of letterboxed (one monitor only; a
// window over several keeps the picture letterboxed to each). Before StartSaverMode.
void SetWindowPictureCover(bool cover);
// The same for any presentation (which must outlive ShutdownSaverMode), whose picture
// is width x height for the perspective.
bool StartSaverMode(Presentation* presentation, int32_t width, int32_t height);
// Starts decoding the pictures LoadContent will load (the font's, the catalogue's, the first
// scene's background) on worker threads; StartSaverMode does it before making the device.
// After PrepareRun and the run's settings. LoadContent ends the workers.
void StartContentDecodeAhead();
// Seeds the random generators from the clock, then loads everything the scene needs.
// Ends the process itself when content is missing; otherwise reports success.
bool LoadContent();
// One frame: begin, the application's Render, end, present (with device-loss recovery),
// frame timing, AfterFrame.
void RenderFrame();
// A frame nobody can see: the engine runs (scene clock, scene changes, sounds) but the
// device draws nothing and nothing is presented.
void TickFrame();
// GL_RENDERER of the saver's device; empty without one.
const char* DeviceRendererName();
// Releases the textures and the device and stops the sound. Safe to call when
// StartSaverMode failed.
void ShutdownSaverMode();

}  // namespace qh
