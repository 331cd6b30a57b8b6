#include "tools/kova/loss_check.h"

#include <cstdio>

#include "tools/kova/column_problems.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/rejects.h"
#include "tools/kova/utf8_repair.h"

namespace kova::tool {

const KovaDiagnosticsOps LossCheck::kOps = {&LossCheck::onLog, &LossCheck::onStatus};

LossCheck::LossCheck(const char* command, const LossOptions& options, KovaDiagnostics* forward,
                     RejectLog* rejects)
    : command_(command), options_(options), forward_(forward), rejects_(rejects), ledger_(command) {
  sink_.abi.base.ops = &kOps;
  sink_.abi.reject = &LossCheck::onReject;
  sink_.owner = this;
}

LossCheck::~LossCheck() = default;

bool LossCheck::checkColumns(KovaRipper* ripper, const std::string& document) {
  const std::vector<ColumnProblem> problems = columnProblems(ripper->table, ripper);
  warnColumnProblems(command_.c_str(), document, problems);
  if (!options_.strict || problems.empty()) return true;
  std::fprintf(stderr, "kova %s: --strict: %s: %s\n", command_.c_str(), document.c_str(),
               problemText(problems.front()).c_str());
  return false;
}

void LossCheck::start(KovaRipper* ripper, KovaNls* nls, uint64_t base) {
  ripper_ = ripper;
  base_ = base;
  blockOffset_ = base;
  reader_ = std::make_unique<RowReader>(ripper, nls, true);
}

void LossCheck::taken(const uint8_t* rows, uint64_t count, uint64_t firstRow) {
  if (!reader_) return;
  const char* shown = command_ == "rip" ? "invalid UTF-8 printed as U+FFFD"
                                        : "invalid UTF-8 in a text value, written as it was read";
  for (uint64_t r = 0; r < count; ++r) {
    size_t column = 0;
    if (uint64_t n = reader_->invalidSequences(rows + r * ripper_->rowLength, &column)) {
      ledger_.note(Loss::kInvalidBytes, n, -1, int32_t(column + 1),
                   "row " + std::to_string(firstRow + r + 1) + ": " + shown);
    }
  }
}

void LossCheck::beforeEnd(uint64_t end) {
  if (!ripper_) return;
  // A qualifier as the last byte closed its field (state 2).
  if (open_ && ripper_->qualifierState == 1) {
    ledger_.note(Loss::kCutAtEnd, 1, openInBlock_ ? -1 : openOffset_, openColumn_,
                 "the input ends inside a quoted field begun " + begun(openOffset_, openInBlock_) +
                     " (" + std::to_string(openLines_) + " line ends taken into it)");
  }
  noteCutRecord(ripper_, end, &ledger_);
}

std::string LossCheck::begun(int64_t offset, bool inBlock) {
  if (!inBlock || offset < 0) return "there";
  return "in the block at byte " + std::to_string(offset);
}

void LossCheck::finish(const std::string& file, int* result) const {
  if (!ledger_.any()) return;
  if (options_.strict) {
    std::fprintf(stderr, "kova %s: --strict: %s\n", command_.c_str(), ledger_.first(file).c_str());
    if (*result == kExitOk) *result = kExitFailed;
  } else {
    ledger_.warn(file);
  }
}

void LossCheck::qualifiedLines(const KovaReject& reject, bool open) {
  int64_t offset = inFile(reject.fieldOffset);
  bool inBlock = false;
  if (offset < 0) {
    // A transcoded table's ripper cannot say where: the block the field was
    // first seen open in, when it was.
    inBlock = open_ ? openInBlock_ : open;
    offset = open_ ? openOffset_ : (open ? int64_t(blockOffset_) : -1);
  }
  const int32_t column = int32_t(reject.column + 1);
  if (open) {
    open_ = true;
    openOffset_ = offset;
    openInBlock_ = inBlock;
    openColumn_ = column;
    openLines_ = reject.lineEnds;
  }
  if (reject.lineEnds > options_.maxQuotedLines && !openReported_) {
    openReported_ = true;
    ledger_.note(Loss::kLongQualified, 1, inBlock ? -1 : offset, column,
                 "a quoted field begun " + begun(offset, inBlock) +
                     " has run on across more than " + std::to_string(options_.maxQuotedLines) +
                     " line ends (" + std::to_string(reject.lineEnds) + (open ? " so far)" : ")"));
  }
  if (!open) {
    open_ = false;
    openReported_ = false;
  }
}

void LossCheck::rejected(const KovaRipper* ripper, const KovaReject& reject) {
  if (reject.reason == kRejectOpenQualified || reject.reason == kRejectQualifiedLineEnds) {
    qualifiedLines(reject, reject.reason == kRejectOpenQualified);
    return;  // news of the parser's state, not a value
  }
  // A "-" is how a log line says a field has no value: a null, not a loss.
  if (ripper->table->recfm == kRecfmClf && reject.reason == kRejectNotReadable &&
      reject.fieldLength == 1 && reject.field && reject.field[0] == '-') {
    return;
  }
  std::string text(reinterpret_cast<const char*>(reject.field),
                   reject.field && reject.fieldLength > 0 ? size_t(reject.fieldLength) : 0);
  const uint32_t recfm = ripper->table->recfm;
  std::string shown;
  if ((recfm == kRecfmFixed || recfm == kRecfmVarbin) && !RejectLog::printable(text)) {
    // Binary bytes read best as hex.
    shown = "bytes " + RejectLog::hex(text.substr(0, 20)) + (text.size() > 20 ? "..." : "");
  } else {
    if (text.size() > 40) text = text.substr(0, 40) + "...";
    repairUtf8(&text);
    shown = jsonString(text);
  }
  const int64_t record = inFile(reject.recordOffset);
  if (reject.reason == kRejectNotReadable) {
    ledger_.note(Loss::kNotRead, 1, record, int32_t(reject.column + 1),
                 shown + " is no value of its column's type; stored null", true);
  } else if (reject.reason == kRejectBeyondLastColumn) {
    ledger_.note(Loss::kBeyondLastColumn, 1, record, int32_t(reject.column + 1),
                 shown + ": the table has " + std::to_string(ripper->table->columnCount) +
                     " columns; the field is dropped",
                 true);
  }
  if (rejects_) rejects_->write(reject, int64_t(base_));
}

void LossCheck::onReject(KovaRejectDiagnostics* self, KovaRipper* ripper,
                         const KovaReject* reject) {
  reinterpret_cast<Sink*>(self)->owner->rejected(ripper, *reject);
}

void LossCheck::onLog(KovaDiagnostics* context, int32_t level, const char16_t* format,
                      int64_t formatLength, va_list args) {
  KovaDiagnostics* forward = reinterpret_cast<Sink*>(context)->owner->forward_;
  if (forward) forward->ops->log(forward, level, format, formatLength, args);
}

void LossCheck::onStatus(KovaDiagnostics* context, int32_t level, KovaStatus status) {
  KovaDiagnostics* forward = reinterpret_cast<Sink*>(context)->owner->forward_;
  if (forward) forward->ops->reportStatus(forward, level, status);
}

}  // namespace kova::tool
