#include "host/sdl_presentation.h"

#include <cstdio>

namespace qh {

bool SdlWindowPresentation::CreateContext() {
  if (window_ == nullptr) return false;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  context_ = SDL_GL_CreateContext(window_);
  if (context_ == nullptr) {
    std::fprintf(stderr, "OpenGL 3.3: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

void SdlWindowPresentation::DestroyContext() {
  if (context_ != nullptr) SDL_GL_DeleteContext(context_);
  context_ = nullptr;
}

PresentationStatus SdlWindowPresentation::Status() const {
  PresentationStatus status;
  status.hidden = (SDL_GetWindowFlags(window_) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
  status.display = SDL_GetWindowDisplayIndex(window_);
  SDL_DisplayMode desktop{};
  if (status.display >= 0 && SDL_GetDesktopDisplayMode(status.display, &desktop) == 0) {
    status.hasDesktop = true;
    status.desktopWidth = desktop.w;
    status.desktopHeight = desktop.h;
  }
  return status;
}

// 32-bit and 16-bit colour become X8R8G8B8 and R5G6B5.
std::vector<D3DDISPLAYMODE> SdlWindowPresentation::DisplayModes() const {
  std::vector<D3DDISPLAYMODE> modes;
  int display = window_ != nullptr ? SDL_GetWindowDisplayIndex(window_) : 0;
  if (display < 0) display = 0;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode sdlMode{};
    if (SDL_GetDisplayMode(display, i, &sdlMode) != 0) continue;
    D3DDISPLAYMODE mode;
    mode.Width = sdlMode.w > 0 ? static_cast<uint32_t>(sdlMode.w) : 0;
    mode.Height = sdlMode.h > 0 ? static_cast<uint32_t>(sdlMode.h) : 0;
    mode.RefreshRate = sdlMode.refresh_rate > 0 ? static_cast<uint32_t>(sdlMode.refresh_rate) : 0;
    const int bits = static_cast<int>(SDL_BITSPERPIXEL(sdlMode.format));
    if (bits == 24 || bits == 32) mode.Format = D3DFMT_X8R8G8B8;
    else if (sdlMode.format == SDL_PIXELFORMAT_RGB565) mode.Format = D3DFMT_R5G6B5;
    else mode.Format = D3DFMT_UNKNOWN;
    modes.push_back(mode);
  }
  return modes;
}

const std::vector<PixelRect>& SdlWindowPresentation::PictureAreas() const {
  if (!cover_ || !pictureAreas_.empty()) return pictureAreas_;
  int32_t width = 0, height = 0;
  PixelSize(&width, &height);
  coverArea_.resize(1);  // no allocation after the first frame
  coverArea_[0] = CoverRect(PixelRect{0, 0, width, height}, 800, 600);
  return coverArea_;
}

void SdlWindowPresentation::PixelSize(int32_t* width, int32_t* height) const {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_, &w, &h);
  *width = w;
  *height = h;
}

}  // namespace qh
