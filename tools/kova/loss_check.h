// The losses of one rip, for kova rip and kova convert alike: the one
// KovaRejectDiagnostics a ripper is created with (kRipperReportRejects),
// which counts in the ledger the values the ripper could not read, the
// fields beyond the last column and the qualified fields over
// --max-quoted-lines, and hands each rejected value on to the --rejects log
// when there is one; the invalid text of the rows taken; what the end of the
// input cut; and, after the summary line, one warning per kind or (with
// --strict) exit 1 naming the first loss. Lives as long as the ripper.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

#include "kova/ripper.h"
#include "tools/kova/rip_losses.h"
#include "tools/kova/row_reader.h"

namespace kova::tool {

class RejectLog;

class LossCheck {
 public:
  // command: "rip" or "convert"; forward: where log lines and statuses go;
  // rejects: the --rejects log (null: none).
  LossCheck(const char* command, const LossOptions& options, KovaDiagnostics* forward,
            RejectLog* rejects);
  LossCheck(const LossCheck&) = delete;
  LossCheck& operator=(const LossCheck&) = delete;
  ~LossCheck();

  // What createRipper takes with kRipperReportRejects in its options.
  KovaDiagnostics* diagnostics() { return &sink_.abi.base; }

  // After the ripper is bound: warns of columns no row can carry a value in;
  // false (the reason printed) when --strict refuses them.
  bool checkColumns(KovaRipper* ripper, const std::string& document);
  // Before the first block: nls reads text in other encodings; base: bytes
  // of the file before the input fed (a byte-order mark skipped).
  void start(KovaRipper* ripper, KovaNls* nls, uint64_t base);
  // Before each ripBlock: where the block begins in the file.
  void beforeBlock(uint64_t offset) {
    blockOffset_ = offset;
    if (ripper_ && ripper_->qualifierState == 0) open_ = false;
  }
  // Rows taken from the ripper (printed, burned or counted): their invalid
  // text is counted. firstRow: rows taken before them.
  void taken(const uint8_t* rows, uint64_t count, uint64_t firstRow);
  // Before flushPending, end being the file's length: a qualified field still
  // open and a FIXED record cut short.
  void beforeEnd(uint64_t end);

  const LossLedger& ledger() const { return ledger_; }
  // After the summary line: one warning per kind of loss, or with --strict
  // the first loss named and *result 1 (when it was 0).
  void finish(const std::string& file, int* result) const;

 private:
  struct Sink {
    KovaRejectDiagnostics abi;
    LossCheck* owner;
  };
  static void onReject(KovaRejectDiagnostics* self, KovaRipper* ripper, const KovaReject* reject);
  static void onLog(KovaDiagnostics* context, int32_t level, const char16_t* format,
                    int64_t formatLength, va_list args);
  static void onStatus(KovaDiagnostics* context, int32_t level, KovaStatus status);
  static const KovaDiagnosticsOps kOps;
  void rejected(const KovaRipper* ripper, const KovaReject& reject);
  void qualifiedLines(const KovaReject& reject, bool open);
  // A module offset as a file offset (-1 unknown).
  int64_t inFile(int64_t offset) const { return offset >= 0 ? offset + int64_t(base_) : -1; }
  // "there", or where a field of a transcoded table was first seen open.
  static std::string begun(int64_t offset, bool inBlock);

  Sink sink_;
  std::string command_;
  LossOptions options_;
  KovaDiagnostics* forward_;
  RejectLog* rejects_;
  LossLedger ledger_;
  KovaRipper* ripper_ = nullptr;
  std::unique_ptr<RowReader> reader_;
  uint64_t base_ = 0;
  uint64_t blockOffset_ = 0;
  // The qualified field the last block ended inside.
  bool open_ = false;
  bool openReported_ = false;  // already counted over --max-quoted-lines
  int64_t openOffset_ = -1;
  bool openInBlock_ = false;  // openOffset_ is the block's, not the field's
  int32_t openColumn_ = 0;
  uint64_t openLines_ = 0;
};

}  // namespace kova::tool
