// Helpers of the picture tests: files, packed DIBs built by hand, and the
// outside readers (ImageMagick, Pillow) run as programs.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include "picture/bmp_file.h"
#include "picture/dib_rules.h"

namespace picture_test {

using Bytes = std::vector<uint8_t>;

// Pixels as red, green, blue bytes, top row first.
struct Rgb {
    uint32_t width = 0;
    uint32_t height = 0;
    Bytes pixels;
};

inline Bytes ReadWholeFile(const std::string& path)
{
    Bytes data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return data;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.insert(data.end(), buf, buf + n);
    std::fclose(f);
    return data;
}

inline bool WriteWholeFile(const std::string& path, const Bytes& data)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

inline std::vector<std::string> ListBmpFiles(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0)
                names.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    return names;
}

// A private directory, removed with its files when the object goes.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/kelvo-picture-XXXXXX";
        if (mkdtemp(tmpl))
            path_ = tmpl;
    }
    ~TempDir()
    {
        if (path_.empty())
            return;
        if (DIR* d = opendir(path_.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string name = e->d_name;
                if (name != "." && name != "..")
                    unlink((path_ + "/" + name).c_str());
            }
            closedir(d);
        }
        rmdir(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Standard output of a shell command; empty when it failed.
inline Bytes RunCommand(const std::string& command)
{
    Bytes out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.insert(out.end(), buf, buf + n);
    if (pclose(p) != 0)
        out.clear();
    return out;
}

// Parses "<width> <height>\n" followed by width x height x 3 bytes.
inline bool ParseSizedRgb(const Bytes& out, Rgb* rgb)
{
    unsigned w = 0, h = 0;
    int used = 0;
    std::string head(out.begin(), out.begin() + (out.size() < 64 ? out.size() : 64));
    if (std::sscanf(head.c_str(), "%u %u\n%n", &w, &h, &used) != 2 || used == 0)
        return false;
    if (out.size() != size_t(used) + size_t(w) * h * 3)
        return false;
    rgb->width = w;
    rgb->height = h;
    rgb->pixels.assign(out.begin() + used, out.end());
    return true;
}

// ImageMagick's reading of a file (Debian's /usr/bin/convert), as RGB.
inline bool ImageMagickRead(const std::string& path, Rgb* rgb)
{
    Bytes ppm = RunCommand("/usr/bin/convert '" + path + "' -depth 8 ppm:- 2>/dev/null");
    unsigned w = 0, h = 0, maxval = 0;
    int used = 0;
    std::string head(ppm.begin(), ppm.begin() + (ppm.size() < 64 ? ppm.size() : 64));
    if (std::sscanf(head.c_str(), "P6 %u %u %u%n", &w, &h, &maxval, &used) != 3 || maxval != 255)
        return false;
    ++used;  // the single white-space byte after maxval
    if (ppm.size() != size_t(used) + size_t(w) * h * 3)
        return false;
    rgb->width = w;
    rgb->height = h;
    rgb->pixels.assign(ppm.begin() + used, ppm.end());
    return true;
}

// Pillow's reading of a file (Debian's /usr/bin/python3 has it), as RGB.
inline bool PillowRead(const std::string& path, Rgb* rgb)
{
    const char* script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]).convert('RGB')\n"
        "sys.stdout.buffer.write(b'%d %d\\n' % im.size + im.tobytes())\n";
    return ParseSizedRgb(RunCommand("/usr/bin/python3 -c \"" + std::string(script) + "\" '" +
                                    path + "' 2>/dev/null"),
                         rgb);
}

// The RGB pixels a plain packed DIB shows (bottom-up rows, colour table
// for 1, 4 and 8 bits, or 24-bit blue-green-red), top row first.
inline bool ExpandDib(const uint8_t* dib, size_t size, Rgb* rgb)
{
    DibHeader h;
    if (size < sizeof h)
        return false;
    std::memcpy(&h, dib, sizeof h);
    if (h.biCompression != kBiRgb || h.biWidth <= 0 || h.biHeight <= 0 ||
        DibPackedSize(&h) > size)
        return false;
    const uint8_t* table = dib + h.biSize;
    const uint32_t colors = CountDibColors(&h);
    const uint8_t* bits = dib + DibPixelOffset(&h);
    const uint64_t stride = DibRowSize(uint32_t(h.biWidth), h.biBitCount);
    rgb->width = uint32_t(h.biWidth);
    rgb->height = uint32_t(h.biHeight);
    rgb->pixels.assign(size_t(rgb->width) * rgb->height * 3, 0);
    for (uint32_t y = 0; y < rgb->height; ++y) {
        const uint8_t* row = bits + (rgb->height - 1 - y) * stride;
        for (uint32_t x = 0; x < rgb->width; ++x) {
            uint8_t* out = &rgb->pixels[(size_t(y) * rgb->width + x) * 3];
            if (h.biBitCount == 24) {
                out[0] = row[3 * x + 2];
                out[1] = row[3 * x + 1];
                out[2] = row[3 * x];
                continue;
            }
            uint32_t index;
            switch (h.biBitCount) {
            case 1: index = (row[x / 8] >> (7 - x % 8)) & 1; break;
            case 4: index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15; break;
            case 8: index = row[x]; break;
            default: return false;
            }
            if (index >= colors)
                return false;
            out[0] = table[4 * index + 2];
            out[1] = table[4 * index + 1];
            out[2] = table[4 * index];
        }
    }
    return true;
}

// A plain packed DIB: 40-byte header, colours (blue, green, red, 0) and
// rows, the rows given already padded.
inline Bytes MakeDib(int32_t width, int32_t height, uint16_t bitCount, const Bytes& colors,
                     const Bytes& rows)
{
    DibHeader h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bitCount;
    h.biSizeImage = uint32_t(rows.size());
    h.biClrUsed = uint32_t(colors.size() / 4);
    Bytes dib(sizeof h + colors.size() + rows.size());
    std::memcpy(dib.data(), &h, sizeof h);
    std::copy(colors.begin(), colors.end(), dib.begin() + sizeof h);
    std::copy(rows.begin(), rows.end(), dib.begin() + sizeof h + colors.size());
    return dib;
}

// A BMP file of a packed DIB, through the writer's header builder; empty
// when it refuses.
inline Bytes MakeBmpFile(const Bytes& dib)
{
    DibHeader h;
    std::memcpy(&h, dib.data(), sizeof h);
    uint8_t header[kBmpFileHeaderSize];
    uint32_t length = 0;
    if (!BuildBmpFileHeader(&h, dib.size(), header, &length))
        return {};
    Bytes file(header, header + sizeof header);
    file.insert(file.end(), dib.begin(), dib.begin() + length);
    return file;
}

}  // namespace picture_test
