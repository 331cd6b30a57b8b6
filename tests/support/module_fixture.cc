#include "tests/support/module_fixture.h"

#include <cstdlib>

namespace kova::testing {

runtime::Module& loadedModule() {
  static std::unique_ptr<runtime::Module> module = [] {
    std::string error;
    const char* env = std::getenv("KOVA_MODULE");
    auto loaded = runtime::Module::load(&error, env && *env ? env : KOVA_MODULE_PATH);
    if (!loaded) {
      std::fprintf(stderr, "cannot load the module: %s\n", error.c_str());
      std::abort();
    }
    return loaded;
  }();
  return *module;
}

void ModuleTest::SetUp() {
  host_ = std::make_unique<runtime::Host>();
  extension_ = loadedModule().start(*host_, diagnostics_.get());
  ASSERT_NE(extension_, nullptr) << "zrekova failed";
}

void ModuleTest::TearDown() {
  for (KovaObject* object : instances_) object->destroy(object);
  instances_.clear();
  loadedModule().stop();
  extension_ = nullptr;
  runtime::Account account = host_->account();
  EXPECT_TRUE(account.empty()) << "leaked: pools " << account.pools << ", blocks " << account.blocks
                               << ", bytes " << account.bytes << ", cans " << account.cans
                               << ", objects " << account.objects;
  host_.reset();
}

KovaObject* ModuleTest::newInstance(const char* name, uint32_t flags) {
  KovaObject* object = extension_->createInstance(extension_, &flags, diagnostics_.get(), name);
  if (object) instances_.push_back(object);
  return object;
}

void ModuleTest::forget(KovaObject* object) { std::erase(instances_, object); }

void ModuleTest::setText(KovaObject* object, const char16_t** field, int64_t* length,
                         std::u16string_view text) {
  *field = extension_->copyString(object, text.data(), int64_t(text.size()));
  *length = *field ? int64_t(text.size()) : 0;
}

int forEachAllocationFailure(runtime::Host& host, const std::function<void(int nth)>& scenario,
                             bool persistent) {
  const runtime::Account before = host.account();
  int runs = 0;
  for (int nth = 1; nth < 1000000; ++nth) {
    host.failAllocation(uint64_t(nth), persistent);
    scenario(nth);
    bool fired = host.failureFired();
    host.clearFailure();
    ++runs;
    runtime::Account after = host.account();
    EXPECT_EQ(after.pools, before.pools) << "failing allocation " << nth;
    EXPECT_EQ(after.blocks, before.blocks) << "failing allocation " << nth;
    EXPECT_EQ(after.bytes, before.bytes) << "failing allocation " << nth;
    EXPECT_EQ(after.cans, before.cans) << "failing allocation " << nth;
    EXPECT_EQ(after.objects, before.objects) << "failing allocation " << nth;
    if (::testing::Test::HasFailure() || !fired) break;
  }
  return runs;
}

std::u16string u16(std::string_view utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    uint32_t cp = c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return out;
}

std::string u8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string utf16Bytes(std::string_view utf8, bool bigEndian) {
  std::string bytes;
  for (char16_t c : u16(utf8)) {
    const char high = char(c >> 8), low = char(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string latin1Bytes(std::string_view utf8) {
  std::string bytes;
  for (char16_t c : u16(utf8)) bytes += char(c);
  return bytes;
}

}  // namespace kova::testing
