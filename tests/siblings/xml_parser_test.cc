// The zrexml parser: 16-bit callbacks, chunked input, stopping on a callback's
// status, malformed documents, and what it answers once a document is over.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/kernel/diagnostics.h"
#include "tests/siblings/xml_test_util.h"

namespace kova::runtime {
namespace {

// Byte order mark, declaration, comment, internal entity, attributes with
// references, a character reference outside the BMP, CDATA, a processing
// instruction and nesting.
const std::string kDocument =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- comment -->\n"
    "<!DOCTYPE kova [<!ENTITY who \"w&#246;rld\">]>\n"
    "<kova a=\"1\" b='x &amp; y' c=\"&#x1D11E;\">"
    "<name>caf\xC3\xA9 &who; &lt;tag&gt;</name>"
    "<empty/>"
    "<![CDATA[raw <text> & ]]]]><![CDATA[>]]>"
    "<?pi data?>"
    "<deep><deeper x=\"&#10;\" y=\"\"/>tail \xF0\x9D\x84\x9E</deep>\n"
    "</kova>\n";

const std::vector<std::string> kEvents = {
    "start kova a=[1] b=[x & y] c=[\xF0\x9D\x84\x9E]",
    "start name",
    "text caf\xC3\xA9 w\xC3\xB6rld <tag>",
    "end name",
    "start empty",
    "end empty",
    "text raw <text> & ]]>",
    "start deep",
    "start deeper x=[\n] y=[]",
    "end deeper",
    "text tail \xF0\x9D\x84\x9E",
    "end deep",
    "text \n",
    "end kova",
};

class XmlParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zrexml");
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    if (handle_) handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  // Runs document cut at cuts (increasing) through a fresh parser.
  std::vector<std::string> run(const std::string& document, std::vector<size_t> cuts,
                               int32_t encoding = kEncodingUtf8) {
    XmlRecorder recorder;
    KovaXmlObject* parser = makeParser(handle_, recorder, encoding);
    EXPECT_NE(parser, nullptr);
    if (!parser) return {};
    cuts.push_back(document.size());
    size_t from = 0;
    for (size_t i = 0; i < cuts.size(); ++i) {
      bool last = i + 1 == cuts.size();
      EXPECT_EQ(parser->ops->parse(parser, document.data() + from, int64_t(cuts[i] - from), last),
                last ? kStatusDocumentComplete : kStatusOk);
      from = cuts[i];
    }
    parser->ops->destroyObject(parser);
    return recorder.joined();
  }

  Host host_;
  KovaExtensionHandle* handle_ = nullptr;
};

TEST_F(XmlParserTest, CallbacksCarrySixteenBitTextWithSurrogatePairs) {
  EXPECT_EQ(run(kDocument, {}), kEvents);
  // The pair itself, not a replacement character.
  XmlRecorder recorder;
  KovaXmlObject* parser = makeParser(handle_, recorder);
  std::string document = "<a>\xF0\x9F\x98\x80</a>";
  ASSERT_EQ(parser->ops->parse(parser, document.data(), int64_t(document.size()), 1),
            kStatusDocumentComplete);
  parser->ops->destroyObject(parser);
  EXPECT_EQ(u16(recorder.events.at(1).substr(5)), u"\xD83D\xDE00");
}

TEST_F(XmlParserTest, EverySplitPointGivesTheSameCallbacks) {
  for (size_t cut = 0; cut <= kDocument.size(); ++cut) {
    ASSERT_EQ(run(kDocument, {cut}), kEvents) << "cut at " << cut;
  }
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<size_t> cuts;
    for (int i = 0; i < 6; ++i) cuts.push_back(random() % (kDocument.size() + 1));
    std::sort(cuts.begin(), cuts.end());
    ASSERT_EQ(run(kDocument, cuts), kEvents) << "round " << round;
  }
}

TEST_F(XmlParserTest, DetectedSixteenBitInputGivesTheSameCallbacksAtEverySplit) {
  // The same document in UTF-16LE with its byte order mark, declaration
  // saying so, read with input encoding 0.
  std::string body = kDocument.substr(3);
  body.replace(body.find("UTF-8"), 5, "UTF-16");
  std::u16string wide = u"\uFEFF" + u16(body);
  std::string bytes;
  for (char16_t c : wide) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    ASSERT_EQ(run(bytes, {cut}, 0), kEvents) << "cut at " << cut;
  }
  // Without a byte order mark or declaration, detection reads UTF-8.
  EXPECT_EQ(run("<a>\xC3\xA9</a>", {1}, 0),
            (std::vector<std::string>{"start a", "text \xC3\xA9", "end a"}));
}

TEST_F(XmlParserTest, CallbackStatusStopsTheParseAndComesBackEveryTime) {
  const std::string document = "<a><b>one</b><stop>two</stop><c/>three</a>";
  for (std::string stopAt : {"start stop", "end b", "text t", "end a"}) {
    for (size_t cut : {size_t(0), size_t(7), size_t(20), document.size()}) {
      XmlRecorder recorder;
      recorder.stopAt = stopAt;
      recorder.stopStatus = 0x80fff802u;
      KovaXmlObject* parser = makeParser(handle_, recorder);
      ASSERT_NE(parser, nullptr);
      KovaStatus first = parser->ops->parse(parser, document.data(), int64_t(cut), 0);
      KovaStatus status = first != kStatusOk
                              ? first
                              : parser->ops->parse(parser, document.data() + cut,
                                                   int64_t(document.size() - cut), 1);
      EXPECT_EQ(status, 0x80fff802u) << stopAt << " cut " << cut;
      ASSERT_FALSE(recorder.events.empty());
      EXPECT_EQ(recorder.events.back().rfind(stopAt, 0), 0u) << "cut " << cut;
      size_t seen = recorder.events.size();
      EXPECT_EQ(parser->ops->parse(parser, "<x/>", 4, 1), 0x80fff802u);
      EXPECT_EQ(parser->ops->parse(parser, nullptr, 0, 1), 0x80fff802u);
      EXPECT_EQ(recorder.events.size(), seen);
      parser->ops->destroyObject(parser);
    }
  }
}

TEST_F(XmlParserTest, MalformedDocumentFailsWithLineColumnAndMessageLogged) {
  RecordingDiagnostics diagnostics;
  XmlRecorder recorder;
  KovaXmlObject* parser =
      makeParser(handle_, recorder, kEncodingUtf8, diagnostics.get(), u"hadoop_metadata.xml");
  ASSERT_NE(parser, nullptr);
  std::string document = "<a>\n  <b></a>";
  KovaStatus status = parser->ops->parse(parser, document.data(), int64_t(document.size()), 1);
  EXPECT_NE(status, kStatusOk);
  EXPECT_NE(status, kStatusDocumentComplete);
  EXPECT_EQ(status, kStatusNotSupported);
  ASSERT_EQ(diagnostics.lines().size(), 1u);
  EXPECT_EQ(diagnostics.lines()[0].level, kLogError);
  EXPECT_EQ(diagnostics.lines()[0].utf8(), "hadoop_metadata.xml: line 2, column 8: mismatched tag");
  // Later pieces answer the same failure and parse nothing.
  EXPECT_EQ(parser->ops->parse(parser, "<c/>", 4, 0), kStatusNotSupported);
  EXPECT_EQ(parser->ops->parse(parser, nullptr, 0, 1), kStatusNotSupported);
  EXPECT_EQ(recorder.joined(), (std::vector<std::string>{"start a", "text \n  ", "start b"}));
  parser->ops->destroyObject(parser);
}

TEST_F(XmlParserTest, DocumentsThatEndTooSoonFailAtTheFinalPiece) {
  for (std::string document : {"", "<a>", "<a><b>text</b>", "<?xml version=\"1.0\"?>", "<a"}) {
    RecordingDiagnostics diagnostics;
    XmlRecorder recorder;
    KovaXmlObject* parser = makeParser(handle_, recorder, kEncodingUtf8, diagnostics.get());
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->ops->parse(parser, document.data(), int64_t(document.size()), 0), kStatusOk)
        << document;
    EXPECT_EQ(parser->ops->parse(parser, nullptr, 0, 1), kStatusNotSupported) << document;
    EXPECT_TRUE(diagnostics.contains("test.xml: line 1, column", kLogError)) << document;
    parser->ops->destroyObject(parser);
  }
}

TEST_F(XmlParserTest, ErrorsWithoutDiagnosticsAreQuietAndTheArgumentContextIsUsedAsFallback) {
  XmlRecorder recorder;
  KovaXmlObject* quiet = makeParser(handle_, recorder);
  EXPECT_EQ(quiet->ops->parse(quiet, "<a></b>", 7, 1), kStatusNotSupported);
  quiet->ops->destroyObject(quiet);

  RecordingDiagnostics diagnostics;
  KovaXmlConfig config{};
  config.inputEncoding = kEncodingUtf8;
  config.callbackEncoding = kEncodingWide;
  config.callbacks = &recorder.table;
  auto* parser = static_cast<KovaXmlObject*>(
      handle_->ops->createObject(handle_, &config, diagnostics.get(), "metadata parser"));
  ASSERT_NE(parser, nullptr);
  EXPECT_EQ(parser->ops->parse(parser, "<a><", 4, 1), kStatusNotSupported);
  EXPECT_TRUE(diagnostics.contains("XML document: line 1, column", kLogError));
  parser->ops->destroyObject(parser);
}

TEST_F(XmlParserTest, CompletedDocumentAnswersCompleteAndRefusesMoreData) {
  RecordingDiagnostics diagnostics;
  XmlRecorder recorder;
  KovaXmlObject* parser = makeParser(handle_, recorder, kEncodingUtf8, diagnostics.get());
  EXPECT_EQ(parser->ops->parse(parser, "<a>", 3, 0), kStatusOk);
  EXPECT_EQ(parser->ops->parse(parser, "</a>", 4, 1), kStatusDocumentComplete);
  EXPECT_EQ(parser->ops->parse(parser, nullptr, 0, 1), kStatusDocumentComplete);
  EXPECT_EQ(parser->ops->parse(parser, "<b/>", 4, 1), kStatusNotSupported);
  EXPECT_TRUE(diagnostics.contains("after the end of the document", kLogError));
  EXPECT_EQ(recorder.events.size(), 2u);
  EXPECT_EQ(parser->ops->parse(parser, nullptr, 5, 0), kStatusNotSupported);
  parser->ops->destroyObject(parser);
}

TEST_F(XmlParserTest, ParserWithoutCallbacksStillChecksTheDocument) {
  KovaXmlConfig config{};
  config.inputEncoding = kEncodingUtf8;
  config.callbackEncoding = kEncodingWide;
  auto* parser =
      static_cast<KovaXmlObject*>(handle_->ops->createObject(handle_, &config, nullptr, "p"));
  ASSERT_NE(parser, nullptr);
  EXPECT_EQ(parser->ops->parse(parser, kDocument.data(), int64_t(kDocument.size()), 1),
            kStatusDocumentComplete);
  EXPECT_EQ(parser->ops->escape(parser, 0, u"a", 2, nullptr, nullptr), kStatusNotSupported);
  parser->ops->destroyObject(parser);
}

TEST_F(XmlParserTest, BadRequestsAndConfigurationsAreRefused) {
  XmlRecorder recorder;
  EXPECT_EQ(makeParser(handle_, recorder, 999), nullptr);
  EXPECT_EQ(makeParser(handle_, recorder, 7), nullptr);
  KovaXmlConfig config{};
  config.inputEncoding = kEncodingUtf8;
  config.callbackEncoding = kEncodingUtf8;
  EXPECT_EQ(handle_->ops->createObject(handle_, &config, nullptr, "p"), nullptr);
  EXPECT_EQ(handle_->ops->createObject(handle_, nullptr, nullptr, "metadata parser"), nullptr);

  KovaXmlObject* parser = makeParser(handle_, recorder);
  EXPECT_EQ(parser->ops->parse(parser, nullptr, 3, 0), kStatusNotSupported);
  EXPECT_EQ(parser->ops->parse(parser, "<a/>", -1, 0), kStatusNotSupported);
  // Refused requests do not spoil the document.
  EXPECT_EQ(parser->ops->parse(parser, "<a/>", 4, 1), kStatusDocumentComplete);
  parser->ops->destroyObject(parser);
  EXPECT_EQ(host_.account().objects, 1u);
}

TEST_F(XmlParserTest, ParsersOutliveTheirHandleAndFailedCreationLeavesNothing) {
  XmlRecorder recorder;
  host_.failAllocation(1);
  EXPECT_EQ(makeParser(handle_, recorder), nullptr);
  EXPECT_TRUE(host_.failureFired());
  host_.clearFailure();
  EXPECT_EQ(host_.account().objects, 1u);

  KovaXmlObject* parser = makeParser(handle_, recorder);
  ASSERT_NE(parser, nullptr);
  handle_->ops->releaseExtension(handle_);
  handle_ = nullptr;
  EXPECT_EQ(parser->ops->parse(parser, "<a>x</a>", 8, 1), kStatusDocumentComplete);
  parser->ops->destroyObject(parser);
}

TEST(XmlExtension, LoadingFailsWhenTheKernelRefusesTheHandle) {
  Host host;
  host.failAllocation(1);
  EXPECT_EQ(loadSibling(host, u"zrexml"), nullptr);
  host.clearFailure();
  host.setExtensionLoadable(u"zrexml", false);
  EXPECT_EQ(loadSibling(host, u"zrexml"), nullptr);
  EXPECT_TRUE(host.account().empty());
}

}  // namespace
}  // namespace kova::runtime
