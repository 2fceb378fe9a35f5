// The GTK test program: GoogleTest with GTK started on the display the runner gives it
// (tests/ui_xvfb.sh starts a private Xvfb for every run).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "ui/hyperlink.h"

int main(int argc, char** argv) {
  // No desktop settings service and no accessibility bus in a test.
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("NO_AT_BRIDGE", "1", 1);
  ::testing::InitGoogleTest(&argc, argv);
  // A child that must end the process starts afresh rather than as a fork of a GTK program.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "qh_ui_tests: no display to run GTK on (DISPLAY=%s)\n",
                 std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "");
    return 1;
  }
  qh::RegisterHyperlinkClass();
  return RUN_ALL_TESTS();
}
