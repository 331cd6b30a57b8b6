// Shared pieces of the XML ripper tests: a table of records <row> with the
// columns a (VARCHAR(20)), b (INT) and c (DOUBLE), rippers made fresh for
// each rip, and documents turned into other encodings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {

class XmlRipTest : public RipperTest {
 protected:
  // Records tagged recordTag; columns a, b, c tagged like their names.
  KovaObject* xmlTable(std::u16string_view recordTag = u"row");

  // Rips the blocks (then flushPending) with a new bound ripper.
  std::vector<std::string> rip(KovaObject* table, const std::vector<std::string_view>& blocks,
                               uint32_t flags = 0);
  // The rows of document as one block, checked against every way of cutting it.
  std::vector<std::string> ripSplit(KovaObject* table, std::string_view document,
                                    int randomPartitions = 40);

  // One ripBlock call; count and rows as the ripper left them.
  static KovaStatus ripOne(KovaRipper* ripper, std::string_view block, uint8_t** rows,
                           int32_t* count);
};

// text (UTF-8) as UTF-16 bytes, little- or big-endian, after a byte order mark.
std::string utf16Document(std::string_view text, bool bigEndian);
// text (UTF-8 whose characters are all below U+0100) as ISO-8859-1 bytes.
std::string latin1Document(std::string_view text);

}  // namespace kova::testing
