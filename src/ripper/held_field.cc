#include "src/ripper/held_field.h"

namespace kova {

namespace {

// Bytes of slack past the cut: a character split by the limit and a
// closing qualifier removed from the end leave the cut value untouched.
constexpr uint64_t kSlack = 64;
// Bytes a character may take in the fragment, as the cut judges it.
constexpr uint64_t kMaxCharacterBytes = 6;

}  // namespace

uint64_t heldFieldLimit(const KovaRipper* ripper) {
  const KovaObject* table = ripper->table;
  if (table->recfm != kRecfmDelimited && table->recfm != kRecfmNative) return UINT64_MAX;
  if (ripper->headerLinesLeft > 0) return UINT64_MAX;
  return heldColumnLimit(ripper, ripper->fieldIndex);
}

uint64_t heldColumnLimit(const KovaRipper* ripper, uint64_t column) {
  if (ripper->rowImage || !ripper->columns) return UINT64_MAX;
  // A field beyond the last column keeps its first bytes: a held byte is what
  // tells the next block that a field is pending, and a qualified one needs
  // more than its qualifiers to tell whether it holds text (a field beyond
  // the last column is a loss only when it does, whatever the block size).
  if (ripper->table->columnCount <= 0 || column >= uint64_t(ripper->table->columnCount)) {
    return 2 * kSlack;
  }
  const KovaColumnState& state = ripper->columns[column];
  const KovaLayoutEntry* entry = state.typedEntry;
  if (!entry || entry->storageType != kStorageChar) return UINT64_MAX;
  // A column without a character length may go through its informat, which
  // sees the whole text.
  if (state.charLength == 0 && state.formatObject) return UINT64_MAX;
  uint64_t characters = 0;
  uint64_t bytes = 0;
  if (__builtin_mul_overflow(state.charLength, kMaxCharacterBytes, &characters)) {
    return UINT64_MAX;
  }
  const uint64_t cut = characters > entry->octetLength ? characters : entry->octetLength;
  // Doubled qualifiers take two bytes for one.
  if (__builtin_add_overflow(cut, kSlack, &bytes) || __builtin_mul_overflow(bytes, 2, &bytes)) {
    return UINT64_MAX;
  }
  return bytes;
}

}  // namespace kova
