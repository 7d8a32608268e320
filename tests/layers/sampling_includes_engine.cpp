// Must not compile: sampling sits below the engine.
#include "sampling/ray_sampler.h"
#include "engine/settings.h"

int layer_probe() { return sizeof(lucidra::GenerationSettings) > 0 ? 0 : 1; }
