// Smooth scaling of a picture's pixels for the zoomed view: every screen
// pixel gets the average colour of the part of the picture it covers, in
// proportion to how much of each picture pixel lies under it. Shrinking a
// screenshot this way keeps thin strokes of text as grey instead of
// dropping or keeping them whole, and enlarging it blends only the pixels
// on the edges between picture pixels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels are 32-bit 0x00RRGGBB values (a 32-bit DIB's byte order), rows
// top-down. The scaler takes the picture one row at a time, in order, so
// that a large picture can be read in bands, and writes the scaled rows as
// they are finished.
class AreaScaler {
public:
    // Scales sourceWidth x sourceHeight into destWidth x destHeight; dest
    // holds destWidth * destHeight pixels. All sizes must be positive.
    AreaScaler(int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight,
               uint32_t* dest);

    // The next source row, sourceWidth pixels; rows past the last are
    // ignored.
    void AddRow(const uint32_t* row);

private:
    void ScaleRowAcross(const uint32_t* row);

    int64_t sourceWidth_, sourceHeight_, destWidth_, destHeight_;
    uint32_t* dest_;
    // Where each source pixel of a row lands across: the overlaps of
    // source and destination columns, left to right, worked out once.
    struct Overlap {
        uint32_t source;
        uint32_t dest;
        uint32_t weight;
    };
    std::vector<Overlap> overlaps_;
    // A picture of fewer than 2^54 pixels and rows narrower than 2^24 is
    // summed whole and divided once per destination pixel; a larger one
    // has each row brought down to 256ths of a level first, so that no sum
    // can overflow.
    bool rowsInSteps_;
    uint64_t finalDivisor_;
    double finalInverse_;
    double rowInverse_;
    int64_t sourceRow_ = 0;  // rows taken so far
    int64_t destRow_ = 0;    // rows written so far
    // One source row scaled across, per channel.
    std::vector<uint32_t> across_;
    // The destination row being gathered, per channel.
    std::vector<uint64_t> sums_;
};

// Scales a whole top-down picture at once.
void ScaleAreaAverage(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                      uint32_t* dest, int32_t destWidth, int32_t destHeight);
