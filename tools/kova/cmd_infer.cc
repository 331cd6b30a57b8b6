// kova meta infer DATA [--format auto|delimited|clf|json|xml] [--sample SIZE|all]
//                      [--record-tag NAME] [--encoding NAME] [--json]
// Reads a sample of DATA (the first 1 MiB and spans spread over the rest, or
// the whole file), finds its encoding, record format, dialect and column
// types, and writes the metadata document through the module's writer.
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kova/cli_support.h"
#include "tools/kova/command.h"
#include "tools/kova/infer.h"
#include "tools/kova/infer_delimited.h"
#include "tools/kova/infer_document.h"
#include "tools/kova/infer_formats.h"
#include "tools/kova/infer_report.h"
#include "tools/kova/infer_sample.h"
#include "tools/kova/json.h"
#include "tools/kova/session.h"

namespace kova::tool {
namespace {

using namespace infer;
constexpr const char* kName = "meta infer";

struct InferArgs {
  std::string data;
  RecordFormat format = RecordFormat::kAuto;
  uint64_t head = kDefaultHead;
  bool all = false;
  std::string recordTag;
  std::string encoding;
  bool json = false;
};

bool parseArgs(std::span<char*> args, InferArgs* out, int* exit) {
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    auto value = [&](const char* option) -> const char* {
      if (i + 1 == args.size()) {
        *exit = usageError(kName, std::string(option) + " needs a value");
        return nullptr;
      }
      return args[++i];
    };
    if (arg == "--format") {
      const char* v = value("--format");
      if (!v) return false;
      std::string_view name = v;
      if (name == "auto")
        out->format = RecordFormat::kAuto;
      else if (name == "delimited")
        out->format = RecordFormat::kDelimited;
      else if (name == "clf")
        out->format = RecordFormat::kClf;
      else if (name == "json")
        out->format = RecordFormat::kJson;
      else if (name == "xml")
        out->format = RecordFormat::kXml;
      else {
        *exit = usageError(
            kName, "--format: one of auto, delimited, clf, json, xml, not " + std::string(name));
        return false;
      }
    } else if (arg == "--sample") {
      const char* v = value("--sample");
      if (!v) return false;
      if (std::string_view(v) == "all") {
        out->all = true;
      } else if ((out->head = parseSize(v)) < 4096) {
        *exit = usageError(
            kName, std::string("--sample: a size from 4k, such as 64k or 4M, or all, not ") + v);
        return false;
      }
    } else if (arg == "--record-tag") {
      const char* v = value("--record-tag");
      if (!v) return false;
      out->recordTag = v;
    } else if (arg == "--encoding") {
      const char* v = value("--encoding");
      if (!v) return false;
      out->encoding = v;
    } else if (arg == "--json") {
      out->json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *exit = usageError(kName, "unknown option " + std::string(arg));
      return false;
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 1) {
    *exit = usageError(kName, positional.empty() ? "needs DATA" : "takes one DATA");
    return false;
  }
  out->data = positional[0];
  return true;
}

// The host's encoding named by text (any case) or by its number; 0 when none.
int32_t encodingByName(KovaNls* nls, const std::string& text, std::string* name) {
  auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (int32_t id = 1; id < 265; ++id) {
    KovaEncodingInfo info{};
    if (id == 25 || nls->ops->encodingInfo(nls, id, &info) != 0) continue;  // 25: internal text
    std::string known = toUtf8({info.name, size_t(info.nameLength)});
    if (lower(known) == lower(text) || text == std::to_string(id)) {
      *name = known;
      return id;
    }
  }
  return 0;
}

using Clock = std::chrono::steady_clock;

// Progress on a terminal while a long sample is read.
class Progress {
 public:
  explicit Progress(uint64_t total)
      : enabled_(isatty(STDERR_FILENO)), total_(total), last_(Clock::now()) {}
  void update(uint64_t bytes) {
    if (!enabled_ || Clock::now() - last_ < std::chrono::milliseconds(250)) return;
    last_ = Clock::now();
    shown_ = true;
    if (total_) {
      std::fprintf(stderr, "\r  kova meta infer: %.1f of %.1f MB ", double(bytes) / 1e6,
                   double(total_) / 1e6);
    } else {
      std::fprintf(stderr, "\r  kova meta infer: %.1f MB ", double(bytes) / 1e6);
    }
    std::fflush(stderr);
  }
  void clear() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  bool enabled_;
  uint64_t total_;
  bool shown_ = false;
  Clock::time_point last_;
};

int fail(const std::string& path, const std::string& message) {
  std::fprintf(stderr, "kova meta infer: %s: %s\n", path.c_str(), message.c_str());
  return kExitFailed;
}

// Reads the sample and fills findings; an exit code other than kExitOk on failure.
int sniff(Session& session, const InferArgs& args, Findings* f) {
  KovaNls* nls = session.host().kernel()->nls;
  SampleFile file;
  std::string error;
  if (!file.open(args.data, &error)) return fail(args.data, error);
  // The spans: kSpanCount of them, together as large as the head. A file
  // that holds no more than the head and the spans is read whole.
  const uint64_t spanBytes = std::max<uint64_t>(args.head / kSpanCount, 4096);
  uint64_t headBytes = args.head;
  if (file.seekable() && file.size() <= args.head + spanBytes * kSpanCount) headBytes = file.size();
  std::string raw;
  if (!file.readHead(headBytes, &raw, &error)) return fail(args.data, error);
  const bool headWhole = file.seekable() ? raw.size() >= file.size() : raw.size() < headBytes;
  f->fileBytes = file.seekable() ? file.size() : headWhole ? raw.size() : 0;  // 0: not known
  if (raw.empty()) return fail(args.data, "empty: there is nothing to infer from");
  // The encoding.
  EncodingGuess encoding;
  if (!args.encoding.empty()) {
    std::string name;
    int32_t id = nls ? encodingByName(nls, args.encoding, &name) : 0;
    if (!id)
      return fail(args.data, "--encoding " + args.encoding +
                                 ": the host knows no such encoding (see kova encodings)");
    encoding = forcedEncoding(id, name, raw);
  } else {
    encoding = detectEncoding(raw, !headWhole);
  }
  f->encoding = encoding.id;
  f->encodingName = encoding.name;
  f->bomLength = encoding.bomLength;
  f->encodingEvidence = encoding.evidence;
  Decoder decoder(nls, encoding);
  if (!decoder.ok())
    return fail(args.data, "the host cannot convert " + encoding.name + " to UTF-8");
  std::string_view body(raw);
  body.remove_prefix(std::min(raw.size(), encoding.bomLength));
  if (!headWhole) {
    // Whole lines only, so no character is cut.
    size_t end = afterLastLineFeed(body, encoding);
    if (end != std::string::npos) body = body.substr(0, end);
  }
  std::string head;
  if (!decoder.decode(body, &head))
    return fail(args.data, "the sample is not valid " + encoding.name);
  // The record format.
  f->format = args.format;
  if (f->format == RecordFormat::kAuto) {
    f->format = detectFormat(head, &f->formatEvidence);
  } else {
    f->formatEvidence.push_back("given with --format");
  }
  std::unique_ptr<Inference> inference = makeInference(f->format, args.recordTag);
  if (!inference->start(head, headWhole, f, &error)) return fail(args.data, error);
  Progress progress(f->fileBytes);
  if (!args.all || headWhole) {
    inference->feed(head, headWhole, true, false);
    std::vector<std::string> spans;
    if (!headWhole &&
        !file.readSpans(raw.size(), kSpanCount, spanBytes, encoding, &spans, &error)) {
      return fail(args.data, error);
    }
    std::string text;
    for (const std::string& span : spans) {
      if (!decoder.decode(span, &text)) continue;
      inference->feed(text, true, false, true);
    }
    f->sampledBytes = file.bytesRead();
    f->wholeFile = headWhole;
  } else {
    if (!file.rewind(&error)) return fail(args.data, error);
    std::string chunk, text, pending;
    bool last = false, first = true;
    while (!last) {
      if (!file.nextChunk(encoding, &chunk, &last, &error)) return fail(args.data, error);
      std::string_view bytes(chunk);
      if (first) bytes.remove_prefix(std::min(bytes.size(), encoding.bomLength));
      if (!decoder.decode(bytes, &text))
        return fail(args.data, "not valid " + encoding.name + " near offset " +
                                   std::to_string(file.bytesRead()));
      if (!pending.empty()) text.insert(0, pending);
      size_t used = inference->feed(text, last, first, false);
      pending.assign(text, used, std::string::npos);
      first = false;
      progress.update(file.bytesRead());
    }
    f->sampledBytes = file.bytesRead();
    f->fileBytes = std::max(f->fileBytes, f->sampledBytes);
    f->wholeFile = true;
  }
  progress.clear();
  if (!inference->finish(f, &error)) return fail(args.data, error);
  return kExitOk;
}

}  // namespace

int runMetaInfer(std::span<char*> args) {
  InferArgs parsed;
  int exit = kExitOk;
  if (!parseArgs(args, &parsed, &exit)) return exit;
  Session session;
  if (!session.open()) return kExitFailed;
  Findings findings;
  if (int code = sniff(session, parsed, &findings); code != kExitOk) return code;
  for (const std::string& warning : findings.warnings) {
    std::fprintf(stderr, "kova meta infer: %s: warning: %s\n", parsed.data.c_str(),
                 warning.c_str());
  }
  if (parsed.json) {
    std::fputs(findingsJson(findings, parsed.data).c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
  }
  std::string error;
  KovaObject* table = buildTable(session, findings, tableNameOf(parsed.data), &error);
  if (!table) return fail(parsed.data, error);
  const uint8_t* document = nullptr;
  uint64_t length = 0;
  KovaStatus status = session.extension()->writeXml(table, &document, &length);
  if (status == kStatusOk) std::fwrite(document, 1, length, stdout);
  table->destroy(table);
  if (status != kStatusOk)
    return fail(parsed.data, "cannot write the document: " + statusText(status));
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

}  // namespace kova::tool
