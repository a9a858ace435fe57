// The picture being marked up, as 32-bit pixels (0x00RRGGBB, rows top
// down), and the drawing primitives every mark is made of. Everything is
// in picture pixels: a 2-pixel line is two pixels of the picture at any
// zoom. Nothing here is antialiased, so that a mark's edges are exactly
// where the user put them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct MPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Half-open: right and bottom are outside.
struct MRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

MRect Intersect(const MRect& a, const MRect& b);
MRect Union(const MRect& a, const MRect& b);  // an empty side is ignored
// The rectangle between two corners given in either order, both inside.
MRect RectFromCorners(MPoint a, MPoint b);
MRect Inflate(const MRect& r, int32_t by);

struct Pixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> data;
    MRect bounds() const { return MRect{0, 0, width, height}; }
    uint32_t at(int32_t x, int32_t y) const { return data[size_t(y) * width + x]; }
};

constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

// Which pixels a mark covers, over a rectangle of the picture: 1 covered,
// 0 not. A mark is first rasterised into a mask and then laid on the
// pixels in one go, so that a translucent stroke crossing itself is not
// darker where it crosses.
class Mask {
public:
    explicit Mask(MRect area);
    const MRect& area() const { return area_; }
    bool get(int32_t x, int32_t y) const;
    void set(int32_t x, int32_t y);
    // A round dot of the given diameter centred on the pixel (x, y); a
    // diameter of 1 or 2 is a 1 x 1 or 2 x 2 square.
    void Dot(int32_t x, int32_t y, int32_t diameter);
    // A line of the given width between two pixel centres, round ended.
    void Line(MPoint a, MPoint b, int32_t width);
    void FillRect(const MRect& r);
    // The outline of r, width pixels wide, lying inside r.
    void FrameRect(const MRect& r, int32_t width);
    // The ellipse inscribed in r, filled, or its outline width pixels wide
    // inside r.
    void Ellipse(const MRect& r, int32_t width, bool filled);
    // A filled triangle.
    void Triangle(MPoint a, MPoint b, MPoint c);
    // The bounding box of what is set (empty when nothing is).
    MRect Covered() const;

private:
    MRect area_;
    std::vector<uint8_t> bits_;
};

// Lays the mask's pixels on the picture in colour: opaque, or as a
// highlighter does (each channel multiplied by the colour's, so dark
// text under it stays readable). Only pixels inside the picture change.
void Paint(Pixels& pixels, const Mask& mask, uint32_t colour, bool highlight);

// The channel-wise product a highlighter leaves on a pixel.
uint32_t Highlighted(uint32_t pixel, uint32_t colour);

// Pixelates r (clipped to the picture): blocks of block x block pixels
// from r's top-left corner (smaller at its right and bottom edges), each
// replaced by the rounded average of its pixels. What was there cannot be
// read back.
void Mosaic(Pixels& pixels, const MRect& r, int32_t block);

// The picture cut to r (clipped); false, and nothing changed, when the
// clipped rectangle is empty.
bool Crop(Pixels& pixels, const MRect& r);
