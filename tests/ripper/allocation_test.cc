// Every allocation of createRipper, describe and bind failing in turn (once,
// and from then on): creation gives null, describe null, bind its status,
// and after destroy nothing is left in the host.
#include <functional>
#include <set>

#include "src/host/options.h"
#include "tests/support/ripper_fixture.h"

namespace kova::testing {
namespace {

class RipperAllocationTest : public RipperTest {
 protected:
  // Runs create, describe and bind with each allocation event failing.
  // failedBind: the statuses bind may give when one of its events fails (0 is
  // always allowed: an informat that cannot be had binds nothing).
  void failEverywhere(KovaObject* table, const KovaRipperOptions& options,
                      const std::set<KovaStatus>& failedBind) {
    const uint64_t start = host().allocationEvents();
    KovaRipper* clean = extension()->createRipper(table, &options, diagnostics().get());
    ASSERT_NE(clean, nullptr);
    const uint64_t created = host().allocationEvents() - start;
    ASSERT_NE(clean->ops.describe(clean), nullptr);
    const uint64_t described = host().allocationEvents() - start;
    ASSERT_EQ(clean->ops.bind(clean), kStatusOk);
    const uint64_t total = host().allocationEvents() - start;
    clean->ops.destroy(clean);

    for (bool persistent : {false, true}) {
      SCOPED_TRACE(persistent ? "from then on" : "once");
      int runs = forEachAllocationFailure(
          host(),
          [&](int nth) {
            KovaRipper* ripper = extension()->createRipper(table, &options, diagnostics().get());
            if (!ripper) {
              EXPECT_LE(uint64_t(nth), created) << nth;
              return;
            }
            const bool inCreate = uint64_t(nth) <= created;
            const KovaRowLayout* layout = ripper->ops.describe(ripper);
            if (!layout) {
              EXPECT_LE(uint64_t(nth), described) << nth;
              if (!persistent) {
                EXPECT_GT(uint64_t(nth), created) << nth;
              }
              ripper->ops.destroy(ripper);
              return;
            }
            KovaStatus status = ripper->ops.bind(ripper);
            if (!host().failureFired()) {
              EXPECT_EQ(status, kStatusOk) << nth;
            } else if (status != kStatusOk) {
              EXPECT_TRUE(failedBind.count(status)) << nth << " " << std::hex << status;
              EXPECT_TRUE(persistent || !inCreate) << nth;
              EXPECT_EQ(ripper->bound, 0);
            } else {
              EXPECT_EQ(ripper->bound, 1);
            }
            ripper->ops.destroy(ripper);
          },
          persistent);
      EXPECT_EQ(uint64_t(runs), total + 1);
    }
  }
};

TEST_F(RipperAllocationTest, TypedDelimitedRipper) {
  KovaObject* table = newTable(kRecfmDelimited, 1);
  addColumn(table, u"d", kTypeDate);
  addColumn(table, u"s", kTypeChar, 4);
  addColumn(table, u"x", kTypeDouble);
  addColumn(table, u"t", kTypeTime)->scale = 2;
  const std::u16string os = u"Linux";
  KovaRipperOptions options{};
  options.flags = kRipperTimePrecisionFromScale;
  options.clientOsName = os.data();
  options.clientOsNameLength = int64_t(os.size());
  failEverywhere(table, options, {kStatusNoMemory});
}

TEST_F(RipperAllocationTest, XmlRipper) {
  KovaObject* table = newTable(kRecfmXml);
  setText(table, &table->recordTag, &table->recordTagLength, u"row");
  setTag(table, addColumn(table, u"a", kTypeInt), u"a");
  setTag(table, addColumn(table, u"b", kTypeVarchar, 8), u"b");
  addColumn(table, u"c", kTypeDate);
  failEverywhere(table, KovaRipperOptions{}, {kStatusNoMemory, kStatusNotSupported});
}

TEST_F(RipperAllocationTest, FixedRipperAndBurner) {
  KovaObject* table = newTable(kRecfmFixed, 20);
  table->reclen = 16;
  addColumn(table, u"x", kTypeDouble)->c_type = kCTypeDouble;
  addColumn(table, u"s", kTypeChar, 8);
  failEverywhere(table, KovaRipperOptions{}, {kStatusNoMemory});
  KovaRipperOptions burner{};
  burner.flags = kRipperOutput;
  failEverywhere(table, burner, {kStatusNoMemory});
}

TEST_F(RipperAllocationTest, RowImageBurnerWithFormats) {
  host().setOption(kOptionSessionEncoding, 1);
  KovaObject* table = newTable(kRecfmDelimited, 20);
  KovaColumn* x = addColumn(table, u"x", kTypeDouble);
  setText(table, &x->format, &x->formatLength, u"COMMA10.2");
  addColumn(table, u"t", kTypeTime)->scale = 3;
  addColumn(table, u"s", kTypeVarchar, 6);
  KovaRipperOptions options{};
  options.flags = kRipperOutput | kRipperRowImage | kRipperTimePrecisionFromScale;
  failEverywhere(table, options, {kStatusNoMemory});
}

}  // namespace
}  // namespace kova::testing
