// Reading ripped rows for `kova rip`: each column's value out of a typed or
// row-image row (nulls, missing values, numbers, exact decimals, dates and
// times, text, binary bytes) as a cell, and the texts of those values. One
// reader per run; the printers (rip_output.h) take its cells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kova/ripper.h"

namespace kova::tool {

// One value of a row as the printers see it.
struct Cell {
  enum Kind { kNull, kMissing, kNumber, kDecimal, kText } kind = kNull;
  // kNumber: a JSON number; kDecimal: its exact digits ("-12.50"); kText:
  // UTF-8 text; kMissing: ".", "._" or ".A" to ".Z".
  std::string text;
};

// Reads the columns of a ripper's rows. Character values in another
// encoding than UTF-8 are transcoded through the host's NLS service.
class RowReader {
 public:
  // raw: dates and times as the host's numbers (days or seconds since
  // 1960-01-01, seconds since midnight) instead of ISO texts.
  RowReader(const KovaRipper* ripper, KovaNls* nls, bool raw);
  ~RowReader();
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  const std::vector<std::string>& names() const { return names_; }
  // Numbers are right-aligned in a table.
  const std::vector<bool>& numeric() const { return numeric_; }
  void read(const uint8_t* row, std::vector<Cell>* cells);
  // The invalid byte sequences the row's text values hold (what read and
  // repairUtf8 would replace), without reading the other values; *first:
  // the 0-based column of the first one.
  uint64_t invalidSequences(const uint8_t* row, size_t* first);

 private:
  struct Column;
  Cell typedCell(const Column& column, const uint8_t* row);
  Cell imageCell(const Column& column, const uint8_t* row);
  std::string text(const Column& column, const uint8_t* bytes, size_t length);

  const KovaRipper* ripper_;
  KovaNls* nls_;
  bool raw_;
  std::vector<Column> columns_;
  std::vector<std::string> names_;
  std::vector<bool> numeric_;
  std::vector<size_t> textColumns_;  // entries of columns_ holding character values
};

// The texts of values.
std::string decimalText(const uint8_t* value);  // a 19-byte DecimalValue: "-12.50"
// Days since 1960-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t days, int64_t* year, unsigned* month, unsigned* day);
std::string dateText(double days);                      // "2024-02-29"
std::string timeText(double seconds, int digits);       // "13:05:09.250" (digits < 0: as needed)
std::string timestampText(double seconds, int digits);  // "2024-02-29 13:05:09"
std::string base64(const uint8_t* bytes, size_t length);

// The indicator at at, of the width code (any flag bits ignored); none when
// the code says the column has no indicator.
int64_t readIndicator(const uint8_t* at, uint32_t code, int64_t none);

}  // namespace kova::tool
