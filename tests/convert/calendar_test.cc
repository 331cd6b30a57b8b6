#include "src/convert/calendar.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "src/convert/missing.h"
#include "src/host/kernel.h"

namespace kova {
namespace {

uint64_t bitsOf(double x) { return std::bit_cast<uint64_t>(x); }
bool isStandardMissing(double x) { return bitsOf(x) == kMissingBits; }

const double kPlainNan = std::numeric_limits<double>::quiet_NaN();
const double kMissingA = std::bit_cast<double>(missingBitsFor('A'));

TEST(MissingValues, PatternsAndCodes) {
  EXPECT_EQ(bitsOf(kMissing), 0xFFFFD10000000000ull);
  EXPECT_TRUE(isMissing(kMissing));
  EXPECT_EQ(missingBitsFor('_'), 0xFFFFD20000000000ull);
  EXPECT_EQ(missingBitsFor('A'), 0xFFFFBE0000000000ull);
  EXPECT_EQ(missingBitsFor('Z'), 0xFFFFA50000000000ull);
  EXPECT_EQ(missingBitsFor('a'), 0u);
  for (char c : std::string("._ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
    const double value = std::bit_cast<double>(missingBitsFor(c));
    EXPECT_TRUE(isMissing(value)) << c;
    EXPECT_EQ(missingCode(value), c);
  }
  // Other NaNs and infinities are not missing values.
  EXPECT_FALSE(isMissing(kPlainNan));
  EXPECT_FALSE(isMissing(-kPlainNan));
  EXPECT_FALSE(isMissing(-std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(isMissing(std::bit_cast<double>(0xFFFE000000000000ull)));
  EXPECT_TRUE(isMissing(std::bit_cast<double>(0xFFFF000000000001ull)));
  EXPECT_EQ(missingCode(std::bit_cast<double>(0xFFFF000000000001ull)), 0);
  EXPECT_EQ(missingCode(1.0), 0);
}

TEST(DatePart, GivesTheDayOfEverySecond) {
  EXPECT_EQ(datePart(-1), -1);
  EXPECT_EQ(datePart(-86400), -1);
  EXPECT_EQ(datePart(-86400.5), -2);
  EXPECT_EQ(datePart(0), 0);
  EXPECT_EQ(datePart(86399.9), 0);
  EXPECT_EQ(datePart(86400), 1);
  EXPECT_EQ(datePart(-11928470400.0), -138061);
  EXPECT_EQ(datePart(569318630399.5), 6589335);
}

TEST(DatePart, MissingComesBackOutOfSpanIsMissing) {
  EXPECT_EQ(bitsOf(datePart(kMissing)), kMissingBits);
  EXPECT_EQ(bitsOf(datePart(kMissingA)), bitsOf(kMissingA));
  EXPECT_TRUE(isStandardMissing(datePart(-11928470400.5)));
  EXPECT_TRUE(isStandardMissing(datePart(569318630400.0)));
  EXPECT_TRUE(isStandardMissing(datePart(kPlainNan)));
  EXPECT_TRUE(isStandardMissing(datePart(std::numeric_limits<double>::infinity())));
}

TEST(TimeOfDay, SplitsSecondsSinceMidnight) {
  EXPECT_EQ(timePart(-1), 86399);
  EXPECT_EQ(timePart(0), 0);
  EXPECT_EQ(timePart(-0.25), 86399.75);
  EXPECT_EQ(timePart(3 * 86400.0 + 5), 5);
  EXPECT_EQ(timePart(-86400), 0);
  EXPECT_FALSE(std::signbit(timePart(-86400)));
  // A millisecond before 1960 keeps its fraction.
  EXPECT_DOUBLE_EQ(timePart(-0.001), 86399.999);
  EXPECT_DOUBLE_EQ(timePart(-11928470400.0 + 0.125), 0.125);

  EXPECT_EQ(hourOf(3725.5), 1);
  EXPECT_EQ(minuteOf(3725.5), 2);
  EXPECT_EQ(secondOf(3725.5), 5.5);
  EXPECT_EQ(hourOf(-1), 23);
  EXPECT_EQ(minuteOf(-1), 59);
  EXPECT_EQ(secondOf(-1), 59);
  EXPECT_EQ(hourOf(-3600.5), 22);
  EXPECT_EQ(minuteOf(-3600.5), 59);
  EXPECT_EQ(secondOf(-3600.5), 59.5);
  EXPECT_EQ(hourOf(86400 * 2 + 13 * 3600 + 5 * 60 + 9.25), 13);
  EXPECT_EQ(minuteOf(86400 * 2 + 13 * 3600 + 5 * 60 + 9.25), 5);
  EXPECT_EQ(secondOf(86400 * 2 + 13 * 3600 + 5 * 60 + 9.25), 9.25);
  EXPECT_EQ(hourOf(-86400), 0);
  EXPECT_EQ(minuteOf(-86400), 0);
  EXPECT_EQ(secondOf(-86400), 0);
}

// A negative datetime a hair before midnight belongs to the day before; its
// time of day stays below 24:00 instead of wrapping to that day's 00:00.
TEST(TimeOfDay, TinyNegativeValuesStayOnTheirDay) {
  for (double x : {-1e-20, -1e-9, -1e-6}) {
    EXPECT_EQ(datePart(x), -1) << x;
    EXPECT_LT(timePart(x), 86400) << x;
    EXPECT_GT(timePart(x), 86399.99) << x;
    EXPECT_EQ(hourOf(x), 23) << x;
    EXPECT_EQ(minuteOf(x), 59) << x;
    EXPECT_LT(secondOf(x), 60) << x;
  }
}

TEST(TimeOfDay, MissingAndOutOfSpanGiveTheStandardMissing) {
  for (double bad : {kMissing, kMissingA, kPlainNan, -11928470401.0, 569318630400.0}) {
    EXPECT_TRUE(isStandardMissing(timePart(bad)));
    EXPECT_TRUE(isStandardMissing(hourOf(bad)));
    EXPECT_TRUE(isStandardMissing(minuteOf(bad)));
    EXPECT_TRUE(isStandardMissing(secondOf(bad)));
  }
}

TEST(DateToJulian, KnownDates) {
  EXPECT_EQ(dateToJulian(0), 1960001);
  EXPECT_EQ(dateToJulian(-1), 1959365);
  EXPECT_EQ(dateToJulian(365), 1960366);
  EXPECT_EQ(dateToJulian(366), 1961001);
  EXPECT_EQ(dateToJulian(-138061), 1582001);
  EXPECT_EQ(dateToJulian(6589335), 20000365);
  EXPECT_EQ(dateToJulian(0.75), 1960001);
  EXPECT_EQ(dateToJulian(-0.5), 1959365);
  EXPECT_TRUE(isStandardMissing(dateToJulian(6589336)));
  EXPECT_TRUE(isStandardMissing(dateToJulian(-138062)));
  EXPECT_TRUE(isStandardMissing(dateToJulian(-138061.5)));
  EXPECT_TRUE(isStandardMissing(dateToJulian(kPlainNan)));
  EXPECT_EQ(bitsOf(dateToJulian(kMissing)), kMissingBits);
  EXPECT_EQ(bitsOf(dateToJulian(kMissingA)), bitsOf(kMissingA));
}

// Walks the calendar one day at a time over the whole span and checks that
// the three conversions agree with it on every day.
TEST(Calendar, AgreesWithAWalkOverEveryDayOfTheSpan) {
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int64_t year = 1582, month = 1, dayOfMonth = 1, dayOfYear = 1;
  int mismatches = 0;
  for (int64_t date = kFirstDate; date < kEndDate; ++date) {
    const double expected = static_cast<double>(year * 1000 + dayOfYear);
    double y, m, d;
    julianToYmd(expected, &y, &m, &d);
    const bool ok = dateToJulian(static_cast<double>(date)) == expected && y == year &&
                    m == month && d == dayOfMonth &&
                    ymdToJulian(static_cast<double>(year), static_cast<double>(month),
                                static_cast<double>(dayOfMonth)) == expected;
    if (!ok && ++mismatches <= 5) {
      ADD_FAILURE() << "date " << date << " is " << year << "-" << month << "-" << dayOfMonth
                    << " (day " << dayOfYear << "); got " << dateToJulian(static_cast<double>(date))
                    << " / " << y << "-" << m << "-" << d;
    }
    const int length = kMonthDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
    ++dayOfYear;
    if (++dayOfMonth > length) {
      dayOfMonth = 1;
      if (++month > 12) {
        month = 1;
        ++year;
        dayOfYear = 1;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(year, 20001);
}

TEST(Calendar, LeapYearsSkipMultiplesOf4000) {
  EXPECT_TRUE(isLeapYear(1960));
  EXPECT_TRUE(isLeapYear(2000));
  EXPECT_FALSE(isLeapYear(1900));
  EXPECT_FALSE(isLeapYear(4000));
  EXPECT_FALSE(isLeapYear(8000));
  EXPECT_TRUE(isLeapYear(12400));
}

struct Ymd {
  double year, month, day;
};
Ymd split(double yearDay) {
  Ymd r;
  julianToYmd(yearDay, &r.year, &r.month, &r.day);
  return r;
}
bool allMissing(const Ymd& r) {
  return isStandardMissing(r.year) && isStandardMissing(r.month) && isStandardMissing(r.day);
}
#define EXPECT_YMD(value, y, m, d)                                             \
  do {                                                                         \
    const Ymd r_ = split(value);                                               \
    EXPECT_TRUE(r_.year == (y) && r_.month == (m) && r_.day == (d))            \
        << (value) << " gave " << r_.year << "-" << r_.month << "-" << r_.day; \
  } while (0)

// The tests run without a kernel unless a test installs one.
class JulianToYmd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(kernel(), nullptr); }
};

TEST_F(JulianToYmd, SplitsYearAndDay) {
  EXPECT_YMD(2000060, 2000, 2, 29);
  EXPECT_YMD(1900060, 1900, 3, 1);
  EXPECT_YMD(4000060, 4000, 3, 1);
  EXPECT_YMD(2000366, 2000, 12, 31);
  EXPECT_YMD(1582001, 1582, 1, 1);
  EXPECT_YMD(20000365, 20000, 12, 31);
  EXPECT_YMD(2024032.9, 2024, 2, 1);
}

TEST_F(JulianToYmd, DaysThatDoNotExistAreMissing) {
  for (double bad :
       {1500001.0, 2021366.0, 1960000.0, 4000366.0, 2000367.0, 0.0, 0.5, -1.0, 20000366.0,
        20001001.0, 25000.0, 99999.0, 100001.0, 1581365.0, kPlainNan, kMissing, kMissingA}) {
    EXPECT_TRUE(allMissing(split(bad))) << bad;
  }
}

TEST_F(JulianToYmd, TwoDigitYearsUseTheDefaultCutoffWithoutAKernel) {
  EXPECT_EQ(yearCutoff(), 1926);
  EXPECT_YMD(25032, 2025, 2, 1);
  EXPECT_YMD(26032, 1926, 2, 1);
  EXPECT_YMD(1, 2000, 1, 1);
  EXPECT_YMD(99365, 1999, 12, 31);
  EXPECT_YMD(24060, 2024, 2, 29);
  EXPECT_TRUE(allMissing(split(27366)));  // 1927 is a common year
}

TEST(YmdToJulian, BuildsYearAndDay) {
  EXPECT_EQ(ymdToJulian(2000, 2, 29), 2000060);
  EXPECT_EQ(ymdToJulian(1900, 3, 1), 1900060);
  EXPECT_EQ(ymdToJulian(20000, 12, 31), 20000365);
  EXPECT_EQ(ymdToJulian(1582, 1, 1), 1582001);
  EXPECT_EQ(ymdToJulian(25, 2, 1), 2025032);
  EXPECT_EQ(ymdToJulian(26, 12, 31), 1926365);
  EXPECT_EQ(ymdToJulian(2024.5, 3.9, 1.2), 2024061);
}

TEST(YmdToJulian, RefusesWhatNamesNoDay) {
  const double refused[][3] = {
      {2000, 0, 1},   {2000, 13, 1},    {2000, 1, 0},         {2000, 1, 32},       {-1, 1, 1},
      {1581, 12, 31}, {100, 1, 1},      {20001, 1, 1},        {1900, 2, 29},       {4000, 2, 29},
      {2001, 4, 31},  {kMissing, 1, 1}, {2000, kPlainNan, 1}, {2000, 1, kMissingA}};
  for (const auto& r : refused) {
    EXPECT_TRUE(isStandardMissing(ymdToJulian(r[0], r[1], r[2])))
        << r[0] << "-" << r[1] << "-" << r[2];
  }
}

// A kernel whose only service is getOption, answering like a host would.
class FakeOptionKernel {
 public:
  FakeOptionKernel() : ops_{}, kernel_{&ops_, nullptr} {
    ops_.getOption = &FakeOptionKernel::getOption;
    self() = this;
  }
  ~FakeOptionKernel() { self() = nullptr; }
  KovaKernel* handle() { return &kernel_; }

  KovaStatus answer = kStatusOk;
  bool writes = true;
  int64_t value = 0;
  int calls = 0;
  std::u16string lastKey;
  int32_t lastType = 0;
  int64_t lastSize = 0;
  int64_t presetSeen = 0;

 private:
  static FakeOptionKernel*& self() {
    static FakeOptionKernel* current = nullptr;
    return current;
  }
  static KovaStatus getOption(KovaKernel*, const char16_t* key, int32_t keyLength, int32_t type,
                              void* value, int64_t* size) {
    FakeOptionKernel* fake = self();
    ++fake->calls;
    fake->lastKey.assign(key, static_cast<size_t>(keyLength));
    fake->lastType = type;
    fake->lastSize = *size;
    fake->presetSeen = *static_cast<int64_t*>(value);
    if (fake->writes) *static_cast<int64_t*>(value) = fake->value;
    return fake->answer;
  }

  KovaKernelOps ops_;
  KovaKernel kernel_;
};

class YearCutoff : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kernel(), nullptr);
    setKernel(fake.handle());
  }
  void TearDown() override { setKernel(nullptr); }
  FakeOptionKernel fake;
};

TEST_F(YearCutoff, HostValueWidensTwoDigitYears) {
  fake.value = 1950;
  EXPECT_YMD(49001, 2049, 1, 1);
  EXPECT_YMD(50001, 1950, 1, 1);
  EXPECT_YMD(99001, 1999, 1, 1);
  EXPECT_EQ(ymdToJulian(0, 1, 1), 2000001);
  EXPECT_EQ(fake.calls, 4);
  EXPECT_EQ(fake.lastKey, u"ZR_NAME_YEARCUTOFF");
  EXPECT_EQ(fake.lastType, 3);
  EXPECT_EQ(fake.lastSize, 8);
  EXPECT_EQ(fake.presetSeen, 1950);
}

TEST_F(YearCutoff, IsAskedOnEveryWideningAndOnlyThen) {
  fake.value = 2000;
  EXPECT_YMD(99001, 2099, 1, 1);
  fake.value = 1980;
  EXPECT_YMD(99001, 1999, 1, 1);
  EXPECT_YMD(79001, 2079, 1, 1);
  EXPECT_EQ(fake.calls, 3);
  EXPECT_YMD(2024001, 2024, 1, 1);
  EXPECT_EQ(ymdToJulian(2024, 1, 1), 2024001);
  EXPECT_EQ(fake.calls, 3);
}

TEST_F(YearCutoff, PresetWhenUnwrittenDefaultWhenRefused) {
  fake.writes = false;
  EXPECT_EQ(yearCutoff(), 1950);
  EXPECT_YMD(49001, 2049, 1, 1);
  fake.answer = kStatusNotSupported;
  fake.writes = true;
  fake.value = 1980;
  EXPECT_EQ(yearCutoff(), 1926);
  EXPECT_YMD(49001, 1949, 1, 1);
}

TEST_F(YearCutoff, OnlyTheLow32BitsCount) {
  fake.value = (int64_t{1} << 32) + 1970;
  EXPECT_EQ(yearCutoff(), 1970);
  EXPECT_YMD(69001, 2069, 1, 1);
}

// A cutoff whose window lies outside 1582..20000 cannot widen a year.
TEST_F(YearCutoff, CutoffOutsideTheSpanGivesMissing) {
  fake.value = 0;
  EXPECT_TRUE(allMissing(split(25032)));
  EXPECT_TRUE(isStandardMissing(ymdToJulian(25, 2, 1)));
  fake.value = 19950;
  EXPECT_YMD(60001, 19960, 1, 1);
  EXPECT_TRUE(allMissing(split(49001)));
  EXPECT_TRUE(isStandardMissing(ymdToJulian(49, 1, 1)));
  fake.value = -1926;
  EXPECT_TRUE(allMissing(split(25032)));
}

}  // namespace
}  // namespace kova
