// The bundled content as the saver will meet it: every file the catalogue and the levels
// name exists and decodes, pictures have the sides and alpha planes the loaders need,
// the font metrics are sane, the sounds have their intended lengths and join without a
// jump, the installer's values match the scenes, and the generator is deterministic.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "golden_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kShare = QH_CONTENT_DIR;
const std::string kData = kShare + "/Data";

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
float F32(const std::vector<uint8_t>& b, size_t at) {
  const uint32_t u = U32(b, at);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

struct Decoded {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;  // rows from the top
};

Decoded Decode(const std::vector<uint8_t>& bytes) {
  Decoded d;
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
  SDL_Surface* s = rw ? IMG_Load_RW(rw, 0) : nullptr;
  if (!s && rw) {  // TGA has no signature: name the format, as the texture loader does
    SDL_RWseek(rw, 0, RW_SEEK_SET);
    s = IMG_LoadTyped_RW(rw, 0, "TGA");
  }
  if (rw) SDL_RWclose(rw);
  if (!s) return d;
  SDL_Surface* c = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ABGR8888, 0);
  SDL_FreeSurface(s);
  if (!c) return d;
  d.w = c->w;
  d.h = c->h;
  d.rgba.resize(size_t(d.w) * d.h * 4);
  for (int y = 0; y < d.h; ++y)
    std::memcpy(&d.rgba[size_t(y) * d.w * 4], static_cast<uint8_t*>(c->pixels) + size_t(y) * c->pitch, size_t(d.w) * 4);
  SDL_FreeSurface(c);
  return d;
}

// Split of an alpha-plane picture at the first FF D9 pair.
struct AlphaPlane {
  std::vector<uint8_t> jpeg, alpha;
};
AlphaPlane Split(const std::vector<uint8_t>& file) {
  for (size_t i = 0; i + 1 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xD9) {
      return {std::vector<uint8_t>(file.begin(), file.begin() + long(i + 2)),
              std::vector<uint8_t>(file.begin() + long(i + 2), file.end())};
    }
  }
  return {file, {}};
}

bool PowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// An object's picture as the texture loader serves a catalogue file name: a .tga name from
// _a_<name>.jpg (JPEG and its alpha plane) when that exists, otherwise the file itself.
Decoded ObjectPicture(const std::string& file) {
  const std::string alphaName = "_a_" + file.substr(0, file.find('.')) + ".jpg";
  if (file.find(".tga") != std::string::npos && fs::exists(kData + "/" + alphaName)) {
    const AlphaPlane ap = Split(ReadAll(kData + "/" + alphaName));
    Decoded d = Decode(ap.jpeg);
    if (ap.alpha.size() != size_t(d.w) * d.h) return {};
    for (size_t i = 0; i < ap.alpha.size(); ++i) d.rgba[i * 4 + 3] = ap.alpha[i];
    return d;
  }
  return Decode(ReadAll(kData + "/" + file));
}

// The catalogue, scanned by the saver's rules (blanks are bytes that are <= 32 as signed).
struct CatalogueEntry {
  std::string name, file;
  int group;
};
std::vector<CatalogueEntry> ParseCatalogue(const std::vector<uint8_t>& t, std::vector<std::string>* groups) {
  auto blank = [](uint8_t c) { return int8_t(c) <= 32; };
  std::vector<CatalogueEntry> out;
  size_t i = 0;
  const size_t n = t.size();
  while (true) {
    while (i < n && t[i] != '[') ++i;
    if (i >= n) return out;
    size_t j = i + 1;
    while (j < n && t[j] != '/') ++j;
    if (j >= n) return out;
    groups->push_back(std::string(t.begin() + long(i + 1), t.begin() + long(j)));
    i = j + 2;
    while (i < n && blank(t[i])) ++i;
    while (true) {
      if (i >= n) return out;
      size_t eq = i;
      while (eq < n && t[eq] != '=') ++eq;
      if (eq >= n) return out;
      CatalogueEntry e{std::string(t.begin() + long(i), t.begin() + long(eq)), "", int(groups->size()) - 1};
      i = eq + 1;
      while (i < n && blank(t[i])) ++i;
      size_t end = i;
      while (end < n && !blank(t[end]) && t[end] != ',') ++end;
      e.file = std::string(t.begin() + long(i), t.begin() + long(end));
      out.push_back(e);
      i = end;
      while (i < n && blank(t[i])) ++i;
      if (i + 1 < n && t[i] == '[' && t[i + 1] == '/') {
        ++i;
        while (i < n && !blank(t[i])) ++i;
        break;
      }
      if (i < n && t[i] == '[') ++i;
    }
  }
}

struct Object {
  std::string name;
  float x1, y1, x2, y2, angle, px, py;
  bool mirrored, behind;
};
bool ParseLevel(const std::vector<uint8_t>& b, std::vector<Object>* out) {
  if (b.size() < 68) return false;
  const uint32_t count = U32(b, 64);
  if (count > 128 || b.size() != 68 + size_t(count) * 65) return false;
  for (uint32_t k = 0; k < count; ++k) {
    const size_t at = 68 + size_t(k) * 65;
    const char* name = reinterpret_cast<const char*>(&b[at]);
    Object o;
    o.name = std::string(name, strnlen(name, 32));
    if (o.name.size() > 31) return false;
    o.x1 = F32(b, at + 32); o.y1 = F32(b, at + 36); o.x2 = F32(b, at + 40); o.y2 = F32(b, at + 44);
    o.angle = F32(b, at + 48); o.px = F32(b, at + 52); o.py = F32(b, at + 56);
    o.mirrored = b[at + 60] != 0;
    o.behind = U32(b, at + 61) != 0;
    out->push_back(o);
  }
  return true;
}

// The 10-byte "settingsex" value of the installer's file.
std::vector<int> SettingsEx() {
  const auto text = ReadAll(kShare + "/registry.reg");
  const std::string s(text.begin(), text.end());
  const size_t at = s.find("\"settingsex\"=hex:");
  std::vector<int> out;
  if (at == std::string::npos) return out;
  size_t i = at + 17;
  while (i + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) {
    out.push_back(int(std::strtol(s.substr(i, 2).c_str(), nullptr, 16)));
    i += 2;
    if (i < s.size() && s[i] == ',') ++i;
  }
  return out;
}

class ContentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    IMG_Init(IMG_INIT_JPG);
    std::vector<uint8_t> text = ReadAll(kData + "/gameobjs.txt");
    catalogue = ParseCatalogue(text, &groups);
    const auto ex = SettingsEx();
    sceneCount = ex.empty() ? 0 : ex[0];
    for (int i = 0; i < sceneCount; ++i) {
      std::vector<Object> objects;
      levelsParse = ParseLevel(ReadAll(kData + "/level" + std::to_string(i) + ".lev"), &objects) && levelsParse;
      levels.push_back(objects);
    }
  }
  static const CatalogueEntry* Find(const std::string& name) {
    const CatalogueEntry* found = nullptr;
    for (const auto& e : catalogue) {
      if (e.name == name) found = &e;  // the last one wins
    }
    return found;
  }
  static inline std::vector<std::string> groups;
  static inline std::vector<CatalogueEntry> catalogue;
  static inline std::vector<std::vector<Object>> levels;
  static inline int sceneCount = 0;
  static inline bool levelsParse = true;
};

TEST_F(ContentTest, InstallerValuesDescribeTheScenes) {
  const auto ex = SettingsEx();
  ASSERT_EQ(ex.size(), 10u);
  ASSERT_EQ(ex[0], 8) << "eight scenes are installed";
  std::set<int> kinds;
  for (int i = 0; i < ex[0]; ++i) {
    EXPECT_GE(ex[2 + i], 0);
    EXPECT_LE(ex[2 + i], 3);
    kinds.insert(ex[2 + i]);
    // The scenes follow each other in a ring: no scene sounds like the one before it,
    // the first included, which follows the last.
    const int next = (i + 1) % ex[0];
    EXPECT_NE(ex[2 + i], ex[2 + next]) << "scenes " << i << " and " << next << " sound the same";
  }
  EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3})) << "birds, brook, waterfall and silence each belong to a scene";
  EXPECT_FALSE(fs::exists(kData + "/level" + std::to_string(ex[0]) + ".lev")) << "a level file beyond the count";
  const auto reg = ReadAll(kShare + "/registry.reg");
  const std::string r(reg.begin(), reg.end());
  EXPECT_EQ(r.rfind("REGEDIT4", 0), 0u);
  EXPECT_NE(r.find("[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]"), std::string::npos);
  EXPECT_NE(r.find("\"dir\"=\".\""), std::string::npos);
  EXPECT_NE(r.find("\"namerus\"=\"Тихое нагорье\""), std::string::npos);
  EXPECT_NE(r.find("\"musicname\"=\"music.ogg\""), std::string::npos);
  EXPECT_TRUE(fs::exists(kData + "/music.ogg")) << "the music is resolved against the data folder";
}

TEST_F(ContentTest, LinksPointAtTheBundledManual) {
  const auto bytes = ReadAll(kShare + "/links.txt");
  const std::string t(bytes.begin(), bytes.end());
  ASSERT_EQ(t.rfind("link1=file://", 0), 0u) << t;
  const size_t eol = t.find("\r\n");
  ASSERT_NE(eol, std::string::npos) << "lines end in CR LF";
  const std::string url = t.substr(6, eol - 6);
  EXPECT_LE(url.size(), 255u);
  std::string path;
  for (size_t i = 7; i < url.size(); ++i) {  // undo the percent-encoding
    if (url[i] == '%' && i + 2 < url.size()) {
      path += char(std::strtol(url.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      path += url[i];
    }
  }
  std::error_code ec;
  EXPECT_TRUE(fs::equivalent(path, kShare + "/manual.html", ec)) << path;
  const auto html = ReadAll(path);
  EXPECT_NE(std::string(html.begin(), html.end()).find("Тихое нагорье"), std::string::npos);
}

TEST_F(ContentTest, CatalogueNamesOnlyFilesThatLoad) {
  ASSERT_GE(catalogue.size(), 10u);
  for (const auto& e : catalogue) {
    SCOPED_TRACE(e.name + "=" + e.file);
    EXPECT_LE(e.name.size(), 31u);
    EXPECT_LE(e.file.size(), 31u);
    EXPECT_EQ(e.name.find(' '), std::string::npos);
    const bool tga = e.file.find(".tga") != std::string::npos, jpg = e.file.find(".jpg") != std::string::npos;
    ASSERT_TRUE(tga || jpg) << "every entry draws a texture";
    // A .tga request is served from _a_<base>.jpg when it exists, else from the TGA itself.
    const std::string alphaName = "_a_" + e.file.substr(0, e.file.find('.')) + ".jpg";
    const bool viaAlpha = tga && fs::exists(kData + "/" + alphaName);
    const std::vector<uint8_t> file = ReadAll(kData + "/" + (viaAlpha ? alphaName : e.file));
    ASSERT_FALSE(file.empty()) << "missing file";
    if (viaAlpha) {
      const AlphaPlane ap = Split(file);
      const Decoded d = Decode(ap.jpeg);
      ASSERT_GT(d.w, 0);
      EXPECT_TRUE(PowerOfTwo(d.w) && PowerOfTwo(d.h)) << d.w << "x" << d.h;
      EXPECT_EQ(ap.alpha.size(), size_t(d.w) * d.h) << "alpha plane size";
      EXPECT_GT(*std::max_element(ap.alpha.begin(), ap.alpha.end()), 200);
      EXPECT_EQ(*std::min_element(ap.alpha.begin(), ap.alpha.end()), 0);
    } else {
      const Decoded d = Decode(file);
      ASSERT_GT(d.w, 0) << IMG_GetError();
      EXPECT_TRUE(PowerOfTwo(d.w) && PowerOfTwo(d.h)) << d.w << "x" << d.h;
      EXPECT_LE(std::max(d.w, d.h), 1024);
    }
  }
}

TEST_F(ContentTest, LevelsParseAndUseEveryBehaviour) {
  ASSERT_EQ(sceneCount, 8);
  ASSERT_TRUE(levelsParse);
  std::map<std::string, int> behaviours;
  for (int i = 0; i < sceneCount; ++i) {
    SCOPED_TRACE("level " + std::to_string(i));
    const auto& objects = levels[size_t(i)];
    EXPECT_FALSE(objects.empty());
    bool hasSky = false;
    for (const Object& o : objects) {
      ASSERT_NE(Find(o.name), nullptr) << o.name << " is not in the catalogue";
      EXPECT_NE(o.x1, o.x2);
      EXPECT_NE(o.y1, o.y2);
      const std::string& n = o.name;
      std::string kind;
      if (n.find("sky") != std::string::npos) kind = "sky";
      else if (n.find("waterfall") != std::string::npos) kind = "waterfall";
      else if (n.find("water") != std::string::npos) kind = "water";
      else if (n.find("spray") != std::string::npos) kind = "spray";
      else if (n.find("leaves2") != std::string::npos) kind = "leaves2";
      else if (n.find("leaves1") != std::string::npos) kind = "leaves1";
      else if (n.find("leaves") != std::string::npos) kind = "leaves";
      else kind = o.behind ? "plain behind" : "plain over";
      ++behaviours[kind];
      if (kind == "plain over" || kind == "plain behind") {
        if (o.mirrored) ++behaviours["plain mirrored"];
        if (o.angle != 0) ++behaviours["plain rotated"];
      }
      if (kind == "sky" || kind == "water" || kind == "waterfall") {
        EXPECT_TRUE(o.behind) << n << " must be drawn behind the background";
        EXPECT_LT(o.x1, o.x2) << n;
        EXPECT_LT(o.y1, o.y2) << n;
      }
      if (kind == "sky") {
        hasSky = true;
        EXPECT_EQ(o.y2, 300.0f) << "the sky reaches the top of the screen";
      }
      if (kind.rfind("leaves", 0) == 0) {
        // Branches sway about the middle of their left edge (right edge when mirrored): that
        // pivot sits at or beyond the side of the screen they grow from.
        const float pivotX = o.mirrored ? std::max(o.x1, o.x2) : std::min(o.x1, o.x2);
        EXPECT_GE(std::fabs(pivotX), 380.0f) << n;
      }
    }
    EXPECT_TRUE(hasSky);
  }
  for (const char* k : {"sky", "water", "waterfall", "spray", "leaves", "leaves1", "leaves2", "plain behind",
                        "plain over", "plain mirrored", "plain rotated"}) {
    EXPECT_GT(behaviours[k], 0) << "no scene uses " << k;
  }
}

// Every scene lives: a sky drifts behind it, water moves in it and branches sway at its
// edge; wherever a waterfall falls, spray rises from its foot.
TEST_F(ContentTest, EachSceneUsesTheBehavioursWhereTheyBelong) {
  ASSERT_EQ(sceneCount, 8);
  for (int i = 0; i < sceneCount; ++i) {
    SCOPED_TRACE("level " + std::to_string(i));
    int skies = 0, waters = 0, leaves = 0;
    std::vector<const Object*> falls, sprays;
    for (const Object& o : levels[size_t(i)]) {
      if (o.name.find("sky") != std::string::npos) ++skies;
      else if (o.name.find("waterfall") != std::string::npos) falls.push_back(&o);
      else if (o.name.find("water") != std::string::npos) ++waters;
      else if (o.name.find("spray") != std::string::npos) sprays.push_back(&o);
      else if (o.name.find("leaves") != std::string::npos) ++leaves;
    }
    EXPECT_EQ(skies, 1);
    EXPECT_GE(waters, 1) << "no moving water";
    EXPECT_GE(leaves, 1) << "no swaying branches";
    EXPECT_EQ(falls.empty(), sprays.empty()) << "spray without a fall, or a fall without spray";
    for (const Object* f : falls) {
      // A spray rectangle straddles the fall's foot (its lower edge) within the fall's width.
      bool atFoot = false;
      for (const Object* s : sprays) {
        const float foot = std::min(f->y1, f->y2);
        const float sx = (s->x1 + s->x2) / 2;
        atFoot = atFoot || (std::min(s->y1, s->y2) <= foot + 4 && std::max(s->y1, s->y2) >= foot - 4 &&
                            sx >= std::min(f->x1, f->x2) && sx <= std::max(f->x1, f->x2));
      }
      EXPECT_TRUE(atFoot) << f->name << " has no spray at its foot";
    }
  }
}

TEST_F(ContentTest, BackgroundsAreAlphaPlanePicturesWithWindows) {
  for (int i = 0; i < sceneCount; ++i) {
    SCOPED_TRACE("background " + std::to_string(i));
    const AlphaPlane ap = Split(ReadAll(kData + "/_a_back" + std::to_string(i) + ".jpg"));
    const Decoded d = Decode(ap.jpeg);
    ASSERT_EQ(d.w, 800);
    ASSERT_EQ(d.h, 600);
    ASSERT_EQ(ap.alpha.size(), 480000u);
    // The top rows are open for the sky; the bottom rows are solid ground; the layers
    // behind show through a good part of the picture.
    size_t open = 0;
    for (uint8_t a : ap.alpha) open += a < 8;
    EXPECT_GT(open, 480000u / 6);
    EXPECT_LT(open, 480000u * 2 / 3);
    for (int x = 0; x < 800; x += 40) EXPECT_EQ(ap.alpha[size_t(x)], 0) << "top row, x " << x;
    size_t solidBottom = 0;
    for (int x = 0; x < 800; ++x) solidBottom += ap.alpha[599 * 800 + size_t(x)] == 255;
    EXPECT_GT(solidBottom, 400u);
    // Every behind layer's rectangle is seen through the picture somewhere.
    for (const Object& o : levels[size_t(i)]) {
      if (!o.behind) continue;
      size_t seen = 0;
      for (float y = std::max(o.y1, -299.0f); y < std::min(o.y2, 299.0f); y += 2)
        for (float x = std::max(o.x1, -399.0f); x < std::min(o.x2, 399.0f); x += 2)
          seen += ap.alpha[size_t(300 - y) * 800 + size_t(x + 400)] < 128;
      EXPECT_GT(seen, 50u) << o.name << " is hidden behind an opaque picture";
      // A plain object behind the picture is drawn as a whole opaque rectangle, empty parts
      // of its picture included: the background must hide all of the rectangle but the
      // object itself. Every pixel of the (rotated, maybe mirrored) rectangle where the
      // background is open must fall on an opaque texel of the object's picture.
      const bool layer = o.name.find("sky") != std::string::npos || o.name.find("water") != std::string::npos;
      if (!layer) {
        const CatalogueEntry* e = Find(o.name);
        ASSERT_NE(e, nullptr);
        const Decoded pic = ObjectPicture(e->file);
        ASSERT_GT(pic.w, 0) << e->file;
        const float w = std::fabs(o.x2 - o.x1), h = std::fabs(o.y2 - o.y1);
        const float cx = (o.x1 + o.x2) / 2, cy = (o.y1 + o.y2) / 2;
        const float rad = o.angle * 3.14159265f / 180, ca = std::cos(rad), sa = std::sin(rad);
        size_t drawn = 0, windows = 0;
        for (int py = 0; py < 600; ++py) {
          for (int px = 0; px < 800; ++px) {
            const float dx = px + 0.5f - 400 - cx, dy = 300 - (py + 0.5f) - cy;
            const float lx = dx * ca + dy * sa, ly = -dx * sa + dy * ca;  // into the rectangle's frame
            const float s = lx / w + 0.5f, v = 0.5f - ly / h;
            if (s < 0 || s >= 1 || v < 0 || v >= 1) continue;
            ++drawn;
            if (ap.alpha[size_t(py) * 800 + size_t(px)] >= 128) continue;
            const int tx = std::min(int((o.mirrored ? 1 - s : s) * pic.w), pic.w - 1), ty = int(v * pic.h);
            windows += pic.rgba[(size_t(ty) * pic.w + size_t(tx)) * 4 + 3] < 64;
          }
        }
        ASSERT_GT(drawn, 100u) << o.name;
        EXPECT_LT(windows * 100, drawn) << o.name << ": its empty rectangle shows through the picture";
      }
    }
  }
}

// Mean absolute difference across a texture's wrap seam, against that between neighbours
// inside: a seam shows as a jump well above the usual.
double SeamRatio(const Decoded& d, bool horizontal) {
  auto at = [&](int x, int y, int c) { return double(d.rgba[(size_t(y) * d.w + x) * 4 + size_t(c)]); };
  double seam = 0, inside = 0;
  const int n = horizontal ? d.h : d.w;
  for (int k = 0; k < n; ++k) {
    for (int c = 0; c < 3; ++c) {
      if (horizontal) {
        seam += std::fabs(at(d.w - 1, k, c) - at(0, k, c));
        inside += std::fabs(at(d.w / 2, k, c) - at(d.w / 2 - 1, k, c));
      } else {
        seam += std::fabs(at(k, d.h - 1, c) - at(k, 0, c));
        inside += std::fabs(at(k, d.h / 2, c) - at(k, d.h / 2 - 1, c));
      }
    }
  }
  return seam / std::max(inside, 1.0);
}

TEST_F(ContentTest, BehindLayersTileWithoutSeams) {
  int checked = 0;
  for (const auto& e : catalogue) {
    const bool sky = e.name.find("sky") != std::string::npos;
    const bool water = e.name.find("water") != std::string::npos;
    if (!sky && !water) continue;
    SCOPED_TRACE(e.name);
    const Decoded d = Decode(ReadAll(kData + "/" + e.file));
    ASSERT_GT(d.w, 0);
    EXPECT_LT(SeamRatio(d, true), 2.0) << "left and right sides do not meet";
    if (water) {  // the sky never repeats upwards
      EXPECT_LT(SeamRatio(d, false), 2.0) << "top and bottom do not meet";
    }
    ++checked;
  }
  EXPECT_GE(checked, 4);
}

TEST_F(ContentTest, FontCoversWindows1251) {
  const auto dat = ReadAll(kData + "/font.dat");
  ASSERT_EQ(dat.size(), 516u);
  const int32_t cells = int32_t(U32(dat, 0));
  ASSERT_GT(cells, 0);
  ASSERT_EQ(512 % cells, 0);
  const int cell = 512 / cells;
  const uint8_t* width = &dat[4];
  const uint8_t* where = &dat[260];
  for (int c = 0; c < 256; ++c) {
    EXPECT_LE(width[c], cell) << c;
    EXPECT_LT(where[c], cells * cells) << c;
  }
  for (int c = '0'; c <= '9'; ++c) EXPECT_EQ(width[c], width['0']) << "digits share one width (a steady clock)";
  EXPECT_GT(width['0'], cell / 4);
  EXPECT_GT(width['W'], width['i']);
  EXPECT_GT(width[' '], 0);
  EXPECT_GT(width[':'], 0);
  EXPECT_EQ(width[0], 0);
  EXPECT_EQ(width['\n'], 0);
  for (int c = 0xC0; c <= 0xFF; ++c) EXPECT_GT(width[c], 0) << "Cyrillic " << c;
  EXPECT_GT(width[0xA8], 0);  // Ё
  EXPECT_GT(width[0xB8], 0);  // ё
  // The glyph grid: white letters whose coverage is the alpha.
  const AlphaPlane ap = Split(ReadAll(kData + "/_a_font.jpg"));
  const Decoded d = Decode(ap.jpeg);
  ASSERT_EQ(d.w, 512);
  ASSERT_EQ(d.h, 512);
  ASSERT_EQ(ap.alpha.size(), 512u * 512u);
  auto coverage = [&](int code) {
    int sum = 0;
    const int cx = (where[code] % cells) * cell, cy = (where[code] / cells) * cell;
    for (int y = cy; y < cy + cell; ++y)
      for (int x = cx; x < cx + cell; ++x) sum += ap.alpha[size_t(y) * 512 + size_t(x)];
    return sum;
  };
  EXPECT_EQ(coverage(' '), 0);
  EXPECT_EQ(coverage(1), 0);
  for (int c : {int('0'), int('8'), int('A'), int('g'), 0xC6 /* Ж */, 0xFF /* я */}) EXPECT_GT(coverage(c), 255 * 20) << c;
  EXPECT_GT(coverage('M'), coverage('.'));
  int minColour = 255;
  for (size_t i = 0; i < d.rgba.size(); i += 4) minColour = std::min<int>(minColour, d.rgba[i]);
  EXPECT_GT(minColour, 240) << "glyph colour is white everywhere";
}

TEST_F(ContentTest, PreviewAndDialogPictures) {
  const Decoded preview = Decode(ReadAll(kData + "/preview.bmp"));
  EXPECT_EQ(preview.w, 152);
  EXPECT_EQ(preview.h, 112);
  const Decoded ad = Decode(ReadAll(kShare + "/ad1.jpg"));
  EXPECT_EQ(ad.w, 250);
  EXPECT_EQ(ad.h, 50);
  // A picture, not a flat colour.
  int lo = 255, hi = 0;
  for (size_t i = 0; i < preview.rgba.size(); i += 4) { lo = std::min<int>(lo, preview.rgba[i + 1]); hi = std::max<int>(hi, preview.rgba[i + 1]); }
  EXPECT_GT(hi - lo, 100);
}

// ---- sounds ---------------------------------------------------------------------------

struct Pcm {
  long rate = 0;
  int channels = 0;
  std::vector<float> l, r;
};

Pcm DecodeOgg(const std::string& path) {
  Pcm p;
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return p;
  const vorbis_info* vi = ov_info(&vf, -1);
  p.rate = vi->rate;
  p.channels = vi->channels;
  int section = 0;
  while (true) {
    float** pcm = nullptr;
    const long got = ov_read_float(&vf, &pcm, 4096, &section);
    if (got <= 0) break;
    for (long i = 0; i < got; ++i) {
      p.l.push_back(pcm[0][i]);
      p.r.push_back(pcm[p.channels > 1 ? 1 : 0][i]);
    }
  }
  ov_clear(&vf);
  return p;
}

double Rms(const std::vector<float>& v, size_t from, size_t to) {
  double s = 0;
  for (size_t i = from; i < to; ++i) s += double(v[i]) * v[i];
  return std::sqrt(s / double(to - from));
}

// Plays the recording twice, the second copy starting one period after the first, as the
// ambient scheduler does, and checks the join: no step above the sound's own largest
// sample-to-sample steps, and no dip or bump in loudness.
void ExpectSeamlessAtPeriod(const Pcm& p, size_t period) {
  ASSERT_GT(p.l.size(), period);
  const size_t tail = p.l.size() - period;
  for (const auto* ch : {&p.l, &p.r}) {
    std::vector<float> mix(period + p.l.size(), 0.0f);
    for (size_t i = 0; i < ch->size(); ++i) {
      mix[i] += (*ch)[i];
      mix[i + period] += (*ch)[i];
    }
    float bodyStep = 0, joinStep = 0;
    for (size_t i = tail + 1000; i + 1 < period - 1000; ++i) bodyStep = std::max(bodyStep, std::fabs(mix[i + 1] - mix[i]));
    for (size_t i = period - 200; i < period + tail + 200; ++i) joinStep = std::max(joinStep, std::fabs(mix[i + 1] - mix[i]));
    EXPECT_LT(joinStep, bodyStep * 1.2f) << "a jump where the copies meet";
    const double body = Rms(mix, tail + 2000, period - 2000);
    const double join = Rms(mix, period, period + tail);
    EXPECT_GT(body, 0.02) << "the recording is nearly silent";
    EXPECT_NEAR(join / body, 1.0, 0.2) << "loudness changes where the copies meet";
  }
}

TEST(ContentSoundTest, BrookAndWaterfallJoinAtTheirPeriods) {
  const Pcm brook = DecodeOgg(kData + "/Sounds/brook.ogg");
  ASSERT_EQ(brook.rate, 44100);
  ASSERT_EQ(brook.channels, 2);
  // One period of 3100 ms plus a 150 ms crossfade tail.
  EXPECT_EQ(brook.l.size(), size_t(44100 * 3250 / 1000));
  ExpectSeamlessAtPeriod(brook, 44100 * 3100 / 1000);
  const Pcm fall = DecodeOgg(kData + "/Sounds/waterfall.ogg");
  ASSERT_EQ(fall.rate, 44100);
  EXPECT_EQ(fall.l.size(), size_t(44100 * 3150 / 1000));
  ExpectSeamlessAtPeriod(fall, 44100 * 3000 / 1000);
}

TEST(ContentSoundTest, BirdsSingAndFadeAtTheEnds) {
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    const Pcm b = DecodeOgg(kData + "/Sounds/birds" + std::to_string(i) + ".ogg");
    ASSERT_EQ(b.rate, 44100);
    const double seconds = double(b.l.size()) / 44100;
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 6.2) << "shorter than the birds' period";
    EXPECT_LT(std::fabs(b.l.front()) + std::fabs(b.l.back()), 0.01f);
    float peak = 0;
    for (float v : b.l) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.2f);
    EXPECT_LE(peak, 1.0f);
  }
}

// ---- birdsong ----------------------------------------------------------------------------

// The power spectrum of `n` samples (a power of two) from `at`, under a Hann window.
std::vector<double> PowerSpectrum(const std::vector<float>& x, size_t at, size_t n) {
  std::vector<std::complex<double>> a(n);
  for (size_t i = 0; i < n; ++i) a[i] = x[at + i] * (0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n)));
  for (size_t i = 1, j = 0; i < n; ++i) {  // bit reversal, then the butterflies
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> w = std::polar(1.0, -2 * M_PI / double(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> wk = 1;
      for (size_t k = 0; k < len / 2; ++k, wk *= w) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
  std::vector<double> p(n / 2);
  for (size_t k = 0; k < n / 2; ++k) p[k] = std::norm(a[k]);
  return p;
}

// A recording's song frame by frame (23 ms windows, 6 ms apart): the strongest pitch
// between 1.2 and 7 kHz where the frame is within 30 dB of the loudest, and over the whole
// recording the energy around twice and three times that pitch against the energy
// around it. Bands widen with the harmonic, since a sweeping note's harmonic sweeps faster.
struct Song {
  std::vector<double> contour;  // log2 of the pitch, NaN where the bird is silent
  double second = 0, third = 0;  // dB against the fundamental
};
Song Analyse(const Pcm& p) {
  constexpr size_t kN = 1024, kHop = 256;
  const double bin = 44100.0 / kN;
  std::vector<float> mono(p.l.size());
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = p.l[i] + p.r[i];
  std::vector<std::vector<double>> spectra;
  std::vector<size_t> peaks;
  double loudest = 0;
  for (size_t at = 0; at + kN <= mono.size(); at += kHop) {
    spectra.push_back(PowerSpectrum(mono, at, kN));
    const auto& s = spectra.back();
    size_t k0 = size_t(1200 / bin);
    for (size_t k = k0; k < size_t(7000 / bin); ++k) k0 = s[k] > s[k0] ? k : k0;
    peaks.push_back(k0);
    loudest = std::max(loudest, s[k0]);
  }
  Song song;
  double e1 = 0, e2 = 0, e3 = 0;
  auto band = [](const std::vector<double>& s, size_t centre, size_t half) {
    double e = 0;
    for (size_t k = centre - half; k <= centre + half && k < s.size(); ++k) e += s[k];
    return e;
  };
  for (size_t f = 0; f < spectra.size(); ++f) {
    const auto& s = spectra[f];
    const size_t k0 = peaks[f];
    if (s[k0] < loudest * 1e-3) {
      song.contour.push_back(std::nan(""));
      continue;
    }
    song.contour.push_back(std::log2(double(k0) * bin));
    e1 += band(s, k0, 8);
    e2 += band(s, 2 * k0, 16);
    e3 += band(s, 3 * k0, 24);
  }
  song.second = 10 * std::log10(e2 / e1);
  song.third = 10 * std::log10(e3 / e1);
  return song;
}

// How far two songs are from being one song shifted in time and transposed: the smallest,
// over every time shift where most of the shorter song's notes meet notes of the other,
// of the spread (in octaves) of the pitch difference between them.
double DistanceAsTransposed(const std::vector<double>& a, const std::vector<double>& b) {
  const auto voiced = [](const std::vector<double>& v) {
    return size_t(std::count_if(v.begin(), v.end(), [](double x) { return !std::isnan(x); }));
  };
  const size_t need = std::min(voiced(a), voiced(b)) / 2;
  double best = 1e9;
  const long na = long(a.size()), nb = long(b.size());
  for (long lag = -nb; lag < na; ++lag) {
    double sum = 0, sum2 = 0;
    size_t both = 0;
    for (long i = std::max(0L, lag); i < na && i - lag < nb; ++i) {
      const double x = a[size_t(i)], y = b[size_t(i - lag)];
      if (std::isnan(x) || std::isnan(y)) continue;
      sum += x - y;
      sum2 += (x - y) * (x - y);
      ++both;
    }
    if (both < need || both < 40) continue;
    const double mean = sum / double(both);
    best = std::min(best, std::sqrt(std::max(0.0, sum2 / double(both) - mean * mean)));
  }
  return best;
}

TEST(ContentSoundTest, BirdsWhistleThreeDifferentSongs) {
  std::vector<Song> songs;
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    const Pcm b = DecodeOgg(kData + "/Sounds/birds" + std::to_string(i) + ".ogg");
    ASSERT_GT(b.l.size(), 44100u);
    songs.push_back(Analyse(b));
    std::printf("birds%d: second harmonic %.1f dB, third %.1f dB\n", i, songs.back().second, songs.back().third);
    EXPECT_LE(songs.back().second, -25.0) << "the notes are not whistled";
    EXPECT_LE(songs.back().third, -25.0) << "the notes are not whistled";
    // Song, not one held note: the pitch ranges over more than half an octave.
    std::vector<double> pitches;
    for (double c : songs.back().contour) if (!std::isnan(c)) pitches.push_back(c);
    ASSERT_GT(pitches.size(), 50u) << "hardly any song";
    std::sort(pitches.begin(), pitches.end());
    EXPECT_GT(pitches[pitches.size() * 95 / 100] - pitches[pitches.size() * 5 / 100], 0.5);
  }
  // The measure itself: a song against its own copy a semitone up is the same song.
  std::vector<double> up = songs[0].contour;
  for (double& c : up) c += 1.0 / 12;
  EXPECT_LT(DistanceAsTransposed(songs[0].contour, up), 0.01);
  for (int i = 0; i < 3; ++i) {
    for (int j = i + 1; j < 3; ++j) {
      const double d = DistanceAsTransposed(songs[size_t(i)].contour, songs[size_t(j)].contour);
      std::printf("birds%d against birds%d: %.2f octaves apart at best\n", i + 1, j + 1, d);
      EXPECT_GT(d, 0.15) << "birds" << i + 1 << " and birds" << j + 1 << " sing the same song";
    }
  }
}

TEST(ContentSoundTest, MusicIsLongAndLoopsWithoutAClick) {
  const Pcm m = DecodeOgg(kData + "/music.ogg");
  ASSERT_EQ(m.rate, 44100);
  ASSERT_EQ(m.channels, 2);
  const double seconds = double(m.l.size()) / 44100;
  EXPECT_GE(seconds, 120.0);
  EXPECT_NEAR(seconds, 40 * 4 * 60.0 / 72, 0.01) << "40 bars at 72 beats per minute";
  for (const auto* ch : {&m.l, &m.r}) {
    // The step from the last sample to the first is no larger than the music's usual steps,
    // and the slope carries on across the loop point.
    std::vector<float> steps;
    for (size_t i = 0; i + 1 < ch->size(); i += 7) steps.push_back(std::fabs((*ch)[i + 1] - (*ch)[i]));
    std::sort(steps.begin(), steps.end());
    const float usual = steps[steps.size() * 999 / 1000];
    const size_t n = ch->size();
    EXPECT_LT(std::fabs(ch->front() - ch->back()), usual);
    const float slopeEnd = (*ch)[n - 1] - (*ch)[n - 2], slopeStart = (*ch)[1] - (*ch)[0];
    EXPECT_LT(std::fabs(slopeEnd - slopeStart), usual);
    EXPECT_GT(Rms(*ch, 0, 44100), 0.005) << "the loop starts in the middle of the sound, not in silence";
    EXPECT_GT(Rms(*ch, n - 44100, n), 0.005);
  }
}

// ---- determinism -----------------------------------------------------------------------

std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadAll(e.path().string());
  }
  return files;
}

TEST(ContentGeneratorTest, TwoRunsWriteIdenticalFiles) {
  const fs::path base = fs::temp_directory_path() / ("qh-content-test-" + std::to_string(::getpid()));
  fs::remove_all(base);
  const std::string gen = QH_CONTENT_GENERATOR;
  const std::string a = (base / "a").string(), b = (base / "b").string();
  ASSERT_EQ(std::system(("'" + gen + "' '" + a + "'").c_str()), 0);
  ASSERT_EQ(std::system(("'" + gen + "' '" + b + "'").c_str()), 0);
  const auto ta = Tree(a), tb = Tree(b), built = Tree(kShare);
  ASSERT_GT(ta.size(), 30u);
  ASSERT_EQ(ta.size(), tb.size());
  for (const auto& [name, bytes] : ta) {
    ASSERT_TRUE(tb.count(name)) << name;
    if (name == "links.txt") continue;  // names its own folder
    EXPECT_TRUE(bytes == tb.at(name)) << name << " differs between two runs";
    // The build's own data came from the same generator.
    if (built.count(name)) {
      EXPECT_TRUE(bytes == built.at(name)) << name << " differs from the build's copy";
    }
  }
  const std::string la(ta.at("links.txt").begin(), ta.at("links.txt").end());
  EXPECT_NE(la.find(a + "/manual.html"), std::string::npos) << la;
  fs::remove_all(base);
}

TEST(ContentGeneratorTest, LinksCanBeRewrittenForAnInstallPrefix) {
  const fs::path dir = fs::temp_directory_path() / ("qh-links-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string gen = QH_CONTENT_GENERATOR;
  ASSERT_EQ(std::system(("'" + gen + "' --links '" + dir.string() + "' '/opt/my apps/share/quiet-highland/manual.html'").c_str()), 0);
  const auto bytes = ReadAll((dir / "links.txt").string());
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "link1=file:///opt/my%20apps/share/quiet-highland/manual.html\r\n");
  fs::remove_all(dir);
}

// ---- the scenes as the saver draws them -------------------------------------------------

// Runs the capture tool on the bundled scenes, starting with the given one (chosen in a
// settings file of its own, 30 s per scene, no clock, no day cycle), for `frames` frames
// of `dt` ms, and returns the frames listed in `at`; empty when the tool failed.
std::vector<Decoded> Capture(int scene, int frames, int dt, const std::vector<int>& at, const fs::path& work,
                             const std::string& extra = "") {
  const fs::path config = work / ("config" + std::to_string(scene));
  fs::create_directories(config / "quiet-highland");
  {
    std::ofstream reg(config / "quiet-highland" / "registry.reg");
    char settings[96];
    std::snprintf(settings, sizeof settings, "hex:00,00,00,00,50,00,00,00,00,00,00,00,%02x,00,00,00,00,00,00,00", scene);
    reg << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software\\quorvale\\screensavers\\Quiet Highland]\n\"settings\"="
        << settings << "\n";
  }
  std::string list;
  for (int f : at) list += (list.empty() ? "" : ",") + std::to_string(f);
  const std::string pattern = (work / ("scene" + std::to_string(scene) + "_%03d.png")).string();
  const std::string cmd = "XDG_CONFIG_HOME='" + config.string() + "' XDG_CONFIG_DIRS=/nonexistent SDL_AUDIODRIVER=dummy '" +
                          std::string(QH_CAPTURE_TOOL) + "' --frames " + std::to_string(frames) + " --dt " +
                          std::to_string(dt) + " --time 10:30:00 --at " + list + " --png '" + pattern + "' " + extra;
  std::vector<Decoded> out;
  if (std::system(cmd.c_str()) != 0) return out;
  for (int f : at) {
    char name[16];
    std::snprintf(name, sizeof name, "_%03d.png", f);
    out.push_back(Decode(ReadAll((work / ("scene" + std::to_string(scene) + name)).string())));
  }
  return out;
}

// The frames of one bundled scene at 0 and 2000 ms, and its nature sound alone (no music)
// over those two seconds into `wav`.
std::vector<Decoded> CaptureScene(int scene, const fs::path& work, const fs::path& wav) {
  return Capture(scene, 101, 20, {0, 100}, work, "--no-music --nature-sounds --wav '" + wav.string() + "'");
}

// The largest sample of a 16-bit PCM WAV file's data chunk; -1 when it has none.
int WavPeak(const fs::path& path) {
  const auto b = ReadAll(path.string());
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = U32(b, at + 4);
    if (std::memcmp(&b[at], "data", 4) == 0) {
      int peak = 0;
      for (size_t i = at + 8; i + 1 < b.size() && i < at + 8 + size; i += 2)
        peak = std::max(peak, std::abs(int(int16_t(uint16_t(b[i] | b[i + 1] << 8)))));
      return peak;
    }
    at += 8 + size + (size & 1);
  }
  return -1;
}

// A frame as its golden picture keeps it: each 2x2 block of pixels averaged.
Decoded Quarter(const Decoded& f) {
  Decoded q;
  q.w = f.w / 2;
  q.h = f.h / 2;
  q.rgba.resize(size_t(q.w) * q.h * 4);
  for (int y = 0; y < q.h; ++y)
    for (int x = 0; x < q.w; ++x)
      for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (int k = 0; k < 4; ++k) sum += f.rgba[(size_t(2 * y + k / 2) * f.w + size_t(2 * x + k % 2)) * 4 + size_t(c)];
        q.rgba[(size_t(y) * q.w + size_t(x)) * 4 + size_t(c)] = uint8_t((sum + 2) / 4);
      }
  return q;
}

bool SavePng(const Decoded& d, const fs::path& path) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(d.rgba.data()), d.w, d.h, 32, d.w * 4,
                                                      SDL_PIXELFORMAT_ABGR8888);
  const bool ok = s && IMG_SavePNG(s, path.c_str()) == 0;
  if (s) SDL_FreeSurface(s);
  return ok;
}

// Against a golden picture, with the tolerance of the engine's golden tests.
// QH_UPDATE_GOLDEN=1 writes the frame as the golden instead.
void ExpectLikeGolden(const Decoded& frame, const std::string& name) {
  const fs::path golden = fs::path(QH_GOLDEN_DIR) / name;
  const Decoded got = Quarter(frame);
  if (const char* update = std::getenv("QH_UPDATE_GOLDEN"); update != nullptr && *update == '1') {
    EXPECT_TRUE(SavePng(got, golden)) << golden;
    return;
  }
  const Decoded want = Decode(ReadAll(golden.string()));
  ASSERT_EQ(want.w, got.w) << golden << " (QH_UPDATE_GOLDEN=1 writes it)";
  ASSERT_EQ(want.h, got.h);
  const golden::Difference d = golden::Compare(got.rgba, want.rgba);
  EXPECT_TRUE(d.Within()) << "the frame differs from " << golden << ": " << d.differing << " pixels off, mean " << d.mean;
}

// How far a frame is from showing scene `scene`'s background: the mean difference per
// colour channel over the pixels where that picture is opaque; below 25 it is that picture.
double DistanceFromBackground(const Decoded& frame, int scene) {
  const AlphaPlane ap = Split(ReadAll(kData + "/_a_back" + std::to_string(scene) + ".jpg"));
  const Decoded back = Decode(ap.jpeg);
  if (back.w != 800 || frame.w != 800 || ap.alpha.size() != 480000u) return 1e9;
  double diff = 0;
  size_t count = 0;
  for (size_t p = 0; p < 480000; p += 97) {
    if (ap.alpha[p] != 255) continue;
    for (int c = 0; c < 3; ++c) diff += std::fabs(double(frame.rgba[p * 4 + size_t(c)]) - back.rgba[p * 4 + size_t(c)]);
    count += 3;
  }
  return count > 1000 ? diff / double(count) : 1e9;
}

TEST_F(ContentTest, EachSceneIsDrawnAndAlive) {
  const fs::path work = fs::temp_directory_path() / ("qh-content-render-" + std::to_string(::getpid()));
  fs::remove_all(work);
  for (int i = 0; i < sceneCount; ++i) {
    SCOPED_TRACE("scene " + std::to_string(i));
    const fs::path wav = work / ("scene" + std::to_string(i) + ".wav");
    const auto frames = CaptureScene(i, work, wav);
    ASSERT_EQ(frames.size(), 2u) << "the capture tool failed";
    ASSERT_EQ(frames[0].w, 800);
    ASSERT_EQ(frames[1].w, 800);
    // Drawn: where the background picture is opaque and nothing stands over it, the frame
    // shows the picture's colours, and not those of any other scene.
    EXPECT_LT(DistanceFromBackground(frames[1], i), 25.0) << "the frame does not show the scene's picture";
    for (int other = 0; other < sceneCount; ++other) {
      if (other != i) {
        EXPECT_GT(DistanceFromBackground(frames[1], other), 25.0) << "it looks like scene " << other;
      }
    }
    // Its nature sound plays from the start, as the installer's table says; a silent scene
    // is silent.
    const int kind = SettingsEx()[size_t(2 + i)];
    const int peak = WavPeak(wav);
    if (kind == 0) {
      EXPECT_EQ(peak, 0) << "a silent scene makes a sound";
    } else {
      EXPECT_GT(peak, 1000) << "no nature sound of kind " << kind;
    }
    // At a fixed time, the frame is the scene's golden picture.
    ExpectLikeGolden(frames[1], "bundled_scene" + std::to_string(i) + ".png");
    // Alive: two seconds later, every sky, water, waterfall, spray and leaves rectangle has changed.
    for (const Object& o : levels[size_t(i)]) {
      const std::string& n = o.name;
      const bool moves = n.find("sky") != std::string::npos || n.find("water") != std::string::npos ||
                         n.find("spray") != std::string::npos || n.find("leaves") != std::string::npos;
      if (!moves) continue;
      const int x0 = std::clamp(int(std::min(o.x1, o.x2) + 400), 0, 800), x1 = std::clamp(int(std::max(o.x1, o.x2) + 400), 0, 800);
      const int y0 = std::clamp(int(300 - std::max(o.y1, o.y2)), 0, 600), y1 = std::clamp(int(300 - std::min(o.y1, o.y2)), 0, 600);
      size_t changed = 0;
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
          const size_t p = (size_t(y) * 800 + size_t(x)) * 4;
          int d = 0;
          for (int c = 0; c < 3; ++c) d += std::abs(int(frames[0].rgba[p + size_t(c)]) - int(frames[1].rgba[p + size_t(c)]));
          changed += d > 12;
        }
      }
      EXPECT_GT(changed, 40u) << n << " looks the same two seconds later";
    }
  }
  fs::remove_all(work);
}

// The director's wrap: after the last scene comes the first. Started on scene 7 with the
// 30 s delay and half-second frames, the change begins after frame 60 and is over about
// fifteen frames later.
TEST_F(ContentTest, TheLastSceneChangesToTheFirst) {
  ASSERT_EQ(sceneCount, 8);
  const fs::path work = fs::temp_directory_path() / ("qh-content-wrap-" + std::to_string(::getpid()));
  fs::remove_all(work);
  const auto frames = Capture(7, 91, 500, {0, 59, 68, 90}, work);
  ASSERT_EQ(frames.size(), 4u) << "the capture tool failed";
  EXPECT_LT(DistanceFromBackground(frames[0], 7), 25.0) << "the run does not start on scene 7";
  EXPECT_LT(DistanceFromBackground(frames[1], 7), 25.0) << "scene 7 changed before its 30 s were up";
  // Halfway through the change the picture is neither scene alone.
  EXPECT_GT(DistanceFromBackground(frames[2], 7), 25.0);
  EXPECT_GT(DistanceFromBackground(frames[2], 0), 25.0);
  EXPECT_LT(DistanceFromBackground(frames[3], 0), 25.0) << "scene 7 is not followed by scene 0";
  EXPECT_GT(DistanceFromBackground(frames[3], 1), 25.0) << "the change went past scene 0";
  fs::remove_all(work);
}

}  // namespace
