/* e_asin.c under the name of one instruction-set variant (VARIANT: sse2, fma,
   fma4), the way glibc's x86-64 libm builds it. */
#define LUCIDRA_CAT2(a, b) a##_##b
#define LUCIDRA_CAT(a, b) LUCIDRA_CAT2(a, b)
#define __ieee754_asin LUCIDRA_CAT(__ieee754_asin, VARIANT)
#define __ieee754_acos LUCIDRA_CAT(__ieee754_acos, VARIANT)
#include "e_asin.c"
