// Splitting delimited UTF-8 text into records and fields by the ripper's
// rules: a field ends at the separator, a record at CR, LF or CR LF; a field
// that begins with the qualifier runs to the closing one, may hold
// separators and line ends, writes a qualifier as two, and keeps text that
// follows its closing qualifier. Used by the sniffer on its sample.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova::tool::infer {

class RecordSplitter {
 public:
  RecordSplitter(uint8_t separator, uint8_t qualifier);

  // Calls onRecord(const std::vector<std::string_view>& fields) for every
  // complete record of text and returns the bytes used. Unless final, a
  // record without its line end is left for the next call (it is not
  // used). Empty lines give no record; they are counted. Field views are
  // valid during the call only.
  template <typename OnRecord>
  size_t split(std::string_view text, bool final, OnRecord&& onRecord) {
    size_t at = 0;
    while (at < text.size()) {
      size_t next = record(text, at, final);
      if (next == kIncomplete) break;
      if (!(fields_.size() == 1 && fields_[0].empty() && !qualified_)) {
        onRecord(fields_);
      } else {
        ++emptyLines_;
      }
      at = next;
    }
    return at;
  }

  uint64_t crlf() const { return crlf_; }
  uint64_t lf() const { return lf_; }
  uint64_t cr() const { return cr_; }
  uint64_t emptyLines() const { return emptyLines_; }
  // Fields that began with the qualifier.
  uint64_t qualifiedFields() const { return qualifiedFields_; }

 private:
  static constexpr size_t kIncomplete = SIZE_MAX;
  // Reads the record at text[at]: its fields into fields_; the offset after
  // its line end, or kIncomplete.
  size_t record(std::string_view text, size_t at, bool final);
  size_t findTerminator(std::string_view text, size_t from) const;

  uint8_t separator_;
  uint8_t qualifier_;
  bool isTerminator_[256] = {};
  std::vector<std::string_view> fields_;
  std::vector<std::string> owned_;  // dequalified fields with doubled qualifiers
  bool qualified_ = false;          // the record's first field was qualified
  uint64_t crlf_ = 0, lf_ = 0, cr_ = 0, emptyLines_ = 0, qualifiedFields_ = 0;
};

}  // namespace kova::tool::infer
