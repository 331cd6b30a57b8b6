// Delimited text: the field separator, the text qualifier, the line ends,
// whether the first line is a header, the column names, and each column's
// type from its profile. Text is UTF-8 (the sample decoded).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kova/infer.h"
#include "tools/kova/infer_records.h"
#include "tools/kova/infer_types.h"

namespace kova::tool::infer {

class DelimitedInference : public Inference {
 public:
  // Decides the dialect and the header from head, the start of the file
  // (whole: head is all of it). False and *error when the text is no table
  // (empty, binary, ragged rows).
  bool start(std::string_view head, bool whole, Findings* findings, std::string* error) override;
  // Profiles the records of text and returns the bytes used (a record not
  // ended unless final is left). fromStart: text begins at the file's start
  // (the header is skipped). span: text is a piece from inside the file;
  // records whose field count differs from the table's are set aside.
  size_t feed(std::string_view text, bool final, bool fromStart, bool span) override;
  // Columns and evidence into findings.
  bool finish(Findings* findings, std::string* error) override;

  // The separator that gives the most consistent field count over the
  // records of text, and the evidence (exposed for tests).
  static uint8_t chooseSeparator(std::string_view text, std::vector<std::string>* evidence,
                                 uint32_t* fieldCount);

 private:
  uint8_t separator_ = 0;
  uint8_t qualifier_ = 0;
  uint32_t columns_ = 0;
  bool header_ = false;
  std::vector<std::string> names_;
  std::vector<ColumnProfile> profiles_;
  std::unique_ptr<RecordSplitter> splitter_;
  uint64_t records_ = 0;
  uint64_t longer_ = 0;     // records with more fields than columns
  uint64_t shorter_ = 0;    // records with fewer
  uint64_t setAside_ = 0;   // span records of another field count
  bool multiline_ = false;  // a field of the head holds a line end
  uint64_t spansSkipped_ = 0;
};

// Column names made valid and unique: letters, digits and underscores,
// not starting with a digit; empty ones become cN (N from 1).
std::vector<std::string> columnNames(const std::vector<std::string>& header, size_t count);

}  // namespace kova::tool::infer
