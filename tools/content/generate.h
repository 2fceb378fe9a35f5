// The generator's parts and the order in which they write the data folder.
#pragma once
#include <string>

#include "tools/content/content.h"

namespace qhc {

// Writes everything into outDir (share/quiet-highland); previewDir, when not empty,
// receives composites of the scenes for looking at them (never part of the data).
void GenerateAll(const std::string& outDir, const std::string& previewDir);
// links.txt with link1= the file:// address of the given manual page.
void WriteLinks(const std::string& outDir, const std::string& manualPath);
std::string FileUrl(const std::string& absolutePath);

// Font: _a_font.jpg (the glyph grid, white with coverage in the alpha plane) and font.dat.
struct FontFiles {
  Bytes picture, metrics;
};
FontFiles MakeFont(const std::string& ttfPath);
// The settings dialog's picture: the product's name on a landscape band.
Bytes MakeAdPicture(const std::string& ttfPath);

// Sounds, as Ogg Vorbis files.
Bytes MakeBirds(int which);  // 1..3
Bytes MakeBrook();
Bytes MakeWaterfallSound();
Bytes MakeMusic();

}  // namespace qhc
