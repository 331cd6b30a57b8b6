/* The layout list compiled as C: every structure's size and every member's
 * offset and width asserted by the C compiler, and the rows it measured for
 * layout_test.cc to compare with the C++ compiler's. */
#ifdef __cplusplus
#error "layout_c.c checks the headers as C; compile it as C"
#endif

#include "tests/abi/layout_rows.h"

#define KOVA_ABI_STRUCT KOVA_ABI_ASSERT_STRUCT
#define KOVA_ABI_FIELD KOVA_ABI_ASSERT_FIELD
#include "tests/abi/layouts.inc"
#undef KOVA_ABI_STRUCT
#undef KOVA_ABI_FIELD

const KovaAbiRow kovaAbiRowsC[] = {
#define KOVA_ABI_STRUCT KOVA_ABI_ROW_STRUCT
#define KOVA_ABI_FIELD KOVA_ABI_ROW_FIELD
#include "tests/abi/layouts.inc"
#undef KOVA_ABI_STRUCT
#undef KOVA_ABI_FIELD
};

const size_t kovaAbiRowCountC = sizeof kovaAbiRowsC / sizeof kovaAbiRowsC[0];
const long kovaAbiCVersion = __STDC_VERSION__;
