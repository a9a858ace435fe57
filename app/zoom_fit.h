// Where a zoomed picture is drawn: as large as the view below the toolbar
// allows without changing its shape, and centred in it.
#pragma once
#include <cstdint>

// A rectangle in client coordinates: left, top, width and height.
struct ZoomRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// The destination of a picture of pictureWidth x pictureHeight zoomed into
// the client area below a toolbar of toolbarHeight (the view the scroll
// code uses). One side fills the view; the other keeps the picture's
// aspect ratio, rounded to the nearest pixel but never below 1, and the
// picture sits in the middle of the spare room (halves truncate, so an odd
// pixel left over goes below or to the right). Small pictures grow to the
// view as large ones shrink to it. An empty picture or view gives an
// empty rectangle at the view's corner.
ZoomRect FitPictureInView(int32_t pictureWidth, int32_t pictureHeight, int32_t clientWidth,
                          int32_t clientHeight, int32_t toolbarHeight);
