// What kova rip reports beyond its rows: the options that bound memory and
// make losses fatal (--memory, --strict, --max-quoted-lines), the block size
// a memory budget allows, and a ledger of the losses of one rip (counted per
// kind, the first of each kind remembered with its file position) that
// prints one warning line per kind and adds the counts to the summary.
// Owned by cmd_rip.cc; one ledger per run.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kova/ripper.h"

namespace kova::tool {

struct LossOptions {
  bool strict = false;                    // any loss (or column null in every row) exits 1
  uint64_t memory = uint64_t(256) << 20;  // budget for one block's rows
  bool memoryGiven = false;
  uint64_t maxQuotedLines = UINT64_MAX;  // line ends a qualified field may run on across
};

// "65536", "64k", "1M", "2G" (binary multiples); 0 when the text is none of these.
uint64_t parseSize(std::string_view text);

// Takes --strict, --memory SIZE or --max-quoted-lines N at args[*i] (moving
// *i past a value). 1: taken; 0: not one of these; -1: a usage error, already
// printed, with *exitCode set.
int parseLossOption(std::span<char*> args, size_t* i, LossOptions* options, int* exitCode);

// The bytes to feed per ripBlock so that the rows one block can produce fit
// the budget: a block of n bytes completes at most n records (each ends in a
// byte of its own; FIXED: n / reclen) plus one carried, and the row block may
// be half as large again while it grows. At least 1.
uint64_t budgetBlockSize(const KovaRipper* ripper, uint64_t requested, uint64_t budget);

// The kinds of loss, in the order the summary and the warnings name them.
enum class Loss {
  kNotRead,           // a text that is no number, date or decimal for its column
  kInvalidBytes,      // invalid byte sequences replaced (in the rows or in the output)
  kBeyondLastColumn,  // fields after the table's last column
  kCutAtEnd,          // a record the end of the input cut short (or a qualified field left open)
  kLongQualified,     // a qualified field running on across more line ends than allowed
  kCount
};

class LossLedger {
 public:
  // Counts n losses of a kind; the first of a kind keeps where it was:
  // offset (byte of its record or field in the input, -1 unknown), column
  // (1-based, 0 none) and what happened.
  void note(Loss kind, uint64_t n, int64_t offset, int32_t column, std::string what);
  uint64_t count(Loss kind) const { return counts_[int(kind)]; }
  bool any() const;
  // ", 2 values not read, 1 field beyond the last column" (empty without losses).
  std::string summary() const;
  // One line per kind on stderr: "kova rip: FILE: warning: ...".
  void warn(const std::string& file) const;
  // The first loss, for --strict: "FILE: byte 120, column 3: ...".
  std::string first(const std::string& file) const;

  // Where the qualified field open at the end of the last block began, as
  // the ripper said (-1: it did not know or say).
  void setOpenQualified(int64_t offset) { openQualified_ = offset; }
  int64_t takeOpenQualified() {
    const int64_t offset = openQualified_;
    openQualified_ = -1;
    return offset;
  }

 private:
  struct First {
    int64_t offset = -1;
    int32_t column = 0;
    std::string what;
    uint64_t order = 0;
  };
  uint64_t counts_[int(Loss::kCount)] = {};
  First first_[int(Loss::kCount)];
  uint64_t noted_ = 0;
  int64_t openQualified_ = -1;
};

// Follows a DELIMITED or NATIVE ripper between blocks for a qualified field
// that stays open: where it began (as the ripper says through the ledger)
// and how many line ends it has taken in. For a transcoded table, whose
// ripper cannot say, the offset is that of the block the field began in.
class QualifiedWatch {
 public:
  QualifiedWatch(const KovaRipper* ripper, uint64_t maxLines);
  // After ripBlock fed block[0, n) ending at input offset end.
  void afterBlock(const uint8_t* block, size_t n, uint64_t end, LossLedger* ledger);
  // Before flushPending: notes a field still open at the end of the input.
  void atEnd(LossLedger* ledger);

 private:
  const KovaRipper* ripper_;
  uint64_t maxLines_;
  bool open_ = false;
  bool reported_ = false;
  uint64_t begun_ = 0;
  uint64_t lines_ = 0;
};

// The diagnostics a ripper is created with (kRipperReportRejects) so that
// the ledger counts the values it could not read and the fields beyond the
// last column; every reject then goes on to next (another reject sink, such
// as the --rejects log) when there is one, log lines and statuses to
// forward. Lives as long as the ripper.
class LossSink {
 public:
  LossSink(LossLedger* ledger, KovaDiagnostics* forward, KovaRejectDiagnostics* next);
  LossSink(const LossSink&) = delete;
  LossSink& operator=(const LossSink&) = delete;
  KovaDiagnostics* diagnostics() { return &sink_.abi.base; }

 private:
  struct Sink {
    KovaRejectDiagnostics abi;
    LossSink* owner;
  };
  static void onReject(KovaRejectDiagnostics* self, KovaRipper* ripper, const KovaReject* reject);
  static void onLog(KovaDiagnostics* context, int32_t level, const char16_t* format,
                    int64_t formatLength, va_list args);
  static void onStatus(KovaDiagnostics* context, int32_t level, KovaStatus status);
  static const KovaDiagnosticsOps kOps;
  Sink sink_;
  LossLedger* ledger_;
  KovaDiagnostics* forward_;
  KovaRejectDiagnostics* next_;
};

// Before flushPending: a FIXED record the input ended inside (the ripper
// drops it) is noted as cut, at its offset; end is the input's length.
void noteCutRecord(const KovaRipper* ripper, uint64_t end, LossLedger* ledger);

}  // namespace kova::tool
