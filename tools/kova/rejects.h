// `kova rip --rejects FILE --max-rejects N`: the values a ripper could not
// store as read, one JSON line each (file, offset of the record, offset of
// the field, record, column, text, reason, and for a binary field that is
// not printable text its bytes in hex). The loss sink (loss_sink.h),
// the one reject diagnostics a ripper is created with, hands every rejected
// value here after counting it. One per run, on the ripping thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"

namespace kova::tool {

class RejectLog {
 public:
  // out: where the lines go (null: only counted); limit: stop after this
  // many (UINT64_MAX: never); header: record lines before the first row.
  RejectLog(FILE* out, std::string file, uint64_t limit, uint64_t header,
            std::vector<std::string> columns);
  RejectLog(const RejectLog&) = delete;
  RejectLog& operator=(const RejectLog&) = delete;

  // A rejected value; base: bytes of the file before the input the ripper
  // was fed (a byte-order mark skipped), added to its offsets.
  void write(const KovaReject& reject, int64_t base);
  // FIXED and VARBIN tables: a field whose bytes are not printable text gets
  // a "hex" member too.
  void setBinary(bool binary) { binary_ = binary; }
  // The rows handed back before the current ripBlock or flushPending call.
  void setRowsBefore(uint64_t rows) { rowsBefore_ = rows; }
  uint64_t count() const { return count_; }
  bool limitReached() const { return count_ >= limit_; }
  // The 0-based row of the value that reached the limit.
  uint64_t limitRow() const { return limitRow_; }

  static const char* reasonText(uint32_t reason);
  // Whether bytes are valid UTF-8 without control characters.
  static bool printable(std::string_view bytes);
  // The bytes as upper-case hex digits, two per byte.
  static std::string hex(std::string_view bytes);

 private:
  FILE* out_;
  std::string file_;
  uint64_t limit_;
  uint64_t header_;
  std::vector<std::string> columns_;
  uint64_t rowsBefore_ = 0;
  uint64_t count_ = 0;
  uint64_t limitRow_ = UINT64_MAX;
  bool binary_ = false;
};

}  // namespace kova::tool
