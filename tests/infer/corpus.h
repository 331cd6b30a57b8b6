// A generated corpus for the sniffer: tables in many dialects (separators,
// qualifiers, line ends, header or not, encodings, null texts, date styles)
// whose intended schema is known, with the values a rip must give back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kova::testing::corpus {

enum class Kind {
  kInt,
  kBigint,
  kDecimal,
  kDouble,
  kDateIso,
  kDateMonthFirst,
  kDateDayFirst,
  kDateNamed,
  kDateUndecided,
  kTime,
  kTimestampIso,
  kTimestampMonthFirst,
  kCode,
  kText,
  kPostal,
  kEmpty,
};

struct Column {
  std::string name;
  Kind kind;
};

struct Dialect {
  char separator = ',';
  bool crlf = false;
  bool header = true;
  bool quoteEverything = false;  // else only where a value needs it
  char quote = '"';
  std::string encoding =
      "UTF-8";           // UTF-8, UTF-8-BOM, ISO-8859-1, windows-1252, UTF-16LE-BOM, UTF-16BE
  std::string nullText;  // "", "\\N" or "NA"
};

// What the sniffer should say about a column.
struct Intended {
  std::string type;       // "INT", "DATE", ...
  std::string informat;   // "" when any (or none) will do
  bool decidable = true;  // false: the sample cannot settle it (a warning is due)
};

Intended intendedOf(Kind kind);

struct Table {
  std::vector<Column> columns;
  std::vector<std::vector<std::string>> expected;  // per row, per column: a JSON literal
  std::string bytes;                               // the file
  bool quoted = false;                             // some field is quoted
};

// rows rows of columns in dialect, from seed.
Table generate(const std::vector<Column>& columns, const Dialect& dialect, int rows, uint32_t seed);

// count lines of a web server's access log; expected as ripped with the
// seven standard columns.
Table generateClf(int count, uint32_t seed);

// The dialects of the corpus, and the columns of each of its tables.
std::vector<Dialect> corpusDialects();
std::vector<Column> corpusColumns(size_t variant);

}  // namespace kova::testing::corpus
