// A fixture for the format engine's conversions: looks names up through the
// engine as the module does and runs them on texts and values.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kova/siblings.h"
#include "runtime/kernel/host.h"
#include "tests/siblings/sibling_test_util.h"

namespace kova::runtime {

constexpr uint64_t kMissingPattern = 0xFFFFD10000000000ull;

// Loops over every day or second of the span take a stride under the
// sanitizers, where each conversion costs a hundred times more.
#if defined(__SANITIZE_ADDRESS__)
constexpr int64_t kSpanStride = 17;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int64_t kSpanStride = 17;
#else
constexpr int64_t kSpanStride = 1;
#endif
#else
constexpr int64_t kSpanStride = 1;
#endif

inline bool isMissingValue(double value) { return std::bit_cast<uint64_t>(value) >> 48 == 0xFFFF; }

class FormatConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zrefmt");
    ASSERT_NE(handle_, nullptr);
    engine_ = handle_->ops->createEngine(handle_);
    ASSERT_NE(engine_, nullptr);
  }
  void TearDown() override {
    for (KovaFormatObject* object : objects_) object->release(object);
    handle_->ops->destroyEngine(engine_);
    handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  // A format or informat object, released with the fixture; width and
  // decimals as a column would set them.
  KovaFormatObject* object(std::string_view name, int32_t kind, int32_t width = 0,
                           int32_t decimals = 0) {
    std::u16string wide(name.begin(), name.end());
    KovaFormatObject* made = engine_->ops->lookup(
        engine_, wide.data(), static_cast<int64_t>(wide.size()), nullptr, kind, 0);
    EXPECT_NE(made, nullptr) << name;
    if (!made) return nullptr;
    made->width = width;
    made->decimals = decimals;
    objects_.push_back(made);
    return made;
  }

  struct Reading {
    KovaStatus status;
    double value;
    int64_t length;
    bool ok() const { return status == kStatusOk && length == 8; }
  };

  // Runs an informat on text the way the field converters do: width and
  // input length are the text's length.
  Reading readWith(KovaFormatObject* informat, std::u16string_view text) {
    informat->width = static_cast<int32_t>(text.size());
    informat->input = text.data();
    informat->inputLength = static_cast<int64_t>(text.size());
    double value = 12345.0;  // anything but what the informat should write
    informat->output = &value;
    informat->outputCapacity = 8;
    informat->outputLength = -1;
    const KovaStatus status = informat->run(informat, 0);
    return {status, value, informat->outputLength};
  }

  Reading read(std::string_view name, std::string_view text, int32_t decimals = 0) {
    KovaFormatObject* informat = object(name, kFormatLookupInformat, 0, decimals);
    std::u16string wide(text.begin(), text.end());
    return readWith(informat, wide);
  }

  // The value an informat gives for text; fails the test when it refuses.
  double value(std::string_view name, std::string_view text, int32_t decimals = 0) {
    const Reading r = read(name, text, decimals);
    EXPECT_TRUE(r.ok()) << name << " refused \"" << text << "\"";
    return r.value;
  }

  // True when the informat refuses text the documented way: a nonzero
  // status, no length, and the missing value stored all the same.
  bool refuses(std::string_view name, std::string_view text) {
    const Reading r = read(name, text);
    return r.status != kStatusOk && r.length == 0 &&
           std::bit_cast<uint64_t>(r.value) == kMissingPattern;
  }

  // Runs a format on value with the output capacity equal to the width (as
  // the burner does); the text as ASCII.
  std::string writeWith(KovaFormatObject* format, double v, int64_t capacity) {
    buffer_.assign(static_cast<size_t>(capacity > 0 ? capacity : 1) + 8, u'#');
    format->input = &v;
    format->output = buffer_.data();
    format->outputCapacity = capacity;
    format->outputLength = -1;
    lastStatus_ = format->run(format, 0);
    EXPECT_LE(format->outputLength, capacity);
    EXPECT_EQ(buffer_[static_cast<size_t>(capacity > 0 ? capacity : 0)], u'#') << "wrote past";
    std::string text;
    for (int64_t i = 0; i < format->outputLength; ++i) {
      text += static_cast<char>(buffer_[static_cast<size_t>(i)]);
    }
    return text;
  }

  std::string write(std::string_view name, double v, int32_t width = 0, int32_t decimals = 0) {
    KovaFormatObject* format = object(name, kFormatLookupFormat, width, decimals);
    return writeWith(format, v, width > 0 ? width : 64);
  }

  Host host_;
  KovaExtensionHandle* handle_ = nullptr;
  KovaFormatEngine* engine_ = nullptr;
  std::vector<KovaFormatObject*> objects_;
  std::u16string buffer_;
  KovaStatus lastStatus_ = kStatusOk;
};

}  // namespace kova::runtime
