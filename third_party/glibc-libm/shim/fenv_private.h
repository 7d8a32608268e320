/* glibc forces round-to-nearest (and 53-bit x87 precision) around sin and
   cos. The ray generator never changes the rounding mode and x86-64 does
   double arithmetic in SSE, so there is nothing to set or restore. */
#ifndef LUCIDRA_GLIBC_FENV_PRIVATE_H
#define LUCIDRA_GLIBC_FENV_PRIVATE_H
#include <fenv.h>
#define SET_RESTORE_ROUND_53BIT(mode) ((void)0)
#endif
