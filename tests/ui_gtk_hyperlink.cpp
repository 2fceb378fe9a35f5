// The link control on a real display: what it draws (read back from the server), its
// record table, its field limits, and what a click or a key does to the process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ui_gtk_support.h"
#include "ui/hyperlink.h"

namespace qh {
namespace {

using test::CountPixels;
using test::PaintCounter;
using test::PixelAt;
using test::Rgb;

constexpr Rgb kBlue{0, 0, 200};
constexpr Rgb kRed{200, 0, 0};
constexpr int kTolerance = 8;

// A window holding link controls of 240 x 40 pixels, one under the other.
class HyperlinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tableBefore_ = HyperlinkTable.count;
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_focus_visible(GTK_WINDOW(window_), FALSE);
    fixed_ = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
  }
  void TearDown() override {
    gtk_widget_destroy(window_);
    test::PumpPending();
    EXPECT_EQ(HyperlinkTable.count, tableBefore_) << "destroying the controls frees their records";
  }

  GtkWidget* AddControl(const char* creationText = "Custom1") {
    GtkWidget* control = CreateHyperlink(creationText);
    gtk_widget_set_size_request(control, 240, 40);
    gtk_fixed_put(GTK_FIXED(fixed_), control, 0, 50 * placed_++);
    return control;
  }

  void ShowAndPaint(GtkWidget* control) {
    paints_.Attach(control);
    gtk_widget_show_all(window_);
    ASSERT_TRUE(test::PumpUntil([&] { return paints_.paints > 0; })) << "the control was never painted";
    gdk_display_sync(gtk_widget_get_display(control));
  }

  GdkPixbuf* Pixels(GtkWidget* control) { return test::ReadWidgetPixels(control); }

  int tableBefore_ = 0;
  int placed_ = 0;
  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  PaintCounter paints_;
};

TEST_F(HyperlinkTest, TextTurnsRedAfterThePointerRestsAndBlueWhenItLeaves) {
  GtkWidget* control = AddControl();
  ASSERT_EQ(HyperlinkSetText(control, "ШШШ ___ ШШШ"), 1);
  ShowAndPaint(control);
  HyperlinkRecord* record = FindHyperlink(control);
  ASSERT_NE(record, nullptr);

  GdkPixbuf* before = Pixels(control);
  EXPECT_GT(CountPixels(before, kBlue, kTolerance), 20) << "the text is drawn in RGB(0, 0, 200)";
  EXPECT_EQ(CountPixels(before, kRed, kTolerance), 0);
  g_object_unref(before);

  test::SendCrossing(control, GDK_ENTER_NOTIFY);
  EXPECT_EQ(record->textColour, kHyperlinkNormalColour) << "entering alone is no rest yet";
  ASSERT_TRUE(test::PumpUntil([&] { return record->textColour == kHyperlinkHoverColour; }))
      << "the pointer resting on the control never turned it red";
  ASSERT_TRUE(paints_.WaitForPaint(control, false)) << "turning red repaints the control";
  GdkPixbuf* rested = Pixels(control);
  EXPECT_GT(CountPixels(rested, kRed, kTolerance), 20) << "after a rest the text is RGB(200, 0, 0)";
  EXPECT_EQ(CountPixels(rested, kBlue, kTolerance), 0);
  g_object_unref(rested);

  test::SendCrossing(control, GDK_LEAVE_NOTIFY);
  EXPECT_EQ(record->textColour, kHyperlinkNormalColour);
  ASSERT_TRUE(paints_.WaitForPaint(control, false)) << "leaving repaints the control";
  GdkPixbuf* left = Pixels(control);
  EXPECT_GT(CountPixels(left, kBlue, kTolerance), 20) << "leaving turns the text blue again";
  EXPECT_EQ(CountPixels(left, kRed, kTolerance), 0);
  g_object_unref(left);
}

TEST_F(HyperlinkTest, CreationTextIsNotDrawnAndSetTextIsCentredOnOneLine) {
  GtkWidget* control = AddControl("Custom1");
  ShowAndPaint(control);
  GdkPixbuf* blank = Pixels(control);
  const Rgb background = PixelAt(blank, 0, 0);
  EXPECT_EQ(CountPixels(blank, background, 0), 240 * 40) << "the creation text must not be drawn";
  g_object_unref(blank);

  ASSERT_EQ(HyperlinkSetText(control, "ШШ\nШШ"), 1);
  ASSERT_TRUE(paints_.WaitForPaint(control));
  GdkPixbuf* drawn = Pixels(control);
  int left = 240, right = -1, top = 40, bottom = -1;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 240; ++x) {
      const Rgb p = PixelAt(drawn, x, y);
      if (p.r == background.r && p.g == background.g && p.b == background.b) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  g_object_unref(drawn);
  ASSERT_GE(right, 0) << "the text set later is drawn";
  EXPECT_LE(std::abs(left - (239 - right)), 3) << "centred across: ink from " << left << " to " << right;
  EXPECT_LE(bottom - top, 20) << "one line, the line break drawn in it: ink from row " << top << " to " << bottom;
  EXPECT_GT(right - left, 40) << "all four letters on the one line";
}

TEST_F(HyperlinkTest, PictureSetAfterTheFirstPaintShowsAtTheNextOneAtFullSize) {
  GtkWidget* control = AddControl();
  ASSERT_EQ(HyperlinkSetText(control, "ШШШ ___ ШШШ"), 1);
  ShowAndPaint(control);

  // A picture larger than the control, every pixel telling where it sits.
  cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 400, 100);
  cairo_surface_flush(picture);
  for (int y = 0; y < 100; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(picture) +
                                            y * cairo_image_surface_get_stride(picture));
    for (int x = 0; x < 400; ++x) row[x] = (uint32_t(x & 0xFF) << 16) | (uint32_t(y * 2) << 8) | 77u;
  }
  cairo_surface_mark_dirty(picture);

  ASSERT_EQ(HyperlinkSetBitmap(control, picture), 1);
  test::PumpPending();
  GdkPixbuf* unchanged = Pixels(control);
  EXPECT_GT(CountPixels(unchanged, kBlue, kTolerance), 20) << "the picture waits for the next paint";
  g_object_unref(unchanged);

  ASSERT_TRUE(paints_.WaitForPaint(control));
  GdkPixbuf* shown = Pixels(control);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {120, 20}, {239, 39}, {200, 5}}) {
    const Rgb p = PixelAt(shown, x, y);
    EXPECT_EQ(p.r, x & 0xFF) << "picture pixel " << x << "," << y << " shown 1:1 at the same place";
    EXPECT_EQ(p.g, y * 2) << "picture pixel " << x << "," << y;
    EXPECT_EQ(p.b, 77) << "picture pixel " << x << "," << y;
  }
  g_object_unref(shown);
  gtk_widget_destroy(control);  // before the picture it does not own
  cairo_surface_destroy(picture);
}

TEST_F(HyperlinkTest, DestroyingOneOfTwoControlsLeavesTheOtherWorking) {
  GtkWidget* first = AddControl();
  GtkWidget* second = AddControl();
  EXPECT_EQ(HyperlinkTable.count, tableBefore_ + 2);
  ASSERT_EQ(HyperlinkSetText(second, "ШШШ ___ ШШШ"), 1);
  ShowAndPaint(second);

  gtk_widget_destroy(first);
  EXPECT_EQ(HyperlinkTable.count, tableBefore_ + 1) << "one place is freed";
  EXPECT_EQ(FindHyperlink(first), nullptr);
  HyperlinkRecord* record = FindHyperlink(second);
  ASSERT_NE(record, nullptr) << "the other control keeps its record";
  EXPECT_STREQ(record->text, "ШШШ ___ ШШШ");

  EXPECT_EQ(HyperlinkSetLink(second, "qh-test:none"), 1);
  EXPECT_EQ(HyperlinkSetExitOnOpen(second, 0), 1);
  test::SendCrossing(second, GDK_ENTER_NOTIFY);
  ASSERT_TRUE(test::PumpUntil([&] { return record->textColour == kHyperlinkHoverColour; }));
  ASSERT_TRUE(paints_.WaitForPaint(second, false));
  GdkPixbuf* rested = Pixels(second);
  EXPECT_GT(CountPixels(rested, kRed, kTolerance), 20) << "the remaining control still turns red";
  g_object_unref(rested);
}

TEST_F(HyperlinkTest, TheTableHolds255ControlsAndA256thIsAPlainWidget) {
  std::vector<GtkWidget*> controls;
  while (HyperlinkTable.count < kMaxHyperlinks) controls.push_back(g_object_ref_sink(CreateHyperlink("Custom1")));
  GtkWidget* plain = g_object_ref_sink(CreateHyperlink("Custom1"));
  EXPECT_EQ(HyperlinkTable.count, kMaxHyperlinks);
  EXPECT_EQ(FindHyperlink(plain), nullptr);
  EXPECT_EQ(HyperlinkSetText(plain, "text"), 0) << "a plain widget takes no control operations";
  EXPECT_EQ(HyperlinkSetLink(plain, "qh-test:x"), 0);
  EXPECT_EQ(HyperlinkSetExitOnOpen(plain, 0), 0);
  EXPECT_EQ(HyperlinkSetBitmap(plain, nullptr), 0);

  gtk_widget_destroy(controls.front());
  g_object_unref(controls.front());
  controls.erase(controls.begin());
  EXPECT_EQ(HyperlinkTable.count, kMaxHyperlinks - 1);
  GtkWidget* again = g_object_ref_sink(CreateHyperlink("Custom1"));
  EXPECT_NE(FindHyperlink(again), nullptr) << "a freed place is taken by the next control";
  EXPECT_EQ(HyperlinkTable.records[HyperlinkTable.count - 1]->window, again) << "records stay in creation order";
  controls.push_back(again);

  for (GtkWidget* control : controls) {
    gtk_widget_destroy(control);
    g_object_unref(control);
  }
  gtk_widget_destroy(plain);
  g_object_unref(plain);
}

TEST_F(HyperlinkTest, LinkAndTextAreCutAtACharacterBoundaryToTheirFields) {
  GtkWidget* control = AddControl();
  HyperlinkRecord* record = FindHyperlink(control);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->exitOnOpen, 1) << "a new control ends the process once it has opened its link";
  EXPECT_STREQ(record->link, "");
  EXPECT_STREQ(record->text, "");

  const std::string link254(254, 'l');
  HyperlinkSetLink(control, link254.c_str());
  EXPECT_EQ(std::string(record->link), link254) << "254 bytes fit the link field";
  HyperlinkSetLink(control, (link254 + "x").c_str());
  EXPECT_EQ(std::string(record->link), link254) << "the 255th byte is cut";
  HyperlinkSetLink(control, (std::string(253, 'l') + "ж").c_str());
  EXPECT_EQ(std::string(record->link), std::string(253, 'l')) << "a character that does not fit whole is left out";

  const std::string text255(255, 't');
  HyperlinkSetText(control, text255.c_str());
  EXPECT_EQ(std::string(record->text), text255) << "255 bytes fit the text field";
  HyperlinkSetText(control, (std::string(254, 't') + "ж").c_str());
  EXPECT_EQ(std::string(record->text), std::string(254, 't'));
  HyperlinkSetText(control, (std::string(252, 't') + "жж").c_str());
  EXPECT_EQ(std::string(record->text), std::string(252, 't') + "ж");
}

// Clicks end the process (or not): each runs in a child process. The links go to a
// handler registered in a private data folder, which writes down what it was given.
class HyperlinkOpenTest : public HyperlinkTest {
 protected:
  void SetUp() override {
    HyperlinkTest::SetUp();
    // The child of a death test runs SetUp again: it must find the parent's folder.
    const char* inherited = std::getenv("QH_TEST_LINK_HANDLER_DIR");
    if (inherited != nullptr) {
      dir_ = inherited;
    } else {
      char pattern[] = "/tmp/qh-links.XXXXXX";
      ASSERT_NE(mkdtemp(pattern), nullptr);
      dir_ = pattern;
      setenv("QH_TEST_LINK_HANDLER_DIR", dir_.c_str(), 1);
      ownsDir_ = true;
      WriteHandler();
    }
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    if (ownsDir_) {
      unsetenv("QH_TEST_LINK_HANDLER_DIR");
      if (std::system(("rm -rf '" + dir_ + "'").c_str()) != 0) ADD_FAILURE() << "can't remove " << dir_;
    }
    HyperlinkTest::TearDown();
  }

  void WriteHandler() {
    ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "/data/applications' '" + dir_ + "/config'").c_str()), 0);
    const std::string script = dir_ + "/record.sh";
    // One file per opening, written whole before it gets its name.
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"" << dir_ << "/part.$$\"\nmv \"" << dir_
                          << "/part.$$\" \"" << dir_ << "/opened.$$\"\n";
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    std::ofstream(dir_ + "/data/applications/qh-link-recorder.desktop")
        << "[Desktop Entry]\nType=Application\nName=Link recorder\nNoDisplay=true\nExec=" << script
        << " %u\nMimeType=x-scheme-handler/qh-test;\n";
    std::ofstream(dir_ + "/config/mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/qh-test=qh-link-recorder.desktop\n";
  }

  // What the handler was given, sorted, once it has run `count` times.
  std::vector<std::string> Opened(size_t count) {
    std::vector<std::string> links;
    test::PumpUntil([&] {
      links.clear();
      GDir* folder = g_dir_open(dir_.c_str(), 0, nullptr);
      if (folder == nullptr) return false;
      while (const char* name = g_dir_read_name(folder)) {
        if (std::string(name).rfind("opened.", 0) != 0) continue;
        std::ifstream in(dir_ + "/" + name);
        std::stringstream all;
        all << in.rdbuf();
        links.push_back(all.str());
      }
      g_dir_close(folder);
      return links.size() >= count;
    });
    std::sort(links.begin(), links.end());
    return links;
  }

  std::string dir_;
  bool ownsDir_ = false;
};

TEST_F(HyperlinkOpenTest, ByDefaultAClickOpensTheLinkAndEndsTheProcessWith1) {
  EXPECT_EXIT(
      {
        GtkWidget* control = AddControl();
        HyperlinkSetLink(control, "qh-test:first");
        gtk_widget_show_all(window_);
        test::PumpPending();
        test::SendLeftPress(control);
        std::fprintf(stderr, "the process went on\n");
        std::_Exit(7);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(Opened(1), std::vector<std::string>{"qh-test:first\n"});
}

TEST_F(HyperlinkOpenTest, WithExitOnOpenOffAClickOrAKeyOpensTheLinkAndTheProcessGoesOn) {
  EXPECT_EXIT(
      {
        GtkWidget* control = AddControl();
        HyperlinkSetLink(control, "qh-test:second");
        HyperlinkSetExitOnOpen(control, 0);
        gtk_widget_show_all(window_);
        test::PumpPending();
        test::SendLeftPress(control);
        gtk_widget_grab_focus(control);
        test::SendKey(window_, GDK_KEY_space);
        std::fprintf(stderr, "the process went on\n");
        std::_Exit(7);
      },
      ::testing::ExitedWithCode(7), "the process went on");
  EXPECT_EQ(Opened(2), (std::vector<std::string>{"qh-test:second\n", "qh-test:second\n"}))
      << "the click and the Space key each open the link";
}

TEST_F(HyperlinkOpenTest, ALinkWithoutAHandlerIsReportedAndIgnored) {
  EXPECT_EXIT(
      {
        GtkWidget* control = AddControl();
        HyperlinkSetLink(control, "qh-nobody-handles-this:x");
        HyperlinkSetExitOnOpen(control, 0);
        gtk_widget_show_all(window_);
        test::PumpPending();
        test::SendLeftPress(control);
        std::_Exit(7);
      },
      ::testing::ExitedWithCode(7), "can't open qh-nobody-handles-this:x");
}

}  // namespace
}  // namespace qh
