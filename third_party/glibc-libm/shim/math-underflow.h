/* Only raises the underflow flag for tiny arguments: no effect on results. */
#ifndef LUCIDRA_GLIBC_MATH_UNDERFLOW_H
#define LUCIDRA_GLIBC_MATH_UNDERFLOW_H
#define math_check_force_underflow(x) ((void)(x))
#endif
