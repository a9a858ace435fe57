// The reason a failed open names: chosen from the error of opening the
// file, the BMP reader's verdict on real bytes and the check of a
// plug-in's picture; and the message's form.
#include "picture/load_failure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A whole 2 x 2 24-bit BMP, to be damaged by the tests.
std::vector<uint8_t> SmallBmp()
{
    std::vector<uint8_t> f(14 + 40 + 16, 0);
    auto put32 = [&f](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
    auto put16 = [&f](size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, uint32_t(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    put16(26, 1);
    put16(28, 24);
    return f;
}

LoadFailure ReasonFor(const std::vector<uint8_t>& file)
{
    BmpPlan plan{};
    BmpStatus status = PlanBmpRead(file.data(), file.size(), &plan);
    EXPECT_NE(status, BmpStatus::kOk);
    return LoadFailureOfBmp(status);
}

}  // namespace

TEST(LoadFailure, FileErrorsTellMissingFromRefusedFromOtherErrors)
{
    EXPECT_EQ(LoadFailureOfFileError(2), LoadFailure::kMissing);    // file not found
    EXPECT_EQ(LoadFailureOfFileError(3), LoadFailure::kMissing);    // path not found
    EXPECT_EQ(LoadFailureOfFileError(123), LoadFailure::kMissing);  // invalid name
    EXPECT_EQ(LoadFailureOfFileError(5), LoadFailure::kAccessDenied);
    EXPECT_EQ(LoadFailureOfFileError(32), LoadFailure::kAccessDenied);  // sharing violation
    EXPECT_EQ(LoadFailureOfFileError(23), LoadFailure::kUnreadable);    // CRC error
    EXPECT_EQ(LoadFailureOfFileError(0), LoadFailure::kUnreadable);
    // A name past what the system takes is said to be too long, not missing.
    EXPECT_EQ(LoadFailureOfFileError(206), LoadFailure::kNameTooLong);
}

TEST(LoadFailure, NamesPastTheSystemsLimitAreToldFromMissingOnes)
{
    EXPECT_TRUE(NameTooLongForSystem(206, 20, true));
    // Without long paths, a long name comes back as "not found".
    EXPECT_TRUE(NameTooLongForSystem(3, 260, false));
    EXPECT_TRUE(NameTooLongForSystem(2, 300, false));
    EXPECT_FALSE(NameTooLongForSystem(3, 259, false));
    EXPECT_FALSE(NameTooLongForSystem(3, 300, true));
    EXPECT_FALSE(NameTooLongForSystem(5, 300, false));
}

TEST(LoadFailure, BmpReaderVerdictsOnRealBytes)
{
    std::vector<uint8_t> good = SmallBmp();
    BmpPlan plan{};
    ASSERT_EQ(PlanBmpRead(good.data(), good.size(), &plan), BmpStatus::kOk);

    // Text renamed .bmp, and an empty file: not a BMP at all.
    const char text[] = "not a picture\n";
    EXPECT_EQ(ReasonFor(std::vector<uint8_t>(text, text + sizeof text - 1)), LoadFailure::kNotBmp);
    EXPECT_EQ(ReasonFor({}), LoadFailure::kNotBmp);

    // Cut inside its headers, or pixels said to start past the end: damaged.
    EXPECT_EQ(ReasonFor(std::vector<uint8_t>(good.begin(), good.begin() + 20)),
              LoadFailure::kDamaged);
    std::vector<uint8_t> offset = good;
    offset[10] = 0xF0;
    EXPECT_EQ(ReasonFor(offset), LoadFailure::kDamaged);

    // The OS/2 header and a 2-bit depth are kinds the reader does not take.
    std::vector<uint8_t> core = good;
    core[14] = 12;
    EXPECT_EQ(ReasonFor(core), LoadFailure::kUnsupportedBmp);
    std::vector<uint8_t> depth = good;
    depth[28] = 2;
    EXPECT_EQ(ReasonFor(depth), LoadFailure::kUnsupportedBmp);

    // Wider than the reader takes.
    std::vector<uint8_t> wide = good;
    const uint32_t width = kBmpMaxDimension + 1;
    std::memcpy(&wide[18], &width, 4);
    EXPECT_EQ(ReasonFor(wide), LoadFailure::kTooLarge);
}

TEST(LoadFailure, PluginPicturesTooLargeAreTheFilesFaultTheRestThePlugins)
{
    EXPECT_EQ(LoadFailureOfPluginDib(PluginDibStatus::kTooLarge), LoadFailure::kTooLarge);
    EXPECT_EQ(LoadFailureOfPluginDib(PluginDibStatus::kBitsMissing), LoadFailure::kPluginFailed);
    EXPECT_EQ(LoadFailureOfPluginDib(PluginDibStatus::kNoHeader), LoadFailure::kPluginFailed);
}

TEST(LoadFailure, MessageStartsAsBeforeAndNamesFileAndReason)
{
    const std::wstring path = L"C:\\pics\\broken.bmp";
    std::wstring text = LoadFailedText(path, LoadFailure::kDamaged);
    EXPECT_EQ(text.rfind(L"読込に失敗しました( C:\\pics\\broken.bmp )\r\n\r\n", 0), 0u);
    EXPECT_EQ(text.substr(text.find(L"\r\n\r\n") + 4),
              std::wstring(LoadFailureReason(LoadFailure::kDamaged)));
    // Every reason is its own sentence.
    std::vector<std::wstring> seen;
    for (int i = int(LoadFailure::kMissing); i <= int(LoadFailure::kClipboard); ++i) {
        std::wstring reason = LoadFailureReason(LoadFailure(i));
        ASSERT_FALSE(reason.empty());
        for (const std::wstring& other : seen)
            EXPECT_NE(reason, other);
        seen.push_back(reason);
    }
}
