// The encoding registry, encodingInfo and needsTranscoding.
#include <set>
#include <string>

#include "tests/nls/nls_test_util.h"

namespace kova::runtime::nlstest {
namespace {

using RegistryTest = NlsTest;

TEST_F(RegistryTest, FixedIdentifiersMeanWhatTheModuleExpects) {
  ASSERT_NE(findEncoding(kEncodingUtf8), nullptr);
  EXPECT_STREQ(findEncoding(kEncodingUtf8)->name, "UTF-8");
  ASSERT_NE(findEncoding(kEncodingWide), nullptr);
  EXPECT_STREQ(findEncoding(kEncodingWide)->converter, "UTF-16LE")
      << "this machine is little-endian";
  ASSERT_NE(findEncoding(kEncodingLiteral), nullptr);
  EXPECT_STREQ(findEncoding(kEncodingLiteral)->name, "US-ASCII");
  for (const char* name :
       {"ISO-8859-1", "windows-1252", "ISO-8859-15", "UTF-16LE", "UTF-16BE", "UTF-32LE",
        "Shift_JIS", "EUC-JP", "GB18030", "Big5", "IBM037", "IBM1047"}) {
    bool found = false;
    for (const EncodingEntry& e : encodingRegistry()) found |= std::string(e.name) == name;
    EXPECT_TRUE(found) << name;
  }
}

TEST_F(RegistryTest, EntriesAreUniqueAndComplete) {
  std::set<int32_t> ids;
  std::set<std::string> names;
  for (const EncodingEntry& e : encodingRegistry()) {
    EXPECT_TRUE(ids.insert(e.id).second) << e.id;
    EXPECT_TRUE(names.insert(e.name).second) << e.name;
    EXPECT_GE(e.id, 0);
    EXPECT_LT(e.id, kEncodingLimit);
    EXPECT_GE(e.maxBytesPerChar, 1);
    EXPECT_LE(e.maxBytesPerChar, 4);
    EXPECT_GT(std::string(e.description).size(), 5u);
    EXPECT_EQ(findEncoding(e.id), &e);
  }
}

TEST_F(RegistryTest, IdentifiersOutsideTheRangeOrUnusedAreRefused) {
  for (int32_t id : {-1, -265, 265, 266, 1000, INT32_MIN, INT32_MAX, 0, 7, 264}) {
    EXPECT_EQ(findEncoding(id), nullptr) << id;
    KovaEncodingInfo info{};
    EXPECT_NE(ops().encodingInfo(nls(), id, &info), kStatusOk) << id;
    EXPECT_EQ(ops().createTranscoder(nls(), id, kEncodingUtf8, 0, nullptr), nullptr) << id;
    EXPECT_EQ(ops().createTranscoder(nls(), kEncodingUtf8, id, 0, nullptr), nullptr) << id;
    EXPECT_EQ(ops().createWideTranscoder(nls(), id, 0, nullptr), nullptr) << id;
    KovaEncodingHandle* handle = reinterpret_cast<KovaEncodingHandle*>(1);
    EXPECT_NE(ops().encodingHandle(nls(), id, 0, &handle), kStatusOk) << id;
    EXPECT_EQ(handle, nullptr);
    uint64_t length = 7;
    EXPECT_NE(ops().transcodedLength(nls(), id, "a", 1, kEncodingUtf8, &length), kStatusOk);
  }
}

TEST_F(RegistryTest, EncodingInfoGivesNameDescriptionAndWidth) {
  for (const EncodingEntry& e : encodingRegistry()) {
    KovaEncodingInfo info{};
    ASSERT_EQ(ops().encodingInfo(nls(), e.id, &info), kStatusOk);
    std::u16string name(info.name, size_t(info.nameLength));
    EXPECT_EQ(name, std::u16string(e.name, e.name + std::strlen(e.name)));
    EXPECT_EQ(info.descriptionLength, int64_t(std::strlen(e.description)));
    EXPECT_EQ(info.maxBytesPerChar, e.maxBytesPerChar);
  }
  KovaEncodingInfo info{};
  ASSERT_EQ(ops().encodingInfo(nls(), kEncodingUtf8, &info), kStatusOk);
  EXPECT_EQ(std::u16string(info.name, size_t(info.nameLength)), u"UTF-8");
  EXPECT_EQ(info.maxBytesPerChar, 4);
}

TEST_F(RegistryTest, NeedsTranscodingOnlyWhereTheBytesDiffer) {
  auto needs = [&](int32_t from, int32_t to) { return ops().needsTranscoding(nls(), from, to, 0); };
  EXPECT_EQ(needs(20, 20), 0);
  EXPECT_EQ(needs(62, 20), 0) << "ASCII text is UTF-8 text";
  EXPECT_EQ(needs(62, 1), 0);
  EXPECT_EQ(needs(62, 40), 0) << "ASCII bytes stand for themselves in Shift_JIS";
  EXPECT_NE(needs(20, 62), 0) << "UTF-8 may hold more than ASCII";
  EXPECT_NE(needs(62, 50), 0) << "EBCDIC";
  EXPECT_NE(needs(62, 25), 0);
  EXPECT_NE(needs(20, 25), 0);
  EXPECT_NE(needs(1, 12), 0);
  EXPECT_EQ(needs(25, 21), 0) << "the wide text is UTF-16LE here";
  EXPECT_NE(needs(25, 22), 0);
  EXPECT_NE(needs(20, 7), 0) << "unknown ids need a conversion nobody can make";
  EXPECT_NE(needs(-1, 20), 0);
  EXPECT_NE(needs(20, 300), 0);
  EXPECT_EQ(needs(300, 300), 0);

  host().setForceTranscoding(true);
  EXPECT_NE(needs(62, 20), 0);
  EXPECT_NE(needs(25, 21), 0);
  EXPECT_EQ(needs(20, 20), 0);
  host().setForceTranscoding(false);
  EXPECT_EQ(needs(62, 20), 0);
}

}  // namespace
}  // namespace kova::runtime::nlstest
