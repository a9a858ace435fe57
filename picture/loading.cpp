// Opening picture files: BMP by the program itself, others by plug-ins.
#include "picture/picture.h"

// Not offered yet: loading comes with the picture-files work.
bool OpenPictureFile(HWND, const char*) { return false; }
void OpenCommand(HWND) {}
bool ChooseBmpFile(HWND, char*, int) { return false; }
