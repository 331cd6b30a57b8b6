// KOVA_ALWAYS_INLINE marks the small helpers of the block parsers' record
// loops that must be inlined into every caller (a call per field costs
// more than the helper). Coverage builds (KOVA_COVERAGE_BUILD) leave them
// ordinary functions, so that a branch of the source is counted once, not
// once per inlined copy. KOVA_LAMBDA_ALWAYS_INLINE is the same for lambdas.
#pragma once

#if defined(KOVA_COVERAGE_BUILD)
#define KOVA_ALWAYS_INLINE
#define KOVA_LAMBDA_ALWAYS_INLINE
#else
#define KOVA_ALWAYS_INLINE [[gnu::always_inline]]
#define KOVA_LAMBDA_ALWAYS_INLINE __attribute__((always_inline))
#endif
