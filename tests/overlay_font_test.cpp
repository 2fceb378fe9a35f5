// The bitmap font: loading and refusing metrics files, glyph quads, spacing, cells,
// line breaks and the tint, read back from the recording device.
#include <gtest/gtest.h>

#include <cstring>

#include "overlay/font.h"
#include "overlay_font_files.h"

using namespace qh;
using qh::overlay_test::FontMetrics;

namespace {

class OverlayFontTest : public qh::overlay_test::OverlayTest {
 protected:
  Vec3 Centre(size_t draw) const {
    const RecordedDraw& d = device.draws.at(draw);
    const Vec3 topLeft = d.Position(0);
    const Vec3 bottomRight = d.Position(3);
    return {(topLeft.x + bottomRight.x) * 0.5f, (topLeft.y + bottomRight.y) * 0.5f, topLeft.z};
  }
};

TEST_F(OverlayFontTest, LoadingBuildsAdvancesCellsAndWhiteText) {
  FontMetrics metrics = FontMetrics::Identity(16, 0);
  metrics.width['A'] = 32;   // a whole cell: two half cells
  metrics.width['i'] = 8;    // a quarter cell
  metrics.width[255] = 255;
  metrics.cell['A'] = 200;
  WriteFont(metrics);
  SetTextColour(10, 20, 30, 40);

  ASSERT_TRUE(LoadFont("font"));
  EXPECT_EQ(Font.cellsPerRow, 16);
  EXPECT_FLOAT_EQ(Font.cellUV, 1.0f / 16.0f);
  EXPECT_FLOAT_EQ(Font.advance['A'], 2.0f);
  EXPECT_FLOAT_EQ(Font.advance['i'], 0.5f);
  EXPECT_FLOAT_EQ(Font.advance[255], 255.0f * 2.0f / 32.0f);
  EXPECT_FLOAT_EQ(Font.advance[0], 0.0f);
  EXPECT_EQ(Font.glyphCell['A'], 200);
  EXPECT_EQ(Font.glyphCell['B'], 'B');
  ASSERT_NE(Font.texture, nullptr);
  EXPECT_STREQ(Font.texture->name, "font.tga");
  EXPECT_EQ(TextColour, 0xFFFFFFFFu);
  // The metrics bytes are not kept; the glyph picture is.
  EXPECT_EQ(FindFile("font.dat"), nullptr);
  EXPECT_EQ(FindTexture("font.tga"), Font.texture);
}

TEST_F(OverlayFontTest, CellSizeFollowsTheGrid) {
  // 8 cells per row: a cell is 64 texels of the 512-texel texture.
  FontMetrics metrics = FontMetrics::Identity(8, 64);
  metrics.width['x'] = 16;
  WriteFont(metrics);
  ASSERT_TRUE(LoadFont("font"));
  EXPECT_FLOAT_EQ(Font.cellUV, 0.125f);
  EXPECT_FLOAT_EQ(Font.advance['a'], 2.0f);
  EXPECT_FLOAT_EQ(Font.advance['x'], 0.5f);

  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 10.0f, "\x09");  // cell 9: column 1, row 1
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_FLOAT_EQ(device.draws[0].TexCoord(0).x, 0.125f);
  EXPECT_FLOAT_EQ(device.draws[0].TexCoord(0).y, 0.125f);
  EXPECT_FLOAT_EQ(device.draws[0].TexCoord(3).x, 0.25f);
  EXPECT_FLOAT_EQ(device.draws[0].TexCoord(3).y, 0.25f);
}

TEST_F(OverlayFontTest, OneGlyphIsOneQuadCentredOnThePoint) {
  LoadIdentityFont(16, 10);
  DrawFontText(10.0f, 20.0f, 14.0f, "A");

  ASSERT_EQ(device.draws.size(), 1u);
  const RecordedDraw& d = device.draws[0];
  EXPECT_EQ(d.primitiveType, static_cast<uint32_t>(D3DPT_TRIANGLESTRIP));
  EXPECT_EQ(d.primitiveCount, 2u);
  EXPECT_EQ(d.fvf, 0x142u);
  EXPECT_EQ(d.stride, 24u);
  EXPECT_EQ(d.VertexCount(), 4u);
  EXPECT_EQ(d.texture, Font.texture->texture.get());
  // Strip order: top left, top right, bottom left, bottom right; 28 wide, 25.2 tall.
  const float expectX[4] = {-4.0f, 24.0f, -4.0f, 24.0f};
  const float expectY[4] = {20.0f + 12.6f, 20.0f + 12.6f, 20.0f - 12.6f, 20.0f - 12.6f};
  for (uint32_t v = 0; v < 4; ++v) {
    EXPECT_FLOAT_EQ(d.Position(v).x, expectX[v]) << v;
    EXPECT_FLOAT_EQ(d.Position(v).y, expectY[v]) << v;
    EXPECT_FLOAT_EQ(d.Position(v).z, 45.0f) << v;
    EXPECT_EQ(d.Diffuse(v), 0xFFFFFFFFu) << v;
  }
  // The glyph quad always covers the whole cell, however narrow the glyph.
  EXPECT_FLOAT_EQ(d.TexCoord(0).x, 1.0f / 16.0f);
  EXPECT_FLOAT_EQ(d.TexCoord(0).y, 4.0f / 16.0f);
  EXPECT_FLOAT_EQ(d.TexCoord(3).x, 2.0f / 16.0f);
  EXPECT_FLOAT_EQ(d.TexCoord(3).y, 5.0f / 16.0f);
}

TEST_F(OverlayFontTest, CellThirtyThreeOfASixteenCellGrid) {
  FontMetrics metrics = FontMetrics::Identity(16, 32);
  metrics.cell['Q'] = 33;
  WriteFont(metrics);
  ASSERT_TRUE(LoadFont("font"));
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 14.0f, "Q");

  ASSERT_EQ(device.draws.size(), 1u);
  const RecordedDraw& d = device.draws[0];
  const float u0 = 1.0f / 16.0f, u1 = 2.0f / 16.0f, v0 = 2.0f / 16.0f, v1 = 3.0f / 16.0f;
  const Vec2 expected[4] = {{u0, v0}, {u1, v0}, {u0, v1}, {u1, v1}};
  for (uint32_t v = 0; v < 4; ++v) {
    EXPECT_FLOAT_EQ(d.TexCoord(v).x, expected[v].x) << v;
    EXPECT_FLOAT_EQ(d.TexCoord(v).y, expected[v].y) << v;
  }
}

TEST_F(OverlayFontTest, NeighboursStandHalfTheirAdvancesApart) {
  FontMetrics metrics = FontMetrics::Identity(16, 32);
  metrics.width['A'] = 20;  // advance 1.25
  metrics.width['B'] = 6;   // advance 0.375
  WriteFont(metrics);
  ASSERT_TRUE(LoadFont("font"));
  device.ClearRecord();

  DrawFontText(-100.0f, 50.0f, 14.0f, "AB");
  ASSERT_EQ(device.draws.size(), 2u);
  EXPECT_FLOAT_EQ(Centre(0).x, -100.0f);
  EXPECT_FLOAT_EQ(Centre(1).x - Centre(0).x, 14.0f * (1.25f + 0.375f) / 2.0f);
  EXPECT_FLOAT_EQ(Centre(1).y, 50.0f);

  // Glyphs as wide as their cells stand 28 apart at size 14: quad edge to quad edge.
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 14.0f, "WWW");
  ASSERT_EQ(device.draws.size(), 3u);
  EXPECT_FLOAT_EQ(Centre(1).x - Centre(0).x, 28.0f);
  EXPECT_FLOAT_EQ(Centre(2).x - Centre(1).x, 28.0f);
  EXPECT_FLOAT_EQ(device.draws[1].Position(0).x, device.draws[0].Position(1).x);
  EXPECT_EQ(TextureBinds(), 1);
}

TEST_F(OverlayFontTest, LineBreaksStartANewLineBelowThePen) {
  FontMetrics metrics = FontMetrics::Identity(16, 32);
  metrics.width['C'] = 12;  // a narrow first glyph must still be centred on x
  WriteFont(metrics);
  ASSERT_TRUE(LoadFont("font"));

  for (const char* text : {"AB\r\nCD", "AB\nCD"}) {
    SCOPED_TRACE(::testing::PrintToString(text));
    device.ClearRecord();
    DrawFontText(5.0f, 100.0f, 10.0f, text);
    ASSERT_EQ(device.draws.size(), 4u);
    EXPECT_EQ(DrawnText(), "ABCD");
    EXPECT_FLOAT_EQ(Centre(2).x, 5.0f);
    EXPECT_FLOAT_EQ(Centre(2).y, 100.0f - 18.0f);
    EXPECT_FLOAT_EQ(Centre(3).x, 5.0f + 10.0f * (0.75f + 2.0f) / 2.0f);
    EXPECT_FLOAT_EQ(Centre(3).y, 100.0f - 18.0f);
  }

  // Two breaks in a row leave an empty line; a break first moves the first line down.
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 10.0f, "\nA\n\nB");
  ASSERT_EQ(device.draws.size(), 2u);
  EXPECT_FLOAT_EQ(Centre(0).y, -18.0f);
  EXPECT_FLOAT_EQ(Centre(1).y, -54.0f);
  EXPECT_FLOAT_EQ(Centre(0).x, 0.0f);
  EXPECT_FLOAT_EQ(Centre(1).x, 0.0f);
}

TEST_F(OverlayFontTest, CarriageReturnSkipsTheByteAfterItButNeverTheEnd) {
  LoadIdentityFont();
  // The byte after a CR is taken to be its line feed.
  DrawFontText(0.0f, 0.0f, 10.0f, "A\rBC");
  EXPECT_EQ(DrawnText(), "AC");
  ASSERT_EQ(device.draws.size(), 2u);
  EXPECT_FLOAT_EQ(Centre(1).x, 0.0f);
  EXPECT_FLOAT_EQ(Centre(1).y, -18.0f);

  // A CR as the last byte ends the text: whatever lies past the terminating zero is
  // never drawn.
  const char buffer[] = {'A', '\r', '\0', 'X', 'Y', '\0'};
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 10.0f, buffer);
  EXPECT_EQ(DrawnText(), "A");
  const char alone[] = {'\r', '\0', 'Z', '\0'};
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 10.0f, alone);
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(OverlayFontTest, EmptyTextBindsTheFontAndDrawsNothing) {
  LoadIdentityFont();
  BindTexture(nullptr);
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 14.0f, "");
  EXPECT_TRUE(device.draws.empty());
  EXPECT_EQ(TextureBinds(), 1);
  EXPECT_EQ(device.boundTexture, Font.texture->texture.get());
}

TEST_F(OverlayFontTest, ColourIsTheTextColourTimesTheTintTruncated) {
  LoadIdentityFont();
  SetSpriteTint(0.5f, 1.0f, 0.25f, 0.5f);
  DrawFontText(0.0f, 0.0f, 14.0f, "ab");
  ASSERT_EQ(device.draws.size(), 2u);
  // 255 x 0.5 = 127.5 -> 127; 255 x 0.25 = 63.75 -> 63.
  for (const RecordedDraw& d : device.draws) {
    for (uint32_t v = 0; v < 4; ++v) EXPECT_EQ(d.Diffuse(v), 0x7F7FFF3Fu) << v;
  }

  SetSpriteTint(1.0f, 0.5f, 1.0f, 1.0f);
  SetTextColour(200, 101, 50, 255);
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 14.0f, "a");
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].Diffuse(0), 0xFFC83232u);  // green 101 x 0.5 = 50.5 -> 50
}

// Metrics files the drawing could not trust are refused like a missing one.
using OverlayFontDeathTest = OverlayFontTest;

const char kRefusal[] = "Loading Error: Can't load font\\.dat\\.\\.\\.\nProgram will now stop\\.";

TEST_F(OverlayFontDeathTest, MissingOrShortMetricsFileEndsTheProgram) {
  qh::overlay_test::WriteBytes("font.tga", qh::overlay_test::SolidTga(16, 0xFFFFFFFFu));
  EXPECT_EXIT(LoadFont("font"), ::testing::ExitedWithCode(1), kRefusal);

  std::vector<uint8_t> bytes = FontMetrics::Identity(16, 32).Bytes();
  bytes.resize(515);
  qh::overlay_test::WriteBytes("font.dat", bytes);
  EXPECT_EXIT(LoadFont("font"), ::testing::ExitedWithCode(1), kRefusal);
  qh::overlay_test::WriteBytes("font.dat", {});
  EXPECT_EXIT(LoadFont("font"), ::testing::ExitedWithCode(1), kRefusal);
}

TEST_F(OverlayFontDeathTest, MissingGlyphPictureEndsTheProgram) {
  qh::overlay_test::WriteBytes("font.dat", FontMetrics::Identity(16, 32).Bytes());
  EXPECT_EXIT(LoadFont("font"), ::testing::ExitedWithCode(1),
              "Loading error: Couldn't load texture: font\\.tga");
}

TEST_F(OverlayFontDeathTest, GridsOutsideOneToSixtyFourCellsEndTheProgram) {
  for (int32_t cells : {0, -16, 65, 0x10000}) {
    SCOPED_TRACE(cells);
    FontMetrics metrics = FontMetrics::Identity(16, 32);
    metrics.cellsPerRow = cells;
    WriteFont(metrics);
    EXPECT_EXIT(LoadFont("font"), ::testing::ExitedWithCode(1), kRefusal);
  }
}

TEST_F(OverlayFontDeathTest, GlyphCellsBeyondTheGridEndTheProgram) {
  FontMetrics metrics = FontMetrics::Identity(4, 32);  // cells 0..15
  metrics.cell[200] = 16;
  WriteFont(metrics);
  EXPECT_EXIT(LoadFont("font"), ::testing::ExitedWithCode(1), kRefusal);
}

TEST_F(OverlayFontTest, GridsAtTheLimitsAreAccepted) {
  FontMetrics metrics = FontMetrics::Identity(1, 255);
  WriteFont(metrics);  // one cell holding everything
  ASSERT_TRUE(LoadFont("font"));
  EXPECT_FLOAT_EQ(Font.advance['a'], 255.0f * 2.0f / 512.0f);

  metrics = FontMetrics::Identity(64, 8);
  metrics.cell[7] = 255;
  WriteFont(metrics);
  ASSERT_TRUE(LoadFont("font"));
  EXPECT_EQ(Font.cellsPerRow, 64);
  EXPECT_FLOAT_EQ(Font.advance['a'], 2.0f);
  device.ClearRecord();
  DrawFontText(0.0f, 0.0f, 14.0f, "\x07");
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_FLOAT_EQ(device.draws[0].TexCoord(0).x, 63.0f / 64.0f);
  EXPECT_FLOAT_EQ(device.draws[0].TexCoord(0).y, 3.0f / 64.0f);
  // A longer metrics file is read as far as the tables go.
  std::vector<uint8_t> longer = FontMetrics::Identity(16, 32).Bytes();
  longer.resize(600, 0xEE);
  qh::overlay_test::WriteBytes("font.dat", longer);
  ASSERT_TRUE(LoadFont("font"));
  EXPECT_EQ(Font.cellsPerRow, 16);
}

}  // namespace
