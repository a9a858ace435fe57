// Conversions between the clipboard's device bitmap and the Capture DIB.
#include "picture/picture.h"

int g_compression = 0;

// The conversions come with the picture-files work.
HGLOBAL MakeDibFromBitmap(HBITMAP, HPALETTE) { return nullptr; }
HPALETTE MakePaletteFromDib(HGLOBAL, int*) { return nullptr; }
HBITMAP MakeBitmapFromDib(HGLOBAL, HPALETTE) { return nullptr; }
