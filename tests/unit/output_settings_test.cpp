// The persisted output choices: which stored numbers and texts are taken,
// and the bytes written for a text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/output_settings.h"

namespace {

StoredValue Dword(const std::vector<uint8_t>& bytes, uint32_t type = kRegDword)
{
    return StoredValue{true, type, uint32_t(bytes.size()), bytes.data()};
}

size_t IndexOf(const char* name)
{
    for (size_t i = 0; i < kOutputNumberCount; ++i)
        if (std::string(kOutputNumbers[i].name) == name)
            return i;
    ADD_FAILURE() << name;
    return 0;
}

TEST(OutputNumbers, NamesAreNewBesideTheNineSettings)
{
    for (size_t i = 0; i < kOutputNumberCount; ++i)
        for (size_t j = 0; j < kSettingCount; ++j)
            EXPECT_NE(std::string(kOutputNumbers[i].name), kSettingLayouts[j].name);
    EXPECT_NE(std::string(kFolderValue), kPrefixValue);
}

TEST(OutputNumbers, StoredValuesInRangeAreTaken)
{
    const std::vector<uint8_t> one{1, 0, 0, 0}, two{2, 0, 0, 0};
    EXPECT_EQ(DecodeOutputNumber(IndexOf("OUTPUT"), Dword(one)), 1u);
    EXPECT_EQ(DecodeOutputNumber(IndexOf("SERIAL"), Dword(one)), 1u);
    EXPECT_EQ(DecodeOutputNumber(IndexOf("FORMAT"), Dword(one)), 1u);
    EXPECT_EQ(DecodeOutputNumber(IndexOf("COMPRESS"), Dword(two)), 2u);
    // A shorter value fills the low bytes, as with the nine settings.
    const std::vector<uint8_t> shortTwo{2};
    EXPECT_EQ(DecodeOutputNumber(IndexOf("COMPRESS"), Dword(shortTwo)), 2u);
}

TEST(OutputNumbers, MissingWrongTypeTooLongOrOutOfRangeReadsAsZero)
{
    const std::vector<uint8_t> one{1, 0, 0, 0};
    size_t output = IndexOf("OUTPUT");
    EXPECT_EQ(DecodeOutputNumber(output, StoredValue{false, kRegDword, 4, one.data()}), 0u);
    EXPECT_EQ(DecodeOutputNumber(output, Dword(one, kRegBinary)), 0u);
    EXPECT_EQ(DecodeOutputNumber(output, Dword(one, kRegSz)), 0u);
    EXPECT_EQ(DecodeOutputNumber(output, Dword({1, 0, 0, 0, 0})), 0u);
    EXPECT_EQ(DecodeOutputNumber(output, Dword({})), 0u);
    EXPECT_EQ(DecodeOutputNumber(output, Dword({2, 0, 0, 0})), 0u);
    EXPECT_EQ(DecodeOutputNumber(IndexOf("COMPRESS"), Dword({3, 0, 0, 0})), 0u);
    EXPECT_EQ(DecodeOutputNumber(IndexOf("SERIAL"), Dword({1, 0, 0, 1})), 0u);
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool terminated = true)
{
    std::vector<uint8_t> out;
    for (char16_t c : text) {
        out.push_back(uint8_t(c & 0xFF));
        out.push_back(uint8_t(c >> 8));
    }
    if (terminated) {
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

StoredValue Text(const std::vector<uint8_t>& bytes, uint32_t type = kRegSz)
{
    return StoredValue{true, type, uint32_t(bytes.size()), bytes.data()};
}

TEST(OutputTexts, AnyUtf16NameSurvivesTheRoundTrip)
{
    // Japanese, a character outside the BMP and one no code page of
    // Japanese Windows holds.
    const std::u16string name = u"C:\\写真\\\U0001F4F7\u00E9t\u00E9";
    std::vector<uint8_t> bytes = EncodeStoredText(name);
    EXPECT_EQ(bytes, Utf16Bytes(name));
    std::u16string read = u"old";
    EXPECT_TRUE(DecodeStoredText(Text(bytes), &read));
    EXPECT_EQ(read, name);
    EXPECT_EQ(EncodeStoredText(u""), (std::vector<uint8_t>{0, 0}));
}

TEST(OutputTexts, TextEndsAtTheFirstTerminatorOrTheData)
{
    std::u16string read;
    EXPECT_TRUE(DecodeStoredText(Text(Utf16Bytes(u"SHOT", false)), &read));
    EXPECT_EQ(read, u"SHOT");
    std::vector<uint8_t> two = Utf16Bytes(u"AB");
    std::vector<uint8_t> more = Utf16Bytes(u"CD");
    two.insert(two.end(), more.begin(), more.end());
    EXPECT_TRUE(DecodeStoredText(Text(two), &read));
    EXPECT_EQ(read, u"AB");
    EXPECT_TRUE(DecodeStoredText(Text({}), &read));
    EXPECT_EQ(read, u"");
}

TEST(OutputTexts, WrongTypeOddLengthOrTooLongReadsAsEmpty)
{
    std::u16string read = u"old";
    EXPECT_FALSE(DecodeStoredText(Text(Utf16Bytes(u"C:\\pic"), kRegBinary), &read));
    EXPECT_EQ(read, u"");
    read = u"old";
    EXPECT_FALSE(DecodeStoredText(Text(Utf16Bytes(u"C:\\pic"), 2 /* REG_EXPAND_SZ */), &read));
    EXPECT_EQ(read, u"");
    std::vector<uint8_t> odd = Utf16Bytes(u"C:");
    odd.push_back(0x41);
    EXPECT_FALSE(DecodeStoredText(Text(odd), &read));
    EXPECT_FALSE(DecodeStoredText(StoredValue{false, kRegSz, 0, nullptr}, &read));

    std::u16string longest(kLongestStoredText, u'a');
    EXPECT_TRUE(DecodeStoredText(Text(Utf16Bytes(longest)), &read));
    EXPECT_EQ(read.size(), kLongestStoredText);
    EXPECT_EQ(Utf16Bytes(longest).size(), kStoredTextBytes);
    std::u16string tooLong(kLongestStoredText + 1, u'a');
    EXPECT_FALSE(DecodeStoredText(Text(Utf16Bytes(tooLong, false)), &read));
    EXPECT_EQ(read, u"");
    // Never more than the longest text is written.
    EXPECT_EQ(EncodeStoredText(tooLong).size(), kStoredTextBytes);
}

}  // namespace
