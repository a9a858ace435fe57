// Time and size of Kelvo's JPEG files: a 24-bit BMP file (a screen) read
// whole, encoded at each quality given and written, in one process, as
// the save does after the Capture DIB. run_jpeg_bench.sh times
// ImageMagick on the same file at the same qualities.
//
//   kelvo_jpeg_bench <in.bmp> <out folder> <quality>...
//
// Figures are medians of repeated runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/median_time.h"
#include "picture/jpeg_file.h"

namespace {

std::vector<uint8_t> ReadFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

template <class F>
double MedianSeconds(F&& run)
{
    return bench::MedianSeconds(run, 15, 2.0, size_t(-1));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kelvo_jpeg_bench <in.bmp> <out folder> <quality>...\n");
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        const int quality = std::atoi(argv[i]);
        const std::string out = std::string(argv[2]) + "/kelvo-q" + argv[i] + ".jpg";
        std::vector<uint8_t> jpeg;
        bool ok = true;
        const double seconds = MedianSeconds([&] {
            // The BMP file's DIB part is what the save encodes.
            const std::vector<uint8_t> file = ReadFile(argv[1]);
            ok = file.size() > 14 && EncodeDibAsJpeg(file.data() + 14, file.size() - 14, quality, &jpeg);
            FILE* f = std::fopen(out.c_str(), "wb");
            ok = ok && f && std::fwrite(jpeg.data(), 1, jpeg.size(), f) == jpeg.size();
            if (f)
                std::fclose(f);
        });
        if (!ok) {
            std::fprintf(stderr, "could not encode %s\n", argv[1]);
            return 1;
        }
        std::printf("kelvo q%d %.1f ms %zu bytes\n", quality, seconds * 1e3, jpeg.size());
    }
    return 0;
}
