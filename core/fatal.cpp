#include "core/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace qh {

namespace {
MessagePresenter presenter = nullptr;
}  // namespace

void SetMessagePresenter(MessagePresenter p) { presenter = p; }

void ShowMessage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  if (presenter != nullptr) presenter(caption, text);
}

void FatalError(const char* caption, const char* text) {
  ShowMessage(caption, text);
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace qh
