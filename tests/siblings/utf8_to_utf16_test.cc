// The UTF-8 to 16-bit conversion of the XML parser's callbacks: the bulk
// ASCII steps must give what the conversion of one character at a time
// gives, at every length and alignment, without writing past the room.
#include "runtime/xml/utf8_to_utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kova::runtime {
namespace {

// Converted whole, into exactly the room the header promises, against the
// characters converted one by one.
void expectSameAsOneByOne(const std::string& text, const std::vector<size_t>& starts) {
  std::vector<char16_t> whole(utf16Capacity(text.size()) + 1);
  const size_t got = utf8ToUtf16(text.data(), text.size(), whole.data() + 1);
  std::u16string expected;
  for (size_t c = 0; c < starts.size(); ++c) {
    const size_t end = c + 1 < starts.size() ? starts[c + 1] : text.size();
    char16_t units[4];
    expected.append(units, utf8ToUtf16(text.data() + starts[c], end - starts[c], units));
  }
  ASSERT_EQ(std::u16string(whole.data() + 1, got), expected) << text;
}

TEST(Utf8ToUtf16, BulkAsciiStepsMatchOneCharacterAtATime) {
  static const char* const kPieces[] = {
      "a", "Z", "~", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
  uint64_t seed = 11;
  for (int round = 0; round < 4000; ++round) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const int length = int((seed >> 40) % 72);
    // Mostly ASCII, with a wide character now and then, or none at all.
    const uint64_t wideEvery = (seed >> 20) % 3 == 0 ? 0 : 1 + (seed >> 24) % 30;
    std::string text;
    std::vector<size_t> starts;
    uint64_t pick = seed;
    for (int c = 0; c < length; ++c) {
      pick = pick * 6364136223846793005ull + 1442695040888963407ull;
      starts.push_back(text.size());
      const bool wide = wideEvery != 0 && (pick >> 33) % wideEvery == 0;
      text += kPieces[wide ? 3 + (pick >> 50) % 3 : (pick >> 50) % 3];
    }
    expectSameAsOneByOne(text, starts);
  }
}

TEST(Utf8ToUtf16, MalformedBytesBecomeReplacementsAfterAsciiRuns) {
  // A lead byte without its continuation, a stray continuation and an
  // overlong form, each after a run long enough for the bulk steps.
  const std::string text = std::string(19, 'x') + "\xC3" + "y" + std::string(9, 'z') + "\x80" +
                           "\xC0\xAF" + std::string(3, 'w');
  std::vector<char16_t> out(utf16Capacity(text.size()));
  const size_t got = utf8ToUtf16(text.data(), text.size(), out.data());
  const std::u16string expected = std::u16string(19, u'x') + u"\uFFFDy" + std::u16string(9, u'z') +
                                  u"\uFFFD\uFFFD" + std::u16string(3, u'w');
  EXPECT_EQ(std::u16string(out.data(), got), expected);
}

}  // namespace
}  // namespace kova::runtime
