// The execute command of the DDE service: what matches "print", and that
// nothing beyond the received bytes is read.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "print/dde_command.h"

namespace {

// The bytes in a heap block of exactly their size, so that the sanitizer
// (or valgrind) catches a read past them.
bool Matches(const std::string& bytes)
{
    std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    return IsPrintCommand(block.get(), bytes.size());
}

std::string Terminated(const char* text) { return std::string(text, std::strlen(text) + 1); }

TEST(DdeCommand, PrintInAnyLetterCase)
{
    for (const char* word : {"print", "PRINT", "Print", "pRiNt", "PRINt"})
        EXPECT_TRUE(Matches(Terminated(word))) << word;
}

TEST(DdeCommand, AnythingElseIsRefused)
{
    for (const char* text : {"print x", "[print]", "print ", " print", "prin", "printer",
                             "prints", "", "PRINT\t", "p rint", "[PRINT]"})
        EXPECT_FALSE(Matches(Terminated(text))) << text;
    // Letters that fold to ASCII only in other code pages do not match.
    EXPECT_FALSE(Matches(Terminated("pr\xc4\xb1nt")));
    EXPECT_FALSE(Matches(Terminated("\x83p\x83\x8a\x83\x93\x83g")));
}

TEST(DdeCommand, CommandEndsAtTheFirstNulOrTheEndOfTheData)
{
    // Five letters without a terminator: taken as the whole command.
    EXPECT_TRUE(Matches("print"));
    EXPECT_TRUE(Matches("PRINT"));
    // Bytes behind the terminator are not part of the command.
    EXPECT_TRUE(Matches(std::string("print\0xyz", 9)));
    EXPECT_TRUE(Matches(std::string("print\0\0\0", 8)));
    // Eight bytes without any NUL, and shorter pieces of the word.
    EXPECT_FALSE(Matches("printxyz"));
    EXPECT_FALSE(Matches("print xy"));
    EXPECT_FALSE(Matches("prin"));
    EXPECT_FALSE(Matches(std::string("pri\0t", 5)));
    EXPECT_FALSE(Matches(""));
    EXPECT_FALSE(IsPrintCommand(nullptr, 0));
    EXPECT_FALSE(IsPrintCommand(nullptr, 6));
    // A long text is refused whatever follows.
    EXPECT_FALSE(Matches(std::string(4096, 'p')));
    EXPECT_FALSE(Matches("printprintprintprint"));
}

}  // namespace
