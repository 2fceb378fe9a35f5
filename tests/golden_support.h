// Shared by the golden-picture tests: the files of a test installation (made by the test
// data writers) and reading back the PNG frames the capture tool wrote.
#pragma once
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_data.h"

namespace golden {

namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  qh::testdata::WriteBytes(path.string(), bytes);
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline fs::path StartInstallation(const fs::path& root, const fs::path& contentDir) {
  return qh::testdata::StartInstallation(root.string(), contentDir.string());
}

inline void WriteStore(const fs::path& root, const fs::path& install, const std::string& settingsHex,
                       const std::string& settingsExHex) {
  qh::testdata::WriteStore(root.string(), install.string(), settingsHex, settingsExHex);
}

// A picture as RGBA bytes, rows from the top.
struct Rgba {
  std::vector<uint8_t> bytes;
  int width = 0, height = 0;
};

inline bool LoadPng(const fs::path& path, Rgba* out) {
  SDL_Surface* loaded = IMG_Load(path.c_str());
  if (loaded == nullptr) return false;
  SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(loaded);
  if (rgba == nullptr) return false;
  out->width = rgba->w;
  out->height = rgba->h;
  out->bytes.resize(static_cast<size_t>(rgba->w) * rgba->h * 4);
  for (int y = 0; y < rgba->h; ++y) {
    std::memcpy(&out->bytes[static_cast<size_t>(y) * rgba->w * 4], static_cast<uint8_t*>(rgba->pixels) + y * rgba->pitch,
                static_cast<size_t>(rgba->w) * 4);
  }
  SDL_FreeSurface(rgba);
  return true;
}

// A frame against its golden picture (RGBA bytes of the same size), with the tolerance
// every golden test uses: rasterisers differ by a level or two at filtered and blended
// texels; a changed picture differs by far more, over far more pixels.
struct Difference {
  size_t differing = 0, pixels = 0;  // pixels with a channel more than 24 levels off
  double mean = 0;                   // mean difference per colour channel
  bool Within() const { return differing <= pixels / 500 && mean <= 1.0; }
};
inline Difference Compare(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  Difference d;
  double total = 0.0;
  for (size_t i = 0; i + 3 < got.size() && i + 3 < want.size(); i += 4) {
    int worst = 0;
    for (size_t c = 0; c < 3; ++c) {
      const int diff = std::abs(int{got[i + c]} - int{want[i + c]});
      total += diff;
      worst = std::max(worst, diff);
    }
    if (worst > 24) ++d.differing;
    ++d.pixels;
  }
  d.mean = d.pixels > 0 ? total / (d.pixels * 3.0) : 0.0;
  return d;
}

}  // namespace golden
