// bind: informats and formats by name or default, the transcoder cache, the
// record-format setup and operation selection, and the tables bind refuses.
#include "tests/support/ripper_fixture.h"
#include "tests/support/rows.h"

namespace kova::testing {
namespace {

class BindTest : public RipperTest {
 protected:
  void setInformat(KovaObject* table, KovaColumn* column, std::u16string_view name) {
    setText(table, &column->informat, &column->informatLength, name);
  }
  void setFormat(KovaObject* table, KovaColumn* column, std::u16string_view name) {
    setText(table, &column->format, &column->formatLength, name);
  }
  KovaStatus bindStatus(KovaObject* table, uint32_t flags = 0) {
    KovaRipper* ripper = create(table, flags);
    if (!ripper || !describe(ripper)) return 0xDEADu;
    return ripper->ops.bind(ripper);
  }
};

TEST_F(BindTest, DefaultInformatsOfTextTables) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"d", kTypeDate);
  addColumn(table, u"t", kTypeTime);
  addColumn(table, u"ts", kTypeTimestamp);
  addColumn(table, u"n", kTypeInt);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  const KovaColumnState& date = state(ripper, 0);
  EXPECT_EQ(formatName(date), u"ANYDTDTE.");
  ASSERT_NE(date.formatObject, nullptr);
  EXPECT_EQ(date.formatObject->width, 0);
  EXPECT_EQ(date.formatObject->decimals, 0);
  EXPECT_EQ(formatName(state(ripper, 1)), u"ANYDTTME.");
  EXPECT_NE(state(ripper, 1).formatObject, nullptr);
  EXPECT_EQ(formatName(state(ripper, 2)), u"ANYDTDTM.");
  EXPECT_EQ(state(ripper, 3).formatName, nullptr);
  EXPECT_EQ(state(ripper, 3).formatObject, nullptr);
  EXPECT_EQ(ripper->bound, 1);
  EXPECT_NE(ripper->formatEngine, nullptr);
}

TEST_F(BindTest, TimeScaleGivesTheWidthAndDecimals) {
  KovaObject* table = newTable(kRecfmDelimited);
  addColumn(table, u"t", kTypeTime)->scale = 3;
  addColumn(table, u"whole", kTypeTime)->scale = 0;
  addColumn(table, u"odd", kTypeTime)->scale = -2;
  KovaRipper* ripper = bound(table, kRipperTimePrecisionFromScale);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(formatName(state(ripper, 0)), u"ANYDTTME15.");
  ASSERT_NE(state(ripper, 0).formatObject, nullptr);
  EXPECT_EQ(state(ripper, 0).formatObject->width, 15);
  EXPECT_EQ(formatName(state(ripper, 1)), u"ANYDTTME11.");

  KovaRipper* burner = bound(table, kRipperTimePrecisionFromScale | kRipperOutput);
  ASSERT_NE(burner, nullptr);
  EXPECT_EQ(formatName(state(burner, 0)), u"TIME12.3");
  ASSERT_NE(state(burner, 0).formatObject, nullptr);
  EXPECT_EQ(state(burner, 0).formatObject->width, 12);
  EXPECT_EQ(state(burner, 0).formatObject->decimals, 3);
  EXPECT_EQ(formatName(state(burner, 1)), u"TIME8.0");
  EXPECT_EQ(formatName(state(burner, 2)), u"TIME8.0");

  KovaRipper* plain = bound(table, kRipperOutput);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(formatName(state(plain, 0)), u"TIME8.");
}

TEST_F(BindTest, FixedDoublesReadIeeeInTheColumnsByteOrder) {
  KovaObject* table = newTable(kRecfmFixed, 20);
  table->reclen = 24;
  KovaColumn* little = addColumn(table, u"x", kTypeDouble);
  little->c_type = kCTypeDouble;
  KovaColumn* big = addColumn(table, u"y", kTypeDouble);
  big->c_type = kCTypeDouble;
  big->colendian = 2;
  KovaColumn* date = addColumn(table, u"d", kTypeDate);
  date->c_type = kCTypeInt32;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  EXPECT_EQ(formatName(state(ripper, 0)), u"IEEER.");
  EXPECT_NE(state(ripper, 0).formatObject, nullptr);
  EXPECT_EQ(formatName(state(ripper, 1)), u"IEEE.");
  EXPECT_NE(state(ripper, 1).formatObject, nullptr);
  EXPECT_EQ(state(ripper, 2).formatName, nullptr);
  ASSERT_NE(ripper->recordBuffer, nullptr);
  EXPECT_EQ(ripper->recordBufferSize, 24u);

  // A FIXED burner has no default formats.
  KovaRipper* burner = bound(table, kRipperOutput);
  ASSERT_NE(burner, nullptr);
  EXPECT_EQ(state(burner, 0).formatName, nullptr);
}

TEST_F(BindTest, NamesSplitIntoNameWidthAndDecimals) {
  KovaObject* table = newTable(kRecfmDelimited);
  setInformat(table, addColumn(table, u"a", kTypeDouble), u"COMMA12.2");
  setInformat(table, addColumn(table, u"b", kTypeDouble), u"8.2");
  setInformat(table, addColumn(table, u"c", kTypeChar, 5), u"$5.2");
  setInformat(table, addColumn(table, u"d", kTypeDate), u"DATE9");
  setInformat(table, addColumn(table, u"e", kTypeDouble), u"NOSUCH8.");
  setInformat(table, addColumn(table, u"f", kTypeChar, 20), u"$CHAR20.");
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(state(ripper, 0).formatObject, nullptr);
  EXPECT_EQ(state(ripper, 0).formatObject->width, 12);
  EXPECT_EQ(state(ripper, 0).formatObject->decimals, 2);
  ASSERT_NE(state(ripper, 1).formatObject, nullptr);  // the informat F
  EXPECT_EQ(state(ripper, 1).formatObject->width, 8);
  EXPECT_EQ(state(ripper, 1).formatObject->decimals, 2);
  EXPECT_EQ(state(ripper, 2).formatObject, nullptr);
  EXPECT_EQ(formatName(state(ripper, 2)), u"$5.2");
  EXPECT_EQ(state(ripper, 3).formatObject, nullptr);  // the column's name wins over a default
  EXPECT_EQ(state(ripper, 4).formatObject, nullptr);
  ASSERT_NE(state(ripper, 5).formatObject, nullptr);
  EXPECT_EQ(state(ripper, 5).formatObject->width, 20);
}

TEST_F(BindTest, BurnerTakesColumnFormatsOnlyInRowImageMode) {
  KovaObject* table = newTable(kRecfmDelimited);
  setFormat(table, addColumn(table, u"x", kTypeDouble), u"COMMA10.2");
  setInformat(table, addColumn(table, u"d", kTypeDate), u"DATE9.");
  KovaRipper* typed = bound(table, kRipperOutput);
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(state(typed, 0).formatObject, nullptr);
  EXPECT_EQ(formatName(state(typed, 1)), u"YYMMDD10.");
  ASSERT_NE(state(typed, 1).formatObject, nullptr);
  EXPECT_EQ(state(typed, 1).formatObject->width, 10);

  KovaRipper* image = bound(table, kRipperOutput | kRipperRowImage);
  ASSERT_NE(image, nullptr);
  ASSERT_NE(state(image, 0).formatObject, nullptr);
  EXPECT_EQ(state(image, 0).formatObject->width, 10);
  EXPECT_EQ(state(image, 0).formatObject->decimals, 2);
}

TEST_F(BindTest, ColumnsShareCachedTranscodersAndHandles) {
  KovaObject* table = newTable(kRecfmDelimited, 1);
  addColumn(table, u"x", kTypeDouble);
  addColumn(table, u"y", kTypeBigint);
  addColumn(table, u"s", kTypeChar, 4);
  addColumn(table, u"t", kTypeVarchar, 4);
  addColumn(table, u"u", kTypeVarchar, 4)->cei = 20;
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  const KovaColumnState& x = state(ripper, 0);
  const KovaColumnState& y = state(ripper, 1);
  ASSERT_NE(x.toWide, nullptr);
  EXPECT_EQ(x.toWide, y.toWide);
  ASSERT_NE(x.sourceHandle, nullptr);
  EXPECT_EQ(x.sourceHandle, y.sourceHandle);
  EXPECT_EQ(x.targetHandle, nullptr);
  EXPECT_EQ(x.directTranscoder, nullptr);

  // Latin-1 values from UTF-8 fields: a direct transcoder and one from the
  // wide text, both shared by the two Latin-1 columns.
  const KovaColumnState& s = state(ripper, 2);
  const KovaColumnState& t = state(ripper, 3);
  ASSERT_NE(s.directTranscoder, nullptr);
  EXPECT_EQ(s.directTranscoder, t.directTranscoder);
  ASSERT_NE(s.fromWide, nullptr);
  EXPECT_EQ(s.fromWide, t.fromWide);
  ASSERT_NE(s.targetHandle, nullptr);
  EXPECT_NE(s.targetHandle, x.sourceHandle);
  const KovaColumnState& u = state(ripper, 4);
  EXPECT_EQ(u.directTranscoder, nullptr);
  EXPECT_EQ(u.targetHandle, x.sourceHandle);

  // The table's text needs converting to UTF-8 before the parsers see it.
  EXPECT_NE(ripper->toUtf8, nullptr);

  // Binding again changes nothing and makes nothing.
  const runtime::Account before = host().account();
  EXPECT_EQ(ripper->ops.bind(ripper), kStatusOk);
  EXPECT_EQ(host().account().objects, before.objects);
}

TEST_F(BindTest, BurnerTranscodesRowValuesToTheFile) {
  KovaObject* table = newTable(kRecfmDelimited, 20);
  addColumn(table, u"s", kTypeChar, 4)->cei = 1;
  addColumn(table, u"d", kTypeDate);
  KovaRipper* burner = bound(table, kRipperOutput);
  ASSERT_NE(burner, nullptr);
  const KovaColumnState& s = state(burner, 0);
  EXPECT_NE(s.directTranscoder, nullptr);
  EXPECT_NE(s.targetHandle, nullptr);
  EXPECT_EQ(s.toWide, nullptr);  // no format bound
  EXPECT_EQ(s.sourceHandle, nullptr);
  EXPECT_NE(s.fromWide, nullptr);
  EXPECT_NE(state(burner, 1).formatObject, nullptr);
  EXPECT_EQ(burner->terminators[2], ',');
  EXPECT_EQ(burner->terminatorCount, 3u);
}

TEST_F(BindTest, DelimitedParserChosenByQualifierAndEncoding) {
  auto ripBlockOf = [&](uint8_t textqual, int32_t encoding, uint32_t flags = 0) {
    KovaObject* table = newTable(kRecfmDelimited, encoding);
    table->textqual = textqual;
    table->headerLines = 2;
    addColumn(table, u"a", kTypeInt);
    KovaRipper* ripper = bound(table, flags);
    EXPECT_NE(ripper, nullptr);
    return ripper;
  };
  KovaRipper* plain = ripBlockOf(0, 20);
  KovaRipper* quoted = ripBlockOf('"', 20);
  KovaRipper* latin = ripBlockOf(0, 1);
  KovaRipper* latinQuoted = ripBlockOf('"', 1);
  KovaRipper* image = ripBlockOf(0, 20, kRipperRowImage);
  ASSERT_TRUE(plain && quoted && latin && latinQuoted && image);
  KovaRipper* unbound = create(newTable(kRecfmDelimited));
  // Qualified fields lose their qualifiers only with a qualifier; a Latin-1
  // table reads its non-ASCII bytes and its fields the same way. (Typed
  // rippers leave header lines to the host: they come out as rows.)
  const std::string_view data = "h\xe9\nh\n\"7\"\n8\n";
  EXPECT_EQ(ripBlocks(plain, {data}), (std::vector<std::string>{"NULL", "NULL", "NULL", "8"}));
  EXPECT_EQ(ripBlocks(quoted, {data}), (std::vector<std::string>{"NULL", "NULL", "7", "8"}));
  EXPECT_EQ(ripBlocks(latin, {data}), (std::vector<std::string>{"NULL", "NULL", "NULL", "8"}));
  EXPECT_EQ(ripBlocks(latinQuoted, {data}), (std::vector<std::string>{"NULL", "NULL", "7", "8"}));
  uint8_t* rows = nullptr;
  int32_t count = 0;
  EXPECT_EQ(unbound->ops.ripBlock(unbound, reinterpret_cast<const uint8_t*>(data.data()),
                                  int64_t(data.size()), &rows, &count),
            kStatusNotSupported);
  uint8_t row[64] = {};
  EXPECT_EQ(unbound->ops.convertRecord(unbound, rows, 0, row), kStatusNotSupported);
  EXPECT_EQ(plain->ops.convertRecord(plain, reinterpret_cast<const uint8_t*>("5"), 1, row),
            kStatusOk);
  EXPECT_EQ(plain->toUtf8, nullptr);
  EXPECT_EQ(plain->terminators[0], 13);
  EXPECT_EQ(plain->terminators[1], 10);
  EXPECT_EQ(plain->terminators[2], ',');
  EXPECT_EQ(plain->terminatorCount, 3u);
  EXPECT_EQ(plain->headerLinesLeft, 0);
  EXPECT_EQ(image->headerLinesLeft, 2);
  // A ripper writes nothing.
  const uint8_t* written = nullptr;
  uint64_t writtenLength = 0;
  EXPECT_EQ(plain->ops.writeRows(plain, row, 0, &written, &writtenLength), kStatusNotSupported);
}

TEST_F(BindTest, XmlRipperKeysTheTagTreeByRecordAndColumnTags) {
  KovaObject* table = newTable(kRecfmXml);
  setText(table, &table->recordTag, &table->recordTagLength, u"row");
  setTag(table, addColumn(table, u"a", kTypeInt), u"a");
  setTag(table, addColumn(table, u"b", kTypeVarchar, 10), u"bee");
  addColumn(table, u"c", kTypeInt);
  KovaRipper* ripper = bound(table);
  ASSERT_NE(ripper, nullptr);
  ASSERT_NE(ripper->tagTree, nullptr);
  ASSERT_NE(ripper->xml.xmlParser, nullptr);
  EXPECT_EQ(ripper->xml.callbackOwner, ripper);
  EXPECT_NE(ripper->xml.callbacks.startElement, nullptr);
  EXPECT_EQ(ripper->recordBufferSize, 256u);
  EXPECT_NE(ripper->recordBuffer, nullptr);
  EXPECT_EQ(ripper->fieldEncoding, 25u);
  KovaTree* tree = ripper->tagTree;
  auto find = [&](std::u16string_view key) {
    KovaTreeKey k{key.data(), uint32_t(key.size())};
    return static_cast<KovaColumnState*>(tree->ops->findItem(tree, &k));
  };
  ASSERT_NE(find(u"row"), nullptr);
  EXPECT_EQ(find(u"row")->index, -1);
  EXPECT_EQ(find(u"a"), &state(ripper, 0));
  EXPECT_EQ(find(u"bee"), &state(ripper, 1));
  EXPECT_EQ(state(ripper, 1).index, 1);
  EXPECT_EQ(find(u"b"), nullptr);
  EXPECT_EQ(find(u"c"), nullptr);
  EXPECT_EQ(state(ripper, 2).tagName, nullptr);
}

// A stand-in for the JSON sibling: records the parser configuration it is
// given and makes a parser that releases itself.
struct FakeJson {
  KovaExtensionHandle handle{&kHandleOps};
  KovaJsonConfig config{};
  std::string objectName;
  bool refuse = false;
  int live = 0;

  struct Parser {
    KovaJsonParser abi;
    FakeJson* owner;
  };
  static void destroyParser(KovaJsonParser* parser) {
    auto* self = reinterpret_cast<Parser*>(parser);
    --self->owner->live;
    delete self;
  }
  static KovaStatus parse(KovaJsonParser*, const void*, int64_t, int32_t) { return 0; }
  static constexpr KovaJsonParserOps kParserOps = {destroyParser, parse};
  static void* createObject(KovaExtensionHandle* handle, const void* configuration,
                            KovaDiagnostics*, const char* name) {
    auto* self = reinterpret_cast<FakeJson*>(handle);
    self->config = *static_cast<const KovaJsonConfig*>(configuration);
    self->objectName = name;
    if (self->refuse) return nullptr;
    ++self->live;
    return new Parser{{&kParserOps}, self};
  }
  static constexpr KovaExtensionHandleOps kHandleOps = {nullptr, createObject, nullptr, nullptr};
};

TEST_F(BindTest, JsonRipperMakesItsParserAndTagTree) {
  // The reference host has no JSON sibling yet: bind a described ripper
  // as if creation had loaded one.
  KovaObject* table = newTable(kRecfmDelimited, 1);
  setTag(table, addColumn(table, u"a", kTypeInt), u"id");
  addColumn(table, u"b", kTypeDouble);
  KovaRipper* ripper = create(table);
  ASSERT_NE(describe(ripper), nullptr);
  FakeJson json;
  table->recfm = kRecfmJson;
  ripper->json.jsonExtension = &json.handle;
  ASSERT_EQ(ripper->ops.bind(ripper), kStatusOk);
  EXPECT_EQ(json.live, 1);
  EXPECT_EQ(json.objectName, "metadata JSON parser");
  EXPECT_EQ(json.config.inputEncoding, 1);
  EXPECT_EQ(json.config.callbackEncoding, 25);
  EXPECT_EQ(json.config.value1536, 1536);
  EXPECT_EQ(json.config.callbacks, &ripper->json.callbacks);
  EXPECT_EQ(ripper->json.callbackOwner, ripper);
  EXPECT_EQ(ripper->json.currentColumn, -1);
  EXPECT_EQ(ripper->json.jsonExtension, &json.handle);
  EXPECT_NE(ripper->json.jsonParser, nullptr);
  EXPECT_NE(ripper->json.callbacks.stringValue, nullptr);
  EXPECT_EQ(ripper->json.callbacks.unused0, nullptr);
  KovaTreeKey key{u"id", 2};
  ASSERT_NE(ripper->tagTree, nullptr);
  EXPECT_EQ(ripper->tagTree->ops->findItem(ripper->tagTree, &key), &state(ripper, 0));
  destroy(ripper);
  EXPECT_EQ(json.live, 0);

  KovaObject* other = newTable(kRecfmDelimited, 20);
  addColumn(other, u"a", kTypeInt);
  KovaRipper* refused = create(other);
  ASSERT_NE(describe(refused), nullptr);
  other->recfm = kRecfmJson;
  json.refuse = true;
  refused->json.jsonExtension = &json.handle;
  EXPECT_EQ(refused->ops.bind(refused), kStatusNotSupported);
  EXPECT_EQ(refused->bound, 0);
}

TEST_F(BindTest, XmlRipperWithoutTheTreeSiblingIsRefused) {
  host().setExtensionLoadable(u"zreavl", false);
  KovaObject* table = newTable(kRecfmXml);
  setTag(table, addColumn(table, u"a", kTypeInt), u"a");
  EXPECT_EQ(bindStatus(table), kStatusNotSupported);
}

TEST_F(BindTest, TablesTheParsersCannotHandleAreRefused) {
  // FIXED records need a length from 1 to 2^31-1; so do FIXED and NATIVE burners.
  for (int64_t reclen : {int64_t(0), int64_t(-4), int64_t(1) << 31}) {
    KovaObject* fixed = newTable(kRecfmFixed, 20);
    fixed->reclen = reclen;
    addColumn(fixed, u"a", kTypeInt);
    EXPECT_EQ(bindStatus(fixed), kStatusNotSupported) << reclen;
    EXPECT_EQ(bindStatus(fixed, kRipperOutput), kStatusNotSupported) << reclen;
    KovaObject* native = newTable(kRecfmNative, 20);
    native->reclen = reclen;
    addColumn(native, u"a", kTypeInt);
    EXPECT_EQ(bindStatus(native, kRipperOutput), kStatusNotSupported) << reclen;
    EXPECT_EQ(bindStatus(native), kStatusOk) << reclen;
  }
  // Rows of no length for parsers and writers that count rows by it.
  EXPECT_EQ(bindStatus(newTable(kRecfmDelimited)), kStatusNotSupported);
  EXPECT_EQ(bindStatus(newTable(kRecfmVarbin, 20)), kStatusNotSupported);
  EXPECT_EQ(bindStatus(newTable(kRecfmDelimited), kRipperOutput), kStatusNotSupported);
  EXPECT_EQ(bindStatus(newTable(kRecfmDelimited), kRipperRowImage), kStatusNotSupported);
  KovaObject* dropped = newTable(kRecfmDelimited);
  addColumn(dropped, u"gone", kTypeInt)->dropped = 1;
  EXPECT_EQ(bindStatus(dropped), kStatusNotSupported);
  KovaObject* empty = newTable(kRecfmFixed, 20);
  empty->reclen = 10;
  EXPECT_EQ(bindStatus(empty), kStatusOk);
  // Formats that size their blocks by the column count.
  EXPECT_EQ(bindStatus(newTable(kRecfmClf)), kStatusNotSupported);
  EXPECT_EQ(bindStatus(newTable(kRecfmXml)), kStatusNotSupported);
}

TEST_F(BindTest, TypedBinaryCharacterColumnsNeedAnEncoding) {
  for (uint32_t recfm : {kRecfmFixed, kRecfmNative, kRecfmVarbin}) {
    KovaObject* table = newTable(recfm, 0);
    table->reclen = 10;
    addColumn(table, u"n", kTypeInt);
    KovaColumn* text = addColumn(table, u"s", kTypeChar, 6);
    EXPECT_EQ(bindStatus(table), kStatusNotSupported) << recfm;
    text->cei = 20;
    EXPECT_EQ(bindStatus(table), kStatusOk) << recfm;
  }
  KovaObject* binary = newTable(kRecfmFixed, 0);
  binary->reclen = 4;
  addColumn(binary, u"b", kTypeBinary, 0, 4);
  EXPECT_EQ(bindStatus(binary), kStatusNotSupported);
  EXPECT_EQ(bindStatus(binary, kRipperRowImage), kStatusOk);
  KovaObject* varbin = newTable(kRecfmVarbin, 0);
  addColumn(varbin, u"b", kTypeBinary, 0, 4);
  EXPECT_EQ(bindStatus(varbin), kStatusOk);
}

TEST_F(BindTest, ColumnEncodingOutsideTheIdentifiersIsRefused) {
  KovaObject* table = newTable(kRecfmDelimited, 20);
  addColumn(table, u"s", kTypeVarchar, 4)->cei = 4000;
  EXPECT_EQ(bindStatus(table), kStatusNotSupported);
  KovaObject* negative = newTable(kRecfmDelimited, 20);
  addColumn(negative, u"s", kTypeChar, 4)->cei = -3;
  EXPECT_EQ(bindStatus(negative), kStatusNotSupported);
}

}  // namespace
}  // namespace kova::testing
