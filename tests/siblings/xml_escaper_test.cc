// The zrexml escaper: whatever it answers, placed as element content or
// inside "<![CDATA[" ... "]]>", must read back through the parser as the
// text it was given, however the document is cut into pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/siblings/xml_test_util.h"

namespace kova::runtime {
namespace {

class XmlEscaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zrexml");
    ASSERT_NE(handle_, nullptr);
    KovaXmlConfig config{};
    config.inputEncoding = kEncodingWide;
    escaper_ = static_cast<KovaXmlObject*>(
        handle_->ops->createObject(handle_, &config, nullptr, kXmlEscaperName));
    ASSERT_NE(escaper_, nullptr);
  }
  void TearDown() override {
    if (escaper_) escaper_->ops->destroyObject(escaper_);
    handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  KovaStatus escape(std::u16string_view text, int32_t mode, std::u16string* out) {
    const char16_t* escaped = reinterpret_cast<const char16_t*>(1);
    int64_t bytes = -1;
    KovaStatus status = escaper_->ops->escape(escaper_, mode, text.data(), int64_t(text.size()) * 2,
                                              &escaped, &bytes);
    if (status != kStatusOk) {
      EXPECT_EQ(escaped, nullptr);
      EXPECT_EQ(bytes, 0);
      return status;
    }
    EXPECT_EQ(bytes % 2, 0);
    *out = std::u16string(escaped, size_t(bytes / 2));
    return status;
  }

  // The document that carries text escaped in mode, as UTF-8.
  std::string documentFor(std::u16string_view text, int32_t mode) {
    std::u16string escaped;
    EXPECT_EQ(escape(text, mode, &escaped), kStatusOk) << u8(text);
    std::string body = u8(escaped);
    if (mode == kXmlEscapeCdata) body = "<![CDATA[" + body + "]]>";
    return "<r>" + body + "</r>";
  }

  // Parses document cut at the given points; the joined events.
  std::vector<std::string> parsePieces(const std::string& document, std::vector<size_t> cuts) {
    XmlRecorder recorder;
    KovaXmlObject* parser = makeParser(handle_, recorder);
    EXPECT_NE(parser, nullptr);
    if (!parser) return {};
    cuts.push_back(document.size());
    size_t from = 0;
    for (size_t i = 0; i < cuts.size(); ++i) {
      bool last = i + 1 == cuts.size();
      KovaStatus status =
          parser->ops->parse(parser, document.data() + from, int64_t(cuts[i] - from), last);
      EXPECT_EQ(status, last ? kStatusDocumentComplete : kStatusOk) << document;
      from = cuts[i];
    }
    parser->ops->destroyObject(parser);
    return recorder.joined();
  }

  static std::vector<std::string> expectedFor(std::u16string_view text) {
    if (text.empty()) return {"start r", "end r"};
    return {"start r", "text " + u8(text), "end r"};
  }

  Host host_;
  KovaExtensionHandle* handle_ = nullptr;
  KovaXmlObject* escaper_ = nullptr;
};

const std::vector<std::u16string> kTexts = {u"",
                                            u"plain",
                                            u"a<b",
                                            u"a&b",
                                            u"&amp;",
                                            u"x>y",
                                            u"]]>",
                                            u"]]]>",
                                            u"]]>]]>",
                                            u"]]]]>>",
                                            u"a]",
                                            u"a]]",
                                            u"]",
                                            u"]]",
                                            u">",
                                            u"<![CDATA[",
                                            u"]]><![CDATA[",
                                            u"\"quoted\" 'single'",
                                            u"\U0001D11E clef \U0001F600",
                                            u"line\r\nbreak\rlone\r",
                                            u"tab\tand\nnewline",
                                            u"  spaced  ",
                                            u"\u00e9\u4e2d\uFFFD\u00A0",
                                            u"<a href=\"x\">&lt;</a>",
                                            u"]]>\r]]>"};

TEST_F(XmlEscaperTest, EscapedTextReadsBackUnchangedInBothModesAtEverySplit) {
  for (const std::u16string& text : kTexts) {
    for (int32_t mode : {kXmlEscapeContent, kXmlEscapeCdata}) {
      SCOPED_TRACE(u8(text) + (mode ? " (CDATA)" : " (content)"));
      std::string document = documentFor(text, mode);
      EXPECT_EQ(parsePieces(document, {}), expectedFor(text)) << document;
      for (size_t cut = 1; cut < document.size(); ++cut) {
        ASSERT_EQ(parsePieces(document, {cut}), expectedFor(text)) << "cut at " << cut;
      }
    }
  }
}

TEST_F(XmlEscaperTest, EveryShortMixOfMarkupCharactersReadsBack) {
  const std::u16string alphabet = u"]>&<a\r";
  std::vector<std::u16string> texts = {u""};
  for (size_t length = 1; length <= 4; ++length) {
    std::vector<std::u16string> longer;
    for (const std::u16string& t : texts) {
      if (t.size() != length - 1) continue;
      for (char16_t c : alphabet) longer.push_back(t + c);
    }
    texts.insert(texts.end(), longer.begin(), longer.end());
  }
  ASSERT_EQ(texts.size(), 1u + 6 + 36 + 216 + 1296);
  for (const std::u16string& text : texts) {
    for (int32_t mode : {kXmlEscapeContent, kXmlEscapeCdata}) {
      ASSERT_EQ(parsePieces(documentFor(text, mode), {}), expectedFor(text))
          << u8(text) << " mode " << mode;
    }
  }
}

TEST_F(XmlEscaperTest, ContentModeUsesEntitiesAndCdataModeSplitsSections) {
  std::u16string out;
  ASSERT_EQ(escape(u"a<b&c>\"'", kXmlEscapeContent, &out), kStatusOk);
  EXPECT_EQ(out, u"a&lt;b&amp;c&gt;&quot;&apos;");
  ASSERT_EQ(escape(u"x]]>y", kXmlEscapeCdata, &out), kStatusOk);
  EXPECT_EQ(out, u"x]]]]><![CDATA[>y");
  ASSERT_EQ(escape(u"a<&b", kXmlEscapeCdata, &out), kStatusOk);
  EXPECT_EQ(out, u"a<&b");
}

TEST_F(XmlEscaperTest, TextXmlCannotCarryIsRefused) {
  std::u16string out;
  const std::u16string refused[] = {
      std::u16string(1, u'\0'), u"a\x01",  u"\x1f",  u"\x0b", u"\xD834", u"\xD834x", u"x\xDD1E",
      u"\xDD1E\xD834",          u"\uFFFE", u"\uFFFF"};
  for (const std::u16string& text : refused) {
    for (int32_t mode : {kXmlEscapeContent, kXmlEscapeCdata}) {
      EXPECT_EQ(escape(text, mode, &out), kStatusNotSupported) << int(text[0]);
    }
  }
}

TEST_F(XmlEscaperTest, MalformedRequestsAreRefusedWithEmptyOutput) {
  std::u16string out;
  EXPECT_EQ(escape(u"abc", 2, &out), kStatusNotSupported);
  EXPECT_EQ(escape(u"abc", -1, &out), kStatusNotSupported);
  const char16_t* escaped = u"stale";
  int64_t bytes = 99;
  EXPECT_EQ(escaper_->ops->escape(escaper_, 0, u"abc", 3, &escaped, &bytes), kStatusNotSupported);
  EXPECT_EQ(escaped, nullptr);
  EXPECT_EQ(bytes, 0);
  EXPECT_EQ(escaper_->ops->escape(escaper_, 0, u"abc", -2, &escaped, &bytes), kStatusNotSupported);
  EXPECT_EQ(escaper_->ops->escape(escaper_, 0, nullptr, 4, &escaped, &bytes), kStatusNotSupported);
  EXPECT_EQ(escaper_->ops->escape(escaper_, 0, nullptr, 0, &escaped, &bytes), kStatusOk);
  EXPECT_EQ(bytes, 0);
  // An escaper parses nothing.
  EXPECT_EQ(escaper_->ops->parse(escaper_, "<a/>", 4, 1), kStatusNotSupported);
}

TEST_F(XmlEscaperTest, EscapersRefuseOtherTextEncodingsAndFailedAllocations) {
  KovaXmlConfig config{};
  config.inputEncoding = kEncodingUtf8;
  EXPECT_EQ(handle_->ops->createObject(handle_, &config, nullptr, kXmlEscaperName), nullptr);
  // No configuration at all means 16-bit text.
  auto* plain = static_cast<KovaXmlObject*>(
      handle_->ops->createObject(handle_, nullptr, nullptr, kXmlEscaperName));
  ASSERT_NE(plain, nullptr);
  plain->ops->destroyObject(plain);
  host_.failAllocation(1);
  config.inputEncoding = kEncodingWide;
  EXPECT_EQ(handle_->ops->createObject(handle_, &config, nullptr, kXmlEscaperName), nullptr);
  EXPECT_TRUE(host_.failureFired());
  EXPECT_EQ(host_.account().objects, 2u);  // handle and the fixture's escaper
}

}  // namespace
}  // namespace kova::runtime
