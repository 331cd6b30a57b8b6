// The four small operations of the table-metadata object, reached through the
// extension's operation table: setFormats, addColumn, copyString and
// checkFormat. Every text and column they make lives in the instance pool.
#pragma once

#include <cstdint>

#include "kova/extension.h"

namespace kova {

// Derives inputFormat and outputFormat from fileType. 0 when fileType named a
// row of the file type table, 1 when the DELIMITED row was taken (an unset
// fileType then becomes "DELIMITED").
int32_t setFormats(KovaObject* object);

// Appends a zero-filled column and returns it; null when the pool is out of
// memory (nothing changes then). Columns never move.
KovaColumn* addColumn(KovaObject* object);

// A pool copy of length code units; null when text is null, length is not
// positive, or the pool has no memory.
const char16_t* copyString(KovaObject* object, const char16_t* text, int64_t length);

// 0 when the format engine knows the format (informat false) or informat
// (true) named by the NAMEw.d text, else kStatusNotSupported.
KovaStatus checkFormat(KovaObject* object, const char16_t* name, int64_t length, int32_t informat);

}  // namespace kova
