// The WideCharToMultiByte arguments per code page, above all for UTF-8,
// where Windows fails a call with best-fit flags or default pointers.
#include "app/ansi_rule.h"

#include <gtest/gtest.h>

TEST(AnsiRule, Utf8TakesNoBestFitFlagNorDefaultPointers)
{
    for (unsigned systemCp : {932u, 1252u, 65001u}) {
        AnsiConversion c = AnsiConversionFor(kCodePageUtf8, systemCp);
        EXPECT_EQ(c.codePage, kCodePageUtf8);
        EXPECT_EQ(c.flags & kFlagNoBestFit, 0u);
        EXPECT_TRUE(c.flags == 0 || c.flags == kFlagErrInvalidChars);
        EXPECT_FALSE(c.checkUsedDefault);
    }
}

TEST(AnsiRule, AnsiCodePageThatIsUtf8GetsTheUtf8Rules)
{
    AnsiConversion c = AnsiConversionFor(kCodePageAnsi, 65001);
    EXPECT_EQ(c.codePage, kCodePageUtf8);
    EXPECT_TRUE(c.flags == 0 || c.flags == kFlagErrInvalidChars);
    EXPECT_FALSE(c.checkUsedDefault);
}

TEST(AnsiRule, DoubleAndSingleByteAnsiCodePagesRefuseBestFit)
{
    for (unsigned systemCp : {932u, 936u, 949u, 950u, 1250u, 1252u, 874u}) {
        AnsiConversion c = AnsiConversionFor(kCodePageAnsi, systemCp);
        EXPECT_EQ(c.codePage, systemCp);
        EXPECT_EQ(c.flags, kFlagNoBestFit);
        EXPECT_TRUE(c.checkUsedDefault);
        EXPECT_FALSE(c.checkRoundTrip);
    }
}

TEST(AnsiRule, FlaglessCodePagesCheckTheRoundTrip)
{
    for (unsigned cp : {42u, 50220u, 50229u, 57002u, 57011u}) {
        AnsiConversion c = AnsiConversionFor(cp, 932);
        EXPECT_EQ(c.flags, 0u) << cp;
        EXPECT_TRUE(c.checkRoundTrip) << cp;
    }
    AnsiConversion utf7 = AnsiConversionFor(kCodePageUtf7, 932);
    EXPECT_EQ(utf7.flags, 0u);
    EXPECT_FALSE(utf7.checkUsedDefault);
}
