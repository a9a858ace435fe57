// The arguments WideCharToMultiByte accepts on each code page. Windows
// refuses WC_NO_BEST_FIT_CHARS and the default-character pointers on UTF-8
// (code page 65001, which is also the ANSI code page when "Use Unicode
// UTF-8 for worldwide language support" is on) and refuses any flag on a
// few stateful code pages; asking anyway fails every conversion.
#pragma once

// The Windows values, spelt out so that the rule builds without windows.h.
constexpr unsigned kCodePageAnsi = 0;        // CP_ACP
constexpr unsigned kCodePageUtf7 = 65000;    // CP_UTF7
constexpr unsigned kCodePageUtf8 = 65001;    // CP_UTF8
constexpr unsigned long kFlagNoBestFit = 0x400;      // WC_NO_BEST_FIT_CHARS
constexpr unsigned long kFlagErrInvalidChars = 0x80; // WC_ERR_INVALID_CHARS

struct AnsiConversion {
    // The code page to convert with: CP_ACP resolved to the system's ANSI
    // code page, so that a UTF-8 system gets the UTF-8 rules.
    unsigned codePage;
    unsigned long flags;
    // Pass a null default character and &usedDefault, and treat a used
    // default as a character the code page cannot hold. When false both
    // pointers must be null.
    bool checkUsedDefault;
    // The flags cannot stop best-fit replacements here: convert the result
    // back and compare to find a character the code page cannot hold.
    bool checkRoundTrip;
};

// The conversion of UTF-16 into codePage (kCodePageAnsi for the ANSI code
// page) on a system whose ANSI code page is systemAnsiCodePage.
AnsiConversion AnsiConversionFor(unsigned codePage, unsigned systemAnsiCodePage);
