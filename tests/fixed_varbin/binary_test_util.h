// Shared pieces of the FIXED and VARBIN parser tests: rippers for tables
// built in code, indicators read back, and a rip that hands the parser an
// exactly sized heap copy of each block, so that a read past a block's end
// is caught by the address sanitizer.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/binary_records.h"
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {

class BinaryRipTest : public RipperTest {
 protected:
  static int64_t indicator(const KovaRipper* ripper, const uint8_t* row, uint32_t i) {
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    const uint8_t* at = row + e.indicatorOffset;
    switch (e.indicatorWidth & kIndicatorWidthMask) {
      case kIndicatorWidth1:
        return int8_t(*at);
      case kIndicatorWidth2: {
        int16_t v;
        std::memcpy(&v, at, 2);
        return v;
      }
      case kIndicatorWidth4: {
        int32_t v;
        std::memcpy(&v, at, 4);
        return v;
      }
      default: {
        int64_t v;
        std::memcpy(&v, at, 8);
        return v;
      }
    }
  }

  struct Result {
    KovaStatus status = 0;
    int32_t count = 0;
    uint8_t* rows = nullptr;
  };

  // One ripBlock call on an exact-size copy of block (freed right after, so
  // the rows stay valid but the bytes do not).
  static Result ripOnce(KovaRipper* ripper, std::string_view block, int32_t hint = 0) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[block.size()]);
    if (!block.empty()) std::memcpy(copy.get(), block.data(), block.size());
    Result result;
    result.count = hint;
    result.status = ripper->ops.ripBlock(ripper, copy.get(), int64_t(block.size()), &result.rows,
                                         &result.count);
    return result;
  }

  // Every block through ripOnce, then flushPending; rows rendered, a failing
  // status as the last line (as ripBlocks of tests/support does).
  static std::vector<std::string> ripAll(KovaRipper* ripper,
                                         const std::vector<std::string_view>& blocks) {
    std::vector<std::string> rendered;
    auto collect = [&](const Result& r) {
      if (r.status != kStatusOk) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "status 0x%08x", r.status);
        rendered.push_back(buffer);
        return false;
      }
      for (int32_t i = 0; i < r.count; ++i) {
        rendered.push_back(renderRow(ripper, r.rows + uint64_t(i) * ripper->rowLength));
      }
      return true;
    };
    for (std::string_view block : blocks) {
      if (!collect(ripOnce(ripper, block))) return rendered;
    }
    Result flushed;
    flushed.status = ripper->ops.flushPending(ripper, &flushed.rows, &flushed.count);
    collect(flushed);
    return rendered;
  }
};

}  // namespace kova::testing
