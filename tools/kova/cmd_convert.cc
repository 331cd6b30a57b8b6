// kova convert IN_DOC IN_DATA OUT_DOC [-o OUT_DATA] [--verify] [--block-size N]
//                                     [--limit N] [--image]
//                                     [--strict] [--memory SIZE] [--max-quoted-lines N]
// Rips IN_DATA with IN_DOC's table, moves each row's values by column name
// into the layout of a burner for OUT_DOC's table, burns them block by block
// and writes the bytes to OUT_DATA (stdout without -o). --verify rips what
// was written back with OUT_DOC and compares every value with what was
// burned. What the rip of IN_DATA lost is counted and reported as by kova rip.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"
#include "tools/kova/block_reader.h"
#include "tools/kova/cli_support.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/loss_check.h"
#include "tools/kova/rip_losses.h"
#include "tools/kova/rip_output.h"
#include "tools/kova/session.h"
#include "tools/kova/table_file.h"
#include "tools/kova/table_ripper.h"
#include "tools/kova/value_mover.h"

namespace kova::tool {
namespace {

constexpr const char* kName = "convert";

struct ConvertArgs {
  std::string inDoc, inData, outDoc, outData;
  uint64_t blockSize = 1 << 20;
  bool blockSizeGiven = false;
  LossOptions loss;
  uint64_t limit = UINT64_MAX;
  uint64_t batch = UINT64_MAX;  // rows per writeRows call
  bool image = false;
  bool verify = false;
};

bool parseArgs(std::span<char*> args, ConvertArgs* parsed, int* exitCode) {
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    const bool takesValue =
        arg == "-o" || arg == "--block-size" || arg == "--limit" || arg == "--batch";
    if (takesValue && i + 1 == args.size()) {
      *exitCode = usageError(kName, std::string(arg) + " needs a value");
      return false;
    }
    if (arg == "-o") {
      parsed->outData = args[++i];
    } else if (arg == "--block-size") {
      const char* text = args[++i];
      parsed->blockSize = parseSize(text);
      parsed->blockSizeGiven = true;
      if (parsed->blockSize == 0 || parsed->blockSize > (uint64_t(1) << 31)) {
        *exitCode =
            usageError(kName, std::string("--block-size: a size from 1 byte to 2G, not ") + text);
        return false;
      }
    } else if (arg == "--limit" || arg == "--batch") {
      std::string_view digits = args[++i];
      if (digits.empty() || digits.size() > 18 ||
          digits.find_first_not_of("0123456789") != std::string_view::npos ||
          (arg == "--batch" && std::strtoull(args[i], nullptr, 10) == 0)) {
        *exitCode =
            usageError(kName, std::string(arg) + ": a number of rows, not " + std::string(digits));
        return false;
      }
      (arg == "--limit" ? parsed->limit : parsed->batch) = std::strtoull(args[i], nullptr, 10);
    } else if (arg == "--image") {
      parsed->image = true;
    } else if (arg == "--verify") {
      parsed->verify = true;
    } else if (int taken = parseLossOption(args, &i, &parsed->loss, exitCode, kName); taken != 0) {
      if (taken < 0) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *exitCode = usageError(kName, "unknown option " + std::string(arg));
      return false;
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 3) {
    *exitCode = usageError(kName, "needs IN_DOC, IN_DATA and OUT_DOC");
    return false;
  }
  parsed->inDoc = positional[0];
  parsed->inData = positional[1];
  parsed->outDoc = positional[2];
  if (parsed->verify && parsed->outData.empty()) {
    *exitCode = usageError(kName, "--verify needs -o OUT_DATA");
    return false;
  }
  return true;
}

bool textRecords(uint32_t recfm) { return recfm == kRecfmDelimited || recfm == kRecfmNative; }

// Typed text rippers leave header lines to their host: the tool skips them.
void skipHeaders(KovaRipper* ripper) {
  const KovaObject* table = ripper->table;
  if (!ripper->rowImage && ripper->headerLinesLeft == 0 && table->headerLines > 0 &&
      textRecords(table->recfm)) {
    ripper->headerLinesLeft = table->headerLines;
  }
}

// The header lines of a delimited OUT table: the column names, then empty
// lines, in the encoding the burner writes its fields in.
std::string headerText(const KovaRipper* burner, KovaNls* nls) {
  const KovaObject* table = burner->table;
  if (table->headerLines <= 0 || table->recfm != kRecfmDelimited) return "";
  std::string end = table->recordEndTextLength
                        ? std::string(reinterpret_cast<const char*>(table->recordEndText),
                                      table->recordEndTextLength)
                        : "\n";
  std::string names;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    if (i > 0) names += char(table->fieldsep);
    const KovaColumn* c = table->columns[i];
    if (c->name && c->nameLength > 0) names += toUtf8({c->name, size_t(c->nameLength)});
  }
  const int32_t encoding = static_cast<int32_t>(burner->fieldEncoding);
  if (nls && encoding != 0 && encoding != kEncodingUtf8 &&
      nls->ops->needsTranscoding(nls, kEncodingUtf8, encoding, 0) && !names.empty()) {
    KovaTranscoder* t = nls->ops->createTranscoder(nls, kEncodingUtf8, encoding, 0, nullptr);
    if (t) {
      std::string converted(names.size() * 4 + 4, '\0');
      uint64_t written = 0;
      if (t->ops->transcode(t, names.data(), names.size(), converted.data(), converted.size(),
                            &written, 0) == kStatusOk) {
        names = converted.substr(0, written);
      }
      t->ops->destroyTranscoder(t);
    }
  }
  std::string out = names + end;
  for (int64_t i = 1; i < table->headerLines; ++i) out += end;
  return out;
}

// --verify: rips the written bytes back, block by block as they are
// written, and compares each row with the row that was burned.
class Verifier {
 public:
  Verifier(KovaRipper* ripper, const KovaRipper* burner, KovaNls* nls)
      : ripper_(ripper), burned_(burner, nls, true), read_(ripper, nls, true) {}

  void expect(const uint8_t* rows, uint64_t count, uint64_t rowLength) {
    for (uint64_t r = 0; r < count; ++r) {
      burned_.read(rows + r * rowLength, &cells_);
      expected_.push_back(cells_);
    }
  }
  bool feed(const uint8_t* bytes, uint64_t length) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    KovaStatus status = ripper_->ops.ripBlock(ripper_, bytes, int64_t(length), &rows, &count);
    return status == kStatusOk ? compare(rows, count) : failed(status);
  }
  bool finish() {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    KovaStatus status = ripper_->ops.flushPending(ripper_, &rows, &count);
    if (status != kStatusOk) return failed(status);
    if (!compare(rows, count)) return false;
    if (!expected_.empty()) {
      std::fprintf(stderr, "kova convert: verify: row %llu was burned but not read back\n",
                   static_cast<unsigned long long>(checked_ + 1));
      return false;
    }
    return true;
  }
  uint64_t checked() const { return checked_; }

 private:
  // Fixed-width text keeps no difference between null, empty and blank
  // padded values: they compare alike.
  static std::string shown(const Cell& cell) {
    if (cell.kind == Cell::kNull || cell.kind == Cell::kMissing) return "null";
    std::string text = cell.text;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() && cell.kind == Cell::kText ? "null" : text;
  }
  bool failed(KovaStatus status) {
    std::fprintf(stderr, "kova convert: verify: reading back failed after row %llu: %s\n",
                 static_cast<unsigned long long>(checked_), statusText(status).c_str());
    return false;
  }
  bool compare(const uint8_t* rows, int32_t count) {
    for (int32_t r = 0; r < count; ++r) {
      ++checked_;
      if (expected_.empty()) {
        std::fprintf(stderr, "kova convert: verify: row %llu was read back but never burned\n",
                     static_cast<unsigned long long>(checked_));
        return false;
      }
      read_.read(rows + uint64_t(r) * ripper_->rowLength, &cells_);
      const std::vector<Cell>& want = expected_.front();
      for (size_t c = 0; c < want.size() && c < cells_.size(); ++c) {
        const std::string a = shown(want[c]), b = shown(cells_[c]);
        if (a != b) {
          std::fprintf(stderr,
                       "kova convert: verify: row %llu, column %s: burned %s, read back %s\n",
                       static_cast<unsigned long long>(checked_), burned_.names()[c].c_str(),
                       a.c_str(), b.c_str());
          return false;
        }
      }
      expected_.pop_front();
    }
    return true;
  }

  KovaRipper* ripper_;
  RowReader burned_;
  RowReader read_;
  std::vector<Cell> cells_;
  std::deque<std::vector<Cell>> expected_;
  uint64_t checked_ = 0;
};

struct Objects {
  KovaObject* inTable = nullptr;
  KovaObject* outTable = nullptr;
  KovaObject* verifyTable = nullptr;
  KovaRipper* ripper = nullptr;
  KovaRipper* burner = nullptr;
  KovaRipper* verifier = nullptr;
  ~Objects() {
    for (KovaRipper* r : {verifier, burner, ripper}) {
      if (r) r->ops.destroy(r);
    }
    for (KovaObject* t : {verifyTable, outTable, inTable}) {
      if (t) t->destroy(t);
    }
  }
};

KovaRipperOptions burnerOptions(const KovaObject* table, bool image) {
  KovaRipperOptions options{};
  options.flags = kRipperOutput | (image ? kRipperRowImage : 0u);
  // Binary records keep the byte order their document declares.
  if (table->bigendian && (table->recfm == kRecfmFixed || table->recfm == kRecfmNative ||
                           table->recfm == kRecfmVarbin)) {
    options.flags |= kRipperMoxeClient;
    options.clientByteOrder = kClientBigEndian;
  }
  return options;
}

// The first row of a failed batch that fails on its own (1-based in the batch).
uint64_t failingRow(KovaRipper* burner, const uint8_t* rows, uint64_t count) {
  for (uint64_t r = 0; r < count; ++r) {
    const uint8_t* data = nullptr;
    uint64_t length = 0;
    if (burner->ops.writeRows(burner, rows + r * burner->rowLength, burner->rowLength, &data,
                              &length) != kStatusOk) {
      return r + 1;
    }
  }
  return 1;
}

int convert(const ConvertArgs& args, Session& session, Objects& o, LossCheck& check) {
  KovaNls* nls = session.host().kernel()->nls;
  // Checked before the output is created: a failed run must not empty it.
  if (isDirectory(args.inData)) {
    std::fprintf(stderr, "kova convert: %s is a directory, not a data file\n", args.inData.c_str());
    return kExitFailed;
  }
  FILE* in = args.inData == "-" ? stdin : std::fopen(args.inData.c_str(), "rb");
  if (!in) {
    std::fprintf(stderr, "kova convert: cannot open %s: %s\n", args.inData.c_str(),
                 std::strerror(errno));
    return kExitFailed;
  }
  FILE* out = args.outData.empty() ? stdout : std::fopen(args.outData.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "kova convert: cannot create %s: %s\n", args.outData.c_str(),
                 std::strerror(errno));
    if (in != stdin) std::fclose(in);
    return kExitFailed;
  }
  const std::string outName = args.outData.empty() ? "stdout" : args.outData;
  ValueMover mover(o.ripper, o.burner, session.host().kernel());
  for (const std::string& name : mover.unmatched()) {
    std::fprintf(stderr, "kova convert: %s has no column %s: it is written as null\n",
                 args.inDoc.c_str(), name.c_str());
  }
  std::unique_ptr<Verifier> verifier;
  if (o.verifier) verifier = std::make_unique<Verifier>(o.verifier, o.burner, nls);

  // The rows one block can produce must fit the memory budget. VARBIN
  // blocks are cut at record boundaries, as kova rip cuts them.
  const uint32_t recfm = o.ripper->table->recfm;
  BlockReader blocks(in,
                     budgetBlockSize(kName, args.inData, o.ripper, args.blockSize,
                                     args.blockSizeGiven, args.loss.memory),
                     recfm == kRecfmVarbin);
  uint64_t inBytes = 0;
  // A byte-order mark at the start of a text file is no part of its first value.
  if (recfm == kRecfmDelimited || recfm == kRecfmClf || recfm == kRecfmJson) {
    inBytes = blocks.skipByteOrderMark(o.ripper->table->encoding);
  }
  check.start(o.ripper, nls, inBytes);
  std::vector<uint8_t> outRows;
  Progress progress;
  const Clock::time_point start = Clock::now();
  uint64_t outBytes = 0, rowsDone = 0;
  int result = kExitOk;

  auto emit = [&](const uint8_t* bytes, uint64_t length) {
    if (length == 0) return true;
    if (std::fwrite(bytes, 1, length, out) != length) {
      std::fprintf(stderr, "kova convert: %s: write error: %s\n", outName.c_str(),
                   std::strerror(errno));
      return false;
    }
    outBytes += length;
    if (verifier && !verifier->feed(bytes, length)) return false;
    return true;
  };
  // Moves and burns up to a batch of ripped rows (and no more than the limit).
  auto burnBatch = [&](const uint8_t* rows, uint64_t take) {
    const uint64_t length = o.burner->rowLength;
    outRows.resize(take * length);
    for (uint64_t r = 0; r < take; ++r) {
      mover.move(rows + r * o.ripper->rowLength, outRows.data() + r * length);
    }
    const uint8_t* data = nullptr;
    uint64_t bytes = 0;
    KovaStatus status =
        o.burner->ops.writeRows(o.burner, outRows.data(), take * length, &data, &bytes);
    if (status != kStatusOk) {
      progress.clear();
      const uint64_t row = rowsDone + failingRow(o.burner, outRows.data(), take);
      std::fprintf(stderr, "kova convert: %s: row %llu could not be written: %s\n", outName.c_str(),
                   static_cast<unsigned long long>(row), statusText(status).c_str());
      return false;
    }
    if (verifier) verifier->expect(outRows.data(), take, length);
    rowsDone += take;
    return emit(data, bytes);
  };
  auto burn = [&](const uint8_t* rows, int32_t count) {
    uint64_t left = std::min<uint64_t>(uint64_t(std::max(count, 0)), args.limit - rowsDone);
    check.taken(rows, left, rowsDone);
    for (uint64_t at = 0; left > 0;) {
      const uint64_t take = std::min(left, args.batch);
      if (!burnBatch(rows + at * o.ripper->rowLength, take)) return false;
      at += take;
      left -= take;
    }
    return true;
  };

  const std::string header = headerText(o.burner, nls);
  if (!emit(reinterpret_cast<const uint8_t*>(header.data()), header.size())) result = kExitFailed;
  while (result == kExitOk && rowsDone < args.limit) {
    const uint8_t* block = nullptr;
    size_t n = 0;
    if (!blocks.next(&block, &n)) {
      progress.clear();
      if (blocks.reportFailedEnd("convert", args.inData, inBytes)) result = kExitFailed;
      break;
    }
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check.beforeBlock(inBytes);
    KovaStatus status = o.ripper->ops.ripBlock(o.ripper, block, int64_t(n), &rows, &count);
    if (status != kStatusOk) {
      progress.clear();
      std::fprintf(stderr, "kova convert: %s: the block at offset %llu failed: %s\n",
                   args.inData.c_str(), static_cast<unsigned long long>(inBytes),
                   statusText(status).c_str());
      result = kExitFailed;
      break;
    }
    inBytes += n;
    if (!burn(rows, count)) result = kExitFailed;
    progress.update(inBytes, rowsDone);
  }
  if (result == kExitOk && rowsDone < args.limit) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check.beforeEnd(inBytes);
    KovaStatus status = o.ripper->ops.flushPending(o.ripper, &rows, &count);
    if (status != kStatusOk) {
      std::fprintf(stderr, "kova convert: %s: the end of the input failed: %s\n",
                   args.inData.c_str(), statusText(status).c_str());
      result = kExitFailed;
    } else if (!burn(rows, count)) {
      result = kExitFailed;
    }
  }
  if (std::fflush(out) != 0) result = kExitFailed;
  if (out != stdout && std::fclose(out) != 0) {
    std::fprintf(stderr, "kova convert: %s: %s\n", outName.c_str(), std::strerror(errno));
    result = kExitFailed;
  }
  if (in != stdin) std::fclose(in);
  if (result == kExitOk && verifier && !verifier->finish()) result = kExitFailed;
  progress.clear();

  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const uint64_t truncations = uint64_t(o.ripper->ops.truncationCount(o.ripper)) +
                               o.burner->ops.truncationCount(o.burner) + mover.cut();
  std::string verified;
  if (verifier && result == kExitOk) {
    verified = ", verified " + std::to_string(verifier->checked()) + " rows";
  }
  std::fprintf(stderr,
               "kova convert: %llu rows, %llu truncations, %llu unconverted%s, %.1f MB in, "
               "%.1f MB out in %.3f s (%.1f MB/s)%s\n",
               static_cast<unsigned long long>(rowsDone),
               static_cast<unsigned long long>(truncations),
               static_cast<unsigned long long>(mover.unconverted()),
               check.ledger().summary().c_str(), double(inBytes) / 1e6, double(outBytes) / 1e6,
               seconds, seconds > 0 ? double(inBytes) / 1e6 / seconds : 0, verified.c_str());
  check.finish(args.inData == "-" ? "stdin" : args.inData, &result);
  return result;
}

}  // namespace

int runConvert(std::span<char*> args) {
  ConvertArgs parsed;
  int exitCode = kExitOk;
  if (!parseArgs(args, &parsed, &exitCode)) return exitCode;
  Session session;
  if (!session.open()) return kExitFailed;
  Objects o;
  std::string error;
  o.inTable = loadTable(session, parsed.inDoc, &error);
  if (o.inTable) o.outTable = loadTable(session, parsed.outDoc, &error);
  if (o.outTable && parsed.verify) o.verifyTable = loadTable(session, parsed.outDoc, &error);
  if (!o.inTable || !o.outTable || (parsed.verify && !o.verifyTable)) {
    std::fprintf(stderr, "kova convert: %s\n", error.c_str());
    return kExitFailed;
  }
  // Row images are burned as delimited text whatever the table's records:
  // a file of them is no FIXED file, which OUT_DOC could not read back.
  if (parsed.image && o.outTable->recfm == kRecfmFixed) {
    std::fprintf(stderr,
                 "kova convert: %s: FIXED records are burned from typed rows; drop --image "
                 "(row images would be written as delimited text)\n",
                 parsed.outDoc.c_str());
    return kExitFailed;
  }
  // Every value the rip loses is counted, as by kova rip.
  LossCheck check(kName, parsed.loss, session.diagnostics(), nullptr);
  KovaRipperOptions ripOptions{};
  ripOptions.flags = kRipperReportRejects;
  o.ripper =
      openRipper(session, o.inTable, ripOptions, kName, parsed.inDoc, nullptr, check.diagnostics());
  if (!o.ripper) return kExitFailed;
  if (!check.checkColumns(o.ripper, parsed.inDoc)) return kExitFailed;
  skipHeaders(o.ripper);
  o.burner = openRipper(session, o.outTable, burnerOptions(o.outTable, parsed.image), kName,
                        parsed.outDoc);
  if (!o.burner) return kExitFailed;
  if (o.verifyTable) {
    KovaRipperOptions options{};
    options.flags = parsed.image ? kRipperRowImage : 0u;
    o.verifier = openRipper(session, o.verifyTable, options, kName, parsed.outDoc);
    if (!o.verifier) return kExitFailed;
    skipHeaders(o.verifier);
  }
  return convert(parsed, session, o, check);
}

}  // namespace kova::tool
