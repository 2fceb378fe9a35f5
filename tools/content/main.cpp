// qh-make-content: writes the saver's whole installation data into one folder, the same
// bytes on every run.
//
//   qh-make-content OUTDIR [--preview DIR]     everything (DIR: composites of the scenes)
//   qh-make-content --links OUTDIR MANUAL      rewrite OUTDIR/links.txt for a manual page
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "tools/content/generate.h"

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::strcmp(argv[1], "--links") == 0) {
      qhc::WriteLinks(argv[2], argv[3]);
      return 0;
    }
    if (argc != 2 && argc != 4) {
      std::fprintf(stderr, "usage: qh-make-content OUTDIR [--preview DIR]\n"
                           "       qh-make-content --links OUTDIR MANUAL-PATH\n");
      return 2;
    }
    std::string previewDir;
    if (argc == 4) {
      if (std::strcmp(argv[2], "--preview") != 0) {
        std::fprintf(stderr, "qh-make-content: unknown option %s\n", argv[2]);
        return 2;
      }
      previewDir = argv[3];
    }
    qhc::GenerateAll(argv[1], previewDir);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qh-make-content: %s\n", e.what());
    return 1;
  }
}
