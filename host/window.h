// The main window. Saver: a borderless, always-on-top window covering the desktop at its
// own resolution, with an OpenGL 3.3 core context for the device, cursor hidden. Preview:
// the host's X11 window itself, into which "preview.bmp" is drawn. SDL must be initialised
// with its video subsystem.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <vector>

#include "render/letterbox.h"

namespace qh {

// The window the run draws into; nullptr before CreateMainWindow and after DestroyMainWindow.
extern SDL_Window* MainWindow;

// Hints and GL attributes that must be set before SDL's video starts or a window is made.
void PrepareVideo();
// Creates the Saver window or wraps the Preview host window (ParentWindow). On failure
// returns false after writing the reason on stderr.
bool CreateMainWindow();
// Saver: where the picture goes in the window when it spans several monitors (letterboxed
// to each); empty for one monitor and for every other window.
const std::vector<PixelRect>& MonitorPictureAreas();
// Destroys our window (the host's own preview window is left alone) and shows the cursor.
void DestroyMainWindow();

// Preview: loads "preview.bmp" from the current (data) folder; a missing picture leaves the
// window without one. PaintPreview draws it at its own size at the top-left corner.
void LoadPreviewPicture();
void PaintPreview();
void FreePreviewPicture();

// Preview: whether the host window still exists. Safe when it has gone: X errors are
// caught instead of ending the process.
bool HostWindowExists();
// Installs an X error handler that records errors instead of exiting (Xlib's default).
// Called before SDL's video starts: SDL passes errors on to the handler it found.
void CatchXErrors();

// The refresh rate of the display the window is on; 60 when unknown.
int32_t DisplayRefreshRate(SDL_Window* window);

}  // namespace qh
