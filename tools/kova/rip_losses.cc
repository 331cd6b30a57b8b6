#include "tools/kova/rip_losses.h"

#include <cstdio>
#include <cstring>

#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/utf8_repair.h"

namespace kova::tool {
namespace {

constexpr const char* kNouns[int(Loss::kCount)][2] = {
    {"value not read", "values not read"},
    {"invalid byte sequence replaced", "invalid byte sequences replaced"},
    {"field beyond the last column", "fields beyond the last column"},
    {"record cut at the end", "records cut at the end"},
    {"qualified field over --max-quoted-lines", "qualified fields over --max-quoted-lines"},
};

std::string counted(Loss kind, uint64_t n) {
  return std::to_string(n) + " " + kNouns[int(kind)][n == 1 ? 0 : 1];
}

uint64_t lineEnds(const uint8_t* bytes, size_t n) {
  uint64_t count = 0;
  const uint8_t* end = bytes + n;
  while (bytes < end) {
    const void* lf = std::memchr(bytes, '\n', size_t(end - bytes));
    if (!lf) break;
    ++count;
    bytes = static_cast<const uint8_t*>(lf) + 1;
  }
  return count;
}

bool parseCount(std::string_view digits, uint64_t* value) {
  if (digits.empty() || digits.size() > 18 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  *value = 0;
  for (char c : digits) *value = *value * 10 + uint64_t(c - '0');
  return true;
}

}  // namespace

uint64_t parseSize(std::string_view text) {
  if (text.empty()) return 0;
  uint64_t multiple = 1;
  switch (text.back()) {
    case 'k':
    case 'K':
      multiple = uint64_t(1) << 10;
      break;
    case 'm':
    case 'M':
      multiple = uint64_t(1) << 20;
      break;
    case 'g':
    case 'G':
      multiple = uint64_t(1) << 30;
      break;
    default:
      break;
  }
  if (multiple != 1) text.remove_suffix(1);
  uint64_t value = 0;
  if (text.size() > 12 || !parseCount(text, &value)) return 0;
  return value * multiple;
}

int parseLossOption(std::span<char*> args, size_t* i, LossOptions* options, int* exitCode) {
  std::string_view arg = args[*i];
  if (arg == "--strict") {
    options->strict = true;
    return 1;
  }
  if (arg != "--memory" && arg != "--max-quoted-lines") return 0;
  if (*i + 1 == args.size()) {
    *exitCode = usageError("rip", std::string(arg) + " needs a value");
    return -1;
  }
  std::string_view value = args[++*i];
  if (arg == "--memory") {
    options->memory = parseSize(value);
    options->memoryGiven = true;
    if (options->memory < (uint64_t(1) << 20)) {
      *exitCode = usageError(
          "rip", "--memory: a size of at least 1M (\"256M\", \"2G\"), not " + std::string(value));
      return -1;
    }
    return 1;
  }
  if (!parseCount(value, &options->maxQuotedLines)) {
    *exitCode =
        usageError("rip", "--max-quoted-lines: a number of line ends, not " + std::string(value));
    return -1;
  }
  return 1;
}

uint64_t budgetBlockSize(const KovaRipper* ripper, uint64_t requested, uint64_t budget) {
  const uint64_t rowLength = ripper->rowLength > 0 ? ripper->rowLength : 1;
  // Rows the budget holds, with the growing row block's half again and the
  // carried and spare rows set aside.
  const uint64_t rows = budget / rowLength * 2 / 5;
  if (rows <= 3) return 1;
  uint64_t bytes = rows - 3;
  const KovaObject* table = ripper->table;
  if (table->recfm == kRecfmFixed && table->reclen > 0) {
    if (__builtin_mul_overflow(bytes, uint64_t(table->reclen), &bytes)) bytes = requested;
  }
  return bytes < requested ? bytes : requested;
}

void LossLedger::note(Loss kind, uint64_t n, int64_t offset, int32_t column, std::string what) {
  if (n == 0) return;
  const int k = int(kind);
  if (counts_[k] == 0) first_[k] = First{offset, column, std::move(what), ++noted_};
  counts_[k] += n;
}

bool LossLedger::any() const {
  for (uint64_t n : counts_) {
    if (n) return true;
  }
  return false;
}

std::string LossLedger::summary() const {
  std::string text;
  for (int k = 0; k < int(Loss::kCount); ++k) {
    if (counts_[k]) text += ", " + counted(Loss(k), counts_[k]);
  }
  return text;
}

namespace {

// "byte 120, column 3" (what is known of it).
std::string where(int64_t offset, int32_t column) {
  std::string text;
  if (offset >= 0) text = "byte " + std::to_string(offset);
  if (column > 0)
    text += (text.empty() ? "" : ", ") + std::string("column ") + std::to_string(column);
  return text;
}

}  // namespace

void LossLedger::warn(const std::string& file) const {
  for (int k = 0; k < int(Loss::kCount); ++k) {
    if (!counts_[k]) continue;
    const First& f = first_[k];
    const std::string at = where(f.offset, f.column);
    std::fprintf(stderr, "kova rip: %s: warning: %s (the first: %s%s%s)\n", file.c_str(),
                 counted(Loss(k), counts_[k]).c_str(), at.c_str(), at.empty() ? "" : ": ",
                 f.what.c_str());
  }
}

std::string LossLedger::first(const std::string& file) const {
  const First* earliest = nullptr;
  for (int k = 0; k < int(Loss::kCount); ++k) {
    if (counts_[k] && (!earliest || first_[k].order < earliest->order)) earliest = &first_[k];
  }
  if (!earliest) return std::string();
  const std::string at = where(earliest->offset, earliest->column);
  return file + ": " + (at.empty() ? "" : at + ": ") + earliest->what;
}

QualifiedWatch::QualifiedWatch(const KovaRipper* ripper, uint64_t maxLines)
    : ripper_(ripper), maxLines_(maxLines) {
  const uint32_t recfm = ripper->table->recfm;
  if ((recfm != kRecfmDelimited && recfm != kRecfmNative) || ripper->table->textqual == 0) {
    ripper_ = nullptr;
  }
}

void QualifiedWatch::afterBlock(const uint8_t* block, size_t n, uint64_t end, LossLedger* ledger) {
  if (!ripper_) return;
  const int64_t said = ledger->takeOpenQualified();
  if (ripper_->qualifierState == 0) {
    open_ = false;
    reported_ = false;
    return;
  }
  const uint64_t blockStart = end - n;
  // The field that was open took in the whole block, or a new one began in it.
  const bool known = said >= 0 && uint64_t(said) < end;
  const bool same = open_ && (!known || uint64_t(said) == begun_);
  if (same) {
    lines_ += lineEnds(block, n);
  } else {
    open_ = true;
    reported_ = false;
    begun_ = known ? uint64_t(said) : blockStart;
    const uint64_t from = begun_ > blockStart ? begun_ - blockStart : 0;
    lines_ = lineEnds(block + from, size_t(n - from));
  }
  if (!reported_ && lines_ > maxLines_) {
    reported_ = true;
    ledger->note(Loss::kLongQualified, 1, int64_t(begun_), int32_t(ripper_->fieldIndex + 1),
                 "a quoted field begun there has run on across more than " +
                     std::to_string(maxLines_) + " line ends");
  }
}

void QualifiedWatch::atEnd(LossLedger* ledger) {
  // A qualifier as the last byte closed the field (state 2).
  if (!ripper_ || !open_ || ripper_->qualifierState != 1) return;
  ledger->note(Loss::kCutAtEnd, 1, int64_t(begun_), int32_t(ripper_->fieldIndex + 1),
               "the input ends inside a quoted field begun there (" + std::to_string(lines_) +
                   " line ends taken into it)");
}

const KovaDiagnosticsOps LossSink::kOps = {&LossSink::onLog, &LossSink::onStatus};

LossSink::LossSink(LossLedger* ledger, KovaDiagnostics* forward, KovaRejectDiagnostics* next)
    : ledger_(ledger), forward_(forward), next_(next) {
  sink_.abi.base.ops = &kOps;
  sink_.abi.reject = &LossSink::onReject;
  sink_.owner = this;
}

void LossSink::onReject(KovaRejectDiagnostics* self, KovaRipper* ripper, const KovaReject* reject) {
  LossSink* owner = reinterpret_cast<Sink*>(self)->owner;
  // A "-" is how a log line says a field has no value: a null, not a loss.
  if (ripper->table->recfm == kRecfmClf && reject->reason == kRejectNotReadable &&
      reject->fieldLength == 1 && reject->field && reject->field[0] == '-') {
    return;
  }
  std::string text(reinterpret_cast<const char*>(reject->field),
                   reject->field && reject->fieldLength > 0 ? size_t(reject->fieldLength) : 0);
  if (text.size() > 40) text = text.substr(0, 40) + "...";
  repairUtf8(&text);
  if (reject->reason == kRejectOpenQualified) {
    owner->ledger_->setOpenQualified(reject->fieldOffset);
    return;  // news of the parser's state, not a value
  }
  if (reject->reason == kRejectNotReadable) {
    owner->ledger_->note(Loss::kNotRead, 1, reject->fieldOffset, int32_t(reject->column + 1),
                         jsonString(text) + " is no value of its column's type; stored null");
  } else if (reject->reason == kRejectBeyondLastColumn) {
    owner->ledger_->note(Loss::kBeyondLastColumn, 1, reject->fieldOffset,
                         int32_t(reject->column + 1),
                         "the table has " + std::to_string(ripper->table->columnCount) +
                             " columns; the field is dropped");
  }
  if (owner->next_) owner->next_->reject(owner->next_, ripper, reject);
}

void LossSink::onLog(KovaDiagnostics* context, int32_t level, const char16_t* format,
                     int64_t formatLength, va_list args) {
  KovaDiagnostics* forward = reinterpret_cast<Sink*>(context)->owner->forward_;
  if (forward) forward->ops->log(forward, level, format, formatLength, args);
}

void LossSink::onStatus(KovaDiagnostics* context, int32_t level, KovaStatus status) {
  KovaDiagnostics* forward = reinterpret_cast<Sink*>(context)->owner->forward_;
  if (forward) forward->ops->reportStatus(forward, level, status);
}

void noteCutRecord(const KovaRipper* ripper, uint64_t end, LossLedger* ledger) {
  const KovaObject* table = ripper->table;
  const uint64_t held = ripper->fragmentLength;
  if (table->recfm != kRecfmFixed || held == 0 || held > end) return;
  ledger->note(Loss::kCutAtEnd, 1, int64_t(end - held), 0,
               "the input ends inside a record: " + std::to_string(held) + " of " +
                   std::to_string(table->reclen) + " bytes, dropped");
}

}  // namespace kova::tool
