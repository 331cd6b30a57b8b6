// Write, read into a fresh instance, write again: for many generated objects
// the two documents are the same bytes and the objects the same fields.
#include <random>

#include "kova/metadata.h"
#include "tests/metadata/metadata_test_util.h"
#include "tests/support/module_fixture.h"

namespace kova::testing {
namespace {

const std::u16string kTexts[] = {
    u"plain",
    u"/user/hive/warehouse/sales",
    u"two words",
    u"\ttabbed\tvalue\t",
    u"a<b&c>d\"e'f",
    u"]]>",
    u"x ]]> y",
    u"]]]]>>",
    u"line\nbreak",
    u"carriage\rreturn\r\n",
    u" ",
    u"\u00e9t\u00e9 \u65e5\u672c",
    u"\U0001F600\U00010348",
    u"soft\u00adhyphen",
    u"nbsp\u00a0here",
    u"\ue000private",
    u"&amp;",
    u"<![CDATA[x]]>",
};

const int32_t kKnownEncodings[] = {1, 12, 20, 21, 25, 40, 50, 62};
const int32_t kUnknownEncodings[] = {7, 200, 264, -1};

class RoundTripTest : public ModuleTest {
 protected:
  std::mt19937_64 random_{20240229};

  uint64_t pick(uint64_t n) { return random_() % n; }
  bool coin() { return random_() & 1; }

  void maybeText(KovaObject* o, const char16_t** field, int64_t* length) {
    if (pick(4) == 0) return;
    setText(o, field, length, kTexts[pick(std::size(kTexts))]);
  }
  int32_t encoding() {
    switch (pick(4)) {
      case 0:
        return 0;
      case 1:
        return kUnknownEncodings[pick(std::size(kUnknownEncodings))];
      default:
        return kKnownEncodings[pick(std::size(kKnownEncodings))];
    }
  }
  int64_t number() {
    switch (pick(4)) {
      case 0:
        return 0;
      case 1:
        return int64_t(pick(100));
      case 2:
        return -int64_t(pick(1000));
      default:
        return int64_t(random_() >> 20) * (coin() ? 1 : -1);
    }
  }
  int32_t number32() { return int32_t(number() >> (pick(2) ? 0 : 32)); }

  KovaObject* generate() {
    static const uint32_t recfms[] = {0, 1, 2, 3, 4, 5, 6, 9, 10};
    KovaObject* o = newInstance(nullptr, uint32_t(pick(2)));
    o->recfm = recfms[pick(std::size(recfms))];
    o->managedData = coin();
    o->reclen = number();
    o->encoding = encoding();
    o->fieldsep = uint8_t(pick(256));
    o->textqual = uint8_t(pick(256));
    o->keysep = uint8_t(pick(3) ? pick(256) : 0);
    maybeText(o, &o->recordTag, &o->recordTagLength);
    o->keylen = number32();
    o->bigendian = coin();
    o->headerLines = number32();
    // Always set: a read without one derives "DELIMITED", which the next
    // write would add.
    static const std::u16string fileTypes[] = {u"DELIMITED", u"json", u"XML", u"SEQUENCE",
                                               u"two words"};
    setText(o, &o->fileType, &o->fileTypeLength, fileTypes[pick(std::size(fileTypes))]);
    maybeText(o, &o->userInputFormat, &o->userInputFormatLength);
    maybeText(o, &o->inputDir, &o->inputDirLength);
    maybeText(o, &o->outputDir, &o->outputDirLength);
    maybeText(o, &o->metaDir, &o->metaDirLength);
    maybeText(o, &o->mrTempDir, &o->mrTempDirLength);
    maybeText(o, &o->whereExpression, &o->whereExpressionLength);
    maybeText(o, &o->datahost, &o->datahostLength);
    maybeText(o, &o->tableName, &o->tableNameLength);
    maybeText(o, &o->schemaName, &o->schemaNameLength);
    maybeText(o, &o->databaseName, &o->databaseNameLength);
    o->expectFile = coin();
    o->returnCode = number32();
    o->numTasks = number32();
    for (uint64_t n = pick(6); n > 0; --n) {
      KovaColumn* c = extension()->addColumn(o);
      setText(o, &c->name, &c->nameLength, kTexts[pick(std::size(kTexts))]);
      c->type = uint32_t(pick(16));
      c->c_type = uint32_t(pick(17));
      c->charlength = number();
      c->offset = number();
      c->indOffset = number();
      c->indLength = number32();
      c->bytelength = number();
      c->scale = number32();
      c->cei = encoding();
      maybeText(o, &c->format, &c->formatLength);
      maybeText(o, &c->informat, &c->informatLength);
      maybeText(o, &c->tag, &c->tagLength);
      c->dropped = coin();
      c->colendian = number32();
    }
    return o;
  }

  // What the document keeps of an object: the fields a read gives back.
  void keepWhatTheDocumentCarries(KovaObject* o) {
    auto known = [&](int32_t id) {
      for (int32_t k : kKnownEncodings) {
        if (k == id) return true;
      }
      return false;
    };
    if (!known(o->encoding)) o->encoding = 0;
    if (o->reclen < 0) o->reclen = 0;
    if (o->keylen < 0) o->keylen = 0;
    if (o->numTasks < 0) o->numTasks = 0;
    if (!o->inputDir) o->expectFile = 0;
    for (int32_t i = 0; i < o->columnCount; ++i) {
      KovaColumn* c = o->columns[i];
      if (c->type > 14 || c->type == 12) c->type = 0;
      if (c->c_type > 15) c->c_type = 0;
      if (!known(c->cei)) c->cei = 0;
      if (!(o->flags & kObjectFlagWriteDropped)) c->dropped = 0;
    }
    extension()->setFormats(o);
  }
};

TEST_F(RoundTripTest, GeneratedObjectsSurviveWriteReadWrite) {
  for (int run = 0; run < 400; ++run) {
    KovaObject* original = generate();
    KovaStatus status = kStatusOk;
    std::string first = writeDocument(original, &status);
    ASSERT_EQ(status, kStatusOk) << run;
    KovaObject* copy = newInstance(nullptr, original->flags);
    ASSERT_EQ(readDocument(copy, first, run % 3 == 0 ? 1 + run % 97 : 0), kStatusOk) << run << "\n"
                                                                                     << first;
    std::string second = writeDocument(copy, &status);
    ASSERT_EQ(status, kStatusOk);
    ASSERT_EQ(second, first) << run;
    keepWhatTheDocumentCarries(original);
    ASSERT_EQ(dumpObject(copy), dumpObject(original)) << run << "\n" << first;
    for (KovaObject* o : {original, copy}) {
      o->destroy(o);
      forget(o);
    }
  }
}

TEST_F(RoundTripTest, EveryFieldSeparatorByteSurvives) {
  for (int value = 1; value < 256; ++value) {
    KovaObject* o = newInstance();
    o->fieldsep = uint8_t(value);
    o->textqual = uint8_t(256 - value);
    o->keysep = uint8_t(value ^ 0x55);
    KovaObject* copy = newInstance();
    ASSERT_EQ(readDocument(copy, writeDocument(o)), kStatusOk) << value;
    EXPECT_EQ(copy->fieldsep, o->fieldsep);
    EXPECT_EQ(copy->textqual, o->textqual);
    EXPECT_EQ(copy->keysep, o->keysep);
  }
}

}  // namespace
}  // namespace kova::testing
