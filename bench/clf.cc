// CLF lines and transcoded blocks, side by side with their yardsticks:
// - 1,000,000 log lines ripped typed (host, ident, user and request as
//   VARCHAR, the time as TIMESTAMP through ANYDTDTM, status and size as INT)
//   against a plain memchr scan for the line feeds and blanks of the same
//   bytes;
// - a delimited table in ISO-8859-1 (every block transcoded before it is
//   parsed) against its UTF-8 twin.
// BM_ClfRipText rips the same lines with every field as VARCHAR: the cost of
// the line parser and plain copies. Blocks of 1 MiB and 128 KiB (the rows of
// a smaller block stay in the cache). Run with --benchmark_repetitions=5 and compare medians;
// the counters give MB/s and rows/s.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/bench_support.h"
#include "kova/extension.h"
#include "kova/metadata.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

namespace {

constexpr int kLines = 1000000;

struct Module {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  Module() {
    host.setOption(u"ZR_NAME_YEARCUTOFF", 1940);
    extension = kova::bench::startModule(host);
  }
};

Module& module() {
  static Module* m = new Module;
  return *m;
}

uint64_t next(uint64_t* seed) {
  *seed = *seed * 6364136223846793005ull + 1442695040888963407ull;
  return *seed >> 17;
}

const std::string& logLines() {
  static const std::string text = [] {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const kPaths[] = {
        "/",          "/index.html", "/images/logo.png", "/api/v1/items", "/search?q=blue+shoes",
        "/robots.txt"};
    static const int kStatus[] = {200, 200, 200, 304, 404, 500};
    std::string out;
    out.reserve(size_t(kLines) * 110);
    uint64_t seed = 7;
    char line[256];
    for (int i = 0; i < kLines; ++i) {
      int n = std::snprintf(
          line, sizeof line,
          "10.%d.%d.%d - %s [%02d/%s/2024:%02d:%02d:%02d +0000] \"GET %s HTTP/1.1\" %d %d\n",
          int(next(&seed) % 256), int(next(&seed) % 256), int(next(&seed) % 256),
          next(&seed) % 4 ? "-" : "frank", int(1 + next(&seed) % 28), kMonths[next(&seed) % 12],
          int(next(&seed) % 24), int(next(&seed) % 60), int(next(&seed) % 60),
          kPaths[next(&seed) % 6], kStatus[next(&seed) % 6], int(next(&seed) % 50000));
      out.append(line, size_t(n));
    }
    return out;
  }();
  return text;
}

// The same table in ISO-8859-1 (latin1) or UTF-8: an order number, two
// quoted names with accented letters, an amount and a note.
const std::string& delimitedRows(bool latin1) {
  static const std::string utf8 = [] {
    static const char* const kNames[] = {"Ren\xc3\xa9", "Zo\xc3\xab",       "J\xc3\xbcrgen",
                                         "Ana",         "Fran\xc3\xa7oise", "Bj\xc3\xb6rn"};
    static const char* const kCities[] = {"M\xc3\xbcnchen",   "Z\xc3\xbcrich", "Lyon",
                                          "S\xc3\xa3o Paulo", "Malm\xc3\xb6",  "Porto"};
    std::string out;
    out.reserve(size_t(kLines) * 80);
    uint64_t seed = 11;
    char line[256];
    for (int i = 0; i < kLines; ++i) {
      int n =
          std::snprintf(line, sizeof line, "%d,\"%s\",\"%s\",%d.%02d,caf\xc3\xa9 cr\xc3\xa8me %d\n",
                        i, kNames[next(&seed) % 6], kCities[next(&seed) % 6],
                        int(next(&seed) % 10000), int(next(&seed) % 100), int(next(&seed) % 1000));
      out.append(line, size_t(n));
    }
    return out;
  }();
  static const std::string iso = [] {
    // Every character above is below U+0100: two UTF-8 bytes become one.
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
      unsigned char c = utf8[i];
      if (c >= 0xC0) {
        out += char(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
      } else {
        out += char(c);
      }
    }
    return out;
  }();
  return latin1 ? iso : utf8;
}

void text(KovaObject* table, const char16_t** field, int64_t* length, std::u16string_view value) {
  *field = table->extension->copyString(table, value.data(), int64_t(value.size()));
  *length = int64_t(value.size());
}

KovaColumn* column(KovaObject* table, std::u16string_view name, uint32_t type, int64_t chars) {
  KovaColumn* c = table->extension->addColumn(table);
  if (!c) std::abort();
  text(table, &c->name, &c->nameLength, name);
  c->type = type;
  c->charlength = chars;
  return c;
}

// typed: the time through ANYDTDTM and status and size as INT; otherwise
// every field is VARCHAR text (what the line parser costs by itself).
KovaObject* logTable(bool typed) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, "bench clf");
  table->recfm = kRecfmClf;
  table->encoding = 20;
  column(table, u"host", kTypeVarchar, 64);
  column(table, u"ident", kTypeVarchar, 32);
  column(table, u"user", kTypeVarchar, 32);
  if (typed) {
    KovaColumn* time = column(table, u"time", kTypeTimestamp, 0);
    text(table, &time->informat, &time->informatLength, u"ANYDTDTM.");
  } else {
    column(table, u"time", kTypeVarchar, 32);
  }
  column(table, u"request", kTypeVarchar, 512);
  column(table, u"status", typed ? kTypeInt : kTypeVarchar, typed ? 0 : 8);
  column(table, u"size", typed ? kTypeInt : kTypeVarchar, typed ? 0 : 8);
  return table;
}

KovaObject* ordersTable(bool latin1) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, "bench delimited");
  table->recfm = kRecfmDelimited;
  table->encoding = latin1 ? 1 : 20;
  table->fieldsep = ',';
  table->textqual = '"';
  column(table, u"id", kTypeInt, 0);
  column(table, u"name", kTypeVarchar, 40);
  column(table, u"city", kTypeVarchar, 40);
  column(table, u"amount", kTypeDouble, 0);
  column(table, u"note", kTypeVarchar, 100);
  return table;
}

// Rips data in blocks of the given size with a fresh ripper; the rows, or
// -1 on a failure.
int64_t ripAll(KovaObject* table, const std::string& data, size_t block) {
  KovaRipper* ripper = module().extension->createRipper(table, nullptr, nullptr);
  if (!ripper || !ripper->ops.describe(ripper) || ripper->ops.bind(ripper) != kStatusOk) {
    return -1;
  }
  int64_t total = 0;
  for (size_t at = 0; at < data.size(); at += block) {
    const size_t n = std::min(block, data.size() - at);
    uint8_t* rows = nullptr;
    int32_t count = 0;
    if (ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(data.data()) + at, int64_t(n),
                             &rows, &count) != kStatusOk) {
      total = -1;
      break;
    }
    benchmark::DoNotOptimize(rows);
    total += count;
  }
  uint8_t* rows = nullptr;
  int32_t count = 0;
  if (total >= 0 && ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk) total += count;
  ripper->ops.destroy(ripper);
  return total;
}

void report(benchmark::State& state, size_t bytes, int64_t rows) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["rows/s"] =
      benchmark::Counter(double(rows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ClfMemchrScan(benchmark::State& state) {
  const std::string& data = logLines();
  int64_t lines = 0;
  for (auto _ : state) {
    lines = 0;
    int64_t blanks = 0;
    const char* p = data.data();
    const char* const end = p + data.size();
    while (p < end) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
      const char* lineEnd = lf ? lf : end;
      while (const char* blank =
                 static_cast<const char*>(std::memchr(p, ' ', size_t(lineEnd - p)))) {
        ++blanks;
        p = blank + 1;
      }
      ++lines;
      p = lineEnd + 1;
    }
    benchmark::DoNotOptimize(blanks);
  }
  report(state, data.size(), lines);
}
BENCHMARK(BM_ClfMemchrScan)->Unit(benchmark::kMillisecond)->Iterations(3);

// Rips data with table (destroyed afterwards) once per iteration.
void ripTable(benchmark::State& state, KovaObject* table, const std::string& data) {
  int64_t rows = 0;
  for (auto _ : state) {
    rows = ripAll(table, data, size_t(state.range(0)));
    if (rows != kLines) state.SkipWithError("the rip failed or lost rows");
  }
  table->destroy(table);
  report(state, data.size(), rows);
}

void BM_ClfRipTyped(benchmark::State& state) { ripTable(state, logTable(true), logLines()); }
BENCHMARK(BM_ClfRipTyped)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(1 << 20)->Arg(1 << 17);

void BM_ClfRipText(benchmark::State& state) { ripTable(state, logTable(false), logLines()); }
BENCHMARK(BM_ClfRipText)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(1 << 20)->Arg(1 << 17);

void BM_DelimitedUtf8(benchmark::State& state) {
  ripTable(state, ordersTable(false), delimitedRows(false));
}
BENCHMARK(BM_DelimitedUtf8)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Arg(1 << 20)
    ->Arg(1 << 17);

void BM_DelimitedLatin1(benchmark::State& state) {
  ripTable(state, ordersTable(true), delimitedRows(true));
}
BENCHMARK(BM_DelimitedLatin1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Arg(1 << 20)
    ->Arg(1 << 17);

}  // namespace

BENCHMARK_MAIN();
