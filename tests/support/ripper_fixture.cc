#include "tests/support/ripper_fixture.h"

#include <algorithm>

namespace kova::testing {

void RipperTest::TearDown() {
  for (KovaRipper* ripper : rippers_) ripper->ops.destroy(ripper);
  rippers_.clear();
  ModuleTest::TearDown();
}

KovaObject* RipperTest::newTable(uint32_t recfm, int32_t encoding) {
  KovaObject* table = newInstance("test table");
  if (!table) return nullptr;
  table->recfm = recfm;
  table->encoding = encoding;
  table->fieldsep = ',';
  return table;
}

KovaColumn* RipperTest::addColumn(KovaObject* table, std::u16string_view name, uint32_t type,
                                  int64_t charlength, int64_t bytelength) {
  KovaColumn* column = extension()->addColumn(table);
  if (!column) return nullptr;
  setText(table, &column->name, &column->nameLength, name);
  column->type = type;
  column->charlength = charlength;
  column->bytelength = bytelength;
  return column;
}

KovaRipper* RipperTest::create(KovaObject* table, uint32_t flags, double charExpansion) {
  KovaRipperOptions options{};
  options.flags = flags;
  options.charExpansion = charExpansion;
  return create(table, options);
}

KovaRipper* RipperTest::create(KovaObject* table, const KovaRipperOptions& options) {
  KovaRipper* ripper = extension()->createRipper(table, &options, diagnostics().get());
  if (ripper) rippers_.push_back(ripper);
  return ripper;
}

void RipperTest::destroy(KovaRipper* ripper) {
  std::erase(rippers_, ripper);
  ripper->ops.destroy(ripper);
}

KovaRipper* RipperTest::bound(KovaObject* table, uint32_t flags) {
  KovaRipper* ripper = create(table, flags);
  EXPECT_NE(ripper, nullptr);
  if (!ripper) return nullptr;
  EXPECT_NE(describe(ripper), nullptr);
  EXPECT_NE(ripper->ops.bind, nullptr);
  if (!ripper->ops.bind) return nullptr;
  KovaStatus status = ripper->ops.bind(ripper);
  EXPECT_EQ(status, kStatusOk) << std::hex << status;
  return status == kStatusOk ? ripper : nullptr;
}

BlockRip RipperTest::ripInBlocks(KovaObject* table, std::string_view input, size_t size) {
  KovaRipper* ripper = bound(table);
  if (!ripper) return {};
  BlockRip result = ripInBlocksOf(ripper, input, size);
  destroy(ripper);
  return result;
}

}  // namespace kova::testing
