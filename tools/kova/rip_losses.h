// What kova rip and kova convert report beyond their rows: the options that bound memory and
// make losses fatal (--memory, --strict, --max-quoted-lines), the block size
// a memory budget allows, and a ledger of the losses of one rip (counted per
// kind, the first of each kind remembered with its file position) that
// prints one warning line per kind and adds the counts to the summary.
// Used by kova rip and kova convert (through LossCheck, loss_check.h); one
// ledger per run.
#pragma once

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

// Takes --strict, --memory SIZE or --max-quoted-lines N at args[*i] (moving
// *i past a value). 1: taken; 0: not one of these; -1: a usage error, already
// printed, with *exitCode set.
// command: "rip" or "convert", for the message.
int parseLossOption(std::span<char*> args, size_t* i, LossOptions* options, int* exitCode,
                    const char* command);

// The bytes to feed per ripBlock so that the rows one block can produce fit
// the budget: a block of n bytes completes at most n records (each ends in a
// byte of its own; FIXED: n / reclen) plus one carried, and the row block may
// be half as large again while it grows. At least 1.
uint64_t budgetBlockSize(const KovaRipper* ripper, uint64_t requested, uint64_t budget);

// budgetBlockSize, with a note on stderr ("kova COMMAND: FILE: note: ...")
// when it had to shrink a block size the user gave, or below 64 KiB.
uint64_t budgetBlockSize(const char* command, const std::string& file, const KovaRipper* ripper,
                         uint64_t requested, bool given, uint64_t budget);

// The kinds of loss, in the order the summary and the warnings name them.
enum class Loss {
  kNotRead,           // a text that is no number, date or decimal for its column
  kInvalidBytes,      // invalid byte sequences in the text values ripped
  kBeyondLastColumn,  // fields after the table's last column
  kCutAtEnd,          // a record the end of the input cut short (or a qualified field left open)
  kLongQualified,     // a qualified field taking in more line ends than allowed
  kCount
};

class LossLedger {
 public:
  // command: "rip" or "convert", for the warnings.
  explicit LossLedger(std::string command = "rip") : command_(std::move(command)) {}
  // Counts n losses of a kind; the first of a kind keeps where it was:
  // offset (byte in the file, -1 unknown: of its record when ofRecord is
  // set, else where the loss itself began), column (1-based, 0 none) and
  // what happened.
  void note(Loss kind, uint64_t n, int64_t offset, int32_t column, std::string what,
            bool ofRecord = false);
  uint64_t count(Loss kind) const { return counts_[int(kind)]; }
  bool any() const;
  // ", 2 values not read, 1 field beyond the last column" (empty without losses).
  std::string summary() const;
  // One line per kind on stderr: "kova COMMAND: FILE: warning: ...".
  void warn(const std::string& file) const;
  // The first loss, for --strict: "FILE: record at byte 120, column 3: ...".
  std::string first(const std::string& file) const;

 private:
  struct First {
    int64_t offset = -1;
    int32_t column = 0;
    bool ofRecord = false;
    std::string what;
    uint64_t order = 0;
  };
  uint64_t counts_[int(Loss::kCount)] = {};
  First first_[int(Loss::kCount)];
  uint64_t noted_ = 0;
  std::string command_;
};

// Before flushPending: a FIXED record the input ended inside (the ripper
// drops it) is noted as cut, at its offset; end is the input's length.
void noteCutRecord(const KovaRipper* ripper, uint64_t end, LossLedger* ledger);

}  // namespace kova::tool
