// Writes the installation data: the catalogue, levels, backgrounds and textures, the
// font, the sounds and music, the preview, the dialog picture, links.txt, the manual
// and the installer's settings values.
#include "tools/content/generate.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <thread>

#include "tools/content/scenes.h"

#ifndef QH_FONT_FILE
#define QH_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif

namespace qhc {

namespace {

std::string Catalogue(const World& world) {
  // Free text is allowed before the first group, as long as it holds no opening bracket.
  std::string out = "Quiet Highland object catalogue: groups of name=file lines.\r\n\r\n";
  std::string group;
  for (const Entry& e : world.entries) {
    if (e.group != group) {
      if (!group.empty()) out += "[/]\r\n\r\n";
      group = e.group;
      out += "[" + group + "/]\r\n";
    }
    out += e.name + "=" + e.file + "\r\n";
  }
  out += "[/]\r\n";
  return out;
}

std::string Registry(const World& world) {
  char settingsEx[64];
  int k[8] = {};
  for (size_t i = 0; i < world.scenes.size() && i < 8; ++i) k[i] = world.scenes[i].ambient;
  std::snprintf(settingsEx, sizeof settingsEx, "hex:%02x,00,%02x,%02x,%02x,%02x,%02x,%02x,%02x,%02x",
                unsigned(world.scenes.size()), k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7]);
  return std::string("REGEDIT4\n\n") +
         "[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\n" +
         "\"dir\"=\".\"\n"
         "\"namerus\"=\"Тихое нагорье\"\n"
         "\"musicname\"=\"music.ogg\"\n"
         "\"settingsex\"=" + settingsEx + "\n";
}

}  // namespace

std::string Manual(int sceneCount);  // manual.cpp

namespace {

// The program's icon: a square from the middle of the first scene, its corners rounded
// with a soft edge, for the menus and the windows.
Image MakeIcon(const Image& scene) {
  const int side = scene.h;
  Image square(side, side);
  const int left = (scene.w - side) / 2;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) square.At(x, y) = scene.At(left + x, y);
  }
  Image icon = Resize(square, 128, 128);
  const float radius = 22.0f, inset = 4.0f;
  for (int y = 0; y < icon.h; ++y) {
    for (int x = 0; x < icon.w; ++x) {
      // Distance outside the rounded square, measured from pixel centres.
      const float px = x + 0.5f, py = y + 0.5f;
      const float cx = std::clamp(px, inset + radius, icon.w - inset - radius);
      const float cy = std::clamp(py, inset + radius, icon.h - inset - radius);
      const float outside = std::hypot(px - cx, py - cy) - radius;
      icon.A(x, y) = Clamp01(0.5f - outside);
    }
  }
  return icon;
}

void WritePictures(const std::string& out, const std::string& previewDir) {
  World world;
  MakeTextures(world);
  MakeScenes(world);
  const std::string data = out + "/Data";
  for (const auto& [name, tex] : world.textures) {
    switch (tex.store) {
      case Store::Jpeg: WriteFile(data + "/" + name, EncodeJpeg(tex.image)); break;
      case Store::Tga: WriteFile(data + "/" + name, EncodeTga(tex.image)); break;
      case Store::AlphaPlane: {
        const std::string base = name.substr(0, name.find('.'));
        WriteFile(data + "/_a_" + base + ".jpg", EncodeAlphaPlane(tex.image));
        break;
      }
    }
  }
  WriteText(data + "/gameobjs.txt", Catalogue(world));
  for (size_t i = 0; i < world.scenes.size(); ++i) {
    const Scene& s = world.scenes[i];
    WriteFile(data + "/level" + std::to_string(i) + ".lev",
              EncodeLevel("Quiet Highland scene " + std::to_string(i), s.objects));
    WriteFile(data + "/_a_back" + std::to_string(i) + ".jpg", EncodeAlphaPlane(s.background));
  }
  const Image first = Composite(world, 0, 20000);
  WriteFile(data + "/preview.bmp", EncodeBmp(Resize(first, 152, 112)));
  // Beside the data, where the desktop looks for icons: share/icons next to share/quiet-highland.
  const std::string iconDir = out + "/../icons/hicolor/128x128/apps";
  MakeDirs(iconDir);
  WriteFile(iconDir + "/quiet-highland.png", EncodePng(MakeIcon(first)));
  WriteText(out + "/registry.reg", Registry(world));
  WriteText(out + "/manual.html", Manual(int(world.scenes.size())));
  if (!previewDir.empty()) {
    MakeDirs(previewDir);
    for (size_t i = 0; i < world.scenes.size(); ++i) {
      WriteFile(previewDir + "/scene" + std::to_string(i) + ".jpg", EncodeJpeg(Composite(world, int(i), 20000), 97));
      Image bgOnly = world.scenes[i].background;
      for (size_t p = 0; p < bgOnly.c.size(); ++p) bgOnly.c[p] = Mix(Hex(0xff00ff), bgOnly.c[p], bgOnly.a[p]);
      WriteFile(previewDir + "/background" + std::to_string(i) + ".jpg", EncodeJpeg(bgOnly, 92));
    }
    for (const auto& [name, tex] : world.textures) {
      Image shown = tex.image;
      for (size_t p = 0; p < shown.c.size(); ++p) {
        const int x = int(p % size_t(shown.w)), y = int(p / size_t(shown.w));
        const Rgb check = ((x / 8 + y / 8) & 1) ? Hex(0x909090) : Hex(0xc0c0c0);
        shown.c[p] = Mix(check, shown.c[p], shown.a[p]);
      }
      WriteFile(previewDir + "/tex_" + name.substr(0, name.find('.')) + ".jpg", EncodeJpeg(shown, 92));
    }
  }
}

void WriteSounds(const std::string& out) {
  const std::string sounds = out + "/Data/Sounds";
  for (int i = 1; i <= 3; ++i) WriteFile(sounds + "/birds" + std::to_string(i) + ".ogg", MakeBirds(i));
  WriteFile(sounds + "/brook.ogg", MakeBrook());
  WriteFile(sounds + "/waterfall.ogg", MakeWaterfallSound());
}

}  // namespace

std::string FileUrl(const std::string& absolutePath) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char ch : absolutePath) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                       ch == '/' || ch == '-' || ch == '_' || ch == '.' || ch == '~';
    if (plain) {
      url += char(ch);
    } else {
      url += '%';
      url += hex[ch >> 4];
      url += hex[ch & 15];
    }
  }
  return url;
}

void WriteLinks(const std::string& outDir, const std::string& manualPath) {
  std::string path = manualPath;
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) throw std::runtime_error("cannot read the current folder");
    path = std::string(cwd) + "/" + path;
  }
  const std::string text = "link1=" + FileUrl(path) + "\r\n";
  if (text.size() > 6 + 255 + 2) throw std::runtime_error("the manual's address is longer than 255 characters: " + path);
  WriteText(outDir + "/links.txt", text);
}

void GenerateAll(const std::string& outDir, const std::string& previewDir) {
  MakeDirs(outDir + "/Data/Sounds");
  // Pictures on one core, sound on the other; each part writes only its own files.
  std::exception_ptr failure;
  std::thread sound([&] {
    try {
      WriteSounds(outDir);
      WriteFile(outDir + "/Data/music.ogg", MakeMusic());
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    WritePictures(outDir, previewDir);
    const FontFiles font = MakeFont(QH_FONT_FILE);
    WriteFile(outDir + "/Data/_a_font.jpg", font.picture);
    WriteFile(outDir + "/Data/font.dat", font.metrics);
    WriteFile(outDir + "/ad1.jpg", MakeAdPicture(QH_FONT_FILE));
    std::string absolute = outDir;
    if (absolute.empty() || absolute[0] != '/') {
      char cwd[PATH_MAX];
      if (!::getcwd(cwd, sizeof cwd)) throw std::runtime_error("cannot read the current folder");
      absolute = std::string(cwd) + "/" + outDir;
    }
    WriteLinks(outDir, absolute + "/manual.html");
  } catch (...) {
    sound.join();
    throw;
  }
  sound.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace qhc
