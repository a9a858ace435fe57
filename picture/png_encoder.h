// The PNG file of a picture in a DIB's layout: the bytes exactly, true
// colour as 8-bit RGB, 1-, 4- and 8-bit pictures indexed with their own
// colour table. Filters and chunks are written here; the zlib stream and
// the CRCs come from libdeflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Rows as a DIB holds them.
struct PngPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    // 1, 4 or 8 (indexes into colors) or 24 (blue, green, red).
    int bitCount = 24;
    // The first row in memory: the bottom one when bottomUp.
    const uint8_t* rows = nullptr;
    size_t stride = 0;
    bool bottomUp = true;
    // The colour table of an indexed picture: blue, green, red, unused.
    const uint8_t* colors = nullptr;
    uint32_t colorCount = 0;
};

// The row filters of the format; kAdaptive picks one per row, the one
// whose bytes are smallest as signed numbers (what the format's authors
// recommend for true colour).
enum class PngFilter { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4, kAdaptive = 5 };

struct PngEncoding {
    // Indexed rows are written unfiltered whatever this says, as the
    // format recommends.
    PngFilter filter = PngFilter::kAdaptive;
    // libdeflate's level, 1 (fastest) to 12 (smallest), taking no match
    // shorter than 6 bytes in filtered rows (cmake/libdeflate.cmake). On an
    // ordinary desktop 6 took about 0.4 of Pillow's time for a file
    // slightly smaller than ImageMagick's; 8 saved under 0.5 % more for
    // half as much time again.
    int level = 6;
    // The rows are cut into this many bands, each filtered and compressed
    // on its own and joined into one stream (no band is cut shorter than
    // 64 KB of filtered rows). Bands after the first cannot refer back
    // into the one before: a 1920 x 1080 desktop in two bands is about
    // 0.02 % larger.
    unsigned bands = 1;
    // How many threads take the bands, one band after another; runWorkers
    // runs job(0) to job(count - 1) at once, each on a thread of its own
    // where it can, and returns when every one has ended. Without it the
    // calling thread takes every band. The jobs throw nothing.
    unsigned workers = 1;
    std::function<void(size_t count, const std::function<void(size_t)>& job)> runWorkers;
};

// False, with png empty, for a picture this writer does not take (another
// bit count, an empty or oversized picture, an indexed one without
// colours, or a stride shorter than its rows) or when memory runs out.
bool EncodePngPicture(const PngPicture& picture, std::vector<uint8_t>* png,
                      const PngEncoding& encoding = PngEncoding());
