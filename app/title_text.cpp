// Title composition, kept apart from the window so it can be tested.
#include "app/title_text.h"

namespace {

const char16_t kProduct[] = u"Kelvo";
const char16_t kSeparator[] = u" --- ";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Appends src to out at *pos, leaving room for the terminator.
void Append(const char16_t* src, size_t limit, char16_t* out, size_t cap, size_t* pos)
{
    for (size_t i = 0; i < limit && src[i] && *pos + 1 < cap; ++i) {
        // A high surrogate whose partner would not fit is left out whole.
        if (IsHighSurrogate(src[i]) && *pos + 2 >= cap)
            break;
        out[(*pos)++] = src[i];
    }
}

}  // namespace

const char16_t* TitleNamePart(const char16_t* text)
{
    const char16_t* name = text;
    for (const char16_t* p = text; *p; ++p) {
        if (*p == u'\\')
            name = p + 1;
    }
    return name;
}

size_t ComposeMainTitle(const char16_t* text, char16_t* out, size_t outCapacity)
{
    if (outCapacity == 0)
        return 0;
    size_t pos = 0;
    Append(kProduct, sizeof kProduct / sizeof *kProduct, out, outCapacity, &pos);
    if (text) {
        Append(kSeparator, sizeof kSeparator / sizeof *kSeparator, out, outCapacity, &pos);
        // The name part has its own buffer of the same capacity.
        Append(TitleNamePart(text), kTitleCapacity - 1, out, outCapacity, &pos);
    }
    out[pos] = 0;
    return pos;
}
