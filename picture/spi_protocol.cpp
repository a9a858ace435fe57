// Channel layout and payload coding between Kelvo and its plug-in helper.
#include "picture/spi_protocol.h"

#include <algorithm>
#include <cstring>

namespace spihost {

namespace {

constexpr size_t kDibHeaderBytes = 40;

}  // namespace

uint32_t GetU32(const uint8_t* channel, size_t offset)
{
    const uint8_t* p = channel + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(uint8_t* channel, size_t offset, uint32_t value)
{
    uint8_t* p = channel + offset;
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

void InitChannel(uint8_t* channel)
{
    PutU32(channel, kFieldMagic, kMagic);
    PutU32(channel, kFieldVersion, kVersion);
}

bool ChannelMatches(const uint8_t* channel)
{
    return GetU32(channel, kFieldMagic) == kMagic && GetU32(channel, kFieldVersion) == kVersion;
}

void SetBusyName(uint8_t* channel, const char* name)
{
    size_t length = name ? std::strlen(name) : 0;
    if (length > kBusyNameCapacity)
        length = kBusyNameCapacity;
    std::memcpy(channel + kBusyNameOffset, name ? name : "", length);
    PutU32(channel, kFieldBusyBytes, uint32_t(length));
}

std::string BusyName(const uint8_t* channel)
{
    uint32_t length = GetU32(channel, kFieldBusyBytes);
    if (length > kBusyNameCapacity)
        return std::string();
    return std::string(reinterpret_cast<const char*>(channel + kBusyNameOffset), length);
}

void Heartbeat(uint8_t* channel)
{
    PutU32(channel, kFieldHeartbeat, GetU32(channel, kFieldHeartbeat) + 1);
}

void PayloadWriter::Bytes(const void* data, size_t size)
{
    if (!ok_ || size > kPayloadCapacity - used_) {
        ok_ = false;
        return;
    }
    std::memcpy(channel_ + kPayloadOffset + used_, data, size);
    used_ += size;
}

void PayloadWriter::U32(uint32_t value)
{
    uint8_t bytes[4];
    PutU32(bytes, 0, value);
    Bytes(bytes, sizeof bytes);
}

void PayloadWriter::U64(uint64_t value)
{
    U32(uint32_t(value));
    U32(uint32_t(value >> 32));
}

void PayloadWriter::Text(const std::string& text)
{
    if (text.size() > kPayloadCapacity) {
        ok_ = false;
        return;
    }
    U32(uint32_t(text.size()));
    Bytes(text.data(), text.size());
}

void PayloadWriter::Texts(const std::vector<std::string>& texts)
{
    U32(uint32_t(texts.size()));
    for (const std::string& text : texts)
        Text(text);
}

bool PayloadWriter::finish()
{
    PutU32(channel_, kFieldPayloadBytes, ok_ ? uint32_t(used_) : 0);
    return ok_;
}

PayloadReader::PayloadReader(const uint8_t* channel)
    : payload_(channel + kPayloadOffset), size_(GetU32(channel, kFieldPayloadBytes))
{
    if (size_ > kPayloadCapacity)
        size_ = 0;
}

bool PayloadReader::Bytes(void* data, size_t size)
{
    if (size > size_ - at_)
        return false;
    std::memcpy(data, payload_ + at_, size);
    at_ += size;
    return true;
}

bool PayloadReader::U32(uint32_t* value)
{
    uint8_t bytes[4];
    if (!Bytes(bytes, sizeof bytes))
        return false;
    *value = GetU32(bytes, 0);
    return true;
}

bool PayloadReader::U64(uint64_t* value)
{
    uint32_t low = 0, high = 0;
    if (!U32(&low) || !U32(&high))
        return false;
    *value = uint64_t(high) << 32 | low;
    return true;
}

bool PayloadReader::Text(std::string* text, size_t maxBytes)
{
    uint32_t length = 0;
    if (!U32(&length) || length > maxBytes || length > size_ - at_)
        return false;
    const char* start = reinterpret_cast<const char*>(payload_ + at_);
    if (std::memchr(start, '\0', length))
        return false;
    text->assign(start, length);
    at_ += length;
    return true;
}

bool PayloadReader::Texts(std::vector<std::string>* texts, uint32_t maxCount, size_t maxBytes)
{
    texts->clear();
    uint32_t count = 0;
    if (!U32(&count) || count > maxCount)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::string text;
        if (!Text(&text, maxBytes)) {
            texts->clear();
            return false;
        }
        texts->push_back(std::move(text));
    }
    return true;
}

bool IsBareModuleName(const std::string& name)
{
    return !name.empty() && name.size() < kBusyNameCapacity
           && name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

bool WriteNames(uint8_t* channel, const std::vector<std::string>& names)
{
    PayloadWriter out(channel);
    out.Texts(names);
    return names.size() <= kMaxNames && out.finish();
}

bool ReadNames(const uint8_t* channel, std::vector<std::string>* names)
{
    PayloadReader in(channel);
    if (in.Texts(names, kMaxNames, kBusyNameCapacity)
        && std::all_of(names->begin(), names->end(), IsBareModuleName))
        return true;
    names->clear();
    return false;
}

bool WritePictureAnswer(uint8_t* channel, const PictureAnswer& answer)
{
    PayloadWriter out(channel);
    out.U32(answer.mapping);
    out.U32(answer.generation);
    out.U32(answer.formatBytes);
    out.U64(answer.bitsBytes);
    out.U64(answer.capacity);
    return out.finish();
}

bool ReadPictureAnswer(const uint8_t* channel, PictureAnswer* answer)
{
    PayloadReader in(channel);
    PictureAnswer a;
    if (!in.U32(&a.mapping) || !in.U32(&a.generation) || !in.U32(&a.formatBytes)
        || !in.U64(&a.bitsBytes) || !in.U64(&a.capacity))
        return false;
    if (a.mapping == 0 || a.formatBytes < kDibHeaderBytes || a.formatBytes > kMaxFormatBytes
        || a.bitsBytes == 0 || a.bitsBytes > 0xFFFFFFFFull
        || PictureBytes(a.formatBytes, a.bitsBytes) > a.capacity)
        return false;
    *answer = a;
    return true;
}

uint64_t PictureBitsOffset(uint32_t formatBytes)
{
    return (uint64_t{formatBytes} + 15) & ~uint64_t{15};
}

uint64_t PictureBytes(uint32_t formatBytes, uint64_t bitsBytes)
{
    return PictureBitsOffset(formatBytes) + bitsBytes;
}

uint64_t PictureMappingCapacity(uint64_t current, uint64_t needed)
{
    if (needed <= current && (current <= kKeptMappingBytes || current / 4 <= needed))
        return current;
    constexpr uint64_t kMegabyte = 1u << 20;
    return (needed + kMegabyte - 1) / kMegabyte * kMegabyte;
}

bool WriteInfo(uint8_t* channel, const std::vector<std::vector<std::string>>& plugins)
{
    PayloadWriter out(channel);
    out.U32(uint32_t(plugins.size()));
    for (const auto& strings : plugins)
        out.Texts(strings);
    return out.finish();
}

bool ReadInfo(const uint8_t* channel, std::vector<std::vector<std::string>>* plugins)
{
    plugins->clear();
    PayloadReader in(channel);
    uint32_t count = 0;
    if (!in.U32(&count) || count > kMaxNames)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::vector<std::string> strings;
        if (!in.Texts(&strings, kMaxInfoStrings, kMaxInfoText)) {
            plugins->clear();
            return false;
        }
        plugins->push_back(std::move(strings));
    }
    return true;
}

}  // namespace spihost
