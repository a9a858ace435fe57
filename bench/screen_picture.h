// A synthetic screen for the picture benchmarks: desktop gradient,
// overlapping windows with title bars, text, buttons and a photo, and a
// task bar - the mix a screen capture of an office desktop holds. Pixels
// are palette indices; the palette is a 6x6x6 colour cube and a grey ramp.
#pragma once
#include <cstdint>
#include <random>
#include <vector>

namespace bench {

struct ScreenPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> index;    // width x height, top row first
    std::vector<uint8_t> palette;  // 256 x (blue, green, red, 0)
};

inline uint8_t Cube(int r, int g, int b) { return uint8_t(16 + 36 * r + 6 * g + b); }
inline uint8_t Grey(int level) { return uint8_t(level * 15 / 255); }  // 0..15

inline ScreenPicture MakeScreenPicture(uint32_t width, uint32_t height, uint32_t seed = 1)
{
    ScreenPicture s;
    s.width = width;
    s.height = height;
    s.index.assign(size_t(width) * height, 0);
    for (int i = 0; i < 16; ++i) {
        uint8_t v = uint8_t(i * 17);
        s.palette.insert(s.palette.end(), {v, v, v, 0});
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                s.palette.insert(s.palette.end(), {uint8_t(b * 51), uint8_t(g * 51), uint8_t(r * 51), 0});
    s.palette.resize(256 * 4, 0);

    std::mt19937 rng(seed);
    auto at = [&](int x, int y) -> uint8_t* {
        static uint8_t sink;
        if (x < 0 || y < 0 || x >= int(width) || y >= int(height))
            return &sink;
        return &s.index[size_t(y) * width + x];
    };
    auto fill = [&](int x0, int y0, int w, int h, uint8_t c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                *at(x, y) = c;
    };
    // Text: words of glyphs 7 pixels wide, strokes of 1-3 pixels with
    // grey anti-aliasing at their ends.
    auto text = [&](int x0, int y0, int w, uint8_t ink, uint8_t paper, int lines) {
        for (int line = 0; line < lines; ++line) {
            int x = x0;
            const int limit = x0 + w - 10 - int(rng() % 80);
            while (x < limit) {
                int letters = 2 + int(rng() % 8);
                for (int l = 0; l < letters && x < limit; ++l, x += 7) {
                    for (int gy = 0; gy < 11; ++gy) {
                        if (rng() % 3 == 0)
                            continue;
                        int gx = int(rng() % 5);
                        int len = 1 + int(rng() % 3);
                        *at(x + gx - 1, y0 + gy) = uint8_t((ink + paper) / 2);
                        for (int k = 0; k < len; ++k)
                            *at(x + gx + k, y0 + gy) = ink;
                    }
                }
                x += 5;  // space
            }
            y0 += 16;
        }
    };
    auto window = [&](int x0, int y0, int w, int h, uint8_t face) {
        fill(x0, y0, w, h, Grey(192));
        fill(x0, y0, w, 1, 15);
        fill(x0, y0, 1, h, 15);
        fill(x0 + w - 1, y0, 1, h, Grey(64));
        fill(x0, y0 + h - 1, w, 1, Grey(64));
        // Title bar: a horizontal gradient, then its caption.
        for (int x = 3; x < w - 3; ++x)
            fill(x0 + x, y0 + 3, 1, 18, Cube(0, 0, 1 + 4 * x / w));
        text(x0 + 8, y0 + 6, w / 3, 15, Cube(0, 0, 2), 1);
        for (int b = 0; b < 3; ++b)
            fill(x0 + w - 22 - 18 * b, y0 + 5, 16, 14, Grey(192));
        // Tool bar buttons with icons.
        for (int b = 0; b < w / 30 - 1; ++b) {
            int bx = x0 + 6 + 26 * b, by = y0 + 26;
            fill(bx, by, 23, 22, Grey(192));
            fill(bx, by, 23, 1, 15);
            fill(bx, by + 21, 23, 1, Grey(64));
            for (int iy = 3; iy < 19; ++iy)
                for (int ix = 3; ix < 19; ++ix)
                    if (rng() % 4)
                        *at(bx + ix, by + iy) = Cube(int(rng() % 6), int(rng() % 6), int(rng() % 6));
        }
        fill(x0 + 4, y0 + 52, w - 8, h - 56, face);
        text(x0 + 10, y0 + 58, w - 20, 0, face, (h - 70) / 16);
    };

    // Desktop: a vertical gradient of blues.
    for (uint32_t y = 0; y < height; ++y)
        fill(0, int(y), int(width), 1, Cube(0, int(1 + 3 * y / height), int(2 + 3 * y / height)));
    const int W = int(width), H = int(height);
    window(W / 20, H / 15, W / 2, H / 2, 15);
    window(W / 3, H / 4, W / 2, H * 5 / 8, 15);
    // A photo inside the front window.
    const int px0 = W / 3 + W / 4, py0 = H / 4 + H / 3, pw = W / 5, ph = H / 4;
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x)
            *at(px0 + x, py0 + y) =
                Cube((x / 13 + y / 29) % 6, (x * y / 500 + int(rng() % 2)) % 6, (y / 17) % 6);
    // Task bar with buttons and a clock.
    const int tb = H - 30;
    fill(0, tb, W, 30, Grey(192));
    fill(0, tb, W, 1, 15);
    for (int b = 0; b < 6; ++b) {
        fill(60 + 160 * b, tb + 3, 150, 24, b == 1 ? 15 : Grey(192));
        text(90 + 160 * b, tb + 9, 110, 0, Grey(192), 1);
    }
    text(W - 80, tb + 9, 70, 0, Grey(192), 1);
    return s;
}

}  // namespace bench
