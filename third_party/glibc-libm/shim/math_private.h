/* The little of glibc's math_private.h the dbl-64 sin, cos, asin and acos use. */
#ifndef LUCIDRA_GLIBC_MATH_PRIVATE_H
#define LUCIDRA_GLIBC_MATH_PRIVATE_H
#include <errno.h>
#include <math.h>
#define attribute_hidden
#define __set_errno(e) (errno = (e))
#define __glibc_likely(c) __builtin_expect((c), 1)
#define __glibc_unlikely(c) __builtin_expect((c), 0)
#ifndef __always_inline
#define __always_inline __inline __attribute__((__always_inline__))
#endif
#endif
