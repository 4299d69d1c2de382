#pragma once
// What a fuzz target does when the code under test breaks a promise that no
// sanitizer can see (a wrong checksum handed out, a setting out of its range):
// print the promise and abort, so that libFuzzer keeps the input as a crash
// and the corpus replay in the test run fails on it.
#include <cstdio>
#include <cstdlib>

#define QS_FUZZ_CHECK(condition)                                                           \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (false)
