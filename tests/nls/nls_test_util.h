// Helpers shared by the NLS tests: a Host with its NLS service and short
// ways to call the service's operations on byte vectors.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kova/host.h"
#include "runtime/kernel/host.h"
#include "runtime/nls/nls_service.h"

namespace kova::runtime::nlstest {

using Bytes = std::vector<uint8_t>;

inline Bytes bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes bytes(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

inline Bytes wideBytes(std::u16string_view text) {
  Bytes out(text.size() * 2);
  std::memcpy(out.data(), text.data(), out.size());
  return out;
}

class NlsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_TRUE(host_.account().empty()) << "a host object was not released";
  }

  Host& host() { return host_; }
  KovaNls* nls() { return host_.kernel()->nls; }
  const KovaNlsOps& ops() { return *nls()->ops; }

  struct Converted {
    KovaStatus status;
    Bytes text;
  };

  // Converts through a fresh transcoder with a target of capacity bytes
  // (default: plenty).
  Converted transcode(int32_t from, int32_t to, const Bytes& source,
                      uint64_t capacity = UINT64_MAX) {
    KovaTranscoder* t = ops().createTranscoder(nls(), from, to, 0, nullptr);
    EXPECT_NE(t, nullptr) << from << " -> " << to;
    if (!t) return {kStatusNoMemory, {}};
    Converted result = run(t, source, capacity);
    t->ops->destroyTranscoder(t);
    return result;
  }

  static Converted run(KovaTranscoder* t, const Bytes& source, uint64_t capacity = UINT64_MAX) {
    if (capacity == UINT64_MAX) capacity = source.size() * 4 + 16;
    Bytes target(capacity + 1, 0xEE);
    uint64_t written = 99;
    KovaStatus status =
        t->ops->transcode(t, source.data(), source.size(), target.data(), capacity, &written, 0);
    EXPECT_LE(written, capacity);
    EXPECT_EQ(target[capacity], 0xEE) << "wrote past the capacity";
    target.resize(written);
    return {status, target};
  }

  uint64_t transcodedLength(int32_t from, int32_t to, const Bytes& source) {
    uint64_t length = 0;
    EXPECT_EQ(ops().transcodedLength(nls(), from, source.data(), source.size(), to, &length),
              kStatusOk);
    return length;
  }

 private:
  Host host_;
};

}  // namespace kova::runtime::nlstest
