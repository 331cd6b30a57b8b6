// createRipper: the object, its slots before bind, the counters, and the
// rules by which creation rewrites the table or refuses it.
#include <cstring>

#include "src/host/options.h"
#include "tests/support/ripper_fixture.h"

namespace kova::testing {
namespace {

class CreateRipperTest : public RipperTest {};

TEST_F(CreateRipperTest, NewRipperAnswersNotSupportedUntilBound) {
  KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
  addColumn(table, u"a", kTypeInt);
  KovaRipper* ripper = create(table);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(std::memcmp(ripper->eyecatcher, "nevo", 4), 0);
  EXPECT_STREQ(ripper->name, "test table");
  EXPECT_EQ(ripper->table, table);
  EXPECT_NE(ripper->ops.describe, nullptr);
  EXPECT_EQ(ripper->ops.bind, nullptr);
  EXPECT_EQ(ripper->ops.writeRowsInto, nullptr);

  uint8_t byte = 0;
  uint8_t* rows = &byte;
  int32_t count = 7;
  EXPECT_EQ(ripper->ops.ripBlock(ripper, &byte, 1, &rows, &count), kStatusNotSupported);
  EXPECT_EQ(rows, &byte);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(ripper->ops.convertRecord(ripper, &byte, 1, &byte), kStatusNotSupported);
  EXPECT_EQ(ripper->ops.unused5(ripper), kStatusNotSupported);
  const uint8_t* data = nullptr;
  uint64_t length = 0;
  EXPECT_EQ(ripper->ops.writeRows(ripper, &byte, 1, &data, &length), kStatusNotSupported);
  EXPECT_EQ(ripper->table->recfm, kRecfmDelimited);
}

TEST_F(CreateRipperTest, CountersReadAndReset) {
  KovaRipper* ripper = create(newTable(kRecfmDelimited));
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 0u);
  EXPECT_EQ(ripper->ops.reservedCount(ripper), 0u);
  ripper->truncations = 5;
  ripper->reservedCounter = 3;
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 5u);
  EXPECT_EQ(ripper->ops.reservedCount(ripper), 3u);
  ripper->ops.resetTruncationCount(ripper);
  EXPECT_EQ(ripper->ops.truncationCount(ripper), 0u);
  EXPECT_EQ(ripper->ops.reservedCount(ripper), 3u);
  ripper->ops.resetReservedCount(ripper);
  EXPECT_EQ(ripper->ops.reservedCount(ripper), 0u);
}

TEST_F(CreateRipperTest, OptionBitsSetTheirFields) {
  KovaRipperOptions options{};
  options.flags = kRipperNullAsMissing | kRipperWriteNullText | kRipperBinaryAsBase64 |
                  kRipperTimePrecisionFromScale | kRipperMoxeClient | kRipperEscapeStyle;
  options.charExpansion = 2.5;
  options.traceLevel = 3;
  KovaRipper* ripper = create(newTable(kRecfmDelimited), options);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(ripper->nullAsMissing, 1);
  EXPECT_EQ(ripper->writeNullText, 1);
  EXPECT_EQ(ripper->binaryAsBase64, 1);
  EXPECT_EQ(ripper->timePrecisionFromScale, 1);
  EXPECT_EQ(ripper->moxeClient, 1);
  EXPECT_EQ(ripper->escapeStyle, 1);
  EXPECT_EQ(ripper->rowImage, 0);
  EXPECT_EQ(ripper->output, 0);
  EXPECT_EQ(ripper->charExpansion, 2.5);
  EXPECT_EQ(ripper->traceLevel, 3);

  KovaRipper* plain = extension()->createRipper(newTable(kRecfmDelimited), nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->nullAsMissing + plain->writeNullText + plain->escapeStyle + plain->rowImage, 0);
  EXPECT_EQ(plain->diagnostics, nullptr);
  plain->ops.destroy(plain);
}

TEST_F(CreateRipperTest, TypedDelimitedTableWithoutEncodingBecomesUtf8) {
  KovaObject* table = newTable(kRecfmDelimited, 0);
  KovaRipper* ripper = create(table);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(table->encoding, kEncodingUtf8);
  EXPECT_EQ(ripper->rowEncoding, uint32_t(kEncodingUtf8));
  EXPECT_EQ(ripper->fieldEncoding, uint32_t(kEncodingUtf8));
  KovaObject* clf = newTable(kRecfmClf, 0);
  ASSERT_NE(create(clf), nullptr);
  EXPECT_EQ(clf->encoding, 0);
}

TEST_F(CreateRipperTest, FieldEncodingFollowsTheRecordFormat) {
  struct Case {
    uint32_t recfm;
    int32_t encoding;
    uint32_t field;
  } cases[] = {{kRecfmDelimited, 1, 20}, {kRecfmClf, 1, 20},     {kRecfmXml, 1, 25},
               {kRecfmFixed, 1, 1},      {kRecfmVarbin, 12, 12}, {kRecfmNative, 0, 0}};
  for (const Case& c : cases) {
    KovaRipper* ripper = create(newTable(c.recfm, c.encoding));
    ASSERT_NE(ripper, nullptr) << c.recfm;
    EXPECT_EQ(ripper->fieldEncoding, c.field) << c.recfm;
    EXPECT_EQ(ripper->rowEncoding, uint32_t(c.encoding)) << c.recfm;
  }
}

TEST_F(CreateRipperTest, BurnerWritesEveryTextFormatAsDelimited) {
  for (uint32_t recfm : {kRecfmJson, kRecfmXml, kRecfmClf}) {
    KovaObject* table = newTable(recfm);
    table->fieldsep = 0;
    KovaRipper* burner = create(table, kRipperOutput);
    ASSERT_NE(burner, nullptr) << recfm;
    EXPECT_EQ(burner->output, 1);
    EXPECT_EQ(table->recfm, kRecfmDelimited);
    EXPECT_EQ(table->fieldsep, 0x01);
  }
  KovaObject* tabbed = newTable(kRecfmJson);
  tabbed->fieldsep = '\t';
  ASSERT_NE(create(tabbed, kRipperOutput), nullptr);
  EXPECT_EQ(tabbed->fieldsep, '\t');
}

TEST_F(CreateRipperTest, RecordFormatsTheModeDoesNotAllowAreRefused) {
  for (uint32_t recfm : {kRecfmNone, kRecfmElf, 7u, 8u, 11u}) {
    EXPECT_EQ(create(newTable(recfm)), nullptr) << recfm;
    EXPECT_EQ(create(newTable(recfm), kRipperRowImage), nullptr) << recfm;
  }
  for (uint32_t recfm : {kRecfmVarbin, kRecfmNative}) {
    EXPECT_EQ(create(newTable(recfm, 20), kRipperRowImage | kRipperOutput), nullptr) << recfm;
    EXPECT_EQ(create(newTable(recfm, 20), kRipperRowImage), nullptr) << recfm;
    EXPECT_NE(create(newTable(recfm, 20), kRipperOutput), nullptr) << recfm;
    EXPECT_NE(create(newTable(recfm, 20)), nullptr) << recfm;
  }
  EXPECT_TRUE(diagnostics().lines().empty());
  EXPECT_TRUE(diagnostics().statuses().empty());
}

TEST_F(CreateRipperTest, JsonRipperNeedsTheJsonSibling) {
  host().setExtensionLoadable(u"zrejson", false);
  KovaObject* table = newTable(kRecfmJson);
  EXPECT_EQ(create(table), nullptr);
  // A burner never loads it: it writes delimited text.
  EXPECT_NE(create(newTable(kRecfmJson), kRipperOutput), nullptr);
}

TEST_F(CreateRipperTest, TableEncodingOutsideTheIdentifiersIsRefused) {
  EXPECT_EQ(create(newTable(kRecfmDelimited, kEncodingLimit)), nullptr);
  EXPECT_EQ(create(newTable(kRecfmDelimited, -1)), nullptr);
  EXPECT_EQ(create(newTable(kRecfmFixed, 100000), kRipperRowImage), nullptr);
  // 264 is an identifier the host does not know: its handle is refused,
  // which creation does not count as a failure.
  const uint64_t before = host().account().objects;
  KovaRipper* unknown = create(newTable(kRecfmDelimited, kEncodingLimit - 1));
  ASSERT_NE(unknown, nullptr);
  const uint64_t withoutHandle = host().account().objects - before;
  // A known encoding's handle is made ahead: one host object more.
  ASSERT_NE(create(newTable(kRecfmDelimited, kEncodingUtf8)), nullptr);
  EXPECT_EQ(host().account().objects - before - withoutHandle, withoutHandle + 1);
}

TEST_F(CreateRipperTest, RowImageEncodingIsTheSessionEncoding) {
  host().setOption(kOptionSessionEncoding, 12);
  KovaRipper* session = create(newTable(kRecfmDelimited, 1), kRipperRowImage);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->rowEncoding, 12u);

  host().unsetOption(kOptionSessionEncoding);
  KovaObject* latin = newTable(kRecfmDelimited, 1);
  KovaRipper* table = create(latin, kRipperRowImage);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowEncoding, 1u);

  host().setOption(kOptionSessionEncoding, 70000);
  KovaObject* none = newTable(kRecfmFixed, 0);
  KovaRipper* fallback = create(none, kRipperRowImage);
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback->rowEncoding, uint32_t(kEncodingUtf8));
  // Row-image creation does not write an encoding into the table.
  EXPECT_EQ(none->encoding, 0);
}

TEST_F(CreateRipperTest, BinaryBurnerTakesTheClientByteOrder) {
  KovaRipperOptions options{};
  options.flags = kRipperOutput | kRipperMoxeClient;
  options.clientByteOrder = kClientBigEndian;
  options.traceLevel = 9;
  KovaObject* moxe = newTable(kRecfmFixed, 20);
  ASSERT_NE(create(moxe, options), nullptr);
  EXPECT_EQ(moxe->bigendian, 1);
  EXPECT_TRUE(
      diagnostics().contains("KOVA BURNER (OUTPUT) processing MOXE. Is BIG_ENDIAN=[1]", kLogTrace));

  options.flags = kRipperOutput;
  options.traceLevel = 0;
  KovaObject* other = newTable(kRecfmVarbin, 20);
  other->bigendian = 1;
  ASSERT_NE(create(other, options), nullptr);
  EXPECT_EQ(other->bigendian, 0);

  // A ripper leaves the table's byte order alone.
  KovaObject* ripped = newTable(kRecfmFixed, 20);
  ripped->bigendian = 1;
  ASSERT_NE(create(ripped), nullptr);
  EXPECT_EQ(ripped->bigendian, 1);
}

TEST_F(CreateRipperTest, ClientTraceLinesNeedANameAndLevelNine) {
  const std::u16string name = u"z/OS";
  KovaRipperOptions options{};
  options.clientOsName = name.data();
  options.clientOsNameLength = int64_t(name.size());
  options.clientByteOrder = 2;
  options.flags = kRipperMoxeClient;
  options.traceLevel = 8;
  KovaRipper* quiet = create(newTable(kRecfmDelimited), options);
  ASSERT_NE(quiet, nullptr);
  EXPECT_TRUE(diagnostics().lines().empty());
  ASSERT_NE(quiet->clientOsName, nullptr);
  EXPECT_NE(quiet->clientOsName, name.data());
  EXPECT_EQ(std::u16string(quiet->clientOsName, quiet->clientOsNameLength), name);

  options.traceLevel = 9;
  KovaObject* table = newTable(kRecfmDelimited);
  table->bigendian = 1;
  ASSERT_NE(create(table, options), nullptr);
  EXPECT_TRUE(diagnostics().contains(
      "KOVA RIPPER/BURNER byte order provided in the KOVA object isBigEndian=[1]", kLogTrace));
  EXPECT_TRUE(diagnostics().contains(
      "KOVA RIPPER/BURNER Client OS Name [z/OS] Client OS byte order [2] Is MOXE [128]",
      kLogTrace));

  diagnostics().clear();
  options.clientOsName = nullptr;
  options.clientOsNameLength = 0;
  ASSERT_NE(create(newTable(kRecfmDelimited), options), nullptr);
  EXPECT_TRUE(diagnostics().lines().empty());
}

TEST_F(CreateRipperTest, FlushPendingDeliversOnlyAnUnfinishedDelimitedRecord) {
  for (uint32_t recfm : {kRecfmClf, kRecfmFixed, kRecfmVarbin}) {
    KovaObject* table = newTable(recfm, 20);
    table->reclen = 4;
    addColumn(table, u"a", kTypeInt);
    KovaRipper* ripper = create(table);
    ASSERT_NE(ripper, nullptr);
    ASSERT_NE(describe(ripper), nullptr);
    ripper->fieldIndex = 1;
    uint8_t* rows = nullptr;
    int32_t count = -1;
    EXPECT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
    EXPECT_EQ(count, 0) << recfm;
  }

  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"a", kTypeInt);
  addColumn(table, u"b", kTypeInt);
  KovaRipper* ripper = create(table);
  ASSERT_NE(describe(ripper), nullptr);
  uint8_t* rows = nullptr;
  int32_t count = -1;
  EXPECT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);

  // A record whose first field ended: its row is delivered once.
  ripper->fieldIndex = 1;
  EXPECT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
  ASSERT_EQ(count, 1);
  ASSERT_NE(rows, nullptr);
  int8_t indicator = 0;
  std::memcpy(&indicator, rows + entry(ripper, 1).indicatorOffset, 1);
  EXPECT_EQ(indicator, -1);
  EXPECT_EQ(ripper->ops.flushPending(ripper, &rows, &count), kStatusOk);
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace kova::testing
