// The channel between Kelvo and its plug-in helper: the wire layout both
// builds (32- and 64-bit) must agree on, and the readers Kelvo runs over
// whatever a helper full of foreign code left in the channel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picture/spi_protocol.h"

namespace {

using namespace spihost;

struct Channel {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kChannelBytes, 0xCC);
    uint8_t* get() { return bytes.data(); }
    const uint8_t* payload() const { return bytes.data() + kPayloadOffset; }
};

TEST(SpiProtocol, APictureAnswerIsFixedWidthLittleEndianWithNoPointerSizedField)
{
    Channel c;
    PictureAnswer a;
    a.mapping = 0x1A4;
    a.generation = 2;
    a.formatBytes = 1064;
    a.bitsBytes = 0x12345678u;
    a.capacity = 0x100000000ull;
    ASSERT_TRUE(WritePictureAnswer(c.get(), a));
    const std::vector<uint8_t> wire = {
        0xA4, 0x01, 0, 0,  2, 0, 0, 0,  0x28, 0x04, 0, 0,
        0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0,  0, 0, 0, 0, 0x01, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(c.payload(), c.payload() + wire.size()), wire);
    EXPECT_EQ(GetU32(c.get(), kFieldPayloadBytes), wire.size());
    PictureAnswer back;
    ASSERT_TRUE(ReadPictureAnswer(c.get(), &back));
    EXPECT_EQ(back.mapping, a.mapping);
    EXPECT_EQ(back.generation, a.generation);
    EXPECT_EQ(back.bitsBytes, a.bitsBytes);
    EXPECT_EQ(back.capacity, a.capacity);
    EXPECT_EQ(PictureBitsOffset(1064), 1072u);
    EXPECT_EQ(PictureBitsOffset(1072), 1072u);
}

TEST(SpiProtocol, PictureAnswersThatCannotDescribeAPictureAreRefused)
{
    PictureAnswer sound;
    sound.mapping = 8;
    sound.formatBytes = 40;
    sound.bitsBytes = 24;
    sound.capacity = PictureBytes(40, 24);
    auto accepted = [](PictureAnswer a) {
        Channel c;
        WritePictureAnswer(c.get(), a);
        PictureAnswer back;
        return ReadPictureAnswer(c.get(), &back);
    };
    EXPECT_TRUE(accepted(sound));
    PictureAnswer a = sound;
    a.mapping = 0;
    EXPECT_FALSE(accepted(a)) << "no handle";
    a = sound;
    a.formatBytes = 39;
    EXPECT_FALSE(accepted(a)) << "no room for a header";
    a = sound;
    a.formatBytes = kMaxFormatBytes + 1;
    a.capacity = 1u << 20;
    EXPECT_FALSE(accepted(a)) << "format too long";
    a = sound;
    a.bitsBytes = 0;
    EXPECT_FALSE(accepted(a)) << "no bits";
    a = sound;
    a.bitsBytes = 1ull << 32;
    a.capacity = 1ull << 40;
    EXPECT_FALSE(accepted(a)) << "bits no header can describe";
    a = sound;
    a.capacity -= 1;
    EXPECT_FALSE(accepted(a)) << "picture past the mapping";
    // Cut short: the answer's length says less than the fields need.
    Channel c;
    WritePictureAnswer(c.get(), sound);
    PutU32(c.get(), kFieldPayloadBytes, 27);
    PictureAnswer back;
    EXPECT_FALSE(ReadPictureAnswer(c.get(), &back));
}

TEST(SpiProtocol, NamesAreBareModuleNamesAndReadersStayInsideTheChannel)
{
    Channel c;
    std::vector<std::string> names = {"ifstb.sph", "a.spi"};
    ASSERT_TRUE(WriteNames(c.get(), names));
    std::vector<std::string> back;
    ASSERT_TRUE(ReadNames(c.get(), &back));
    EXPECT_EQ(back, names);

    for (const std::string& bad :
         {std::string(), std::string("..\\evil.spi"), std::string("C:x.spi"),
          std::string("dir/x.spi"), std::string(260, 'n')}) {
        SCOPED_TRACE(bad);
        ASSERT_TRUE(WriteNames(c.get(), {bad}));
        EXPECT_FALSE(ReadNames(c.get(), &back));
        EXPECT_TRUE(back.empty());
    }
    // A length field past the channel reads as an empty payload; a text
    // length past the payload, or a count beyond the limit, is refused.
    WriteNames(c.get(), names);
    PutU32(c.get(), kFieldPayloadBytes, uint32_t(kPayloadCapacity + 1));
    EXPECT_FALSE(ReadNames(c.get(), &back));
    WriteNames(c.get(), names);
    PutU32(c.get(), kPayloadOffset + 4, 0xFFFFFFF0u);
    EXPECT_FALSE(ReadNames(c.get(), &back));
    PutU32(c.get(), kPayloadOffset, kMaxNames + 1);
    EXPECT_FALSE(ReadNames(c.get(), &back));
    // So is a payload too large to write.
    EXPECT_FALSE(WriteNames(c.get(), std::vector<std::string>(2000, std::string(200, 'x'))));
    EXPECT_EQ(GetU32(c.get(), kFieldPayloadBytes), 0u);

    SetBusyName(c.get(), "p1bad.spi");
    EXPECT_EQ(BusyName(c.get()), "p1bad.spi");
    SetBusyName(c.get(), nullptr);
    EXPECT_EQ(BusyName(c.get()), "");
    PutU32(c.get(), kFieldBusyBytes, uint32_t(kBusyNameCapacity + 1));
    EXPECT_EQ(BusyName(c.get()), "");
}

TEST(SpiProtocol, InfoTravelsPerPluginAndBrokenInfoIsRefused)
{
    Channel c;
    std::vector<std::vector<std::string>> info = {{"*.png", "PNG", "*.jpg;*.jpeg", "JPEG"}, {}};
    ASSERT_TRUE(WriteInfo(c.get(), info));
    std::vector<std::vector<std::string>> back;
    ASSERT_TRUE(ReadInfo(c.get(), &back));
    EXPECT_EQ(back, info);
    PutU32(c.get(), kPayloadOffset + 4, kMaxInfoStrings + 1);
    EXPECT_FALSE(ReadInfo(c.get(), &back));
    EXPECT_TRUE(back.empty());
    // A NUL inside a text is no text.
    WriteInfo(c.get(), info);
    c.bytes[kPayloadOffset + 12 + 1] = 0;
    EXPECT_FALSE(ReadInfo(c.get(), &back));
}

TEST(SpiProtocol, TheSharedMappingIsKeptWhileItsSizeSuitsThePicture)
{
    constexpr uint64_t MB = 1u << 20;
    EXPECT_EQ(PictureMappingCapacity(0, 6220840), 6 * MB);
    EXPECT_EQ(PictureMappingCapacity(6 * MB, 6220840), 6 * MB);
    EXPECT_EQ(PictureMappingCapacity(6 * MB, 100), 6 * MB);  // small: kept
    EXPECT_EQ(PictureMappingCapacity(6 * MB, 6 * MB + 1), 7 * MB);
    EXPECT_EQ(PictureMappingCapacity(400 * MB, 99 * MB), 99 * MB);  // far too large: new
    EXPECT_EQ(PictureMappingCapacity(400 * MB, 100 * MB), 400 * MB);
}

}  // namespace
