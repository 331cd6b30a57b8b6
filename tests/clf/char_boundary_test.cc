// The character rules behind held-back bytes: which bytes at the end of a
// block begin an unfinished character, and where an ill-formed piece ends.
#include <gtest/gtest.h>

#include <string>

#include "src/ripper/char_boundary.h"

namespace kova {
namespace {

size_t tail(CharFamily family, const std::string& bytes) {
  return unfinishedTail(family, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

size_t length(CharFamily family, const std::string& bytes) {
  return charLength(family, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(CharBoundaryTest, UnfinishedTailsOfEachFamily) {
  const struct {
    CharFamily family;
    std::string bytes;
    size_t expected;
  } cases[] = {
      {CharFamily::kSingleByte, "ab\xe2\x82", 0},
      {CharFamily::kUtf8, "ab\xe2\x82", 2},
      {CharFamily::kUtf8, "ab\xe2\x82\xac", 0},
      {CharFamily::kUtf8, "ab\xf0", 1},
      {CharFamily::kUtf8, "ab\xe2\x41", 0},  // broken already: nothing to wait for
      {CharFamily::kUtf8, "\x80\x80\x80\x80", 0},
      {CharFamily::kUtf16Le, std::string("a\0=", 3), 1},
      {CharFamily::kUtf16Le, std::string("a\0\x3d\xd8", 4), 2},  // a lead surrogate
      {CharFamily::kUtf16Le, std::string("a\0\x3d\xd8\x00", 5), 3},
      {CharFamily::kUtf16Le, std::string("\x3d\xd8\x00\xde", 4), 0},
      {CharFamily::kUtf16Be, std::string("\xd8\x3d", 2), 2},
      {CharFamily::kUtf16Be, std::string("\xdc\x00", 2), 0},  // a lone trail: no wait
      {CharFamily::kUtf32, std::string("\0\0\0\0\0\0", 6), 2},
      // Shift_JIS: 0x82 0x9F is one character whose trail is in the lead range.
      {CharFamily::kShiftJis, "\x82\x9f\x82\x9f", 0},
      {CharFamily::kShiftJis, "\x82\x9f\x82\x9f\x82", 1},
      {CharFamily::kShiftJis, "\x95\x5c\x95", 1},  // trail 0x5C looks like ASCII
      {CharFamily::kShiftJis, "a \xb1", 0},        // half-width katakana
      {CharFamily::kEucJp, "\x8f\xb0", 2},
      {CharFamily::kEucJp, "\x8e", 1},
      {CharFamily::kEucJp, "\xc6\xfc\xcb\xdc", 0},
      {CharFamily::kGb18030, "\x81\x30\x81", 3},
      {CharFamily::kGb18030, "\x81\x30\x81\x30", 0},
      {CharFamily::kGb18030, "\xd6\xd0\xce", 1},
      {CharFamily::kDoubleByte, "\xa4\xa4\xb3\x5c\xb3", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tail(c.family, c.bytes), c.expected)
        << int(c.family) << " " << ::testing::PrintToString(c.bytes);
  }
}

TEST(CharBoundaryTest, IllFormedPiecesEndWhereTheyGoWrong) {
  // The maximal well-formed prefix of UTF-8, as transcoders replace it.
  EXPECT_EQ(length(CharFamily::kUtf8, "\xe2\x82\x41"), 2u);
  EXPECT_EQ(length(CharFamily::kUtf8, "\xe0\x80\x80"), 1u);  // overlong
  EXPECT_EQ(length(CharFamily::kUtf8, "\xed\xa0\x80"), 1u);  // a surrogate
  EXPECT_EQ(length(CharFamily::kUtf8, "\xf4\x90"), 1u);      // beyond U+10FFFF
  EXPECT_EQ(length(CharFamily::kUtf8, "\xf0\x9f"), 4u);      // unfinished: more than given
  EXPECT_EQ(length(CharFamily::kUtf16Le, std::string("\x3d\xd8\x41\x00", 4)), 2u);
  EXPECT_EQ(length(CharFamily::kShiftJis, "\x82\x20"), 1u);
  EXPECT_EQ(length(CharFamily::kGb18030, "\x81\x30\x20\x30"), 1u);
}

}  // namespace
}  // namespace kova
