// The printer-settings record and its file PRTINFO.CFG: a 2-byte count N,
// the 156-byte public part of the device mode, and the first N bytes of
// the device-names block (header and names, without the NUL that ends the
// last name). Little-endian, no signature.
//
// The file is read back from whatever folder the program's current
// directory happens to be, so the reader treats it as untrusted: a count
// or an offset that points outside the data is refused, and what it
// accepts is made safe to hand to a printer driver.
#pragma once
#include <cstddef>
#include <cstdint>

// The public part of a device mode (DEVMODEA), and where its own size and
// the count of driver-private bytes after it are.
constexpr size_t kDevModePublicSize = 156;
constexpr size_t kDevModeSizeOffset = 36;         // dmSize
constexpr size_t kDevModeDriverExtraOffset = 38;  // dmDriverExtra
// A device mode shorter than this does not even reach its field mask.
constexpr size_t kDevModeMinimumSize = 44;
// The device-names header: wDriverOffset, wDeviceOffset, wOutputOffset,
// wDefault.
constexpr size_t kDevNamesHeaderSize = 8;
constexpr size_t kPrtInfoFixedSize = 2 + kDevModePublicSize;
constexpr size_t kPrtInfoMaxSize = kPrtInfoFixedSize + 0xFFFF;

// True when the three name offsets of a device-names block of size bytes
// lie behind the header and inside the block, each name ending with a
// NUL before the block's end.
bool DeviceNamesValid(const uint8_t* names, size_t size);

// The count N stored for a device-names block: the end of the last of its
// three names, not counting that name's NUL (with the output name last, as
// the Print Setup dialog lays the names out, that is wOutputOffset plus
// the output name's length). 0 when the block is not valid or N would not
// fit 16 bits.
uint16_t PrtInfoNameCount(const uint8_t* names, size_t size);

// Size of the file for a names block: kPrtInfoFixedSize + N; 0 when the
// block cannot be stored.
size_t PrtInfoFileSize(const uint8_t* names, size_t namesSize);

// Writes the file's bytes into out (capacity at least PrtInfoFileSize).
// A device mode shorter than the public part is completed with zeros.
// Returns the number of bytes written, 0 when the blocks cannot be
// stored.
size_t BuildPrtInfo(const uint8_t* devMode, size_t devModeSize, const uint8_t* names,
                    size_t namesSize, uint8_t* out, size_t outCapacity);

// What a file holds, checked. The device mode is the public part with
// dmDriverExtra set to 0 (the file never holds the driver's private
// bytes); the names are N bytes plus a terminating NUL.
struct PrtInfoLayout {
    uint16_t nameCount;  // N; the names block is N + 1 bytes
};

// Checks a whole file of size bytes: at least the fixed part, exactly
// kPrtInfoFixedSize + N long, N covering the names header, every name
// offset inside the names (an offset of N is an empty name at the added
// NUL), a device mode whose own size lies between kDevModeMinimumSize and
// the public part. False refuses the file.
bool CheckPrtInfo(const uint8_t* file, size_t size, PrtInfoLayout* layout);

// Copies a checked file's device mode (kDevModePublicSize bytes) and
// names (N + 1 bytes) into the two blocks, making them consistent.
void ExtractPrtInfo(const uint8_t* file, const PrtInfoLayout& layout, uint8_t* devMode,
                    uint8_t* names);

// Makes a device mode block of blockSize bytes safe for a printer driver:
// false when its own size is below kDevModeMinimumSize or beyond the
// block; when its private bytes would run past the block, they are
// dropped (dmDriverExtra 0).
bool MakeDevModeConsistent(uint8_t* devMode, size_t blockSize);
