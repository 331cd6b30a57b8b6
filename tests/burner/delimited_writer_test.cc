// The delimited and row-image writers: qualifying in both styles, null
// texts, dropped columns, record ends, Base64, the decimal check, cut
// values, trimming and the remainder of a batch.
#include <gtest/gtest.h>

#include "src/burner/output.h"
#include "tests/burner/burner_fixture.h"

namespace kova::testing {
namespace {

class DelimitedWriterTest : public BurnerTest {
 protected:
  KovaObject* csvTable(uint8_t qualifier = '"') {
    KovaObject* table = newTable(kRecfmDelimited, kEncodingUtf8);
    table->textqual = qualifier;
    return table;
  }
  void setNullText(KovaObject* table, std::string_view text) {
    nullText_ = text;
    table->nullText = reinterpret_cast<const uint8_t*>(nullText_.data());
    table->nullTextLength = nullText_.size();
  }
  std::string nullText_;
};

TEST_F(DelimitedWriterTest, QualifierInsideIsDoubledOrEscaped) {
  for (uint32_t style : {0u, kRipperEscapeStyle}) {
    KovaObject* table = csvTable();
    addColumn(table, u"v", kTypeVarchar, 10);
    KovaRipper* b = burner(table, style);
    ASSERT_NE(b, nullptr);
    auto r = rows(b);
    setBytes(b, r.data(), 0, "a\"b");
    EXPECT_EQ(write(b, r), style ? "\"a\\\"b\"\n" : "\"a\"\"b\"\n");
  }
}

TEST_F(DelimitedWriterTest, DefaultStyleQualifiesOnlyWhereNeeded) {
  KovaObject* table = csvTable();
  addColumn(table, u"v", kTypeVarchar, 20);
  addColumn(table, u"n", kTypeInt);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b, 5);
  const uint64_t L = b->rowLength;
  setBytes(b, r.data(), 0, "plain");
  setBytes(b, r.data() + L, 0, "a,b");
  setBytes(b, r.data() + 2 * L, 0, "line\r\nnext");
  setBytes(b, r.data() + 3 * L, 0, "\"starts");
  setBytes(b, r.data() + 4 * L, 0, "mid\"dle");
  for (int i = 0; i < 5; ++i) setValue<int32_t>(b, r.data() + i * L, 1, -i);
  EXPECT_EQ(write(b, r),
            "plain,0\n\"a,b\",-1\n\"line\r\nnext\",-2\n\"\"\"starts\",-3\n\"mid\"\"dle\",-4\n");
}

TEST_F(DelimitedWriterTest, EscapeStyleQualifiesTextAndDatesNeverNumbers) {
  KovaObject* table = csvTable();
  addColumn(table, u"v", kTypeVarchar, 20);
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"d", kTypeDate);
  KovaRipper* b = burner(table, kRipperEscapeStyle);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setBytes(b, r.data(), 0, "t\\\r\n\tx");
  setValue<int32_t>(b, r.data(), 1, 42);
  setValue<double>(b, r.data(), 2, 0.0);
  EXPECT_EQ(write(b, r), "\"t\\\\\\r\\n\\tx\",42,\"1960-01-01\"\n");
}

TEST_F(DelimitedWriterTest, NullTextRules) {
  KovaObject* table = csvTable(0);
  addColumn(table, u"c", kTypeChar, 8);
  addColumn(table, u"n", kTypeInt);
  addColumn(table, u"t", kTypeTimestamp);
  KovaRipper* b = burner(table, kRipperWriteNullText);
  ASSERT_NE(b, nullptr);
  auto r = rows(b, 2);
  for (int c = 0; c < 3; ++c) setIndicator(b, r.data(), c, -1);
  setIndicator(b, r.data() + b->rowLength, 0, 0);  // empty CHAR
  setIndicator(b, r.data() + b->rowLength, 1, -1);
  setIndicator(b, r.data() + b->rowLength, 2, -88);
  EXPECT_EQ(write(b, r), "\\N,,\\N\n,,\n");

  KovaObject* withText = csvTable(0);
  addColumn(withText, u"c", kTypeChar, 8);
  addColumn(withText, u"n", kTypeInt);
  addColumn(withText, u"t", kTypeTimestamp);
  setNullText(withText, "NULL");
  KovaRipper* b2 = burner(withText, kRipperWriteNullText);
  ASSERT_NE(b2, nullptr);
  auto r2 = rows(b2, 2);
  for (int c = 0; c < 3; ++c) setIndicator(b2, r2.data(), c, -1);
  setIndicator(b2, r2.data() + b2->rowLength, 0, 0);
  setIndicator(b2, r2.data() + b2->rowLength, 1, -1);
  setIndicator(b2, r2.data() + b2->rowLength, 2, -88);
  EXPECT_EQ(write(b2, r2), "NULL,NULL,NULL\nNULL,NULL,\n");

  // Without the option nothing is written for a missing value.
  KovaRipper* b3 = burner(withText);
  ASSERT_NE(b3, nullptr);
  auto r3 = rows(b3);
  for (int c = 0; c < 3; ++c) setIndicator(b3, r3.data(), c, -1);
  EXPECT_EQ(write(b3, r3), ",,\n");
}

TEST_F(DelimitedWriterTest, DroppedMiddleColumnAndRecordEndText) {
  KovaObject* table = csvTable();
  addColumn(table, u"x", kTypeVarchar, 4);
  addColumn(table, u"y", kTypeVarchar, 4)->dropped = 1;
  addColumn(table, u"z", kTypeVarchar, 4);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b, 2);
  for (int i = 0; i < 2; ++i) {
    setBytes(b, r.data() + i * b->rowLength, 0, "x");
    setBytes(b, r.data() + i * b->rowLength, 2, "z");
  }
  EXPECT_EQ(write(b, r), "x,,z\nx,,z\n");
  static const uint8_t kCrLf[] = {'\r', '\n'};
  table->recordEndText = kCrLf;
  table->recordEndTextLength = 2;
  EXPECT_EQ(write(b, r), "x,,z\r\nx,,z\r\n");
  // A part row at the end of the batch is ignored.
  EXPECT_EQ(write(b, r, nullptr, r.size() - 1), "x,,z\r\n");
}

TEST_F(DelimitedWriterTest, BinaryAsBase64AndCut) {
  KovaObject* table = csvTable(0);
  addColumn(table, u"b", kTypeBinary, 0, 6);
  KovaRipper* b = burner(table, kRipperBinaryAsBase64);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setBytes(b, r.data(), 0,
           std::string("\x00\xff\x10"
                       "ab",
                       5));
  EXPECT_EQ(write(b, r), "AP8QYWI=\n");
  // An indicator above the slot is cut to it and counted.
  setIndicator(b, r.data(), 0, 100);
  EXPECT_EQ(write(b, r), "AP8QYWIA\n");
  EXPECT_EQ(b->truncations, 1u);
}

TEST_F(DelimitedWriterTest, Base64AllocatesItsTextWithANulOrFails) {
  KovaKernel* kernel = host().kernel();
  KovaPool* pool = kernel->ops->createPool(kernel, nullptr, nullptr, "base64 test");
  ASSERT_NE(pool, nullptr);
  const uint8_t bytes[] = {'M', 'a', 'n', 'y', '!'};
  for (uint64_t n = 0; n <= 5; ++n) {
    uint8_t* text = nullptr;
    uint64_t written = 99;
    ASSERT_EQ(encodeBase64(pool, bytes, n, &text, &written), kStatusOk);
    const char* expected[] = {"", "TQ==", "TWE=", "TWFu", "TWFueQ==", "TWFueSE="};
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text)), expected[n]);  // ends with a NUL
    EXPECT_EQ(written, std::strlen(expected[n]));
  }
  host().failAllocation(1);
  uint8_t* text = nullptr;
  uint64_t written = 99;
  EXPECT_EQ(encodeBase64(pool, bytes, 5, &text, &written), kStatusNoMemory);
  EXPECT_EQ(text, nullptr);
  host().clearFailure();
  pool->ops->destroyPool(pool);
}

TEST_F(DelimitedWriterTest, DecimalTextIsCheckedAgainstItsPrecision) {
  KovaObject* table = csvTable(0);
  addColumn(table, u"d", kTypeDecimal, 5, 2);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  for (const char* text : {"123.45", "-123.45", "0.5", "-0.05"}) {
    setDecimal(b, r.data(), 0, text, 5, 2);
    KovaStatus status;
    std::string out = write(b, r, &status);
    EXPECT_EQ(status, kStatusOk) << text;
    EXPECT_EQ(out, std::string(text == std::string_view("0.5")     ? "0.50"
                               : text == std::string_view("-0.05") ? "-0.05"
                                                                   : text) +
                       "\n");
  }
  setDecimal(b, r.data(), 0, "1234.56", 7, 2);
  r[entryOf(b, 0).dataOffset] = 5;  // claims precision 5
  KovaStatus status;
  write(b, r, &status);
  EXPECT_EQ(status, kStatusDecimalOverflow);
  setIndicator(b, r.data(), 0, 18);
  write(b, r, &status);
  EXPECT_EQ(status, kStatusJsonParse);
}

TEST_F(DelimitedWriterTest, CharIsTrimmedVarcharKeptNumbersAligned) {
  KovaObject* table = csvTable(0);
  addColumn(table, u"c", kTypeChar, 6);
  addColumn(table, u"v", kTypeVarchar, 6);
  addColumn(table, u"x", kTypeDouble);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setBytes(b, r.data(), 0, "ab    ");
  setBytes(b, r.data(), 1, " ab   ");
  setValue<double>(b, r.data(), 2, 2.5);
  EXPECT_EQ(write(b, r), "ab, ab   ,2.5\n");
}

TEST_F(DelimitedWriterTest, TextsNeedingMoreThanTheFirstGrowthStillFit) {
  KovaObject* table = csvTable();
  addColumn(table, u"v", kTypeVarchar, 5000);
  KovaRipper* b = burner(table);
  ASSERT_NE(b, nullptr);
  auto r = rows(b);
  setBytes(b, r.data(), 0, std::string(5000, '"'));
  const std::string out = write(b, r);
  EXPECT_TRUE(out == std::string(10002, '"') + "\n") << out.size();
}

TEST_F(DelimitedWriterTest, RowImageLinesTrimFormatAndQualify) {
  KovaObject* table = csvTable();
  addColumn(table, u"name", kTypeChar, 6);
  addColumn(table, u"x", kTypeDouble);
  addColumn(table, u"y", kTypeDouble);
  KovaRipper* b = burner(table, kRipperRowImage);
  ASSERT_NE(b, nullptr);
  std::vector<uint8_t> r(b->rowLength, 0);
  std::memcpy(r.data() + b->imageLayout[0].offset, "a,b   ", 6);
  double x = -1.25, missing;
  uint64_t bits = 0xFFFFD10000000000ull;
  std::memcpy(&missing, &bits, 8);
  std::memcpy(r.data() + b->imageLayout[1].offset, &x, 8);
  std::memcpy(r.data() + b->imageLayout[2].offset, &missing, 8);
  EXPECT_EQ(write(b, r), "\"a,b\",-1.25,\n");
}

// A decimal is written as its exact text, whatever its sign and however
// many of its digits are zeros before the point; a scale of 0 keeps the
// point, as the decimal reader writes its normal form.
TEST_F(DelimitedWriterTest, DecimalsOfEverySignAndScaleAreWrittenExactly) {
  const struct {
    int32_t precision, scale;
    const char* text;
    const char* written;
  } cases[] = {
      {3, 2, "-0.25", "-0.25"}, {3, 2, "0.25", "0.25"},     {3, 2, "-9.99", "-9.99"},
      {2, 0, "-5", "-5."},      {2, 0, "0", "0."},          {3, 3, "-0.125", "-0.125"},
      {3, 3, "0.125", "0.125"}, {5, 1, "1234.5", "1234.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    KovaObject* table = csvTable();
    addColumn(table, u"d", kTypeDecimal, c.precision, c.scale);
    KovaRipper* b = burner(table);
    ASSERT_NE(b, nullptr);
    auto r = rows(b);
    setDecimal(b, r.data(), 0, c.text, c.precision, c.scale);
    EXPECT_EQ(write(b, r), std::string(c.written) + "\n");
  }
}

// Nulls with the null-text option: what each kind of column writes for a
// plain null (-1) and a missing number (-88), with the default null text and
// with the table's own.
TEST_F(DelimitedWriterTest, NullsOfEveryKindWithTheNullTextOption) {
  // The default text marks null times and texts only; a table's own text
  // marks every plain null, and a missing number in integer and text columns.
  const struct {
    const char* own;
    const char* written;
  } cases[] = {{"", "\\N,\\N,,,\\N\n,,,,\n"}, {"NA", "NA,NA,NA,NA,NA\n,,,NA,NA\n"}};
  for (const auto& c : cases) {
    const char* own = c.own;
    SCOPED_TRACE(own);
    KovaObject* table = csvTable();
    if (*own) setNullText(table, own);
    addColumn(table, u"t", kTypeTime);
    addColumn(table, u"ts", kTypeTimestamp);
    addColumn(table, u"x", kTypeDouble);
    addColumn(table, u"i", kTypeInt);
    addColumn(table, u"v", kTypeVarchar, 5);
    KovaRipper* b = burner(table, kRipperWriteNullText);
    ASSERT_NE(b, nullptr);
    auto r = rows(b, 2);
    for (int32_t k = 0; k < 5; ++k) {
      setIndicator(b, r.data(), k, -1);
      setIndicator(b, r.data() + b->rowLength, k, -88);
    }
    EXPECT_EQ(write(b, r), c.written);
  }
}

}  // namespace
}  // namespace kova::testing
