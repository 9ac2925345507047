// wait_until.h - waits for something another thread or process makes true,
// checked as it changes rather than after a guessed sleep. The bound only
// keeps a broken library from hanging the suite.
#pragma once

#include <chrono>
#include <thread>

namespace qorb::test {

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::seconds bound = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace qorb::test
