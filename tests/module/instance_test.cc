// Table-metadata instances: creation, destruction and the object's small
// operations (addColumn, copyString, setFormats, checkFormat).
#include <cstring>
#include <vector>

#include "src/host/kernel.h"
#include "src/metadata/format_spec.h"
#include "tests/support/module_fixture.h"

namespace kova::testing {
namespace {

class InstanceTest : public ModuleTest {
 protected:
  std::u16string text(const char16_t* p, int64_t n) {
    return p ? std::u16string(p, size_t(n)) : u"";
  }
  void setFileType(KovaObject* o, std::u16string_view t) {
    setText(o, &o->fileType, &o->fileTypeLength, t);
  }
};

TEST_F(InstanceTest, CreationFillsTheHeader) {
  uint32_t flags = 0x5;
  KovaObject* o = extension()->createInstance(extension(), &flags, diagnostics().get(), "orders");
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(std::memcmp(o->eyecatcher, "nevo", 4), 0);
  EXPECT_STREQ(o->instanceName, "orders");
  EXPECT_EQ(o->extension, extension());
  EXPECT_EQ(o->extension2, extension());
  EXPECT_EQ(o->recordTerminator, 10);
  EXPECT_EQ(o->flags, 5u);
  EXPECT_NE(o->pool, nullptr);
  EXPECT_EQ(o->columnCount, 0);
  EXPECT_EQ(o->recfm, 0u);
  EXPECT_EQ(o->destroy(o), 0);
}

TEST_F(InstanceTest, CreationWithoutNameOrFlagsLeavesThemZero) {
  KovaObject* o = extension()->createInstance(extension(), nullptr, nullptr, nullptr);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->instanceName, nullptr);
  EXPECT_EQ(o->flags, 0u);
  o->destroy(o);
}

TEST_F(InstanceTest, HostThatNeverStoredTheKernelGetsNoInstance) {
  KovaKernel* stored = host().kernel();
  loadedModule().zrextent(nullptr);
  EXPECT_EQ(extension()->createInstance(extension(), nullptr, nullptr, "x"), nullptr);
  loadedModule().zrextent(stored);
  KovaObject* o = extension()->createInstance(extension(), nullptr, nullptr, "x");
  ASSERT_NE(o, nullptr);
  o->destroy(o);
}

TEST_F(InstanceTest, CreationFailingEachAllocationGivesNullAndLeaksNothing) {
  int runs = forEachAllocationFailure(host(), [&](int nth) {
    KovaObject* o = extension()->createInstance(extension(), nullptr, nullptr, "named");
    if (host().failureFired()) {
      EXPECT_EQ(o, nullptr) << "failing allocation " << nth;
    }
    if (o) o->destroy(o);
  });
  EXPECT_EQ(runs, 4);  // pool, object, name, then a clean run
}

TEST_F(InstanceTest, ColumnsGrowByThirtyTwoAndNeverMove) {
  KovaObject* o = newInstance();
  std::vector<KovaColumn*> columns;
  for (int i = 0; i < 33; ++i) {
    KovaColumn* c = extension()->addColumn(o);
    ASSERT_NE(c, nullptr);
    c->charlength = i + 1;
    c->type = 8;
    columns.push_back(c);
    EXPECT_EQ(o->columnCapacity, i < 32 ? 32 : 64);
  }
  EXPECT_EQ(o->columnCount, 33);
  for (int i = 0; i < 33; ++i) {
    EXPECT_EQ(o->columns[i], columns[i]);
    EXPECT_EQ(columns[i]->charlength, i + 1);
  }
}

TEST_F(InstanceTest, NewColumnIsZeroEvenWhenItsSlotWasUsedBefore) {
  KovaObject* o = newInstance();
  KovaColumn* c = extension()->addColumn(o);
  std::memset(c, 0x5A, sizeof *c);
  o->columnCount = 0;  // the host may reuse slots
  KovaColumn* again = extension()->addColumn(o);
  ASSERT_EQ(again, c);
  KovaColumn zero{};
  EXPECT_EQ(std::memcmp(again, &zero, sizeof zero), 0);
}

TEST_F(InstanceTest, AddColumnFailingLeavesTheObjectAsItWas) {
  KovaObject* o = newInstance();
  for (int i = 0; i < 32; ++i) ASSERT_NE(extension()->addColumn(o), nullptr);
  for (int nth : {1, 2}) {
    host().failAllocation(nth);
    EXPECT_EQ(extension()->addColumn(o), nullptr);
    host().clearFailure();
    EXPECT_EQ(o->columnCount, 32);
    EXPECT_EQ(o->columnCapacity, 32);
  }
  EXPECT_NE(extension()->addColumn(o), nullptr);
}

TEST_F(InstanceTest, CopyStringRefusesEmptyNegativeAndNullTexts) {
  KovaObject* o = newInstance();
  const char16_t source[] = u"inputDir/path";
  const char16_t* copy = extension()->copyString(o, source, 13);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, source);
  EXPECT_EQ(std::u16string(copy, 13), u"inputDir/path");
  EXPECT_EQ(extension()->copyString(o, source, 0), nullptr);
  EXPECT_EQ(extension()->copyString(o, source, -3), nullptr);
  EXPECT_EQ(extension()->copyString(o, nullptr, 4), nullptr);
  host().failAllocation(1);
  EXPECT_EQ(extension()->copyString(o, source, 13), nullptr);
  host().clearFailure();
}

TEST_F(InstanceTest, SetFormatsMatchesFileTypesWithoutRegardToCase) {
  struct Case {
    std::u16string fileType;
    int32_t result;
    std::u16string inputFormat;
  } cases[] = {
      {u"json", 0, u"com.qel.access.hadoop.xq.json.JsonInputFormat"},
      {u"Custom_Sequence", 0, u"com.qel.access.hadoop.xq.custom.CustomSequenceFileInputFormat"},
      {u"SEQUENCE", 0, u"com.qel.access.hadoop.xq.sequence.XqSequenceFileInputFormat"},
      {u"tolka", 0, u"com.qel.hadoop.xq.tolka.XQTolkaInputFormat"},
      {u"JSON ", 1, u"com.qel.access.hadoop.xq.delimited.DelimitedInputFormat"},
      {u"PARQUET", 1, u"com.qel.access.hadoop.xq.delimited.DelimitedInputFormat"},
  };
  for (const Case& c : cases) {
    KovaObject* o = newInstance();
    setFileType(o, c.fileType);
    EXPECT_EQ(extension()->setFormats(o), c.result) << u8(c.fileType);
    EXPECT_EQ(text(o->inputFormat, o->inputFormatLength), c.inputFormat) << u8(c.fileType);
    EXPECT_EQ(text(o->outputFormat, o->outputFormatLength),
              u"org.apache.hadoop.mapred.FileOutputFormat");
    EXPECT_EQ(text(o->fileType, o->fileTypeLength), c.fileType) << "fileType is kept";
  }
}

TEST_F(InstanceTest, SetFormatsGivesAnUnsetFileTypeTheDelimitedRow) {
  KovaObject* o = newInstance();
  EXPECT_EQ(extension()->setFormats(o), 1);
  EXPECT_EQ(text(o->fileType, o->fileTypeLength), u"DELIMITED");
  EXPECT_EQ(text(o->inputFormat, o->inputFormatLength),
            u"com.qel.access.hadoop.xq.delimited.DelimitedInputFormat");
}

TEST_F(InstanceTest, SetFormatsWithAnExhaustedPoolLeavesTheClassesUnset) {
  KovaObject* o = newInstance();
  setFileType(o, u"XML");
  host().failAllocation(1, true);
  EXPECT_EQ(extension()->setFormats(o), 0);
  host().clearFailure();
  EXPECT_EQ(o->inputFormat, nullptr);
  EXPECT_EQ(o->inputFormatLength, 0);
  EXPECT_EQ(o->outputFormat, nullptr);
}

TEST_F(InstanceTest, CheckFormatAsksTheEngineByNameWidthAndDecimals) {
  KovaObject* o = newInstance();
  auto check = [&](std::u16string_view name, bool informat) {
    return extension()->checkFormat(o, name.data(), int64_t(name.size()), informat);
  };
  EXPECT_EQ(check(u"COMMA10.2", false), kStatusOk);
  EXPECT_EQ(check(u"best12.", false), kStatusOk);
  EXPECT_EQ(check(u"8.2", false), kStatusOk) << "an empty name asks for F";
  EXPECT_EQ(check(u"ANYDTDTE.", true), kStatusOk);
  EXPECT_EQ(check(u"$CHAR20.", true), kStatusOk);
  EXPECT_EQ(check(u"$CHAR20.2", true), kStatusNotSupported);
  EXPECT_EQ(check(u"BEST12", false), kStatusNotSupported) << "no point";
  EXPECT_EQ(check(u"NOSUCHFORMAT8.", false), kStatusNotSupported);
  EXPECT_EQ(check(u"", false), kStatusNotSupported);
  EXPECT_NE(o->formatEngine, nullptr) << "the engine stays until destroy";
}

TEST_F(InstanceTest, CheckFormatWithoutTheFormatSiblingIsNotSupported) {
  host().setExtensionLoadable(u"zrefmt", false);
  KovaObject* o = newInstance();
  EXPECT_EQ(extension()->checkFormat(o, u"F8.2", 4, false), kStatusNotSupported);
  EXPECT_EQ(o->formatEngine, nullptr);
  host().setExtensionLoadable(u"zrefmt", true);
  EXPECT_EQ(extension()->checkFormat(o, u"F8.2", 4, false), kStatusOk);
}

TEST_F(InstanceTest, CheckFormatFailingEachAllocationNeverLeaks) {
  forEachAllocationFailure(host(), [&](int nth) {
    KovaObject* o = extension()->createInstance(extension(), nullptr, nullptr, nullptr);
    if (!o) return;
    KovaStatus status = extension()->checkFormat(o, u"YYMMDD10.", 9, false);
    if (!host().failureFired()) {
      EXPECT_EQ(status, kStatusOk) << nth;
    }
    o->destroy(o);
  });
}

TEST_F(InstanceTest, FormatSpecSplitsNameWidthAndDecimals) {
  KovaLocale* locale = extension()->locale;
  struct Case {
    std::u16string text;
    int64_t nameLength;
    int32_t width, decimals;
  } cases[] = {
      {u"COMMA10.2", 5, 10, 2}, {u"BEST12.", 4, 12, 0}, {u"$CHAR20.", 5, 20, 0},
      {u"$CHAR20.2", -1, 0, 0}, {u"BEST", -1, 0, 0},    {u"8.2", 0, 8, 2},
      {u"YYMMDD.", 6, 0, 0},    {u"F.x", -1, 0, 0},     {u"", -1, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t width = 99, decimals = 99;
    int64_t n = parseFormatSpec(locale, c.text.data(), int64_t(c.text.size()), &width, &decimals);
    EXPECT_EQ(n, c.nameLength) << u8(c.text);
    if (n >= 0) {
      EXPECT_EQ(width, c.width) << u8(c.text);
      EXPECT_EQ(decimals, c.decimals) << u8(c.text);
    }
  }
}

}  // namespace
}  // namespace kova::testing
