// kova rip DOC DATA [--format table|csv|jsonl|none] [--block-size N] [--image]
//                   [--null-as-missing] [--limit N] [--raw]
//                   [--rejects FILE] [--max-rejects N]
//                   [--strict] [--memory SIZE] [--max-quoted-lines N]
// Creates, describes and binds a ripper for the document's table, feeds it
// DATA block by block, ends the input with flushPending and prints the rows.
// Progress goes to stderr when it is a terminal; a one-line summary always.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "tools/kova/block_reader.h"
#include "tools/kova/byte_order_mark.h"
#include "tools/kova/byte_size.h"
#include "tools/kova/cli_support.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/loss_check.h"
#include "tools/kova/parse_failure.h"
#include "tools/kova/rejects.h"
#include "tools/kova/rip_losses.h"
#include "tools/kova/rip_output.h"
#include "tools/kova/rip_splits.h"
#include "tools/kova/session.h"
#include "tools/kova/table_file.h"
#include "tools/kova/table_ripper.h"
#include "tools/kova/utf8_repair.h"

namespace kova::tool {
namespace {

constexpr const char* kName = "rip";

// Header lines of a text table (skipped before the first row).
uint64_t headerLinesOf(const KovaObject* table) {
  const bool text = table->recfm == kRecfmDelimited || table->recfm == kRecfmNative;
  return text && table->headerLines > 0 ? uint64_t(table->headerLines) : 0;
}

// The table's column names in UTF-8, in table order.
std::vector<std::string> columnNames(const KovaObject* table) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    const KovaColumn* column = table->columns[i];
    names.push_back(column && column->name && column->nameLength > 0
                        ? toUtf8(std::u16string_view(column->name, size_t(column->nameLength)))
                        : std::string());
  }
  return names;
}

struct RipArgs {
  std::string document;
  std::string data;
  OutputFormat format = isatty(STDOUT_FILENO) ? OutputFormat::kTable : OutputFormat::kCsv;
  uint64_t blockSize = 1 << 20;
  bool blockSizeGiven = false;
  LossOptions loss;
  uint64_t limit = UINT64_MAX;
  uint32_t flags = 0;
  bool raw = false;
  PartitionOptions partition;
  std::string rejects;               // --rejects FILE ("-": stderr)
  uint64_t maxRejects = UINT64_MAX;  // --max-rejects N
};

// A count of 0 to 18 digits; false for anything else.
bool parseCount(std::string_view digits, uint64_t* value) {
  if (digits.empty() || digits.size() > 18 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  *value = std::strtoull(std::string(digits).c_str(), nullptr, 10);
  return true;
}

bool parseArgs(std::span<char*> args, RipArgs* parsed, int* exitCode) {
  std::vector<std::string> positional;
  auto value = [&](size_t* i, const char* option) -> const char* {
    if (*i + 1 == args.size()) {
      *exitCode = usageError(kName, std::string(option) + " needs a value");
      return nullptr;
    }
    return args[++*i];
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (int taken = parsePartitionOption(args, &i, &parsed->partition, exitCode); taken != 0) {
      if (taken < 0) return false;
    } else if (arg == "--format") {
      const char* text = value(&i, "--format");
      if (!text) return false;
      std::string_view name = text;
      if (name == "table") {
        parsed->format = OutputFormat::kTable;
      } else if (name == "csv") {
        parsed->format = OutputFormat::kCsv;
      } else if (name == "jsonl") {
        parsed->format = OutputFormat::kJsonl;
      } else if (name == "none") {
        parsed->format = OutputFormat::kNone;
      } else {
        *exitCode =
            usageError(kName, "--format: one of table, csv, jsonl, none, not " + std::string(name));
        return false;
      }
    } else if (arg == "--block-size") {
      const char* text = value(&i, "--block-size");
      if (!text) return false;
      parsed->blockSize = parseSize(text);
      parsed->blockSizeGiven = true;
      if (parsed->blockSize == 0 || parsed->blockSize > (uint64_t(1) << 31)) {
        *exitCode =
            usageError(kName, std::string("--block-size: a size from 1 byte to 2G, not ") + text);
        return false;
      }
    } else if (arg == "--limit") {
      const char* text = value(&i, "--limit");
      if (!text) return false;
      if (!parseCount(text, &parsed->limit)) {
        *exitCode = usageError(kName, std::string("--limit: a number of rows, not ") + text);
        return false;
      }
    } else if (arg == "--rejects") {
      const char* text = value(&i, "--rejects");
      if (!text) return false;
      parsed->rejects = text;
    } else if (arg == "--max-rejects") {
      const char* text = value(&i, "--max-rejects");
      if (!text) return false;
      if (!parseCount(text, &parsed->maxRejects) || parsed->maxRejects == 0) {
        *exitCode = usageError(kName, std::string("--max-rejects: a number from 1, not ") + text);
        return false;
      }
    } else if (arg == "--image") {
      parsed->flags |= kRipperRowImage;
    } else if (arg == "--null-as-missing") {
      parsed->flags |= kRipperNullAsMissing;
    } else if (arg == "--raw") {
      parsed->raw = true;
    } else if (int taken = parseLossOption(args, &i, &parsed->loss, exitCode, kName); taken != 0) {
      if (taken < 0) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *exitCode = usageError(kName, "unknown option " + std::string(arg));
      return false;
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) {
    *exitCode = usageError(
        kName, positional.size() < 2 ? "needs DOC and DATA" : "takes one DOC and one DATA");
    return false;
  }
  // A rip in splits has no reject log or loss checks of its own yet: refuse
  // them rather than run without the checks the user asked for.
  const LossOptions plain;
  if (parsed->partition.active() &&
      (!parsed->rejects.empty() || parsed->maxRejects != UINT64_MAX || parsed->loss.strict ||
       parsed->loss.memoryGiven || parsed->loss.maxQuotedLines != plain.maxQuotedLines)) {
    *exitCode = usageError(kName,
                           "--split and --jobs do not take --rejects, --max-rejects, --strict, "
                           "--memory or --max-quoted-lines; rip in one piece for those");
    return false;
  }
  parsed->document = positional[0];
  parsed->data = positional[1];
  return true;
}

// One rip: the open data file, the ripper and the printer.
class Rip {
 public:
  Rip(const RipArgs& args, KovaRipper* ripper, KovaNls* nls, LossCheck* check)
      : args_(args),
        ripper_(ripper),
        check_(check),
        reader_(ripper, nls, args.raw),
        printer_(makePrinter(args.format, reader_.names(), reader_.numeric(), stdout)) {}

  // Rows of a block (or of flushPending) to the printer, up to the limit.
  void take(const uint8_t* rows, int32_t count) {
    if (rejects_ && rejects_->limitReached()) {
      // Rows after the one that held the last rejected value allowed.
      const uint64_t last = rejects_->limitRow();
      count = last < rows_ ? 0 : int32_t(std::min<uint64_t>(uint64_t(count), last - rows_ + 1));
    }
    rows_ += uint64_t(count > 0 ? count : 0);
    // The rows within --limit: their invalid text is counted whether or not
    // they are printed.
    const uint64_t shown = std::min(uint64_t(count > 0 ? count : 0), args_.limit - printed_);
    check_->taken(rows, shown, printed_);
    if (args_.format == OutputFormat::kNone) {
      printed_ += shown;
      return;
    }
    for (int32_t r = 0; r < count && printed_ < args_.limit; ++r, ++printed_) {
      reader_.read(rows + uint64_t(r) * ripper_->rowLength, &cells_);
      repair();
      printer_->row(cells_);
    }
  }
  bool limitReached() const { return printed_ >= args_.limit; }
  void finish() {
    printer_->finish();
    std::fflush(stdout);
  }
  uint64_t rows() const { return rows_; }
  void setRejects(const RejectLog* rejects) { rejects_ = rejects; }

 private:
  // Text values are printed as valid UTF-8 (the check has counted what is
  // replaced).
  void repair() {
    for (Cell& cell : cells_) {
      if (cell.kind == Cell::kText) repairUtf8(&cell.text);
    }
  }

  const RejectLog* rejects_ = nullptr;
  const RipArgs& args_;
  KovaRipper* ripper_;
  LossCheck* check_;
  RowReader reader_;
  std::unique_ptr<RowPrinter> printer_;
  std::vector<Cell> cells_;
  uint64_t rows_ = 0;
  uint64_t printed_ = 0;
};

// --max-rejects: the limit is reached and the row holding the last value
// allowed has been handed back (a row may end blocks after its value).
bool rejectsDone(const RejectLog* rejects, uint64_t rowsHandedBack) {
  return rejects && rejects->limitReached() && rowsHandedBack > rejects->limitRow();
}

int ripData(const RipArgs& args, KovaRipper* ripper, KovaNls* nls, RejectLog* rejects,
            LossCheck& check) {
  if (isDirectory(args.data)) {
    std::fprintf(stderr, "kova rip: %s is a directory, not a data file\n", args.data.c_str());
    return kExitFailed;
  }
  FILE* in = args.data == "-" ? stdin : std::fopen(args.data.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "kova rip: cannot open %s: %s\n", args.data.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  const std::string& name = args.data == "-" ? std::string("stdin") : args.data;
  // The rows one block can produce must fit the memory budget.
  const uint64_t blockSize =
      budgetBlockSize(kName, name, ripper, args.blockSize, args.blockSizeGiven, args.loss.memory);
  BlockReader blocks(in, blockSize, ripper->table->recfm == kRecfmVarbin);
  Rip rip(args, ripper, nls, &check);
  rip.setRejects(rejects);
  Progress progress;
  const Clock::time_point start = Clock::now();
  uint64_t offset = 0;
  int result = kExitOk;
  // A byte-order mark at the start of a text file is no part of its first
  // value (binary records keep their block boundaries; XML parsers read it).
  const uint32_t recfm = ripper->table->recfm;
  const bool text = recfm == kRecfmDelimited || recfm == kRecfmClf || recfm == kRecfmJson;
  if (text) offset = blocks.skipByteOrderMark(ripper->table->encoding);
  check.start(ripper, nls, offset);
  for (;;) {
    const uint8_t* block = nullptr;
    size_t n = 0;
    if (!blocks.next(&block, &n)) {
      progress.clear();
      if (blocks.reportFailedEnd("rip", name, offset)) result = kExitFailed;
      break;
    }
    uint8_t* rows = nullptr;
    int32_t count = 0;
    if (rejects) rejects->setRowsBefore(rip.rows());
    check.beforeBlock(offset);
    KovaStatus status = ripper->ops.ripBlock(ripper, block, int64_t(n), &rows, &count);
    if (status != kStatusOk) {
      progress.clear();
      if (std::string fault = xmlParseFailure(ripper); !fault.empty()) {
        std::fprintf(stderr, "kova rip: %s: %s\n", name.c_str(), fault.c_str());
      } else {
        std::fprintf(stderr, "kova rip: %s: the block at offset %llu failed: %s\n", name.c_str(),
                     static_cast<unsigned long long>(offset), statusText(status).c_str());
      }
      result = kExitFailed;
      break;
    }
    rip.take(rows, count);
    offset += n;
    progress.update(offset, rip.rows());
    if (rip.limitReached() || rejectsDone(rejects, rip.rows())) break;
  }
  if (result == kExitOk && !rip.limitReached() && !rejectsDone(rejects, rip.rows())) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check.beforeEnd(offset);
    if (rejects) rejects->setRowsBefore(rip.rows());
    KovaStatus status = ripper->ops.flushPending(ripper, &rows, &count);
    if (std::string fault = xmlParseFailure(ripper); !fault.empty()) {
      std::fprintf(stderr, "kova rip: %s: %s\n", name.c_str(), fault.c_str());
      result = kExitFailed;
    } else if (status != kStatusOk) {
      std::fprintf(stderr, "kova rip: %s: the end of the input failed: %s\n", name.c_str(),
                   statusText(status).c_str());
      result = kExitFailed;
    } else {
      rip.take(rows, count);
    }
  }
  rip.finish();
  // The rows come before the summary, also when both streams share a pipe.
  std::fflush(stdout);
  if (in != stdin) std::fclose(in);
  progress.clear();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double megabytes = double(offset) / 1e6;
  std::string limit;
  if (rip.limitReached() && result == kExitOk) {
    limit = " (stopped at --limit " + std::to_string(args.limit) + ")";
  }
  if (rejects && result == kExitOk && rejects->limitReached()) {
    std::fprintf(stderr, "kova rip: %s: stopped at rejected value %llu (--max-rejects)\n",
                 name.c_str(), static_cast<unsigned long long>(rejects->count()));
    result = kExitFailed;
  }
  if (rejects && rejects->count() > 0) {
    limit += ", " + std::to_string(rejects->count()) + " rejected value" +
             (rejects->count() == 1 ? "" : "s");
  }
  std::fprintf(stderr, "kova rip: %llu row%s, %u truncation%s%s, %.1f MB in %.3f s (%.1f MB/s)%s\n",
               static_cast<unsigned long long>(rip.rows()), rip.rows() == 1 ? "" : "s",
               ripper->ops.truncationCount(ripper),
               ripper->ops.truncationCount(ripper) == 1 ? "" : "s",
               check.ledger().summary().c_str(), megabytes, seconds,
               seconds > 0 ? megabytes / seconds : 0.0, limit.c_str());
  check.finish(name, &result);
  return result;
}

}  // namespace

int runRip(std::span<char*> args) {
  RipArgs parsed;
  int exitCode = kExitOk;
  if (!parseArgs(args, &parsed, &exitCode)) return exitCode;
  if (parsed.partition.active()) {
    RangeSettings settings{parsed.document, parsed.format,    parsed.raw,
                           parsed.flags,    parsed.blockSize, parsed.limit != UINT64_MAX};
    return ripPartitioned(parsed.document, parsed.data, settings, parsed.limit, parsed.partition);
  }
  Session session;
  KovaObject* table = openTable(session, "rip", parsed.document);
  if (!table) return kExitFailed;
  KovaRipperOptions options{};
  options.flags = parsed.flags;
  // Rejected values: lines to a file, or only counted for --max-rejects.
  FILE* rejectFile = nullptr;
  if (!parsed.rejects.empty()) {
    rejectFile = parsed.rejects == "-" ? stderr : std::fopen(parsed.rejects.c_str(), "w");
    if (!rejectFile) {
      std::fprintf(stderr, "kova rip: cannot write %s: %s\n", parsed.rejects.c_str(),
                   std::strerror(errno));
      table->destroy(table);
      return kExitFailed;
    }
  }
  std::unique_ptr<RejectLog> rejects;
  if (rejectFile || parsed.maxRejects != UINT64_MAX) {
    rejects =
        std::make_unique<RejectLog>(rejectFile, parsed.data == "-" ? "stdin" : parsed.data,
                                    parsed.maxRejects, headerLinesOf(table), columnNames(table));
    rejects->setBinary(table->recfm == kRecfmFixed || table->recfm == kRecfmVarbin);
  }
  // The check hears of every rejected value first (for the summary's
  // counts), then hands it to the --rejects log.
  LossCheck check(kName, parsed.loss, session.diagnostics(), rejects.get());
  options.flags |= kRipperReportRejects;
  KovaRipper* ripper =
      openRipper(session, table, options, "rip", parsed.document, nullptr, check.diagnostics());
  int result = kExitFailed;
  if (ripper) {
    // Typed rippers leave header lines to their host: skip them here too.
    if (!ripper->rowImage && ripper->headerLinesLeft == 0 && table->headerLines > 0 &&
        (table->recfm == kRecfmDelimited || table->recfm == kRecfmNative)) {
      ripper->headerLinesLeft = table->headerLines;
    }
    if (check.checkColumns(ripper, parsed.document)) {
      result = ripData(parsed, ripper, session.host().kernel()->nls, rejects.get(), check);
    }
  }
  if (ripper) ripper->ops.destroy(ripper);
  if (rejectFile && rejectFile != stderr && std::fclose(rejectFile) != 0) {
    std::fprintf(stderr, "kova rip: cannot write %s: %s\n", parsed.rejects.c_str(),
                 std::strerror(errno));
    result = kExitFailed;
  }
  table->destroy(table);
  return result;
}

}  // namespace kova::tool
