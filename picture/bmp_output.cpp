// Writing the current picture to BMP files, serial names and dialog 110.
#include "picture/picture.h"

// Not offered yet: file output comes with the picture-files work.
bool SaveClipboardAsBmp(HWND, const char*) { return false; }
void SaveNextSerialBmp(HWND, const char*) {}
void SaveAsCommand(HWND) {}
void SerialOutputCommand(HWND) {}
bool SerialOutputOn() { return false; }
const char* SerialBaseName() { return ""; }
