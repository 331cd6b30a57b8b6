// Whole JSON inputs: every partition into blocks, the same records in
// UTF-16 and ISO-8859-1, typed and row-image rows of every column type, and
// allocation failures at every step of a rip.
#include <string>

#include "tests/json/json_fixture.h"
#include "tests/support/module_fixture.h"

namespace kova::testing {
namespace {

// Records with a value of every column type, nulls, escapes, non-ASCII text
// (all within Latin-1), nested objects, arrays, unknown members and
// refused values.
const std::string kRecords =
    "{\"id\":1,\"name\":\"caf\xC3\xA9\",\"n\":12,\"small\":-3,\"tiny\":7,\"x\":2.5,"
    "\"price\":\"12.50\",\"day\":\"2024-02-29\",\"at\":\"13:05:09\","
    "\"seen\":\"2024-02-29 13:05:09\",\"code\":\"DE\",\"flag\":true}\n"
    "{\"id\":2,\"name\":\"tab\\tquote\\\"\",\"n\":null,\"x\":-1e3,\"price\":-0.5,"
    "\"meta\":{\"n\":44,\"deep\":[1,{\"code\":\"FR\"}]},\"tiny\":300,\"flag\":false}\n"
    // The nested "id" is matched by name too: the row's id becomes 99.
    "{\"id\":3,\"name\":\"\\u00fcber\",\"n\":\"not a number\",\"small\":[1,2,3],"
    "\"unknown\":{\"id\":99},\"code\":\"ABC\"}\r\n"
    "[{\"id\":4,\"x\":0},{\"id\":5,\"name\":\"\"}]\n";

class JsonRipTest : public JsonTest {};

TEST_F(JsonRipTest, EveryPartitionGivesTheRowsOfOneBlock) {
  KovaObject* table = eventsTable();
  for (uint32_t flags : {0u, kRipperRowImage}) {
    const std::vector<std::string> rows = splitEverywhere(
        kRecords,
        [&](const std::vector<std::string_view>& blocks) { return rip(table, blocks, flags); });
    ASSERT_EQ(rows.size(), 5u) << flags;
    if (flags == 0) {
      EXPECT_EQ(rows[1].rfind("2|\"tab\\x09quote\\\"\"|44|NULL|NULL|-1000|", 0), 0u) << rows[1];
      EXPECT_EQ(rows[2].rfind("99|", 0), 0u) << rows[2];
    }
  }
}

TEST_F(JsonRipTest, Utf16AndLatin1TwinsGiveTheSameRows) {
  const std::vector<std::string> utf8 = rip(eventsTable(), {kRecords});
  ASSERT_EQ(utf8.size(), 5u);
  const std::string utf16 = utf16Bytes(kRecords, false);
  const std::string latin1 = latin1Bytes(kRecords);
  for (size_t step : {size_t(1), size_t(7), utf16.size()}) {
    std::vector<std::string_view> blocks16, blocks1;
    for (size_t at = 0; at < utf16.size(); at += step) {
      blocks16.push_back(std::string_view(utf16).substr(at, step));
    }
    for (size_t at = 0; at < latin1.size(); at += step) {
      blocks1.push_back(std::string_view(latin1).substr(at, step));
    }
    EXPECT_EQ(rip(eventsTable(21), blocks16), utf8) << step;
    EXPECT_EQ(rip(eventsTable(1), blocks1), utf8) << step;
  }
}

TEST_F(JsonRipTest, TypedValuesOfEveryColumn) {
  KovaRipper* ripper = jsonRipper(eventsTable());
  ASSERT_NE(ripper, nullptr);
  const std::vector<std::string> rows = ripBlocks(ripper, {kRecords});
  ASSERT_EQ(rows.size(), 5u);
  // DATE 2024-02-29 is day 23435, TIME 13:05:09 47109 s; the DECIMAL shows
  // its 19 bytes.
  EXPECT_EQ(rows[0].substr(0, rows[0].find("|0x")), "1|\"caf\xC3\xA9\"|12|-3|7|2.5");
  EXPECT_NE(rows[0].find("|23435|47109|2024831109|\"DE\"|\"1\""), std::string::npos) << rows[0];
  // TINYINT 300, "not a number" and an array's last element.
  EXPECT_NE(rows[1].find("|NULL|-1000|"), std::string::npos) << rows[1];
  EXPECT_NE(rows[2].find("|\"\xC3\xBC"
                         "ber\"|NULL|3|"),
            std::string::npos)
      << rows[2];
  EXPECT_EQ(ripper->truncations, 3u);  // 300, "not a number", "ABC"
}

TEST_F(JsonRipTest, AllocationFailuresAtEveryStepEndInRowsOrNoMemory) {
  KovaObject* table = eventsTable();
  const std::vector<std::string_view> blocks = {std::string_view(kRecords).substr(0, 100),
                                                std::string_view(kRecords).substr(100)};
  const std::vector<std::string> clean = rip(table, blocks);
  ASSERT_EQ(clean.size(), 5u);
  // A bind that could not have the format engine goes on without informats
  // (the DATE, TIME and TIMESTAMP columns then read numbers only).
  auto informats = [](const KovaRipper* ripper) {
    int n = 0;
    for (int32_t i = 0; i < ripper->table->columnCount; ++i)
      n += ripper->columns[i].formatObject != nullptr;
    return n;
  };
  diagnostics().clear();
  for (bool persistent : {false, true}) {
    const int runs = forEachAllocationFailure(
        host(),
        [&](int nth) {
          KovaRipper* ripper = extension()->createRipper(table, nullptr, diagnostics().get());
          if (!ripper) return;
          if (ripper->ops.describe(ripper)) {
            const KovaStatus bound = ripper->ops.bind(ripper);
            if (bound == kStatusOk) {
              std::vector<std::string> rows = ripBlocks(ripper, blocks);
              if (rows != clean && informats(ripper) == 3) {
                ASSERT_FALSE(rows.empty()) << nth;
                EXPECT_EQ(rows.back(), "status 0x803fc002") << nth;
                EXPECT_TRUE(diagnostics().contains("Failed to allocate memory", kLogError)) << nth;
              }
            } else {
              EXPECT_TRUE(bound == kStatusNoMemory || bound == kStatusNotSupported) << nth;
            }
          }
          ripper->ops.destroy(ripper);
        },
        persistent);
    EXPECT_GT(runs, 10);
  }
  EXPECT_TRUE(diagnostics().contains("[ensureBlockSize] : Failed", kLogError));
  EXPECT_TRUE(diagnostics().contains("[jsonRipBlock] : Failed", kLogError));
}

TEST_F(JsonRipTest, AStringBufferThatCannotGrowStopsTheBlockWithNoMemory) {
  KovaRipper* ripper = jsonRipper(smallTable());
  ASSERT_NE(ripper, nullptr);
  const std::string input = "{\"name\":\"" + std::string(2000, 'a') + "\"}";
  int32_t count = 0;
  // The row block for a block of this size is had first.
  ASSERT_EQ(ripOne(ripper, std::string(input.size(), ' '), &count), kStatusOk);
  host().failAllocation(1);
  EXPECT_EQ(ripOne(ripper, input, &count), kStatusNoMemory);
  host().clearFailure();
  EXPECT_TRUE(diagnostics().contains(
      "[JSONString] : Failed to allocate memory. Space requested=[4096]", kLogError));
  EXPECT_FALSE(diagnostics().contains("Unable to parse JSON File"));
}

}  // namespace
}  // namespace kova::testing
