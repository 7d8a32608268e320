// Planted for the include scan, never compiled: a relative include reaches
// the engine past the sampling layer's include root.
#include "../engine/settings.h"
