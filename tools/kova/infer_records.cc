#include "tools/kova/infer_records.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kova::tool::infer {

RecordSplitter::RecordSplitter(uint8_t separator, uint8_t qualifier)
    : separator_(separator), qualifier_(qualifier) {
  isTerminator_[uint8_t('\r')] = true;
  isTerminator_[uint8_t('\n')] = true;
  if (separator) isTerminator_[separator] = true;
}

size_t RecordSplitter::findTerminator(std::string_view text, size_t from) const {
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  size_t i = from;
#if defined(__SSE2__)
  // Sixteen bytes at a time: the separator, CR and LF.
  const __m128i separator = _mm_set1_epi8(char(separator_ ? separator_ : '\n'));
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hits =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, separator),
                     _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    if (int mask = _mm_movemask_epi8(hits)) return i + size_t(__builtin_ctz(unsigned(mask)));
  }
#endif
  for (; i < text.size(); ++i) {
    if (isTerminator_[p[i]]) return i;
  }
  return std::string_view::npos;
}

size_t RecordSplitter::record(std::string_view text, size_t at, bool final) {
  fields_.clear();
  size_t ownedUsed = 0;
  qualified_ = false;
  size_t p = at;
  for (;;) {
    size_t end;  // the terminator's offset, or text.size() at the end of a final text
    if (qualifier_ && p < text.size() && uint8_t(text[p]) == qualifier_) {
      if (fields_.empty()) qualified_ = true;
      ++qualifiedFields_;
      // Find the closing qualifier; doubled ones stand for one.
      size_t q = p + 1;
      size_t close = std::string_view::npos;
      bool doubled = false;
      for (;;) {
        const void* hit = std::memchr(text.data() + q, qualifier_, text.size() - q);
        if (!hit) break;
        size_t found = size_t(static_cast<const char*>(hit) - text.data());
        if (found + 1 < text.size() && uint8_t(text[found + 1]) == qualifier_) {
          doubled = true;
          q = found + 2;
          continue;
        }
        if (found + 1 == text.size() && !final) return kIncomplete;  // may be doubled
        close = found;
        break;
      }
      if (close == std::string_view::npos) {
        if (!final) return kIncomplete;
        close = text.size();  // an unclosed field takes the rest
      }
      end = close >= text.size() ? text.size() : findTerminator(text, close + 1);
      if (end == std::string_view::npos) {
        if (!final) return kIncomplete;
        end = text.size();
      }
      std::string_view inner = text.substr(p + 1, close - p - 1);
      std::string_view after =
          close < text.size() ? text.substr(close + 1, end - close - 1) : std::string_view();
      if (!doubled && after.empty()) {
        fields_.push_back(inner);
      } else {
        if (ownedUsed == owned_.size()) owned_.emplace_back();
        std::string& value = owned_[ownedUsed++];
        value.clear();
        for (size_t k = 0; k < inner.size(); ++k) {
          value += inner[k];
          if (uint8_t(inner[k]) == qualifier_) ++k;  // the second of a pair
        }
        value += after;
        fields_.push_back(value);
      }
    } else {
      end = findTerminator(text, p);
      if (end == std::string_view::npos) {
        if (!final) return kIncomplete;
        end = text.size();
      }
      fields_.push_back(text.substr(p, end - p));
    }
    if (end >= text.size()) return text.size();
    const char t = text[end];
    if (uint8_t(t) == separator_ && t != '\r' && t != '\n') {
      p = end + 1;
      if (p == text.size()) {
        if (!final) return kIncomplete;
        fields_.emplace_back();
        return p;
      }
      continue;
    }
    if (t == '\r') {
      if (end + 1 < text.size() && text[end + 1] == '\n') {
        ++crlf_;
        return end + 2;
      }
      if (end + 1 == text.size() && !final) return kIncomplete;
      ++cr_;
      return end + 1;
    }
    ++lf_;
    return end + 1;
  }
}

}  // namespace kova::tool::infer
