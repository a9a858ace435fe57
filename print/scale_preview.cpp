// The print scale dialog and the preview prompt.
#include "print/print.h"

// Not offered yet: these come with the printing work.
void ScaleCommand(HWND) {}
bool PreviewPrompt(HWND) { return true; }
