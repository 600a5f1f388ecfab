// Helpers of the PNG reader tests: PNG files written with libpng, the
// pictures a viewer should show for them and chunk surgery on their bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "folio_support.h"

namespace pngtest {

struct PngSpec {
    int width = 23;
    int height = 17;
    int color_type = PNG_COLOR_TYPE_RGB;
    int bit_depth = 8;
    bool interlace = false;
    int idat_size = 0;            // >0: IDAT chunks of at most this many bytes
    bool key = false;             // grey or RGB tRNS key: the sample at (1, 1)
    std::vector<int> alphas;      // palette tRNS alphas
    int palette_size = 0;         // 0: 2^bit_depth entries, at most 256
    int phys_unit = -1;           // -1: no pHYs chunk
    unsigned phys_x = 0, phys_y = 0;
    int sbit = 0;                 // >0: sBIT chunk with this many bits per channel
};

inline int Channels(const PngSpec &recipe)
{
    switch (recipe.color_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

inline int PaletteSize(const PngSpec &recipe)
{
    if (recipe.palette_size > 0)
        return recipe.palette_size;
    return recipe.bit_depth >= 8 ? 256 : 1 << recipe.bit_depth;
}

// A deterministic picture that compresses badly enough to need several IDAT
// chunks when they are small: every channel a different scrambled ramp over
// the whole sample range (palette indices below the palette size). A
// 16-bit picture with a colour key has the key at every other pixel of its
// top row, and between them pixels that differ from it in the low byte only.
inline unsigned Sample(const PngSpec &recipe, int x, int y, int c)
{
    if (recipe.key && recipe.bit_depth == 16 && y == 0)
        return Sample(recipe, 1, 1, c) ^ static_cast<unsigned>(x % 2);
    uint32_t h = static_cast<uint32_t>(x * 73 + y * 151 + c * 29 + x * y * 7 + 11);
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    if (recipe.color_type == PNG_COLOR_TYPE_PALETTE)
        return h % PaletteSize(recipe);
    return h % (1u << recipe.bit_depth);
}

inline png_color PaletteEntry(int i)
{
    return png_color{static_cast<png_byte>(i * 47 + 3), static_cast<png_byte>(i * 91 + 50),
                     static_cast<png_byte>(255 - i * 13)};
}

inline void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string *>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char *>(data), length);
}

inline void FlushNothing(png_structp) {}

// Writes the picture of `recipe` as a PNG file image.
inline std::string EncodePng(const PngSpec &recipe)
{
    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test file";
        return std::string();
    }
    png_set_write_fn(png, &bytes, AppendBytes, FlushNothing);
    if (recipe.idat_size > 0)
        png_set_compression_buffer_size(png, recipe.idat_size);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bit_depth, recipe.color_type,
                 recipe.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (recipe.color_type == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < PaletteSize(recipe); i++)
            palette.push_back(PaletteEntry(i));
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    std::vector<png_byte> alphas(recipe.alphas.begin(), recipe.alphas.end());
    png_color_16 key{};
    if (!alphas.empty()) {
        png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    } else if (recipe.key) {
        key.gray = static_cast<png_uint_16>(Sample(recipe, 1, 1, 0));
        key.red = key.gray;
        key.green = static_cast<png_uint_16>(Sample(recipe, 1, 1, 1));
        key.blue = static_cast<png_uint_16>(Sample(recipe, 1, 1, 2));
        png_set_tRNS(png, info, nullptr, 1, &key);
    }
    if (recipe.phys_unit >= 0)
        png_set_pHYs(png, info, recipe.phys_x, recipe.phys_y, recipe.phys_unit);
    if (recipe.sbit > 0) {
        png_color_8 bits{};
        bits.gray = bits.red = bits.green = bits.blue = static_cast<png_byte>(recipe.sbit);
        png_set_sBIT(png, info, &bits);
    }
    png_write_info(png, info);

    int channels = Channels(recipe);
    size_t row_bytes = (static_cast<size_t>(recipe.width) * channels * recipe.bit_depth + 7) / 8;
    std::vector<std::vector<png_byte>> rows(recipe.height, std::vector<png_byte>(row_bytes));
    std::vector<png_bytep> pointers;
    for (int y = 0; y < recipe.height; y++) {
        std::vector<png_byte> &row = rows[y];
        for (int x = 0; x < recipe.width; x++)
            for (int c = 0; c < channels; c++) {
                unsigned v = Sample(recipe, x, y, c);
                size_t index = static_cast<size_t>(x) * channels + c;
                if (recipe.bit_depth == 16) {
                    row[index * 2] = static_cast<png_byte>(v >> 8);
                    row[index * 2 + 1] = static_cast<png_byte>(v);
                } else if (recipe.bit_depth == 8) {
                    row[index] = static_cast<png_byte>(v);
                } else {
                    size_t bit = index * recipe.bit_depth;
                    row[bit / 8] |= static_cast<png_byte>(v << (8 - recipe.bit_depth - bit % 8));
                }
            }
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// The picture a viewer shows for `recipe` placed in a PDF: alpha dropped,
// 16-bit samples cut to their high byte, grey spread over 0..255, palette
// entries looked up; with `masked`, pixels whose samples equal the colour
// key's, all their bits, show white.
inline testsupport::Raster Expected(const PngSpec &recipe, bool masked)
{
    testsupport::Raster raster;
    raster.width = recipe.width;
    raster.height = recipe.height;
    int key_index = -1;
    for (size_t i = 0; i < recipe.alphas.size(); i++)
        if (recipe.alphas[i] < 128) {
            key_index = static_cast<int>(i);
            break;
        }
    auto eight = [&](unsigned v) -> unsigned {
        if (recipe.bit_depth == 16) return v >> 8;
        return v * 255 / ((1u << recipe.bit_depth) - 1);
    };
    for (int y = 0; y < recipe.height; y++)
        for (int x = 0; x < recipe.width; x++) {
            unsigned rgb[3];
            bool hidden = false;
            if (recipe.color_type == PNG_COLOR_TYPE_PALETTE) {
                unsigned index = Sample(recipe, x, y, 0);
                png_color entry = PaletteEntry(static_cast<int>(index));
                rgb[0] = entry.red;
                rgb[1] = entry.green;
                rgb[2] = entry.blue;
                hidden = static_cast<int>(index) == key_index;
            } else if (recipe.color_type & PNG_COLOR_MASK_COLOR) {
                hidden = recipe.key;
                for (int c = 0; c < 3; c++) {
                    rgb[c] = eight(Sample(recipe, x, y, c));
                    hidden = hidden && Sample(recipe, x, y, c) == Sample(recipe, 1, 1, c);
                }
            } else {
                rgb[0] = rgb[1] = rgb[2] = eight(Sample(recipe, x, y, 0));
                hidden = recipe.key && Sample(recipe, x, y, 0) == Sample(recipe, 1, 1, 0);
            }
            for (int c = 0; c < 3; c++)
                raster.rgb.push_back(static_cast<uint8_t>(masked && hidden ? 255 : rgb[c]));
        }
    return raster;
}

// ---- Chunks -------------------------------------------------------------

inline uint32_t GetU32(const std::string &bytes, size_t at)
{
    return (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8) |
           static_cast<uint8_t>(bytes[at + 3]);
}

inline std::string U32(uint32_t value)
{
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                       static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A chunk with its length and CRC.
inline std::string Chunk(const std::string &type, const std::string &data)
{
    std::string body = type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef *>(body.data()),
                      static_cast<uInt>(body.size()));
    return U32(static_cast<uint32_t>(data.size())) + body + U32(static_cast<uint32_t>(crc));
}

struct ChunkInfo {
    std::string type;
    size_t offset;    // of the length field
    uint32_t length;
};

inline std::vector<ChunkInfo> Chunks(const std::string &png)
{
    std::vector<ChunkInfo> chunks;
    for (size_t at = 8; at + 8 <= png.size();) {
        uint32_t length = GetU32(png, at);
        chunks.push_back({png.substr(at + 4, 4), at, length});
        at += 12 + static_cast<size_t>(length);
    }
    return chunks;
}

// The data of all IDAT chunks joined.
inline std::string IdatData(const std::string &png)
{
    std::string data;
    for (const ChunkInfo &chunk : Chunks(png))
        if (chunk.type == "IDAT")
            data += png.substr(chunk.offset + 8, chunk.length);
    return data;
}

inline int IdatCount(const std::string &png)
{
    int count = 0;
    for (const ChunkInfo &chunk : Chunks(png))
        count += chunk.type == "IDAT";
    return count;
}

inline size_t FirstIdat(const std::string &png)
{
    for (const ChunkInfo &chunk : Chunks(png))
        if (chunk.type == "IDAT")
            return chunk.offset;
    return std::string::npos;
}

// Opens a PNG image file; -2 when a fatal error left the call.
inline int OpenPng(pdf_document *document, const std::string &path,
                   const char *stringparam = "", int intparam = 0)
{
    return foliotest::OpenImageFile(document, "png", path, stringparam, intparam);
}

}  // namespace pngtest
