// The snapshot timer: countdown in the title and a shot every N seconds.
#include "capture/capture.h"

bool SnapshotEnabled() { return false; }
// Not offered yet: the dialog and the tick come with the snapshot work.
void SnapshotCommand(HWND) {}
void SnapshotTick(HWND) {}
