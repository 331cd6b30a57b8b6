// Allocation failures while ripping CLF lines and transcoded blocks: the
// fragment, the row block and the transcoding buffer each fail with
// kStatusNoMemory and their own log line, and every injected failure along a
// whole rip ends in the clean rows or in that status, with nothing leaked.
#include <string>

#include "tests/clf/clf_test_util.h"

namespace kova::testing {
namespace {

class ClfAllocationTest : public ClfTest {
 protected:
  KovaStatus ripOne(KovaRipper* ripper, std::string_view block, int32_t* count) {
    uint8_t* rows = nullptr;
    *count = -1;
    return ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(block.data()),
                                int64_t(block.size()), &rows, count);
  }
  std::string allocationLine(const char* label, uint64_t size) {
    return std::string("[") + label + "] : Failed to allocate memory. Space requested=[" +
           std::to_string(size) + "]";
  }
};

TEST_F(ClfAllocationTest, EachBufferReportsItsOwnFailure) {
  KovaRipper* ripper = bound(logTable());
  ASSERT_NE(ripper, nullptr);
  const uint64_t rowLength = ripper->rowLength;
  int32_t count = 0;

  // The first sizing of the row block: 10 rows for a short block.
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, "a b c\n", &count), kStatusNoMemory);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(diagnostics().contains(allocationLine("ensureBlockSize", rowLength * 10), 4));
  host().clearFailure();
  ASSERT_EQ(ripOne(ripper, "a b c\n", &count), kStatusOk);
  EXPECT_EQ(count, 1);

  // A line that the block does not finish cannot be kept.
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, "unfinished", &count), kStatusNoMemory);
  EXPECT_TRUE(diagnostics().contains(allocationLine("newlineRipBlockUTF8", 1024), 4));
  host().clearFailure();

  // Growing past the estimate: the rows completed before are returned.
  std::string shortLines;
  for (int i = 0; i < 12; ++i) shortLines += "x\n";
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, shortLines, &count), kStatusNoMemory);
  EXPECT_EQ(count, 10);
  EXPECT_TRUE(diagnostics().contains(allocationLine("ensureBlockSize", rowLength * 20), 4));
  host().clearFailure();
}

TEST_F(ClfAllocationTest, TranscodingBufferThatCannotBeHadFailsTheBlock) {
  KovaRipper* ripper = bound(logTable(1));
  ASSERT_NE(ripper, nullptr);
  int32_t count = 0;
  host().failAllocation(1, true);
  EXPECT_EQ(ripOne(ripper, "a b c\n", &count), kStatusNoMemory);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(diagnostics().contains(allocationLine("newlineRipBlock[1]", 1024), 4));
  host().clearFailure();
  ASSERT_EQ(ripOne(ripper, "a b c\n", &count), kStatusOk);
  EXPECT_EQ(count, 1);
}

// A transcoder that reports a too small target until it gets 4096 bytes, so
// that the buffer has to be doubled.
struct DemandingTranscoder {
  KovaTranscoder abi;
  KovaTranscoder* real;
  static KovaStatus transcode(KovaTranscoder* self, const void* source, uint64_t sourceBytes,
                              void* target, uint64_t capacity, uint64_t* written, uint32_t zero) {
    auto* t = reinterpret_cast<DemandingTranscoder*>(self);
    *written = 0;
    if (capacity < 4096) return kStatusTargetTooSmall;
    return t->real->ops->transcode(t->real, source, sourceBytes, target, capacity, written, zero);
  }
  static void destroy(KovaTranscoder*) {}
};
constexpr KovaTranscoderOps kDemandingOps = {DemandingTranscoder::destroy,
                                             DemandingTranscoder::transcode};

TEST_F(ClfAllocationTest, TranscodingBufferIsDoubledUntilTheTextFits) {
  KovaRipper* ripper = bound(logTable(1));
  ASSERT_NE(ripper, nullptr);
  DemandingTranscoder demanding{{&kDemandingOps}, ripper->toUtf8};
  ripper->toUtf8 = &demanding.abi;
  int32_t count = 0;
  EXPECT_EQ(ripOne(ripper, "a b c\n", &count), kStatusOk);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(ripper->transcodeCapacity, 4096u);

  KovaRipper* failing = bound(logTable(1));
  ASSERT_NE(failing, nullptr);
  DemandingTranscoder second{{&kDemandingOps}, failing->toUtf8};
  failing->toUtf8 = &second.abi;
  host().failAllocation(2);  // the first doubling
  EXPECT_EQ(ripOne(failing, "a b c\n", &count), kStatusNoMemory);
  EXPECT_TRUE(diagnostics().contains(allocationLine("newlineRipBlock[2]", 2048), 4));
  host().clearFailure();

  ripper->toUtf8 = demanding.real;
  failing->toUtf8 = second.real;
}

TEST_F(ClfAllocationTest, EveryFailureAlongARipEndsCleanly) {
  // Blocks that size the row block, grow it, keep partial lines and (for the
  // Latin-1 table) grow the transcoding buffer.
  std::string many;
  for (int i = 0; i < 40; ++i) many += "h" + std::to_string(i) + " - - [t] \"r\" 200 1\n";
  const std::vector<std::string_view> blocks = {"first line ", "goes on\n", many,
                                                std::string_view(many).substr(0, 300),
                                                "last - - [t] \"r\" 1 2"};
  for (int32_t encoding : {0, 1}) {
    SCOPED_TRACE(encoding);
    KovaObject* table = logTable(encoding);
    const std::vector<std::string> clean = rip(table, blocks);
    ASSERT_GT(clean.size(), 40u);
    for (bool persistent : {false, true}) {
      const int runs = forEachAllocationFailure(
          host(),
          [&](int nth) {
            KovaRipper* ripper = extension()->createRipper(table, nullptr, diagnostics().get());
            if (!ripper) return;
            if (ripper->ops.describe(ripper) && ripper->ops.bind(ripper) == kStatusOk) {
              std::vector<std::string> rows = ripBlocks(ripper, blocks);
              if (rows != clean) {
                ASSERT_FALSE(rows.empty()) << nth;
                EXPECT_EQ(rows.back(), "status 0x803fc002") << nth;
                EXPECT_TRUE(diagnostics().contains("Failed to allocate memory", 4)) << nth;
              }
            }
            ripper->ops.destroy(ripper);
          },
          persistent);
      EXPECT_GT(runs, 10);
    }
    // The rip's own buffers were among those that failed.
    EXPECT_TRUE(diagnostics().contains("[ensureBlockSize] : Failed", 4));
    EXPECT_TRUE(diagnostics().contains("[newlineRipBlockUTF8] : Failed", 4));
    if (encoding) {
      EXPECT_TRUE(diagnostics().contains("[newlineRipBlock[1]] : Failed", 4));
    }
  }
}

}  // namespace
}  // namespace kova::testing
