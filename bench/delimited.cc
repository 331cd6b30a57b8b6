// Ripping delimited text from memory in 1 MiB blocks: the typed table of
// bench/delimited_typed.xml, the same bytes split into text columns only
// (bench/delimited_text.xml), a plain memchr scan for the separator and
// the line feed over the same bytes as the yardstick of the split, and a
// plain hand-written typed reader of the same columns (hand_reader.h) as
// the yardstick of the typed rip.
// Data: bench/data/delimited.csv (bench/gen_delimited.py; run-delimited.sh
// makes it), or the file named by $KOVA_DELIMITED_DATA.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench/bench_support.h"
#include "bench/hand_reader.h"
#include "kova/extension.h"
#include "kova/metadata.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

namespace {

constexpr size_t kBlock = 1 << 20;

struct Setup {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  std::string data;

  Setup() {
    host.setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
    host.setOption(u"ZR_NAME_YEARCUTOFF", 1926);
    extension = kova::bench::startModule(host);
    const char* path = std::getenv("KOVA_DELIMITED_DATA");
    data = kova::bench::slurp(path ? path : kova::bench::benchDir() + "/data/delimited.csv");
  }

  KovaObject* table(const char* document) { return kova::bench::readTable(extension, document); }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

void rip(benchmark::State& state, const char* document) {
  Setup& s = setup();
  if (s.data.empty()) {
    state.SkipWithError("no data: run bench/run-delimited.sh");
    return;
  }
  KovaObject* table = s.table(document);
  uint64_t rows = 0;
  for (auto _ : state) {
    KovaRipperOptions options{};
    KovaRipper* ripper = s.extension->createRipper(table, &options, nullptr);
    ripper->ops.describe(ripper);
    if (ripper->ops.bind(ripper) != kStatusOk) {
      state.SkipWithError("bind failed");
      break;
    }
    ripper->headerLinesLeft = table->headerLines;  // as the tool does
    if (!kova::bench::ripInBlocks(ripper, s.data, kBlock, &rows)) {
      state.SkipWithError("ripBlock failed");
    }
    ripper->ops.destroy(ripper);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * s.data.size()));
  state.counters["rows"] = double(rows);
  table->destroy(table);
}

void BM_RipTyped(benchmark::State& state) { rip(state, "delimited_typed.xml"); }
void BM_SplitText(benchmark::State& state) { rip(state, "delimited_text.xml"); }

// The yardstick: memchr finds every separator, then every line feed, block
// by block.
void BM_MemchrScan(benchmark::State& state) {
  Setup& s = setup();
  const char* bytes = s.data.data();
  uint64_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (size_t at = 0; at < s.data.size(); at += kBlock) {
      const char* end = bytes + std::min(s.data.size(), at + kBlock);
      for (char wanted : {',', '\n'}) {
        for (const char* p = bytes + at;
             (p = static_cast<const char*>(std::memchr(p, wanted, size_t(end - p)))); ++p) {
          ++found;
        }
      }
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * s.data.size()));
  state.counters["found"] = double(found);
}

// The yardstick of the typed rip: the same columns into a struct per row by
// a plain single-threaded reader, 1 MiB at a time like the rip.
void BM_HandWritten(benchmark::State& state) {
  Setup& s = setup();
  if (s.data.empty()) {
    state.SkipWithError("no data: run bench/run-delimited.sh");
    return;
  }
  uint64_t rows = 0;
  uint64_t nulls = 0;
  for (auto _ : state) {
    auto reader = std::make_unique<kova::bench::HandReader>();
    rows = reader->read(s.data, kBlock);
    benchmark::DoNotOptimize(reader->checksum);
    nulls = reader->nullFields;
  }
  state.SetBytesProcessed(int64_t(state.iterations() * s.data.size()));
  state.counters["rows"] = double(rows);
  state.counters["nulls"] = double(nulls);
}

BENCHMARK(BM_RipTyped)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SplitText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemchrScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HandWritten)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
