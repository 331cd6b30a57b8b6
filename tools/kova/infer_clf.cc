// Common Log Format lines: the seven standard columns, the time as a
// TIMESTAMP read with ANYDTDTM, the others typed by their values.
#include <memory>

#include "kova/metadata.h"
#include "tools/kova/infer_formats.h"
#include "tools/kova/infer_types.h"

namespace kova::tool::infer {
namespace {

const char* const kClfNames[7] = {"host", "identity", "user", "time", "request", "status", "size"};

class ClfInference : public Inference {
 public:
  bool start(std::string_view, bool, Findings*, std::string*) override { return true; }

  size_t feed(std::string_view text, bool final, bool, bool) override {
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string_view::npos) {
        if (!final) break;
        end = text.size();
      }
      std::string_view line = text.substr(at, end - at);
      at = end + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty()) continue;  // the ripper skips empty lines too
      std::string_view fields[7];
      if (!splitClfLine(line, fields)) {
        ++other_;
        continue;
      }
      ++lines_;
      for (int k = 0; k < 7; ++k) profiles_[k].observe(fields[k]);
    }
    return std::min(at, text.size());
  }

  bool finish(Findings* f, std::string* error) override {
    if (lines_ == 0) {
      *error = "no Common Log Format line in the sample";
      return false;
    }
    f->records += lines_;
    f->dialectEvidence.push_back(std::to_string(lines_) + " Common Log Format lines");
    if (other_) {
      f->warnings.push_back(std::to_string(other_) +
                            " lines are not Common Log Format lines; their fields rip as the "
                            "ripper cuts them");
    }
    for (int k = 0; k < 7; ++k) {
      ColumnFinding column;
      column.name = kClfNames[k];
      profiles_[k].decide(&column, &f->warnings);
      if (k == 3) {
        // The bracketed time: dd/Mon/yyyy:hh:mm:ss +zzzz, read by ANYDTDTM.
        if (column.type != kTypeTimestamp) column.charlength = 0;
        column.type = kTypeTimestamp;
        column.cType = kCTypeTimestamp;
        column.informat = "ANYDTDTM.";
        column.format.clear();
        column.bytelength = 0;
        column.evidence.push_back("the log's time field: a TIMESTAMP read with ANYDTDTM.");
      }
      f->columns.push_back(std::move(column));
    }
    return true;
  }

 private:
  ColumnProfile profiles_[7];
  uint64_t lines_ = 0;
  uint64_t other_ = 0;
};

}  // namespace

std::unique_ptr<Inference> makeClfInference() { return std::make_unique<ClfInference>(); }

}  // namespace kova::tool::infer
