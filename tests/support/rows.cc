#include "tests/support/rows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

namespace kova::testing {
namespace {

int64_t readIndicator(const uint8_t* at, uint32_t code) {
  switch (code & kIndicatorWidthMask) {
    case 1:
      return int8_t(*at);
    case 2: {
      int16_t v;
      std::memcpy(&v, at, 2);
      return v;
    }
    case 4: {
      int32_t v;
      std::memcpy(&v, at, 4);
      return v;
    }
    case 0: {
      int64_t v;
      std::memcpy(&v, at, 8);
      return v;
    }
    default:
      return INT64_MIN;
  }
}

std::string number(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  if ((bits >> 48) == 0xFFFF) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "MISSING%016llx", (unsigned long long)bits);
    return bits == 0xFFFFD10000000000ull ? "MISSING" : buffer;
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", d);
  return buffer;
}

std::string quoted(const uint8_t* p, size_t n) {
  std::string out = "\"";
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = p[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string hex(const uint8_t* p, size_t n) {
  std::string out = "0x";
  char buffer[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", p[i]);
    out += buffer;
  }
  return out;
}

std::string typedValue(const KovaLayoutEntry& e, const uint8_t* value, int64_t indicator) {
  size_t n = (e.indicatorWidth & kIndicatorWidthMask) == kIndicatorNone
                 ? size_t(e.octetLength)
                 : size_t(std::min<int64_t>(indicator, int64_t(e.octetLength)));
  switch (e.storageType) {
    case kStorageChar:
      return quoted(value, n);
    case kStorageDouble: {
      double d;
      std::memcpy(&d, value, 8);
      return number(d);
    }
    case kStorageInt64: {
      int64_t v;
      std::memcpy(&v, value, 8);
      return std::to_string(v);
    }
    case kStorageInt32: {
      int32_t v;
      std::memcpy(&v, value, 4);
      return std::to_string(v);
    }
    case kStorageInt16: {
      int16_t v;
      std::memcpy(&v, value, 2);
      return std::to_string(v);
    }
    case kStorageInt8:
      return std::to_string(int8_t(*value));
    default:
      return hex(value, n);
  }
}

}  // namespace

std::string quotedText(std::string_view text) {
  return quoted(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string renderRow(const KovaRipper* ripper, const uint8_t* row) {
  std::string out;
  for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
    if (i) out += '|';
    if (ripper->rowImage) {
      const KovaRowImageEntry& e = ripper->imageLayout[i];
      if (e.length == kRowImageNumber) {
        double d;
        std::memcpy(&d, row + e.offset, 8);
        out += number(d);
      } else {
        out += quoted(row + e.offset, size_t(e.length));
      }
      continue;
    }
    const KovaLayoutEntry& e = ripper->typedLayout[i];
    int64_t indicator = readIndicator(row + e.indicatorOffset, e.indicatorWidth);
    if (indicator == -1) {
      out += "NULL";
    } else if (indicator == -88) {
      out += "NULL-88";
    } else if (indicator < 0 && indicator != INT64_MIN) {
      out += "IND" + std::to_string(indicator);
    } else {
      out += typedValue(e, row + e.dataOffset, indicator == INT64_MIN ? 0 : indicator);
    }
  }
  return out;
}

std::vector<std::string> ripBlocks(KovaRipper* ripper,
                                   const std::vector<std::string_view>& blocks) {
  std::vector<std::string> rows;
  auto collect = [&](KovaStatus status, uint8_t* block, int32_t count) {
    for (int32_t r = 0; status == kStatusOk && r < count; ++r) {
      rows.push_back(renderRow(ripper, block + uint64_t(r) * ripper->rowLength));
    }
    if (status != kStatusOk) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "status 0x%08x", status);
      rows.push_back(buffer);
    }
    return status == kStatusOk;
  };
  for (std::string_view block : blocks) {
    uint8_t* out = nullptr;
    int32_t count = 0;
    KovaStatus status = ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(block.data()),
                                             int64_t(block.size()), &out, &count);
    if (!collect(status, out, count)) return rows;
  }
  uint8_t* out = nullptr;
  int32_t count = 0;
  KovaStatus status = ripper->ops.flushPending(ripper, &out, &count);
  collect(status, out, count);
  return rows;
}

std::vector<std::string> splitEverywhere(std::string_view input, const RipFunction& rip,
                                         int randomPartitions, uint32_t seed,
                                         const std::vector<size_t>* cuts) {
  const std::vector<std::string> whole = rip({input});
  auto describe = [](const std::vector<size_t>& at) {
    std::ostringstream s;
    for (size_t c : at) s << c << ' ';
    return s.str();
  };
  auto check = [&](const std::vector<size_t>& at) {
    std::vector<std::string_view> blocks;
    size_t start = 0;
    for (size_t c : at) {
      blocks.push_back(input.substr(start, c - start));
      start = c;
    }
    blocks.push_back(input.substr(start));
    std::vector<std::string> rows = rip(blocks);
    EXPECT_EQ(rows, whole) << "cut at: " << describe(at);
    return rows == whole;
  };
  std::vector<size_t> points;
  if (cuts) {
    points = *cuts;
  } else {
    for (size_t c = 1; c < input.size(); ++c) points.push_back(c);
  }
  for (size_t c : points) {
    if (!check({c})) return whole;
  }
  std::mt19937 random(seed);
  for (int p = 0; p < randomPartitions && !points.empty(); ++p) {
    std::vector<size_t> at;
    if (cuts) {
      for (size_t c : points) {
        if (random() % 2) at.push_back(c);
      }
    } else {
      size_t maxBlock = 1 + random() % 16;
      for (size_t c = 1 + random() % maxBlock; c < input.size(); c += 1 + random() % maxBlock) {
        at.push_back(c);
      }
    }
    if (!check(at)) return whole;
  }
  return whole;
}

BlockRip ripInBlocksOf(KovaRipper* ripper, std::string_view input, size_t size) {
  std::vector<std::string_view> blocks;
  for (size_t at = 0; at < input.size(); at += size) blocks.push_back(input.substr(at, size));
  BlockRip result;
  result.rows = ripBlocks(ripper, blocks);
  result.truncations = ripper->truncations;
  result.fragmentCapacity = ripper->fragmentCapacity;
  return result;
}

}  // namespace kova::testing
