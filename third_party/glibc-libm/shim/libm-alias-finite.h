/* No symbol aliases outside glibc. */
#define libm_alias_finite(from, to)
