// Dates, times and datetimes read in place (src/ripper/convert_dates.h)
// against the host's date informats themselves: every text the in-place
// reader takes must give the informat's double bit for bit, over every day
// of several spans, the ends of the calendar and many generated and mangled
// texts; and the ripper must still ask the informat for everything else.
#include <bit>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "src/convert/missing.h"
#include "src/ripper/convert_dates.h"
#include "src/ripper/iso_fixed.h"
#include "tests/conversion/conversion_test_util.h"

namespace kova::testing {
namespace {

struct Reader {
  const char16_t* informat;
  uint32_t type;
  DateReader reader;
};

constexpr Reader kReaders[] = {
    {u"YYMMDD10.", kTypeDate, DateReader::kYearFirst},
    {u"ANYDTDTE.", kTypeDate, DateReader::kAnyDate},
    {u"ANYDTDTM.", kTypeTimestamp, DateReader::kAnyDatetime},
    {u"ANYDTTME.", kTypeTime, DateReader::kAnyTime},
    {u"TIME8.", kTypeTime, DateReader::kTime},
};

std::string nameOf(const Reader& r) {
  std::string name;
  for (const char16_t* c = r.informat; *c; ++c) name += char(*c);
  return name;
}

std::string dateText(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string clockText(int hour, int minute, int second) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  return text;
}

// Every day (and some days that do not exist) of a few spans: around the
// start of the calendar, 1960, leap centuries, the year 4000 (no leap day
// in the host's calendar) and the last four-digit years.
std::vector<std::string> everyDayTexts() {
  std::vector<std::string> texts;
  for (int year : {1581, 1582, 1599, 1600, 1700, 1900, 1959, 1960, 1961, 1999, 2000, 2024, 2100,
                   3999, 4000, 4001, 8000, 9999}) {
    for (int month = 0; month <= 13; ++month) {
      for (int day = 0; day <= 32; ++day) texts.push_back(dateText(year, month, day));
    }
  }
  return texts;
}

// Canonical texts built from random parts, and the same texts mangled: a
// byte changed, dropped or added, separators swapped, blanks around.
std::vector<std::string> generatedTexts(size_t count) {
  std::mt19937_64 random(20240229);
  auto pick = [&](int lo, int hi) { return int(random() % uint64_t(hi - lo + 1)) + lo; };
  static const char* const kMonths[] = {"Jan", "FEB", "mar", "Apr", "May", "jun", "Jul",
                                        "aUg", "Sep", "Oct", "Nov", "Dec", "Xyz", "Ja"};
  std::vector<std::string> texts;
  while (texts.size() < count) {
    std::string clock = clockText(pick(0, 25), pick(0, 61), pick(0, 61));
    if (pick(0, 2) == 0) {
      clock += '.';
      for (int digits = pick(0, 8); digits > 0; --digits) clock += char('0' + pick(0, 9));
    }
    const std::string date = dateText(pick(1570, 10000), pick(0, 13), pick(0, 32));
    std::string text;
    switch (pick(0, 4)) {
      case 0:
        text = date;
        break;
      case 1:
        text = clock;
        break;
      case 2:
        text = date + (pick(0, 1) ? " " : "T") + clock;
        break;
      case 3: {
        char log[64];
        std::snprintf(log, sizeof log, "%02d/%s/%04d:%s", pick(0, 32), kMonths[pick(0, 13)],
                      pick(1570, 10000), clockText(pick(0, 24), pick(0, 60), pick(0, 60)).c_str());
        text = log;
        if (pick(0, 3) != 0) {
          char zone[16];
          std::snprintf(zone, sizeof zone, " %c%02d%02d", pick(0, 1) ? '+' : '-', pick(0, 25),
                        pick(0, 61));
          text += zone;
        }
        break;
      }
      default:
        text = date + " " + clock.substr(0, 5);
        break;
    }
    texts.push_back(text);
    std::string mangled = text;
    const size_t at = size_t(pick(0, int(text.size()) - 1));
    switch (pick(0, 5)) {
      case 0:
        mangled[at] = char(pick(0x20, 0x7E));
        break;
      case 1:
        mangled.erase(at, 1);
        break;
      case 2:
        mangled.insert(at, 1, char(pick(0x20, 0x7E)));
        break;
      case 3:
        mangled = " " + mangled + "  ";
        break;
      case 4:
        mangled[at] = mangled[at] == '-' ? '/' : mangled[at] == ':' ? '.' : 't';
        break;
      default:
        mangled[at] = '\xC3';
        mangled.insert(at + 1, 1, '\xA9');
        break;
    }
    texts.push_back(mangled);
  }
  return texts;
}

class DateFieldTest : public ConversionTest {
 protected:
  // A typed DELIMITED ripper with one column of the reader's type and
  // informat.
  KovaRipper* ripperFor(const Reader& r) {
    KovaObject* table = newTable(kRecfmDelimited);
    KovaColumn* column = addColumn(table, u"t", r.type);
    setText(table, &column->informat, &column->informatLength, r.informat);
    return bound(table);
  }

  // The informat's own reading of text: its double, or nothing.
  static bool informatReads(KovaFormatObject* informat, const std::string& text, double* value) {
    std::u16string wide;
    for (unsigned char c : text) wide += char16_t(c);  // the texts the reader takes are ASCII
    *value = kMissing;
    informat->width = int32_t(wide.size());
    informat->input = wide.data();
    informat->inputLength = int64_t(wide.size());
    informat->output = value;
    informat->outputCapacity = 8;
    informat->outputLength = 0;
    const KovaStatus status = informat->run(informat, 0);
    informat->output = nullptr;
    return status == kStatusOk;
  }

  // For every text the in-place reader takes, the informat gives the same
  // double. Returns how many it took.
  static size_t expectSameReading(KovaFormatObject* informat, DateReader reader,
                                  const std::vector<std::string>& texts) {
    size_t taken = 0;
    for (const std::string& text : texts) {
      double fast = 0;
      if (!readDateText(reader, reinterpret_cast<const uint8_t*>(text.data()),
                        uint32_t(text.size()), &fast)) {
        continue;
      }
      ++taken;
      double slow = 0;
      EXPECT_TRUE(informatReads(informat, text, &slow)) << text;
      EXPECT_EQ(std::bit_cast<uint64_t>(fast), std::bit_cast<uint64_t>(slow))
          << text << ": " << fast << " against " << slow;
    }
    return taken;
  }
};

TEST_F(DateFieldTest, TextsReadInPlaceGiveTheInformatsDouble) {
  const std::vector<std::string> days = everyDayTexts();
  const std::vector<std::string> generated = generatedTexts(40000);
  std::vector<std::string> edges = {"1582-01-01",
                                    "20000-12-31",
                                    "9999-12-31 23:59:59.999999",
                                    "1582-01-01T00:00:00.000001",
                                    "1959-12-31 23:59:59.5",
                                    "1959-12-31 23:59:59.05",
                                    "1959-12-31 23:59:59.0000005",
                                    "00:00:00",
                                    "23:59:59",
                                    "24:00:00",
                                    "23:60:00",
                                    "23:59:60",
                                    "00:00:00.",
                                    "00:00:00.000000",
                                    "12:34:56.123456789",
                                    "2024-02-29T12:00:00",
                                    "2024-02-29t12:00:00",
                                    "2024-02-29 ",
                                    "01/Jan/1582:00:00:00",
                                    "31/Dec/1581:23:59:59 +0000",
                                    "29/Feb/4000:00:00:00",
                                    "29/Feb/2000:12:00:00 +2359",
                                    "29/Feb/2000:12:00:00 +2400",
                                    "29/feb/2000:12:00:00 -0060",
                                    "9/Feb/2000:12:00:00",
                                    "2024-1-05",
                                    "2024-01-5",
                                    "",
                                    "-",
                                    "2024-02-29 13:05"};
  for (const Reader& r : kReaders) {
    SCOPED_TRACE(nameOf(r));
    KovaRipper* ripper = ripperFor(r);
    ASSERT_NE(ripper, nullptr);
    KovaFormatObject* informat = state(ripper, 0).formatObject;
    ASSERT_NE(informat, nullptr);
    EXPECT_EQ(dateReaderOf(ripper, &state(ripper, 0)), r.reader);
    const size_t fromDays = expectSameReading(informat, r.reader, days);
    const size_t fromGenerated = expectSameReading(informat, r.reader, generated);
    expectSameReading(informat, r.reader, edges);
    // The in-place reader does take the common texts: every real day of the
    // spans for the date readers, thousands of the generated texts.
    if (r.reader != DateReader::kTime && r.reader != DateReader::kAnyTime) {
      EXPECT_EQ(fromDays, 17u * 365 + 4);  // 1581 has none; 4 leap years
    }
    EXPECT_GT(fromGenerated, 2000u);
  }
}

TEST_F(DateFieldTest, RipperReadsEveryTextAsTheInformatDoes) {
  const std::vector<std::string> texts = generatedTexts(4000);
  for (const Reader& r : kReaders) {
    SCOPED_TRACE(nameOf(r));
    KovaRipper* ripper = ripperFor(r);
    ASSERT_NE(ripper, nullptr);
    KovaFormatObject* informat = state(ripper, 0).formatObject;
    auto row = newRow(ripper);
    for (const std::string& text : texts) {
      double expected = 0;
      const bool read = informatReads(informat, text, &expected) && !isMissing(expected);
      convert(ripper, row, 0, text);
      EXPECT_EQ(indicator(ripper, row, 0), read ? 8 : -1) << text;
      if (read) {
        EXPECT_EQ(std::bit_cast<uint64_t>(valueAs<double>(ripper, row, 0)),
                  std::bit_cast<uint64_t>(expected))
            << text;
      }
    }
  }
}

TEST_F(DateFieldTest, FixedIsoShapesReadAsTheGeneralInPlaceReaderReadsThem) {
  std::vector<std::string> texts = everyDayTexts();
  for (const std::string& day : everyDayTexts()) {
    texts.push_back(day + " 23:59:59");
    texts.push_back(day + "T00:00:00");
  }
  for (const std::string& text : generatedTexts(40000)) texts.push_back(text);
  for (const char* text :
       {"2024-02-29 24:00:00", "2024-02-29 12:60:00", "2024-02-29x12:00:00", "2024-02-29 12:00:0a",
        "0000-01-01", "9999-12-31 23:59:59", "2024-02-29 12:00;00", "2024-02-29 1a:00:00",
        "2024-02-29 12:0\xFF:00", "2024-02-29 12:\xFA\xFA:00", "1900-02-29", "2100-02-29 00:00:00",
        "2099-12-31", "1901-01-01T00:00:00"}) {
    texts.push_back(text);
  }
  for (const Reader& r : kReaders) {
    SCOPED_TRACE(nameOf(r));
    size_t taken = 0;
    for (const std::string& text : texts) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
      const auto n = uint32_t(text.size());
      double fixed = 0;
      double general = 0;
      const bool generalReads = readDateText(r.reader, bytes, n, &general);
      if (!readIsoFixed(r.reader, bytes, n, &fixed)) {
        // No text of the two fixed shapes is left to the general reader.
        EXPECT_FALSE(generalReads && (n == 10 || n == 19) && text[4] == '-') << text;
        continue;
      }
      ++taken;
      ASSERT_TRUE(generalReads) << text;
      EXPECT_EQ(std::bit_cast<uint64_t>(fixed), std::bit_cast<uint64_t>(general)) << text;
    }
    if (r.reader != DateReader::kTime) {
      EXPECT_GT(taken, 5000u);
    }
  }
}

TEST(DateArithmeticTest, YearsAndLeapDaysFollowTheHostsCalendar) {
  int64_t expected = daysBeforeYear(kFirstYear);
  for (int year = kFirstYear; year <= kLastYear; ++year) {
    ASSERT_EQ(daysBeforeYear(year), expected) << year;
    int64_t date = 0;
    EXPECT_EQ(dateOf(year, 2, 29, &date), isLeapYear(year)) << year;
    expected += isLeapYear(year) ? 366 : 365;
  }
  int64_t date = 0;
  ASSERT_TRUE(dateOf(1960, 1, 1, &date));
  EXPECT_EQ(date, 0);
  ASSERT_TRUE(dateOf(kFirstYear, 1, 1, &date));
  EXPECT_EQ(date, -138061);
  // Two days fewer than the plain Gregorian count: no 4000-02-29, 8000-02-29.
  ASSERT_TRUE(dateOf(9999, 12, 31, &date));
  EXPECT_EQ(date, 2936549 - 2);
}

TEST(DateArithmeticTest, EveryDayOfTheSpanIsCountedOnceAndNothingElseIsADay) {
  // Every year, month 0 to 13, day 0 to 32, against a count that goes day
  // by day: the years that take a shorter path (the 1900s and 2000s) and
  // their neighbours agree with the rest.
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int64_t next = daysBeforeYear(kFirstYear) - daysBeforeYear(1960);
  size_t wrong = 0;
  for (int year = kFirstYear - 1; year <= kLastYear + 1; ++year) {
    const bool inSpan = year >= kFirstYear && year <= kLastYear;
    for (int month = 0; month <= 13; ++month) {
      const bool realMonth = month >= 1 && month <= 12;
      const int length =
          realMonth ? kLengths[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0) : 0;
      for (int day = 0; day <= 32; ++day) {
        int64_t date = INT64_MIN;
        const bool isDay = inSpan && realMonth && day >= 1 && day <= length;
        const bool read = dateOf(year, month, day, &date);
        if (read != isDay || (isDay && date != next)) {
          if (++wrong <= 5) ADD_FAILURE() << year << "-" << month << "-" << day << ": " << date;
        }
        if (isDay) ++next;
      }
    }
  }
  EXPECT_EQ(wrong, 0u);
}

TEST_F(DateFieldTest, OnlyTheHostsDateReadersAreReadInPlace) {
  EXPECT_EQ(dateReaderNamed(u"yymmdd10.", 9), DateReader::kYearFirst);
  EXPECT_EQ(dateReaderNamed(u"TIME", 4), DateReader::kTime);
  EXPECT_EQ(dateReaderNamed(u"TIMEAMPM8.", 10), DateReader::kNone);
  EXPECT_EQ(dateReaderNamed(u"MMDDYY10.", 9), DateReader::kNone);
  EXPECT_EQ(dateReaderNamed(nullptr, 0), DateReader::kNone);

  // A stand-in informat bound under a date reader's name is asked for
  // every text, also the common ones.
  KovaRipper* ripper = ripperFor(kReaders[1]);
  ASSERT_NE(ripper, nullptr);
  StandInInformat standIn(StandInInformat::Kind::kDouble);
  state(ripper, 0).formatObject = &standIn.object;
  auto row = newRow(ripper);
  convert(ripper, row, 0, "2024-02-29");
  EXPECT_EQ(standIn.seenInput, u"2024-02-29");
  EXPECT_EQ(indicator(ripper, row, 0), -1);
  convert(ripper, row, 0, "12.5");
  EXPECT_EQ(valueAs<double>(ripper, row, 0), 12.5);
  EXPECT_EQ(dateReaderOf(ripper, &state(ripper, 0)), DateReader::kNone);
}

}  // namespace
}  // namespace kova::testing
