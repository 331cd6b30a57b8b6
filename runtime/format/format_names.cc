#include "runtime/format/format_names.h"

#include <algorithm>
#include <array>

#include "runtime/format/format_conversions.h"

namespace kova::runtime {
namespace {

constexpr int32_t kDouble = kFormatKindDouble;
constexpr int32_t kWide = kFormatKindWide;
constexpr int32_t kBytes = kFormatKindBytes;

// Sides by what they convert, each with its conversion.
constexpr FormatSide numberToText(int32_t width, FormatRun run) {
  return {true, kDouble, kWide, width, run};
}
constexpr FormatSide textToNumber(int32_t width, FormatRun run) {
  return {true, kWide, kDouble, width, run};
}
constexpr FormatSide textToText(int32_t width, FormatRun run) {
  return {true, kWide, kWide, width, run};
}
constexpr FormatSide numberToBytes(int32_t width, FormatRun run) {
  return {true, kDouble, kBytes, width, run};
}
constexpr FormatSide bytesToNumber(int32_t width, FormatRun run) {
  return {true, kBytes, kDouble, width, run};
}
constexpr FormatSide none() { return {}; }

using Category = FormatCategory;

// Kept in code-unit order of the names: findFormatEntry searches it by halves.
constexpr std::array kEntries = {
    FormatEntry{u"$", Category::kCharacter,
                "character text; reading drops leading and trailing blanks",
                textToText(0, copyCharacters), textToText(0, readTrimmedCharacters)},
    FormatEntry{u"$CHAR", Category::kCharacter, "character text as it is, blanks kept",
                textToText(0, copyCharacters), textToText(0, copyCharacters)},
    FormatEntry{u"ANYDTDTE", Category::kDate, "a date in any of the common written forms", none(),
                textToNumber(9, readAnyDate)},
    FormatEntry{u"ANYDTDTM", Category::kDatetime,
                "a date and time of day in any of the common written forms", none(),
                textToNumber(19, readAnyDatetime)},
    FormatEntry{u"ANYDTTME", Category::kTime, "a time of day in any of the common written forms",
                none(), textToNumber(8, readAnyTime)},
    FormatEntry{u"BEST", Category::kNumber, "a number in the most precise form that fits the width",
                numberToText(12, writeBest), textToNumber(12, readPlainNumber)},
    FormatEntry{u"COMMA", Category::kNumber, "a number with thousands separators",
                numberToText(12, writeComma), textToNumber(12, readCommaNumber)},
    FormatEntry{u"DATE", Category::kDate, "a date as ddMONyy or ddMONyyyy",
                numberToText(9, writeDayMonthName), textToNumber(9, readDayMonthName)},
    FormatEntry{u"DATETIME", Category::kDatetime, "a date and time as ddMONyyyy:hh:mm:ss",
                numberToText(18, writeDatetime), textToNumber(18, readDatetime)},
    FormatEntry{u"DDMMYY", Category::kDate, "a date as dd/mm/yy or dd/mm/yyyy",
                numberToText(8, writeDayFirst), textToNumber(8, readDayFirst)},
    FormatEntry{u"E", Category::kNumber, "a number in scientific notation",
                numberToText(12, writeScientific), textToNumber(12, readPlainNumber)},
    FormatEntry{u"F", Category::kNumber, "a plain decimal number with w.d digits",
                numberToText(12, writeFixed), textToNumber(12, readPlainNumber)},
    FormatEntry{u"IEEE", Category::kBinary, "an 8-byte binary double, most significant byte first",
                numberToBytes(8, writeBigEndianDouble), bytesToNumber(8, readBigEndianDouble)},
    FormatEntry{
        u"IEEER", Category::kBinary, "an 8-byte binary double, least significant byte first",
        numberToBytes(8, writeLittleEndianDouble), bytesToNumber(8, readLittleEndianDouble)},
    FormatEntry{u"MMDDYY", Category::kDate, "a date as mm/dd/yy or mm/dd/yyyy",
                numberToText(8, writeMonthFirst), textToNumber(8, readMonthFirst)},
    FormatEntry{u"TIME", Category::kTime, "a time of day as hh:mm:ss with optional fraction",
                numberToText(8, writeTime), textToNumber(8, readTime)},
    FormatEntry{u"YYMMDD", Category::kDate, "a date as yy-mm-dd or yyyy-mm-dd",
                numberToText(8, writeYearFirst), textToNumber(8, readYearFirst)},
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
  auto it =
      std::lower_bound(kEntries.begin(), kEntries.end(), key,
                       [](const FormatEntry& e, std::u16string_view k) { return e.name < k; });
  return (it != kEntries.end() && it->name == key) ? &*it : nullptr;
}

bool formatKnown(std::u16string_view name, int32_t kind) {
  const FormatEntry* entry = findFormatEntry(name);
  return entry && entry->side(kind);
}

}  // namespace kova::runtime
