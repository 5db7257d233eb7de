// A property check for the fuzz targets: on failure, say which and abort, so libFuzzer keeps
// the input that broke it.
#ifndef QUODREL_TEST_FUZZ_CHECK_H
#define QUODREL_TEST_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                               \
    }                                                                             \
  } while (false)

#endif
