// The 14-byte BMP file header that goes in front of a Capture DIB when it
// is written to a file: "BM", the file size and the offset of the bits.
#pragma once
#include <cstddef>
#include <cstdint>

#include "picture/dib_rules.h"

constexpr size_t kBmpFileHeaderSize = 14;

// Where the parts of a packed DIB land in its file.
struct BmpFileLayout {
    uint32_t fileSize;       // bfSize: 14 + dibPartLength
    uint32_t pixelOffset;    // bfOffBits: 14 + biSize + colour table
    uint32_t dibPartLength;  // bytes written from the start of the DIB:
                             // biSize + colour table + image length, the
                             // image length being biSizeImage for RLE8/RLE4
                             // and row size x |height| otherwise
};

// Computes the layout. False for a header no BMP file of ours can hold:
// biSize below 40, a bit count other than 1, 4, 8, 16, 24, 32, a
// compression other than none, RLE8 with 8 bits or RLE4 with 4 bits
// (bottom-up only), width <= 0, height 0, or a file of 4 GiB or more
// (bfSize is 32 bits).
bool PlanBmpFileLayout(const DibHeader* header, BmpFileLayout* layout);

// Writes the 14 header bytes for a layout: bfType "BM", bfSize, two zero
// reserved fields, bfOffBits, all little-endian.
void WriteBmpFileHeader(const BmpFileLayout& layout, uint8_t out[kBmpFileHeaderSize]);

// Both steps for a locked Capture DIB of dibBlockSize bytes: fills out and
// *dibPartLength. False when the layout is refused or the block is shorter
// than the part to write, so a bad header never makes the writer read past
// the block.
bool BuildBmpFileHeader(const DibHeader* dib, size_t dibBlockSize,
                        uint8_t out[kBmpFileHeaderSize], uint32_t* dibPartLength);
