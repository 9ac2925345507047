// posix_only.h - leaves out, on Windows, a test that only makes sense on
// POSIX, with the reason it gives (listed by the test command).
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#define QORB_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define QORB_POSIX_ONLY(reason) static_cast<void>(0)
#endif
