/* The exact decimal value of typed rows: 19 bytes, no padding, no alignment.
 * The host reads and writes it in place inside a row; the module fills it
 * with parseDecimal and renders it with decimalToText. Usable from C. */
#ifndef KOVA_DECIMAL_H
#define KOVA_DECIMAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define kDecimalMaxPrecision 38
#define kDecimalMinScale (-127)
#define kDecimalSize 19

/* The value is val x 10^(-scale), negated when sign is 0. */
typedef struct DecimalValue {
  uint8_t precision; /* 0: total significant digits declared (at most 38) */
  int8_t scale;      /* 1: digits after the point; negative: a multiple of 10^-scale */
  uint8_t sign;      /* 2: 1 positive or zero, 0 negative */
  uint8_t val[16];   /* 3: unsigned 128-bit magnitude, least significant byte first */
} DecimalValue;

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(DecimalValue) == kDecimalSize, "DecimalValue is 19 bytes");
static_assert(alignof(DecimalValue) == 1, "DecimalValue has no alignment");
static_assert(offsetof(DecimalValue, precision) == 0, "precision at byte 0");
static_assert(offsetof(DecimalValue, scale) == 1, "scale at byte 1");
static_assert(offsetof(DecimalValue, sign) == 2, "sign at byte 2");
static_assert(offsetof(DecimalValue, val) == 3, "val at bytes 3 to 18");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(DecimalValue) == kDecimalSize, "DecimalValue is 19 bytes");
_Static_assert(offsetof(DecimalValue, val) == 3, "val at bytes 3 to 18");
#endif

#endif
