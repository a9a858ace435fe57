// Serial file names, the search for a free number, the format a saved
// name asks for, the trailing-backslash rule in Shift-JIS, and the folder
// a replacing file is made in.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "picture/serial_name.h"

namespace {

const LocalMoment kMoment{2026, 12, 8, 9, 15, 0};

std::wstring Name(const wchar_t* folder, const wchar_t* prefix, uint16_t number,
                  PictureFormat format = PictureFormat::kBmp)
{
    return SerialFileNameOf(folder, prefix, number, format, kMoment);
}

TEST(SerialName, FolderAndPrefixMakeNumberedBmpNames)
{
    EXPECT_EQ(SerialBaseNameOf(L"C:\\pic", L"cap"), L"C:\\pic\\cap");
    EXPECT_EQ(Name(L"C:\\pic", L"cap", 1), L"C:\\pic\\cap0001.BMP");
    EXPECT_EQ(Name(L"C:\\pic", L"cap", 10), L"C:\\pic\\cap0010.BMP");
    EXPECT_EQ(Name(L"C:\\pic", L"cap", 9999), L"C:\\pic\\cap9999.BMP");
    EXPECT_EQ(Name(L"C:\\pic", L"cap", 10000), L"C:\\pic\\cap10000.BMP");
    EXPECT_EQ(Name(L"C:\\pic", L"cap", 65535), L"C:\\pic\\cap65535.BMP");
    uint16_t counter = 65535;
    ++counter;  // the 16-bit counter wraps
    EXPECT_EQ(Name(L"C:\\pic", L"cap", counter), L"C:\\pic\\cap0000.BMP");
}

TEST(SerialName, PngNamesAndTheFormatASavedNameAsksFor)
{
    EXPECT_EQ(Name(L"C:\\", L"cap", 7, PictureFormat::kPng), L"C:\\cap0007.PNG");
    EXPECT_STREQ(SerialExtension(PictureFormat::kBmp), ".BMP");

    const PictureFormat bmp = PictureFormat::kBmp, png = PictureFormat::kPng,
                        jpeg = PictureFormat::kJpeg;
    auto formatOf = [](const wchar_t* name, PictureFormat chosen) {
        return FormatForFileName(std::wstring(name), chosen);
    };
    EXPECT_EQ(formatOf(L"C:\\a\\shot.png", bmp), png);
    EXPECT_EQ(formatOf(L"C:\\a\\shot.PnG", bmp), png);
    EXPECT_EQ(formatOf(L"C:\\a\\shot.BMP", png), bmp);
    EXPECT_EQ(formatOf(L"C:\\a\\shot.jpg", png), jpeg);
    EXPECT_EQ(formatOf(L"C:\\a\\shot.JPEG", bmp), jpeg);
    // Other names take the type chosen in the dialog.
    EXPECT_EQ(formatOf(L"C:\\a\\shot.gif", png), png);
    EXPECT_EQ(formatOf(L"C:\\a.png\\shot", jpeg), jpeg);
    EXPECT_EQ(formatOf(L"C:\\a\\shotpng", bmp), bmp);
    EXPECT_EQ(formatOf(L"png", bmp), bmp);
}

// The serial road against a folder of existing numbers.
struct Folder {
    std::set<uint16_t> taken;
    std::vector<uint16_t> tried;
    uint16_t failing = 0xFFFF;
    bool failingSet = false;
    SerialTry operator()(uint16_t n)
    {
        tried.push_back(n);
        if (failingSet && n == failing)
            return SerialTry::kFailed;
        if (!taken.insert(n).second)
            return SerialTry::kExists;
        return SerialTry::kWritten;
    }
};

TEST(SerialName, ExistingFilesAreSkippedNeverReplaced)
{
    Folder folder;
    folder.taken = {1, 2, 4};
    uint16_t counter = 0;
    auto next = [&] { return WriteNextSerialFile(&counter, std::ref(folder)); };
    EXPECT_EQ(next(), SerialTry::kWritten);
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(next(), SerialTry::kWritten);
    EXPECT_EQ(counter, 5);
    EXPECT_EQ(folder.tried, (std::vector<uint16_t>{1, 2, 3, 4, 5}));

    // A failure for another reason ends the search; its number stays used.
    folder.failing = 6;
    folder.failingSet = true;
    EXPECT_EQ(next(), SerialTry::kFailed);
    EXPECT_EQ(counter, 6);
    EXPECT_EQ(next(), SerialTry::kWritten);
    EXPECT_EQ(counter, 7);

    // Past 65535 the numbers wrap to 0 and go on past the taken ones.
    counter = 65534;
    folder.taken.insert(65535);
    EXPECT_EQ(next(), SerialTry::kWritten);
    EXPECT_EQ(counter, 0);
}

TEST(SerialName, AFullCycleWithoutAFreeNumberEnds)
{
    Folder folder;
    for (uint32_t n = 0; n < 0x10000; ++n)
        folder.taken.insert(uint16_t(n));
    uint16_t counter = 1234;
    EXPECT_EQ(WriteNextSerialFile(&counter, std::ref(folder)), SerialTry::kExists);
    EXPECT_EQ(counter, 1234);
    EXPECT_EQ(folder.tried.size(), 0x10000u);
    EXPECT_EQ(std::set<uint16_t>(folder.tried.begin(), folder.tried.end()).size(), 0x10000u);
}

TEST(SerialName, BackslashIsAddedOnlyWhenMissing)
{
    EXPECT_EQ(SerialBaseNameOf(L"C:\\pic\\", L"cap"), L"C:\\pic\\cap");
    EXPECT_EQ(SerialBaseNameOf(L"C:\\", L""), L"C:\\");
    EXPECT_EQ(SerialBaseNameOf(L"", L"cap"), L"\\cap");
    EXPECT_EQ(SerialBaseNameOf(L"", L""), L"\\");
}

TEST(SerialName, FolderOfAPathIsWhereItsReplacementIsMade)
{
    EXPECT_EQ(FolderOfPath(L"C:\\pic\\old.bmp"), L"C:\\pic");
    EXPECT_EQ(FolderOfPath(L"C:\\old.bmp"), L"C:\\");
    EXPECT_EQ(FolderOfPath(L"C:old.bmp"), L"C:");
    EXPECT_EQ(FolderOfPath(L"old.bmp"), L".");
    EXPECT_EQ(FolderOfPath(L"\\old.bmp"), L"\\");
    EXPECT_EQ(FolderOfPath(L"\\\\server\\share\\old.png"), L"\\\\server\\share");
    EXPECT_EQ(FolderOfPath(L"pic/old.png"), L"pic");
    // "表" (U+8868) is 0x95 0x5C in Shift-JIS; as UTF-16 it is no separator.
    EXPECT_EQ(FolderOfPath(L"C:\\\u8868\\\u8868.bmp"), L"C:\\\u8868");
}

TEST(SerialName, ShiftJisTrailByteIsNotABackslash)
{
    // "表" is 0x95 0x5C in Shift-JIS: its second byte is the backslash byte.
    const char hyo[] = "C:\\\x95\x5C";
    EXPECT_FALSE(EndsWithBackslash(hyo, true));
    EXPECT_TRUE(EndsWithBackslash(hyo, false));
    EXPECT_TRUE(EndsWithBackslash("C:\\\x95\x5C\\", true));
    // Half-width katakana (0xA1..0xDF) are single bytes.
    EXPECT_TRUE(EndsWithBackslash("\xB6\\", true));
    // A lead byte cut off at the end does not swallow anything.
    EXPECT_FALSE(EndsWithBackslash("ab\x95", true));
    EXPECT_FALSE(EndsWithBackslash("", true));
    EXPECT_TRUE(IsShiftJisLeadByte(0x81));
    EXPECT_TRUE(IsShiftJisLeadByte(0x9F));
    EXPECT_TRUE(IsShiftJisLeadByte(0xE0));
    EXPECT_TRUE(IsShiftJisLeadByte(0xFC));
    EXPECT_FALSE(IsShiftJisLeadByte(0x80));
    EXPECT_FALSE(IsShiftJisLeadByte(0xA0));
    EXPECT_FALSE(IsShiftJisLeadByte(0xDF));
    EXPECT_FALSE(IsShiftJisLeadByte(0x5C));
}

}  // namespace

TEST(SerialName, ProposedSaveNameIsTheMomentAndTheFormatsExtension)
{
    EXPECT_EQ(ProposedSaveName({2026, 12, 8, 9, 15, 0}, PictureFormat::kBmp), "20261208-091500.bmp");
    EXPECT_EQ(ProposedSaveName({2027, 1, 31, 23, 59, 59}, PictureFormat::kPng), "20270131-235959.png");
    // A clock out of range still gives a name of the same shape.
    EXPECT_EQ(ProposedSaveName({12345, 0, 40, -1, 60, 99}, PictureFormat::kBmp), "99990131-005959.bmp");
}

TEST(SerialName, ChangingTheFileTypeChangesOnlyAPictureExtension)
{
    EXPECT_EQ(NameForFileType(L"20261208-091500.bmp", PictureFormat::kPng), L"20261208-091500.png");
    EXPECT_EQ(NameForFileType(L"shot.PNG", PictureFormat::kBmp), L"shot.bmp");
    EXPECT_EQ(NameForFileType(L"shot.png", PictureFormat::kPng), L"shot.png");
    EXPECT_EQ(NameForFileType(L"shot.txt", PictureFormat::kPng), L"shot.txt");
    EXPECT_EQ(NameForFileType(L"shot", PictureFormat::kPng), L"shot");
    EXPECT_EQ(NameForFileType(L".bmp", PictureFormat::kPng), L".png");
    EXPECT_EQ(NameForFileType(L"", PictureFormat::kPng), L"");
    EXPECT_EQ(NameForFileType(L"shot.png", PictureFormat::kJpeg), L"shot.jpg");
    EXPECT_EQ(NameForFileType(L"shot.JPEG", PictureFormat::kBmp), L"shot.bmp");
    EXPECT_EQ(NameForFileType(L"C:\\a.png\\shot", PictureFormat::kJpeg), L"C:\\a.png\\shot");
}

TEST(SerialNameWide, BaseAndFileNamesKeepEveryCharacterAndLength)
{
    // No code page: a trailing backslash is a backslash, and no length is
    // too long to compose.
    EXPECT_EQ(SerialBaseNameOf(L"C:\\\xD842\xDFB7", L"\xD83D\xDE00"), L"C:\\\xD842\xDFB7\\\xD83D\xDE00");
    EXPECT_EQ(SerialBaseNameOf(L"C:\\", L"cap"), L"C:\\cap");
    EXPECT_EQ(SerialBaseNameOf(L"", L"cap"), L"\\cap");
    std::wstring deep(400, L'\xD55C');
    EXPECT_EQ(SerialBaseNameOf(deep, L"p").size(), 402u);
    EXPECT_EQ(Name(L"C:\\a", L"cap", 7), L"C:\\a\\cap0007.BMP");
    EXPECT_EQ(Name(L"x", L"\xD83D\xDE00", 65535, PictureFormat::kPng), L"x\\\xD83D\xDE00" L"65535.PNG");
    EXPECT_EQ(Name(L"x", L"", 0), L"x\\0000.BMP");
}

TEST(SerialNameWide, SaveNameExtensionPicksTheFormat)
{
    EXPECT_EQ(FormatForFileName(std::wstring(L"C:\\\xD842\xDFB7.PnG"), PictureFormat::kBmp),
              PictureFormat::kPng);
    EXPECT_EQ(FormatForFileName(std::wstring(L"a.bmp"), PictureFormat::kPng), PictureFormat::kBmp);
    EXPECT_EQ(FormatForFileName(std::wstring(L"a.gif"), PictureFormat::kPng), PictureFormat::kPng);
}

TEST(SerialNameWide, PrefixTokensNameTheMomentAndTheNumber)
{
    const LocalMoment moment{2026, 3, 7, 9, 5, 2};
    const PictureFormat png = PictureFormat::kPng, bmp = PictureFormat::kBmp;
    EXPECT_EQ(SerialFileNameOf(L"C:\\pic", L"%Y%m%d-%H%M%S_%n", 7, png, moment),
              L"C:\\pic\\20260307-090502_0007.PNG");
    // Without %n the number follows the prefix, as without tokens.
    EXPECT_EQ(SerialFileNameOf(L"C:\\pic", L"cap%Y-", 12, bmp, moment), L"C:\\pic\\cap2026-0012.BMP");
    EXPECT_EQ(SerialFileNameOf(L"C:\\pic", L"%n-%d", 10000, bmp, moment), L"C:\\pic\\10000-07.BMP");
    // A prefix without tokens, and a "%" in the folder, stay as they are.
    EXPECT_EQ(SerialFileNameOf(L"C:\\100%Y", L"cap%x%", 1, bmp, moment),
              L"C:\\100%Y\\cap%x%0001.BMP");
    EXPECT_EQ(SerialNamePatternOf(L"C:\\pic", L"%H%M_%n", png, moment), L"C:\\pic\\0905_####.PNG");
}
