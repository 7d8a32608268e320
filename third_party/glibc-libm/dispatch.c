/* sin, cos, asin and acos for the Windows build, chosen at start-up by the
   processor's features exactly as glibc 2.36's x86-64 libm chooses them (FMA
   with AVX2, else FMA4, else SSE2). With the same code and the same choice
   the Windows ray files are the Linux ones, bit for bit: the C runtime's own
   functions round differently in the last bit, and Sobol points often land
   on values whose seventh decimal digit that bit decides.

   These definitions take the place of the C runtime's sin, cos, asin and
   acos when lucidra_core is linked. */
#include <math.h>

#define VARIANTS(name) \
  double name##_sse2(double); \
  double name##_fma(double); \
  double name##_fma4(double);
VARIANTS(__sin)
VARIANTS(__cos)
VARIANTS(__ieee754_asin)
VARIANTS(__ieee754_acos)

typedef double (*unary)(double);
static unary chosen_sin, chosen_cos, chosen_asin, chosen_acos;

static void choose(void) {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2")) {
    chosen_sin = __sin_fma, chosen_cos = __cos_fma;
    chosen_asin = __ieee754_asin_fma, chosen_acos = __ieee754_acos_fma;
  } else if (__builtin_cpu_supports("fma4")) {
    chosen_sin = __sin_fma4, chosen_cos = __cos_fma4;
    chosen_asin = __ieee754_asin_fma4, chosen_acos = __ieee754_acos_fma4;
  } else {
    chosen_sin = __sin_sse2, chosen_cos = __cos_sse2;
    chosen_asin = __ieee754_asin_sse2, chosen_acos = __ieee754_acos_sse2;
  }
}

/* Chosen before main and before any thread exists. */
__attribute__((constructor)) static void choose_at_start(void) { choose(); }

double sin(double x) { return chosen_sin(x); }
double cos(double x) { return chosen_cos(x); }
/* glibc's wrappers only add errno for |x| > 1; the result is the same NaN. */
double asin(double x) { return chosen_asin(x); }
double acos(double x) { return chosen_acos(x); }
void sincos(double x, double* s, double* c) {
  *s = chosen_sin(x);
  *c = chosen_cos(x);
}
