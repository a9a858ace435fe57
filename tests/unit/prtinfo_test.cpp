// PRTINFO.CFG: the stored count, the file bytes, the round trip, and the
// refusal of truncated and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "print/prtinfo.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutWord(Bytes& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

uint16_t Word(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// A names block with the three names at the given offsets; the block ends
// right after the last NUL unless padding asks for more.
Bytes Names(uint16_t driverAt, const char* driver, uint16_t deviceAt, const char* device,
            uint16_t outputAt, const char* output, size_t padding = 0)
{
    size_t end = 0;
    for (auto [at, text] : {std::pair<uint16_t, const char*>{driverAt, driver},
                            {deviceAt, device}, {outputAt, output}})
        end = std::max(end, at + std::strlen(text) + 1);
    Bytes b(end + padding, 0);
    PutWord(b, 0, driverAt);
    PutWord(b, 2, deviceAt);
    PutWord(b, 4, outputAt);
    std::memcpy(&b[driverAt], driver, std::strlen(driver));
    std::memcpy(&b[deviceAt], device, std::strlen(device));
    std::memcpy(&b[outputAt], output, std::strlen(output));
    return b;
}

Bytes DevMode(size_t blockSize, uint16_t ownSize = 156, uint16_t driverExtra = 0)
{
    Bytes d(blockSize, 0);
    std::memcpy(&d[0], "PDF2", 4);
    PutWord(d, kDevModeSizeOffset, ownSize);
    PutWord(d, kDevModeDriverExtraOffset, driverExtra);
    for (size_t i = 44; i < blockSize; ++i)
        d[i] = uint8_t(i);
    return d;
}

Bytes Build(const Bytes& devMode, const Bytes& names)
{
    Bytes out(kPrtInfoMaxSize);
    size_t n = BuildPrtInfo(devMode.data(), devMode.size(), names.data(), names.size(), out.data(),
                            out.size());
    out.resize(n);
    return out;
}

// The loaded pair, or empty vectors when the file is refused.
std::pair<Bytes, Bytes> Load(const Bytes& file)
{
    PrtInfoLayout layout{};
    if (!CheckPrtInfo(file.data(), file.size(), &layout))
        return {};
    Bytes devMode(kDevModePublicSize, 0xEE), names(layout.nameCount + 1u, 0xEE);
    ExtractPrtInfo(file.data(), layout, devMode.data(), names.data());
    return {devMode, names};
}

TEST(PrtInfo, CountEndsAtTheOutputName)
{
    // Output name at offset 20, 5 characters: N = 25, a 183-byte file.
    Bytes names = Names(8, "drv", 12, "PDF1234", 20, "PDF:/");
    ASSERT_EQ(names.size(), 26u);
    EXPECT_EQ(PrtInfoNameCount(names.data(), names.size()), 25);
    EXPECT_EQ(PrtInfoFileSize(names.data(), names.size()), 183u);
    // Spare room after the names (a block rounded up) changes nothing.
    Bytes padded = Names(8, "drv", 12, "PDF1234", 20, "PDF:/", 40);
    EXPECT_EQ(PrtInfoNameCount(padded.data(), padded.size()), 25);
    // Empty output name: N is its offset.
    Bytes empty = Names(8, "winspool", 17, "PDF", 21, "");
    EXPECT_EQ(PrtInfoNameCount(empty.data(), empty.size()), 21);
}

TEST(PrtInfo, FileBytesAreCountDevModeAndNames)
{
    Bytes names = Names(8, "drv", 12, "PDF1234", 20, "PDF:/");
    Bytes devMode = DevMode(156 + 300, 156, 300);  // with private bytes behind
    Bytes file = Build(devMode, names);
    ASSERT_EQ(file.size(), 183u);
    EXPECT_EQ(Word(&file[0]), 25);
    EXPECT_TRUE(std::equal(file.begin() + 2, file.begin() + 158, devMode.begin()));
    EXPECT_TRUE(std::equal(file.begin() + 158, file.end(), names.begin()));
    EXPECT_EQ(std::string(file.end() - 5, file.end()), "PDF:/");
}

TEST(PrtInfo, ShortDevModeIsCompletedWithZeros)
{
    Bytes names = Names(8, "drv", 12, "dev", 16, "out");
    Bytes devMode = DevMode(100, 100);
    Bytes file = Build(devMode, names);
    ASSERT_EQ(file.size(), 158u + 19u);
    EXPECT_TRUE(std::equal(devMode.begin(), devMode.end(), file.begin() + 2));
    for (size_t i = 2 + 100; i < 158; ++i)
        EXPECT_EQ(file[i], 0) << i;
}

TEST(PrtInfo, RoundTripTerminatesNamesAndDropsPrivateBytes)
{
    Bytes names = Names(8, "winspool", 17, "PDF2", 22, "CUPS:PDF2");
    Bytes devMode = DevMode(156 + 64, 156, 64);
    auto [loadedMode, loadedNames] = Load(Build(devMode, names));
    ASSERT_EQ(loadedMode.size(), 156u);
    ASSERT_EQ(loadedNames.size(), names.size());  // N + 1
    EXPECT_EQ(loadedNames, names);
    EXPECT_EQ(loadedNames.back(), 0);
    // The file has no private bytes, so the loaded mode claims none.
    EXPECT_EQ(Word(&loadedMode[kDevModeDriverExtraOffset]), 0);
    Bytes expected(devMode.begin(), devMode.begin() + 156);
    PutWord(expected, kDevModeDriverExtraOffset, 0);
    EXPECT_EQ(loadedMode, expected);
    EXPECT_TRUE(DeviceNamesValid(loadedNames.data(), loadedNames.size()));
}

TEST(PrtInfo, NamesBlocksThatCannotBeStoredAreRefused)
{
    Bytes ok = Names(8, "a", 10, "b", 12, "c");
    Bytes unterminated = ok;
    unterminated.back() = 'x';  // output name runs to the end of the block
    Bytes intoHeader = ok;
    PutWord(intoHeader, 2, 4);
    Bytes pastEnd = ok;
    PutWord(pastEnd, 4, uint16_t(ok.size()));
    for (const Bytes& b : {unterminated, intoHeader, pastEnd}) {
        EXPECT_FALSE(DeviceNamesValid(b.data(), b.size()));
        EXPECT_EQ(PrtInfoFileSize(b.data(), b.size()), 0u);
        EXPECT_TRUE(Build(DevMode(156), b).empty());
    }
    EXPECT_FALSE(DeviceNamesValid(ok.data(), 8));
    EXPECT_FALSE(DeviceNamesValid(nullptr, 0));
    // A count beyond 16 bits cannot be written.
    Bytes huge(70000, 'n');
    PutWord(huge, 0, 8);
    PutWord(huge, 2, 8);
    PutWord(huge, 4, 65530);
    huge.back() = 0;
    EXPECT_EQ(PrtInfoNameCount(huge.data(), huge.size()), 0);
    // Too small an output buffer.
    Bytes out(20);
    EXPECT_EQ(BuildPrtInfo(DevMode(156).data(), 156, ok.data(), ok.size(), out.data(), out.size()),
              0u);
}

TEST(PrtInfo, TruncatedAndHostileFilesAreRefused)
{
    Bytes good = Build(DevMode(156), Names(8, "winspool", 17, "PDF", 21, "CUPS:PDF"));
    ASSERT_FALSE(Load(good).first.empty());

    std::vector<std::pair<std::string, Bytes>> bad;
    bad.push_back({"empty", {}});
    bad.push_back({"count only", Bytes(good.begin(), good.begin() + 2)});
    bad.push_back({"device mode cut", Bytes(good.begin(), good.begin() + 100)});
    bad.push_back({"names cut", Bytes(good.begin(), good.end() - 1)});
    Bytes longer = good;
    longer.push_back(0);
    bad.push_back({"longer than announced", longer});
    Bytes bigCount = good;
    PutWord(bigCount, 0, 0xFFFF);
    bad.push_back({"count far past the data", bigCount});
    Bytes tinyCount(kPrtInfoFixedSize + 4, 0);
    PutWord(tinyCount, 0, 4);
    PutWord(tinyCount, 2 + kDevModeSizeOffset, 156);
    bad.push_back({"count inside the names header", tinyCount});
    for (size_t field = 0; field < 3; ++field) {
        Bytes offset = good;
        PutWord(offset, kPrtInfoFixedSize + 2 * field, 0xFFF0);
        bad.push_back({"offset past the names " + std::to_string(field), offset});
        Bytes header = good;
        PutWord(header, kPrtInfoFixedSize + 2 * field, 2);
        bad.push_back({"offset into the header " + std::to_string(field), header});
    }
    Bytes oneBeyond = good;
    PutWord(oneBeyond, kPrtInfoFixedSize + 4, uint16_t(good.size() - kPrtInfoFixedSize + 1));
    bad.push_back({"offset one past the terminator", oneBeyond});
    Bytes modeTooBig = good;
    PutWord(modeTooBig, 2 + kDevModeSizeOffset, 0xFFFF);
    bad.push_back({"device mode larger than stored", modeTooBig});
    Bytes modeTooSmall = good;
    PutWord(modeTooSmall, 2 + kDevModeSizeOffset, 2);
    bad.push_back({"device mode without its fields", modeTooSmall});
    for (const auto& [what, file] : bad) {
        PrtInfoLayout layout{};
        EXPECT_FALSE(CheckPrtInfo(file.data(), file.size(), &layout)) << what;
    }

    // A hostile driver-extra count is neutralised rather than refused.
    Bytes extra = good;
    PutWord(extra, 2 + kDevModeDriverExtraOffset, 0xFFFF);
    auto [mode, names] = Load(extra);
    ASSERT_EQ(mode.size(), 156u);
    EXPECT_EQ(Word(&mode[kDevModeDriverExtraOffset]), 0);
    // An empty output name at the very end reads as the added terminator.
    Bytes emptyOutput = Build(DevMode(156), Names(8, "winspool", 17, "PDF", 21, ""));
    auto loaded = Load(emptyOutput);
    ASSERT_EQ(loaded.second.size(), 22u);
    EXPECT_EQ(loaded.second[21], 0);
}

TEST(PrtInfo, DevModeMadeConsistentForTheDriver)
{
    Bytes whole = DevMode(156 + 40, 156, 40);
    EXPECT_TRUE(MakeDevModeConsistent(whole.data(), whole.size()));
    EXPECT_EQ(Word(&whole[kDevModeDriverExtraOffset]), 40);  // private bytes all there
    Bytes cut = DevMode(156 + 40, 156, 41);
    EXPECT_TRUE(MakeDevModeConsistent(cut.data(), cut.size()));
    EXPECT_EQ(Word(&cut[kDevModeDriverExtraOffset]), 0);
    Bytes older = DevMode(156, 148, 8);  // an older, shorter public part
    EXPECT_TRUE(MakeDevModeConsistent(older.data(), older.size()));
    EXPECT_EQ(Word(&older[kDevModeDriverExtraOffset]), 8);
    Bytes beyond = DevMode(120, 156);
    EXPECT_FALSE(MakeDevModeConsistent(beyond.data(), beyond.size()));
    Bytes zero = DevMode(156, 0);
    EXPECT_FALSE(MakeDevModeConsistent(zero.data(), zero.size()));
    EXPECT_FALSE(MakeDevModeConsistent(zero.data(), 10));
}

}  // namespace
