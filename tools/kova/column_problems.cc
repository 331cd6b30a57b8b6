#include "tools/kova/column_problems.h"

#include <cstdio>
#include <limits>

#include "src/metadata/vocabulary.h"
#include "tools/kova/json.h"

namespace kova::tool {
namespace {

constexpr int64_t kLengthLimit = std::numeric_limits<int32_t>::max();

bool textType(uint32_t type) { return type == kTypeChar || type == kTypeVarchar; }

// Why describe laid the column out as unsupported, as far as the table tells.
std::string unsupportedReason(const KovaColumn* column) {
  const std::string type = toUtf8(typeName(column->type));
  if (textType(column->type) || column->type == kTypeBinary) {
    if (column->charlength < 0 || column->charlength > kLengthLimit) {
      return "its charlength " + std::to_string(column->charlength) + " is outside 0 to " +
             std::to_string(kLengthLimit);
    }
    if (column->bytelength < 0 || column->bytelength > kLengthLimit) {
      return "its bytelength " + std::to_string(column->bytelength) + " is outside 0 to " +
             std::to_string(kLengthLimit);
    }
    return "a " + type + " of that length cannot be laid out in a row";
  }
  if (type.empty()) return "its type " + std::to_string(column->type) + " is unknown";
  return "its type " + type + " cannot be laid out for this record format";
}

// The bytes a FIXED field takes in its record.
int64_t fixedWidth(const KovaColumn* column) {
  return column->bytelength > 0 ? column->bytelength : column->charlength;
}

}  // namespace

std::vector<ColumnProblem> columnProblems(const KovaObject* table, const KovaRipper* ripper) {
  std::vector<ColumnProblem> problems;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    const KovaColumn* column = table->columns[i];
    if (!column || column->dropped) continue;
    ColumnProblem problem;
    problem.column = i + 1;
    if (column->name && column->nameLength > 0) {
      problem.name = toUtf8({column->name, size_t(column->nameLength)});
    }
    const KovaColumnState* state = ripper->columns ? &ripper->columns[i] : nullptr;
    if (!ripper->rowImage && state && state->typedEntry && state->typedEntry->sqlType == 0) {
      problem.why = unsupportedReason(column);
    } else if (table->recfm == kRecfmFixed && !ripper->output) {
      const int64_t width = fixedWidth(column);
      int64_t end = 0;
      if (column->offset < 0 || width < 0 || __builtin_add_overflow(column->offset, width, &end) ||
          end > table->reclen) {
        problem.why = "its field at offset " + std::to_string(column->offset) + " (" +
                      std::to_string(width) + " bytes) lies outside the record of " +
                      std::to_string(table->reclen) + " bytes";
      }
    }
    if (!problem.why.empty()) problems.push_back(std::move(problem));
  }
  return problems;
}

std::string problemText(const ColumnProblem& problem) {
  std::string text = "column " + std::to_string(problem.column);
  if (!problem.name.empty()) text += " (" + problem.name + ")";
  return text + ": " + problem.why + "; null in every row";
}

void warnColumnProblems(const char* command, const std::string& document,
                        const std::vector<ColumnProblem>& problems) {
  for (const ColumnProblem& problem : problems) {
    std::fprintf(stderr, "kova %s: %s: warning: %s\n", command, document.c_str(),
                 problemText(problem).c_str());
  }
}

}  // namespace kova::tool
