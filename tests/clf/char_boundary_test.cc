// The character rules behind held-back bytes: which bytes at the end of a
// block begin an unfinished character, and where an ill-formed piece ends.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "runtime/nls/nls_service.h"
#include "src/ripper/char_boundary.h"
#include "tests/support/module_fixture.h"
#include "unicode/ucnv.h"

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
      {CharFamily::kEucKr, "\xb0\xa1\xb0", 1},
      {CharFamily::kEucKr, "\xe2\x9b", 0},  // 0x9B is a character of its own
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

// Where each family's character starting at the text ends: whole, cut short
// by the end of the bytes (more than given), or broken where it goes wrong.
TEST(CharBoundaryTest, CharacterLengthsOfEachFamily) {
  const struct {
    CharFamily family;
    std::string bytes;
    size_t expected;
  } cases[] = {
      {CharFamily::kSingleByte, "\xe2\x82\xac", 1},
      {CharFamily::kUtf8, "a", 1},
      {CharFamily::kUtf8, "\xc1\xbf", 1},  // overlong two-byte lead
      {CharFamily::kUtf8, "\xc3\xa9", 2},
      {CharFamily::kUtf8, "\xc3", 2},
      {CharFamily::kUtf8, "\xf0\x9f\x98\x80", 4},
      {CharFamily::kUtf8, "\xf4\x8f\xbf\xbf", 4},
      {CharFamily::kUtf8, "\xf5\x80\x80\x80", 1},  // no such lead
      {CharFamily::kUtf16Le, "a", 2},
      {CharFamily::kUtf16Le, std::string("\x3d\xd8", 2), 4},
      {CharFamily::kUtf16Be, std::string("\xd8\x3d\xde\x00", 4), 4},
      {CharFamily::kUtf16Be, std::string("\x00\x41", 2), 2},
      {CharFamily::kUtf32, "a", 4},
      {CharFamily::kShiftJis, "A", 1},
      {CharFamily::kShiftJis, "\xb1", 1},  // half-width katakana
      {CharFamily::kShiftJis, "\x82", 2},
      {CharFamily::kShiftJis, "\xe0\x40", 2},
      {CharFamily::kShiftJis, "\xfd\x40", 1},  // no such lead
      {CharFamily::kEucJp, "A", 1},
      {CharFamily::kEucJp, "\x8e\xb1", 2},
      {CharFamily::kEucJp, "\x8f\xb0\xa1", 3},
      {CharFamily::kEucJp, "\x8f\xb0", 3},
      {CharFamily::kEucJp, "\xc6\x41", 1},
      {CharFamily::kGb18030, "A", 1},
      {CharFamily::kGb18030, "\xd6", 2},
      {CharFamily::kGb18030, "\xd6\xd0", 2},
      {CharFamily::kGb18030, "\x81\x30", 4},
      {CharFamily::kGb18030, "\x81\x30\x81", 4},
      {CharFamily::kGb18030, "\x81\x30\x81\x30", 4},
      {CharFamily::kGb18030, "\x81\x30\x20", 1},
      {CharFamily::kGb18030, "\x81\x30\x81\x20", 1},
      {CharFamily::kGb18030, "\x81\x20", 1},
      {CharFamily::kDoubleByte, "A", 1},
      {CharFamily::kDoubleByte, "\xa4", 2},
      {CharFamily::kDoubleByte, "\xa4\xa4", 2},
      {CharFamily::kDoubleByte, "\xa4\x20", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(length(c.family, c.bytes), c.expected)
        << int(c.family) << " " << ::testing::PrintToString(c.bytes);
  }
  // Nothing to read: one byte, so that a caller always moves on.
  EXPECT_EQ(charLength(CharFamily::kUtf8, nullptr, 0), 1u);
}

// Where the host's converter starts each character of bytes, and the end;
// empty when it finds the bytes ill-formed.
std::set<size_t> converterBoundaries(const char* converterName, const std::string& bytes) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(converterName, &error);
  if (U_FAILURE(error)) return {};
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  std::vector<UChar> out(bytes.size() * 2 + 4);
  std::vector<int32_t> offsets(out.size());
  UChar* target = out.data();
  const char* source = bytes.data();
  ucnv_toUnicode(converter, &target, out.data() + out.size(), &source, bytes.data() + bytes.size(),
                 offsets.data(), true, &error);
  ucnv_close(converter);
  if (U_FAILURE(error)) return {};
  std::set<size_t> starts(offsets.begin(), offsets.begin() + (target - out.data()));
  starts.insert(bytes.size());
  return starts;
}

class CharFamilyTest : public testing::ModuleTest {};

// For well-formed text of every multi-byte family's encodings, cut
// anywhere: the bytes held back as an unfinished character are exactly
// those after the last place where the host's converter starts a
// character. Holding back too few splits a character between blocks (it
// becomes two substitutes); too many joins bytes the converter reads apart.
TEST_F(CharFamilyTest, UnfinishedTailsEndWhereTheHostsConverterStartsCharacters) {
  std::mt19937_64 random(970);
  for (const runtime::EncodingEntry& e : runtime::encodingRegistry()) {
    if (e.maxBytesPerChar <= 1 || !e.asciiCompatible || std::string_view(e.name) == "UTF-8") {
      continue;
    }
    SCOPED_TRACE(e.name);
    const CharFamily family = charFamily(host().kernel()->nls, e.id);
    size_t texts = 0;
    size_t wrong = 0;
    for (int attempt = 0; attempt < 60000 && wrong < 5; ++attempt) {
      // Mostly high bytes, some digits and ASCII letters between them.
      std::string bytes(1 + random() % 10, '\0');
      for (char& b : bytes) {
        const uint64_t r = random() % 16;
        b = char(r < 2 ? '0' + random() % 10 : r < 3 ? 'a' + random() % 26 : 0x80 + random() % 128);
      }
      const std::set<size_t> starts = converterBoundaries(e.converter, bytes);
      if (starts.empty()) continue;
      ++texts;
      for (size_t cut = 1; cut <= bytes.size(); ++cut) {
        const size_t expected = cut - *std::prev(starts.upper_bound(cut));
        const size_t held = tail(family, bytes.substr(0, cut));
        if (held != expected && ++wrong <= 5) {
          ADD_FAILURE() << ::testing::PrintToString(bytes) << " cut at " << cut << ": holds "
                        << held << ", the converter's character began " << expected << " back";
        }
      }
    }
    EXPECT_GT(texts, 1000u);
    EXPECT_EQ(wrong, 0u);
  }
}

// Every registered encoding by its name and width.
TEST_F(CharFamilyTest, EveryRegisteredEncodingHasItsFamily) {
  KovaNls* nls = host().kernel()->nls;
  const bool little = std::endian::native == std::endian::little;
  const struct {
    const char* name;
    CharFamily family;
  } multiByte[] = {
      {"UTF-8", CharFamily::kUtf8},
      {"UTF-16LE", CharFamily::kUtf16Le},
      {"UTF-16BE", CharFamily::kUtf16Be},
      {"UTF-16", little ? CharFamily::kUtf16Le : CharFamily::kUtf16Be},
      {"UTF-32LE", CharFamily::kUtf32},
      {"UTF-32BE", CharFamily::kUtf32},
      {"Shift_JIS", CharFamily::kShiftJis},
      {"EUC-JP", CharFamily::kEucJp},
      {"EUC-KR", CharFamily::kEucKr},
      {"GB18030", CharFamily::kGb18030},
      {"Big5", CharFamily::kDoubleByte},
  };
  int found = 0;
  for (const runtime::EncodingEntry& e : runtime::encodingRegistry()) {
    SCOPED_TRACE(e.name);
    CharFamily expected = CharFamily::kSingleByte;
    for (const auto& m : multiByte) {
      if (std::string_view(m.name) == e.name) {
        expected = m.family;
        ++found;
      }
    }
    EXPECT_EQ(charFamily(nls, e.id), expected);
  }
  EXPECT_EQ(found, int(std::size(multiByte)));
  EXPECT_EQ(charFamily(nls, 264), CharFamily::kSingleByte);  // not registered
  EXPECT_EQ(charFamily(nullptr, kEncodingUtf8), CharFamily::kSingleByte);
}

}  // namespace
}  // namespace kova
