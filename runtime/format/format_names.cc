#include "runtime/format/format_names.h"

#include <algorithm>
#include <array>

namespace kova::runtime {
namespace {

constexpr int32_t kDouble = kFormatKindDouble;
constexpr int32_t kWide = kFormatKindWide;
constexpr int32_t kBytes = kFormatKindBytes;

// Sides by what they convert. The conversions are filled in name by name;
// until then a side's run is null.
constexpr FormatSide numberToText(int32_t width) { return {true, kDouble, kWide, width, nullptr}; }
constexpr FormatSide textToNumber(int32_t width) { return {true, kWide, kDouble, width, nullptr}; }
constexpr FormatSide textToText(int32_t width) { return {true, kWide, kWide, width, nullptr}; }
constexpr FormatSide numberToBytes(int32_t width) { return {true, kDouble, kBytes, width, nullptr}; }
constexpr FormatSide bytesToNumber(int32_t width) { return {true, kBytes, kDouble, width, nullptr}; }
constexpr FormatSide none() { return {}; }

using Category = FormatCategory;

// Kept in code-unit order of the names: findFormatEntry searches it by halves.
constexpr std::array kEntries = {
    FormatEntry{u"$", Category::kCharacter, "character text as it is (same as $CHAR)",
                textToText(8), textToText(8)},
    FormatEntry{u"$CHAR", Category::kCharacter, "character text as it is, blanks kept",
                textToText(8), textToText(8)},
    FormatEntry{u"ANYDTDTE", Category::kDate, "a date in any of the common written forms",
                none(), textToNumber(9)},
    FormatEntry{u"ANYDTDTM", Category::kDatetime,
                "a date and time of day in any of the common written forms", none(),
                textToNumber(19)},
    FormatEntry{u"ANYDTTME", Category::kTime, "a time of day in any of the common written forms",
                none(), textToNumber(8)},
    FormatEntry{u"BEST", Category::kNumber, "a number in the most precise form that fits the width",
                numberToText(12), textToNumber(12)},
    FormatEntry{u"COMMA", Category::kNumber, "a number with thousands separators",
                numberToText(12), textToNumber(12)},
    FormatEntry{u"DATE", Category::kDate, "a date as ddMONyy or ddMONyyyy", numberToText(9),
                textToNumber(9)},
    FormatEntry{u"DATETIME", Category::kDatetime, "a date and time as ddMONyyyy:hh:mm:ss",
                numberToText(18), textToNumber(18)},
    FormatEntry{u"DDMMYY", Category::kDate, "a date as dd/mm/yy or dd/mm/yyyy", numberToText(8),
                textToNumber(8)},
    FormatEntry{u"E", Category::kNumber, "a number in scientific notation", numberToText(12),
                textToNumber(12)},
    FormatEntry{u"F", Category::kNumber, "a plain decimal number with w.d digits",
                numberToText(12), textToNumber(12)},
    FormatEntry{u"IEEE", Category::kBinary, "an 8-byte binary double, most significant byte first",
                numberToBytes(8), bytesToNumber(8)},
    FormatEntry{u"IEEER", Category::kBinary,
                "an 8-byte binary double, least significant byte first", numberToBytes(8),
                bytesToNumber(8)},
    FormatEntry{u"MMDDYY", Category::kDate, "a date as mm/dd/yy or mm/dd/yyyy", numberToText(8),
                textToNumber(8)},
    FormatEntry{u"TIME", Category::kTime, "a time of day as hh:mm:ss with optional fraction",
                numberToText(8), textToNumber(8)},
    FormatEntry{u"YYMMDD", Category::kDate, "a date as yy-mm-dd or yyyy-mm-dd", numberToText(8),
                textToNumber(8)},
};

constexpr bool sortedByName() {
  for (size_t i = 1; i < kEntries.size(); ++i) {
    if (!(kEntries[i - 1].name < kEntries[i].name)) return false;
  }
  return true;
}
static_assert(sortedByName(), "format names must stay in code-unit order");

// Longer than any known name; also bounds the folding buffer.
constexpr size_t kLongestName = 16;

}  // namespace

const FormatSide* FormatEntry::side(int32_t kind) const {
  const FormatSide* chosen = kind == kFormatLookupFormat     ? &format
                             : kind == kFormatLookupInformat ? &informat
                                                             : nullptr;
  return chosen && chosen->present ? chosen : nullptr;
}

std::span<const FormatEntry> formatEntries() { return kEntries; }

const FormatEntry* findFormatEntry(std::u16string_view name) {
  if (name.empty() || name.size() > kLongestName) return nullptr;
  char16_t folded[kLongestName];
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    folded[i] = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  }
  std::u16string_view key(folded, name.size());
  auto it = std::lower_bound(kEntries.begin(), kEntries.end(), key,
                             [](const FormatEntry& e, std::u16string_view k) { return e.name < k; });
  return (it != kEntries.end() && it->name == key) ? &*it : nullptr;
}

bool formatKnown(std::u16string_view name, int32_t kind) {
  const FormatEntry* entry = findFormatEntry(name);
  return entry && entry->side(kind);
}

const char* formatCategoryName(FormatCategory category) {
  switch (category) {
    case FormatCategory::kNumber: return "number";
    case FormatCategory::kCharacter: return "character";
    case FormatCategory::kDate: return "date";
    case FormatCategory::kTime: return "time";
    case FormatCategory::kDatetime: return "datetime";
    case FormatCategory::kBinary: return "binary";
  }
  return "?";
}

}  // namespace kova::runtime
