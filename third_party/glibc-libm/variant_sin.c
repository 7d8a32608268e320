/* s_sin.c under the name of one instruction-set variant (VARIANT: sse2, fma,
   fma4), the way glibc's x86-64 libm builds it. */
#define LUCIDRA_CAT2(a, b) a##_##b
#define LUCIDRA_CAT(a, b) LUCIDRA_CAT2(a, b)
#define __sin LUCIDRA_CAT(__sin, VARIANT)
#define __cos LUCIDRA_CAT(__cos, VARIANT)
#include "s_sin.c"
