// Every conversion on arbitrary input: texts made of the characters the
// readers look for, and doubles of any bit pattern. Each run must either
// produce a value or refuse the documented way, and never write past its
// capacity (the sanitizer build watches the rest).
#include <random>

#include "runtime/format/format_names.h"
#include "tests/siblings/format_test_util.h"

namespace kova::runtime {
namespace {

class AnyInput : public FormatConversionTest {};

TEST_F(AnyInput, InformatsValueOrRefuseEveryText) {
  constexpr std::string_view kAlphabet =
      "0123456789012345-/.:, TtZz+()$eEAaPpMmJANjanFEBSeptUuCcGg\t";
  std::mt19937 random(3);
  std::u16string text;
  for (const FormatEntry& entry : formatEntries()) {
    if (!entry.informat.present || entry.informat.inputKind != kFormatKindWide ||
        entry.informat.outputKind != kFormatKindDouble) {
      continue;
    }
    KovaFormatObject* informat =
        object(std::string(entry.name.begin(), entry.name.end()), kFormatLookupInformat, 0,
               static_cast<int32_t>(random() % 4));
    for (int i = 0; i < 20000; ++i) {
      text.clear();
      const size_t length = random() % 28;
      for (size_t k = 0; k < length; ++k) text += kAlphabet[random() % kAlphabet.size()];
      const Reading r = readWith(informat, text);
      if (r.status == kStatusOk) {
        ASSERT_EQ(r.length, 8);
      } else {
        ASSERT_EQ(r.length, 0);
        ASSERT_EQ(std::bit_cast<uint64_t>(r.value), kMissingPattern);
      }
    }
  }
}

TEST_F(AnyInput, FormatsFillExactlyTheirWidthForEveryDouble) {
  std::mt19937_64 random(5);
  for (const FormatEntry& entry : formatEntries()) {
    if (!entry.format.present || entry.format.outputKind != kFormatKindWide ||
        entry.format.inputKind != kFormatKindDouble) {
      continue;
    }
    for (int32_t width = 1; width <= 40; ++width) {
      KovaFormatObject* format =
          object(std::string(entry.name.begin(), entry.name.end()), kFormatLookupFormat, width,
                 static_cast<int32_t>(random() % 12));
      for (int i = 0; i < 300; ++i) {
        // Raw bit patterns, and values of ordinary size for the dates.
        const double v = i % 2
                             ? std::bit_cast<double>(random())
                             : static_cast<double>(static_cast<int64_t>(random() % 2000000000000) -
                                                   1000000000000) /
                                   (1 + i % 7);
        const std::string text = writeWith(format, v, width);
        ASSERT_EQ(lastStatus_, kStatusOk);
        ASSERT_EQ(text.size(), static_cast<size_t>(width)) << text;
      }
    }
  }
}

}  // namespace
}  // namespace kova::runtime
