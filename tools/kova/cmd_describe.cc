// kova describe DOC [--image] [--output] [--json] [--char-expansion X]
//                   [--time-scale] [--null-as-missing]
// Creates a ripper (or a burner) for the document's table, describes and
// binds it, and prints the row layout: where each column's value and
// indicator lie, its types, and the informat or format bound to it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "src/metadata/vocabulary.h"
#include "tools/kova/column_problems.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/session.h"
#include "tools/kova/table_file.h"
#include "tools/kova/table_ripper.h"

namespace kova::tool {
namespace {

struct DescribeArgs {
  std::string document;
  KovaRipperOptions options{};
  bool json = false;
};

const char* sqlTypeName(int32_t code) {
  switch (code) {
    case kSqlChar:
      return "CHAR";
    case kSqlNumeric:
      return "NUMERIC";
    case kSqlDecimal:
      return "DECIMAL";
    case kSqlInteger:
      return "INTEGER";
    case kSqlSmallint:
      return "SMALLINT";
    case kSqlDouble:
      return "DOUBLE";
    case kSqlVarchar:
      return "VARCHAR";
    case kSqlDate:
      return "DATE";
    case kSqlTime:
      return "TIME";
    case kSqlTimestamp:
      return "TIMESTAMP";
    case kSqlBinary:
      return "BINARY";
    case kSqlBigint:
      return "BIGINT";
    case kSqlTinyint:
      return "TINYINT";
    default:
      return "unsupported";
  }
}

const char* storageTypeName(uint32_t code) {
  switch (code) {
    case kStorageChar:
      return "char";
    case kStorageBinary:
      return "binary";
    case kStorageDecimal:
      return "decimal";
    case kStorageDouble:
      return "double";
    case kStorageInt64:
      return "int64";
    case kStorageInt32:
      return "int32";
    case kStorageInt16:
      return "int16";
    case kStorageInt8:
      return "int8";
    case kStorageDateRecord:
      return "date";
    case kStorageTimeRecord:
      return "time";
    case kStorageTimestampRecord:
      return "timestamp";
    default:
      return "-";
  }
}

std::string text(const char16_t* value, int64_t length) {
  return value && length > 0 ? toUtf8({value, size_t(length)}) : std::string();
}

uint32_t indicatorBytes(uint32_t code) {
  code &= kIndicatorWidthMask;
  return code == kIndicatorWidth8 ? 8 : code;
}

// "ANYDTDTE. (w0 d0)", "$5.2 (not bound)", or "-".
std::string bindingText(const KovaColumnState& state) {
  std::string name = text(state.formatName, state.formatNameLength);
  if (name.empty()) return "-";
  if (!state.formatObject) return name + " (not bound)";
  return name + " (w" + std::to_string(state.formatObject->width) + " d" +
         std::to_string(state.formatObject->decimals) + ")";
}

std::string bindingJson(const KovaRipper* ripper, const KovaColumnState& state) {
  std::string name = text(state.formatName, state.formatNameLength);
  if (name.empty()) return "null";
  std::string out = "{\"kind\": ";
  out += ripper->output ? "\"format\"" : "\"informat\"";
  out += ", \"name\": " + jsonString(name);
  out += ", \"bound\": ";
  out += state.formatObject ? "true" : "false";
  if (state.formatObject) {
    out += ", \"width\": " + std::to_string(state.formatObject->width);
    out += ", \"decimals\": " + std::to_string(state.formatObject->decimals);
  }
  return out + "}";
}

void pad(std::string* line, const std::string& cell, size_t width, bool right = false) {
  if (right) line->append(width > cell.size() ? width - cell.size() : 0, ' ');
  *line += cell;
  if (!right) line->append(width > cell.size() ? width - cell.size() : 0, ' ');
  *line += "  ";
}

// Rows of cells, printed as aligned columns; cells of numeric columns are
// aligned right.
void printTable(const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& numeric) {
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line = "  ";
    for (size_t i = 0; i < row.size(); ++i) pad(&line, row[i], widths[i], numeric[i]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
  }
}

void printText(const DescribeArgs& args, const KovaObject* table, const KovaRipper* ripper,
               const KovaRowLayout* layout) {
  std::printf("%s: %s table, %s %s, %u column%s in the layout, row length %llu\n",
              args.document.c_str(), toUtf8(recfmName(table->recfm)).c_str(),
              ripper->rowImage ? "row-image" : "typed", ripper->output ? "burner" : "ripper",
              layout->layoutCount, layout->layoutCount == 1 ? "" : "s",
              static_cast<unsigned long long>(layout->rowLength));
  if (layout->layoutCount == 0) return;
  const char* binding = ripper->output ? "format" : "informat";
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> numeric;
  if (ripper->rowImage) {
    rows.push_back({"#", "ord", "name", "type", "offset", "length", binding});
    numeric = {true, true, false, false, true, true, false};
  } else {
    rows.push_back(
        {"#", "ord", "name", "sql", "storage", "octets", "data", "ind", "width", binding});
    numeric = {true, true, false, false, false, true, true, true, true, false};
  }
  uint32_t number = 0;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    const KovaColumnState& state = ripper->columns[i];
    if (!state.entry) continue;
    const KovaColumn* column = state.column;
    std::vector<std::string> row = {std::to_string(++number), std::to_string(i + 1),
                                    text(column->name, column->nameLength)};
    if (ripper->rowImage) {
      const KovaRowImageEntry& e = *state.imageEntry;
      row.push_back(toUtf8(typeName(column->type)));
      row.push_back(std::to_string(e.offset));
      row.push_back(e.length == kRowImageNumber ? "8 (double)" : std::to_string(e.length));
    } else {
      const KovaLayoutEntry& e = *state.typedEntry;
      row.push_back(e.sqlType == 0 ? "unsupported"
                                   : std::string(sqlTypeName(e.sqlType)) + " (" +
                                         std::to_string(e.sqlType) + ")");
      row.push_back(storageTypeName(e.storageType));
      row.push_back(std::to_string(e.octetLength));
      row.push_back(std::to_string(e.dataOffset));
      row.push_back(std::to_string(e.indicatorOffset));
      row.push_back(std::to_string(indicatorBytes(e.indicatorWidth)));
    }
    row.push_back(bindingText(state));
    rows.push_back(std::move(row));
  }
  std::printf("\n");
  printTable(rows, numeric);
}

void printJson(const DescribeArgs& args, const KovaObject* table, const KovaRipper* ripper,
               const KovaRowLayout* layout) {
  std::string out = "{\n";
  out += "  \"document\": " + jsonString(args.document) + ",\n";
  out += std::string("  \"object\": ") + (ripper->output ? "\"burner\"" : "\"ripper\"") + ",\n";
  out += std::string("  \"mode\": ") + (ripper->rowImage ? "\"rowImage\"" : "\"typed\"") + ",\n";
  out += "  \"recfm\": " + std::to_string(table->recfm) + ",\n";
  out += "  \"recfmName\": " + jsonString(toUtf8(recfmName(table->recfm))) + ",\n";
  out += "  \"layoutCount\": " + std::to_string(layout->layoutCount) + ",\n";
  out += "  \"rowLength\": " + std::to_string(layout->rowLength) + ",\n";
  out += "  \"columns\": [";
  bool first = true;
  uint32_t number = 0;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    const KovaColumnState& state = ripper->columns[i];
    if (!state.entry) continue;
    const KovaColumn* column = state.column;
    out += first ? "\n" : ",\n";
    first = false;
    out += "    {\"name\": " + jsonString(text(column->name, column->nameLength));
    auto field = [&out](const char* name, const std::string& value) {
      out += std::string(", \"") + name + "\": " + value;
    };
    if (ripper->rowImage) {
      const KovaRowImageEntry& e = *state.imageEntry;
      field("columnNumber", std::to_string(++number));
      field("ordinal", std::to_string(i + 1));
      field("type", jsonString(toUtf8(typeName(column->type))));
      field("offset", std::to_string(e.offset));
      field("length", std::to_string(e.length));
    } else {
      const KovaLayoutEntry& e = *state.typedEntry;
      field("columnNumber", std::to_string(e.columnNumber));
      field("ordinal", std::to_string(e.ordinal));
      field("sqlType", std::to_string(e.sqlType));
      field("sqlTypeName", e.sqlType == 0 ? "null" : jsonString(sqlTypeName(e.sqlType)));
      field("storageType", std::to_string(e.storageType));
      field("octetLength", std::to_string(e.octetLength));
      field("dataOffset", std::to_string(e.dataOffset));
      field("indicatorOffset", std::to_string(e.indicatorOffset));
      field("indicatorWidth", std::to_string(e.indicatorWidth));
      field("columnSize", std::to_string(e.columnSize));
      field("decimalDigits", std::to_string(e.decimalDigits));
      field("encoding", std::to_string(e.encoding));
    }
    field("format", bindingJson(ripper, state));
    out += "}";
  }
  out += first ? "]\n}\n" : "\n  ]\n}\n";
  std::fputs(out.c_str(), stdout);
}

// Parses the arguments; a usage error has been printed when it returns false.
bool parseArgs(std::span<char*> args, DescribeArgs* parsed, int* exitCode) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--image") {
      parsed->options.flags |= kRipperRowImage;
    } else if (arg == "--output") {
      parsed->options.flags |= kRipperOutput;
    } else if (arg == "--json") {
      parsed->json = true;
    } else if (arg == "--time-scale") {
      parsed->options.flags |= kRipperTimePrecisionFromScale;
    } else if (arg == "--null-as-missing") {
      parsed->options.flags |= kRipperNullAsMissing;
    } else if (arg == "--char-expansion") {
      if (i + 1 == args.size()) {
        *exitCode = usageError("describe", "--char-expansion needs a number");
        return false;
      }
      char* end = nullptr;
      double value = std::strtod(args[++i], &end);
      if (end == args[i] || *end != '\0' || !std::isfinite(value) || value < 0) {
        *exitCode = usageError("describe", std::string("--char-expansion: not a number of bytes "
                                                       "per character: ") +
                                               args[i]);
        return false;
      }
      parsed->options.charExpansion = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *exitCode = usageError("describe", "unknown option " + std::string(arg));
      return false;
    } else if (!parsed->document.empty()) {
      *exitCode = usageError("describe", "takes one DOC");
      return false;
    } else {
      parsed->document = std::string(arg);
    }
  }
  if (parsed->document.empty()) {
    *exitCode = usageError("describe", "missing DOC");
    return false;
  }
  return true;
}

}  // namespace

int runDescribe(std::span<char*> args) {
  DescribeArgs parsed;
  int exitCode = kExitOk;
  if (!parseArgs(args, &parsed, &exitCode)) return exitCode;
  Session session;
  KovaObject* table = openTable(session, "describe", parsed.document);
  if (!table) return kExitFailed;
  const KovaRowLayout* layout = nullptr;
  KovaRipper* ripper =
      openRipper(session, table, parsed.options, "describe", parsed.document, &layout);
  int result = kExitFailed;
  if (ripper) {
    warnColumnProblems("describe", parsed.document, columnProblems(table, ripper));
    if (parsed.json) {
      printJson(parsed, table, ripper, layout);
    } else {
      printText(parsed, table, ripper, layout);
    }
    result = kExitOk;
  }
  if (ripper) ripper->ops.destroy(ripper);
  table->destroy(table);
  return result;
}

}  // namespace kova::tool
