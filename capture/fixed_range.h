// The process-wide fixed capture range, as the rectangle command reads it.
#pragma once
#include "capture/fixed_range_rules.h"

const FixedRange& CurrentFixedRange();
