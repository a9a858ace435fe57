// Lengths at a screen scale and the choice of toolbar images.
#include "app/dpi_scale.h"

#include <initializer_list>
#include <limits>

int32_t ScaleForDpi(int32_t length96, uint32_t dpi)
{
    if (dpi == 0)
        dpi = kDefaultDpi;
    int64_t scaled = (int64_t(length96) * dpi * 2 + (length96 < 0 ? -int64_t(kDefaultDpi) : int64_t(kDefaultDpi)))
                     / (2 * int64_t(kDefaultDpi));
    if (length96 > 0 && scaled < 1)
        scaled = 1;
    if (scaled > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (scaled < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(scaled);
}

ToolbarImages ChooseToolbarImages(uint32_t dpi)
{
    const int32_t wanted = ScaleForDpi(16, dpi);
    ToolbarImages best{16, 1};
    for (int32_t drawn : {16, 24, 32}) {
        int32_t factor = wanted / drawn;
        if (factor < 1)
            continue;
        // Later (larger) drawings replace an equal size.
        if (drawn * factor >= best.size())
            best = ToolbarImages{drawn, factor};
    }
    return best;
}
