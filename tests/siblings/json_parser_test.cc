// The zrejson parser: streams of top-level values in any block partition and
// in other encodings, long strings in pieces, a callback's status, and where
// bad or unfinished input is reported.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/kernel/diagnostics.h"
#include "kova/ripper.h"
#include "tests/siblings/sibling_test_util.h"

namespace kova::runtime {
namespace {

// Objects one after another with and without line feeds, an array of
// objects, nesting, escapes, a surrogate pair, non-ASCII text and every kind
// of scalar.
const std::string kStream =
    "{\"id\":1,\"name\":\"caf\xC3\xA9\",\"ok\":true}\n"
    "{\"id\":-2.5e3,\"tags\":[\"a\",null,false],\"sub\":{\"k\":"
    "\"\\\"q\\\"\\n\\u00e9\\ud83d\\ude00\"}}"
    "{\"id\":3}\r\n"
    "[{\"id\":4},{}]\n";

const std::vector<std::string> kEvents = {
    "{",
    "key id",
    "num 1",
    "key name",
    "str caf\xC3\xA9",
    "key ok",
    "bool 1",
    "}",
    "{",
    "key id",
    "num -2.5e3",
    "key tags",
    "str a",
    "null",
    "bool 0",
    "key sub",
    "{",
    "key k",
    "str \"q\"\n\xC3\xA9\xF0\x9F\x98\x80",
    "}",
    "}",
    "{",
    "key id",
    "num 3",
    "}",
    "{",
    "key id",
    "num 4",
    "}",
    "{",
    "}",
};

std::string utf8Of(const char16_t* text, int32_t bytes) {
  std::string out;
  const int32_t n = bytes / 2;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18));
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// The callback table and what it saw, in words after the table.
struct Recorder {
  KovaJsonCallbacks table{};
  std::vector<std::string> events;
  KovaStatus answer = kStatusOk;  // what every callback returns
  size_t answerAfter = SIZE_MAX;  // ... once this many events were seen

  Recorder() {
    table.startObject = [](KovaJsonCallbacks* t) { return of(t)->add("{"); };
    table.endObject = [](KovaJsonCallbacks* t) { return of(t)->add("}"); };
    table.nullValue = [](KovaJsonCallbacks* t) { return of(t)->add("null"); };
    table.booleanValue = [](KovaJsonCallbacks* t, uint8_t v) {
      return of(t)->add(v ? "bool 1" : "bool 0");
    };
    table.numberValue = [](KovaJsonCallbacks* t, const char16_t* s, int32_t n) {
      return of(t)->add("num " + utf8Of(s, n));
    };
    table.stringValue = [](KovaJsonCallbacks* t, const char16_t* s, int32_t n, uint32_t flags) {
      const char* kind = (flags & kJsonStringMemberName)   ? "key "
                         : (flags & kJsonStringMorePieces) ? "piece "
                                                           : "str ";
      return of(t)->add(kind + utf8Of(s, n));
    };
  }
  static Recorder* of(KovaJsonCallbacks* t) { return reinterpret_cast<Recorder*>(t); }
  KovaStatus add(std::string event) {
    events.push_back(std::move(event));
    return events.size() >= answerAfter ? answer : kStatusOk;
  }
};

class JsonParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zrejson");
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    if (handle_) handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  KovaJsonParser* parser(Recorder& recorder, int32_t encoding = kEncodingUtf8,
                         int32_t pieces = 1536) {
    KovaJsonConfig config{};
    config.inputEncoding = encoding;
    config.callbackEncoding = kEncodingWide;
    config.value1536 = pieces;
    config.callbacks = &recorder.table;
    return static_cast<KovaJsonParser*>(
        handle_->ops->createObject(handle_, &config, diagnostics_.get(), "metadata JSON parser"));
  }

  // Feeds input cut at cuts (increasing), then the end of input. Returns
  // the last status.
  KovaStatus run(Recorder& recorder, const std::string& input, const std::vector<size_t>& cuts,
                 int32_t encoding = kEncodingUtf8) {
    KovaJsonParser* p = parser(recorder, encoding);
    EXPECT_NE(p, nullptr);
    if (!p) return kStatusNotSupported;
    size_t at = 0;
    KovaStatus status = kStatusOk;
    std::vector<size_t> ends = cuts;
    ends.push_back(input.size());
    for (size_t end : ends) {
      // Each block in a buffer of its own size: a read past it is caught.
      std::vector<char> block(input.begin() + long(at), input.begin() + long(end));
      status = p->ops->parse(p, block.data(), int64_t(block.size()), 0);
      at = end;
      if (status != kStatusOk) break;
    }
    if (status == kStatusOk) status = p->ops->parse(p, nullptr, 0, 1);
    p->ops->destroyObject(p);
    return status;
  }

  Host host_;
  RecordingDiagnostics diagnostics_;
  KovaExtensionHandle* handle_ = nullptr;
};

TEST_F(JsonParserTest, EveryPartitionOfAStreamGivesTheSameEvents) {
  Recorder whole;
  ASSERT_EQ(run(whole, kStream, {}), kStatusDocumentComplete);
  EXPECT_EQ(whole.events, kEvents);
  for (size_t cut = 1; cut < kStream.size(); ++cut) {
    Recorder r;
    ASSERT_EQ(run(r, kStream, {cut}), kStatusDocumentComplete) << cut;
    EXPECT_EQ(r.events, kEvents) << cut;
  }
  std::vector<size_t> bytes;
  for (size_t i = 1; i < kStream.size(); ++i) bytes.push_back(i);
  Recorder single;
  ASSERT_EQ(run(single, kStream, bytes), kStatusDocumentComplete);
  EXPECT_EQ(single.events, kEvents);
}

TEST_F(JsonParserTest, OtherEncodingsAreReadInBlocksOfAnySize) {
  // UTF-16LE with a byte order mark, and Latin-1, each in blocks of 1 and 3
  // bytes (characters split between blocks).
  std::string utf16 = "\xFF\xFE";
  std::u16string text = u"{\"s\":\"caf\u00e9 \U0001F600\",\"n\":7}\n{\"s\":\"\u00ff\"}";
  for (char16_t u : text) {
    utf16 += char(u & 0xFF);
    utf16 += char(u >> 8);
  }
  const std::string latin1 = "{\"s\":\"caf\xE9 x\",\"n\":7}\n{\"s\":\"\xFF\"}";
  const std::vector<std::string> expected16 = {"{",     "key s", "str caf\xC3\xA9 \xF0\x9F\x98\x80",
                                               "key n", "num 7", "}",
                                               "{",     "key s", "str \xC3\xBF",
                                               "}"};
  std::vector<std::string> expected1 = expected16;
  expected1[2] = "str caf\xC3\xA9 x";
  for (size_t step : {size_t(1), size_t(3)}) {
    std::vector<size_t> cuts16, cuts1;
    for (size_t i = step; i < utf16.size(); i += step) cuts16.push_back(i);
    for (size_t i = step; i < latin1.size(); i += step) cuts1.push_back(i);
    Recorder r16, r1;
    EXPECT_EQ(run(r16, utf16, cuts16, 21), kStatusDocumentComplete);
    EXPECT_EQ(r16.events, expected16) << step;
    EXPECT_EQ(run(r1, latin1, cuts1, 1), kStatusDocumentComplete);
    EXPECT_EQ(r1.events, expected1) << step;
  }
}

TEST_F(JsonParserTest, UnpairedSurrogatesAndPartialMarksAreNotTakenAsText) {
  // UTF-16: a high surrogate before a plain character, a low one alone and
  // a high one at the very end each become U+FFFD; the euro sign is three
  // UTF-8 bytes.
  auto utf16 = [](std::u16string_view text) {
    std::string bytes;
    for (char16_t u : text) {
      bytes += char(u & 0xFF);
      bytes += char(u >> 8);
    }
    return bytes;
  };
  const std::string replacement = "\xEF\xBF\xBD";
  Recorder pairs;
  EXPECT_EQ(run(pairs, utf16(u"{\"s\":\"\u20ac\xD800x\xDC00\"}"), {3}, 21),
            kStatusDocumentComplete);
  const std::vector<std::string> expected = {
      "{", "key s", "str \xE2\x82\xAC" + replacement + "x" + replacement, "}"};
  EXPECT_EQ(pairs.events, expected);
  Recorder tail;
  EXPECT_EQ(run(tail, utf16(u"{\"s\":1}\xD800"), {}, 21), kStatusJsonParse);
  // UTF-8: the first bytes of a byte-order mark that does not go on are
  // input, not a mark (here, bytes no JSON text may begin with).
  Recorder partial;
  EXPECT_EQ(run(partial, "\xEF\xBB{}", {1}), kStatusJsonParse);
  Recorder whole;
  EXPECT_EQ(run(whole, "\xEF\xBB\xBF{}", {1, 2}), kStatusDocumentComplete);
  EXPECT_EQ(whole.events, (std::vector<std::string>{"{", "}"}));
}

TEST_F(JsonParserTest, LongStringsArriveInPiecesNeverSplittingAPair) {
  Recorder r;
  KovaJsonParser* p = parser(r, kEncodingUtf8, 4);
  ASSERT_NE(p, nullptr);
  const std::string input = "{\"abcdefghij\":\"abcdefghij\",\"e\":\"abc\xF0\x9F\x98\x80x\"}";
  EXPECT_EQ(p->ops->parse(p, input.data(), int64_t(input.size()), 1), kStatusDocumentComplete);
  p->ops->destroyObject(p);
  const std::vector<std::string> expected = {
      "{",         "key abcdefghij",        "piece abcd", "piece efgh", "str ij", "key e",
      "piece abc", "str \xF0\x9F\x98\x80x", "}"};
  // The pair is kept whole: "abc" then the pair and "x" (4 units).
  EXPECT_EQ(r.events, expected);
}

TEST_F(JsonParserTest, ACallbackStatusStopsTheParseAndComesBack) {
  Recorder r;
  r.answer = kStatusNoMemory;
  r.answerAfter = 3;
  EXPECT_EQ(run(r, kStream, {}), kStatusNoMemory);
  EXPECT_EQ(r.events.size(), 3u);
  EXPECT_TRUE(diagnostics_.lines().empty());
}

TEST_F(JsonParserTest, BadAndUnfinishedInputIsReportedWithItsPlace) {
  Recorder bad;
  KovaJsonParser* p = parser(bad);
  ASSERT_NE(p, nullptr);
  const std::string first = "{\"a\":1}\n{\"b\":";
  const std::string second = "2,,}";
  EXPECT_EQ(p->ops->parse(p, first.data(), int64_t(first.size()), 0), kStatusOk);
  EXPECT_EQ(p->ops->parse(p, second.data(), int64_t(second.size()), 0), kStatusJsonParse);
  EXPECT_EQ(p->ops->parse(p, "{}", 2, 0), kStatusJsonParse);  // stays failed
  p->ops->destroyObject(p);
  ASSERT_EQ(diagnostics_.lines().size(), 1u);
  EXPECT_TRUE(diagnostics_.contains("JSON input: near byte 16 (line 2, column 9)", kLogError))
      << diagnostics_.lines()[0].utf8();

  // In UTF-16 the offset counts the input's bytes.
  diagnostics_.clear();
  std::string utf16;
  for (char c : std::string("{\"a\":\"\xE9\"}\n{x")) {
    utf16 += c;
    utf16 += '\0';
  }
  Recorder wide;
  EXPECT_EQ(run(wide, utf16, {5}, 21), kStatusJsonParse);
  EXPECT_TRUE(diagnostics_.contains("near byte 22 (line 2, column 2)", kLogError))
      << diagnostics_.lines()[0].utf8();

  // A stream that ends inside a value fails at its end.
  diagnostics_.clear();
  Recorder open;
  EXPECT_EQ(run(open, "{\"a\":1}\n{\"b\":[1,", {}), kStatusJsonParse);
  EXPECT_TRUE(diagnostics_.contains("near byte 16 (line 2, column 9)", kLogError))
      << diagnostics_.lines()[0].utf8();
}

}  // namespace
}  // namespace kova::runtime
