// The shapes one text value can be read as: numbers, dates, times and
// timestamps in the forms the host's informats read. Used by the column
// profiler (infer_types.cc); no state.
#pragma once

#include <cstdint>
#include <string_view>

namespace kova::tool::infer {

// What a value could be (several bits may hold at once).
enum Shape : uint32_t {
  kShapeInt32 = 1u << 0,        // integer in the 32-bit range
  kShapeInt64 = 1u << 1,        // integer in the 64-bit range
  kShapeWideInt = 1u << 2,      // integer of at most 38 digits
  kShapePlainNumber = 1u << 3,  // digits with an optional fraction, at most 38 digits
  kShapeDouble = 1u << 4,       // any decimal number, exponents too
  kShapeDateIso = 1u << 5,      // yyyy-mm-dd (or / . as separators)
  kShapeDateMF = 1u << 6,       // mm/dd/yyyy (or - . ; two-digit years too)
  kShapeDateDF = 1u << 7,       // dd/mm/yyyy
  kShapeDateNamed = 1u << 8,    // ddMONyyyy, dd-Mon-yyyy, ...
  kShapeDateAny = 1u << 9,      // Jan 5, 2024; 5 January 2024
  kShapeTime = 1u << 10,        // hh:mm[:ss[.fff]]
  kShapeTimeAny = 1u << 11,     // 3:04 PM
  kShapeTsIso = 1u << 12,       // an ISO date, blank or T, a time, maybe a zone
  kShapeTsMF = 1u << 13,        // a month-first date, a blank, a time
  kShapeTsDF = 1u << 14,        // a day-first date, a blank, a time
  kShapeTsDatetime = 1u << 15,  // ddMONyyyy:hh:mm:ss
  kShapeTsAny = 1u << 16,       // dd/Mon/yyyy:hh:mm:ss +zzzz and other written forms
};

inline constexpr uint32_t kShapeNumbers =
    kShapeInt32 | kShapeInt64 | kShapeWideInt | kShapePlainNumber | kShapeDouble;
inline constexpr uint32_t kShapeDates =
    kShapeDateIso | kShapeDateMF | kShapeDateDF | kShapeDateNamed | kShapeDateAny;
inline constexpr uint32_t kShapeTimes = kShapeTime | kShapeTimeAny;
inline constexpr uint32_t kShapeTimestamps =
    kShapeTsIso | kShapeTsMF | kShapeTsDF | kShapeTsDatetime | kShapeTsAny;
inline constexpr uint32_t kShapeAll = kShapeNumbers | kShapeDates | kShapeTimes | kShapeTimestamps;

struct ValueShape {
  uint32_t shapes = 0;
  int32_t intDigits = 0;     // numbers: digits before the point
  int32_t scale = 0;         // numbers: digits after the point
  int32_t fraction = 0;      // times: digits of the second's fraction
  bool leadingZero = false;  // an integer part such as 0123: text, not a number
  char separator = 0;        // dates with the year last: the separator
};

// The shapes of value (blanks around it are allowed, as the readers allow them).
ValueShape classifyValue(std::string_view value);

}  // namespace kova::tool::infer
