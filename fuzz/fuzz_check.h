// What every fuzz target shares: a check that stops the run with the broken promise named,
// so libFuzzer keeps the input that broke it. A crash is not the only finding.
#pragma once
#include <cstdio>
#include <cstdlib>

#define QH_FUZZ_CHECK(condition)                                                                 \
  do {                                                                                           \
    if (!(condition)) {                                                                          \
      std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                              \
    }                                                                                            \
  } while (false)
