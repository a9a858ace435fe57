// The capture-key dialog.
#include "capture/capture.h"

// Not offered yet: the dialog comes with the capture-key work.
void CaptureKeyCommand(HWND) {}
