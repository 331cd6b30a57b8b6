// Printing ripped rows for `kova rip`: rows of cells (row_reader.h) written
// as an aligned table, RFC 4180 CSV or JSON lines. Owned by cmd_rip.cc; one
// printer per run.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/kova/row_reader.h"

namespace kova::tool {

// Writes rows in one of the output formats.
class RowPrinter {
 public:
  virtual ~RowPrinter() = default;
  virtual void row(const std::vector<Cell>& cells) = 0;
  // After the last row (a table prints what it still holds).
  virtual void finish() {}
};

enum class OutputFormat { kTable, kCsv, kJsonl, kNone };

std::unique_ptr<RowPrinter> makePrinter(OutputFormat format, const std::vector<std::string>& names,
                                        const std::vector<bool>& numeric, FILE* out);

}  // namespace kova::tool
