// The number readers of the encoding handles and of the locale, against the
// C library's strtod and strtoll on many generated texts, in every form an
// encoding can hold ASCII: bytes, an EBCDIC table, 16- and 32-bit units.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "tests/nls/nls_test_util.h"

namespace kova::runtime::nlstest {
namespace {

// What a reader must answer for a text, by the C library.
struct Expected {
  bool accepted;
  bool overflow;  // refused as out of range
  double real;
  int64_t integer;
};

std::string trimmedOfBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Forms the readers refuse that the C library takes.
bool libraryOnlyForm(const std::string& core) {
  if (core.empty() || std::isspace(static_cast<unsigned char>(core[0]))) return true;
  std::string lower;
  for (char c : core) lower += char(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("nan") != std::string::npos || lower.find('x') != std::string::npos;
}

Expected expectDouble(const std::string& text) {
  std::string core = trimmedOfBlanks(text);
  if (libraryOnlyForm(core)) return {false, false, 0, 0};
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(core.c_str(), &end);
  if (*end != '\0') return {false, false, 0, 0};
  if (errno == ERANGE && std::isinf(value)) return {false, true, 0, 0};
  return {true, false, value, 0};
}

Expected expectInteger(const std::string& text) {
  std::string core = trimmedOfBlanks(text);
  if (libraryOnlyForm(core)) return {false, false, 0, 0};
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(core.c_str(), &end, 10);
  if (*end != '\0') return {false, false, 0, 0};
  if (errno == ERANGE) return {false, true, 0, 0};
  return {true, false, 0, value};
}

// Number-like texts: signs, digits, points, exponents, blanks, and now and
// then a character that spoils them.
std::string generate(std::mt19937& random) {
  static const char* const kPieces[] = {"0",
                                        "1",
                                        "7",
                                        "9",
                                        "00",
                                        "123456789",
                                        "9223372036854775807",
                                        "9223372036854775808",
                                        "18446744073709551616",
                                        ".",
                                        ".",
                                        "e",
                                        "E",
                                        "e+",
                                        "e-",
                                        "-",
                                        "+",
                                        " ",
                                        "  ",
                                        "inf",
                                        "Infinity",
                                        "nan",
                                        "x",
                                        "0x1",
                                        "\t",
                                        "308",
                                        "309",
                                        "324",
                                        "400",
                                        "99999",
                                        ",",
                                        "1e-320",
                                        "d",
                                        "5e",
                                        "_"};
  std::string text;
  if (random() % 3 == 0) text += " ";
  if (random() % 3 == 0) text += random() % 2 ? "-" : "+";
  int pieces = 1 + int(random() % 5);
  for (int i = 0; i < pieces; ++i) {
    // Mostly digits and number punctuation, so that many texts are numbers.
    if (random() % 3 != 0) {
      text += "0123456789"[random() % 10];
      if (random() % 4 == 0) text += random() % 2 ? "." : "e";
    } else {
      text += kPieces[random() % std::size(kPieces)];
    }
  }
  if (random() % 3 == 0) text += "  ";
  return text;
}

class NumberReaderTest : public NlsTest {
 protected:
  // The ASCII text in encoding (through the host's own transcoder).
  Bytes encode(int32_t encoding, const std::string& text) {
    return encoding == kEncodingLiteral ? bytes(text)
                                        : transcode(kEncodingLiteral, encoding, bytes(text)).text;
  }

  void checkDouble(const std::string& text, KovaStatus status, double value) {
    Expected e = expectDouble(text);
    if (e.accepted) {
      ASSERT_EQ(status, kStatusOk) << '"' << text << '"';
      ASSERT_EQ(std::memcmp(&value, &e.real, sizeof value), 0)
          << '"' << text << "\" read " << value << " expected " << e.real;
    } else {
      ASSERT_EQ(status, e.overflow ? kStatusDecimalOverflow : kStatusNotANumber)
          << '"' << text << '"';
      uint64_t bits;
      std::memcpy(&bits, &value, 8);
      ASSERT_EQ(bits, 0xFFFFD10000000000ull) << "a refused double reads as missing: " << text;
    }
  }

  void checkInteger(const std::string& text, KovaStatus status, int64_t value) {
    Expected e = expectInteger(text);
    if (e.accepted) {
      ASSERT_EQ(status, kStatusOk) << '"' << text << '"';
      ASSERT_EQ(value, e.integer) << '"' << text << '"';
    } else {
      ASSERT_EQ(status, e.overflow ? kStatusDecimalOverflow : kStatusNotANumber)
          << '"' << text << '"';
      ASSERT_EQ(value, -77) << "a refused integer leaves the value alone";
    }
  }
};

TEST_F(NumberReaderTest, HandlesReadLikeTheCLibraryInEveryForm) {
  std::mt19937 random(7);
  for (int32_t encoding : {20, 62, 1, 40, 50, 51, 21, 22, 23, 24, 25}) {
    SCOPED_TRACE(findEncoding(encoding)->name);
    KovaEncodingHandle* h = nullptr;
    ASSERT_EQ(ops().encodingHandle(nls(), encoding, 0, &h), kStatusOk);
    EXPECT_EQ(h->encoding, encoding);
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
      std::string text = generate(random);
      Bytes encoded = encode(encoding, text);
      double real = 0;
      int64_t integer = -77;
      uint64_t scratch = 5;
      KovaStatus status =
          h->ops->readDouble(h, nullptr, encoded.data(), encoded.size(), 0, &real, &scratch);
      checkDouble(text, status, real);
      accepted += status == kStatusOk;
      status =
          h->ops->readInteger(h, nullptr, encoded.data(), encoded.size(), 0, &integer, &scratch);
      checkInteger(text, status, integer);
    }
    EXPECT_GT(accepted, 600) << "the generator makes numbers often enough";
    h->ops->release(h);
  }
}

TEST_F(NumberReaderTest, LocaleReadsWideTextLikeTheCLibrary) {
  KovaLocale* locale = ops().currentLocale(nls());
  std::mt19937 random(11);
  for (int i = 0; i < 20000; ++i) {
    std::string text = generate(random);
    std::u16string wide(text.begin(), text.end());
    double real = 0;
    int64_t integer = -77;
    KovaStatus status =
        locale->ops->readWideDouble(locale, wide.data(), int64_t(wide.size()), &real, nullptr);
    checkDouble(text, status, real);
    status = locale->ops->readWideInteger(locale, wide.data(), int64_t(wide.size()), 0, &integer,
                                          nullptr);
    checkInteger(text, status, integer);
  }
}

TEST_F(NumberReaderTest, EdgesOfTheReaders) {
  KovaEncodingHandle* h = nullptr;
  ASSERT_EQ(ops().encodingHandle(nls(), kEncodingUtf8, 0, &h), kStatusOk);
  auto readReal = [&](const std::string& text, double* value) {
    return h->ops->readDouble(h, nullptr, text.data(), text.size(), 0, value, nullptr);
  };
  double value = 0;
  EXPECT_EQ(readReal("1e-400", &value), kStatusOk);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(readReal("-1e-400", &value), kStatusOk);
  EXPECT_TRUE(std::signbit(value));
  EXPECT_EQ(readReal("0.0000000000000000000000000000001e-300", &value), kStatusOk);
  EXPECT_EQ(readReal("1e400", &value), kStatusDecimalOverflow);
  EXPECT_EQ(readReal("10000000000000000000000000000000e300", &value), kStatusDecimalOverflow);
  EXPECT_EQ(readReal("-INF", &value), kStatusOk);
  EXPECT_EQ(value, -HUGE_VAL);
  EXPECT_EQ(readReal("--1", &value), kStatusNotANumber);
  EXPECT_EQ(readReal("+-1", &value), kStatusNotANumber);
  EXPECT_EQ(readReal("- 1", &value), kStatusNotANumber);
  EXPECT_EQ(readReal(".", &value), kStatusNotANumber);
  EXPECT_EQ(readReal("", &value), kStatusNotANumber);
  EXPECT_EQ(readReal(std::string("1\0", 2), &value), kStatusNotANumber);
  EXPECT_EQ(readReal(std::string(5000, ' ') + "2.5" + std::string(5000, ' '), &value), kStatusOk)
      << "blanks do not count against the length limit";
  EXPECT_EQ(value, 2.5);
  EXPECT_EQ(readReal(std::string(2000, '1'), &value), kStatusNotANumber)
      << "too long to be a number";
  // A number in a wider text is read by its own length only.
  EXPECT_EQ(h->ops->readDouble(h, nullptr, "12345", 2, 0, &value, nullptr), kStatusOk);
  EXPECT_EQ(value, 12.0);
  int64_t integer = 0;
  EXPECT_EQ(h->ops->readInteger(h, nullptr, "-9223372036854775808", 20, 0, &integer, nullptr),
            kStatusOk);
  EXPECT_EQ(integer, INT64_MIN);
  EXPECT_EQ(h->ops->readInteger(h, nullptr, "1.0", 3, 0, &integer, nullptr), kStatusNotANumber);
  for (const char* beyond : {"9223372036854775808", "9223372036854775809", "-9223372036854775809",
                             "-9223372036854775810", "92233720368547758070"}) {
    EXPECT_EQ(h->ops->readInteger(h, nullptr, beyond, std::strlen(beyond), 0, &integer, nullptr),
              kStatusDecimalOverflow)
        << beyond;
  }
  EXPECT_EQ(h->ops->readInteger(h, nullptr, "99999999999999999999x", 21, 0, &integer, nullptr),
            kStatusNotANumber)
      << "garbage outweighs the range";
  h->ops->release(h);

  // Characters outside ASCII spoil a number in the 16-bit forms too.
  ASSERT_EQ(ops().encodingHandle(nls(), kEncodingWide, 0, &h), kStatusOk);
  std::u16string wide = u"1\u0660";  // an Arabic-Indic zero
  EXPECT_EQ(h->ops->readInteger(h, nullptr, wide.data(), wide.size() * 2, 0, &integer, nullptr),
            kStatusNotANumber);
  wide = u"\u0131";  // its low byte is '1'
  EXPECT_EQ(h->ops->readInteger(h, nullptr, wide.data(), 2, 0, &integer, nullptr),
            kStatusNotANumber);
  wide = u"12";
  EXPECT_EQ(h->ops->readInteger(h, nullptr, wide.data(), 3, 0, &integer, nullptr),
            kStatusNotANumber)
      << "an odd byte count is no 16-bit text";
  h->ops->release(h);
}

}  // namespace
}  // namespace kova::runtime::nlstest
