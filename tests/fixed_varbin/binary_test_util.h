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

  // A column of a FIXED table: bytelength bytes at offset (text of as many
  // characters).
  KovaColumn* at(KovaObject* table, std::u16string_view name, uint32_t type, uint32_t cType,
                 int64_t offset, int64_t bytelength) {
    const bool text = type == kTypeChar || type == kTypeVarchar;
    KovaColumn* column = addColumn(table, name, type, text ? bytelength : 0, bytelength);
    column->c_type = cType;
    column->offset = offset;
    return column;
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

  // The rows of one block holding all of input, each compared with what
  // convertRecord makes of its record in a row that held the same bytes.
  static void expectRowsOfTheRecordConverter(KovaRipper* ripper, const std::string& input) {
    const int64_t reclen = ripper->table->reclen;
    const int64_t count = int64_t(input.size()) / reclen;
    // A first pass gives the row block its size; the second fills rows whose
    // bytes are known, so bytes a converter leaves alone compare as well.
    ASSERT_EQ(ripOnce(ripper, input).status, kStatusOk);
    std::memset(ripper->rowBlock, 0x5A, size_t(count) * ripper->rowLength);
    Result r = ripOnce(ripper, input);
    ASSERT_EQ(r.status, kStatusOk);
    ASSERT_EQ(r.count, count);
    std::vector<uint8_t> row(ripper->rowLength);
    for (int64_t i = 0; i < count; ++i) {
      std::fill(row.begin(), row.end(), 0x5A);
      ASSERT_EQ(ripper->ops.convertRecord(
                    ripper, reinterpret_cast<const uint8_t*>(input.data()) + i * reclen, reclen,
                    row.data()),
                kStatusOk);
      const uint8_t* got = r.rows + uint64_t(i) * ripper->rowLength;
      ASSERT_EQ(std::memcmp(got, row.data(), row.size()), 0)
          << "record " << i << ": " << renderRow(ripper, got) << " vs "
          << renderRow(ripper, row.data());
    }
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
