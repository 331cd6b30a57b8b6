// parseDecimal on 12-digit values against std::from_chars reading the same
// twelve digits as one integer: what exactness, blanks, sign and scale
// handling cost over the plainest possible integer read.
#include "src/convert/decimal.h"

#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kValues = 4096;

struct Texts {
  std::vector<std::string> decimals;  // "-123456.789012", "987654321.098", ...
  std::vector<std::string> integers;  // the same twelve digits: "123456789012"
  std::vector<std::string> uniform;   // one shape only: "123456.789012"
};

const Texts& texts() {
  static const Texts t = [] {
    Texts t;
    uint64_t seed = 42;
    auto next = [&] {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      return seed >> 17;
    };
    for (int i = 0; i < kValues; ++i) {
      std::string digits;
      digits += static_cast<char>('1' + next() % 9);
      while (digits.size() < 12) digits += static_cast<char>('0' + next() % 10);
      const size_t fraction = next() % 7;  // 0 to 6 digits after the point
      std::string decimal = (next() % 4 == 0 ? "-" : "") + digits.substr(0, 12 - fraction);
      if (fraction) decimal += "." + digits.substr(12 - fraction);
      t.decimals.push_back(decimal);
      t.integers.push_back(digits);
      t.uniform.push_back(digits.substr(0, 6) + "." + digits.substr(6));
    }
    return t;
  }();
  return t;
}

void parseDecimal12(benchmark::State& state) {
  const Texts& t = texts();
  DecimalValue value;
  size_t i = 0;
  for (auto _ : state) {
    const std::string& s = t.decimals[i++ & (kValues - 1)];
    KovaStatus status =
        kova::parseDecimal(s.data(), static_cast<int64_t>(s.size()), false, 18, 6, &value);
    if (status != kStatusOk) std::abort();
    benchmark::DoNotOptimize(value);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(parseDecimal12);

// The same with every text of one shape (sign, point position): the part of
// the cost above that comes from the shapes varying.
void parseDecimal12Uniform(benchmark::State& state) {
  const Texts& t = texts();
  DecimalValue value;
  size_t i = 0;
  for (auto _ : state) {
    const std::string& s = t.uniform[i++ & (kValues - 1)];
    KovaStatus status =
        kova::parseDecimal(s.data(), static_cast<int64_t>(s.size()), false, 18, 6, &value);
    if (status != kStatusOk) std::abort();
    benchmark::DoNotOptimize(value);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(parseDecimal12Uniform);

void fromChars12(benchmark::State& state) {
  const Texts& t = texts();
  int64_t value = 0;
  size_t i = 0;
  for (auto _ : state) {
    const std::string& s = t.integers[i++ & (kValues - 1)];
    auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    if (result.ec != std::errc()) std::abort();
    benchmark::DoNotOptimize(value);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fromChars12);

// decimalToText of the values the parse produces, for scale.
void decimalToText12(benchmark::State& state) {
  const Texts& t = texts();
  std::vector<DecimalValue> values(kValues);
  for (int i = 0; i < kValues; ++i) {
    const std::string& s = t.decimals[i];
    if (kova::parseDecimal(s.data(), static_cast<int64_t>(s.size()), false, 18, 6, &values[i]) !=
        kStatusOk) {
      std::abort();
    }
  }
  std::array<char, kova::kDecimalTextMax> out;
  size_t i = 0;
  for (auto _ : state) {
    int64_t length = 0;
    KovaStatus status =
        kova::decimalToText(&values[i++ & (kValues - 1)], out.data(), out.size(), &length);
    if (status != kStatusOk) std::abort();
    benchmark::DoNotOptimize(out);
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(decimalToText12);

}  // namespace

BENCHMARK_MAIN();
