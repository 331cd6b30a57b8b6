// The encoding handles' writers and text helpers in each form of encoding:
// ASCII bytes, multi-byte with ASCII-looking trail bytes, EBCDIC, UTF-16/32.
#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "tests/nls/nls_test_util.h"

namespace kova::runtime::nlstest {
namespace {

class EncodingHandleTest : public NlsTest {
 protected:
  void TearDown() override {
    for (KovaEncodingHandle* h : handles_) h->ops->release(h);
    NlsTest::TearDown();
  }

  KovaEncodingHandle* handle(int32_t encoding) {
    KovaEncodingHandle* h = nullptr;
    EXPECT_EQ(ops().encodingHandle(nls(), encoding, 0, &h), kStatusOk) << encoding;
    if (h) handles_.push_back(h);
    return h;
  }

  // ASCII text in the encoding.
  Bytes in(int32_t encoding, const std::string& text) {
    return encoding == kEncodingLiteral ? bytes(text)
                                        : transcode(kEncodingLiteral, encoding, bytes(text)).text;
  }

  struct Text {
    KovaStatus status;
    Bytes bytes;
  };

  Text formatReal(KovaEncodingHandle* h, double value, int32_t width, int32_t decimals,
                  uint64_t capacity = 152) {
    Bytes out(capacity + 1, 0xEE);
    uint64_t length = 99;
    KovaStatus status = h->ops->formatDouble(h, nullptr, value, width, decimals, 0x800, out.data(),
                                             capacity, &length);
    EXPECT_EQ(out[capacity], 0xEE);
    out.resize(length);
    return {status, out};
  }

  Text formatWhole(KovaEncodingHandle* h, int64_t value, int32_t width, uint64_t capacity = 152) {
    Bytes out(capacity + 1, 0xEE);
    uint64_t length = 99;
    KovaStatus status =
        h->ops->formatInteger(h, nullptr, value, width, 0, out.data(), capacity, &length);
    out.resize(length);
    return {status, out};
  }

  static constexpr int32_t kForms[] = {20, 62, 40, 50, 22, 23, 25};

 private:
  std::vector<KovaEncodingHandle*> handles_;
};

TEST_F(EncodingHandleTest, EveryRegisteredEncodingHasAHandle) {
  for (const EncodingEntry& e : encodingRegistry()) {
    KovaEncodingHandle* h = handle(e.id);
    ASSERT_NE(h, nullptr) << e.name;
    EXPECT_EQ(h->encoding, e.id);
    // Its blank is the encoding's U+0020.
    Bytes blanks(8, 0);
    h->ops->fillBlanks(h, blanks.data(), blanks.size(), 0, nullptr);
    EXPECT_EQ(blanks, in(e.id, std::string(8 / (e.id >= 23 && e.id <= 24                      ? 4
                                                : e.asciiCompatible || e.maxBytesPerChar == 1 ? 1
                                                                                              : 2),
                                           ' ')))
        << e.name;
  }
  EXPECT_EQ(host().account().objects, encodingRegistry().size());
}

TEST_F(EncodingHandleTest, WrittenNumbersReadBackExactly) {
  std::mt19937_64 random(3);
  for (int32_t encoding : kForms) {
    KovaEncodingHandle* h = handle(encoding);
    for (int i = 0; i < 2000; ++i) {
      double value = std::bit_cast<double>(random());
      if (std::isnan(value)) continue;
      if (i % 2) value = double(int64_t(random() % 2000001) - 1000000) / 1000;
      Text text = formatReal(h, value, 0, 0);
      ASSERT_EQ(text.status, kStatusOk);
      double back = 0;
      ASSERT_EQ(
          h->ops->readDouble(h, nullptr, text.bytes.data(), text.bytes.size(), 0, &back, nullptr),
          kStatusOk);
      ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(value)) << encoding;

      // Width 20 always fits, with at least 13 significant digits.
      text = formatReal(h, value, 20, 0);
      ASSERT_EQ(text.status, kStatusOk);
      ASSERT_LE(text.bytes.size(), 20u * (encoding == 22 || encoding == 25 ? 2
                                          : encoding == 23                 ? 4
                                                                           : 1));
      ASSERT_EQ(
          h->ops->readDouble(h, nullptr, text.bytes.data(), text.bytes.size(), 0, &back, nullptr),
          kStatusOk);
      ASSERT_LE(std::fabs(back - value), std::fabs(value) * 1e-12) << value;

      int64_t whole = int64_t(random());
      text = formatWhole(h, whole, 20);
      ASSERT_EQ(text.status, kStatusOk);
      int64_t wholeBack = 0;
      ASSERT_EQ(h->ops->readInteger(h, nullptr, text.bytes.data(), text.bytes.size(), 0, &wholeBack,
                                    nullptr),
                kStatusOk);
      ASSERT_EQ(wholeBack, whole);
    }
  }
}

TEST_F(EncodingHandleTest, NumberTextsInEachEncoding) {
  for (int32_t encoding : kForms) {
    SCOPED_TRACE(encoding);
    KovaEncodingHandle* h = handle(encoding);
    EXPECT_EQ(formatReal(h, 3.14159, 20, 2).bytes, in(encoding, "3.14"));
    EXPECT_EQ(formatReal(h, -0.5, 20, 0).bytes, in(encoding, "-0.5"));
    EXPECT_EQ(formatReal(h, 1e20, 20, 0).bytes, in(encoding, "1e+20"));
    EXPECT_EQ(formatReal(h, 123456789.125, 0, 0).bytes, in(encoding, "123456789.125"));
    EXPECT_EQ(formatReal(h, 123456789.125, 7, 0).bytes, in(encoding, "1.2e+08"));
    EXPECT_EQ(formatReal(h, 123456789.125, 6, 0).bytes, in(encoding, "1e+08"));
    EXPECT_EQ(formatReal(h, 123456789.125, 9, 0).bytes, in(encoding, "123456789"));
    EXPECT_EQ(formatReal(h, 2.5, 20, 3).bytes, in(encoding, "2.500"));
    EXPECT_EQ(formatReal(h, 1e300, 20, 2).bytes, in(encoding, "1e+300")) << "fixed would not fit";
    EXPECT_EQ(formatReal(h, HUGE_VAL, 20, 0).bytes, in(encoding, "inf"));
    EXPECT_EQ(formatReal(h, -HUGE_VAL, 20, 0).bytes, in(encoding, "-inf"));
    Text missing = formatReal(h, std::bit_cast<double>(0xFFFFD10000000000ull), 20, 0);
    EXPECT_EQ(missing.status, kStatusOk);
    EXPECT_TRUE(missing.bytes.empty()) << "a missing value is empty text";
    EXPECT_EQ(formatWhole(h, INT64_MIN, 20).bytes, in(encoding, "-9223372036854775808"));
    EXPECT_EQ(formatWhole(h, 0, 20).bytes, in(encoding, "0"));

    Text narrow = formatReal(h, 1e100, 3, 0);
    EXPECT_EQ(narrow.status, kStatusDecimalNoRoom);
    EXPECT_TRUE(narrow.bytes.empty());
    EXPECT_EQ(formatWhole(h, 1234, 3).status, kStatusDecimalNoRoom);
    Bytes exact = in(encoding, "1234");
    EXPECT_EQ(formatWhole(h, 1234, 20, exact.size() - 1).status, kStatusBufferTooSmall);
    EXPECT_EQ(formatWhole(h, 1234, 20, exact.size()).bytes, exact);
    EXPECT_EQ(formatReal(h, 0.25, 20, 0, exact.size() - 1).status, kStatusBufferTooSmall);
  }
}

TEST_F(EncodingHandleTest, BlanksTrimAndAlignInTheEncodingsUnits) {
  for (int32_t encoding : kForms) {
    SCOPED_TRACE(encoding);
    KovaEncodingHandle* h = handle(encoding);
    Bytes text = in(encoding, "  a b  ");
    uint64_t unit = text.size() / 7;
    EXPECT_EQ(h->ops->trimmedLength(h, text.data(), text.size(), 0), 5 * unit);
    Bytes blanks = in(encoding, "    ");
    EXPECT_EQ(h->ops->trimmedLength(h, blanks.data(), blanks.size(), 0), 0u);

    Bytes moved = text;
    uint64_t length = 0;
    EXPECT_EQ(h->ops->alignLeft(h, moved.data(), moved.size(), 0, &length), kStatusOk);
    EXPECT_EQ(moved, in(encoding, "a b    "));
    EXPECT_EQ(length, text.size());
    moved = text;
    EXPECT_EQ(h->ops->alignLeft(h, moved.data(), moved.size(), 0x6c, &length), kStatusOk);
    EXPECT_EQ(length, 3 * unit);
    EXPECT_EQ(Bytes(moved.begin(), moved.begin() + int64_t(length)), in(encoding, "a b"));
    moved = blanks;
    EXPECT_EQ(h->ops->alignLeft(h, moved.data(), moved.size(), 0x6c, &length), kStatusOk);
    EXPECT_EQ(length, 0u);
    Bytes plain = in(encoding, "42");
    EXPECT_EQ(h->ops->alignLeft(h, plain.data(), plain.size(), 0x6c, &length), kStatusOk);
    EXPECT_EQ(length, plain.size());
  }
  // Only whole units are blanks: U+2000 in little-endian UTF-16 ends in 0x20.
  KovaEncodingHandle* wide = handle(25);
  Bytes text = wideBytes(u"x\u2000");
  EXPECT_EQ(wide->ops->trimmedLength(wide, text.data(), text.size(), 0), 4u);
  Bytes odd = {0x41, 0x00, 0x20};
  EXPECT_EQ(wide->ops->trimmedLength(wide, odd.data(), odd.size(), 0), 3u);
  Bytes fill(5, 0xEE);
  wide->ops->fillBlanks(wide, fill.data(), fill.size(), 0, nullptr);
  EXPECT_EQ(fill, bytes({0x20, 0, 0x20, 0, 0}));
  // EBCDIC blanks are 0x40, and 0x20 is not one.
  KovaEncodingHandle* ebcdic = handle(50);
  Bytes e = {0xC1, 0x20, 0x40, 0x40};
  EXPECT_EQ(ebcdic->ops->trimmedLength(ebcdic, e.data(), e.size(), 0), 2u);
}

TEST_F(EncodingHandleTest, FindMatchesOnlyWhereCharactersStart) {
  auto find = [](KovaEncodingHandle* h, const Bytes& text, const Bytes& pattern) {
    return h->ops->find(h, text.data(), text.size(), pattern.data(), pattern.size());
  };
  KovaEncodingHandle* utf8 = handle(20);
  EXPECT_EQ(find(utf8, bytes("a,\"b\""), bytes("\"")), 2);
  EXPECT_EQ(find(utf8, bytes("abc"), bytes("d")), -1);
  EXPECT_EQ(find(utf8, bytes("abc"), bytes("")), 0);
  EXPECT_EQ(find(utf8, bytes("ab"), bytes("abc")), -1);
  EXPECT_EQ(find(utf8, bytes("xxabab"), bytes("ab")), 2);

  // 0x2241 0x4100 hold the bytes of '"' (22 00) across their boundary.
  KovaEncodingHandle* wide = handle(25);
  EXPECT_EQ(find(wide, wideBytes(u"\u2241\u4100\""), wideBytes(u"\"")), 4);
  EXPECT_EQ(find(wide, wideBytes(u"\u2241\u4100"), wideBytes(u"\"")), -1);
  KovaEncodingHandle* utf32 = handle(23);
  EXPECT_EQ(find(utf32, bytes({0, 0x22, 0, 0, 0x22, 0, 0, 0}), bytes({0x22, 0, 0, 0})), 4);

  // Shift_JIS 0x95 0x5C is one character whose second byte looks like '\'.
  KovaEncodingHandle* sjis = handle(40);
  EXPECT_EQ(find(sjis, bytes({0x95, 0x5C, 0x5C}), bytes("\\")), 2);
  EXPECT_EQ(find(sjis, bytes({0x41, 0x95, 0x5C}), bytes("\\")), -1);
  EXPECT_EQ(find(sjis, bytes({0xB1, 0x5C}), bytes("\\")), 1) << "0xB1 is a one-byte katakana";
  // GB18030 four-byte characters hold digits in their second and fourth bytes.
  KovaEncodingHandle* gb = handle(43);
  EXPECT_EQ(find(gb, bytes({0x81, 0x30, 0x81, 0x30, '0'}), bytes("0")), 4);
  EXPECT_EQ(find(gb, bytes({0xD6, 0xD0, '0'}), bytes("0")), 2);
  // EUC-JP: three-byte characters after 0x8F, two after 0x8E or 0xA1-0xFE;
  // EUC-KR: two after 0xA1-0xFE. A match must start where a character does.
  KovaEncodingHandle* eucJp = handle(41);
  EXPECT_EQ(find(eucJp, bytes({0x8F, 0xA1, 0xA1, 0xA1, 0xA1}), bytes({0xA1, 0xA1})), 3);
  EXPECT_EQ(find(eucJp, bytes({0x8E, 0xA1, 0xA1, 0xA1}), bytes({0xA1, 0xA1})), 2);
  EXPECT_EQ(find(eucJp, bytes({'a', 0xB0, 0xA1, 0xA1}), bytes({0xA1, 0xA1})), -1);
  KovaEncodingHandle* eucKr = handle(42);
  EXPECT_EQ(find(eucKr, bytes({0xB0, 0xA1, 0xA1, 0xA1}), bytes({0xA1, 0xA1})), 2);
  EXPECT_EQ(find(eucKr, bytes({'a', 0xB0, 0xA1, 0xA1}), bytes({0xA1, 0xA1})), -1);
  // Big5 second bytes go down to 0x40.
  KovaEncodingHandle* big5 = handle(44);
  EXPECT_EQ(find(big5, bytes({0xA4, 0x40, 0x40}), bytes("@")), 2);
}

TEST_F(EncodingHandleTest, CheckValueRefusesIllFormedText) {
  auto check = [&](int32_t encoding, const Bytes& text) {
    KovaEncodingHandle* h = handle(encoding);
    uint64_t scratch = 3;
    return h->ops->checkValue(h, text.data(), text.size(), 0, &scratch);
  };
  EXPECT_EQ(check(20, bytes("h\xC3\xA9\xF0\x9F\x98\x80")), kStatusOk);
  EXPECT_EQ(check(20, bytes("h\xC3")), kStatusCorruptData);
  EXPECT_EQ(check(20, bytes("\xED\xA0\x80")), kStatusCorruptData) << "an encoded surrogate";
  EXPECT_EQ(check(20, bytes("\xC0\x80")), kStatusCorruptData) << "an overlong form";
  EXPECT_EQ(check(20, Bytes{}), kStatusOk);
  EXPECT_EQ(check(62, bytes("plain")), kStatusOk);
  EXPECT_EQ(check(62, bytes({'a', 0x80})), kStatusCorruptData);
  Bytes everyByte;
  for (int b = 0; b < 256; ++b) everyByte.push_back(uint8_t(b));
  EXPECT_EQ(check(1, everyByte), kStatusOk);
  EXPECT_EQ(check(50, everyByte), kStatusOk);
  EXPECT_EQ(check(13, bytes({0x41, 0xD2})), kStatusCorruptData) << "unassigned in windows-1253";
  EXPECT_EQ(check(40, bytes({0x93, 0xFA, 0x41})), kStatusOk);
  EXPECT_EQ(check(40, bytes({0x41, 0x93})), kStatusCorruptData) << "a cut-off character";
  EXPECT_EQ(check(43, bytes({0x81, 0x30, 0x81, 0x30})), kStatusOk);
  EXPECT_EQ(check(25, wideBytes(u"ok\U0001F600")), kStatusOk);
  EXPECT_EQ(check(25, wideBytes(std::u16string(1, char16_t(0xDC00)))), kStatusCorruptData);
  EXPECT_EQ(check(25, bytes({0x41, 0x00, 0x42})), kStatusCorruptData) << "an odd byte count";
  EXPECT_EQ(check(23, bytes({0x00, 0x00, 0x11, 0x00})), kStatusCorruptData) << "beyond U+10FFFF";
}

}  // namespace
}  // namespace kova::runtime::nlstest
