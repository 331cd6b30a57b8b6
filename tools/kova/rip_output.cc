// The printers of `kova rip`: rows of cells as an aligned table, RFC 4180
// CSV or JSON lines.
#include "tools/kova/rip_output.h"

#include <algorithm>
#include <cstring>

#include "tools/kova/json.h"

namespace kova::tool {

// ---- printers ---------------------------------------------------------------

namespace {

void csvField(std::string* line, const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    *line += text;
    return;
  }
  *line += '"';
  for (char c : text) {
    if (c == '"') *line += '"';
    *line += c;
  }
  *line += '"';
}

class CsvPrinter : public RowPrinter {
 public:
  CsvPrinter(const std::vector<std::string>& names, FILE* out) : out_(out) {
    std::string line;
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) line += ',';
      csvField(&line, names[i]);
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), out_);
  }
  void row(const std::vector<Cell>& cells) override {
    line_.clear();
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) line_ += ',';
      if (cells[i].kind != Cell::kNull && cells[i].kind != Cell::kMissing) {
        csvField(&line_, cells[i].text);
      }
    }
    line_ += "\r\n";
    std::fwrite(line_.data(), 1, line_.size(), out_);
  }

 private:
  FILE* out_;
  std::string line_;
};

class JsonlPrinter : public RowPrinter {
 public:
  JsonlPrinter(const std::vector<std::string>& names, FILE* out) : out_(out) {
    for (const std::string& name : names) keys_.push_back(jsonString(name) + ":");
  }
  void row(const std::vector<Cell>& cells) override {
    line_ = "{";
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) line_ += ',';
      line_ += keys_[i];
      const Cell& cell = cells[i];
      switch (cell.kind) {
        case Cell::kNumber:
          line_ += cell.text;
          break;
        // Exact decimals are strings, so that no reader rounds them.
        case Cell::kDecimal:
        case Cell::kText:
          line_ += jsonString(cell.text);
          break;
        default:
          line_ += "null";
          break;
      }
    }
    line_ += "}\n";
    std::fwrite(line_.data(), 1, line_.size(), out_);
  }

 private:
  FILE* out_;
  std::vector<std::string> keys_;
  std::string line_;
};

// Display width of UTF-8 text: one per code point.
size_t displayWidth(const std::string& text) {
  size_t width = 0;
  for (unsigned char c : text) width += (c & 0xC0) != 0x80;
  return width;
}

// Control characters shown so that a row stays on one line.
std::string tableText(const Cell& cell) {
  if (cell.kind == Cell::kNull) return "NULL";
  std::string out;
  for (unsigned char c : cell.text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    } else {
      out += char(c);
    }
  }
  return out;
}

// Aligns the columns on the first rows it holds back, then prints every
// later row with the same widths (a longer value widens only its line).
class TablePrinter : public RowPrinter {
 public:
  static constexpr size_t kHeldRows = 500;

  TablePrinter(const std::vector<std::string>& names, const std::vector<bool>& numeric, FILE* out)
      : names_(names), numeric_(numeric), out_(out), widths_(names.size()) {
    for (size_t i = 0; i < names.size(); ++i) widths_[i] = displayWidth(names[i]);
  }
  void row(const std::vector<Cell>& cells) override {
    std::vector<std::string> texts(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) texts[i] = tableText(cells[i]);
    if (printed_) {
      line(texts);
      return;
    }
    for (size_t i = 0; i < texts.size(); ++i) {
      widths_[i] = std::max(widths_[i], displayWidth(texts[i]));
    }
    held_.push_back(std::move(texts));
    if (held_.size() == kHeldRows) flush();
  }
  void finish() override {
    if (!printed_) flush();
  }

 private:
  void flush() {
    printed_ = true;
    line(names_);
    std::string rule;
    for (size_t i = 0; i < widths_.size(); ++i) {
      if (i) rule += "  ";
      rule.append(widths_[i], '-');
    }
    std::fprintf(out_, "%s\n", rule.c_str());
    for (const auto& texts : held_) line(texts);
    held_.clear();
  }
  void line(const std::vector<std::string>& texts) {
    std::string out;
    for (size_t i = 0; i < texts.size(); ++i) {
      if (i) out += "  ";
      const size_t width = displayWidth(texts[i]);
      const size_t pad = widths_[i] > width ? widths_[i] - width : 0;
      if (numeric_[i]) out.append(pad, ' ');
      out += texts[i];
      if (!numeric_[i] && i + 1 < texts.size()) out.append(pad, ' ');
    }
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), out_);
  }

  std::vector<std::string> names_;
  std::vector<bool> numeric_;
  FILE* out_;
  std::vector<size_t> widths_;
  std::vector<std::vector<std::string>> held_;
  bool printed_ = false;
};

class NonePrinter : public RowPrinter {
 public:
  void row(const std::vector<Cell>&) override {}
};

}  // namespace

std::unique_ptr<RowPrinter> makePrinter(OutputFormat format, const std::vector<std::string>& names,
                                        const std::vector<bool>& numeric, FILE* out) {
  switch (format) {
    case OutputFormat::kTable:
      return std::make_unique<TablePrinter>(names, numeric, out);
    case OutputFormat::kCsv:
      return std::make_unique<CsvPrinter>(names, out);
    case OutputFormat::kJsonl:
      return std::make_unique<JsonlPrinter>(names, out);
    case OutputFormat::kNone:
      break;
  }
  return std::make_unique<NonePrinter>();
}

}  // namespace kova::tool
