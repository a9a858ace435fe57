// Throughput of the picture code on screen-sized input: RLE8 and RLE4
// encoding and decoding of a 1920 x 1080 screen, and reading a 3840 x 2160
// 24-bit BMP file the way the loader does (map, plan, allocate, build).
// Writes its input files into the given folder so that
// run_picture_bench.sh can time outside programs on the same files.
//
//   kelvo_picture_bench <folder>
//
// MB is 10^6 bytes. Figures are medians of repeated runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/screen_picture.h"
#include "bench/median_time.h"
#include "picture/bmp_file.h"
#include "picture/bmp_reader.h"
#include "picture/dib_rules.h"
#include "picture/rle.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <class F>
double MedianSeconds(F&& run)
{
    return bench::MedianSeconds(run, 7, 1.5, 2000);
}

void Report(const char* what, double bytes, double seconds)
{
    std::printf("%-44s %9.1f MB/s  (%.3f ms)\n", what, bytes / seconds / 1e6, seconds * 1e3);
}

// Bottom-up padded rows of the picture at 8 bits, or at 4 bits with each
// colour reduced to one of 16 grey levels.
Bytes Rows(const bench::ScreenPicture& s, unsigned bits, Bytes* palette)
{
    const uint64_t stride = DibRowSize(s.width, uint16_t(bits));
    Bytes rows(size_t(stride * s.height), 0);
    palette->clear();
    if (bits == 8) {
        *palette = s.palette;
    } else {
        for (int i = 0; i < 16; ++i)
            palette->insert(palette->end(), {uint8_t(i * 17), uint8_t(i * 17), uint8_t(i * 17), 0});
    }
    for (uint32_t y = 0; y < s.height; ++y) {
        uint8_t* row = &rows[size_t((s.height - 1 - y) * stride)];
        for (uint32_t x = 0; x < s.width; ++x) {
            const uint8_t v = s.index[size_t(y) * s.width + x];
            if (bits == 8) {
                row[x] = v;
            } else {
                const uint8_t* c = &s.palette[4 * v];
                const uint8_t grey = uint8_t((c[0] * 29 + c[1] * 150 + c[2] * 77) >> 12);
                row[x / 2] |= uint8_t(grey << (x % 2 ? 0 : 4));
            }
        }
    }
    return rows;
}

Bytes PackedDib(uint32_t w, uint32_t h, uint16_t bits, uint32_t compression, const Bytes& palette,
                const Bytes& bits_, uint32_t sizeImage)
{
    DibHeader hd{};
    hd.biSize = sizeof hd;
    hd.biWidth = int32_t(w);
    hd.biHeight = int32_t(h);
    hd.biPlanes = 1;
    hd.biBitCount = bits;
    hd.biCompression = compression;
    hd.biSizeImage = sizeImage;
    hd.biClrUsed = uint32_t(palette.size() / 4);
    Bytes dib(sizeof hd);
    std::memcpy(dib.data(), &hd, sizeof hd);
    dib.insert(dib.end(), palette.begin(), palette.end());
    dib.insert(dib.end(), bits_.begin(), bits_.end());
    return dib;
}

bool WriteBmp(const std::string& path, const Bytes& dib)
{
    DibHeader hd;
    std::memcpy(&hd, dib.data(), sizeof hd);
    uint8_t header[kBmpFileHeaderSize];
    uint32_t length = 0;
    if (!BuildBmpFileHeader(&hd, dib.size(), header, &length))
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header &&
              std::fwrite(dib.data(), 1, length, f) == length;
    return std::fclose(f) == 0 && ok;
}

// The loader's road for one file: map it, plan, allocate, build, release.
bool LoadBmp(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = false;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        void* map = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const uint8_t* file = static_cast<const uint8_t*>(map);
            BmpPlan plan;
            if (PlanBmpRead(file, size_t(st.st_size), &plan) == BmpStatus::kOk) {
                uint8_t* dib = static_cast<uint8_t*>(std::malloc(plan.dibSize));
                if (dib) {
                    ok = BuildBmpDib(file, size_t(st.st_size), plan, dib, plan.dibSize) ==
                         BmpStatus::kOk;
                    std::free(dib);
                }
            }
            munmap(map, size_t(st.st_size));
        }
    }
    close(fd);
    return ok;
}

void BenchRle(const bench::ScreenPicture& screen, unsigned bits, const std::string& folder)
{
    Bytes palette;
    const Bytes rows = Rows(screen, bits, &palette);
    const uint32_t w = screen.width, h = screen.height;
    const uint32_t compression = bits == 8 ? kBiRle8 : kBiRle4;
    Bytes stream(size_t(RleMaxEncodedSize(w, h)));
    size_t length = 0;
    const double enc = MedianSeconds([&] {
        length = RleEncode(compression, rows.data(), rows.size(), w, h, stream.data(), stream.size());
    });
    if (length == 0) {
        std::fprintf(stderr, "encoding failed\n");
        std::exit(1);
    }
    stream.resize(length);
    Bytes back(rows.size());
    RleResult result = RleResult::kBadArguments;
    const double dec = MedianSeconds([&] {
        result = RleDecode(compression, stream.data(), stream.size(), w, h, back.data(), back.size());
    });
    if (result != RleResult::kComplete) {
        std::fprintf(stderr, "decoding failed\n");
        std::exit(1);
    }

    const double pixelBytes = double(w) * h * bits / 8;
    std::printf("%ux%u at %u bits: %zu bytes of rows, RLE%u stream %zu bytes (%.1f%%)\n", w, h,
                bits, rows.size(), bits, length, 100.0 * double(length) / double(rows.size()));
    char label[64];
    std::snprintf(label, sizeof label, "kelvo RLE%u encode (%u-bit pixels)", bits, bits);
    Report(label, pixelBytes, enc);
    std::snprintf(label, sizeof label, "kelvo RLE%u decode (%u-bit pixels)", bits, bits);
    Report(label, pixelBytes, dec);

    const std::string base = folder + "/screen" + std::to_string(bits);
    const uint16_t b = uint16_t(bits);
    if (!WriteBmp(base + ".bmp", PackedDib(w, h, b, kBiRgb, palette, rows, uint32_t(rows.size()))) ||
        !WriteBmp(base + "-rle" + std::to_string(bits) + ".bmp",
                  PackedDib(w, h, b, compression, palette, stream, uint32_t(length)))) {
        std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
        std::exit(1);
    }
}

void BenchRead4K(const std::string& folder)
{
    const bench::ScreenPicture uhd = bench::MakeScreenPicture(3840, 2160, 2);
    const uint64_t stride = DibRowSize(uhd.width, 24);
    Bytes rows(size_t(stride * uhd.height), 0);
    for (uint32_t y = 0; y < uhd.height; ++y) {
        uint8_t* row = &rows[size_t((uhd.height - 1 - y) * stride)];
        for (uint32_t x = 0; x < uhd.width; ++x)
            std::memcpy(row + 3 * x, &uhd.palette[4 * uhd.index[size_t(y) * uhd.width + x]], 3);
    }
    const std::string path = folder + "/uhd24.bmp";
    if (!WriteBmp(path, PackedDib(uhd.width, uhd.height, 24, kBiRgb, {}, rows, uint32_t(rows.size())))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    struct stat st;
    stat(path.c_str(), &st);
    bool ok = true;
    const double t = MedianSeconds([&] { ok = LoadBmp(path) && ok; });
    if (!ok) {
        std::fprintf(stderr, "reading failed\n");
        std::exit(1);
    }
    Report("kelvo read 3840x2160 24-bit BMP (file bytes)", double(st.st_size), t);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder for the input files>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const bench::ScreenPicture screen = bench::MakeScreenPicture(1920, 1080);
    BenchRle(screen, 8, folder);
    BenchRle(screen, 4, folder);
    BenchRead4K(folder);
    return 0;
}
