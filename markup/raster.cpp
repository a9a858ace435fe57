// Rasterising marks into masks and laying them on the picture.
#include "markup/raster.h"

#include <algorithm>
#include <cstdlib>

MRect Intersect(const MRect& a, const MRect& b)
{
    MRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
    if (r.empty())
        return MRect{};
    return r;
}

MRect Union(const MRect& a, const MRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return MRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
}

MRect RectFromCorners(MPoint a, MPoint b)
{
    return MRect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1,
                 std::max(a.y, b.y) + 1};
}

MRect Inflate(const MRect& r, int32_t by)
{
    return MRect{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

Mask::Mask(MRect area) : area_(area.empty() ? MRect{} : area)
{
    bits_.assign(size_t(area_.width()) * size_t(area_.height()), 0);
}

bool Mask::get(int32_t x, int32_t y) const
{
    if (x < area_.left || x >= area_.right || y < area_.top || y >= area_.bottom)
        return false;
    return bits_[size_t(y - area_.top) * area_.width() + (x - area_.left)] != 0;
}

void Mask::set(int32_t x, int32_t y)
{
    if (x < area_.left || x >= area_.right || y < area_.top || y >= area_.bottom)
        return;
    bits_[size_t(y - area_.top) * area_.width() + (x - area_.left)] = 1;
}

void Mask::Dot(int32_t x, int32_t y, int32_t diameter)
{
    int32_t d = std::max(diameter, 1);
    int32_t x0 = x - (d - 1) / 2, y0 = y - (d - 1) / 2;
    if (d <= 2) {
        FillRect(MRect{x0, y0, x0 + d, y0 + d});
        return;
    }
    double c = (d - 1) / 2.0, r2 = d * d / 4.0;
    for (int32_t j = 0; j < d; ++j) {
        double fy = j - c;
        for (int32_t i = 0; i < d; ++i) {
            double fx = i - c;
            if (fx * fx + fy * fy <= r2)
                set(x0 + i, y0 + j);
        }
    }
}

void Mask::Line(MPoint a, MPoint b, int32_t width)
{
    // Bresenham's walk, a dot of the line's width at every step.
    int32_t dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    int32_t sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int32_t err = dx + dy, x = a.x, y = a.y;
    for (;;) {
        Dot(x, y, width);
        if (x == b.x && y == b.y)
            break;
        int32_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Mask::FillRect(const MRect& r)
{
    MRect c = Intersect(r, area_);
    for (int32_t y = c.top; y < c.bottom; ++y)
        std::fill_n(bits_.begin() + (size_t(y - area_.top) * area_.width() + (c.left - area_.left)),
                    c.width(), uint8_t(1));
}

void Mask::FrameRect(const MRect& r, int32_t width)
{
    int32_t w = std::max(width, 1);
    if (2 * w >= r.width() || 2 * w >= r.height()) {
        FillRect(r);
        return;
    }
    FillRect(MRect{r.left, r.top, r.right, r.top + w});
    FillRect(MRect{r.left, r.bottom - w, r.right, r.bottom});
    FillRect(MRect{r.left, r.top + w, r.left + w, r.bottom - w});
    FillRect(MRect{r.right - w, r.top + w, r.right, r.bottom - w});
}

void Mask::Ellipse(const MRect& r, int32_t width, bool filled)
{
    if (r.empty())
        return;
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    double a = r.width() / 2.0, b = r.height() / 2.0;
    double ia = a - std::max(width, 1), ib = b - std::max(width, 1);
    bool hollow = !filled && ia > 0 && ib > 0;
    MRect c = Intersect(r, area_);
    for (int32_t y = c.top; y < c.bottom; ++y) {
        double fy = y + 0.5 - cy;
        for (int32_t x = c.left; x < c.right; ++x) {
            double fx = x + 0.5 - cx;
            if ((fx * fx) / (a * a) + (fy * fy) / (b * b) > 1.0)
                continue;
            if (hollow && (fx * fx) / (ia * ia) + (fy * fy) / (ib * ib) < 1.0)
                continue;
            set(x, y);
        }
    }
}

void Mask::Triangle(MPoint a, MPoint b, MPoint c)
{
    MRect box = Intersect(
        MRect{std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y}), std::max({a.x, b.x, c.x}) + 1,
              std::max({a.y, b.y, c.y}) + 1},
        area_);
    auto edge = [](MPoint p, MPoint q, double x, double y) {
        return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
    };
    for (int32_t y = box.top; y < box.bottom; ++y) {
        for (int32_t x = box.left; x < box.right; ++x) {
            double e1 = edge(a, b, x, y), e2 = edge(b, c, x, y), e3 = edge(c, a, x, y);
            bool inside = (e1 >= 0 && e2 >= 0 && e3 >= 0) || (e1 <= 0 && e2 <= 0 && e3 <= 0);
            if (inside)
                set(x, y);
        }
    }
}

MRect Mask::Covered() const
{
    MRect out{};
    for (int32_t y = area_.top; y < area_.bottom; ++y) {
        const uint8_t* row = bits_.data() + size_t(y - area_.top) * area_.width();
        for (int32_t x = area_.left; x < area_.right; ++x)
            if (row[x - area_.left])
                out = Union(out, MRect{x, y, x + 1, y + 1});
    }
    return out;
}

uint32_t Highlighted(uint32_t pixel, uint32_t colour)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t p = (pixel >> shift) & 255, c = (colour >> shift) & 255;
        out |= ((p * c + 127) / 255) << shift;
    }
    return out;
}

void Paint(Pixels& pixels, const Mask& mask, uint32_t colour, bool highlight)
{
    MRect c = Intersect(mask.area(), pixels.bounds());
    for (int32_t y = c.top; y < c.bottom; ++y) {
        uint32_t* row = pixels.data.data() + size_t(y) * pixels.width;
        for (int32_t x = c.left; x < c.right; ++x)
            if (mask.get(x, y))
                row[x] = highlight ? Highlighted(row[x], colour) : colour;
    }
}

void Mosaic(Pixels& pixels, const MRect& r, int32_t block)
{
    MRect c = Intersect(r, pixels.bounds());
    int32_t n = std::max(block, 1);
    for (int32_t by = c.top; by < c.bottom; by += n) {
        int32_t ey = std::min(by + n, c.bottom);
        for (int32_t bx = c.left; bx < c.right; bx += n) {
            int32_t ex = std::min(bx + n, c.right);
            uint64_t sum[3] = {0, 0, 0};
            uint64_t count = uint64_t(ex - bx) * uint64_t(ey - by);
            for (int32_t y = by; y < ey; ++y)
                for (int32_t x = bx; x < ex; ++x) {
                    uint32_t p = pixels.at(x, y);
                    sum[0] += (p >> 16) & 255;
                    sum[1] += (p >> 8) & 255;
                    sum[2] += p & 255;
                }
            uint32_t average = Rgb(uint8_t((sum[0] + count / 2) / count),
                                   uint8_t((sum[1] + count / 2) / count),
                                   uint8_t((sum[2] + count / 2) / count));
            for (int32_t y = by; y < ey; ++y)
                std::fill_n(pixels.data.begin() + (size_t(y) * pixels.width + bx), ex - bx, average);
        }
    }
}

bool Crop(Pixels& pixels, const MRect& r)
{
    MRect c = Intersect(r, pixels.bounds());
    if (c.empty())
        return false;
    std::vector<uint32_t> out(size_t(c.width()) * c.height());
    for (int32_t y = c.top; y < c.bottom; ++y)
        std::copy_n(pixels.data.begin() + (size_t(y) * pixels.width + c.left), c.width(),
                    out.begin() + size_t(y - c.top) * c.width());
    pixels.data.swap(out);
    pixels.width = c.width();
    pixels.height = c.height();
    return true;
}
