// generate.cpp -- the pictures and the PNG and TIFF writers of generate.h.
#include "generate.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <png.h>
#include <tiffio.h>

namespace bench {

namespace {

[[noreturn]] void Fail(const char *what, const std::string &path) {
    std::fprintf(stderr, "bench: %s %s\n", what, path.c_str());
    std::exit(1);
}

uint32_t Mix(uint32_t value) {
    value ^= value >> 16;
    value *= 0x7feb352du;
    value ^= value >> 15;
    value *= 0x846ca68bu;
    value ^= value >> 16;
    return value;
}

}  // namespace

void PhotoRow(int width, int height, int channels, unsigned seed, int y,
              std::vector<uint8_t> *row) {
    row->resize(static_cast<size_t>(width) * channels);
    // A bright soft disc somewhere in the picture, its place and size
    // chosen by the seed.
    const uint32_t shape = Mix(seed * 2654435761u + 12345u);
    const long cx = static_cast<long>(shape % static_cast<uint32_t>(width));
    const long cy = static_cast<long>((shape >> 8) % static_cast<uint32_t>(height));
    const long radius = width / 8 + static_cast<long>((shape >> 20) % static_cast<uint32_t>(width / 4 + 1));
    const long r2 = radius * radius;
    uint32_t noise = Mix(seed * 0x9e3779b9u ^ static_cast<uint32_t>(y) * 0x85ebca6bu) | 1u;
    const long dy = y - cy;
    for (int x = 0; x < width; x++) {
        noise = noise * 1664525u + 1013904223u;
        const int jitter = static_cast<int>(noise >> 28) - 8;
        const long dx = x - cx;
        const int disc = static_cast<int>(96 * r2 / (dx * dx + dy * dy + r2));
        uint8_t *p = row->data() + static_cast<size_t>(x) * channels;
        p[0] = static_cast<uint8_t>((x * 255 / width + seed * 17 + disc + jitter) & 0xFF);
        p[1] = static_cast<uint8_t>((y * 255 / height + disc / 2 + jitter) & 0xFF);
        p[2] = static_cast<uint8_t>(((x + y) * 128 / (width + height) + seed * 5 + jitter) & 0xFF);
        if (channels == 4)
            p[3] = static_cast<uint8_t>(255 - (x * 255 / width));
    }
}

void FaxRow(int width, int height, unsigned seed, int y, std::vector<uint8_t> *row) {
    row->assign((static_cast<size_t>(width) + 7) / 8, 0);
    // Lines of "words" made of strokes, inside 200-pixel margins.
    if (y < 200 || y > height - 200 || (y / 20) % 3 == 2)
        return;
    for (int x = 200; x < width - 200; x++) {
        const unsigned word = (x / 37 + y / 60 * 5 + seed) % 7;
        const unsigned stroke = (x + y / 60 + seed) % 9;
        const bool ink = word != 0 && x % 37 < 31 && (stroke < 2 || (y % 20 < 3 && stroke < 6));
        if (ink)
            (*row)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
}

void WritePng(const std::string &path, int width, int height, int channels, unsigned seed) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail("cannot create", path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        Fail("libpng failed on", path);
    png_init_io(png, file);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row;
    for (int y = 0; y < height; y++) {
        PhotoRow(width, height, channels, seed, y, &row);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0)
        Fail("cannot write", path);
}

namespace {

void WriteTiff(const std::string &path, int width, int height, bool fax, unsigned seed) {
    TIFFSetWarningHandler(nullptr);
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr)
        Fail("cannot create", path);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, fax ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, fax ? 1 : 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, fax ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, fax ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, fax ? static_cast<uint32_t>(height) : 64u);
    std::vector<uint8_t> row;
    bool ok = true;
    for (int y = 0; y < height && ok; y++) {
        if (fax)
            FaxRow(width, height, seed, y, &row);
        else
            PhotoRow(width, height, 3, seed, y, &row);
        ok = TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) >= 0;
    }
    TIFFClose(tif);
    if (!ok)
        Fail("cannot write", path);
}

}  // namespace

void WriteRawTiff(const std::string &path, int width, int height, unsigned seed) {
    WriteTiff(path, width, height, false, seed);
}

void WriteFaxTiff(const std::string &path, int width, int height, unsigned seed) {
    WriteTiff(path, width, height, true, seed);
}

}  // namespace bench
