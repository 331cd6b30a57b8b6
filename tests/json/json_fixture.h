// Shared pieces of the JSON ripper tests: a table with a column of every
// type the records carry, each with a tag, and rips of whole inputs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {

class JsonTest : public RipperTest {
 protected:
  // Columns (tag): id BIGINT (id), name VARCHAR(16) (name), n INT (n),
  // small SMALLINT (small), tiny TINYINT (tiny), x DOUBLE (x), price
  // DECIMAL(8,2) (price), day DATE (day), at TIME (at), seen TIMESTAMP
  // (seen), code CHAR(2) (code), flag VARCHAR(1) (flag).
  KovaObject* eventsTable(int32_t encoding = kEncodingUtf8);

  // Columns (tag): id BIGINT (id), name VARCHAR(16) (name), n INT (n).
  KovaObject* smallTable();

  // A bound ripper of the table (typed unless flags say otherwise).
  KovaRipper* jsonRipper(KovaObject* table, uint32_t flags = 0);

  // Rips input in the given blocks with a fresh ripper of table and returns
  // the rendered rows (a failed status is the last line, as ripBlocks does).
  std::vector<std::string> rip(KovaObject* table, const std::vector<std::string_view>& blocks,
                               uint32_t flags = 0);

  // One block through ripBlock; count receives the rows.
  static KovaStatus ripOne(KovaRipper* ripper, std::string_view block, int32_t* count,
                           uint8_t** rows = nullptr);
};

// The same JSON text in UTF-16LE (no byte order mark) or ISO-8859-1; the
// text is UTF-8 and, for Latin-1, holds no character above U+00FF.
std::string toUtf16Le(std::string_view utf8);
std::string toLatin1(std::string_view utf8);

}  // namespace kova::testing
