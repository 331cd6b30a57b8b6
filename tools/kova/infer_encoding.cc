#include "tools/kova/infer_encoding.h"

#include <cstring>

#include "tools/kova/byte_order_mark.h"

namespace kova::tool::infer {
namespace {

bool startsWith(std::string_view bytes, const char* prefix, size_t n) {
  return bytes.size() >= n && std::memcmp(bytes.data(), prefix, n) == 0;
}

EncodingGuess make(int32_t id, const char* name, int unit, bool bigEndian, size_t bom) {
  EncodingGuess g;
  g.id = id;
  g.name = name;
  g.unit = unit;
  g.bigEndian = bigEndian;
  g.bomLength = bom;
  return g;
}

// Length of the valid UTF-8 prefix (the whole text when all of it is valid).
size_t validUtf8Prefix(std::string_view s, bool* ascii) {
  *ascii = true;
  size_t i = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  while (i < s.size()) {
    unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    *ascii = false;
    size_t n = b >= 0xC2 && b <= 0xDF   ? 2
               : b >= 0xE0 && b <= 0xEF ? 3
               : b >= 0xF0 && b <= 0xF4 ? 4
                                        : 0;
    if (n == 0 || i + n > s.size()) return i;
    unsigned char second = p[i + 1];
    unsigned char low = 0x80, high = 0xBF;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;  // no surrogates
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
    if (second < low || second > high) return i;
    for (size_t k = 2; k < n; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return i;
    }
    i += n;
  }
  return i;
}

}  // namespace

EncodingGuess detectEncoding(std::string_view head, bool cutEnd) {
  static const struct {
    const char* mark;
    size_t length;
    int32_t id;
    const char* name;
    const char* shown;
  } kMarks[] = {{"\xEF\xBB\xBF", 3, 20, "UTF-8", "EF BB BF"},
                {"\xFF\xFE\0\0", 4, 23, "UTF-32LE", "FF FE 00 00"},
                {"\0\0\xFE\xFF", 4, 24, "UTF-32BE", "00 00 FE FF"},
                {"\xFF\xFE", 2, 21, "UTF-16LE", "FF FE"},
                {"\xFE\xFF", 2, 22, "UTF-16BE", "FE FF"}};
  for (const auto& m : kMarks) {
    if (!startsWith(head, m.mark, m.length)) continue;
    const int unit = m.id == 20 ? 1 : m.id <= 22 ? 2 : 4;
    EncodingGuess g = make(m.id, m.name, unit, m.id == 22 || m.id == 24, m.length);
    g.evidence.push_back(std::string("the byte-order mark ") + m.shown);
    return g;
  }
  // Zero bytes by position: text in 16- or 32-bit units has them in the
  // high bytes of most characters.
  std::string_view probe = head.substr(0, 1 << 16);
  size_t zeros[4] = {};
  for (size_t i = 0; i < probe.size(); ++i) zeros[i % 4] += probe[i] == '\0';
  const size_t quarter = probe.size() / 4;
  if (quarter >= 2) {
    auto most = [&](size_t n) { return n * 10 >= quarter * 9; };
    auto few = [&](size_t n) { return n * 20 <= quarter; };
    const std::string share = " of " + std::to_string(probe.size()) + " bytes";
    if (few(zeros[0]) && most(zeros[1]) && most(zeros[2]) && most(zeros[3])) {
      EncodingGuess g = make(23, "UTF-32LE", 4, false, 0);
      g.evidence.push_back("three zero bytes after each character byte" + share);
      return g;
    }
    if (most(zeros[0]) && most(zeros[1]) && most(zeros[2]) && few(zeros[3])) {
      EncodingGuess g = make(24, "UTF-32BE", 4, true, 0);
      g.evidence.push_back("three zero bytes before each character byte" + share);
      return g;
    }
    // 16-bit units: zeros at odd offsets (little-endian) or at even ones.
    const size_t odd = zeros[1] + zeros[3], even = zeros[0] + zeros[2], half = quarter * 2;
    for (bool big : {false, true}) {
      const size_t high = big ? even : odd, low = big ? odd : even;
      if (high * 10 < half * 4 || low * 20 > half) continue;
      EncodingGuess g = make(big ? 22 : 21, big ? "UTF-16BE" : "UTF-16LE", 2, big, 0);
      g.evidence.push_back("no byte-order mark; " + std::to_string(high) + " zero bytes at " +
                           (big ? "even" : "odd") + " offsets, " + std::to_string(low) + " at " +
                           (big ? "odd" : "even") + " ones" + share);
      return g;
    }
  }
  bool ascii = true;
  size_t valid = validUtf8Prefix(head, &ascii);
  if (valid == head.size() ||
      (cutEnd && head.size() - valid < 4 && static_cast<unsigned char>(head[valid]) >= 0xC2)) {
    EncodingGuess g = make(20, "UTF-8", 1, false, 0);
    g.evidence.push_back(ascii ? "every byte is ASCII" : "the sample is valid UTF-8");
    return g;
  }
  size_t controls = 0;
  for (unsigned char b : head) controls += b >= 0x80 && b <= 0x9F;
  const std::string where =
      "not UTF-8 (the first invalid byte at offset " + std::to_string(valid) + ")";
  if (controls) {
    EncodingGuess g = make(12, "windows-1252", 1, false, 0);
    g.evidence.push_back(where + "; " + std::to_string(controls) +
                         " bytes from 0x80 to 0x9F, which are letters and signs in windows-1252");
    return g;
  }
  EncodingGuess g = make(1, "ISO-8859-1", 1, false, 0);
  g.evidence.push_back(where + "; no byte from 0x80 to 0x9F");
  return g;
}

EncodingGuess forcedEncoding(int32_t id, const std::string& name, std::string_view head) {
  EncodingGuess g = make(id, name.c_str(), 1, false, 0);
  if (name.starts_with("UTF-16")) g.unit = 2;
  if (name.starts_with("UTF-32")) g.unit = 4;
  g.bigEndian = name.ends_with("BE");
  g.bomLength = byteOrderMarkLength(id, head);
  g.evidence.push_back("given with --encoding");
  return g;
}

size_t afterLineFeed(std::string_view bytes, size_t from, const EncodingGuess& e) {
  const size_t unit = size_t(e.unit);
  from = (from + unit - 1) / unit * unit;
  if (unit == 1) {
    size_t at = bytes.find('\n', from);
    return at == std::string_view::npos ? at : at + 1;
  }
  for (size_t i = from; i + unit <= bytes.size(); i += unit) {
    const size_t low = e.bigEndian ? i + unit - 1 : i;
    if (bytes[low] != '\n') continue;
    bool zeros = true;
    for (size_t k = 0; k < unit; ++k) zeros = zeros && (i + k == low || bytes[i + k] == '\0');
    if (zeros) return i + unit;
  }
  return std::string_view::npos;
}

size_t afterLastLineFeed(std::string_view bytes, const EncodingGuess& e) {
  if (e.unit == 1) {
    size_t at = bytes.rfind('\n');
    return at == std::string_view::npos ? at : at + 1;
  }
  size_t last = std::string_view::npos;
  for (size_t at = afterLineFeed(bytes, 0, e); at != std::string_view::npos;
       at = afterLineFeed(bytes, at, e)) {
    last = at;
  }
  return last;
}

}  // namespace kova::tool::infer
