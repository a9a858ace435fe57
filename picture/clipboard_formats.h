// The picture's clipboard formats for other programs ("PNG", CF_DIBV5),
// rendered when asked, and a picture other programs put there only as
// "PNG".
#pragma once
#include <windows.h>

// Beside a picture just placed (the clipboard open and emptied by the
// window that is to answer for it): offers "PNG" and CF_DIBV5, made from
// that bitmap and palette when a program asks for them.
void OfferPictureFormats(HBITMAP bitmap, HPALETTE palette);

// WM_RENDERFORMAT, WM_RENDERALLFORMATS and WM_DESTROYCLIPBOARD of a window
// that places pictures; true when the message was one of them.
bool OnClipboardRenderMessage(HWND window, UINT message, WPARAM wParam);

// With the clipboard open: the picture of a clipboard that holds no bitmap
// but a "PNG", decoded (and kept until the clipboard changes, so it must
// not be deleted); null for any other clipboard.
HBITMAP ForeignPictureBitmap();
