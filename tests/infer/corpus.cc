#include "tests/infer/corpus.h"

#include <cstdio>
#include <random>

namespace kova::testing::corpus {
namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string jsonText(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n' || c == '\t') {
      out += c == '\n' ? "\\n" : "\\t";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string format(const char* pattern, int a, int b, int c, int d = 0, int e = 0, int f = 0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, a, b, c, d, e, f);
  return buffer;
}

// UTF-8 to another encoding (the corpus only uses characters they hold).
std::string encode(const std::string& utf8, const std::string& encoding) {
  if (encoding == "UTF-8") return utf8;
  if (encoding == "UTF-8-BOM") return "\xEF\xBB\xBF" + utf8;
  std::vector<uint32_t> points;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = utf8[i];
    int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? b : b & (0xFF >> (n + 1));
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    points.push_back(cp);
    i += n;
  }
  std::string out;
  if (encoding == "UTF-16LE-BOM" || encoding == "UTF-16BE") {
    const bool big = encoding == "UTF-16BE";
    if (!big) out += "\xFF\xFE";
    for (uint32_t cp : points) {  // the corpus stays in the Basic Multilingual Plane
      char high = char(cp >> 8), low = char(cp & 0xFF);
      out += big ? high : low;
      out += big ? low : high;
    }
    return out;
  }
  for (uint32_t cp : points) {
    if (encoding == "windows-1252" && cp == 0x20AC) cp = 0x80;
    if (encoding == "windows-1252" && cp == 0x2019) cp = 0x92;
    out += char(cp);
  }
  return out;
}

struct Value {
  std::string text;      // as written (before quoting)
  std::string expected;  // the JSON literal a rip gives
};

class Generator {
 public:
  Generator(uint32_t seed, const Dialect& dialect) : random_(seed), dialect_(dialect) {}

  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  Value value(Kind kind, int row) {
    const int year = between(1990, 2030), month = between(1, 12);
    const int day = row == 0 ? 25 : between(1, 28);
    const int hour = between(0, 23), minute = between(0, 59), second = between(0, 59);
    const std::string iso = format("\"%04d-%02d-%02d\"", year, month, day);
    const std::string clock = format("%02d:%02d:%02d", hour, minute, second);
    switch (kind) {
      case Kind::kInt: {
        std::string v = std::to_string(row == 1 ? -between(1, 999) : between(0, 2000000000));
        return {v, v};
      }
      case Kind::kBigint: {
        std::string v = std::to_string(int64_t(between(1, 2000000)) * 1000003 + 3000000000LL);
        return {v, v};
      }
      case Kind::kDecimal: {
        std::string v = (row % 7 == 3 ? "-" : "") + std::to_string(between(0, 99999)) +
                        format(".%02d", between(0, 99), 0, 0);
        if (v == "-0.00") v = "0.00";
        return {v, "\"" + v + "\""};
      }
      case Kind::kDouble: {
        const int scale = row % 4;  // 3.1, 12.125, 7, ...
        std::string v = std::to_string(between(0, 5000));
        if (scale)
          v += "." + format("%0*d", scale,
                            between(1, 9) * (scale == 1   ? 1
                                             : scale == 2 ? 11
                                                          : 111),
                            0);
        return {v, v};
      }
      case Kind::kDateIso:
        return {iso.substr(1, 10), iso};
      case Kind::kDateMonthFirst:
        return {format("%02d/%02d/%04d", month, day, year), iso};
      case Kind::kDateDayFirst:
        return {format(dialect_.separator == '|' ? "%02d.%02d.%04d" : "%02d/%02d/%04d", day, month,
                       year),
                iso};
      case Kind::kDateNamed:
        return {format("%02d", day, 0, 0) + kMonths[month - 1] + std::to_string(year), iso};
      case Kind::kDateUndecided: {
        const int d = between(1, 12);
        return {format("%02d/%02d/%04d", month, d, year),
                format("\"%04d-%02d-%02d\"", year, month, d)};
      }
      case Kind::kTime:
        return {clock, "\"" + clock + "\""};
      case Kind::kTimestampIso:
        return {iso.substr(1, 10) + (row % 2 ? "T" : " ") + clock,
                "\"" + iso.substr(1, 10) + " " + clock + "\""};
      case Kind::kTimestampMonthFirst:
        return {format("%02d/%02d/%04d ", month, day, year) + clock,
                "\"" + iso.substr(1, 10) + " " + clock + "\""};
      case Kind::kCode: {
        static const char* const kCodes[] = {"DE", "US", "FR", "JP", "BR", "IN", "ZA"};
        std::string v = kCodes[between(0, 6)];
        return {v, "\"" + v + "\""};
      }
      case Kind::kText: {
        const bool latin = dialect_.encoding == "ISO-8859-1";
        static const char* const kTexts[] = {"Ada Lindqvist",
                                             "Barros, Tomás",
                                             "Dubois \"Dee\" Renée",
                                             "Chen Wei",
                                             "Müller; Sohn",
                                             "line one\nline two",
                                             "tab\there",
                                             "O'Brien",
                                             "pipe|bar",
                                             "x"};
        std::string v = kTexts[between(0, 9)];
        if (row % 11 == 5) v = latin ? "café crème" : "price €5 isn’t it";
        return {v, jsonText(v)};
      }
      case Kind::kPostal: {
        std::string v = format("%05d", row == 0 ? 1234 : between(0, 99999), 0, 0);
        return {v, "\"" + v + "\""};
      }
      case Kind::kEmpty:
        return {"", "null"};
    }
    return {"", "null"};
  }

  std::string field(const std::string& text) {
    const char sep = dialect_.separator;
    const char q = dialect_.quote;
    bool quote = dialect_.quoteEverything || text.find(sep) != std::string::npos ||
                 text.find_first_of(std::string("\r\n") + q) != std::string::npos;
    if (!quote) return text;
    quoted_ = true;
    std::string out(1, q);
    for (char c : text) {
      if (c == q) out += q;
      out += c;
    }
    return out + q;
  }

  bool quoted() const { return quoted_; }

 private:
  std::mt19937 random_;
  const Dialect& dialect_;
  bool quoted_ = false;
};

}  // namespace

Intended intendedOf(Kind kind) {
  switch (kind) {
    case Kind::kInt:
      return {"INT", ""};
    case Kind::kBigint:
      return {"BIGINT", ""};
    case Kind::kDecimal:
      return {"DECIMAL", ""};
    case Kind::kDouble:
      return {"DOUBLE", ""};
    case Kind::kDateIso:
      return {"DATE", "YYMMDD10."};
    case Kind::kDateMonthFirst:
      return {"DATE", "MMDDYY10."};
    case Kind::kDateDayFirst:
      return {"DATE", "DDMMYY10."};
    case Kind::kDateNamed:
      return {"DATE", "DATE11."};
    case Kind::kDateUndecided:
      return {"DATE", "", false};
    case Kind::kTime:
      return {"TIME", "TIME8."};
    case Kind::kTimestampIso:
      return {"TIMESTAMP", "ANYDTDTM."};
    case Kind::kTimestampMonthFirst:
      return {"TIMESTAMP", "ANYDTDTM."};
    case Kind::kCode:
      return {"CHAR", ""};
    case Kind::kText:
      return {"VARCHAR", ""};
    case Kind::kPostal:
      return {"CHAR", ""};
    case Kind::kEmpty:
      return {"VARCHAR", "", false};
  }
  return {};
}

Table generate(const std::vector<Column>& columns, const Dialect& dialect, int rows,
               uint32_t seed) {
  Generator g(seed, dialect);
  Table table;
  table.columns = columns;
  const std::string end = dialect.crlf ? "\r\n" : "\n";
  std::string text;
  if (dialect.header) {
    for (size_t c = 0; c < columns.size(); ++c)
      text += (c ? std::string(1, dialect.separator) : "") + g.field(columns[c].name);
    text += end;
  }
  for (int r = 0; r < rows; ++r) {
    std::vector<std::string> expected;
    for (size_t c = 0; c < columns.size(); ++c) {
      Value v = g.value(columns[c].kind, r);
      // Nulls now and then, never in the first rows (the header is judged there).
      bool null = columns[c].kind == Kind::kEmpty || (r > 2 && c > 0 && g.between(0, 19) == 0);
      if (c) text += dialect.separator;
      text += null ? dialect.nullText : g.field(v.text);
      expected.push_back(null ? "null" : v.expected);
    }
    text += end;
    table.expected.push_back(std::move(expected));
  }
  table.bytes = encode(text, dialect.encoding);
  table.quoted = g.quoted();
  return table;
}

Table generateClf(int count, uint32_t seed) {
  Dialect dialect;
  Generator g(seed, dialect);
  Table table;
  table.columns = {{"host", Kind::kText},         {"identity", Kind::kText}, {"user", Kind::kText},
                   {"time", Kind::kTimestampIso}, {"request", Kind::kText},  {"status", Kind::kInt},
                   {"size", Kind::kInt}};
  static const char* const kHosts[] = {"10.0.4.17", "192.0.2.33", "host.example.org",
                                       "münchen.example.de"};
  static const char* const kUsers[] = {"-", "frank", "rémi"};
  static const char* const kPaths[] = {"/", "/robots.txt", "/search?q=crème", "/a/b/c.html"};
  for (int i = 0; i < count; ++i) {
    const int day = g.between(1, 28), month = g.between(1, 12), year = g.between(2000, 2025);
    const int h = g.between(0, 23), m = g.between(0, 59), s = g.between(0, 59);
    std::string host = kHosts[g.between(0, 3)], user = kUsers[g.between(0, 2)];
    std::string request =
        std::string(g.between(0, 1) ? "GET " : "POST ") + kPaths[g.between(0, 3)] + " HTTP/1.1";
    int status = 200 + 100 * g.between(0, 3);
    bool noSize = g.between(0, 9) == 0;
    std::string size = noSize ? "-" : std::to_string(g.between(0, 90000));
    table.bytes += host + " - " + user + " [" + format("%02d/", day, 0, 0) + kMonths[month - 1] +
                   format("/%04d:%02d:%02d:%02d +0100] \"", year, h, m, s) + request + "\" " +
                   std::to_string(status) + " " + size + "\n";
    table.expected.push_back(
        {jsonText(host), "\"-\"", jsonText(user),
         format("\"%04d-%02d-%02d %02d:%02d:%02d\"", year, month, day, h, m, s), jsonText(request),
         std::to_string(status), noSize ? "null" : size});
  }
  return table;
}

std::vector<Dialect> corpusDialects() {
  const char separators[] = {',', ';', '\t', '|', '\x01'};
  const char* const encodings[] = {"UTF-8",        "UTF-8-BOM",    "ISO-8859-1",
                                   "windows-1252", "UTF-16LE-BOM", "UTF-16BE"};
  const char* const nulls[] = {"", "\\N", "NA"};
  std::vector<Dialect> dialects;
  for (int k = 0; k < 30; ++k) {
    Dialect d;
    d.separator = separators[k % 5];
    d.crlf = (k / 5) % 2 == 1;
    d.header = k % 4 != 3;
    d.quoteEverything = k % 7 == 2 || k == 13;
    d.quote = k % 10 == 3 || k == 13 ? '\'' : '"';
    d.encoding = encodings[(k / 2) % 6];
    d.nullText = nulls[k % 3];
    dialects.push_back(d);
  }
  return dialects;
}

std::vector<Column> corpusColumns(size_t variant) {
  switch (variant % 3) {
    case 0:
      return {{"order_id", Kind::kInt},       {"customer", Kind::kText},
              {"order_date", Kind::kDateIso}, {"unit price", Kind::kDouble},
              {"total", Kind::kDecimal},      {"country", Kind::kCode}};
    case 1:
      return {{"event_id", Kind::kBigint},
              {"occurred", Kind::kTimestampIso},
              {"at", Kind::kTime},
              {"postal_code", Kind::kPostal},
              {"born", Kind::kDateMonthFirst},
              {"spare", Kind::kEmpty}};
    default:
      return {{"id", Kind::kInt},
              {"due", Kind::kDateDayFirst},
              {"shipped", Kind::kDateNamed},
              {"ordered", Kind::kDateUndecided},
              {"stamped", Kind::kTimestampMonthFirst},
              {"city", Kind::kText}};
  }
}

}  // namespace kova::testing::corpus
