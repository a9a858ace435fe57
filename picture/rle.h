// RLE8 and RLE4 run-length coding of DIB pixel rows, the published BMP
// encoding (biCompression 1 and 2). The platform's GetDIBits cannot
// compress, so captures are taken as plain rows and encoded here; the
// decoder reads the RLE streams of BMP files, which may be hostile.
//
// Stream: encoded runs (count 1..255, value), absolute runs (0, count
// 3..255, the pixels, padded to a 16-bit boundary), end of line (0, 0),
// end of bitmap (0, 1) and delta (0, 2, dx, dy). In RLE4 a count is in
// pixels; an encoded run's value byte holds two pixels that alternate.
//
// Rows are bottom-up and padded to 4 bytes, exactly as GetDIBits returns
// them: row y (0 = bottom) starts at y x DibRowSize(width, bitCount).
#pragma once
#include <cstddef>
#include <cstdint>

#include "picture/dib_rules.h"

// Largest stream RleEncode can produce for a picture of this size, either
// format: height x (2 x width + 2) + 2 (no run costs more than two bytes
// a pixel; end of line per row; end of bitmap). Exact 64-bit arithmetic.
uint64_t RleMaxEncodedSize(uint32_t width, uint32_t height);

// Encodes the plain rows into out. compression is kBiRle8 (8-bit rows) or
// kBiRle4 (4-bit rows; with an odd width the padding nibble of each row's
// last byte is ignored). Every row ends with an end of line, the stream
// with an end of bitmap. Returns the stream length, or 0 when the
// arguments are unusable: another compression, a zero size, rowsSize below
// the rows' size, or outCapacity below RleMaxEncodedSize(width, height)
// (asking for the worst case up front keeps the encoding loop free of
// bounds checks). Never reads or writes outside the given buffers.
size_t RleEncode(uint32_t compression, const uint8_t* rows, size_t rowsSize,
                 uint32_t width, uint32_t height, uint8_t* out, size_t outCapacity);

enum class RleResult {
    kComplete,      // end of bitmap, or the stream left the top row
    kTruncated,     // the stream ended first; tolerated: the rest stays 0
    kBadArguments,  // unknown compression, zero size, rows buffer too small
};

// Decodes a stream into bottom-up rows of width x height at 8 (kBiRle8) or
// 4 (kBiRle4) bits. The rows (DibRowSize x height bytes, checked against
// rowsSize) are zero-filled first, so pixels that the stream skips with a
// delta, leaves out with an early end of line, or never reaches stay
// index 0, as other readers show them. Writes only inside those rows and
// reads only the streamSize bytes given. Streams are read as the
// platform's and other common readers read them: a run (encoded or
// absolute) that goes on past the row's last pixel, as many encoders write
// into the row's padding, keeps only the pixels inside the row; a delta
// past the row's end leaves the rest of that row empty; decoding stops at
// the end of bitmap or when an end of line or delta reaches or passes the
// row above the top, and anything after that is ignored.
RleResult RleDecode(uint32_t compression, const uint8_t* stream, size_t streamSize,
                    uint32_t width, uint32_t height, uint8_t* rows, size_t rowsSize);

// Size of the block RleCompressDib needs for a plain packed DIB with this
// header: pixel offset (biSize + colour table) + RleMaxEncodedSize.
// 0 when the header is not a plain 8- or 4-bit picture with a positive size.
uint64_t RleCompressedDibMaxSize(const DibHeader* plain);

// Turns a plain packed DIB (header, colour table, bottom-up rows, as the
// platform's GetDIBits fills it) of plainSize bytes into a compressed one
// in out: the header with biCompression = compression and biSizeImage =
// stream length, the same colour table, then the stream. compression must
// match the bit count (kBiRle8 for 8 bits, kBiRle4 for 4). Returns the
// bytes written (the packed size of the result), or 0 when the input does
// not hold what its header says or outCapacity is below
// RleCompressedDibMaxSize.
size_t RleCompressDib(const uint8_t* plainDib, size_t plainSize, uint32_t compression,
                      uint8_t* out, size_t outCapacity);
