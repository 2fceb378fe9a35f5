// Where the OpenGL device shows its picture: the one context it draws with and the surfaces
// each frame is presented on. The host implements it over an SDL window or over a Wayland
// compositor's output surfaces, so this floor needs no window system of its own.
#pragma once
#include <cstdint>
#include <vector>

#include "render/d3d_types.h"
#include "render/letterbox.h"

namespace qh {

// Looks an OpenGL entry point up by name in the current context; nullptr when it has none.
using GlProcLoader = void* (*)(const char* name);

// One drawable the picture is presented on: a window, or one output's surface.
class PresentationSurface {
 public:
  virtual ~PresentationSurface() = default;
  // Makes the device's context current on this surface; false when it cannot be.
  virtual bool MakeCurrent() = 0;
  // The surface's size in pixels, its scale factor applied.
  virtual void PixelSize(int32_t* width, int32_t* height) const = 0;
  // Where the picture goes, in the surface's pixels from the top-left; an area may reach
  // past the edges (cropped to cover). Empty: letterboxed into the whole surface.
  virtual const std::vector<PixelRect>& PictureAreas() const = 0;
  // Shows what was drawn since the last swap.
  virtual void Swap() = 0;
};

// What device loss is told from: whether the picture is hidden, and the display it is on
// with that display's desktop size (hasDesktop false when that is unknown).
struct PresentationStatus {
  bool hidden = false;
  int32_t display = 0;
  bool hasDesktop = false;
  int32_t desktopWidth = 0, desktopHeight = 0;
};

class Presentation {
 public:
  virtual ~Presentation() = default;
  // Makes the OpenGL 3.3 core context; false with the reason on stderr.
  virtual bool CreateContext() = 0;
  virtual void DestroyContext() = 0;
  virtual GlProcLoader Loader() const = 0;
  // Makes the context current for drawing into the back buffer.
  virtual void MakeContextCurrent() = 0;
  // 0: swaps do not wait for the display; 1: they wait for its refresh.
  virtual void SetSwapInterval(int32_t interval) = 0;
  virtual PresentationStatus Status() const = 0;
  // The full-screen modes of the display, for the adapter.
  virtual std::vector<D3DDISPLAYMODE> DisplayModes() const = 0;
  // The surfaces the coming Present shows the frame on, in order. Surface 0, when there
  // is one, is the one ReadWindow reads.
  virtual size_t SurfaceCount() const = 0;
  virtual PresentationSurface* Surface(size_t index) = 0;
};

}  // namespace qh
