#include "tools/kova/rip_losses.h"

#include <cstdio>
#include <cstring>

#include "tools/kova/cli_support.h"
#include "tools/kova/command.h"

namespace kova::tool {
namespace {

constexpr const char* kNouns[int(Loss::kCount)][2] = {
    {"value not read", "values not read"},
    {"invalid byte sequence replaced", "invalid byte sequences replaced"},
    {"field beyond the last column", "fields beyond the last column"},
    {"record cut at the end", "records cut at the end"},
    {"qualified field over --max-quoted-lines", "qualified fields over --max-quoted-lines"},
};

// kova convert writes the text it reads as it is: nothing is replaced there.
constexpr const char* kWrittenAsRead[2] = {"invalid byte sequence", "invalid byte sequences"};

std::string counted(Loss kind, uint64_t n, bool printed) {
  const char* const* nouns =
      kind == Loss::kInvalidBytes && !printed ? kWrittenAsRead : kNouns[int(kind)];
  return std::to_string(n) + " " + nouns[n == 1 ? 0 : 1];
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

int parseLossOption(std::span<char*> args, size_t* i, LossOptions* options, int* exitCode,
                    const char* command) {
  std::string_view arg = args[*i];
  if (arg == "--strict") {
    options->strict = true;
    return 1;
  }
  if (arg != "--memory" && arg != "--max-quoted-lines") return 0;
  if (*i + 1 == args.size()) {
    *exitCode = usageError(command, std::string(arg) + " needs a value");
    return -1;
  }
  std::string_view value = args[++*i];
  if (arg == "--memory") {
    options->memory = parseSize(value);
    options->memoryGiven = true;
    if (options->memory < (uint64_t(1) << 20)) {
      *exitCode = usageError(
          command, "--memory: a size of at least 1M (\"256M\", \"2G\"), not " + std::string(value));
      return -1;
    }
    return 1;
  }
  if (!parseCount(value, &options->maxQuotedLines)) {
    *exitCode =
        usageError(command, "--max-quoted-lines: a number of line ends, not " + std::string(value));
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

uint64_t budgetBlockSize(const char* command, const std::string& file, const KovaRipper* ripper,
                         uint64_t requested, bool given, uint64_t budget) {
  const uint64_t size = budgetBlockSize(ripper, requested, budget);
  if (size < requested && (given || size < 65536)) {
    std::fprintf(stderr,
                 "kova %s: %s: note: blocks of %llu bytes instead of %llu keep a block's rows "
                 "(%llu bytes each) within --memory %lluM\n",
                 command, file.c_str(), static_cast<unsigned long long>(size),
                 static_cast<unsigned long long>(requested),
                 static_cast<unsigned long long>(ripper->rowLength),
                 static_cast<unsigned long long>(budget >> 20));
  }
  return size;
}

void LossLedger::note(Loss kind, uint64_t n, int64_t offset, int32_t column, std::string what,
                      bool ofRecord) {
  if (n == 0) return;
  const int k = int(kind);
  if (counts_[k] == 0) first_[k] = First{offset, column, ofRecord, std::move(what), ++noted_};
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
    if (counts_[k]) text += ", " + counted(Loss(k), counts_[k], command_ == "rip");
  }
  return text;
}

namespace {

// "record at byte 120, column 3" (what is known of it).
std::string where(int64_t offset, bool ofRecord, int32_t column) {
  std::string text;
  if (offset >= 0) text = (ofRecord ? "record at byte " : "byte ") + std::to_string(offset);
  if (column > 0)
    text += (text.empty() ? "" : ", ") + std::string("column ") + std::to_string(column);
  return text;
}

}  // namespace

void LossLedger::warn(const std::string& file) const {
  for (int k = 0; k < int(Loss::kCount); ++k) {
    if (!counts_[k]) continue;
    const First& f = first_[k];
    const std::string at = where(f.offset, f.ofRecord, f.column);
    std::fprintf(stderr, "kova %s: %s: warning: %s (the first: %s%s%s)\n", command_.c_str(),
                 file.c_str(), counted(Loss(k), counts_[k], command_ == "rip").c_str(), at.c_str(),
                 at.empty() ? "" : ": ", f.what.c_str());
  }
}

std::string LossLedger::first(const std::string& file) const {
  const First* earliest = nullptr;
  for (int k = 0; k < int(Loss::kCount); ++k) {
    if (counts_[k] && (!earliest || first_[k].order < earliest->order)) earliest = &first_[k];
  }
  if (!earliest) return std::string();
  const std::string at = where(earliest->offset, earliest->ofRecord, earliest->column);
  return file + ": " + (at.empty() ? "" : at + ": ") + earliest->what;
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
