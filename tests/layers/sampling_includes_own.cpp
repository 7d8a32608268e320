// Compiles: sampling may use its own layer and those below it.
#include "base/user_error.h"
#include "distributions/distribution_file.h"
#include "random/park_miller.h"
#include "sampling/ray_sampler.h"

int layer_probe() { return sizeof(lucidra::SamplingPlan) > 0 ? 0 : 1; }
