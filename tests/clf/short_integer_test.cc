// Integers of up to 8 plain digits read as one word (the CLF status and
// size): the value the digit reader gives, for every text it takes, and a
// refusal for each text of another shape.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "src/ripper/ascii_number.h"

namespace kova::testing {
namespace {

TEST(ShortIntegerTest, ReadsWhatTheDigitReaderReadsAndRefusesTheRest) {
  std::mt19937 random(31);
  const char kBytes[] = "0123456789+- /:\xb9\xff";
  int taken = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    const size_t n = random() % 11;
    for (size_t j = 0; j < n; ++j) {
      // Mostly digits; now and then a sign, a blank or a byte next to one.
      text += random() % 8 ? char('0' + random() % 10) : kBytes[random() % (sizeof kBytes - 1)];
    }
    // Readable bytes after the text, digits or bytes below and above
    // them: they must not count.
    static const char* const kAfter[] = {"12345678", " -/\x00\x01\xff:9", "\x2f\x2f\x2f\x2f"};
    std::string padded = text + kAfter[random() % 3];
    padded.resize(n + 8, '\0');
    const auto* p = reinterpret_cast<const uint8_t*>(padded.data());
    int64_t expected = 0;
    const bool plain = !text.empty() && text.size() <= 8 &&
                       text.find_first_not_of("0123456789") == std::string::npos;
    if (plain) {
      ASSERT_TRUE(asciiInteger(p, uint32_t(n), &expected)) << text;
    }
    int64_t value = -1;
    ASSERT_EQ(asciiShortInteger(p, uint32_t(n), &value), plain) << text;
    if (plain) {
      ASSERT_EQ(value, expected) << text;
      ++taken;
    }
  }
  EXPECT_GT(taken, 30000);
  int64_t value = 0;
  for (const char* text : {"00000000", "99999999", "0", "9", "00000007"}) {
    const std::string padded = std::string(text) + "xxxxxxxx";
    ASSERT_TRUE(asciiShortInteger(reinterpret_cast<const uint8_t*>(padded.data()),
                                  uint32_t(std::char_traits<char>::length(text)), &value));
    EXPECT_EQ(value, std::stoll(text));
  }
}

}  // namespace
}  // namespace kova::testing
