// Transcoders: round trips through every registered encoding, known bytes,
// all-or-nothing targets, replacement of bad input, fast paths against ICU,
// transcodedLength, release through a resource can, allocation failure.
#include <unicode/ucnv.h>

#include <random>

#include "runtime/nls/transcoder.h"
#include "tests/nls/nls_test_util.h"
#include "tests/support/module_fixture.h"

namespace kova::runtime::nlstest {
namespace {

using TranscoderTest = NlsTest;

// Code points from many scripts; each encoding keeps those ICU maps both ways.
std::u16string candidateText() {
  std::u16string text;
  auto add = [&](char32_t first, char32_t last) {
    for (char32_t c = first; c <= last; ++c) {
      if (c < 0x10000) {
        text.push_back(char16_t(c));
      } else {
        text.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
        text.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
      }
    }
  };
  add(0x09, 0x0A);
  add(0x20, 0x7E);
  add(0xA0, 0x17F);   // Latin-1 supplement, Latin Extended-A
  add(0x391, 0x3C9);  // Greek
  add(0x410, 0x44F);  // Cyrillic
  add(0x20AC, 0x20AC);
  add(0x3041, 0x3093);  // Hiragana
  add(0x4E00, 0x4E40);  // CJK
  add(0x65E5, 0x65E5);
  add(0xAC00, 0xAC20);  // Hangul
  add(0x1F600, 0x1F603);
  return text;
}

// The characters of candidateText that encoding represents, by ICU.
std::u16string representable(const EncodingEntry& e) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* c = ucnv_open(e.converter, &error);
  EXPECT_TRUE(U_SUCCESS(error)) << e.name;
  ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  std::u16string all = candidateText(), kept;
  for (size_t i = 0; i < all.size(); ++i) {
    size_t n = (all[i] >= 0xD800 && all[i] < 0xDC00) ? 2 : 1;
    char out[16];
    UChar back[4];
    error = U_ZERO_ERROR;
    int32_t len = ucnv_fromUChars(c, out, 16, all.data() + i, int32_t(n), &error);
    int32_t backLen = U_SUCCESS(error) ? ucnv_toUChars(c, back, 4, out, len, &error) : 0;
    if (U_SUCCESS(error) && backLen == int32_t(n) && std::u16string(back, n) == all.substr(i, n)) {
      kept += all.substr(i, n);
    }
    i += n - 1;
  }
  ucnv_close(c);
  return kept;
}

TEST_F(TranscoderTest, EveryEncodingRoundTripsTheTextItCanHold) {
  for (const EncodingEntry& e : encodingRegistry()) {
    SCOPED_TRACE(e.name);
    std::u16string text = representable(e);
    EXPECT_GE(text.size(), 95u);
    Bytes wide = wideBytes(text);
    Converted there = transcode(kEncodingWide, e.id, wide);
    ASSERT_EQ(there.status, kStatusOk);
    EXPECT_EQ(transcodedLength(kEncodingWide, e.id, wide), there.text.size());
    Converted back = transcode(e.id, kEncodingWide, there.text);
    ASSERT_EQ(back.status, kStatusOk);
    EXPECT_EQ(back.text, wide);

    Converted utf8 = transcode(kEncodingWide, kEncodingUtf8, wide);
    Converted fromUtf8 = transcode(kEncodingUtf8, e.id, utf8.text);
    EXPECT_EQ(fromUtf8.status, kStatusOk);
    EXPECT_EQ(fromUtf8.text, there.text);
    Converted toUtf8 = transcode(e.id, kEncodingUtf8, there.text);
    EXPECT_EQ(toUtf8.text, utf8.text);
    EXPECT_EQ(transcodedLength(e.id, kEncodingUtf8, there.text), utf8.text.size());

    // The wide transcoder is the one from encoding 25.
    KovaTranscoder* t = ops().createWideTranscoder(nls(), e.id, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(run(t, wide).text, there.text);
    t->ops->destroyTranscoder(t);
  }
}

TEST_F(TranscoderTest, KnownBytesOfSomeEncodings) {
  Bytes hello = bytes("Hi");
  EXPECT_EQ(transcode(20, 50, hello).text, bytes({0xC8, 0x89}));  // EBCDIC 037
  EXPECT_EQ(transcode(20, 50, bytes("[")).text, bytes({0xBA}));
  EXPECT_EQ(transcode(20, 51, bytes("[")).text, bytes({0xAD}));  // 1047 differs from 037 here
  EXPECT_EQ(transcode(20, 22, hello).text, bytes({0, 'H', 0, 'i'}));
  EXPECT_EQ(transcode(20, 21, hello).text, bytes({'H', 0, 'i', 0}));
  EXPECT_EQ(transcode(20, 23, hello).text, bytes({'H', 0, 0, 0, 'i', 0, 0, 0}));
  EXPECT_EQ(transcode(20, 24, hello).text, bytes({0, 0, 0, 'H', 0, 0, 0, 'i'}));
  Bytes e = bytes("\xC3\xA9");  // é
  EXPECT_EQ(transcode(20, 1, e).text, bytes({0xE9}));
  EXPECT_EQ(transcode(20, 12, e).text, bytes({0xE9}));
  EXPECT_EQ(transcode(20, 12, bytes("\xE2\x82\xAC")).text, bytes({0x80}));  // € in windows-1252
  EXPECT_EQ(transcode(20, 6, bytes("\xE2\x82\xAC")).text, bytes({0xA4}));   // € in ISO-8859-15
  Bytes nihon = bytes("\xE6\x97\xA5\xE6\x9C\xAC");                          // 日本
  EXPECT_EQ(transcode(20, 40, nihon).text, bytes({0x93, 0xFA, 0x96, 0x7B}));
  EXPECT_EQ(transcode(20, 41, nihon).text, bytes({0xC6, 0xFC, 0xCB, 0xDC}));
  Bytes zhong = bytes("\xE4\xB8\xAD");  // 中
  EXPECT_EQ(transcode(20, 43, zhong).text, bytes({0xD6, 0xD0}));
  EXPECT_EQ(transcode(20, 44, zhong).text, bytes({0xA4, 0xA4}));
  EXPECT_EQ(transcode(40, 20, bytes({0x93, 0xFA, 0x41})).text, bytes("\xE6\x97\xA5"
                                                                     "A"));
  EXPECT_EQ(transcode(20, 20, bytes("")).text, Bytes{});
}

TEST_F(TranscoderTest, TooSmallTargetIsAllOrNothing) {
  struct Case {
    int32_t from, to;
    Bytes source;
    size_t needed;
  };
  const Case cases[] = {
      {20, 1, bytes("h\xC3\xA9llo"), 5},               // fast path
      {20, 25, bytes("h\xC3\xA9llo"), 10},             // fast path
      {1, 20, bytes("h\xE9llo"), 6},                   // fast path
      {20, 40, bytes("\xE6\x97\xA5\xE6\x9C\xAC"), 4},  // ICU
      {20, 50, bytes("hello"), 5},                     // ICU, single byte
      {25, 43, wideBytes(u"ab\u4E2D"), 4},             // ICU
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to);
    EXPECT_EQ(transcodedLength(c.from, c.to, c.source), c.needed);
    for (size_t capacity = 0; capacity < c.needed; ++capacity) {
      Converted r = transcode(c.from, c.to, c.source, capacity);
      EXPECT_EQ(r.status, kStatusTargetTooSmall) << capacity;
      EXPECT_TRUE(r.text.empty()) << "written stays 0";
    }
    Converted exact = transcode(c.from, c.to, c.source, c.needed);
    EXPECT_EQ(exact.status, kStatusOk);
    EXPECT_EQ(exact.text.size(), c.needed);
  }
  // A transcoder stays usable after a refusal.
  KovaTranscoder* t = ops().createTranscoder(nls(), 20, 40, 0, nullptr);
  EXPECT_EQ(run(t, bytes("\xE6\x97\xA5"), 1).status, kStatusTargetTooSmall);
  EXPECT_EQ(run(t, bytes("\xE6\x97\xA5"), 2).text, bytes({0x93, 0xFA}));
  t->ops->destroyTranscoder(t);
}

TEST_F(TranscoderTest, BadInputIsReplacedAndReported) {
  // Ill-formed UTF-8: each maximal bad subsequence becomes one U+FFFD.
  Converted r = transcode(20, 25,
                          bytes("a\xFF"
                                "b\xE6\x97"
                                "c\xED\xA0\x80"));
  EXPECT_EQ(r.status, kStatusTranscodeWarning);
  EXPECT_EQ(r.text, wideBytes(u"a\uFFFDb\uFFFDc\uFFFD\uFFFD\uFFFD"));
  // A character the target lacks becomes the target's substitute.
  r = transcode(20, 1, bytes("\xE2\x82\xAC!"));
  EXPECT_EQ(r.status, kStatusTranscodeWarning);
  EXPECT_EQ(r.text, bytes({0x1A, '!'}));
  r = transcode(20, 50, bytes("\xE4\xB8\xAD!"));
  EXPECT_EQ(r.status, kStatusTranscodeWarning);
  EXPECT_EQ(r.text, bytes({0x3F, 0x5A}));
  // An unpaired surrogate in the wide text.
  r = transcode(25, 20, wideBytes(std::u16string(u"x") + char16_t(0xD800) + u"y"));
  EXPECT_EQ(r.status, kStatusTranscodeWarning);
  EXPECT_EQ(r.text, bytes("x\xEF\xBF\xBDy"));
  // Bytes that are no Shift_JIS character.
  r = transcode(40, 20, bytes({'a', 0x81}));
  EXPECT_EQ(r.status, kStatusTranscodeWarning);
  EXPECT_EQ(r.text.front(), 'a');
  // Valid text is no warning.
  EXPECT_EQ(transcode(20, 25, bytes("\xF0\x9F\x98\x80")).status, kStatusOk);
}

// The fast paths must give exactly what ICU gives, replacements included.
TEST_F(TranscoderTest, FastPathsMatchIcuOnArbitraryBytes) {
  const int32_t fast[] = {20, 21, 22, 23, 24, 1, 62};
  const uint8_t palette[] = {0x00, 0x20, 0x41, 0x7F, 0x80, 0x8F, 0x9F, 0xA0, 0xBF,
                             0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE6, 0xED, 0xEF, 0xF0,
                             0xF4, 0xF5, 0xFF, 0xD8, 0xDC, 0x10, 0x11, 0x01};
  std::mt19937 random(20240229);
  for (int32_t from : fast) {
    for (int32_t to : fast) {
      KovaTranscoder* quick =
          runtime::createTranscoder(host(), *findEncoding(from), *findEncoding(to));
      KovaTranscoder* icu =
          runtime::createTranscoder(host(), *findEncoding(from), *findEncoding(to), true);
      ASSERT_TRUE(quick && icu);
      for (int round = 0; round < 400; ++round) {
        Bytes source(random() % 24);
        for (uint8_t& b : source) b = palette[random() % std::size(palette)];
        Converted a = run(quick, source), b = run(icu, source);
        ASSERT_EQ(a.text, b.text) << from << " -> " << to << " from "
                                  << ::testing::PrintToString(source);
        ASSERT_EQ(a.status, b.status) << from << " -> " << to << " round " << round;
        ASSERT_EQ(transcodedLength(from, to, source), a.text.size());
      }
      quick->ops->destroyTranscoder(quick);
      icu->ops->destroyTranscoder(icu);
    }
  }
}

TEST_F(TranscoderTest, LongTextsGoThroughWhole) {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "z\xE3\x82\xA2\xE6\x97\xA5 ";  // z, katakana a, sun, blank
  Bytes source = bytes(text);
  Converted sjis = transcode(20, 40, source, source.size() * 2);
  ASSERT_EQ(sjis.status, kStatusOk);
  EXPECT_EQ(sjis.text.size(), 20000u * 6);
  EXPECT_EQ(transcodedLength(20, 40, source), sjis.text.size());
  Converted back = transcode(40, 20, sjis.text, source.size());
  EXPECT_EQ(back.status, kStatusOk);
  EXPECT_EQ(back.text, source);
}

TEST_F(TranscoderTest, CanReleasesTranscodersAndHandles) {
  KovaKernel* kernel = host().kernel();
  KovaCanOptions options{};
  options.kind = 3;
  options.mode = 2;
  KovaCan* can = kernel->ops->createResourceCan(kernel, &options, nullptr, "riprcan");
  ASSERT_NE(can, nullptr);
  ASSERT_EQ(can->ops->canSetReleaser(can, kCanKindHost, kCanReleaseSelf), kStatusOk);
  KovaTranscoder* t = ops().createTranscoder(nls(), 20, 40, 0, nullptr);
  KovaTranscoder* fast = ops().createTranscoder(nls(), 20, 25, 0, nullptr);
  KovaEncodingHandle* h = nullptr;
  ASSERT_EQ(ops().encodingHandle(nls(), 50, 0, &h), kStatusOk);
  EXPECT_EQ(host().account().objects, 3u);
  for (void* object : {static_cast<void*>(t), static_cast<void*>(fast), static_cast<void*>(h)}) {
    ASSERT_EQ(can->ops->canAdd(can, 0, kCanKindHost, object, 0, 0, 0, 0), kStatusOk);
  }
  can->ops->destroyCan(can);
  EXPECT_TRUE(host().account().empty());
}

TEST_F(TranscoderTest, RefusedAllocationsGiveNullOrNoMemory) {
  int runs = kova::testing::forEachAllocationFailure(host(), [&](int) {
    KovaTranscoder* t = ops().createTranscoder(nls(), 20, 43, 0, nullptr);
    KovaTranscoder* w = ops().createWideTranscoder(nls(), 20, 0, nullptr);
    KovaEncodingHandle* h = nullptr;
    KovaStatus status = ops().encodingHandle(nls(), 22, 0, &h);
    EXPECT_EQ(status == kStatusOk, h != nullptr);
    if (status != kStatusOk) {
      EXPECT_EQ(status, kStatusNoMemory);
    }
    if (t) t->ops->destroyTranscoder(t);
    if (w) w->ops->destroyTranscoder(w);
    if (h) h->ops->release(h);
  });
  EXPECT_EQ(runs, 4);
  host().failAllocation(1);
  EXPECT_EQ(ops().createTranscoder(nls(), 20, 1, 0, nullptr), nullptr);
  EXPECT_TRUE(host().failureFired());
  host().clearFailure();
}

}  // namespace
}  // namespace kova::runtime::nlstest
