// The encoding registry: a fixed table ordered by id. Ids other than 20, 25
// and 62 are ours; docs/encodings.md lists the table for people.
#include <algorithm>
#include <bit>

#include "runtime/nls/nls_service.h"

namespace kova::runtime {
namespace {

// Encoding 25 is UTF-16 in the byte order of the machine we run on.
constexpr const char* kWideConverter =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

constexpr EncodingEntry kRegistry[] = {
    {1, "ISO-8859-1", "ISO-8859-1", "Latin-1, Western European, 8-bit", 1, true},
    {2, "ISO-8859-2", "ISO-8859-2", "Latin-2, Central European, 8-bit", 1, true},
    {3, "ISO-8859-5", "ISO-8859-5", "Latin/Cyrillic, 8-bit", 1, true},
    {4, "ISO-8859-7", "ISO-8859-7", "Latin/Greek, 8-bit", 1, true},
    {5, "ISO-8859-9", "ISO-8859-9", "Latin-5, Turkish, 8-bit", 1, true},
    {6, "ISO-8859-15", "ISO-8859-15", "Latin-9, Western European with the euro sign, 8-bit", 1,
     true},
    {10, "windows-1250", "windows-1250", "Windows Central European, 8-bit", 1, true},
    {11, "windows-1251", "windows-1251", "Windows Cyrillic, 8-bit", 1, true},
    {12, "windows-1252", "windows-1252", "Windows Western European, 8-bit", 1, true},
    {13, "windows-1253", "windows-1253", "Windows Greek, 8-bit", 1, true},
    {14, "windows-1254", "windows-1254", "Windows Turkish, 8-bit", 1, true},
    {20, "UTF-8", "UTF-8", "Unicode, 8-bit variable width", 4, true},
    {21, "UTF-16LE", "UTF-16LE", "Unicode, 16-bit units, little-endian", 4, false},
    {22, "UTF-16BE", "UTF-16BE", "Unicode, 16-bit units, big-endian", 4, false},
    {23, "UTF-32LE", "UTF-32LE", "Unicode, 32-bit units, little-endian", 4, false},
    {24, "UTF-32BE", "UTF-32BE", "Unicode, 32-bit units, big-endian", 4, false},
    {25, "UTF-16", kWideConverter,
     "Unicode, 16-bit units in the machine's byte order (internal text)", 4, false},
    {30, "KOI8-R", "KOI8-R", "Russian Cyrillic, 8-bit", 1, true},
    {40, "Shift_JIS", "Shift_JIS", "Japanese, Shift JIS, 1 or 2 bytes", 2, true},
    {41, "EUC-JP", "EUC-JP", "Japanese, Extended Unix Code, 1 to 3 bytes", 3, true},
    {42, "EUC-KR", "EUC-KR", "Korean, Extended Unix Code, 1 or 2 bytes", 2, true},
    {43, "GB18030", "GB18030", "Chinese, GB 18030, 1, 2 or 4 bytes", 4, true},
    {44, "Big5", "Big5", "Traditional Chinese, Big5, 1 or 2 bytes", 2, true},
    {50, "IBM037", "IBM037", "EBCDIC, US/Canada (code page 037)", 1, false},
    {51, "IBM1047", "IBM1047", "EBCDIC, Latin-1 open systems (code page 1047)", 1, false},
    {52, "IBM500", "IBM500", "EBCDIC, International (code page 500)", 1, false},
    {62, "US-ASCII", "US-ASCII", "ASCII, 7-bit (the module's narrow literals)", 1, true},
};

constexpr bool orderedById() {
  for (size_t i = 1; i < std::size(kRegistry); ++i) {
    if (kRegistry[i - 1].id >= kRegistry[i].id) return false;
  }
  return kRegistry[std::size(kRegistry) - 1].id < kEncodingLimit;
}
static_assert(orderedById(), "registry ids must increase and stay below kEncodingLimit");

}  // namespace

std::span<const EncodingEntry> encodingRegistry() { return kRegistry; }

const EncodingEntry* findEncoding(int32_t id) {
  if (id < 0 || id >= kEncodingLimit) return nullptr;
  auto it = std::lower_bound(std::begin(kRegistry), std::end(kRegistry), id,
                             [](const EncodingEntry& e, int32_t key) { return e.id < key; });
  return it != std::end(kRegistry) && it->id == id ? &*it : nullptr;
}

}  // namespace kova::runtime
