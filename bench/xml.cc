// XML records, side by side with their yardstick, in one run:
// - the benchmark table (id INT, big BIGINT, x DOUBLE, name VARCHAR(24),
//   code CHAR(8), day DATE, amount DECIMAL(12,2), at TIMESTAMP) written as
//   XML, one <row> element per row and one child element per column, ripped
//   typed in 1 MiB blocks, against expat's bare parse of the same bytes with
//   empty handlers; rounds alternate and the medians are compared;
// - one text node or one attribute of 1, 10 and 100 MB ripped in 1 MiB
//   blocks, and a metadata document with a comment or an attribute of that
//   size read in 64 KiB pieces: time per MB should not grow with the size.
//
// usage: bench_xml [ROWS [ROUNDS]]   (defaults 2000000 and 5)
#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "kova/extension.h"
#include "kova/metadata.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

namespace {

constexpr size_t kBlock = 1 << 20;
constexpr size_t kDocumentPiece = 64 * 1024;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t next(uint64_t* seed) {
  *seed = *seed * 6364136223846793005ull + 1442695040888963407ull;
  return *seed >> 17;
}

std::string tableDocument(int rows) {
  static const char* const kWords[] = {"alpha", "bravo", "charlie", "delta",   "echo", "foxtrot",
                                       "golf",  "hotel", "india",   "juliett", "kilo", "lima"};
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rows>\n";
  out.reserve(size_t(rows) * 200);
  uint64_t seed = 20240229;
  char line[512];
  for (int i = 0; i < rows; ++i) {
    int day = int(1 + next(&seed) % 28), month = int(1 + next(&seed) % 12);
    int year = int(1990 + next(&seed) % 40);
    int n = std::snprintf(
        line, sizeof line,
        "<row><id>%d</id><big>%lld</big><x>%.6g</x><name>%s %s</name><code>%c%c%c%c%04d</code>"
        "<day>%04d-%02d-%02d</day><amount>%lld.%02d</amount>"
        "<at>%04d-%02d-%02d %02d:%02d:%02d</at></row>\n",
        i, (long long)(next(&seed) % 2000000000000000ull) - 1000000000000000ll,
        double(int64_t(next(&seed) % 2000000)) - 1e6 + 0.5, kWords[next(&seed) % 12],
        kWords[next(&seed) % 12], 'A' + int(next(&seed) % 8), 'A' + int(next(&seed) % 8),
        'A' + int(next(&seed) % 8), 'A' + int(next(&seed) % 8), int(next(&seed) % 10000), year,
        month, day, (long long)(next(&seed) % 200000000) - 100000000, int(next(&seed) % 100), year,
        month, day, int(next(&seed) % 24), int(next(&seed) % 60), int(next(&seed) % 60));
    out.append(line, size_t(n));
  }
  return out + "</rows>\n";
}

struct Module {
  kova::runtime::Host host;
  KovaExtensionObject* extension = kova::bench::startModule(host);
};

void text(KovaObject* table, const char16_t** field, int64_t* length, std::u16string_view value) {
  *field = table->extension->copyString(table, value.data(), int64_t(value.size()));
  *length = int64_t(value.size());
}

KovaObject* benchTable(Module& m) {
  KovaObject* table = m.extension->createInstance(m.extension, nullptr, nullptr, "bench");
  table->recfm = kRecfmXml;
  table->encoding = kEncodingUtf8;
  text(table, &table->recordTag, &table->recordTagLength, u"row");
  struct Spec {
    std::u16string_view name;
    uint32_t type;
    int64_t chars, bytes;
    std::u16string_view informat;
  };
  const Spec specs[] = {
      {u"id", kTypeInt, 0, 0, u""},          {u"big", kTypeBigint, 0, 0, u""},
      {u"x", kTypeDouble, 0, 0, u""},        {u"name", kTypeVarchar, 24, 24, u""},
      {u"code", kTypeChar, 8, 8, u""},       {u"day", kTypeDate, 0, 0, u"YYMMDD10."},
      {u"amount", kTypeDecimal, 12, 2, u""}, {u"at", kTypeTimestamp, 0, 0, u""}};
  for (const Spec& s : specs) {
    KovaColumn* c = m.extension->addColumn(table);
    text(table, &c->name, &c->nameLength, s.name);
    text(table, &c->tag, &c->tagLength, s.name);
    c->type = s.type;
    c->charlength = s.chars;
    c->bytelength = s.bytes;
    if (!s.informat.empty()) text(table, &c->informat, &c->informatLength, s.informat);
  }
  return table;
}

// Rips document in blocks; returns the rows (or -1 on failure).
int64_t rip(Module& m, KovaObject* table, std::string_view document, size_t block) {
  KovaRipperOptions options{};
  KovaRipper* ripper = m.extension->createRipper(table, &options, nullptr);
  if (!ripper || !ripper->ops.describe(ripper) || ripper->ops.bind(ripper) != kStatusOk) {
    std::fprintf(stderr, "cannot bind the XML ripper\n");
    std::exit(1);
  }
  int64_t rows = 0;
  for (size_t at = 0; at < document.size(); at += block) {
    uint8_t* out = nullptr;
    int32_t count = 0;
    const size_t n = std::min(block, document.size() - at);
    if (ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(document.data() + at),
                             int64_t(n), &out, &count) != kStatusOk) {
      rows = -1;
      break;
    }
    rows += count;
  }
  uint8_t* out = nullptr;
  int32_t count = 0;
  if (rows >= 0)
    rows = ripper->ops.flushPending(ripper, &out, &count) == kStatusOk ? rows + count : -1;
  ripper->ops.destroy(ripper);
  return rows;
}

void XMLCALL onStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL onEnd(void*, const XML_Char*) {}
void XMLCALL onText(void*, const XML_Char*, int) {}

bool expatParse(std::string_view document, size_t block) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetElementHandler(parser, onStart, onEnd);
  XML_SetCharacterDataHandler(parser, onText);
  bool ok = true;
  for (size_t at = 0; at < document.size() && ok; at += block) {
    const size_t n = std::min(block, document.size() - at);
    ok = XML_Parse(parser, document.data() + at, int(n), 0) == XML_STATUS_OK;
  }
  ok = ok && XML_Parse(parser, nullptr, 0, 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void tableRounds(Module& m, int rows, int rounds) {
  const std::string document = tableDocument(rows);
  KovaObject* table = benchTable(m);
  const double mb = double(document.size()) / 1e6;
  std::vector<double> peer, ours;
  for (int r = 0; r < rounds; ++r) {
    Clock::time_point start = Clock::now();
    if (!expatParse(document, kBlock)) std::fprintf(stderr, "expat failed\n");
    peer.push_back(secondsSince(start));
    start = Clock::now();
    int64_t got = rip(m, table, document, kBlock);
    ours.push_back(secondsSince(start));
    if (got != rows) std::fprintf(stderr, "ripped %lld rows, not %d\n", (long long)got, rows);
  }
  const double p = median(peer), o = median(ours);
  std::printf("table: %d rows, %.1f MB, %d rounds (medians)\n", rows, mb, rounds);
  std::printf("  expat bare parse     %8.3f s  %7.1f MB/s\n", p, mb / p);
  std::printf("  kova XML rip, typed  %8.3f s  %7.1f MB/s  (%.2f x expat)\n", o, mb / o, p / o);
  table->destroy(table);
}

// One record whose column text or attribute is size bytes.
std::string longTokenDocument(size_t size, bool attribute) {
  std::string filler(size, 'v');
  return attribute ? "<r><row note=\"" + filler + "\"><name>n</name></row></r>"
                   : "<r><row><name>" + filler + "</name></row></r>";
}

// A metadata document with a comment or an attribute of size bytes.
std::string longMetadata(size_t size, bool attribute) {
  std::string filler(size, 'c');
  std::string head = "<?xml version=\"1.0\"?>\n<kova>\n<recfm>XML</recfm>\n";
  if (attribute) return head + "<tableName note=\"" + filler + "\">t</tableName>\n</kova>\n";
  return head + "<!--" + filler + "-->\n<tableName>t</tableName>\n</kova>\n";
}

double readMetadata(Module& m, const std::string& document) {
  KovaObject* object = m.extension->createInstance(m.extension, nullptr, nullptr, "bench");
  Clock::time_point start = Clock::now();
  KovaStatus status = kStatusOk;
  for (size_t at = 0; at < document.size() && status == kStatusOk; at += kDocumentPiece) {
    const size_t n = std::min(kDocumentPiece, document.size() - at);
    const bool more = at + n < document.size();
    status = m.extension->readXmlChunk(object, document.data() + at, int64_t(n), more, nullptr);
    if (more && status == kStatusDocumentComplete) status = kStatusOk;
  }
  const double seconds = secondsSince(start);
  if (status != kStatusOk && status != kStatusDocumentComplete) {
    std::fprintf(stderr, "metadata document failed: 0x%x\n", status);
  }
  object->destroy(object);
  return seconds;
}

void longTokens(Module& m) {
  KovaObject* table = m.extension->createInstance(m.extension, nullptr, nullptr, "bench");
  table->recfm = kRecfmXml;
  table->encoding = kEncodingUtf8;
  text(table, &table->recordTag, &table->recordTagLength, u"row");
  KovaColumn* c = m.extension->addColumn(table);
  text(table, &c->name, &c->nameLength, u"name");
  text(table, &c->tag, &c->tagLength, u"name");
  c->type = kTypeVarchar;
  c->charlength = c->bytelength = 32;
  std::printf("one long token (time, and time per MB):\n");
  for (size_t mb : {1, 10, 100}) {
    for (bool attribute : {false, true}) {
      const std::string document = longTokenDocument(mb * 1000000, attribute);
      Clock::time_point start = Clock::now();
      const int64_t rows = rip(m, table, document, kBlock);
      const double s = secondsSince(start);
      std::printf("  rip, %-9s %4zu MB, 1 MiB blocks   %8.3f s  %7.4f s/MB%s\n",
                  attribute ? "attribute" : "text node", mb, s, s / double(mb),
                  rows == 1 ? "" : "  (wrong row count)");
    }
    for (bool attribute : {false, true}) {
      const double s = readMetadata(m, longMetadata(mb * 1000000, attribute));
      std::printf("  metadata, %-9s %4zu MB, 64 KiB pieces %6.3f s  %7.4f s/MB\n",
                  attribute ? "attribute" : "comment", mb, s, s / double(mb));
    }
  }
  table->destroy(table);
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 2000000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  Module m;
  if (rows > 0) tableRounds(m, rows, rounds);
  if (!std::getenv("KOVA_BENCH_NO_TOKENS")) longTokens(m);
  return 0;
}
