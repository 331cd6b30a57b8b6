// writeXml: the document's exact bytes, the conditions and forms of every
// element, failures and the buffers' growth.
#include <climits>
#include <cstring>

#include "kova/metadata.h"
#include "tests/metadata/metadata_test_util.h"
#include "tests/support/module_fixture.h"

namespace kova::testing {
namespace {

class WriterTest : public ModuleTest {
 protected:
  KovaObject* object(uint32_t flags = 0) { return newInstance(nullptr, flags); }
  void set(KovaObject* o, const char16_t** field, int64_t* length, std::string_view utf8) {
    setText(o, field, length, u16(utf8));
  }
  KovaColumn* column(KovaObject* o, std::string_view name) {
    KovaColumn* c = extension()->addColumn(o);
    set(o, &c->name, &c->nameLength, name);
    return c;
  }
  // The one document line of the given element (with its line feed).
  static std::string lineOf(const std::string& doc, std::string_view element) {
    size_t at = doc.find("<" + std::string(element));
    if (at == std::string::npos) return "";
    return doc.substr(at, doc.find('\n', at) - at + 1);
  }
};

TEST_F(WriterTest, ExampleObjectGivesTheDocumentByteForByte) {
  KovaObject* o = object();
  o->recfm = kRecfmDelimited;
  o->fieldsep = 1;
  set(o, &o->fileType, &o->fileTypeLength, "DELIMITED");
  set(o, &o->inputDir, &o->inputDirLength, "/data/in/sales");
  KovaColumn* c = column(o, "city");
  c->type = kTypeVarchar;
  c->c_type = kCTypeChar;
  c->charlength = 20;
  EXPECT_EQ(writeDocument(o), document("<recfm>DELIMITED</recfm>\n"
                                       "<managedData>FALSE</managedData>\n"
                                       "<fieldsep ctrl=\"1\"/>\n"
                                       "<fileType>DELIMITED</fileType>\n"
                                       "<inputDir>/data/in/sales</inputDir>\n"
                                       "<columns>\n<column>\n"
                                       "<name>city</name>\n"
                                       "<type>VARCHAR</type>\n"
                                       "<c_type>char</c_type>\n"
                                       "<charlength>20</charlength>\n"
                                       "</column>\n</columns>\n"));
}

TEST_F(WriterTest, ZeroFilledObjectGivesOnlyManagedData) {
  KovaObject* o = object();
  const uint8_t* bytes = nullptr;
  uint64_t length = 0;
  ASSERT_EQ(extension()->writeXml(o, &bytes, &length), kStatusOk);
  EXPECT_EQ(bytes, o->outBuffer);
  EXPECT_EQ(length, o->outLength);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length),
            document("<managedData>FALSE</managedData>\n"));
  EXPECT_EQ(o->xmlObject, nullptr);
}

TEST_F(WriterTest, EveryTableElementInOrderWithItsForm) {
  KovaObject* o = object(kObjectFlagWriteDropped);
  o->recfm = kRecfmVarbin;
  o->managedData = 1;
  o->reclen = 5000000000;
  o->encoding = 20;
  o->fieldsep = ',';
  o->textqual = '"';
  o->keysep = '\t';
  set(o, &o->recordTag, &o->recordTagLength, "row");
  o->keylen = 4;
  o->bigendian = 1;
  o->headerLines = -1;
  const char* texts[] = {"fileType",  "userInputFormat", "inputDir",        "outputDir",
                         "metaDir",   "mrTempDir",       "whereExpression", "datahost",
                         "tableName", "schemaName",      "databaseName"};
  const char16_t** fields[] = {&o->fileType,        &o->userInputFormat, &o->inputDir,
                               &o->outputDir,       &o->metaDir,         &o->mrTempDir,
                               &o->whereExpression, &o->datahost,        &o->tableName,
                               &o->schemaName,      &o->databaseName};
  int64_t* lengths[] = {&o->fileTypeLength,        &o->userInputFormatLength, &o->inputDirLength,
                        &o->outputDirLength,       &o->metaDirLength,         &o->mrTempDirLength,
                        &o->whereExpressionLength, &o->datahostLength,        &o->tableNameLength,
                        &o->schemaNameLength,      &o->databaseNameLength};
  for (size_t i = 0; i < std::size(texts); ++i) set(o, fields[i], lengths[i], texts[i]);
  o->expectFile = 1;
  o->returnCode = INT32_MIN;
  o->numTasks = 3;
  KovaColumn* c = column(o, "amount");
  c->type = kTypeDecimal;
  c->c_type = kCTypeBinary;
  c->charlength = 12;
  c->offset = -8;
  c->indOffset = 40;
  c->indLength = 2;
  c->bytelength = 19;
  c->scale = 2;
  c->cei = 1;
  set(o, &c->format, &c->formatLength, "COMMA12.2");
  set(o, &c->informat, &c->informatLength, "COMMA12.");
  set(o, &c->tag, &c->tagLength, "amt");
  c->dropped = 1;
  c->colendian = 1;
  std::string lines =
      "<recfm>VARBIN</recfm>\n<managedData>TRUE</managedData>\n<reclen>5000000000</reclen>\n"
      "<encoding cei=\"20\">UTF-8</encoding><!-- Unicode, 8-bit variable width -->\n"
      "<fieldsep>,</fieldsep>\n<textqual>&quot;</textqual>\n<keysep ctrl=\"9\"/>\n"
      "<recordTag>row</recordTag>\n<keylen>4</keylen>\n<bigendian />\n"
      "<headerLines>-1</headerLines>\n";
  for (const char* t : texts) lines += "<" + std::string(t) + ">" + t + "</" + t + ">\n";
  lines +=
      "<expectFile />\n<returnCode>-2147483648</returnCode>\n<numTasks>3</numTasks>\n"
      "<columns>\n<column>\n<name>amount</name>\n<type>DECIMAL</type>\n<c_type>binary</c_type>\n"
      "<charlength>12</charlength>\n<offset>-8</offset>\n<indOffset>40</indOffset>\n"
      "<indLength>2</indLength>\n<bytelength>19</bytelength>\n<scale>2</scale>\n"
      "<cei cei=\"1\">ISO-8859-1</cei><!-- Latin-1, Western European, 8-bit -->\n"
      "<format>COMMA12.2</format>\n<informat>COMMA12.</informat>\n<tag>amt</tag>\n"
      "<dropped>TRUE</dropped>\n<colendian>1</colendian>\n</column>\n</columns>\n";
  EXPECT_EQ(writeDocument(o), document(lines));
}

TEST_F(WriterTest, ElementsWhoseConditionFailsAreLeftOut) {
  KovaObject* o = object();
  o->reclen = -1;
  o->keylen = 0;
  o->numTasks = -5;
  o->expectFile = 1;  // inputDir is null
  o->encoding = 200;  // unknown to the host: left out, no failure
  KovaColumn* unnamed = extension()->addColumn(o);
  unnamed->type = 12;
  unnamed->c_type = 0;
  unnamed->dropped = 1;  // flag bit 0 clear
  unnamed->cei = 199;
  KovaColumn* typed = extension()->addColumn(o);
  typed->type = 15;
  typed->c_type = 16;
  EXPECT_EQ(writeDocument(o),
            document("<managedData>FALSE</managedData>\n<columns>\n<column>\n</column>\n"
                     "<column>\n</column>\n</columns>\n"));
}

TEST_F(WriterTest, ControlBytesUseTheAttributeBelowBlankAndTheTextFormAbove) {
  struct Case {
    uint8_t value;
    const char* line;
  } cases[] = {
      {1, "<fieldsep ctrl=\"1\"/>\n"},
      {31, "<fieldsep ctrl=\"31\"/>\n"},
      {44, "<fieldsep>,</fieldsep>\n"},
      {'<', "<fieldsep>&lt;</fieldsep>\n"},
      {32, "<fieldsep><![CDATA[ ]]></fieldsep>\n"},
      {127, "<fieldsep><![CDATA[\x7f]]></fieldsep>\n"},
      {0xA0, "<fieldsep><![CDATA[\xc2\xa0]]></fieldsep>\n"},
      {0xE9, "<fieldsep>\xc3\xa9</fieldsep>\n"},
  };
  for (const Case& c : cases) {
    KovaObject* o = object();
    o->fieldsep = c.value;
    EXPECT_EQ(lineOf(writeDocument(o), "fieldsep"), c.line) << int(c.value);
  }
}

TEST_F(WriterTest, TextsWithBlanksOrUnprintablesGoIntoCdataOthersAreEscaped) {
  struct Case {
    const char* text;
    const char* line;
  } cases[] = {
      {"/a<b&c>d", "<tableName>/a&lt;b&amp;c&gt;d</tableName>\n"},
      {"two words", "<tableName><![CDATA[two words]]></tableName>\n"},
      {"tab\there", "<tableName><![CDATA[tab\there]]></tableName>\n"},
      {"soft\xc2\xadhyphen", "<tableName><![CDATA[soft\xc2\xadhyphen]]></tableName>\n"},
      {"\xf0\x9f\x98\x80\xe6\x97\xa5", "<tableName>\xf0\x9f\x98\x80\xe6\x97\xa5</tableName>\n"},
  };
  for (const Case& c : cases) {
    KovaObject* o = object();
    set(o, &o->tableName, &o->tableNameLength, c.text);
    EXPECT_EQ(lineOf(writeDocument(o), "tableName"), c.line) << c.text;
  }
}

TEST_F(WriterTest, TextsXmlCannotCarryFailTheWrite) {
  for (std::u16string text : {std::u16string(u"a\u0001b"), std::u16string(1, char16_t(0xD800)),
                              std::u16string(u"x\uFFFE"), std::u16string(u"\xDC00x")}) {
    KovaObject* o = object();
    KovaColumn* c = extension()->addColumn(o);
    setText(o, &c->tag, &c->tagLength, text);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(1);
    uint64_t length = 7;
    EXPECT_EQ(extension()->writeXml(o, &bytes, &length), kStatusNotSupported);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(o->writeStatus, kStatusNotSupported);
  }
}

TEST_F(WriterTest, RecordFormatsWithoutANameFailTheWrite) {
  for (uint32_t recfm : {7u, 8u, 11u, 0xFFFFFFFFu}) {
    KovaObject* o = object();
    o->recfm = recfm;
    const uint8_t* bytes = nullptr;
    uint64_t length = 1;
    EXPECT_EQ(extension()->writeXml(o, &bytes, &length), kStatusBadRecordFormat) << recfm;
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(o->xmlObject, nullptr);
  }
}

// An NLS that forwards to the host's but reports its own encoding texts.
struct OddNames {
  static inline KovaNls* real = nullptr;
  static inline std::u16string name, description;
  static KovaStatus encodingInfo(KovaNls*, int32_t id, KovaEncodingInfo* info) {
    KovaStatus status = real->ops->encodingInfo(real, id, info);
    info->name = name.data();
    info->nameLength = int64_t(name.size());
    info->description = description.data();
    info->descriptionLength = int64_t(description.size());
    return status;
  }
  static uint32_t classify(KovaNls*, uint32_t c) { return real->ops->classify(real, c); }
};

TEST_F(WriterTest, EncodingTextsCannotBreakTheDocument) {
  const std::u16string longDescription = std::u16string(600, u'-');
  std::string longComment;
  for (int i = 0; i < 255; ++i) longComment += "- ";
  longComment += "-";
  struct Case {
    const char* name;
    std::u16string encodingName, description;
    std::string line;  // "" when the encoding element is left out
  } cases[] = {
      {"markup and doubled hyphens", u"A<B", u"one -- two---three \u0001-",
       "<encoding cei=\"20\">A&lt;B</encoding><!-- one - - two- - -three ?- -->\n"},
      {"pairs kept, lone halves and non-characters replaced", u"N",
       std::u16string{u'a', 0xD83D, 0xDE00, u'b', 0xD800, u'c', 0xDC00, u'\t', 0xFFFE, 0xD83D},
       "<encoding cei=\"20\">N</encoding><!-- a\xF0\x9F\x98\x80"
       "b?c?\t?? -->\n"},
      {"no name", u"", u"plain", "<encoding cei=\"20\"></encoding><!-- plain -->\n"},
      {"tabs and returns kept, a high half before another", u"N",
       std::u16string{u'a', u'\t', u'b', u'\r', 0xFFFF, 0xD800, 0xD800, 0xDC00},
       "<encoding cei=\"20\">N</encoding><!-- a\tb\r??\xF0\x90\x80\x80 -->\n"},
      {"a long description is cut", u"N", longDescription,
       "<encoding cei=\"20\">N</encoding><!-- " + longComment + " -->\n"},
      {"a name no document can carry", u"A\u0001", u"d", ""},
  };
  KovaKernel* k = host().kernel();
  OddNames::real = k->nls;
  KovaNlsOps ops = *k->nls->ops;
  ops.encodingInfo = OddNames::encodingInfo;
  ops.classify = OddNames::classify;
  KovaNls odd{&ops};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OddNames::name = c.encodingName;
    OddNames::description = c.description;
    KovaObject* o = object();
    o->encoding = 20;
    k->nls = &odd;
    std::string doc = writeDocument(o);
    k->nls = OddNames::real;
    ASSERT_FALSE(doc.empty());
    EXPECT_EQ(lineOf(doc, "encoding"), c.line);
  }
}

TEST_F(WriterTest, BufferGrowsForTextsBeyondItsFirstSize) {
  KovaObject* o = object();
  std::string longName(70000, 'n');
  set(o, &o->tableName, &o->tableNameLength, longName);
  for (int i = 0; i < 3; ++i) column(o, std::string(1000, char('a' + i)) + "\xe2\x82\xac");
  std::string doc = writeDocument(o);
  ASSERT_FALSE(doc.empty());
  EXPECT_EQ(lineOf(doc, "tableName"), "<tableName>" + longName + "</tableName>\n");
  EXPECT_EQ(doc.substr(doc.size() - 9), "</kova>\n\n");
  EXPECT_LE(o->outLength, o->outCapacity);
  // A second, smaller document reuses the grown buffer.
  uint8_t* buffer = o->outBuffer;
  o->tableName = nullptr;
  EXPECT_FALSE(writeDocument(o).empty());
  EXPECT_EQ(o->outBuffer, buffer);
}

TEST_F(WriterTest, WritingDuringAChunkedReadKeepsTheReadersParser) {
  KovaObject* o = object();
  std::string doc = document(
      "<tableName>t</tableName>\n<columns>\n<column>\n<name>a</name>\n"
      "</column>\n</columns>\n");
  ASSERT_EQ(extension()->readXmlChunk(o, doc.data(), 60, 1, nullptr), kStatusOk);
  void* parser = o->xmlObject;
  ASSERT_NE(parser, nullptr);
  EXPECT_FALSE(writeDocument(o).empty());
  EXPECT_EQ(o->xmlObject, parser);
  ASSERT_EQ(extension()->readXmlChunk(o, doc.data() + 60, int64_t(doc.size() - 60), 0, nullptr),
            kStatusOk);
  EXPECT_EQ(o->xmlObject, nullptr);
  ASSERT_EQ(o->columnCount, 1);
  EXPECT_EQ(u8({o->tableName, size_t(o->tableNameLength)}), "t");
}

TEST_F(WriterTest, EveryFailingAllocationGivesNoDocumentAndLeaksNothing) {
  std::string expected;
  auto build = [&] {
    KovaObject* o = extension()->createInstance(extension(), nullptr, nullptr, nullptr);
    o->recfm = kRecfmJson;
    o->encoding = 20;
    setText(o, &o->tableName, &o->tableNameLength, u"a <b> & ]]> c");
    for (int i = 0; i < 40; ++i) {
      KovaColumn* c = extension()->addColumn(o);
      setText(o, &c->name, &c->nameLength, u16("col" + std::to_string(i) + std::string(400, 'x')));
      c->cei = 1;
    }
    return o;
  };
  KovaObject* reference = build();
  expected = writeDocument(reference);
  reference->destroy(reference);
  ASSERT_FALSE(expected.empty());
  for (bool persistent : {false, true}) {
    int runs = forEachAllocationFailure(
        host(),
        [&](int nth) {
          host().clearFailure();
          KovaObject* o = build();
          host().failAllocation(uint64_t(nth), persistent);
          const uint8_t* bytes = reinterpret_cast<const uint8_t*>(1);
          uint64_t length = 1;
          KovaStatus status = extension()->writeXml(o, &bytes, &length);
          if (status == kStatusOk) {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length), expected);
          } else {
            EXPECT_EQ(status, kStatusNoMemory) << nth;
            EXPECT_EQ(bytes, nullptr);
            EXPECT_EQ(length, 0u);
          }
          EXPECT_EQ(o->xmlObject, nullptr);
          o->destroy(o);
        },
        persistent);
    EXPECT_GT(runs, 2);
  }
}

// The outputs may be null: the document is still written into the object's
// buffer. Without an object there is nothing to write.
TEST_F(WriterTest, NullOutputsStillWriteAndANullObjectIsRefused) {
  KovaObject* o = object();
  const std::string expected = writeDocument(o);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(extension()->writeXml(o, nullptr, nullptr), kStatusOk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(o->outBuffer), o->outLength), expected);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(1);
  uint64_t length = 7;
  EXPECT_EQ(extension()->writeXml(nullptr, &bytes, &length), kStatusNotSupported);
  EXPECT_EQ(bytes, nullptr);
  EXPECT_EQ(length, 0u);
}

}  // namespace
}  // namespace kova::testing
