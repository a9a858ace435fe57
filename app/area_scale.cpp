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

// n / d rounded half up, for quotients below 2^16, with 2n + d and
// 2^17 * d below 2^64. A hardware division for each pixel and channel
// would take most of the time of a zoomed paint; a floating-point estimate
// is off by one at most, and whole-number checks put it right.
uint64_t RoundedQuotient(uint64_t n, uint64_t d, double inverse)
{
    uint64_t twice = 2 * n + d;  // the answer is twice / (2d), truncated
    uint64_t q = uint64_t(double(n) * inverse + 0.5);
    if (q * 2 * d > twice)
        --q;
    else if ((q + 1) * 2 * d <= twice)
        ++q;
    return q;
}

// Beyond these a sum could overflow: a row's sums are kept in 32 bits,
// the whole picture's in 64.
constexpr int64_t kWideRowLimit = int64_t(1) << 24;
constexpr uint64_t kWholeSumLimit = uint64_t(1) << 54;

}  // namespace

AreaScaler::AreaScaler(int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth,
                       int32_t destHeight, uint32_t* dest)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      destWidth_(destWidth),
      destHeight_(destHeight),
      dest_(dest),
      across_(size_t(destWidth) * kChannels),
      sums_(size_t(destWidth) * kChannels)
{
    // Summed whole, a destination pixel's channel reaches 255 * S across
    // a row and 255 * S * S' down the picture (the weights across add up
    // to the source width S, those down to its height S').
    uint64_t area = uint64_t(sourceWidth_) * uint64_t(sourceHeight_);
    rowsInSteps_ = area >= kWholeSumLimit || sourceWidth_ >= kWideRowLimit;
    finalDivisor_ = rowsInSteps_ ? uint64_t(sourceHeight_) << 8 : area;
    finalInverse_ = 1.0 / double(finalDivisor_);
    rowInverse_ = 1.0 / double(sourceWidth_);
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
    // The overlaps come in destination order: each destination pixel's
    // sums stay in registers until its last one.
    const Overlap* o = overlaps_.data();
    const Overlap* end = o + overlaps_.size();
    while (o < end) {
        uint32_t dest = o->dest;
        uint64_t c0 = 0, c1 = 0, c2 = 0;
        do {
            uint32_t pixel = row[o->source];
            uint64_t weight = o->weight;
            c0 += uint64_t(pixel & 0xFF) * weight;
            c1 += uint64_t((pixel >> 8) & 0xFF) * weight;
            c2 += uint64_t((pixel >> 16) & 0xFF) * weight;
            ++o;
        } while (o < end && o->dest == dest);
        uint32_t* sum = &across_[size_t(dest) * kChannels];
        if (rowsInSteps_) {
            // In 256ths of a level, rounded: at most 255 * 256.
            uint64_t width = uint64_t(sourceWidth_);
            c0 = RoundedQuotient(c0 << 8, width, rowInverse_);
            c1 = RoundedQuotient(c1 << 8, width, rowInverse_);
            c2 = RoundedQuotient(c2 << 8, width, rowInverse_);
        }
        sum[0] = uint32_t(c0);
        sum[1] = uint32_t(c1);
        sum[2] = uint32_t(c2);
    }
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
            uint32_t weight = uint32_t(to - from);
            const uint32_t* across = across_.data();
            uint64_t* sums = sums_.data();
            for (size_t i = 0, n = sums_.size(); i < n; ++i)
                sums[i] += uint64_t(across[i]) * weight;
        }
        if (destBottom > bottom)
            break;  // the next source row goes on filling this one
        uint32_t* out = dest_ + destRow_ * destWidth_;
        for (int64_t x = 0; x < destWidth_; ++x) {
            uint32_t pixel = 0;
            for (int c = 0; c < kChannels; ++c) {
                uint64_t& sum = sums_[size_t(x) * kChannels + c];
                pixel |= uint32_t(RoundedQuotient(sum, finalDivisor_, finalInverse_)) << (8 * c);
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
