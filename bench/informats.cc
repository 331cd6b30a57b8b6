// ANYDTDTE on yyyy-mm-dd texts against std::from_chars reading the same
// three numbers: what recognising the form, checking the day and computing
// the date cost over the plainest read of the digits. Run with
// --benchmark_repetitions=9 and compare the medians.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kova/siblings.h"
#include "runtime/kernel/host.h"

namespace {

constexpr int kTexts = 4096;

struct Texts {
  std::vector<std::string> narrow;     // "2024-01-05"
  std::vector<std::u16string> wide;    // the same as 16-bit text
  std::vector<std::u16string> stamps;  // "2024-01-05T10:30:15", through the general reader
};

const Texts& texts() {
  static const Texts t = [] {
    Texts t;
    uint64_t seed = 42;
    auto next = [&] {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      return seed >> 17;
    };
    for (int i = 0; i < kTexts; ++i) {
      char text[16];
      const int year = 1900 + static_cast<int>(next() % 200);
      const int month = 1 + static_cast<int>(next() % 12);
      const int day = 1 + static_cast<int>(next() % 28);
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
      t.narrow.emplace_back(text);
      t.wide.emplace_back(t.narrow.back().begin(), t.narrow.back().end());
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%sT%02d:%02d:%02d", text, static_cast<int>(next() % 24),
                    static_cast<int>(next() % 60), static_cast<int>(next() % 60));
      t.stamps.emplace_back(stamp, stamp + std::strlen(stamp));
    }
    return t;
  }();
  return t;
}

// Runs the informat `name` over texts.
void readTexts(benchmark::State& state, const char16_t* name,
               const std::vector<std::u16string>& texts) {
  kova::runtime::Host host;
  KovaKernel* kernel = host.kernel();
  KovaExtensionHandle* handle = kernel->ops->loadExtension(kernel, u"zrefmt", 6, nullptr);
  KovaFormatEngine* engine = handle->ops->createEngine(handle);
  KovaFormatObject* informat = engine->ops->lookup(
      engine, name, static_cast<int64_t>(std::char_traits<char16_t>::length(name)), nullptr,
      kFormatLookupInformat, 0);
  if (!informat) std::abort();
  double value = 0;
  informat->output = &value;
  informat->outputCapacity = 8;
  size_t i = 0;
  for (auto _ : state) {
    const std::u16string& s = texts[i++ & (kTexts - 1)];
    informat->width = static_cast<int32_t>(s.size());
    informat->input = s.data();
    informat->inputLength = static_cast<int32_t>(s.size());
    if (informat->run(informat, 0) != kStatusOk) std::abort();
    benchmark::DoNotOptimize(value);
  }
  state.SetItemsProcessed(state.iterations());
  informat->release(informat);
  handle->ops->destroyEngine(engine);
  handle->ops->releaseExtension(handle);
}

void anydtdteIsoDates(benchmark::State& state) { readTexts(state, u"ANYDTDTE", texts().wide); }

void anydtdtmIsoDatetimes(benchmark::State& state) {
  readTexts(state, u"ANYDTDTM", texts().stamps);
}

void fromCharsThreeNumbers(benchmark::State& state) {
  const Texts& t = texts();
  size_t i = 0;
  for (auto _ : state) {
    const std::string& s = t.narrow[i++ & (kTexts - 1)];
    int year = 0, month = 0, day = 0;
    const char* end = s.data() + s.size();
    auto r = std::from_chars(s.data(), end, year);
    r = std::from_chars(r.ptr + 1, end, month);
    r = std::from_chars(r.ptr + 1, end, day);
    if (r.ec != std::errc{}) std::abort();
    benchmark::DoNotOptimize(year);
    benchmark::DoNotOptimize(month);
    benchmark::DoNotOptimize(day);
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(anydtdteIsoDates);
BENCHMARK(fromCharsThreeNumbers);
BENCHMARK(anydtdtmIsoDatetimes);

}  // namespace

BENCHMARK_MAIN();
