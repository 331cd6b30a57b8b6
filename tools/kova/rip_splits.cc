#include "tools/kova/rip_splits.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/split/ordered_jobs.h"
#include "tools/kova/byte_size.h"
#include "tools/kova/command.h"
#include "tools/kova/table_file.h"
#include "tools/kova/table_ripper.h"

namespace kova::tool {
namespace {

constexpr const char* kName = "rip";
constexpr uint64_t kMinAutoSplit = uint64_t(1) << 20;
constexpr uint64_t kMaxAutoSplit = uint64_t(8) << 20;

// Splits small enough to keep every thread busy to the end of the file, large
// enough that making a ripper per split costs nothing.
uint64_t autoSplitSize(uint64_t fileSize, unsigned threads) {
  return std::clamp<uint64_t>(fileSize / (uint64_t(threads) * 4), kMinAutoSplit, kMaxAutoSplit);
}

// Prints what the splits gave, in order, once: the one header (csv), the
// one aligned table, and no more rows than the limit.
class OrderedPrinter {
 public:
  // header: the csv header line (a split that does not begin the file has
  // none, so that the outputs of all splits concatenate to the whole rip).
  OrderedPrinter(const RangeSettings& settings, uint64_t limit, const RowReader& reader,
                 bool header)
      : settings_(settings),
        limit_(limit),
        printer_(makePrinter(
            header || settings.format != OutputFormat::kCsv ? settings.format : OutputFormat::kNone,
            reader.names(), reader.numeric(), stdout)) {}

  // False once the limit is reached.
  bool print(const SplitOutput& out) {
    rows_ += out.rows;
    const uint64_t wanted = std::min<uint64_t>(out.rows, limit_ - printed_);
    switch (settings_.format) {
      case OutputFormat::kNone:
        break;
      case OutputFormat::kTable:
        for (uint64_t r = 0; r < wanted; ++r) printer_->row(out.cells[r]);
        break;
      case OutputFormat::kCsv:
      case OutputFormat::kJsonl: {
        size_t bytes = out.text.size();
        if (wanted < out.rows) bytes = wanted == 0 ? 0 : out.rowEnds[wanted - 1];
        std::fwrite(out.text.data(), 1, bytes, stdout);
        break;
      }
    }
    printed_ += wanted;
    return printed_ < limit_;
  }
  void finish() {
    printer_->finish();
    std::fflush(stdout);
  }
  uint64_t rows() const { return rows_; }

 private:
  const RangeSettings& settings_;
  uint64_t limit_;
  std::unique_ptr<RowPrinter> printer_;
  uint64_t rows_ = 0;
  uint64_t printed_ = 0;
};

// Everything a partitioned rip holds: the session, one table instance per
// thread (and one for the printing thread), the file and its rules.
class PartitionedRip {
 public:
  PartitionedRip(const std::string& document, const std::string& data,
                 const RangeSettings& settings, uint64_t limit, const PartitionOptions& options)
      : document_(document), data_(data), settings_(settings), limit_(limit), options_(options) {}
  ~PartitionedRip() {
    rippers_.clear();
    for (KovaObject* table : tables_) table->destroy(table);
  }

  int run();

 private:
  bool prepare(unsigned threads);
  int fail(const std::string& message) {
    std::fprintf(stderr, "kova rip: %s\n", message.c_str());
    return kExitFailed;
  }
  // The first ripping of a split, on a worker thread.
  SplitOutput ripSplit(RangeRipper& ripper, const runtime::Split& split);
  void summary(double seconds, unsigned threads, size_t splits);

  const std::string& document_;
  const std::string& data_;
  const RangeSettings& settings_;
  uint64_t limit_;
  const PartitionOptions& options_;
  Session session_;
  std::vector<KovaObject*> tables_;
  std::unique_ptr<runtime::ByteSource> source_;
  runtime::TableShape shape_;
  std::unique_ptr<runtime::SplitRules> rules_;
  std::vector<std::unique_ptr<RangeRipper>> rippers_;
  bool verify_ = false;  // qualified: first records found by speculation, then verified
  uint64_t truncations_ = 0;
  uint64_t reripped_ = 0;
  uint64_t rows_ = 0;
  uint64_t bytes_ = 0;  // of the records ripped
};

bool PartitionedRip::prepare(unsigned threads) {
  if (!session_.open()) return false;
  std::string error;
  // One table per thread and one for this thread: the module's objects are
  // used by one thread at a time.
  for (unsigned i = 0; i <= threads; ++i) {
    KovaObject* table = loadTable(session_, document_, &error);
    if (!table) {
      fail(error);
      return false;
    }
    tables_.push_back(table);
  }
  if (!runtime::shapeOfTable(tables_[0], session_.host().kernel()->nls, &shape_, &error)) {
    fail(document_ + ": " + error);
    return false;
  }
  source_ = runtime::openFileSource(data_, &error);
  if (!source_) {
    fail(error);
    return false;
  }
  rules_ = std::make_unique<runtime::SplitRules>(shape_, *source_);
  if (!rules_->ok()) {
    fail(data_ + ": cannot read its header lines");
    return false;
  }
  verify_ = shape_.mode == runtime::SplitMode::kQualified && !options_.noQuotedNewlines;
  for (KovaObject* table : tables_) {
    rippers_.push_back(
        std::make_unique<RangeRipper>(session_, table, settings_, *rules_, *source_));
  }
  return true;
}

SplitOutput PartitionedRip::ripSplit(RangeRipper& ripper, const runtime::Split& split) {
  const uint64_t stop = split.offset + split.length;
  if (verify_) {
    uint64_t begin = 0;
    if (split.offset > 0 && !rules_->speculativeStart(split.offset, &begin)) {
      SplitOutput out;
      out.error = "cannot read the file";
      return out;
    }
    return ripper.rip(begin, stop, true, split.offset == 0 ? shape_.headerLines : 0);
  }
  uint64_t begin = 0, end = 0;
  if (!rules_->range(split, &begin, &end)) {
    SplitOutput out;
    out.error = "cannot read the file";
    return out;
  }
  return ripper.rip(begin, end, false, 0);
}

void PartitionedRip::summary(double seconds, unsigned threads, size_t splits) {
  const double megabytes = double(bytes_) / 1e6;
  std::string extra;
  if (options_.jobsGiven) {
    extra = ", " + std::to_string(threads) + " job" + (threads == 1 ? "" : "s") + ", " +
            std::to_string(splits) + " split" + (splits == 1 ? "" : "s");
    if (reripped_) extra += " (" + std::to_string(reripped_) + " re-ripped after verification)";
  }
  std::fprintf(stderr, "kova rip: %llu row%s, %llu truncation%s, %.1f MB in %.3f s (%.1f MB/s)%s\n",
               static_cast<unsigned long long>(rows_), rows_ == 1 ? "" : "s",
               static_cast<unsigned long long>(truncations_), truncations_ == 1 ? "" : "s",
               megabytes, seconds, seconds > 0 ? megabytes / seconds : 0.0, extra.c_str());
}

int PartitionedRip::run() {
  const auto start = std::chrono::steady_clock::now();
  const unsigned threads = options_.split ? 1 : runtime::jobThreads(options_.jobs);
  if (!prepare(threads)) return kExitFailed;
  if (options_.split && shape_.mode == runtime::SplitMode::kQualified &&
      !options_.noQuotedNewlines) {
    return usageError(kName, document_ +
                                 ": a qualified field of this table may hold line ends, so a "
                                 "split cannot find its first record alone; give "
                                 "--no-quoted-newlines when none does, or rip with --jobs");
  }
  std::vector<runtime::Split> splits;
  if (options_.split) {
    splits.push_back({options_.offset, options_.length});
  } else {
    const uint64_t size =
        options_.splitSize ? options_.splitSize : autoSplitSize(source_->size(), threads);
    splits = runtime::planSplits(shape_, source_->size(), size);
  }

  // The column names and kinds for the printer, from a ripper of this thread.
  KovaRipperOptions ripperOptions{};
  ripperOptions.flags = settings_.flags;
  KovaRipper* first = openRipper(session_, tables_[threads], ripperOptions, kName, document_);
  if (!first) return kExitFailed;
  std::unique_ptr<OrderedPrinter> printer;
  {
    RowReader reader(first, session_.host().kernel()->nls, settings_.raw);
    printer = std::make_unique<OrderedPrinter>(settings_, limit_, reader,
                                               !options_.split || options_.offset == 0);
  }
  first->ops.destroy(first);

  int result = kExitOk;
  uint64_t previousEnd = 0;
  std::function<SplitOutput(unsigned, size_t)> work = [&](unsigned worker, size_t task) {
    return ripSplit(*rippers_[worker], splits[task]);
  };
  std::function<bool(size_t, SplitOutput&)> consume = [&](size_t task, SplitOutput& out) {
    const runtime::Split& split = splits[task];
    if (out.error.empty() && verify_ && task > 0 && out.begin != previousEnd) {
      // The guess was wrong (the split began inside a qualified field):
      // rip it again from where the previous split's last record ended.
      ++reripped_;
      out = rippers_[threads]->rip(previousEnd, split.offset + split.length, true, 0);
    }
    if (!out.error.empty()) {
      result = fail(data_ + ": the split at offset " + std::to_string(split.offset) +
                    " failed: " + out.error);
      return false;
    }
    previousEnd = out.end;
    bytes_ += out.end - out.begin;
    rows_ += out.rows;
    truncations_ += out.truncations;
    return printer->print(out);
  };
  runtime::runOrdered<SplitOutput>(splits.size(), threads, size_t(threads) * 2, work, consume);
  printer->finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  summary(seconds, threads, splits.size());
  return result;
}

}  // namespace

int parsePartitionOption(std::span<char*> args, size_t* i, PartitionOptions* options,
                         int* exitCode) {
  const std::string_view arg = args[*i];
  if (arg == "--no-quoted-newlines") {
    options->noQuotedNewlines = true;
    return 1;
  }
  if (arg != "--split" && arg != "--jobs" && arg != "--split-size") return 0;
  if (*i + 1 == args.size()) {
    *exitCode = usageError(kName, std::string(arg) + " needs a value");
    return -1;
  }
  const std::string_view text = args[++*i];
  if (arg == "--split") {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos ||
        !parseByteSize(text.substr(0, colon), &options->offset) ||
        !parseByteSize(text.substr(colon + 1), &options->length) ||
        options->offset + options->length < options->offset) {
      *exitCode = usageError(
          kName, "--split: OFFSET:LENGTH in bytes (e.g. 0:128M), not " + std::string(text));
      return -1;
    }
    options->split = true;
  } else if (arg == "--jobs") {
    uint64_t jobs = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos ||
        text.size() > 4 || !parseByteSize(text, &jobs) || jobs > 1024) {
      *exitCode = usageError(kName,
                             "--jobs: a number of threads up to 1024 (0: one per core), "
                             "not " +
                                 std::string(text));
      return -1;
    }
    options->jobsGiven = true;
    options->jobs = unsigned(jobs);
  } else {
    if (!parseByteSize(text, &options->splitSize) || options->splitSize == 0) {
      *exitCode =
          usageError(kName, "--split-size: a size of at least 1 byte, not " + std::string(text));
      return -1;
    }
  }
  if (options->split && options->jobsGiven) {
    *exitCode = usageError(kName, "--split and --jobs do not go together");
    return -1;
  }
  return 1;
}

int ripPartitioned(const std::string& document, const std::string& data,
                   const RangeSettings& settings, uint64_t limit, const PartitionOptions& options) {
  if (data == "-") {
    return usageError(kName, "--split and --jobs need a file, not stdin");
  }
  PartitionedRip rip(document, data, settings, limit, options);
  return rip.run();
}

}  // namespace kova::tool
