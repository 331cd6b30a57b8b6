/* The layout list (layouts.inc) seen by one compiler: every kova header,
 * macros that assert each line at compile time, and rows that record what
 * the compiler measured beside what the list says. Included by a C and a
 * C++ source, so that both languages check the same list. */
#ifndef KOVA_TESTS_ABI_LAYOUT_ROWS_H
#define KOVA_TESTS_ABI_LAYOUT_ROWS_H

#include <stddef.h>

#include "kova/decimal.h"
#include "kova/extension.h"
#include "kova/host.h"
#include "kova/metadata.h"
#include "kova/ripper.h"
#include "kova/siblings.h"
#include "kova/status.h"

#ifdef __cplusplus
#define KOVA_ABI_STATIC_ASSERT(condition, what) static_assert(condition, what)
extern "C" {
#else
#define KOVA_ABI_STATIC_ASSERT(condition, what) _Static_assert(condition, what)
#endif

/* One line of the list: a structure (member null; width is its size) or a
 * member, with the offset and width the compiler gave and those listed. */
typedef struct KovaAbiRow {
  const char* structure;
  const char* member;
  size_t offset;
  size_t width;
  size_t listedOffset;
  size_t listedWidth;
} KovaAbiRow;

/* The rows as the C compiler measured them (layout_c.c). */
extern const KovaAbiRow kovaAbiRowsC[];
extern const size_t kovaAbiRowCountC;
/* __STDC_VERSION__ of the C compiler that measured them. */
extern const long kovaAbiCVersion;

#ifdef __cplusplus
}
#endif

#define KOVA_ABI_MEMBER_WIDTH(type, member) sizeof(((type*)0)->member)

#define KOVA_ABI_ASSERT_STRUCT(type, size) \
  KOVA_ABI_STATIC_ASSERT(sizeof(type) == (size), #type " is " #size " bytes");
#define KOVA_ABI_ASSERT_FIELD(type, member, offset, width)                                      \
  KOVA_ABI_STATIC_ASSERT(offsetof(type, member) == (offset), #type "." #member " at " #offset); \
  KOVA_ABI_STATIC_ASSERT(KOVA_ABI_MEMBER_WIDTH(type, member) == (width),                        \
                         #type "." #member " is " #width " bytes");

#define KOVA_ABI_ROW_STRUCT(type, size) {#type, NULL, 0, sizeof(type), 0, (size)},
#define KOVA_ABI_ROW_FIELD(type, member, offset, width) \
  {#type, #member, offsetof(type, member), KOVA_ABI_MEMBER_WIDTH(type, member), (offset), (width)},

#endif
