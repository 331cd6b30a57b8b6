// Columns met by name in records (JSON members, XML child elements), kept in
// first-seen order with a profile each; shared by the JSON and XML sniffers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/kova/infer.h"
#include "tools/kova/infer_types.h"

namespace kova::tool::infer {

struct NamedColumn {
  std::string name;
  ColumnProfile profile;
  uint64_t seen = 0;    // records that held it
  uint64_t nested = 0;  // times it held objects, arrays or child elements
};

class NamedColumns {
 public:
  // The column of that name, added when new.
  size_t indexOf(const std::string& name);
  NamedColumn& operator[](size_t index) { return columns_[index]; }
  size_t size() const { return columns_.size(); }
  // The columns into findings: names made valid, the original name as the
  // tag, missing values counted as nulls; nested ones are left out with a
  // warning that calls them what ("member", "element").
  void finish(uint64_t records, const char* what, const char* nestedAs, Findings* findings) const;

 private:
  std::vector<NamedColumn> columns_;
  std::map<std::string, size_t> index_;
};

}  // namespace kova::tool::infer
