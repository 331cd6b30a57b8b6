// The job runner (results in task order, bounded work in flight, a stop that
// leaves nothing consumed twice) and rippers on several threads sharing one
// reference host, which is what the ThreadSanitizer build checks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/split/ordered_jobs.h"
#include "runtime/split/range_rip.h"
#include "runtime/split/split_rules.h"
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

TEST(OrderedJobsTest, ResultsComeInTaskOrderWithBoundedWorkInFlight) {
  std::atomic<int> started{0};
  std::atomic<int> consumedCount{0};
  std::atomic<int> mostAhead{0};
  std::vector<size_t> order;
  const size_t window = 3;
  bool complete = runtime::runOrdered<size_t>(
      40, 4, window,
      [&](unsigned, size_t task) {
        const int ahead = ++started - consumedCount.load();
        int seen = mostAhead.load();
        while (ahead > seen && !mostAhead.compare_exchange_weak(seen, ahead)) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds((task * 7919) % 500));
        return task * 10;
      },
      [&](size_t task, size_t& result) {
        EXPECT_EQ(result, task * 10);
        order.push_back(task);
        ++consumedCount;
        return true;
      });
  EXPECT_TRUE(complete);
  ASSERT_EQ(order.size(), 40u);
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
  EXPECT_LE(mostAhead.load(), int(window) + 1);
}

TEST(OrderedJobsTest, AStopConsumesNothingAfterTheFailedTask) {
  std::atomic<size_t> highestStarted{0};
  std::vector<size_t> consumed;
  bool complete = runtime::runOrdered<bool>(
      1000, 3, 4,
      [&](unsigned, size_t task) {
        size_t seen = highestStarted.load();
        while (task > seen && !highestStarted.compare_exchange_weak(seen, task)) {
        }
        return task != 5;  // task 5 fails
      },
      [&](size_t task, bool& ok) {
        consumed.push_back(task);
        return ok;
      });
  EXPECT_FALSE(complete);
  EXPECT_EQ(consumed, (std::vector<size_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_LT(highestStarted.load(), 5u + 4u + 1u);
  EXPECT_EQ(runtime::jobThreads(3), 3u);
  EXPECT_GE(runtime::jobThreads(0), 1u);
}

class ParallelRipTest : public RipperTest {};

TEST_F(ParallelRipTest, RippersOnSeveralThreadsShareOneHost) {
  constexpr int kThreads = 4;
  std::string data = "id,name\n";
  for (int i = 0; i < 3000; ++i) {
    data +=
        std::to_string(i) + ",\"n\xC3\xA9\n" + std::to_string(i) + "\"" + (i % 2 ? "\r\n" : "\n");
  }
  std::vector<KovaObject*> tables;
  for (int t = 0; t <= kThreads; ++t) {
    KovaObject* table = newTable(kRecfmDelimited, 1);  // Latin-1: every block is transcoded
    table->fieldsep = ',';
    table->textqual = '"';
    table->headerLines = 1;
    addColumn(table, u"id", kTypeInt);
    addColumn(table, u"name", kTypeVarchar, 20, 20);
    tables.push_back(table);
  }
  auto source = runtime::memorySource(data);
  runtime::TableShape shape;
  std::string error;
  ASSERT_TRUE(runtime::shapeOfTable(tables[0], host().kernel()->nls, &shape, &error));
  runtime::SplitRules rules(shape, *source);

  auto ripSplit = [&](KovaObject* table, uint64_t begin, uint64_t end, int32_t header,
                      uint64_t* reached) {
    KovaRipperOptions options{};
    KovaRipper* ripper = extension()->createRipper(table, &options, diagnostics().get());
    std::vector<std::string> rows;
    if (!ripper || !ripper->ops.describe(ripper) || ripper->ops.bind(ripper) != kStatusOk) {
      rows.push_back("no ripper");
    } else {
      ripper->headerLinesLeft = header;
      std::vector<uint8_t> buffer(4096);
      runtime::RangeResult result = runtime::ripRange(
          ripper, rules, *source, buffer, begin, end, true, [&](const uint8_t* block, int32_t n) {
            for (int32_t r = 0; r < n; ++r) {
              rows.push_back(renderRow(ripper, block + uint64_t(r) * ripper->rowLength));
            }
          });
      if (!result.error.empty()) rows.push_back(result.error);
      *reached = result.end;
    }
    if (ripper) ripper->ops.destroy(ripper);
    return rows;
  };

  uint64_t reached = 0;
  const std::vector<std::string> whole = ripSplit(tables[kThreads], 0, data.size(), 1, &reached);
  ASSERT_EQ(whole.size(), 3000u);

  struct Part {
    uint64_t begin = 0, end = 0;
    std::vector<std::string> rows;
  };
  const std::vector<runtime::Split> splits = runtime::planSplits(shape, data.size(), 997);
  std::vector<std::string> joined;
  uint64_t previousEnd = 0;
  runtime::runOrdered<Part>(
      splits.size(), kThreads, kThreads * 2,
      [&](unsigned worker, size_t task) {
        Part part;
        const runtime::Split& split = splits[task];
        if (split.offset > 0) {
          EXPECT_TRUE(rules.speculativeStart(split.offset, &part.begin));
        }
        part.rows = ripSplit(tables[worker], part.begin, split.offset + split.length,
                             split.offset == 0 ? 1 : 0, &part.end);
        return part;
      },
      [&](size_t task, Part& part) {
        const runtime::Split& split = splits[task];
        if (task > 0 && part.begin != previousEnd) {
          part.rows =
              ripSplit(tables[kThreads], previousEnd, split.offset + split.length, 0, &part.end);
        }
        previousEnd = part.end;
        joined.insert(joined.end(), part.rows.begin(), part.rows.end());
        return true;
      });
  EXPECT_EQ(joined, whole);
}

}  // namespace
}  // namespace kova::testing
