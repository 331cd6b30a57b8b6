// readXml and readXmlChunk: the effect of every element, leniency, merging,
// chunking, failures and allocation failures.
#include <functional>
#include <random>

#include "kova/metadata.h"
#include "tests/metadata/metadata_test_util.h"
#include "tests/support/module_fixture.h"

namespace kova::testing {
namespace {

class ReaderTest : public ModuleTest {
 protected:
  // A fresh instance filled from a document of the given element lines.
  KovaObject* read(std::string_view lines, KovaStatus expected = kStatusOk) {
    KovaObject* o = newInstance();
    EXPECT_EQ(readDocument(o, document(lines), 0, diagnostics().get()), expected) << lines;
    EXPECT_EQ(o->xmlObject, nullptr);
    return o;
  }
  static std::string str(const char16_t* text, int64_t length) {
    return text ? u8({text, size_t(length)}) : "(unset)";
  }
};

const char kRichLines[] =
    "<recfm>FIXED</recfm>\n<managedData>true</managedData>\n<reclen>120</reclen>\n"
    "<encoding cei=\"20\">UTF-8</encoding><!-- Unicode -->\n<fieldsep ctrl=\"9\"/>\n"
    "<textqual>'</textqual>\n<keysep><![CDATA[ ]]></keysep>\n<recordTag>rec</recordTag>\n"
    "<keylen>8</keylen>\n<bigendian />\n<headerLines>2</headerLines>\n<fileType>json</fileType>\n"
    "<inputDir>/in</inputDir>\n<outputDir><![CDATA[/out dir]]></outputDir>\n"
    "<expectFile />\n<returnCode>-7</returnCode>\n<numTasks>4</numTasks>\n"
    "<columns>\n<column>\n<name>id</name>\n<type>BIGINT</type>\n<c_type>int64</c_type>\n"
    "<offset>8</offset>\n<bytelength>8</bytelength>\n<cei cei=\"1\">x</cei>\n"
    "<dropped>true</dropped>\n<select>TRUE</select>\n<ordinal>1</ordinal>\n</column>\n"
    "<column>\n<name>note</name>\n<tag>n</tag>\n<scale>-3</scale>\n<colendian>2</colendian>\n"
    "</column>\n</columns>\n";

TEST_F(ReaderTest, EveryElementSetsItsField) {
  KovaObject* o = read(kRichLines);
  EXPECT_EQ(o->recfm, kRecfmFixed);
  EXPECT_EQ(o->managedData, 1);
  EXPECT_EQ(o->reclen, 120);
  EXPECT_EQ(o->encoding, 20);
  EXPECT_EQ(o->fieldsep, 9);
  EXPECT_EQ(o->textqual, '\'');
  EXPECT_EQ(o->keysep, ' ');
  EXPECT_EQ(str(o->recordTag, o->recordTagLength), "rec");
  EXPECT_EQ(o->keylen, 8);
  EXPECT_EQ(o->bigendian, 1);
  EXPECT_EQ(o->headerLines, 2);
  EXPECT_EQ(str(o->fileType, o->fileTypeLength), "json");
  EXPECT_EQ(str(o->inputFormat, o->inputFormatLength),
            "com.qel.access.hadoop.xq.json.JsonInputFormat");
  EXPECT_EQ(str(o->outputDir, o->outputDirLength), "/out dir");
  EXPECT_EQ(o->expectFile, 1);
  EXPECT_EQ(o->returnCode, -7);
  EXPECT_EQ(o->numTasks, 4);
  ASSERT_EQ(o->columnCount, 2);
  const KovaColumn* id = o->columns[0];
  EXPECT_EQ(str(id->name, id->nameLength), "id");
  EXPECT_EQ(id->type, kTypeBigint);
  EXPECT_EQ(id->c_type, kCTypeInt64);
  EXPECT_EQ(id->offset, 8);
  EXPECT_EQ(id->bytelength, 8);
  EXPECT_EQ(id->cei, 1);
  EXPECT_EQ(id->dropped, 1);
  EXPECT_EQ(id->select, 1);
  const KovaColumn* note = o->columns[1];
  EXPECT_EQ(str(note->tag, note->tagLength), "n");
  EXPECT_EQ(note->scale, -3);
  EXPECT_EQ(note->colendian, 2);
  EXPECT_EQ(note->dropped, 0);
}

TEST_F(ReaderTest, UnknownRootsElementsAndValuesAreLenient) {
  KovaObject* o = newInstance();
  o->managedData = 1;
  std::string doc =
      "<?xml version=\"1.0\"?>\n<other><DELIMITED>x</DELIMITED><recfm>delimited</recfm>"
      "<managedData>FALSE</managedData><inputDir>/a<b>b</b>c<!-- c --></inputDir>"
      "<column><type>bigint</type><c_type>INT32</c_type><dropped>yes</dropped></column></other>";
  ASSERT_EQ(readDocument(o, doc), kStatusOk);
  EXPECT_EQ(o->recfm, 0u);
  EXPECT_EQ(o->managedData, 1);
  EXPECT_EQ(str(o->inputDir, o->inputDirLength), "/abc");
  ASSERT_EQ(o->columnCount, 1);
  EXPECT_EQ(o->columns[0]->type, 0u);
  EXPECT_EQ(o->columns[0]->c_type, 0u);
  EXPECT_EQ(o->columns[0]->dropped, 0);
  // No fileType: the end of the read derives the DELIMITED classes.
  EXPECT_EQ(str(o->fileType, o->fileTypeLength), "DELIMITED");
  EXPECT_EQ(str(o->outputFormat, o->outputFormatLength),
            "org.apache.hadoop.mapred.FileOutputFormat");
}

TEST_F(ReaderTest, ControlBytesComeFromTheAttributeOrTheFirstCharacterOfTheText) {
  KovaObject* o = read(
      "<fieldsep ctrl=\"9\">,</fieldsep>\n<textqual ctrl=\"300\"/>\n"
      "<keysep other=\"1\" ctrl=\"5\"></keysep>\n");
  EXPECT_EQ(o->fieldsep, ',');
  EXPECT_EQ(o->textqual, 300 & 0xFF);
  EXPECT_EQ(o->keysep, 5);
  o = read("<fieldsep>\xc4\x81</fieldsep>\n<textqual ctrl=\"x\"/>\n");
  EXPECT_EQ(o->fieldsep, 1);  // U+0101: its low eight bits
  EXPECT_EQ(o->textqual, 0);
}

TEST_F(ReaderTest, NumbersThatDoNotReadOrFitLeaveTheFieldUnchanged) {
  KovaObject* o = read(
      "<columns><column><indLength>99999999999</indLength><scale>1.5</scale>"
      "<charlength> 12 </charlength><offset>-5000000000</offset>"
      "<bytelength>x</bytelength></column></columns>\n"
      "<reclen>5000000000</reclen><headerLines>abc</headerLines>"
      "<keylen> 7</keylen>\n");
  const KovaColumn* c = o->columns[0];
  EXPECT_EQ(c->indLength, 0);
  EXPECT_EQ(c->scale, 0);
  EXPECT_EQ(c->charlength, 12);
  EXPECT_EQ(c->offset, -5000000000);
  EXPECT_EQ(c->bytelength, 0);
  EXPECT_EQ(o->reclen, 5000000000);
  EXPECT_EQ(o->headerLines, 0);
  EXPECT_EQ(o->keylen, 7);
}

TEST_F(ReaderTest, StrictNumbersFailTheRead) {
  KovaObject* o = read("<numTasks>2</numTasks><numTasks> 3</numTasks>\n", kStatusNotANumber);
  EXPECT_EQ(o->numTasks, 2);
  o = read("<returnCode>nine</returnCode>\n", kStatusNotANumber);
  EXPECT_EQ(uint32_t(o->returnCode), kStatusNotSupported);
}

TEST_F(ReaderTest, AnEmptyColumnNameLeavesTheColumnWithoutOne) {
  KovaObject* o = read(
      "<columns><column><name></name><type>INT</type></column>"
      "<column><name/></column></columns>\n",
      kStatusOk);
  ASSERT_EQ(o->columnCount, 2);
  EXPECT_EQ(o->columns[0]->nameLength, 0);
  EXPECT_EQ(o->columns[0]->type, uint32_t(kTypeInt));
  EXPECT_EQ(o->columns[1]->nameLength, 0);
}

TEST_F(ReaderTest, ColumnElementsBeforeTheFirstColumnHaveNoEffect) {
  KovaObject* o = newInstance();
  ASSERT_EQ(readDocument(o, document("<columns><column><name>kept</name></column></columns>\n")),
            kStatusOk);
  ASSERT_EQ(readDocument(o,
                         document("<name>stray</name><type>INT</type><cei cei=\"20\"/>"
                                  "<dropped>TRUE</dropped><columns/>\n"),
                         0, diagnostics().get()),
            kStatusOk);
  ASSERT_EQ(o->columnCount, 1);
  EXPECT_EQ(str(o->columns[0]->name, o->columns[0]->nameLength), "kept");
  EXPECT_EQ(o->columns[0]->type, 0u);
  EXPECT_EQ(o->columns[0]->cei, 0);
  EXPECT_EQ(o->columns[0]->dropped, 0);
  EXPECT_TRUE(diagnostics().contains("<name> outside a column", kLogWarning));
}

TEST_F(ReaderTest, ReadingMergesIntoTheObject) {
  KovaObject* o = newInstance();
  setText(o, &o->tableName, &o->tableNameLength, u"mine");
  o->headerLines = 5;
  ASSERT_EQ(readDocument(o, document(kRichLines)), kStatusOk);
  ASSERT_EQ(readDocument(o, document(kRichLines)), kStatusOk);
  EXPECT_EQ(o->columnCount, 4);
  EXPECT_EQ(str(o->tableName, o->tableNameLength), "mine");
  EXPECT_EQ(o->headerLines, 2);
}

TEST_F(ReaderTest, LongTextIsKeptWhole) {
  std::string path(100000, 'p');
  path += "\xf0\x9f\x98\x80";
  KovaObject* o = read("<inputDir>" + path + "</inputDir>\n<metaDir>m</metaDir>\n");
  EXPECT_EQ(str(o->inputDir, o->inputDirLength), path);
  EXPECT_EQ(str(o->metaDir, o->metaDirLength), "m");
}

TEST_F(ReaderTest, PiecesOfEverySizeReadAsTheWholeDocument) {
  std::string doc = document(kRichLines);
  KovaObject* whole = read(kRichLines);
  std::string expected = dumpObject(whole);
  for (size_t piece = 1; piece <= doc.size(); ++piece) {
    KovaObject* o = newInstance();
    ASSERT_EQ(readDocument(o, doc, piece), kStatusOk) << piece;
    ASSERT_EQ(dumpObject(o), expected) << piece;
    EXPECT_EQ(o->xmlObject, nullptr);
    o->destroy(o);
    forget(o);
  }
  std::mt19937 random(7);
  for (int run = 0; run < 200; ++run) {
    KovaObject* o = newInstance();
    size_t offset = 0;
    KovaStatus status = kStatusOk;
    while (status == kStatusOk && offset < doc.size()) {
      size_t n = std::min(doc.size() - offset, size_t(random() % 40));
      bool more = offset + n < doc.size();
      status = extension()->readXmlChunk(o, doc.data() + offset, int64_t(n), more, nullptr);
      offset += n;
    }
    ASSERT_EQ(status, kStatusOk);
    ASSERT_EQ(dumpObject(o), expected);
    o->destroy(o);
    forget(o);
  }
}

TEST_F(ReaderTest, AFailedPieceEndsTheReadAndTheNextStartsAfresh) {
  KovaObject* o = newInstance();
  std::string bad = "<kova><tableName>t</tableName><</kova>";
  EXPECT_NE(extension()->readXmlChunk(o, bad.data(), int64_t(bad.size()), 1, nullptr), kStatusOk);
  EXPECT_EQ(o->xmlObject, nullptr);
  EXPECT_EQ(str(o->tableName, o->tableNameLength), "t");
  ASSERT_EQ(readDocument(o, document("<datahost>h</datahost>\n"), 5), kStatusOk);
  EXPECT_EQ(str(o->datahost, o->datahostLength), "h");
  // A whole document that ends early fails on its last piece.
  std::string cut = document("<datahost>h</datahost>\n");
  cut.resize(cut.size() - 6);
  EXPECT_NE(readDocument(o, cut, 16), kStatusOk);
  EXPECT_EQ(o->xmlObject, nullptr);
}

TEST_F(ReaderTest, DestroyingAnInstanceMidReadReleasesTheParser) {
  KovaObject* o = newInstance();
  std::string doc = document(kRichLines);
  ASSERT_EQ(extension()->readXmlChunk(o, doc.data(), 300, 1, nullptr), kStatusOk);
  ASSERT_NE(o->xmlObject, nullptr);
  // tear-down destroys it; the fixture checks that nothing is left behind
}

TEST_F(ReaderTest, EveryFailingAllocationGivesNoMemoryAndLeaksNothing) {
  std::string doc =
      document(std::string(kRichLines) + "<tableName>" + std::string(5000, 't') + "</tableName>\n");
  for (size_t piece : {size_t(0), size_t(64)}) {
    int runs = forEachAllocationFailure(host(), [&](int nth) {
      host().clearFailure();
      KovaObject* o = extension()->createInstance(extension(), nullptr, nullptr, nullptr);
      ASSERT_NE(o, nullptr);
      host().failAllocation(uint64_t(nth));
      KovaStatus status = readDocument(o, doc, piece);
      EXPECT_TRUE(status == kStatusOk || status == kStatusNoMemory) << nth << " " << status;
      EXPECT_EQ(o->xmlObject, nullptr);
      o->destroy(o);
    });
    EXPECT_GT(runs, 5);
  }
}

// Elements whose values are not what they should be leave their fields as
// they were: a boolean that is no boolean, a type or c_type that is a
// keyword of another kind or none, a cei attribute that is missing or stands
// outside a column.
TEST_F(ReaderTest, ValuesOfTheWrongKindLeaveTheirFieldsUnset) {
  struct Case {
    const char* name;
    std::string lines;
    std::function<void(const KovaObject*)> check;
  } cases[] = {
      {"an encoding without cei", "<encoding>UTF-8</encoding>\n",
       [](const KovaObject* o) { EXPECT_EQ(o->encoding, 0); }},
      {"a cei outside any column", "<cei cei=\"1\">x</cei>\n",
       [](const KovaObject* o) { EXPECT_EQ(o->columnCount, 0); }},
      {"a column cei without its attribute",
       "<columns>\n<column>\n<name>a</name>\n<cei>1</cei>\n</column>\n</columns>\n",
       [](const KovaObject* o) { EXPECT_EQ(o->columns[0]->cei, 0); }},
      {"booleans that are no booleans",
       "<columns>\n<column>\n<name>a</name>\n<dropped>maybe</dropped>\n<select>FIXED</select>\n"
       "</column>\n<column>\n<name>b</name>\n<dropped>false</dropped>\n<select>no</select>\n"
       "</column>\n</columns>\n",
       [](const KovaObject* o) {
         for (int i = 0; i < 2; ++i) {
           EXPECT_EQ(o->columns[i]->dropped, 0);
           EXPECT_EQ(o->columns[i]->select, 0);
         }
       }},
      {"types of another kind",
       "<columns>\n<column>\n<name>a</name>\n<type>FIXED</type>\n<c_type>BIGINT</c_type>\n"
       "</column>\n<column>\n<name>b</name>\n<type>NOSUCHTYPE</type>\n</column>\n</columns>\n",
       [](const KovaObject* o) {
         EXPECT_EQ(o->columns[0]->type, 0u);
         EXPECT_EQ(o->columns[0]->c_type, 0u);
         EXPECT_EQ(o->columns[1]->type, 0u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.check(read(c.lines));
  }
}

}  // namespace
}  // namespace kova::testing
