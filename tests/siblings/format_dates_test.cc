// YYMMDD, MMDDYY, DDMMYY, DATE, TIME and DATETIME: accepted texts, refusals,
// the fields written at each width, and round trips over the whole span.
#include <cmath>
#include <limits>

#include "runtime/format/calendar.h"
#include "tests/siblings/format_test_util.h"

namespace kova::runtime {
namespace {

using calendar::daysFromCivil;

class DateFormats : public FormatConversionTest {
 protected:
  double date(int y, int m, int d) { return static_cast<double>(daysFromCivil(y, m, d)); }
  double datetime(int y, int m, int d, int hh, int mm, double ss) {
    return date(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss;
  }
};

const double kMissing = std::bit_cast<double>(kMissingPattern);

TEST_F(DateFormats, YearFirstDatesInTheirSpellings) {
  EXPECT_EQ(value("YYMMDD", "2024-01-05"), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", "2024/1/5"), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", "2024.01.05"), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", "2024 01 05"), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", " 20240105 "), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", "240105"), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", "24-01-05"), date(2024, 1, 5));
  EXPECT_EQ(value("YYMMDD", "1960-01-01"), 0);
  EXPECT_EQ(value("YYMMDD", "2000-02-29"), date(2000, 2, 29));
  EXPECT_EQ(value("YYMMDD", "19999-12-31"), date(19999, 12, 31));
  EXPECT_EQ(value("YYMMDD", "1582-01-01"), calendar::kFirstDate);
  EXPECT_EQ(value("YYMMDD", "20000-12-31"), calendar::kEndDate - 1);
  for (std::string_view text :
       {"2024-02-30", "2023-02-29", "4000-02-29", "1581-12-31", "20001-01-01", "2024-13-01",
        "2024-00-10", "2024-01-00", "2024-1-", "2024--01-05", "2024-001-05", "024-01-05",
        "2024-01-05x", "2024-01-05 10:00", "1234567", "Jan 5 2024", "2024-01-05-01", "2024  01 05",
        "+2024-01-05"}) {
    EXPECT_TRUE(refuses("YYMMDD", text)) << text;
  }
}

TEST_F(DateFormats, MonthFirstDayFirstAndMonthNameDates) {
  EXPECT_EQ(value("MMDDYY", "01/05/2024"), date(2024, 1, 5));
  EXPECT_EQ(value("MMDDYY", "1/5/24"), date(2024, 1, 5));
  EXPECT_EQ(value("MMDDYY", "010524"), date(2024, 1, 5));
  EXPECT_EQ(value("MMDDYY", "01052024"), date(2024, 1, 5));
  EXPECT_EQ(value("MMDDYY", "12-31-1999"), date(1999, 12, 31));
  EXPECT_EQ(value("DDMMYY", "05/01/2024"), date(2024, 1, 5));
  EXPECT_EQ(value("DDMMYY", "050124"), date(2024, 1, 5));
  EXPECT_EQ(value("DDMMYY", "31.12.1999"), date(1999, 12, 31));
  EXPECT_EQ(value("DATE", "05JAN2024"), date(2024, 1, 5));
  EXPECT_EQ(value("DATE", "5jan2024"), date(2024, 1, 5));
  EXPECT_EQ(value("DATE", "05-Jan-2024"), date(2024, 1, 5));
  EXPECT_EQ(value("DATE", "05 JAN 24"), date(2024, 1, 5));
  EXPECT_EQ(value("DATE", "31DEC20000"), calendar::kEndDate - 1);
  for (std::string_view text : {"13/01/2024", "2024/01/05", "01/05", "01/32/2024", "1/5/024"}) {
    EXPECT_TRUE(refuses("MMDDYY", text)) << text;
  }
  EXPECT_TRUE(refuses("DDMMYY", "12/31/1999"));
  for (std::string_view text : {"05JANUARY2024", "32JAN2024", "05JAN", "JAN052024",
                                "05JAN2024:10:00", "29FEB2023", "05XYZ2024", "005JAN2024"}) {
    EXPECT_TRUE(refuses("DATE", text)) << text;
  }
}

TEST_F(DateFormats, TwoDigitYearsWidenWithTheHostsCutoff) {
  EXPECT_EQ(value("YYMMDD", "25-01-01"), date(2025, 1, 1));  // unset: 1926
  EXPECT_EQ(value("YYMMDD", "26-01-01"), date(1926, 1, 1));
  host_.setOption(u"ZR_NAME_YEARCUTOFF", 1950);
  EXPECT_EQ(value("YYMMDD", "49-01-01"), date(2049, 1, 1));
  EXPECT_EQ(value("DATE", "01JAN50"), date(1950, 1, 1));
  EXPECT_EQ(value("MMDDYY", "01/01/00"), date(2000, 1, 1));
  host_.setOption(u"ZR_NAME_YEARCUTOFF", 1500);  // outside the span: the default
  EXPECT_EQ(value("YYMMDD", "25-01-01"), date(2025, 1, 1));
  host_.setOption(u"ZR_NAME_YEARCUTOFF", 19950);
  EXPECT_EQ(value("YYMMDD", "50-01-01"), date(19950, 1, 1));
  EXPECT_TRUE(refuses("YYMMDD", "49-01-01"));  // 20049, outside the span
}

TEST_F(DateFormats, TimesOfDayAndDurations) {
  EXPECT_EQ(value("TIME", "10:30"), 37800);
  EXPECT_EQ(value("TIME", "10:30:15"), 37815);
  EXPECT_EQ(value("TIME", "1:2:3"), 3723);
  EXPECT_EQ(value("TIME", "10:30:15.25"), 37815.25);
  EXPECT_EQ(value("TIME", "00:00:00.1"), 0.1);
  EXPECT_EQ(value("TIME", "23:59:59.999"), 86399.999);
  EXPECT_EQ(value("TIME", "123:00:00"), 442800);
  EXPECT_EQ(value("TIME", "-1:30"), -5400);
  EXPECT_EQ(value("TIME", "+1:30"), 5400);
  for (std::string_view text :
       {"10", "10:60", "10:30:60", "10:30:15.", "10:30 PM", "ab:cd", "10::30", "10:30:15:00",
        "1234567890:00", "10:300", ":30", "10:30,5", "- 1:30"}) {
    EXPECT_TRUE(refuses("TIME", text)) << text;
  }
}

TEST_F(DateFormats, DatetimesAsDateColonTime) {
  EXPECT_EQ(value("DATETIME", "05JAN2024:10:30:00"), datetime(2024, 1, 5, 10, 30, 0));
  EXPECT_EQ(value("DATETIME", "05JAN2024 10:30"), datetime(2024, 1, 5, 10, 30, 0));
  EXPECT_EQ(value("DATETIME", "01JAN1960:00:00:00"), 0);
  EXPECT_EQ(value("DATETIME", "31DEC1959:23:59:59.5"), -0.5);
  EXPECT_EQ(value("DATETIME", "31DEC1959:23:59:58.25"), -1.75);
  EXPECT_EQ(value("DATETIME", "31DEC1959:23:59:59.000"), -1);
  EXPECT_EQ(value("DATETIME", "05jan24:10:30:00"), datetime(2024, 1, 5, 10, 30, 0));
  EXPECT_EQ(value("DATETIME", "01JAN1582:00:00:00"), calendar::kFirstDatetime);
  EXPECT_EQ(value("DATETIME", "31DEC20000:23:59:59"), calendar::kEndDatetime - 1);
  for (std::string_view text : {"05JAN2024", "05JAN2024:24:00:00", "05JAN2024:10", "05JAN2024:",
                                "2024-01-05 10:30:00", "05JAN2024:10:30:00Z", "05JAN2024::10:30"}) {
    EXPECT_TRUE(refuses("DATETIME", text)) << text;
  }
}

TEST_F(DateFormats, DateFieldsByWidth) {
  const double d = date(2024, 1, 5);
  EXPECT_EQ(write("YYMMDD", d), "24-01-05");  // default width 8
  EXPECT_EQ(write("YYMMDD", d, 10), "2024-01-05");
  EXPECT_EQ(write("YYMMDD", d, 11), " 2024-01-05");
  EXPECT_EQ(write("YYMMDD", d, 9), " 24-01-05");
  EXPECT_EQ(write("YYMMDD", d, 6), "240105");
  EXPECT_EQ(write("YYMMDD", d, 5), "*****");
  EXPECT_EQ(write("MMDDYY", d, 10), "01/05/2024");
  EXPECT_EQ(write("MMDDYY", d), "01/05/24");
  EXPECT_EQ(write("MMDDYY", d, 6), "010524");
  EXPECT_EQ(write("DDMMYY", d, 10), "05/01/2024");
  EXPECT_EQ(write("DDMMYY", d, 7), " 050124");
  EXPECT_EQ(write("DATE", d), "05JAN2024");
  EXPECT_EQ(write("DATE", d, 7), "05JAN24");
  EXPECT_EQ(write("DATE", d, 5), "05JAN");
  EXPECT_EQ(write("DATE", d, 11), "  05JAN2024");
  EXPECT_EQ(write("DATE", d, 4), "****");
  // Five-digit years need one column more.
  const double last = static_cast<double>(calendar::kEndDate - 1);
  EXPECT_EQ(write("YYMMDD", last, 10), "**********");
  EXPECT_EQ(write("YYMMDD", last, 11), "20000-12-31");
  EXPECT_EQ(write("DATE", last, 9), "*********");
  EXPECT_EQ(write("DATE", last, 10), "31DEC20000");
  // The day of a fractional date is the one it falls in.
  EXPECT_EQ(write("YYMMDD", 0.99, 10), "1960-01-01");
  EXPECT_EQ(write("YYMMDD", -0.5, 10), "1959-12-31");
}

TEST_F(DateFormats, ValuesOutsideTheSpanAndMissingValuesWriteAPoint) {
  const double outside[] = {kMissing,
                            std::bit_cast<double>(0xFFFFA50000000000ull),
                            static_cast<double>(calendar::kFirstDate) - 0.5,
                            static_cast<double>(calendar::kEndDate),
                            std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
  for (double v : outside) {
    for (std::string_view name : {"YYMMDD", "MMDDYY", "DDMMYY", "DATE"}) {
      EXPECT_EQ(write(name, v, 10), "         .") << name << " " << v;
    }
    EXPECT_EQ(write("DATETIME", v * 86400, 18), "                 .") << v;
  }
  EXPECT_EQ(write("TIME", kMissing), "       .");
  EXPECT_EQ(write("TIME", std::numeric_limits<double>::infinity()), "********");
}

TEST_F(DateFormats, TimeFieldsRoundToTheirDecimals) {
  EXPECT_EQ(write("TIME", 0), "00:00:00");
  EXPECT_EQ(write("TIME", 37815), "10:30:15");
  EXPECT_EQ(write("TIME", 37815.25), "10:30:15");
  EXPECT_EQ(write("TIME", 37815.25, 11, 2), "10:30:15.25");
  EXPECT_EQ(write("TIME", 37815.25, 12, 2), " 10:30:15.25");
  EXPECT_EQ(write("TIME", 37815.75, 10, 2), "10:30:15.8");  // fewer decimals to fit
  EXPECT_EQ(write("TIME", 59.6), "00:01:00");
  EXPECT_EQ(write("TIME", 59.5), "00:01:00");  // ties to even, as printf
  EXPECT_EQ(write("TIME", 58.5), "00:00:58");
  EXPECT_EQ(write("TIME", 86399.9996, 12, 3), "24:00:00.000");
  EXPECT_EQ(write("TIME", 37815, 5), "10:30");
  EXPECT_EQ(write("TIME", 37859.9, 5), "10:30");  // seconds are cut, not rounded
  EXPECT_EQ(write("TIME", 37815, 4), "****");
  EXPECT_EQ(write("TIME", 442800, 9), "123:00:00");
  EXPECT_EQ(write("TIME", 442800), "  123:00");
  EXPECT_EQ(write("TIME", -5400, 9), "-01:30:00");
  EXPECT_EQ(write("TIME", -5400, 8), "  -01:30");
  EXPECT_EQ(write("TIME", -0.2), "00:00:00");  // no negative zero
  EXPECT_EQ(write("TIME", 1e20), "********");
}

TEST_F(DateFormats, DatetimeFieldsByWidth) {
  const double v = datetime(2024, 1, 5, 10, 30, 15.25);
  EXPECT_EQ(write("DATETIME", v), "05JAN2024:10:30:15");
  EXPECT_EQ(write("DATETIME", v, 22, 2), " 05JAN2024:10:30:15.25");
  EXPECT_EQ(write("DATETIME", v, 21, 2), "05JAN2024:10:30:15.25");
  EXPECT_EQ(write("DATETIME", v, 20, 2), "05JAN2024:10:30:15.2");  // ties to even, as printf
  EXPECT_EQ(write("DATETIME", v, 16), "05JAN24:10:30:15");
  EXPECT_EQ(write("DATETIME", v, 13), "05JAN24:10:30");
  EXPECT_EQ(write("DATETIME", v, 12), "************");
  EXPECT_EQ(write("DATETIME", 0), "01JAN1960:00:00:00");
  EXPECT_EQ(write("DATETIME", -1), "31DEC1959:23:59:59");
  EXPECT_EQ(write("DATETIME", 86399.6), "02JAN1960:00:00:00");  // carries into the day
  const double last = static_cast<double>(calendar::kEndDatetime - 1);
  EXPECT_EQ(write("DATETIME", last, 19), "31DEC20000:23:59:59");
  EXPECT_EQ(write("DATETIME", last, 18), "******************");
  EXPECT_EQ(write("DATETIME", last + 0.9, 19), "                  .");  // rounds out of the span
  EXPECT_EQ(write("DATETIME", last + 0.75, 21, 1), "31DEC20000:23:59:59.8");
  EXPECT_EQ(write("DATETIME", static_cast<double>(calendar::kFirstDatetime)), "01JAN1582:00:00:00");
}

TEST_F(DateFormats, EveryDayOfTheSpanWrittenAndReadBack) {
  KovaFormatObject* yymmdd = object("YYMMDD", kFormatLookupFormat, 11);
  KovaFormatObject* date9 = object("DATE", kFormatLookupFormat, 10);
  KovaFormatObject* mmddyy = object("MMDDYY", kFormatLookupFormat, 11);
  KovaFormatObject* ddmmyy = object("DDMMYY", kFormatLookupFormat, 11);
  KovaFormatObject* readYymmdd = object("YYMMDD", kFormatLookupInformat);
  KovaFormatObject* readDate = object("DATE", kFormatLookupInformat);
  KovaFormatObject* readMmddyy = object("MMDDYY", kFormatLookupInformat);
  KovaFormatObject* readDdmmyy = object("DDMMYY", kFormatLookupInformat);
  KovaFormatObject* readAny = object("ANYDTDTE", kFormatLookupInformat);
  // Six and a half million days: the objects are driven directly.
  char16_t field[16];
  double value = 0;
  double back = 0;
  auto write = [&](KovaFormatObject* format) {
    format->input = &value;
    format->output = field;
    format->outputCapacity = format->width;
    return format->run(format, 0) == kStatusOk;
  };
  auto readsBack = [&](KovaFormatObject* format, KovaFormatObject* informat) {
    informat->input = field;
    informat->inputLength = format->outputLength;
    informat->width = 0;
    informat->output = &back;
    return informat->run(informat, 0) == kStatusOk && back == value;
  };
  auto roundTrip = [&](KovaFormatObject* format, KovaFormatObject* informat) {
    return write(format) && readsBack(format, informat);
  };
  int64_t failures = 0;
  auto check = [&](int64_t day, bool all) {
    value = static_cast<double>(day);
    bool ok = roundTrip(yymmdd, readYymmdd) && readsBack(yymmdd, readAny);
    if (all || day % 3 == 0) ok = ok && roundTrip(date9, readDate);
    if (all || day % 7 == 0) {
      ok = ok && roundTrip(mmddyy, readMmddyy) && roundTrip(ddmmyy, readDdmmyy);
    }
    if (!ok && ++failures < 5) ADD_FAILURE() << "day " << day;
  };
  for (int64_t day = calendar::kFirstDate; day < calendar::kEndDate; day += kSpanStride) {
    check(day, false);
  }
  for (int64_t day : {calendar::kFirstDate, int64_t{-1}, int64_t{0}, calendar::kEndDate - 1}) {
    check(day, true);
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(DateFormats, TwoDigitYearsRoundTripInsideTheCutoffsHundredYears) {
  KovaFormatObject* format = object("YYMMDD", kFormatLookupFormat, 8);
  KovaFormatObject* informat = object("YYMMDD", kFormatLookupInformat);
  std::u16string text;
  for (int64_t day = daysFromCivil(1926, 1, 1); day <= daysFromCivil(2025, 12, 31); ++day) {
    const std::string written = writeWith(format, static_cast<double>(day), 8);
    text.assign(written.begin(), written.end());
    ASSERT_EQ(readWith(informat, text).value, static_cast<double>(day)) << written;
  }
}

TEST_F(DateFormats, EverySecondOfTheDayAndFractionsRoundTrip) {
  KovaFormatObject* time8 = object("TIME", kFormatLookupFormat, 8);
  KovaFormatObject* time12 = object("TIME", kFormatLookupFormat, 12, 3);
  KovaFormatObject* readTime = object("TIME", kFormatLookupInformat);
  KovaFormatObject* readAny = object("ANYDTTME", kFormatLookupInformat);
  std::u16string text;
  for (int s = 0; s < 86400; ++s) {
    const std::string written = writeWith(time8, s, 8);
    text.assign(written.begin(), written.end());
    ASSERT_EQ(readWith(readTime, text).value, s) << written;
    ASSERT_EQ(readWith(readAny, text).value, s) << written;
  }
  for (int i = 0; i < 86400; i += 7) {
    const double v = i + (i % 1000) / 1000.0;
    const std::string written = writeWith(time12, v, 12);
    text.assign(written.begin(), written.end());
    const double back = readWith(readTime, text).value;
    ASSERT_NEAR(back, v, 1e-9) << written;
    ASSERT_EQ(writeWith(time12, back, 12), written);
  }
}

TEST_F(DateFormats, DatetimesAcrossTheSpanRoundTrip) {
  KovaFormatObject* format = object("DATETIME", kFormatLookupFormat, 19);
  KovaFormatObject* withFraction = object("DATETIME", kFormatLookupFormat, 23, 3);
  KovaFormatObject* informat = object("DATETIME", kFormatLookupInformat);
  KovaFormatObject* readAny = object("ANYDTDTM", kFormatLookupInformat);
  std::u16string text;
  int64_t checked = 0;
  for (int64_t s = calendar::kFirstDatetime; s < calendar::kEndDatetime;
       s += 600011 * kSpanStride) {
    const auto v = static_cast<double>(s);
    std::string written = writeWith(format, v, 19);
    text.assign(written.begin(), written.end());
    ASSERT_EQ(readWith(informat, text).value, v) << written;
    ASSERT_EQ(readWith(readAny, text).value, v) << written;
    // A millisecond fraction comes back within rounding.
    const double f = v + static_cast<double>((s % 1000 + 1000) % 1000) / 1000.0;
    written = writeWith(withFraction, f, 23);
    text.assign(written.begin(), written.end());
    ASSERT_NEAR(readWith(informat, text).value, f, 1e-4) << written;
    ++checked;
  }
  EXPECT_GT(checked, 900000 / kSpanStride);
  for (int64_t s :
       {calendar::kFirstDatetime, calendar::kEndDatetime - 1, int64_t{0}, int64_t{-1}}) {
    const std::string written = writeWith(format, static_cast<double>(s), 19);
    text.assign(written.begin(), written.end());
    EXPECT_EQ(readWith(informat, text).value, static_cast<double>(s)) << written;
  }
}

}  // namespace
}  // namespace kova::runtime
