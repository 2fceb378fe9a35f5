// Saver mode once the main window exists: the square-root table, the device, the black
// start frame and the content; then one call per frame; then the saver's part of shutdown.
// The capture tool runs the same three steps without a display.
#pragma once

struct SDL_Window;

namespace qh {

// False when the run must end (the reason has been shown to the user).
// The window must have been created with SDL_WINDOW_OPENGL.
bool StartSaverMode(SDL_Window* window);
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
// The same frame for nobody to see: the engine moves on (scene clock, scene changes, sound
// requests, textures made) but nothing is drawn or presented.
void TickFrame();
// Releases the textures and the device and stops the sound. Safe to call when
// StartSaverMode failed.
void ShutdownSaverMode();

}  // namespace qh
