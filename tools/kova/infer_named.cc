#include "tools/kova/infer_named.h"

#include <algorithm>

#include "tools/kova/infer_delimited.h"

namespace kova::tool::infer {

size_t NamedColumns::indexOf(const std::string& name) {
  auto [at, added] = index_.try_emplace(name, columns_.size());
  if (added) columns_.push_back(NamedColumn{name, ColumnProfile()});
  return at->second;
}

void NamedColumns::finish(uint64_t records, const char* what, const char* nestedAs,
                          Findings* f) const {
  std::vector<std::string> tags;
  for (const NamedColumn& c : columns_) tags.push_back(c.name);
  std::vector<std::string> names = columnNames(tags, tags.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    const NamedColumn& c = columns_[i];
    if (c.nested) {
      f->warnings.push_back(std::string(what) + " " + c.name + " " + nestedAs + " (" +
                            std::to_string(c.nested) +
                            " times); left out: the ripper reads plain values");
      continue;
    }
    ColumnFinding column;
    column.name = names[i];
    column.tag = c.name;
    c.profile.decide(&column, &f->warnings);
    column.nulls += records - std::min(records, c.seen);  // records without it are null there
    f->columns.push_back(std::move(column));
  }
}

}  // namespace kova::tool::infer
