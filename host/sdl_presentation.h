// The SDL window as the device's presentation: its own OpenGL context, SDL's loader, the
// window's drawable as the one surface, and the window's display for device loss.
#pragma once
#include <SDL.h>

#include <vector>

#include "render/presentation.h"

namespace qh {

class SdlWindowPresentation : public Presentation, public PresentationSurface {
 public:
  // The window must have been made with SDL_WINDOW_OPENGL and outlive this.
  explicit SdlWindowPresentation(SDL_Window* window) : window_(window) {}
  ~SdlWindowPresentation() override { DestroyContext(); }

  SDL_Window* Window() const { return window_; }
  // Where the picture goes in the window when it spans several monitors; none: letterboxed.
  void SetPictureAreas(std::vector<PixelRect> areas) { pictureAreas_ = std::move(areas); }
  // Without picture areas: the picture covers the whole window, cropped, at whatever size
  // the window has, instead of being letterboxed.
  void SetCoverWindow(bool cover) { cover_ = cover; }

  bool CreateContext() override;
  void DestroyContext() override;
  GlProcLoader Loader() const override { return SDL_GL_GetProcAddress; }
  void MakeContextCurrent() override { SDL_GL_MakeCurrent(window_, context_); }
  void SetSwapInterval(int32_t interval) override { SDL_GL_SetSwapInterval(interval); }
  PresentationStatus Status() const override;
  std::vector<D3DDISPLAYMODE> DisplayModes() const override;
  size_t SurfaceCount() const override { return 1; }
  PresentationSurface* Surface(size_t /*index*/) override { return this; }

  bool MakeCurrent() override { return SDL_GL_MakeCurrent(window_, context_) == 0; }
  void PixelSize(int32_t* width, int32_t* height) const override;
  const std::vector<PixelRect>& PictureAreas() const override;
  void Swap() override { SDL_GL_SwapWindow(window_); }

 private:
  SDL_Window* window_;
  SDL_GLContext context_ = nullptr;
  std::vector<PixelRect> pictureAreas_;
  bool cover_ = false;
  mutable std::vector<PixelRect> coverArea_;  // the one area while covering, kept to the window's size
};

}  // namespace qh
