/* No symbol aliases outside glibc. */
#define libm_alias_double(from, to)
