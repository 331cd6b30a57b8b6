// Shared pieces of the delimited parser tests: tables of text columns,
// rippers made fresh for each rip, and the rows as renderRow shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {

class DelimitedTest : public RipperTest {
 protected:
  // A table of `columns` VARCHAR columns of `width` bytes (c0, c1, ...).
  KovaObject* textTable(int columns, uint8_t separator = ',', uint8_t qualifier = '"',
                        int64_t width = 64, uint32_t recfm = kRecfmDelimited);

  // Rips the blocks with a new bound ripper (destroyed afterwards); with
  // headerLines >= 0 the ripper skips that many records (as a host may ask
  // of a typed ripper).
  std::vector<std::string> rip(KovaObject* table, const std::vector<std::string_view>& blocks,
                               uint32_t flags = 0, int32_t headerLines = -1);

  // The rows of input as one block, checked against every way of cutting it.
  std::vector<std::string> ripSplit(KovaObject* table, std::string_view input, uint32_t flags = 0,
                                    int32_t headerLines = -1, int randomPartitions = 40);
};

// A typed text value as renderRow shows it: quoted, '"' and '\' escaped,
// control bytes as \xHH.
std::string shown(std::string_view text);

}  // namespace kova::testing
