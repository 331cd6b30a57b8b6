// printWide: every conversion, flags, width and precision, the too-small
// target, malformed formats, and the call through the kernel handle.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <string>

#include "runtime/kernel/host.h"
#include "runtime/kernel/print_wide.h"

namespace kova::runtime {
namespace {

struct Printed {
  KovaStatus status;
  std::u16string text;
};

// Formats into a roomy buffer with a NUL-terminated format.
Printed print(const char16_t* format, ...) {
  char16_t buffer[256];
  int64_t length = -1;
  va_list args;
  va_start(args, format);
  std::u16string_view f(format);
  KovaStatus status =
      vprintWide(format, static_cast<int64_t>(f.size()), buffer, 256, &length, args);
  va_end(args);
  return {status, status == kStatusOk ? std::u16string(buffer, static_cast<size_t>(length))
                                      : std::u16string()};
}

std::u16string ok(const Printed& printed) {
  EXPECT_EQ(printed.status, kStatusOk);
  return printed.text;
}

TEST(PrintWideTest, SignedConversionsTakeTheirArgumentSizes) {
  EXPECT_EQ(ok(print(u"%d|%i", -42, 7)), u"-42|7");
  EXPECT_EQ(ok(print(u"%d", INT_MIN)), u"-2147483648");
  EXPECT_EQ(ok(print(u"%ld", LONG_MIN)), u"-9223372036854775808");
  EXPECT_EQ(ok(print(u"%lld", LLONG_MAX)), u"9223372036854775807");
  // An int argument after a long long one still lines up.
  EXPECT_EQ(ok(print(u"%lld %d", -1LL, 5)), u"-1 5");
}

TEST(PrintWideTest, UnsignedAndHexConversions) {
  EXPECT_EQ(ok(print(u"%u", UINT_MAX)), u"4294967295");
  EXPECT_EQ(ok(print(u"%lu", ULONG_MAX)), u"18446744073709551615");
  EXPECT_EQ(ok(print(u"%llu", 0ULL)), u"0");
  EXPECT_EQ(ok(print(u"%x %X", 0xBEEFu, 0xBEEFu)), u"beef BEEF");
  EXPECT_EQ(ok(print(u"%lx", 0x803fc0c9ul)), u"803fc0c9");
  EXPECT_EQ(ok(print(u"%llX", 0xFFFFD10000000000ull)), u"FFFFD10000000000");
}

TEST(PrintWideTest, WidthPrecisionAndFlagsOnNumbers) {
  EXPECT_EQ(ok(print(u"[%5d]", 42)), u"[   42]");
  EXPECT_EQ(ok(print(u"[%-5d]", 42)), u"[42   ]");
  EXPECT_EQ(ok(print(u"[%05d]", -42)), u"[-0042]");
  EXPECT_EQ(ok(print(u"%04d-%02d-%02d", 2024, 2, 9)), u"2024-02-09");
  EXPECT_EQ(ok(print(u"%09d", 500000000)), u"500000000");
  EXPECT_EQ(ok(print(u"[%.3d]", 7)), u"[007]");
  EXPECT_EQ(ok(print(u"[%6.3d]", -7)), u"[  -007]");
  EXPECT_EQ(ok(print(u"[%06.3d]", 7)), u"[   007]") << "precision overrides the 0 flag";
  EXPECT_EQ(ok(print(u"[%-06d]", 7)), u"[7     ]") << "'-' overrides the 0 flag";
  EXPECT_EQ(ok(print(u"[%.0d]", 0)), u"[]");
  EXPECT_EQ(ok(print(u"[%2d]", 12345)), u"[12345]") << "width never truncates";
  EXPECT_EQ(ok(print(u"[%08X]", 0xABu)), u"[000000AB]");
  EXPECT_EQ(ok(print(u"[%*d]", 4, 1)), u"[   1]");
  EXPECT_EQ(ok(print(u"[%*d]", -4, 1)), u"[1   ]");
  EXPECT_EQ(ok(print(u"[%.*d]", 3, 1)), u"[001]");
  EXPECT_EQ(ok(print(u"[%.*d]", -1, 1)), u"[1]") << "negative precision is none";
}

TEST(PrintWideTest, WideTextConversions) {
  EXPECT_EQ(ok(print(u"<%s>", u"h\u00e9llo")), u"<h\u00e9llo>");
  EXPECT_EQ(ok(print(u"<%8s>", u"abc")), u"<     abc>");
  EXPECT_EQ(ok(print(u"<%-8s>", u"abc")), u"<abc     >");
  EXPECT_EQ(ok(print(u"<%.2s>", u"abc")), u"<ab>");
  // %.*s reads exactly the given length: the text need not be terminated.
  const char16_t unterminated[3] = {u'x', u'y', u'z'};
  EXPECT_EQ(
      ok(print(u"[%.*s] : Failed to allocate memory. Space requested=[%d]", 2, unterminated, 1024)),
      u"[xy] : Failed to allocate memory. Space requested=[1024]");
  EXPECT_EQ(ok(print(u"[%.*s]", 0, nullptr)), u"[]");
  EXPECT_EQ(ok(print(u"[%s]", static_cast<const char16_t*>(nullptr))), u"[(null)]");
  EXPECT_EQ(ok(print(u"[%*.*s]", 5, 2, u"abcdef")), u"[   ab]");
}

TEST(PrintWideTest, CharactersAndPercent) {
  EXPECT_EQ(ok(print(u"%c%c", u'A', 0x20AC)), u"A\u20ac");
  EXPECT_EQ(ok(print(u"%c", 0x1F600)), u"\U0001F600") << "written as a surrogate pair";
  EXPECT_EQ(ok(print(u"[%3c]", u'x')), u"[  x]");
  EXPECT_EQ(ok(print(u"100%%")), u"100%");
  EXPECT_EQ(ok(print(u"")), u"");
}

TEST(PrintWideTest, TooSmallTargetReportsTheNeededLength) {
  auto run = [](char16_t* target, int64_t capacity, int64_t* length, ...) {
    va_list args;
    va_start(args, length);
    const char16_t* format = u"%04d-%02d-%02d";
    KovaStatus status = vprintWide(format, 14, target, capacity, length, args);
    va_end(args);
    return status;
  };
  char16_t buffer[16];
  for (char16_t& unit : buffer) unit = u'#';
  int64_t length = 0;
  EXPECT_EQ(run(buffer, 4, &length, 2020, 1, 31), kStatusBufferTooSmall);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(std::u16string(buffer, 5), u"2020#") << "nothing written past the capacity";
  EXPECT_EQ(run(nullptr, 0, &length, 2020, 1, 31), kStatusBufferTooSmall);
  EXPECT_EQ(length, 10);
  // Exactly enough room: success, and no terminator after the text.
  EXPECT_EQ(run(buffer, 10, &length, 2020, 1, 31), kStatusOk);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(std::u16string(buffer, 11), u"2020-01-31#");
}

TEST(PrintWideTest, MalformedFormatsAreRefused) {
  for (const char16_t* format : {u"%", u"abc%", u"%l", u"%lll", u"%q", u"%5", u"%.", u"%hd", u"%f",
                                 u"%ls", u"%5%", u"%99999999999d"}) {
    Printed printed = print(format, 1, 2);
    EXPECT_EQ(printed.status, kStatusNotSupported)
        << std::string(std::u16string_view(format).begin(), std::u16string_view(format).end());
  }
}

TEST(PrintWideTest, FormatLengthBoundsTheFormat) {
  // Only the first 3 units of the format are used; a negative length means
  // the format is terminated.
  int64_t length = 0;
  char16_t buffer[8];
  auto run = [&](int64_t formatLength, ...) {
    va_list args;
    va_start(args, formatLength);
    KovaStatus status = vprintWide(u"ab%d", formatLength, buffer, 8, &length, args);
    va_end(args);
    return status;
  };
  EXPECT_EQ(run(2, 5), kStatusOk);
  EXPECT_EQ(std::u16string(buffer, static_cast<size_t>(length)), u"ab");
  EXPECT_EQ(run(3, 5), kStatusNotSupported) << "a conversion cut by the length is incomplete";
  EXPECT_EQ(run(-1, 5), kStatusOk);
  EXPECT_EQ(std::u16string(buffer, static_cast<size_t>(length)), u"ab5");
}

TEST(PrintWideTest, KernelOperationFormatsAndGrowsLikeTheCallerExpects) {
  Host host;
  KovaKernel* kernel = host.kernel();
  const std::u16string format = u"ANYDTTME%d.";
  char16_t small[4];
  int64_t length = 0;
  EXPECT_EQ(kernel->ops->printWide(kernel, nullptr, format.data(),
                                   static_cast<int64_t>(format.size()), small, 4, &length, 0, 21),
            kStatusBufferTooSmall);
  ASSERT_EQ(length, 11);
  std::u16string target(static_cast<size_t>(length), u'\0');
  EXPECT_EQ(
      kernel->ops->printWide(kernel, nullptr, format.data(), static_cast<int64_t>(format.size()),
                             target.data(), length, &length, 0, 21),
      kStatusOk);
  EXPECT_EQ(target, u"ANYDTTME21.");
}

TEST(PrintWideTest, FormatWideFallsBackToTheFormatWhenMalformed) {
  auto format = [](const char16_t* f, ...) {
    va_list args;
    va_start(args, f);
    std::u16string text = vformatWide(f, -1, args);
    va_end(args);
    return text;
  };
  EXPECT_EQ(format(u"%d rows, %s", 12, u"done"), u"12 rows, done");
  EXPECT_EQ(format(u"bad %y here", 1), u"bad %y here");
}

}  // namespace
}  // namespace kova::runtime
