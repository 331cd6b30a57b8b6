// describe: typed and row-image layouts, alignment, indicator widths, the
// per-column state it fills, and columns it cannot lay out.
#include "src/host/options.h"
#include "tests/support/ripper_fixture.h"

namespace kova::testing {
namespace {

class LayoutTest : public RipperTest {};

TEST_F(LayoutTest, ValuesComeFirstAlignedThenTheIndicators) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"price", kTypeDouble);
  addColumn(table, u"flag", kTypeTinyint);
  addColumn(table, u"count", kTypeInt);
  KovaRipper* ripper = create(table);
  ASSERT_NE(ripper, nullptr);
  const KovaRowLayout* layout = describe(ripper);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->layout, ripper->layout);
  EXPECT_EQ(layout->layoutCount, 3u);
  EXPECT_EQ(layout->rowLength, 24u);
  const uint64_t data[] = {0, 8, 12};
  const uint64_t indicators[] = {16, 17, 18};
  const int32_t sql[] = {kSqlDouble, kSqlTinyint, kSqlInteger};
  const uint32_t storage[] = {kStorageDouble, kStorageInt8, kStorageInt32};
  const uint64_t octets[] = {8, 1, 4};
  for (uint32_t i = 0; i < 3; ++i) {
    const KovaLayoutEntry& e = entry(ripper, i);
    EXPECT_EQ(e.dataOffset, data[i]) << i;
    EXPECT_EQ(e.indicatorOffset, indicators[i]) << i;
    EXPECT_EQ(e.indicatorWidth, kIndicatorWidth1) << i;
    EXPECT_EQ(e.sqlType, sql[i]) << i;
    EXPECT_EQ(e.storageType, storage[i]) << i;
    EXPECT_EQ(e.octetLength, octets[i]) << i;
    EXPECT_EQ(e.columnNumber, i + 1);
    EXPECT_EQ(e.ordinal, i + 1);
    EXPECT_EQ(e.nullable, 1u);
    EXPECT_EQ(e.usage, kUsageRipper);
    EXPECT_EQ(state(ripper, int32_t(i)).entry, &e);
    EXPECT_EQ(state(ripper, int32_t(i)).fieldEncoding, uint32_t(kEncodingUtf8));
  }
  EXPECT_EQ(u8({entry(ripper, 0).columnName, entry(ripper, 0).columnNameLength}), "price");
  EXPECT_EQ(entry(ripper, 0).columnSize, 22u);
  EXPECT_EQ(entry(ripper, 2).columnSize, 10u);
  EXPECT_NE(ripper->ops.bind, nullptr);

  // Describing again rebuilds the same entries in the same array.
  void* first = ripper->layout;
  ASSERT_NE(describe(ripper), nullptr);
  EXPECT_EQ(ripper->layout, first);
  EXPECT_EQ(entry(ripper, 2).dataOffset, 12u);
  EXPECT_EQ(ripper->rowLength, 24u);
}

TEST_F(LayoutTest, CharacterOctetsComeFromBytesExpansionOrTheEncoding) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"text", kTypeVarchar, 100);
  KovaRipper* expanded = create(table, 0, 1.5);
  ASSERT_NE(describe(expanded), nullptr);
  EXPECT_EQ(entry(expanded, 0).octetLength, 150u);
  EXPECT_EQ(entry(expanded, 0).indicatorWidth, kIndicatorWidth2);
  EXPECT_EQ(entry(expanded, 0).indicatorOffset, 152u);
  EXPECT_EQ(entry(expanded, 0).sqlType, kSqlVarchar);
  EXPECT_EQ(entry(expanded, 0).columnSize, 100u);
  EXPECT_EQ(entry(expanded, 0).encoding, uint32_t(kEncodingUtf8));
  EXPECT_EQ(state(expanded, 0).charLength, 100u);
  EXPECT_EQ(state(expanded, 0).rowEncoding, uint32_t(kEncodingUtf8));

  // Without an expansion: the encoding's widest character (4 in UTF-8, 1 in
  // Latin-1); a burner takes two bytes per character; bytelength wins.
  KovaRipper* utf8 = create(table);
  ASSERT_NE(describe(utf8), nullptr);
  EXPECT_EQ(entry(utf8, 0).octetLength, 400u);
  KovaObject* latin = newTable(kRecfmDelimited, 1);
  KovaColumn* name = addColumn(latin, u"name", kTypeChar, 30);
  KovaRipper* single = create(latin);
  ASSERT_NE(describe(single), nullptr);
  EXPECT_EQ(entry(single, 0).octetLength, 30u);
  EXPECT_EQ(entry(single, 0).sqlType, kSqlChar);
  KovaRipper* burner = create(latin, kRipperOutput);
  ASSERT_NE(describe(burner), nullptr);
  EXPECT_EQ(entry(burner, 0).octetLength, 60u);
  EXPECT_EQ(entry(burner, 0).usage, kUsageBurner);
  name->bytelength = 7;
  name->cei = 12;
  KovaRipper* sized = create(latin, 0, 3.0);
  ASSERT_NE(describe(sized), nullptr);
  EXPECT_EQ(entry(sized, 0).octetLength, 7u);
  EXPECT_EQ(entry(sized, 0).encoding, 12u);
}

TEST_F(LayoutTest, IndicatorWidthGrowsWithTheValueAndIsAligned) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"t", kTypeTinyint);
  addColumn(table, u"big", kTypeChar, 0, 200000);
  addColumn(table, u"w127", kTypeChar, 0, 127);
  addColumn(table, u"w128", kTypeChar, 0, 128);
  addColumn(table, u"w32768", kTypeChar, 0, 32768);
  addColumn(table, u"huge", kTypeChar, 0, int64_t(1) << 31);
  KovaRipper* ripper = create(table);
  const KovaRowLayout* layout = describe(ripper);
  ASSERT_NE(layout, nullptr);
  const uint64_t values = 1 + 200000 + 127 + 128 + 32768 + (uint64_t(1) << 31);
  const uint64_t base = (values + 7) / 8 * 8;
  EXPECT_EQ(entry(ripper, 0).indicatorOffset, base + 0);
  EXPECT_EQ(entry(ripper, 1).indicatorWidth, kIndicatorWidth4);
  EXPECT_EQ(entry(ripper, 1).indicatorOffset, base + 4);
  EXPECT_EQ(entry(ripper, 2).indicatorWidth, kIndicatorWidth1);
  EXPECT_EQ(entry(ripper, 2).indicatorOffset, base + 8);
  EXPECT_EQ(entry(ripper, 3).indicatorWidth, kIndicatorWidth2);
  EXPECT_EQ(entry(ripper, 3).indicatorOffset, base + 10);
  EXPECT_EQ(entry(ripper, 4).indicatorWidth, kIndicatorWidth4);
  EXPECT_EQ(entry(ripper, 4).indicatorOffset, base + 12);
  EXPECT_EQ(entry(ripper, 5).indicatorWidth, kIndicatorWidth8);
  EXPECT_EQ(entry(ripper, 5).indicatorOffset, base + 16);
  EXPECT_EQ(layout->rowLength, base + 24);
}

TEST_F(LayoutTest, DroppedColumnTakesNoEntryButCountsInTheOrdinal) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"a", kTypeInt);
  addColumn(table, u"gone", kTypeDouble)->dropped = 1;
  addColumn(table, u"c", kTypeSmallint);
  KovaRipper* ripper = create(table);
  const KovaRowLayout* layout = describe(ripper);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->layoutCount, 2u);
  EXPECT_EQ(state(ripper, 1).entry, nullptr);
  EXPECT_EQ(state(ripper, 1).column, table->columns[1]);
  EXPECT_EQ(entry(ripper, 1).columnNumber, 2u);
  EXPECT_EQ(entry(ripper, 1).ordinal, 3u);
  EXPECT_EQ(entry(ripper, 1).dataOffset, 4u);
  EXPECT_EQ(layout->rowLength, 16u);
}

TEST_F(LayoutTest, TextFormatTypesTakeTheirSizesAndDigits) {
  KovaObject* table = newTable(kRecfmClf);
  addColumn(table, u"d", kTypeDate);
  KovaColumn* time = addColumn(table, u"t", kTypeTime, 6);
  time->scale = 3;
  addColumn(table, u"ts", kTypeTimestamp, 6);
  addColumn(table, u"dec", kTypeDecimal, 30, 5);
  addColumn(table, u"small", kTypeDecimal, 5, 2);
  addColumn(table, u"bin", kTypeBinary, 0, 16);
  addColumn(table, u"big", kTypeBigint);
  KovaRipper* plain = create(table);
  ASSERT_NE(describe(plain), nullptr);
  EXPECT_EQ(entry(plain, 0).sqlType, kSqlDate);
  EXPECT_EQ(entry(plain, 0).columnSize, 8u);
  EXPECT_EQ(entry(plain, 1).columnSize, 15u);  // charlength 6 + 9
  EXPECT_EQ(entry(plain, 1).decimalDigits, 0u);
  EXPECT_EQ(entry(plain, 2).columnSize, 26u);
  EXPECT_EQ(entry(plain, 2).decimalDigits, 6u);
  EXPECT_EQ(entry(plain, 2).storageType, kStorageDouble);
  EXPECT_EQ(entry(plain, 3).octetLength, 37u);
  EXPECT_EQ(entry(plain, 3).decimalDigits, 5u);
  EXPECT_EQ(entry(plain, 3).storageType, kStorageDecimal);
  EXPECT_EQ(entry(plain, 4).octetLength, 19u);
  EXPECT_EQ(entry(plain, 5).sqlType, kSqlBinary);
  EXPECT_EQ(entry(plain, 5).octetLength, 16u);
  EXPECT_EQ(entry(plain, 6).sqlType, kSqlBigint);
  EXPECT_EQ(entry(plain, 6).columnSize, 18u);
  EXPECT_EQ(entry(plain, 6).dataOffset % 8, 0u);

  KovaRipper* scaled = create(table, kRipperTimePrecisionFromScale);
  ASSERT_NE(describe(scaled), nullptr);
  EXPECT_EQ(entry(scaled, 1).columnSize, 12u);
  EXPECT_EQ(entry(scaled, 1).decimalDigits, 3u);
}

TEST_F(LayoutTest, BinaryFormatsSetValueKindsAndRecords) {
  auto build = [&](uint32_t recfm) {
    KovaObject* table = newTable(recfm, 12);
    table->bigendian = 1;
    addColumn(table, u"n", kTypeInt);
    addColumn(table, u"c", kTypeChar, 10);
    addColumn(table, u"v", kTypeVarchar, 10, 12)->colendian = 1;
    addColumn(table, u"d", kTypeDate);
    addColumn(table, u"t", kTypeTime, 3);
    addColumn(table, u"ts", kTypeTimestamp, 3);
    addColumn(table, u"b", kTypeBinary, 4)->cei = 1;
    addColumn(table, u"x", kTypeDouble)->colendian = 2;
    return table;
  };
  KovaRipper* fixed = create(build(kRecfmFixed));
  ASSERT_NE(describe(fixed), nullptr);
  const uint32_t fixedKinds[] = {kValueInteger, kValueText,   kValueText,  kValueDouble,
                                 kValueDouble,  kValueDouble, kValueBytes, kValueDouble};
  for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(state(fixed, i).valueKind, fixedKinds[i]) << i;
  EXPECT_EQ(entry(fixed, 1).octetLength, 10u);
  EXPECT_EQ(entry(fixed, 2).octetLength, 12u);
  EXPECT_EQ(entry(fixed, 3).columnSize, 22u);
  EXPECT_EQ(entry(fixed, 3).storageType, kStorageDouble);
  EXPECT_EQ(entry(fixed, 5).columnSize, 23u);
  EXPECT_EQ(entry(fixed, 6).columnSize, 4u);
  EXPECT_EQ(entry(fixed, 6).encoding, 1u);
  EXPECT_EQ(state(fixed, 6).fieldEncoding, 12u);
  EXPECT_EQ(state(fixed, 0).fieldEncoding, 0u);
  EXPECT_EQ(state(fixed, 1).bigEndian, 1);
  EXPECT_EQ(state(fixed, 2).bigEndian, 0);
  EXPECT_EQ(state(fixed, 7).bigEndian, 1);
  EXPECT_EQ(state(fixed, 1).charLength, 0u);

  KovaRipper* varbin = create(build(kRecfmVarbin));
  ASSERT_NE(describe(varbin), nullptr);
  const uint32_t varbinKinds[] = {kValueInteger,    kValueBytes,      kValueText,
                                  kValueDateRecord, kValueTimeRecord, kValueTimestampRecord,
                                  kValueBytes,      kValueDouble};
  for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(state(varbin, i).valueKind, varbinKinds[i]) << i;
  EXPECT_EQ(entry(varbin, 3).storageType, kStorageDateRecord);
  EXPECT_EQ(entry(varbin, 3).octetLength, 6u);
  EXPECT_EQ(entry(varbin, 4).storageType, kStorageTimeRecord);
  EXPECT_EQ(entry(varbin, 4).columnSize, 12u);
  EXPECT_EQ(entry(varbin, 5).storageType, kStorageTimestampRecord);
  EXPECT_EQ(entry(varbin, 5).octetLength, 16u);
  EXPECT_EQ(entry(varbin, 5).dataOffset % 8, 0u);

  // Without a field encoding the value's encoding is the field's too.
  KovaObject* bare = newTable(kRecfmNative, 0);
  addColumn(bare, u"c", kTypeChar, 4)->cei = 20;
  KovaRipper* native = create(bare);
  ASSERT_NE(describe(native), nullptr);
  EXPECT_EQ(state(native, 0).fieldEncoding, 20u);
  EXPECT_EQ(state(native, 0).rowEncoding, 20u);
}

TEST_F(LayoutTest, RowImageHoldsTextAndEightByteNumbers) {
  host().setOption(kOptionSessionEncoding, 1);
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"c", kTypeChar, 20, 10);
  addColumn(table, u"x", kTypeDouble);
  addColumn(table, u"gone", kTypeInt)->dropped = 1;
  addColumn(table, u"v", kTypeVarchar, 5);
  addColumn(table, u"d", kTypeDate);
  KovaRipper* ripper = create(table, kRipperRowImage);
  const KovaRowLayout* layout = describe(ripper);
  ASSERT_NE(layout, nullptr);
  ASSERT_EQ(layout->layoutCount, 4u);
  EXPECT_EQ(image(ripper, 0).offset, 0);
  EXPECT_EQ(image(ripper, 0).length, 10);
  EXPECT_EQ(image(ripper, 1).offset, 16);
  EXPECT_EQ(image(ripper, 1).length, kRowImageNumber);
  EXPECT_EQ(image(ripper, 2).offset, 24);
  EXPECT_EQ(image(ripper, 2).length, 5);
  EXPECT_EQ(image(ripper, 3).offset, 32);
  EXPECT_EQ(image(ripper, 3).length, kRowImageNumber);
  EXPECT_EQ(layout->rowLength, 40u);
  EXPECT_EQ(state(ripper, 0).valueKind, kValueBytes);
  EXPECT_EQ(state(ripper, 1).valueKind, kValueDouble);
  EXPECT_EQ(state(ripper, 0).rowEncoding, 1u);
  EXPECT_EQ(state(ripper, 0).fieldEncoding, uint32_t(kEncodingUtf8));
  EXPECT_EQ(state(ripper, 2).entry, nullptr);

  KovaRipper* empty = create(newTable(kRecfmDelimited), kRipperRowImage);
  const KovaRowLayout* none = describe(empty);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->layoutCount, 0u);
  EXPECT_EQ(none->rowLength, 0u);
}

TEST_F(LayoutTest, UnsupportedTypesAreLoggedAndKeepZeroTypeFields) {
  KovaObject* table = newTable(kRecfmDelimited);
  KovaColumn* real = addColumn(table, u"r", kTypeReal);
  real->c_type = kCTypeFloat;
  addColumn(table, u"odd", 15);
  addColumn(table, u"n", kTypeInt);
  KovaRipper* ripper = create(table);
  const KovaRowLayout* layout = describe(ripper);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->layoutCount, 3u);
  EXPECT_EQ(entry(ripper, 0).sqlType, 0);
  EXPECT_EQ(entry(ripper, 0).storageType, 0u);
  EXPECT_EQ(entry(ripper, 0).octetLength, 0u);
  EXPECT_EQ(entry(ripper, 0).indicatorWidth, kIndicatorWidth1);
  EXPECT_EQ(entry(ripper, 0).columnNumber, 1u);
  EXPECT_EQ(entry(ripper, 2).dataOffset, 0u);
  EXPECT_TRUE(diagnostics().contains(
      "KOVA data type [7] CType [11] provided in column [r] is not supported.", kLogError));
  EXPECT_TRUE(
      diagnostics().contains("KOVA data type [15] CType [0] provided in column [odd]", kLogError));
}

TEST_F(LayoutTest, LengthsThatWouldOverflowTheRowAreNotSupported) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"huge", kTypeChar, 0, int64_t(1) << 40);
  addColumn(table, u"negative", kTypeVarchar, 0, -5);
  addColumn(table, u"wide", kTypeVarchar, int64_t(1) << 62);
  addColumn(table, u"spread", kTypeVarchar, 1000);
  addColumn(table, u"dec", kTypeDecimal, INT64_MAX, 5);
  addColumn(table, u"n", kTypeInt);
  KovaRipper* ripper = create(table, 0, 1e30);
  const KovaRowLayout* layout = describe(ripper);
  ASSERT_NE(layout, nullptr);
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(entry(ripper, i).sqlType, 0) << i;
    EXPECT_EQ(entry(ripper, i).octetLength, 0u) << i;
  }
  EXPECT_EQ(entry(ripper, 5).sqlType, kSqlInteger);
  EXPECT_EQ(entry(ripper, 5).dataOffset, 0u);
  EXPECT_EQ(layout->rowLength, 16u);
  EXPECT_TRUE(diagnostics().contains("provided in column [huge] is not supported.", kLogError));
  EXPECT_TRUE(diagnostics().contains("provided in column [spread] is not supported.", kLogError));

  // Two columns that fit alone but not together: the second is refused.
  KovaObject* pair = newTable(kRecfmDelimited);
  addColumn(pair, u"first", kTypeChar, 0, int64_t(3) << 30);
  addColumn(pair, u"second", kTypeChar, 0, int64_t(3) << 30);
  KovaRipper* both = create(pair);
  ASSERT_NE(describe(both), nullptr);
  EXPECT_EQ(entry(both, 0).octetLength, uint64_t(3) << 30);
  EXPECT_EQ(entry(both, 1).octetLength, 0u);

  KovaObject* wide = newTable(kRecfmDelimited);
  addColumn(wide, u"c", kTypeChar, 0, int64_t(1) << 31);
  addColumn(wide, u"x", kTypeDouble);
  KovaRipper* imaged = create(wide, kRipperRowImage);
  const KovaRowLayout* imageLayout = describe(imaged);
  ASSERT_NE(imageLayout, nullptr);
  EXPECT_EQ(image(imaged, 0).length, 0);
  EXPECT_EQ(image(imaged, 1).offset, 0);
  EXPECT_EQ(image(imaged, 1).length, kRowImageNumber);
  EXPECT_EQ(imageLayout->rowLength, 8u);
}

}  // namespace
}  // namespace kova::testing
