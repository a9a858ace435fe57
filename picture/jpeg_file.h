// JPEG files of a Capture DIB: baseline JPEG at a quality from 1 to 100,
// the quantization tables of the reference encoder scaled for it, nothing
// but the JFIF header and the pixels (no metadata). Kelvo carries its own
// encoder rather than the platform's: Wine's JPEG encoder writes every
// file at one quality, whatever it is asked for.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A plain (uncompressed) 1-, 4-, 8- or 24-bit packed DIB of size bytes,
// bottom-up or top-down, as JPEG bytes in *jpeg: colours from the colour
// table for the indexed depths. A quality outside 1..100 gives the
// default. False, with *jpeg empty, for anything else or a DIB that does
// not hold what its header describes.
bool EncodeDibAsJpeg(const uint8_t* dib, size_t size, int quality, std::vector<uint8_t>* jpeg);
