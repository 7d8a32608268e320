// Planted for the include scan, never compiled: a front end reaching an
// engine internal.
#include "engine/run_setup.h"
