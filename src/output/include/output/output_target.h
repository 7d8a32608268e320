#pragma once
// The output target lives with the files every layer writes (base); this
// name stays for the ray file writer.
#include "base/output_target.h"
