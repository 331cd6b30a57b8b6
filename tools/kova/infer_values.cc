#include "tools/kova/infer_values.h"

#include <charconv>
#include <cstring>

namespace kova::tool::infer {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A read position in a value.
struct Cursor {
  std::string_view s;
  size_t i = 0;
  bool atEnd() const { return i >= s.size(); }
  char peek() const { return i < s.size() ? s[i] : '\0'; }
  bool take(char c) {
    if (peek() != c) return false;
    ++i;
    return true;
  }
  // Up to most digits; their count, the number in *value.
  int digits(int most, int* value) {
    int n = 0;
    *value = 0;
    while (n < most && i < s.size() && isDigit(s[i])) *value = *value * 10 + (s[i++] - '0'), ++n;
    return n;
  }
  std::string_view word() {
    size_t start = i;
    while (i < s.size() && isAlpha(s[i])) ++i;
    return s.substr(start, i - start);
  }
};

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool validDate(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1582 || m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && leapYear(y));
}

// Two-digit years widen with the tool's cutoff of 1926.
int widenYear(int year, int digits) {
  return digits == 2 ? (year >= 26 ? 1900 : 2000) + year : year;
}

// 1 to 12 for a month name (three letters or whole, any case), else 0;
// *abbreviated tells which.
int monthNumber(std::string_view word, bool* abbreviated) {
  static const char* const kNames[] = {"january",   "february", "march",    "april",
                                       "may",       "june",     "july",     "august",
                                       "september", "october",  "november", "december"};
  if (word.size() < 3) return 0;
  char lower[16];
  if (word.size() >= sizeof lower) return 0;
  for (size_t k = 0; k < word.size(); ++k) lower[k] = char(word[k] | 0x20);
  for (int m = 0; m < 12; ++m) {
    size_t full = std::strlen(kNames[m]);
    if (word.size() == 3 && std::memcmp(lower, kNames[m], 3) == 0) {
      *abbreviated = true;
      return m + 1;
    }
    if (word.size() == full && std::memcmp(lower, kNames[m], full) == 0) {
      *abbreviated = full == 3;  // "may"
      return m + 1;
    }
  }
  return 0;
}

// The date at the cursor: its shape bits (one of kShapeDate*), or 0 with the
// cursor unchanged.
uint32_t readDate(Cursor* c, ValueShape* out) {
  const size_t start = c->i;
  int a = 0, b = 0, y = 0;
  int na = c->digits(5, &a);
  if (na == 4 || na == 5) {  // year first
    char sep = c->peek();
    if (sep != '-' && sep != '/' && sep != '.') return c->i = start, 0;
    ++c->i;
    int nb = c->digits(2, &b);
    int d = 0;
    if (nb == 0 || !c->take(sep) || c->digits(2, &d) == 0) return c->i = start, 0;
    if (!validDate(a, b, d)) return c->i = start, 0;
    return kShapeDateIso;
  }
  if (na == 1 || na == 2) {
    char sep = c->peek();
    if (sep == '-' || sep == '/' || sep == '.') {
      ++c->i;
      size_t afterSep = c->i;
      int nb = c->digits(2, &b);
      if (nb > 0) {  // numbers with the year last
        int ny = 0;
        if (!c->take(sep) || ((ny = c->digits(4, &y)) != 4 && ny != 2)) return c->i = start, 0;
        if (c->peek() != '\0' && isDigit(c->peek())) return c->i = start, 0;
        y = widenYear(y, ny);
        uint32_t shapes = 0;
        if (validDate(y, a, b)) shapes |= kShapeDateMF;
        if (validDate(y, b, a)) shapes |= kShapeDateDF;
        if (!shapes) return c->i = start, 0;
        out->separator = sep;
        return shapes;
      }
      c->i = afterSep - 1;
    }
    // Day, month name, year: 05JAN2024, 05-Jan-2024, 5 January 2024.
    char named = c->peek();
    if (named == '-' || named == '/' || named == '.' || named == ' ')
      ++c->i;
    else
      named = 0;
    bool abbreviated = false;
    int m = monthNumber(c->word(), &abbreviated);
    if (m == 0) return c->i = start, 0;
    if (named && !c->take(named)) return c->i = start, 0;
    int ny = c->digits(4, &y);
    if ((ny != 4 && ny != 2) || !validDate(widenYear(y, ny), m, a)) return c->i = start, 0;
    return abbreviated && (named != ' ' || ny == 4) ? kShapeDateNamed : kShapeDateAny;
  }
  if (na == 0) {  // Jan 5, 2024; January 05 2024
    bool abbreviated = false;
    int m = monthNumber(c->word(), &abbreviated);
    if (m == 0 || !c->take(' ') || c->digits(2, &a) == 0) return c->i = start, 0;
    c->take(',');
    if (!c->take(' ') || c->digits(4, &y) != 4 || !validDate(y, m, a)) return c->i = start, 0;
    return kShapeDateAny;
  }
  return c->i = start, 0;
}

// h:mm[:ss[.fff]] at the cursor; false with the cursor unchanged.
bool readClock(Cursor* c, int* hours, int* fraction) {
  const size_t start = c->i;
  int h = 0, m = 0, s = 0;
  int nh = c->digits(2, &h);
  if (nh == 0 || !c->take(':') || c->digits(2, &m) != 2 || h > 23 || m > 59) {
    return c->i = start, false;
  }
  *fraction = 0;
  if (c->take(':')) {
    if (c->digits(2, &s) != 2 || s > 59) return c->i = start, false;
    if (c->peek() == '.' || c->peek() == ',') {
      ++c->i;
      int digit = 0;
      while (isDigit(c->peek())) c->digits(1, &digit), ++*fraction;
      if (*fraction == 0) return c->i = start, false;
    }
  }
  *hours = h;
  return true;
}

// " AM", "pm", ...: true when taken.
bool readMeridiem(Cursor* c) {
  size_t start = c->i;
  c->take(' ');
  std::string_view w = c->word();
  if (w.size() == 2 && (w[1] | 0x20) == 'm' && ((w[0] | 0x20) == 'a' || (w[0] | 0x20) == 'p')) {
    return true;
  }
  c->i = start;
  return false;
}

// Z, +hh, +hhmm, +hh:mm, UTC, GMT (a blank before them allowed).
bool readZone(Cursor* c) {
  size_t start = c->i;
  c->take(' ');
  if (c->take('Z')) return true;
  std::string_view w = c->word();
  if (w == "UTC" || w == "GMT") return true;
  c->i = start;
  c->take(' ');
  if (c->take('+') || c->take('-')) {
    int v = 0;
    int n = c->digits(4, &v);
    if (n == 4 || (n == 2 && (c->atEnd() || (c->take(':') && c->digits(2, &v) == 2)))) {
      return true;
    }
  }
  c->i = start;
  return false;
}

uint32_t numberShapes(std::string_view s, ValueShape* out) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const size_t intStart = i;
  while (i < s.size() && isDigit(s[i])) ++i;
  const int intDigits = int(i - intStart);
  int scale = 0;
  bool point = false;
  if (i < s.size() && s[i] == '.') {
    point = true;
    size_t fracStart = ++i;
    while (i < s.size() && isDigit(s[i])) ++i;
    scale = int(i - fracStart);
  }
  if (intDigits + scale == 0) return 0;
  bool exponent = false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expStart = i;
    while (i < s.size() && isDigit(s[i])) ++i;
    if (i == expStart) return 0;
    exponent = true;
  }
  if (i != s.size()) return 0;
  if (intDigits > 1 && s[intStart] == '0') {
    out->leadingZero = true;
    return 0;
  }
  out->intDigits = intDigits;
  out->scale = scale;
  uint32_t shapes = kShapeDouble;
  if (exponent || intDigits == 0 || (point && scale == 0)) return shapes;
  if (intDigits + scale <= 38) shapes |= kShapePlainNumber;
  if (point) return shapes;
  if (intDigits <= 38) shapes |= kShapeWideInt;
  int64_t value = 0;
  const char* first = s.data() + (s[0] == '+' ? 1 : 0);
  auto [end, error] = std::from_chars(first, s.data() + s.size(), value);
  if (error == std::errc() && end == s.data() + s.size()) {
    shapes |= kShapeInt64;
    if (value >= INT32_MIN && value <= INT32_MAX) shapes |= kShapeInt32;
  }
  return shapes;
}

}  // namespace

ValueShape classifyValue(std::string_view value) {
  ValueShape out;
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  if (value.empty()) return out;
  const char first = value.front();
  if (isDigit(first) || first == '-' || first == '+' || first == '.') {
    out.shapes = numberShapes(value, &out);
    if (out.shapes || first == '-' || first == '+' || first == '.') return out;
  }
  int hours = 0, fraction = 0;
  Cursor c{value};
  if (readClock(&c, &hours, &fraction)) {
    if (c.atEnd()) {
      out.shapes = kShapeTime | kShapeTimeAny;
    } else if (hours >= 1 && hours <= 12 && readMeridiem(&c) && c.atEnd()) {
      out.shapes = kShapeTimeAny;
    }
    out.fraction = fraction;
    return out;
  }
  c.i = 0;
  uint32_t date = readDate(&c, &out);
  if (!date) return out;
  if (c.atEnd()) {
    out.shapes = date;
    return out;
  }
  // A timestamp: the date, a separator, a time, perhaps a zone.
  const char between = c.peek();
  if (between != ' ' && between != 'T' && between != ':') return out;
  ++c.i;
  if (!readClock(&c, &hours, &fraction)) return out;
  bool meridiem = hours >= 1 && hours <= 12 && readMeridiem(&c);
  bool zone = readZone(&c);
  if (!c.atEnd()) return out;
  out.fraction = fraction;
  uint32_t shapes = 0;
  if (date == kShapeDateIso) {
    if (between != ':') shapes = kShapeTsIso | kShapeTsAny;
  } else if (date & (kShapeDateMF | kShapeDateDF)) {
    // The any-form reader takes these month first (day first when dotted),
    // so they are kept apart: the column decides which order holds.
    if (between == ' ') {
      if (date & kShapeDateMF) shapes |= kShapeTsMF;
      if (date & kShapeDateDF) shapes |= kShapeTsDF;
    }
  } else {
    shapes = kShapeTsAny;
    if (date == kShapeDateNamed && between == ':' && !meridiem && !zone) shapes |= kShapeTsDatetime;
  }
  out.shapes = shapes;
  return out;
}

}  // namespace kova::tool::infer
