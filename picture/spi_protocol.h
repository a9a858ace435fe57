// The conversation between kelvo.exe and its plug-in helper process,
// kelvo-spihost.exe, which loads the image plug-ins so that a plug-in that
// crashes or hangs takes only the helper down.
//
// Both sides share one block of memory, the channel: a header of 32-bit
// little-endian numbers and a payload area. Kelvo writes a request and
// signals; the helper writes the answer over it and signals back. Every
// field has a fixed width and no field holds an address or a pointer-sized
// value, so a 32-bit helper can serve a 64-bit Kelvo and the other way
// round. A decoded picture does not travel through the channel: the helper
// copies it into a file mapping of its own and names that mapping's handle
// (handles of both kinds of process fit 32 bits); Kelvo duplicates it. The
// mapping is kept for the next picture while it is large enough and not
// far too large, so that neither side pays again for touching fresh pages.
//
// Kelvo reads whatever the helper wrote as untrusted: the helper runs
// foreign code that can scribble anywhere in its memory, the channel
// included. Every reader here checks lengths against the channel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace spihost {

constexpr uint32_t kMagic = 0x4850534B;  // "KSPH"
constexpr uint32_t kVersion = 3;
constexpr size_t kChannelBytes = 256 * 1024;

// Header fields, byte offsets of 32-bit numbers.
constexpr size_t kFieldMagic = 0;
constexpr size_t kFieldVersion = 4;
constexpr size_t kFieldRequest = 8;
constexpr size_t kFieldSerial = 12;       // request number, echoed in kFieldAnswered
constexpr size_t kFieldStatus = 16;
constexpr size_t kFieldAnswered = 20;
constexpr size_t kFieldPayloadBytes = 24;
constexpr size_t kFieldBusyBytes = 28;
// The file name of the plug-in module whose code the helper is running,
// written before every call into a plug-in and cleared after it: after a
// crash or a hang it names the culprit.
constexpr size_t kBusyNameOffset = 32;
constexpr size_t kBusyNameCapacity = 260;
// A count the helper moves on whenever it starts or ends a call into a
// plug-in and whenever a decoding plug-in reports progress: Kelvo gives
// each step its own limit, counted from the last move.
constexpr size_t kFieldHeartbeat = 296;
constexpr size_t kPayloadOffset = 512;
constexpr size_t kPayloadCapacity = kChannelBytes - kPayloadOffset;
static_assert(kFieldHeartbeat >= kBusyNameOffset + kBusyNameCapacity
                  && kFieldHeartbeat + 4 <= kPayloadOffset,
              "the heartbeat lies between the busy name and the payload");

enum class Request : uint32_t {
    kSearch = 1,   // names to leave out -> the modules found and kept, in order
    kLoad = 2,     // names to load, in order -> the modules kept
    kPicture = 3,  // path -> a picture from the first plug-in that takes it
    kInfo = 4,     // -> each plug-in's GetPluginInfo pattern/description pairs
    kEnd = 5,      // unload every plug-in in order and end
    // A file mapping of the picture file (Kelvo's handle duplicated into
    // the helper, which closes it), its size and a name to show the
    // plug-ins -> as kPicture, through the plug-ins' memory form.
    kPictureBytes = 6,
    // A path in UTF-8 -> a picture decoded by the Windows Imaging
    // Component (a codec is foreign code too), as a 24-bit top-down DIB
    // with transparent pixels laid over white. Asked only after no
    // plug-in took the file.
    kCodecPicture = 7,
};

enum class Status : uint32_t {
    kOk = 0,
    kNoTaker = 1,     // no plug-in accepted the file
    kFailed = 2,      // the plug-in that accepted it gave no usable picture
    kBadRequest = 3,  // the request could not be read
    kTooLarge = 4,    // a codec read the size: beyond the limits of width, height or bytes
};

// Largest format block (header and colour table) a picture may come with.
constexpr uint32_t kMaxFormatBytes = 64 * 1024;
// Most plug-in modules and GetPluginInfo strings one answer carries.
constexpr uint32_t kMaxNames = 4096;
constexpr uint32_t kMaxInfoStrings = 256;
constexpr size_t kMaxInfoText = 1024;
constexpr size_t kMaxPathText = 32767;
// A UTF-16 path of kMaxPathText units takes at most three bytes a unit.
constexpr size_t kMaxUtf8PathText = 3 * kMaxPathText;

uint32_t GetU32(const uint8_t* channel, size_t offset);
void PutU32(uint8_t* channel, size_t offset, uint32_t value);

// Magic and version, written by Kelvo into a new channel; the helper
// refuses a channel that does not carry them.
void InitChannel(uint8_t* channel);
bool ChannelMatches(const uint8_t* channel);

void SetBusyName(uint8_t* channel, const char* name);
std::string BusyName(const uint8_t* channel);
void Heartbeat(uint8_t* channel);

// Appends to the payload area; ok() turns false (and stays) once an item
// does not fit. finish() stores the payload length in the header.
class PayloadWriter {
public:
    explicit PayloadWriter(uint8_t* channel) : channel_(channel) {}
    void U32(uint32_t value);
    void U64(uint64_t value);
    void Text(const std::string& text);
    // A count, then each text.
    void Texts(const std::vector<std::string>& texts);
    bool ok() const { return ok_; }
    bool finish();

private:
    void Bytes(const void* data, size_t size);
    uint8_t* channel_;
    size_t used_ = 0;
    bool ok_ = true;
};

// Reads the payload the header announces (never past the channel).
class PayloadReader {
public:
    explicit PayloadReader(const uint8_t* channel);
    bool U32(uint32_t* value);
    bool U64(uint64_t* value);
    // A text of 0..maxBytes bytes, with no NUL inside.
    bool Text(std::string* text, size_t maxBytes);
    // A count of at most maxCount, then that many texts as above.
    bool Texts(std::vector<std::string>* texts, uint32_t maxCount, size_t maxBytes);

private:
    bool Bytes(void* data, size_t size);
    const uint8_t* payload_;
    size_t size_;
    size_t at_ = 0;
};

// Module names: bare file names (no folder, no drive), 1 to 259 bytes.
bool IsBareModuleName(const std::string& name);
bool WriteNames(uint8_t* channel, const std::vector<std::string>& names);
bool ReadNames(const uint8_t* channel, std::vector<std::string>* names);

// The answer to kPicture with status kOk: the helper's handle of a file
// mapping of capacity bytes holding the format block at offset 0 and the
// pixel bits at PictureBitsOffset(formatBytes). The generation changes
// whenever the helper makes a new mapping; the same generation is the
// same mapping as before.
struct PictureAnswer {
    uint32_t mapping = 0;
    uint32_t generation = 0;
    uint32_t formatBytes = 0;
    uint64_t bitsBytes = 0;
    uint64_t capacity = 0;
};
bool WritePictureAnswer(uint8_t* channel, const PictureAnswer& answer);
// False unless the handle is non-zero, the format holds at least an info
// header and at most kMaxFormatBytes, the bits are 1 byte to 4 GB - 1 (no
// picture's bits, run-length streams included, can be more), and both fit
// the capacity.
bool ReadPictureAnswer(const uint8_t* channel, PictureAnswer* answer);
uint64_t PictureBitsOffset(uint32_t formatBytes);
// The answer's payload: three 32-bit numbers and two 64-bit ones.
constexpr size_t kPictureAnswerBytes = 3 * 4 + 2 * 8;
static_assert(kPictureAnswerBytes <= kPayloadCapacity, "a picture answer fits the payload");
static_assert(uint32_t(Request::kCodecPicture) == 7 && uint32_t(Status::kTooLarge) == 4,
              "request and status numbers are fixed: both sides of the channel rely on them");
static_assert(kFieldSerial == kFieldRequest + 4 && kFieldStatus == kFieldSerial + 4
                  && kFieldAnswered == kFieldStatus + 4 && kFieldPayloadBytes == kFieldAnswered + 4
                  && kFieldBusyBytes == kFieldPayloadBytes + 4
                  && kBusyNameOffset == kFieldBusyBytes + 4,
              "the header's numbers follow one another, 32 bits each");
static_assert(kMaxUtf8PathText + 4 <= kPayloadCapacity, "the longest path fits a request");
uint64_t PictureBytes(uint32_t formatBytes, uint64_t bitsBytes);

// The capacity of the mapping for a picture of needed bytes: the current
// one when it holds the picture and is at most four times its size (or at
// most kKeptMappingBytes), else needed rounded up to a whole MB.
constexpr uint64_t kKeptMappingBytes = 32ull << 20;
uint64_t PictureMappingCapacity(uint64_t current, uint64_t needed);

// The answer to kInfo: for each plug-in in table order, the strings its
// GetPluginInfo gives from number 2 on (pattern, description, pattern, ...).
bool WriteInfo(uint8_t* channel, const std::vector<std::vector<std::string>>& plugins);
bool ReadInfo(const uint8_t* channel, std::vector<std::vector<std::string>>* plugins);

}  // namespace spihost
