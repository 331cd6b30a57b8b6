// Ripping JSON lines from memory in 1 MiB blocks: the typed table of
// bench/json_typed.xml (the delimited benchmark's columns, each tagged with
// its member), and, as the yardstick, yajl parsing the same bytes in the
// same blocks with callbacks that do nothing.
// Data: bench/data/json.jsonl (bench/gen_json.py; run-json.sh makes it), or
// the file named by $KOVA_JSON_DATA.
#include <benchmark/benchmark.h>
#include <yajl/yajl_parse.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
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
    const char* path = std::getenv("KOVA_JSON_DATA");
    data = kova::bench::slurp(path ? path : kova::bench::benchDir() + "/data/json.jsonl");
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

void BM_RipJsonTyped(benchmark::State& state) {
  Setup& s = setup();
  if (s.data.empty()) {
    state.SkipWithError("no data: run bench/run-json.sh");
    return;
  }
  KovaObject* table = kova::bench::readTable(s.extension, "json_typed.xml");
  uint64_t rows = 0;
  for (auto _ : state) {
    KovaRipperOptions options{};
    KovaRipper* ripper = s.extension->createRipper(table, &options, nullptr);
    ripper->ops.describe(ripper);
    if (ripper->ops.bind(ripper) != kStatusOk) {
      state.SkipWithError("bind failed");
      break;
    }
    if (!kova::bench::ripInBlocks(ripper, s.data, kBlock, &rows)) {
      state.SkipWithError("the rip failed");
    }
    ripper->ops.destroy(ripper);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * s.data.size()));
  state.counters["rows"] = double(rows);
  table->destroy(table);
}

// yajl over the same blocks, every callback present and empty, as a
// streaming parser must be driven for records (numbers as text).
int nothing(void*) { return 1; }
int nothingBoolean(void*, int) { return 1; }
int nothingNumber(void*, const char*, size_t) { return 1; }
int nothingString(void*, const unsigned char*, size_t) { return 1; }

void BM_YajlBareParse(benchmark::State& state) {
  Setup& s = setup();
  static const yajl_callbacks kCallbacks = {nothing,       nothingBoolean, nullptr, nullptr,
                                            nothingNumber, nothingString,  nothing, nothingString,
                                            nothing,       nothing,        nothing};
  const auto* bytes = reinterpret_cast<const unsigned char*>(s.data.data());
  for (auto _ : state) {
    yajl_handle parser = yajl_alloc(&kCallbacks, nullptr, nullptr);
    yajl_config(parser, yajl_allow_multiple_values, 1);
    for (size_t at = 0; at < s.data.size(); at += kBlock) {
      if (yajl_parse(parser, bytes + at, std::min(kBlock, s.data.size() - at)) != yajl_status_ok) {
        state.SkipWithError("yajl failed");
        break;
      }
    }
    if (yajl_complete_parse(parser) != yajl_status_ok) state.SkipWithError("yajl failed");
    yajl_free(parser);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * s.data.size()));
}

BENCHMARK(BM_RipJsonTyped)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_YajlBareParse)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
