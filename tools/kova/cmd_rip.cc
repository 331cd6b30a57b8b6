// kova rip DOC DATA [--format table|csv|jsonl|none] [--block-size N] [--image]
//                   [--null-as-missing] [--limit N] [--raw]
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
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "tools/kova/byte_order_mark.h"
#include "tools/kova/cli_support.h"
#include "tools/kova/command.h"
#include "tools/kova/parse_failure.h"
#include "tools/kova/rip_output.h"
#include "tools/kova/session.h"
#include "tools/kova/table_file.h"
#include "tools/kova/table_ripper.h"

namespace kova::tool {
namespace {

constexpr const char* kName = "rip";

struct RipArgs {
  std::string document;
  std::string data;
  OutputFormat format = isatty(STDOUT_FILENO) ? OutputFormat::kTable : OutputFormat::kCsv;
  uint64_t blockSize = 1 << 20;
  uint64_t limit = UINT64_MAX;
  uint32_t flags = 0;
  bool raw = false;
};

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
    if (arg == "--format") {
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
        *exitCode = usageError(kName, "--format: one of table, csv, jsonl, none, not " +
                                          std::string(name));
        return false;
      }
    } else if (arg == "--block-size") {
      const char* text = value(&i, "--block-size");
      if (!text) return false;
      parsed->blockSize = parseSize(text);
      if (parsed->blockSize == 0 || parsed->blockSize > (uint64_t(1) << 31)) {
        *exitCode = usageError(kName, std::string("--block-size: a size from 1 byte to 2G, not ") +
                                          text);
        return false;
      }
    } else if (arg == "--limit") {
      const char* text = value(&i, "--limit");
      if (!text) return false;
      std::string_view digits = text;
      if (digits.empty() || digits.size() > 18 ||
          digits.find_first_not_of("0123456789") != std::string_view::npos) {
        *exitCode = usageError(kName, std::string("--limit: a number of rows, not ") + text);
        return false;
      }
      parsed->limit = std::strtoull(text, nullptr, 10);
    } else if (arg == "--image") {
      parsed->flags |= kRipperRowImage;
    } else if (arg == "--null-as-missing") {
      parsed->flags |= kRipperNullAsMissing;
    } else if (arg == "--raw") {
      parsed->raw = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *exitCode = usageError(kName, "unknown option " + std::string(arg));
      return false;
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) {
    *exitCode = usageError(kName, positional.size() < 2 ? "needs DOC and DATA"
                                                        : "takes one DOC and one DATA");
    return false;
  }
  parsed->document = positional[0];
  parsed->data = positional[1];
  return true;
}

// One rip: the open data file, the ripper and the printer.
class Rip {
 public:
  Rip(const RipArgs& args, KovaRipper* ripper, KovaNls* nls)
      : args_(args), ripper_(ripper), reader_(ripper, nls, args.raw),
        printer_(makePrinter(args.format, reader_.names(), reader_.numeric(), stdout)) {}

  // Rows of a block (or of flushPending) to the printer, up to the limit.
  void take(const uint8_t* rows, int32_t count) {
    rows_ += uint64_t(count > 0 ? count : 0);
    if (args_.format == OutputFormat::kNone) {
      const uint64_t left = args_.limit - printed_;
      printed_ += count > 0 ? std::min(uint64_t(count), left) : 0;
      return;
    }
    for (int32_t r = 0; r < count && printed_ < args_.limit; ++r, ++printed_) {
      reader_.read(rows + uint64_t(r) * ripper_->rowLength, &cells_);
      printer_->row(cells_);
    }
  }
  bool limitReached() const { return printed_ >= args_.limit; }
  void finish() {
    printer_->finish();
    std::fflush(stdout);
  }
  uint64_t rows() const { return rows_; }

 private:
  const RipArgs& args_;
  KovaRipper* ripper_;
  RowReader reader_;
  std::unique_ptr<RowPrinter> printer_;
  std::vector<Cell> cells_;
  uint64_t rows_ = 0;
  uint64_t printed_ = 0;
};

int ripData(const RipArgs& args, KovaRipper* ripper, KovaNls* nls) {
  FILE* in = args.data == "-" ? stdin : std::fopen(args.data.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "kova rip: cannot open %s: %s\n", args.data.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  const std::string& name = args.data == "-" ? std::string("stdin") : args.data;
  std::vector<uint8_t> buffer(args.blockSize);
  Rip rip(args, ripper, nls);
  Progress progress;
  const Clock::time_point start = Clock::now();
  uint64_t offset = 0;
  int result = kExitOk;
  // A byte-order mark at the start of a text file is no part of its first
  // value (binary records keep their block boundaries; XML parsers read it).
  const uint32_t recfm = ripper->table->recfm;
  const bool text = recfm == kRecfmDelimited || recfm == kRecfmClf || recfm == kRecfmJson;
  uint8_t first[4];
  size_t startLength = text ? std::fread(first, 1, sizeof first, in) : 0;
  size_t mark = byteOrderMarkLength(ripper->table->encoding,
                                    {reinterpret_cast<const char*>(first), startLength});
  offset = mark;
  for (;;) {
    size_t n = 0;
    if (startLength > mark) {
      n = startLength - mark;
      std::memcpy(buffer.data(), first + mark, std::min(n, buffer.size()));
      if (n > buffer.size()) {  // a block smaller than the first bytes
        mark += buffer.size();
        n = buffer.size();
      } else {
        startLength = 0;
      }
    } else {
      n = std::fread(buffer.data(), 1, buffer.size(), in);
    }
    if (n == 0) {
      if (std::ferror(in)) {
        std::fprintf(stderr, "kova rip: %s: read error at offset %llu: %s\n", name.c_str(),
                     static_cast<unsigned long long>(offset), std::strerror(errno));
        result = kExitFailed;
      }
      break;
    }
    uint8_t* rows = nullptr;
    int32_t count = 0;
    KovaStatus status = ripper->ops.ripBlock(ripper, buffer.data(), int64_t(n), &rows, &count);
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
    if (rip.limitReached()) break;
  }
  if (result == kExitOk && !rip.limitReached()) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
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
  std::fprintf(stderr, "kova rip: %llu row%s, %u truncation%s, %.1f MB in %.3f s (%.1f MB/s)%s\n",
               static_cast<unsigned long long>(rip.rows()), rip.rows() == 1 ? "" : "s",
               ripper->ops.truncationCount(ripper),
               ripper->ops.truncationCount(ripper) == 1 ? "" : "s", megabytes, seconds,
               seconds > 0 ? megabytes / seconds : 0.0, limit.c_str());
  return result;
}

}  // namespace

int runRip(std::span<char*> args) {
  RipArgs parsed;
  int exitCode = kExitOk;
  if (!parseArgs(args, &parsed, &exitCode)) return exitCode;
  Session session;
  if (!session.open()) return kExitFailed;
  std::string error;
  KovaObject* table = loadTable(session, parsed.document, &error);
  if (!table) {
    std::fprintf(stderr, "kova rip: %s\n", error.c_str());
    return kExitFailed;
  }
  KovaRipperOptions options{};
  options.flags = parsed.flags;
  KovaRipper* ripper = openRipper(session, table, options, "rip", parsed.document);
  int result = kExitFailed;
  if (ripper) {
    // Typed rippers leave header lines to their host: skip them here too.
    if (!ripper->rowImage && ripper->headerLinesLeft == 0 && table->headerLines > 0 &&
        (table->recfm == kRecfmDelimited || table->recfm == kRecfmNative)) {
      ripper->headerLinesLeft = table->headerLines;
    }
    result = ripData(parsed, ripper, session.host().kernel()->nls);
  }
  if (ripper) ripper->ops.destroy(ripper);
  table->destroy(table);
  return result;
}

}  // namespace kova::tool
