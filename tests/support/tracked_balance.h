// tracked_balance.h - checks that a test leaves the tracked allocator's
// counters where it found them: every tracked block it made was freed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "qorb32n.h"

namespace qorb::test {

// Records the counters when made and expects them back when destroyed.
class TrackedBalance {
 public:
  TrackedBalance() { MemQueryStatus(&bytes_, &blocks_); }
  ~TrackedBalance() {
    std::uint32_t bytes = 0, blocks = 0;
    MemQueryStatus(&bytes, &blocks);
    EXPECT_EQ(bytes, bytes_) << "tracked bytes left behind";
    EXPECT_EQ(blocks, blocks_) << "tracked blocks left behind";
  }
  TrackedBalance(const TrackedBalance &) = delete;
  TrackedBalance &operator=(const TrackedBalance &) = delete;

 private:
  std::uint32_t bytes_ = 0;
  std::uint32_t blocks_ = 0;
};

}  // namespace qorb::test
