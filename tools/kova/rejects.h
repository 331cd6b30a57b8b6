// `kova rip --rejects FILE --max-rejects N`: the values a ripper could not
// store as read, one JSON line each (file, offset, record, column, text,
// reason), taken from the module through its KovaRejectDiagnostics
// callback. One per run, on the ripping thread; it forwards log lines and
// statuses to the session's diagnostics.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kova/ripper.h"

namespace kova::tool {

class RejectLog {
 public:
  // out: where the lines go (null: only counted); limit: stop after this
  // many (UINT64_MAX: never); header: record lines before the first row.
  RejectLog(KovaDiagnostics* forward, FILE* out, std::string file, uint64_t limit, uint64_t header,
            std::vector<std::string> columns);
  RejectLog(const RejectLog&) = delete;
  RejectLog& operator=(const RejectLog&) = delete;

  // What createRipper takes as its diagnostics with kRipperReportRejects.
  KovaDiagnostics* diagnostics() { return &sink_.abi.base; }
  // The rows handed back before the current ripBlock or flushPending call.
  void setRowsBefore(uint64_t rows) { rowsBefore_ = rows; }
  uint64_t count() const { return count_; }
  bool limitReached() const { return count_ >= limit_; }
  // The 0-based row of the value that reached the limit.
  uint64_t limitRow() const { return limitRow_; }
  // The column names, once the ripper has described its layout.
  void setColumns(std::vector<std::string> columns) { columns_ = std::move(columns); }

  static const char* reasonText(uint32_t reason);

 private:
  struct Sink {
    KovaRejectDiagnostics abi;
    RejectLog* owner;
  };
  static void onReject(KovaRejectDiagnostics* self, KovaRipper* ripper, const KovaReject* reject);
  static void onLog(KovaDiagnostics* context, int32_t level, const char16_t* format,
                    int64_t formatLength, va_list args);
  static void onStatus(KovaDiagnostics* context, int32_t level, KovaStatus status);
  void write(const KovaReject& reject);

  static const KovaDiagnosticsOps kForwardOps;
  Sink sink_;
  KovaDiagnostics* forward_;
  FILE* out_;
  std::string file_;
  uint64_t limit_;
  uint64_t header_;
  std::vector<std::string> columns_;
  uint64_t rowsBefore_ = 0;
  uint64_t count_ = 0;
  uint64_t limitRow_ = UINT64_MAX;
};

}  // namespace kova::tool
