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

// With the clipboard open: whether it holds no bitmap but a "PNG", which
// another program put there alone.
bool ClipboardHoldsForeignPicture();
// With the clipboard open: that "PNG" decoded, a bitmap the caller
// deletes; null for any other clipboard or a PNG that does not decode.
HBITMAP DecodeForeignPicture();
// The same for the main thread (view, menus, save), kept until the
// clipboard changes, so the view's many repaints decode it once; it must
// not be deleted.
HBITMAP ForeignPictureBitmap();
