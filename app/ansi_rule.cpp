// The WideCharToMultiByte arguments per code page.
#include "app/ansi_rule.h"

namespace {

// Code pages on which Windows accepts no conversion flag at all.
bool TakesNoFlags(unsigned cp)
{
    switch (cp) {
    case 42:  // symbol
    case 50220: case 50221: case 50222: case 50225: case 50227: case 50229:
    case kCodePageUtf7:
        return true;
    default:
        return cp >= 57002 && cp <= 57011;
    }
}

}  // namespace

AnsiConversion AnsiConversionFor(unsigned codePage, unsigned systemAnsiCodePage)
{
    unsigned cp = codePage == kCodePageAnsi ? systemAnsiCodePage : codePage;
    if (cp == kCodePageUtf8) {
        // UTF-8 holds every character; the only failure is a lone
        // surrogate, which would otherwise become U+FFFD and name another
        // file. Windows allows this one flag on UTF-8.
        return {cp, kFlagErrInvalidChars, false, false};
    }
    if (cp == kCodePageUtf7)
        return {cp, 0, false, true};
    if (TakesNoFlags(cp))
        return {cp, 0, true, true};
    return {cp, kFlagNoBestFit, true, false};
}
