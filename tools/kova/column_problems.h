// Columns of a table that no row can carry a value in: laid out as
// unsupported by describe (a type or length the row cannot hold), or a FIXED
// field lying outside the record. kova describe and kova rip warn of each;
// rip --strict refuses the table. Reads the table and a described ripper.
#pragma once

#include <string>
#include <vector>

#include "kova/ripper.h"

namespace kova::tool {

struct ColumnProblem {
  int32_t column = 0;  // 1-based in the table
  std::string name;
  std::string why;  // "its charlength -5 is outside 0 to 2147483647"
};

// REQUIRES: ripper described (its column states point at their entries).
std::vector<ColumnProblem> columnProblems(const KovaObject* table, const KovaRipper* ripper);

// "column 2 (note): its charlength -5 is outside 0 to 2147483647; null in every row"
std::string problemText(const ColumnProblem& problem);

// One warning line per problem on stderr: "kova COMMAND: DOCUMENT: warning: ...".
void warnColumnProblems(const char* command, const std::string& document,
                        const std::vector<ColumnProblem>& problems);

}  // namespace kova::tool
