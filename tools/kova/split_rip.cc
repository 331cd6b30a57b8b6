#include "tools/kova/split_rip.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kova/ripper.h"
#include "runtime/split/range_rip.h"
#include "tools/kova/table_ripper.h"

namespace kova::tool {
namespace {

// Where the rows of one range go: printed into memory (csv, jsonl), kept as
// values (table) or only counted (none).
class RangeSink {
 public:
  RangeSink(const RangeSettings& settings, KovaRipper* ripper, KovaNls* nls, SplitOutput* out)
      : settings_(settings), ripper_(ripper), reader_(ripper, nls, settings.raw), out_(out) {
    if (settings.format != OutputFormat::kCsv && settings.format != OutputFormat::kJsonl) return;
    stream_ = open_memstream(&text_, &textLength_);
    if (!stream_) return;
    printer_ = makePrinter(settings.format, reader_.names(), reader_.numeric(), stream_);
    // The csv printer begins with the header line; the whole run prints it once.
    std::fflush(stream_);
    headerLength_ = textLength_;
  }
  ~RangeSink() {
    if (stream_) std::fclose(stream_);
    std::free(text_);
  }
  bool ok() const {
    return stream_ ||
           (settings_.format != OutputFormat::kCsv && settings_.format != OutputFormat::kJsonl);
  }

  void take(const uint8_t* rows, int32_t count) {
    if (count <= 0) return;
    out_->rows += uint64_t(count);
    if (settings_.format == OutputFormat::kNone) return;
    for (int32_t r = 0; r < count; ++r) {
      const uint8_t* row = rows + uint64_t(r) * ripper_->rowLength;
      if (settings_.format == OutputFormat::kTable) {
        reader_.read(row, &out_->cells.emplace_back());
        continue;
      }
      reader_.read(row, &cells_);
      printer_->row(cells_);
      if (settings_.rowEnds) out_->rowEnds.push_back(size_t(std::ftell(stream_)) - headerLength_);
    }
  }

  // Moves the printed rows into the output.
  void finish() {
    if (!stream_) return;
    std::fclose(stream_);
    stream_ = nullptr;
    if (text_ && textLength_ > headerLength_) {
      out_->text.assign(text_ + headerLength_, textLength_ - headerLength_);
    }
  }

 private:
  const RangeSettings& settings_;
  KovaRipper* ripper_;
  RowReader reader_;
  SplitOutput* out_;
  FILE* stream_ = nullptr;
  char* text_ = nullptr;
  size_t textLength_ = 0;
  size_t headerLength_ = 0;
  std::unique_ptr<RowPrinter> printer_;
  std::vector<Cell> cells_;
};

}  // namespace

RangeRipper::RangeRipper(Session& session, KovaObject* table, const RangeSettings& settings,
                         const runtime::SplitRules& rules, const runtime::ByteSource& source)
    : session_(session),
      table_(table),
      settings_(settings),
      rules_(rules),
      source_(source),
      buffer_(settings.blockSize) {}

SplitOutput RangeRipper::rip(uint64_t begin, uint64_t end, bool untilBoundary,
                             int32_t headerLines) {
  SplitOutput out;
  out.begin = begin;
  out.end = std::max(begin, end);
  KovaRipperOptions options{};
  options.flags = settings_.flags;
  KovaRipper* ripper = openRipper(session_, table_, options, "rip", settings_.document);
  if (!ripper) {
    out.error = "cannot make a ripper for it";
    return out;
  }
  const bool text = table_->recfm == kRecfmDelimited || table_->recfm == kRecfmNative;
  // Only the header lines asked for: the rules place later splits after them.
  if (text) ripper->headerLinesLeft = headerLines;
  {
    RangeSink sink(settings_, ripper, session_.host().kernel()->nls, &out);
    if (!sink.ok()) {
      out.error = "no memory for its rows";
    } else {
      runtime::RangeResult result =
          runtime::ripRange(ripper, rules_, source_, buffer_, begin, end, untilBoundary,
                            [&](const uint8_t* rows, int32_t count) { sink.take(rows, count); });
      out.end = result.end;
      out.error = std::move(result.error);
    }
    sink.finish();
  }
  out.truncations = ripper->ops.truncationCount(ripper);
  ripper->ops.destroy(ripper);
  return out;
}

}  // namespace kova::tool
