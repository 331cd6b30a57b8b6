// The zrexml parser reads the encoding a document declares (or its byte
// order mark) and takes its input encoding as the default for documents that
// declare none; a long token in small pieces is read whole; a failure says
// where it happened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/kernel/diagnostics.h"
#include "runtime/xml/xml_objects.h"
#include "tests/siblings/xml_test_util.h"

namespace kova::runtime {
namespace {

using Events = std::vector<std::string>;

std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (char16_t c : text) {
    char high = char(c >> 8), low = char(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

class XmlEncodingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zrexml");
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  // Parses document in pieces of at most piece bytes (0: one piece), the
  // last one final; the joined events, or the failing status as "status N".
  Events run(const std::string& document, int32_t encoding, size_t piece = 0,
             KovaDiagnostics* diagnostics = nullptr) {
    XmlRecorder recorder;
    KovaXmlObject* parser = makeParser(handle_, recorder, encoding, diagnostics);
    EXPECT_NE(parser, nullptr);
    if (!parser) return {};
    if (piece == 0) piece = document.size() + 1;
    KovaStatus status = kStatusOk;
    for (size_t at = 0; status == kStatusOk && at < document.size(); at += piece) {
      status = parser->ops->parse(parser, document.data() + at,
                                  int64_t(std::min(piece, document.size() - at)), 0);
    }
    if (status == kStatusOk) status = parser->ops->parse(parser, nullptr, 0, 1);
    parser->ops->destroyObject(parser);
    Events events = recorder.joined();
    if (status != kStatusDocumentComplete) events.push_back("status " + std::to_string(status));
    return events;
  }

  Host host_;
  KovaExtensionHandle* handle_ = nullptr;
};

const Events kCafe = {"start a n=[caf\xC3\xA9]", "text caf\xC3\xA9 \xE2\x82\xAC", "end a"};

TEST_F(XmlEncodingTest, DeclaredEncodingWinsOverTheGivenOneAtEverySplit) {
  // Latin-1 has no euro sign: the declared windows-1252 has it at 0x80.
  const std::string latin = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>";
  const std::string windows =
      "<?xml version='1.0' encoding='windows-1252'?><a n='caf\xE9'>caf\xE9 \x80</a>";
  for (size_t piece : {size_t(0), size_t(1), size_t(5)}) {
    for (int32_t given : {0, kEncodingUtf8, 1, 40}) {
      EXPECT_EQ(run(latin, given, piece), (Events{"start a", "text caf\xC3\xA9", "end a"}))
          << given << " " << piece;
      EXPECT_EQ(run(windows, given, piece), kCafe) << given << " " << piece;
    }
  }
  // Two-byte characters whose lead byte gives their length.
  EXPECT_EQ(run("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x93\xFA\x96\x7B</a>",
                kEncodingUtf8, 1),
            (Events{"start a", "text \xE6\x97\xA5\xE6\x9C\xAC", "end a"}));
}

TEST_F(XmlEncodingTest, ByteOrderMarkAndSixteenBitMarkupAreDetected) {
  const std::u16string body = u"<a n='caf\u00E9'>caf\u00E9 \u20AC</a>";
  for (bool big : {false, true}) {
    const std::string marked = utf16(u"\uFEFF" + body, big);
    const std::string declared = utf16(u"<?xml version='1.0' encoding='UTF-16'?>" + body, big);
    for (size_t piece : {size_t(0), size_t(1), size_t(3)}) {
      for (int32_t given : {0, kEncodingUtf8, 1}) {
        EXPECT_EQ(run(marked, given, piece), kCafe) << big << piece << given;
        EXPECT_EQ(run(declared, given, piece), kCafe) << big << piece << given;
      }
    }
  }
  // A UTF-8 mark beats a Latin-1 default.
  EXPECT_EQ(run("\xEF\xBB\xBF<a>\xC3\xA9</a>", 1), (Events{"start a", "text \xC3\xA9", "end a"}));
}

TEST_F(XmlEncodingTest, GivenEncodingIsTheDefaultForDocumentsThatDeclareNone) {
  for (size_t piece : {size_t(0), size_t(1), size_t(4)}) {
    EXPECT_EQ(run("<a>caf\xE9</a>", 1, piece), (Events{"start a", "text caf\xC3\xA9", "end a"}));
    EXPECT_EQ(run("<?xml version=\"1.0\"?><a>\xE9</a>", 1, piece),
              (Events{"start a", "text \xC3\xA9", "end a"}));
    EXPECT_EQ(run("<a/>", 1, piece), (Events{"start a", "end a"}));
    EXPECT_EQ(run(utf16(u"<a>\u20AC</a>", false), 21, piece),
              (Events{"start a", "text \xE2\x82\xAC", "end a"}));
  }
  // UTF-8 stays the default for 0 and 20: Latin-1 bytes are refused.
  EXPECT_EQ(run("<a>caf\xE9</a>", kEncodingUtf8).back(), "status 2151661577");
}

TEST_F(XmlEncodingTest, EncodingsExpatCannotReadFailAsUnknown) {
  RecordingDiagnostics diagnostics;
  const std::string ebcdic = "<?xml version=\"1.0\" encoding=\"IBM037\"?><a/>";
  EXPECT_EQ(run(ebcdic, kEncodingUtf8, 0, diagnostics.get()).back(), "status 2151661577");
  EXPECT_TRUE(diagnostics.contains("unknown encoding", kLogError));
  EXPECT_EQ(run("<?xml version=\"1.0\" encoding=\"no-such\"?><a/>", 0).back(), "status 2151661577");
  XmlRecorder recorder;
  EXPECT_EQ(makeParser(handle_, recorder, 7), nullptr);  // no such identifier
}

TEST_F(XmlEncodingTest, LongTokensInSmallPiecesGiveTheSameEvents) {
  const std::string value(300 * 1024, 'v');
  const std::string comment(200 * 1024, 'c');
  const std::string document =
      "<r a=\"" + value + "\"><!--" + comment + "--><b>t</b>" + "<c x='" + value + "'/></r>";
  const Events expected = {"start r a=[" + value + "]", "start b", "text t", "end b",
                           "start c x=[" + value + "]", "end c",   "end r"};
  for (size_t piece : {size_t(0), size_t(1000), size_t(4096), size_t(65536)}) {
    EXPECT_EQ(run(document, kEncodingUtf8, piece), expected) << piece;
  }
}

TEST_F(XmlEncodingTest, HeldBackBytesAreParsedOnceTheyOutgrowTheTokenOrAtTheEnd) {
  XmlRecorder recorder;
  KovaXmlObject* parser = makeParser(handle_, recorder, 0);
  const std::string open = "<r><a x='" + std::string(100 * 1024, 'v');
  ASSERT_EQ(parser->ops->parse(parser, open.data(), int64_t(open.size()), 0), kStatusOk);
  EXPECT_EQ(recorder.events.size(), 1u);
  // The token's end arrives in a short piece: held until the end.
  ASSERT_EQ(parser->ops->parse(parser, "'/><b/>", 7, 0), kStatusOk);
  EXPECT_EQ(recorder.events.size(), 1u);
  ASSERT_EQ(parser->ops->parse(parser, "</r>", 4, 1), kStatusDocumentComplete);
  EXPECT_EQ(recorder.events.size(), 6u);
  parser->ops->destroyObject(parser);

  // Short tokens are never held: each piece's events come with it.
  XmlRecorder small;
  parser = makeParser(handle_, small, 0);
  ASSERT_EQ(parser->ops->parse(parser, "<r><a x='12", 11, 0), kStatusOk);
  ASSERT_EQ(parser->ops->parse(parser, "'/>", 3, 0), kStatusOk);
  EXPECT_EQ(small.events.size(), 3u);
  parser->ops->destroyObject(parser);
}

TEST_F(XmlEncodingTest, FailureKeepsLineColumnAndByteOffset) {
  XmlRecorder recorder;
  KovaXmlObject* parser = makeParser(handle_, recorder, 0);
  EXPECT_EQ(xmlParseError(parser), nullptr);
  const std::string document = "<r>\n <a>1</a>\n <b></c>";
  ASSERT_EQ(parser->ops->parse(parser, document.data(), 10, 0), kStatusOk);
  EXPECT_EQ(parser->ops->parse(parser, document.data() + 10, int64_t(document.size() - 10), 0),
            kStatusNotSupported);
  const XmlParseError* error = xmlParseError(parser);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->line, 3u);
  EXPECT_EQ(error->column, 7u);  // at the end tag's name
  EXPECT_EQ(error->byteOffset, document.find("</c>") + 2);
  EXPECT_STREQ(error->message, "mismatched tag");
  parser->ops->destroyObject(parser);

  // A document that stops inside an element fails where it stops.
  XmlRecorder cut;
  parser = makeParser(handle_, cut, 0);
  ASSERT_EQ(parser->ops->parse(parser, "<r><a>1", 7, 0), kStatusOk);
  EXPECT_EQ(parser->ops->parse(parser, nullptr, 0, 1), kStatusNotSupported);
  ASSERT_NE(xmlParseError(parser), nullptr);
  EXPECT_EQ(xmlParseError(parser)->byteOffset, 7u);
  parser->ops->destroyObject(parser);
}

}  // namespace
}  // namespace kova::runtime
