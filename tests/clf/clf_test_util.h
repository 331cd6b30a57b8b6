// Shared pieces of the CLF and transcoding tests: the seven-column log table
// (text columns kept as UTF-8 in rows, so that tables of any encoding give
// comparable rows), text in other encodings, and ripping through a fresh
// ripper per input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {

class ClfTest : public RipperTest {
 protected:
  // host, ident, user, time and request as VARCHAR (UTF-8 in the row),
  // status and size as INT.
  KovaObject* logTable(int32_t encoding = 0, uint32_t recfm = kRecfmClf);

  // The rows of input given as blocks, through a fresh bound ripper of
  // table (ripBlocks: every block, then flushPending).
  std::vector<std::string> rip(KovaObject* table, const std::vector<std::string_view>& blocks);
  RipFunction ripperOf(KovaObject* table) {
    return
        [this, table](const std::vector<std::string_view>& blocks) { return rip(table, blocks); };
  }
};

// utf8 in the ICU converter named encoding (substitutes what has no form).
std::string encodeAs(std::string_view utf8, const char* encoding);

}  // namespace kova::testing
