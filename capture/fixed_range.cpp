// The fixed capture range and its dialog.
#include "capture/capture.h"

bool FixedRangeEnabled() { return false; }
// Not offered yet: the dialog comes with the fixed-range work.
void FixedRangeCommand(HWND) {}
