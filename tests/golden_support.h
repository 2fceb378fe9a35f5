// Shared by the golden-picture tests: writing the files of a test installation and reading
// back the PNG frames the capture tool wrote.
#pragma once
#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
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

// The folders of a test installation (install/Data and a user config folder), its
// links.txt, and the build's generated font, which every start-up loads. Returns install/.
inline fs::path StartInstallation(const fs::path& root, const fs::path& contentDir) {
  const fs::path install = root / "install";
  const fs::path data = install / "Data";
  fs::create_directories(data);
  fs::create_directories(root / "config" / "quiet-highland");
  WriteFile(install / "links.txt", std::string("link1=https://example.invalid/\n"));
  const fs::path content = contentDir / "Data";
  for (const char* name : {"_a_font.jpg", "font.tga", "font.dat"}) {
    std::error_code ignored;
    if (fs::exists(content / name)) fs::copy_file(content / name, data / name, ignored);
  }
  return install;
}

// The user's settings file of a test installation: its folder and the two records, given
// as the hex byte lists of the store format.
inline void WriteStore(const fs::path& root, const fs::path& install, const std::string& settingsHex,
                       const std::string& settingsExHex) {
  const std::string store =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\r\n"
      "\"dir\"=\"" + install.string() + "\"\r\n"
      "\"settings\"=hex:" + settingsHex + "\r\n"
      "\"settingsex\"=hex:" + settingsExHex + "\r\n";
  WriteFile(root / "config" / "quiet-highland" / "registry.reg", store);
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

}  // namespace golden
