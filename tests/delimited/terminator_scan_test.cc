// The terminator scan's comparison paths: every path this CPU offers, forced
// in turn, finds exactly the terminators a byte-by-byte search finds, over
// random blocks with terminators of every byte value (also above 0x7F) and
// with the entries a table without a separator leaves at 0.
#include "src/ripper/terminator_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kova::testing {
namespace {

constexpr ScanPath kPaths[] = {ScanPath::kPortable, ScanPath::kSse2, ScanPath::kAvx2};

// Every position of a terminator in [begin, end), found one by one.
std::vector<size_t> byteByByte(const TerminatorSet& set, const std::vector<uint8_t>& block) {
  std::vector<size_t> found;
  for (size_t i = 0; i < block.size(); ++i) {
    if (set.matches(block[i])) found.push_back(i);
  }
  return found;
}

TEST(TerminatorScanTest, EveryAvailablePathFindsWhatTheByteLoopFinds) {
  std::mt19937_64 random(42);
  EXPECT_TRUE(scanPathAvailable(ScanPath::kPortable));
  EXPECT_TRUE(scanPathAvailable(bestScanPath()));
  int pathsRun = 0;
  for (ScanPath path : kPaths) {
    if (!scanPathAvailable(path)) continue;
    ++pathsRun;
    for (int round = 0; round < 300; ++round) {
      KovaRipper ripper{};
      for (uint8_t& t : ripper.terminators) t = random() % 4 == 0 ? 0 : uint8_t(random());
      const TerminatorSet set(&ripper);
      std::vector<uint8_t> block(size_t(random() % 400));
      for (uint8_t& b : block) {
        // Mostly text, often a terminator, sometimes a byte one off one.
        const uint64_t r = random() % 16;
        b = r < 3 ? set.bytes[r] : r == 3 ? uint8_t(set.bytes[0] + 1) : uint8_t(random());
      }
      const std::vector<size_t> expected = byteByByte(set, block);
      std::vector<size_t> got;
      TerminatorCursor cursor(set, block.data(), block.data() + block.size(), path);
      for (const uint8_t* p = block.data(); p < block.data() + block.size();) {
        const uint8_t* stop = cursor.next(p);
        if (!stop) break;
        got.push_back(size_t(stop - block.data()));
        p = stop + 1;
      }
      ASSERT_EQ(got, expected) << "path " << int(path) << " round " << round;
      // Each window alone, at every alignment the block allows.
      for (size_t at = 0; at + 64 <= block.size(); at += 7) {
        ASSERT_EQ(windowMaskOf(path)(block.data() + at, set.bytes),
                  windowPortable(block.data() + at, set.bytes))
            << "path " << int(path) << " at " << at;
      }
    }
  }
  EXPECT_GE(pathsRun, 2);
}

}  // namespace
}  // namespace kova::testing
