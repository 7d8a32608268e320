/* Word order of a double on x86-64 (little endian), as glibc's internal
   endian.h gives it to the dbl-64 routines. */
#ifndef LUCIDRA_GLIBC_ENDIAN_H
#define LUCIDRA_GLIBC_ENDIAN_H
#define LITTLE_ENDI 1
#define HIGH_HALF 1
#define LOW_HALF 0
#endif
