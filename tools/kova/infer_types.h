// Type inference for one column: every sampled value of the column goes to
// observe(); decide() gives the narrowest SQL type that reads every value
// (with its informat, lengths and the evidence), or VARCHAR/CHAR.
// Values are UTF-8 text as the ripper will see it (qualifiers removed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kova/infer.h"

namespace kova::tool::infer {

// Texts that stand for a missing value: the two the delimited ripper reads
// as null ("" and "\N") and the common others.
enum NullText {
  kNullEmpty,
  kNullBackslashN,
  kNullNA,
  kNullNULL,
  kNullLowerNull,
  kNullDash,
  kNullTextCount
};
extern const char* const kNullTexts[kNullTextCount];
// The null text the value is, or -1.
int nullTextOf(std::string_view value);

class ColumnProfile {
 public:
  ColumnProfile();
  void observe(std::string_view value);
  // A JSON string: never a number, whatever its text.
  void observeString(std::string_view value);
  // Values of a JSON column: the kind is known from the parser.
  void observeBoolean();
  void observeNull() { ++nulls_[kNullEmpty]; }
  // Fills type, cType, lengths, informat, format, counts and evidence of
  // column (name and tag are left alone); a decision the sample could not
  // settle adds a warning naming the column.
  void decide(ColumnFinding* column, std::vector<std::string>* warnings) const;
  uint64_t nullCount(int kind) const { return nulls_[kind]; }
  uint64_t valueCount() const { return texts_ + booleans_; }

 private:
  void observeTyped(std::string_view value);

  uint32_t candidates_;
  uint64_t nulls_[kNullTextCount] = {};
  uint64_t texts_ = 0;  // values that are no null text
  uint64_t booleans_ = 0;
  // Lengths in characters of every non-null value, null-like texts such as
  // NA included (they stay text in a character column).
  uint64_t minChars_ = UINT64_MAX;
  uint64_t maxChars_ = 0;
  // Numbers.
  int32_t maxIntDigits_ = 0;
  int32_t minScale_ = INT32_MAX;
  int32_t maxScale_ = -1;
  bool leadingZero_ = false;
  // Dates with the year last: their separator ('.', '/' or '-').
  char yearLastSeparator_ = 0;
  bool mixedSeparators_ = false;
  int32_t maxFraction_ = 0;  // fraction digits of times and timestamps
};

// True when value reads as the decided column's type (a null text always does).
bool valueFits(const ColumnFinding& column, std::string_view value);

// Characters of UTF-8 text.
uint64_t utf8Chars(std::string_view text);

}  // namespace kova::tool::infer
