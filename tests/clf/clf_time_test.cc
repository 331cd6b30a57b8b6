// The CLF time in its written shape, read without the general date reader:
// over texts near every edge of the shape and of the calendar, it reads
// exactly the texts the general reader reads in that shape, to the same
// value, and leaves every other text alone.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <random>
#include <string>

#include "src/ripper/clf_time.h"
#include "src/ripper/convert_dates.h"

namespace kova::testing {
namespace {

// Texts of the log shape with each part drawn from valid and edge values.
std::vector<std::string> logTimes(int count) {
  static const char* const kMonths[] = {"Jan", "FEB", "mar", "Apr", "May", "jUn", "Jul", "Aug",
                                        "Sep", "Oct", "Nov", "Dec", "Jam", "J@n", "Ja",  "Sept"};
  static const int kYears[] = {1581, 1582, 1600, 1700, 1900, 1959, 1960, 2000,
                               2024, 2100, 4000, 8000, 9999, 2023, 2025, 1999};
  static const char* const kZones[] = {"",       " +0000", " -0700", " +2359", " +2400", " -0060",
                                       " *0100", "+0000 ", " +00a0", "  0000", " +000",  " +00000"};
  std::mt19937 random(23);
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) {
    char text[64];
    const int day = int(random() % 33);
    const int hour = int(random() % 26);
    const int minute = int(random() % 62);
    const int second = int(random() % 62);
    std::snprintf(text, sizeof text, "%02d/%s/%04d:%02d:%02d:%02d%s", day, kMonths[random() % 16],
                  kYears[random() % 16], hour, minute, second, kZones[random() % 12]);
    std::string t = text;
    // Now and then one byte of the text replaced by a digit, a letter, a
    // separator, a byte just past '9' or a byte above 0x7F whose low half
    // is a digit's.
    if (random() % 6 == 0) t[random() % t.size()] = "0/: x9?\xb5\xff"[random() % 9];
    texts.push_back(t);
  }
  return texts;
}

// Every way of reading: word by word without a cache, and word by word and
// 16 bytes at a time, each with a cache kept over all the texts (so that
// most months are found in it, some under names of another case).
TEST(ClfTimeTest, ReadsWhatTheGeneralReaderReadsInTheLogShapeToTheSameValue) {
  int read = 0;
  int refused = 0;
  ClfTimeCache wordCache;
  ClfTimeCache wideCache;
  for (const std::string& text : logTimes(200000)) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const auto n = uint32_t(text.size());
    double general = 0;
    const bool generalReads = readDateText(DateReader::kAnyDatetime, p, n, &general);
    // The text followed by bytes that may be read (a line's next bytes).
    const std::string padded = text + std::string(32, '9');
    const auto* readable = reinterpret_cast<const uint8_t*>(padded.data());
    int64_t seconds[3] = {};
    const bool reads[3] = {readClfTime(p, n, &seconds[0]),
                           readClfTime(readable, n, &seconds[1], &wordCache),
                           readClfTime(readable, n, padded.size(), &seconds[2], &wideCache)};
    for (int way = 0; way < 3; ++way) {
      ASSERT_EQ(reads[way], generalReads) << text << " way " << way;
      if (reads[way]) {
        ASSERT_EQ(std::bit_cast<uint64_t>(double(seconds[way])), std::bit_cast<uint64_t>(general))
            << text << " way " << way;
      }
    }
    ++(generalReads ? read : refused);
  }
  // Both outcomes are common among the texts.
  EXPECT_GT(read, 20000);
  EXPECT_GT(refused, 20000);
}

TEST(ClfTimeTest, OtherShapesAreLeftToTheGeneralReader) {
  for (const char* text : {"2024-02-29 13:05:09", "10/Oct/2000:13:55:36.5 -0700",
                           "10/Oct/2000:13:55:36.5", "1/Oct/2000:13:55:36 -0700", "13:55:36"}) {
    int64_t seconds = 0;
    EXPECT_FALSE(readClfTime(reinterpret_cast<const uint8_t*>(text),
                             uint32_t(std::char_traits<char>::length(text)), &seconds))
        << text;
  }
}

}  // namespace
}  // namespace kova::testing
