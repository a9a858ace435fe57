// Smooth scaling of a picture's pixels for the zoomed view.
//
// Both directions work the same way. Destination pixel d covers source
// coordinates [d * S, (d + 1) * S) and source pixel s covers [s * D,
// (s + 1) * D), counted in 1/D-ths of a source pixel (S and D the source
// and destination sizes), so every overlap is a whole number and the
// overlaps of one destination pixel add up to S.
#include "app/area_scale.h"

namespace {

constexpr int kChannels = 3;

uint32_t Channel(uint32_t pixel, int c)
{
    return (pixel >> (8 * c)) & 0xFF;
}

}  // namespace

AreaScaler::AreaScaler(int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth,
                       int32_t destHeight, uint32_t* dest)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      destWidth_(destWidth),
      destHeight_(destHeight),
      dest_(dest),
      rowSums_(size_t(destWidth) * kChannels),
      across_(size_t(destWidth) * kChannels),
      sums_(size_t(destWidth) * kChannels)
{
    // Walk both sets of column edges together; each step is the overlap
    // up to the nearer edge. There are fewer than S + D steps.
    overlaps_.reserve(size_t(sourceWidth_ + destWidth_));
    int64_t pos = 0, destEnd = sourceWidth_, sourceEnd = destWidth_;
    int64_t s = 0, d = 0;
    while (d < destWidth_) {
        int64_t next = destEnd < sourceEnd ? destEnd : sourceEnd;
        if (next > pos)
            overlaps_.push_back(Overlap{uint32_t(s), uint32_t(d), uint32_t(next - pos)});
        pos = next;
        if (pos == sourceEnd) {
            ++s;
            sourceEnd += destWidth_;
        }
        if (pos == destEnd) {
            ++d;
            destEnd += sourceWidth_;
        }
    }
}

void AreaScaler::ScaleRowAcross(const uint32_t* row)
{
    for (uint64_t& sum : rowSums_)
        sum = 0;
    for (const Overlap& o : overlaps_) {
        uint32_t pixel = row[o.source];
        uint64_t* sum = &rowSums_[size_t(o.dest) * kChannels];
        for (int c = 0; c < kChannels; ++c)
            sum[c] += uint64_t(Channel(pixel, c)) * o.weight;
    }
    // In 256ths, rounded: at most 255 * 256, whatever the widths.
    uint64_t whole = uint64_t(sourceWidth_);
    for (size_t i = 0; i < rowSums_.size(); ++i)
        across_[i] = uint32_t(((rowSums_[i] << 8) + whole / 2) / whole);
}

void AreaScaler::AddRow(const uint32_t* row)
{
    if (sourceRow_ >= sourceHeight_)
        return;
    ScaleRowAcross(row);
    // This source row covers [top, bottom) in the same units as the
    // destination rows' [destRow * S, (destRow + 1) * S).
    int64_t top = sourceRow_ * destHeight_, bottom = top + destHeight_;
    ++sourceRow_;
    while (destRow_ < destHeight_) {
        int64_t destTop = destRow_ * sourceHeight_, destBottom = destTop + sourceHeight_;
        int64_t from = destTop > top ? destTop : top;
        int64_t to = destBottom < bottom ? destBottom : bottom;
        if (to > from) {
            uint64_t weight = uint64_t(to - from);
            for (size_t i = 0; i < sums_.size(); ++i)
                sums_[i] += uint64_t(across_[i]) * weight;
        }
        if (destBottom > bottom)
            break;  // the next source row goes on filling this one
        uint64_t whole = uint64_t(sourceHeight_) << 8;
        uint32_t* out = dest_ + destRow_ * destWidth_;
        for (int64_t x = 0; x < destWidth_; ++x) {
            uint32_t pixel = 0;
            for (int c = 0; c < kChannels; ++c) {
                uint64_t& sum = sums_[size_t(x) * kChannels + c];
                pixel |= uint32_t((sum + whole / 2) / whole) << (8 * c);
                sum = 0;
            }
            out[x] = pixel;
        }
        ++destRow_;
    }
}

void ScaleAreaAverage(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                      uint32_t* dest, int32_t destWidth, int32_t destHeight)
{
    AreaScaler scaler(sourceWidth, sourceHeight, destWidth, destHeight, dest);
    for (int32_t y = 0; y < sourceHeight; ++y)
        scaler.AddRow(source + int64_t(y) * sourceWidth);
}
