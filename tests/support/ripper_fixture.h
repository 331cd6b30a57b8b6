// Shared pieces of the ripper tests: a fixture that builds tables in code,
// creates rippers and burners through the extension and destroys them before
// their tables, and small readers of layouts and column states.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "tests/support/module_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {

class RipperTest : public ModuleTest {
 protected:
  void TearDown() override;

  // A table with the given record format and encoding.
  KovaObject* newTable(uint32_t recfm, int32_t encoding = 0);
  KovaColumn* addColumn(KovaObject* table, std::u16string_view name, uint32_t type,
                        int64_t charlength = 0, int64_t bytelength = 0);

  // Created through the extension; destroyed at tear-down unless destroy()ed.
  KovaRipper* create(KovaObject* table, uint32_t flags = 0, double charExpansion = 0);
  KovaRipper* create(KovaObject* table, const KovaRipperOptions& options);
  void destroy(KovaRipper* ripper);

  // create, describe and bind; fails the test when any step does.
  KovaRipper* bound(KovaObject* table, uint32_t flags = 0);

  // input ripped in blocks of size bytes by a fresh bound ripper of table
  // (ripInBlocksOf of tests/support/rows.h).
  BlockRip ripInBlocks(KovaObject* table, std::string_view input, size_t size);

  static const KovaRowLayout* describe(KovaRipper* ripper) { return ripper->ops.describe(ripper); }
  static KovaLayoutEntry& entry(KovaRipper* ripper, uint32_t i) { return ripper->typedLayout[i]; }
  static KovaRowImageEntry& image(KovaRipper* ripper, uint32_t i) { return ripper->imageLayout[i]; }
  static KovaColumnState& state(KovaRipper* ripper, int32_t column) {
    return ripper->columns[column];
  }
  static std::u16string formatName(const KovaColumnState& state) {
    return state.formatName ? std::u16string(state.formatName, size_t(state.formatNameLength))
                            : std::u16string();
  }
  void setTag(KovaObject* table, KovaColumn* column, std::u16string_view tag) {
    setText(table, &column->tag, &column->tagLength, tag);
  }

 private:
  std::vector<KovaRipper*> rippers_;
};

}  // namespace kova::testing
