// ANYDTDTE, ANYDTTME and ANYDTDTM: the written forms they recognise, the
// part each one takes, and what they refuse.
#include "runtime/format/calendar.h"
#include "tests/siblings/format_test_util.h"

namespace kova::runtime {
namespace {

class AnyDateFormats : public FormatConversionTest {
 protected:
  static double date(int y, int m, int d) {
    return static_cast<double>(calendar::daysFromCivil(y, m, d));
  }
  static double datetime(int y, int m, int d, int hh, int mm, double ss) {
    return date(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss;
  }
};

TEST_F(AnyDateFormats, DatesInTheCommonForms) {
  const double jan5 = date(2024, 1, 5);
  for (std::string_view text : {"2024-01-05",       "2024-1-5",
                                "2024/01/05",       "2024.01.05",
                                "20240105",         "01/05/2024",
                                "1/5/2024",         "01-05-2024",
                                "01/05/24",         "05.01.2024",
                                "5.1.24",           "05JAN2024",
                                "05Jan24",          "5-jan-2024",
                                "05/Jan/2024",      "05 January 2024",
                                "5 Jan, 2024",      "Jan 5, 2024",
                                "January 05 2024",  "jan-05-2024",
                                "Fri, 05 Jan 2024", "Friday January 5, 2024",
                                "  2024-01-05  "}) {
    EXPECT_EQ(value("ANYDTDTE", text), jan5) << text;
  }
  // Slashed and dashed dates put the month first unless the first number
  // cannot be a month.
  EXPECT_EQ(value("ANYDTDTE", "25/12/2024"), date(2024, 12, 25));
  EXPECT_EQ(value("ANYDTDTE", "12/25/2024"), date(2024, 12, 25));
  EXPECT_EQ(value("ANYDTDTE", "13-01-2024"), date(2024, 1, 13));
  EXPECT_EQ(value("ANYDTDTE", "Sept 30 2024"), date(2024, 9, 30));
  EXPECT_EQ(value("ANYDTDTE", "12345-06-07"), date(12345, 6, 7));
  EXPECT_EQ(value("ANYDTDTE", "1582-01-01"), calendar::kFirstDate);
}

TEST_F(AnyDateFormats, ADatetimeTextGivesItsDateOrItsTime) {
  for (std::string_view text :
       {"2024-01-05T10:30:15", "2024-01-05 10:30:15", "2024-01-05t10:30:15.000",
        "2024-01-05T10:30:15Z", "2024-01-05T10:30:15+02:00", "2024-01-05T10:30:15-0500",
        "05/Jan/2024:10:30:15 +0000", "05JAN2024:10:30:15", "01/05/2024 10:30:15",
        "01/05/2024 10:30:15 AM", "Fri, 05 Jan 2024 10:30:15 GMT", "20240105T103015",
        "2024-01-05   10:30:15 UTC"}) {
    EXPECT_EQ(value("ANYDTDTE", text), date(2024, 1, 5)) << text;
    EXPECT_EQ(value("ANYDTTME", text), 37815) << text;
    EXPECT_EQ(value("ANYDTDTM", text), datetime(2024, 1, 5, 10, 30, 15)) << text;
  }
}

TEST_F(AnyDateFormats, FractionsZonesAndTheTwelveHourClock) {
  EXPECT_EQ(value("ANYDTDTM", "2024-01-05T10:30:15.125"), datetime(2024, 1, 5, 10, 30, 15.125));
  EXPECT_EQ(value("ANYDTDTM", "2024-01-05 10:30:15,5"), datetime(2024, 1, 5, 10, 30, 15.5));
  EXPECT_EQ(value("ANYDTDTM", "1959-12-31 23:59:59.5"), -0.5);
  // The zone is read and left aside: the local time is kept.
  EXPECT_EQ(value("ANYDTDTM", "2024-01-05T10:30:00+05:30"), datetime(2024, 1, 5, 10, 30, 0));
  EXPECT_EQ(value("ANYDTDTM", "05/Jan/2024:23:59:59 -0800"), datetime(2024, 1, 5, 23, 59, 59));
  EXPECT_EQ(value("ANYDTTME", "10:30"), 37800);
  EXPECT_EQ(value("ANYDTTME", "3:04 PM"), 15 * 3600 + 4 * 60);
  EXPECT_EQ(value("ANYDTTME", "3:04pm"), 15 * 3600 + 4 * 60);
  EXPECT_EQ(value("ANYDTTME", "12:00 AM"), 0);
  EXPECT_EQ(value("ANYDTTME", "12:00 PM"), 43200);
  EXPECT_EQ(value("ANYDTTME", "23:59:59.999"), 86399.999);
  EXPECT_EQ(value("ANYDTTME", "10:30:00Z"), 37800);
  // A date alone is midnight as a datetime.
  EXPECT_EQ(value("ANYDTDTM", "2024-01-05"), datetime(2024, 1, 5, 0, 0, 0));
  EXPECT_EQ(value("ANYDTDTM", "05JAN2024"), datetime(2024, 1, 5, 0, 0, 0));
}

TEST_F(AnyDateFormats, TwoDigitYearsFollowTheCutoff) {
  EXPECT_EQ(value("ANYDTDTE", "01/05/25"), date(2025, 1, 5));
  EXPECT_EQ(value("ANYDTDTE", "01/05/26"), date(1926, 1, 5));
  host_.setOption(u"ZR_NAME_YEARCUTOFF", 2000);
  EXPECT_EQ(value("ANYDTDTE", "05JAN99"), date(2099, 1, 5));
}

TEST_F(AnyDateFormats, BlankTextsAreMissingAndOtherTextsAreRefused) {
  for (std::string_view name : {"ANYDTDTE", "ANYDTTME", "ANYDTDTM"}) {
    const Reading r = read(name, "   ");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(std::bit_cast<uint64_t>(r.value), kMissingPattern);
  }
  for (std::string_view text : {"hello",
                                "2024",
                                "2024-01",
                                "2024-02-30",
                                "2023-02-29",
                                "1581-12-31",
                                "20001-01-01",
                                "2024-13-05",
                                "13/13/2024",
                                "2024-01-05T",
                                "2024-01-05T25:00",
                                "2024-01-05 10:60",
                                "2024-01-05 10:30:61",
                                "2024-01-05X10:30",
                                "2024-01-05 10:30 +25",
                                "2024-01-05 13:00 PM",
                                "05 Foo 2024",
                                "Jan 2024",
                                "2024-01-05 10",
                                "2024-01-05 10:30:15 extra",
                                "Fri,",
                                "010524",
                                "1/5",
                                "2024/01-05"}) {
    EXPECT_TRUE(refuses("ANYDTDTE", text)) << text;
    EXPECT_TRUE(refuses("ANYDTDTM", text)) << text;
  }
  // Each name needs its part: no time in a date, no date in a time.
  EXPECT_TRUE(refuses("ANYDTTME", "2024-01-05"));
  EXPECT_TRUE(refuses("ANYDTDTE", "10:30"));
  EXPECT_TRUE(refuses("ANYDTDTM", "10:30:15"));
  EXPECT_TRUE(refuses("ANYDTTME", "24:00"));
  EXPECT_TRUE(refuses("ANYDTTME", "0:30 AM"));
}

}  // namespace
}  // namespace kova::runtime
