// The delimited column plan and the module's own number readers against the
// general path: every text the ASCII readers take gives the host reader's
// value bit for bit, every 64-bit decimal the general parser's 19 bytes, and
// rows ripped through the plan are those convertField makes field by field.
#include <bit>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "src/convert/decimal.h"
#include "src/ripper/ascii_number.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/field_plan.h"
#include "src/ripper/row_block.h"
#include "tests/conversion/conversion_test_util.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

const uint8_t* bytesOf(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

// Texts near the numbers the readers take: digit runs of every length up to
// past the 64-bit range, signs, points, exponents, blanks, stray bytes.
std::vector<std::string> numberTexts(size_t count, uint64_t seed) {
  std::mt19937_64 random(seed);
  auto pick = [&](int lo, int hi) { return int(random() % uint64_t(hi - lo + 1)) + lo; };
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char('0' + pick(0, 9));
    return s;
  };
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "+0",
                                    "00",
                                    "-",
                                    "+",
                                    ".",
                                    "-.",
                                    ".5",
                                    "5.",
                                    "-.5",
                                    "1e5",
                                    "1E-5",
                                    "1.5e+3",
                                    " 12",
                                    "12 ",
                                    "1 2",
                                    "--1",
                                    "+-1",
                                    "0x10",
                                    "inf",
                                    "nan",
                                    "1;5",
                                    "127",
                                    "128",
                                    "-128",
                                    "-129",
                                    "32767",
                                    "32768",
                                    "-32769",
                                    "2147483647",
                                    "2147483648",
                                    "-2147483649",
                                    "999999999999999999",
                                    "-999999999999999999",
                                    "1000000000000000000",
                                    "9223372036854775807",
                                    "-9223372036854775808",
                                    "9223372036854775808",
                                    "99999999999999999999",
                                    "999999999999999",
                                    "9999999999999999",
                                    "9007199254740993",
                                    "0.000000000000001",
                                    "0.1",
                                    "0.3",
                                    "2.675",
                                    "1.7976931348623157",
                                    "123456789012345.6",
                                    "12345678901234.5"};
  while (texts.size() < count) {
    std::string text;
    const int sign = pick(0, 5);
    if (sign == 0) text += '-';
    if (sign == 1) text += '+';
    text += digits(pick(0, 20));
    if (pick(0, 2) == 0) text += "." + digits(pick(0, 17));
    if (pick(0, 15) == 0)
      text += (pick(0, 1) ? "e" : "E") + std::string(pick(0, 1) ? "-" : "") + digits(pick(1, 3));
    if (pick(0, 30) == 0 && !text.empty()) text[size_t(pick(0, int(text.size()) - 1))] = ' ';
    if (pick(0, 40) == 0) text += 'x';
    texts.push_back(text);
  }
  return texts;
}

class FieldPlanTest : public ConversionTest {
 protected:
  // A typed DELIMITED ripper with one column of every kind the plan knows,
  // and some it leaves to the general path.
  KovaRipper* everyKind(uint32_t flags = 0, uint8_t qualifier = 0) {
    KovaObject* table = newTable(kRecfmDelimited);
    table->fieldsep = ',';
    table->textqual = qualifier;
    addColumn(table, u"i8", kTypeTinyint);
    addColumn(table, u"i16", kTypeSmallint);
    addColumn(table, u"i32", kTypeInt);
    addColumn(table, u"i64", kTypeBigint);
    addColumn(table, u"x", kTypeDouble);
    addColumn(table, u"name", kTypeVarchar, 12, 12);
    addColumn(table, u"code", kTypeChar, 4, 4);
    KovaColumn* day = addColumn(table, u"day", kTypeDate);
    setText(table, &day->informat, &day->informatLength, u"YYMMDD10.");
    addColumn(table, u"at", kTypeTimestamp);
    addColumn(table, u"amount", kTypeDecimal, 12, 2);
    addColumn(table, u"whole", kTypeDecimal, 18, 0);
    addColumn(table, u"wide", kTypeDecimal, 30, 4);  // past 64 bits: general
    return bound(table, flags);
  }
  static constexpr int kColumns = 12;

  // The field texts the generated records take, column by column.
  static std::string fieldText(std::mt19937_64& random, int column) {
    static const std::vector<std::string> numbers = numberTexts(3000, 99);
    static const char* const kTexts[] = {"",
                                         "abc",
                                         "\\N",
                                         "\\n",
                                         "caf\xC3\xA9",
                                         "exactly12ch",
                                         "twelve chars",
                                         "thirteen chars",
                                         "ABCD",
                                         "ABCDE",
                                         "\xFF",
                                         " pad "};
    static const char* const kDates[] = {"2024-02-29", "2023-02-29",          "1582-01-01",
                                         "1581-12-31", "2024-13-01",          "2024-1-01",
                                         "20240229",   "2024-02-29 12:00:00", "",
                                         "\\N",        "29/Feb/2024:12:00:00"};
    static const char* const kStamps[] = {"2024-02-29 23:59:59",
                                          "2024-02-29T00:00:00.5",
                                          "1959-12-31 23:59:59.125",
                                          "2024-02-29",
                                          "2024-02-29 24:00:00",
                                          "12:00:00",
                                          "",
                                          "x"};
    auto pick = [&](size_t n) { return size_t(random() % n); };
    switch (column) {
      case 5:
      case 6:
        return kTexts[pick(std::size(kTexts))];
      case 7:
        return kDates[pick(std::size(kDates))];
      case 8:
        return kStamps[pick(std::size(kStamps))];
      default:
        return numbers[pick(numbers.size())];
    }
  }

  // Indicators and stored value bytes of every column of a typed row.
  static std::string stored(KovaRipper* ripper, const uint8_t* row) {
    std::string out;
    for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
      const KovaLayoutEntry& e = ripper->typedLayout[i];
      int64_t indicator = 0;
      const uint8_t* at = row + e.indicatorOffset;
      switch (e.indicatorWidth & kIndicatorWidthMask) {
        case kIndicatorWidth1:
          indicator = int8_t(*at);
          break;
        case kIndicatorWidth2:
          indicator = int16_t(at[0] | at[1] << 8);
          break;
        case kIndicatorWidth4: {
          int32_t v;
          std::memcpy(&v, at, 4);
          indicator = v;
          break;
        }
        default:
          std::memcpy(&indicator, at, 8);
          break;
      }
      out += std::to_string(indicator) + ":";
      // A stored value's bytes: the indicator counts them for every kind.
      const uint64_t n = indicator > 0 ? uint64_t(indicator) : 0;
      for (uint64_t b = 0; b < n; ++b) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", row[e.dataOffset + b]);
        out += hex;
      }
      out += "|";
    }
    return out;
  }
};

// For every text the module's reader takes, the host's reader succeeds with
// the same value bit for bit; texts in refused are never taken. Returns how
// many texts were taken.
template <typename T, typename Mine, typename Host>
size_t expectHostReadsAlike(KovaEncodingHandle* handle, const std::vector<std::string>& texts,
                            Mine mine, Host host, std::initializer_list<const char*> refused) {
  size_t taken = 0;
  for (const std::string& text : texts) {
    T ours{};
    if (!mine(bytesOf(text), uint32_t(text.size()), &ours)) continue;
    ++taken;
    T theirs{};
    uint64_t scratch = 0;
    EXPECT_EQ(host(handle, nullptr, text.data(), text.size(), 0, &theirs, &scratch), kStatusOk)
        << text;
    EXPECT_EQ(std::memcmp(&ours, &theirs, sizeof(T)), 0) << text << ": " << ours << " " << theirs;
  }
  for (const char* text : refused) {
    T v{};
    EXPECT_FALSE(mine(reinterpret_cast<const uint8_t*>(text), uint32_t(strlen(text)), &v)) << text;
  }
  return taken;
}

TEST_F(FieldPlanTest, IntegersReadInTheModuleAreTheHostsIntegers) {
  KovaRipper* ripper = everyKind();
  ASSERT_NE(ripper, nullptr);
  KovaEncodingHandle* handle = state(ripper, 3).sourceHandle;
  ASSERT_NE(handle, nullptr);
  // What the module leaves to the host: blanks, more than 18 digits, points.
  EXPECT_GT(expectHostReadsAlike<int64_t>(
                handle, numberTexts(20000, 1), asciiInteger, handle->ops->readInteger,
                {" 1", "1 ", "1234567890123456789", "1.0", "", "-", "1e3"}),
            5000u);
}

TEST_F(FieldPlanTest, DoublesReadInTheModuleAreTheHostsDoublesBitForBit) {
  KovaRipper* ripper = everyKind();
  ASSERT_NE(ripper, nullptr);
  KovaEncodingHandle* handle = state(ripper, 4).sourceHandle;
  ASSERT_NE(handle, nullptr);
  std::vector<std::string> texts = numberTexts(40000, 2);
  // Every 15-digit placement of the point in a few digit strings.
  for (const std::string digits : {"123456789012345", "999999999999999", "100000000000001"}) {
    for (size_t at = 1; at < digits.size(); ++at) {
      texts.push_back(digits.substr(0, at) + "." + digits.substr(at));
      texts.push_back("-0." + digits.substr(at));
    }
  }
  EXPECT_GT(
      expectHostReadsAlike<double>(handle, texts, asciiDouble, handle->ops->readDouble,
                                   {"+1", ".5", "5.", "1e3", "1234567890123456", " 1", "-", "inf"}),
      5000u);
}

TEST_F(FieldPlanTest, DecimalsInSixtyFourBitsAreTheGeneralParsersBytes) {
  size_t taken = 0;
  const std::vector<std::string> texts = numberTexts(20000, 3);
  for (int precision : {1, 2, 5, 12, 17, 18}) {
    for (int scale : {0, 1, 2, precision}) {
      if (scale > precision) continue;
      for (const std::string& text : texts) {
        DecimalValue mine;
        std::memset(&mine, 0xA5, sizeof mine);
        if (!asciiDecimal(bytesOf(text), uint32_t(text.size()), precision, scale, &mine)) {
          continue;
        }
        ++taken;
        DecimalValue general;
        ASSERT_EQ(
            parseDecimal(text.data(), int64_t(text.size()), false, precision, scale, &general),
            kStatusOk)
            << text << " in " << precision << "," << scale;
        EXPECT_EQ(std::memcmp(&mine, &general, sizeof mine), 0)
            << text << " in " << precision << "," << scale;
      }
    }
  }
  EXPECT_GT(taken, 10000u);
  // Out of the 64-bit path's reach: precision 19 and up, negative scales.
  DecimalValue v;
  EXPECT_FALSE(asciiDecimal(reinterpret_cast<const uint8_t*>("1"), 1, 19, 0, &v));
  EXPECT_FALSE(asciiDecimal(reinterpret_cast<const uint8_t*>("1"), 1, 5, -1, &v));
}

TEST_F(FieldPlanTest, ColumnsArePlannedByKindOnlyWhereTheHostAgrees) {
  KovaRipper* ripper = everyKind();
  ASSERT_NE(ripper, nullptr);
  ASSERT_EQ(prepareFieldPlans(ripper), uint32_t(kColumns));
  const FieldKind expected[kColumns] = {
      FieldKind::kInteger, FieldKind::kInteger, FieldKind::kInteger, FieldKind::kInteger,
      FieldKind::kDouble,  FieldKind::kText,    FieldKind::kText,    FieldKind::kDate,
      FieldKind::kDate,    FieldKind::kDecimal, FieldKind::kDecimal, FieldKind::kGeneral};
  for (int i = 0; i < kColumns; ++i) {
    EXPECT_EQ(int(settingsOf(ripper, &state(ripper, i)).plan.kind), int(expected[i])) << i;
  }
  // A stand-in reader that reads numbers its own way keeps every number.
  KovaEncodingHandleOps ops = *state(ripper, 0).sourceHandle->ops;
  ops.readInteger = [](KovaEncodingHandle*, KovaLocale*, const void*, uint64_t, uint32_t,
                       int64_t* value, uint64_t*) -> KovaStatus {
    *value = 1;
    return kStatusOk;
  };
  ops.readDouble = [](KovaEncodingHandle*, KovaLocale*, const void*, uint64_t, uint32_t,
                      double* value, uint64_t*) -> KovaStatus {
    *value = 1;
    return kStatusOk;
  };
  KovaEncodingHandle standIn = *state(ripper, 0).sourceHandle;
  standIn.ops = &ops;
  for (int i = 0; i < 5; ++i) state(ripper, i).sourceHandle = &standIn;
  ASSERT_EQ(prepareFieldPlans(ripper), uint32_t(kColumns));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(int(settingsOf(ripper, &state(ripper, i)).plan.kind), int(FieldKind::kGeneral)) << i;
  }
  // Row images and rejected-value reports take the general path throughout.
  KovaRipper* image = everyKind(kRipperRowImage);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(prepareFieldPlans(image), 0u);
}

TEST_F(FieldPlanTest, PlannedRowsAreTheRowsOfTheGeneralPath) {
  std::mt19937_64 random(20260101);
  std::string input;
  std::vector<std::vector<std::string>> records;
  for (int r = 0; r < 3000; ++r) {
    std::vector<std::string> fields;
    for (int c = 0; c < kColumns; ++c) {
      fields.push_back(fieldText(random, c));
      input += fields.back();
      input += c + 1 < kColumns ? "," : "\n";
    }
    records.push_back(fields);
  }
  KovaRipper* planned = everyKind();
  KovaRipper* general = everyKind();
  ASSERT_NE(planned, nullptr);
  ASSERT_NE(general, nullptr);
  uint8_t* rows = nullptr;
  int32_t count = 0;
  ASSERT_EQ(planned->ops.ripBlock(planned, bytesOf(input), int64_t(input.size()), &rows, &count),
            kStatusOk);
  ASSERT_EQ(count, int32_t(records.size()));
  std::vector<uint8_t> row(general->rowLength);
  for (int32_t r = 0; r < count; ++r) {
    std::memset(row.data(), 0x5A, row.size());
    clearRow(general, row.data());
    for (int c = 0; c < kColumns; ++c) {
      const std::string& text = records[size_t(r)][size_t(c)];
      ASSERT_EQ(
          convertField(general, row.data(), uint32_t(c), bytesOf(text), uint32_t(text.size())),
          kStatusOk);
    }
    const uint8_t* got = rows + uint64_t(r) * planned->rowLength;
    ASSERT_EQ(stored(planned, got), stored(general, row.data())) << "record " << r;
  }
  EXPECT_EQ(planned->truncations, general->truncations);
  EXPECT_GT(general->truncations, 0u);
}

TEST_F(FieldPlanTest, PlannedRowsDoNotDependOnWhereBlocksEnd) {
  // Fields cut by a block end reach the plan from the fragment; with a
  // qualifier, a quoted field ends in a path of its own.
  for (uint8_t qualifier : {uint8_t(0), uint8_t('"')}) {
    SCOPED_TRACE(int(qualifier));
    std::mt19937_64 random(7 + qualifier);
    std::string input;
    for (int r = 0; r < 16; ++r) {
      for (int c = 0; c < kColumns; ++c) {
        const std::string text = fieldText(random, c);
        input += qualifier && random() % 3 == 0 ? "\"" + text + "\"" : text;
        input += c + 1 < kColumns ? "," : (r % 2 ? "\r\n" : "\n");
      }
    }
    const std::vector<std::string> rows = splitEverywhere(
        input,
        [&](const std::vector<std::string_view>& blocks) {
          KovaRipper* ripper = everyKind(0, qualifier);
          std::vector<std::string> out = ripBlocks(ripper, blocks);
          out.push_back("truncations " + std::to_string(ripper->truncations));
          destroy(ripper);
          return out;
        },
        20);
    EXPECT_EQ(rows.size(), 17u);
  }
}

}  // namespace
}  // namespace kova::testing
