// Helpers of the GIF reader tests: GIF files written by a small encoder
// whose code stream can be shaped (where the table is cleared, how the data
// are cut into sub-blocks) and giflib as the independent decoder.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gif_lib.h>

#include "folio_support.h"

namespace giftest {

using Rgb = std::array<uint8_t, 3>;

// How the encoder shapes the code stream.
struct Lzw {
    // The encoder clears the table instead of adding this entry: 4095 keeps
    // the last entry free, 4096 lets the table fill completely first, 0
    // never clears and goes on with the full table.
    int table_limit = 4095;
    bool leading_clear = true;
    bool end_code = true;
    int code_size = 8;  // the minimum code size
};

struct Encoded {
    std::string bytes;
    // Bit at which the code that filled the table (if any) ends.
    size_t fill_end_bit = std::string::npos;
    // Bits of the same codes, ended by an end code even when the file has
    // none: exactly what a re-packed stream holds.
    size_t stream_bits = 0;
};

// GIF's LZW, codes packed least significant bit first. The code width
// follows the decoder's count of table entries.
inline Encoded EncodeLzw(const std::vector<uint8_t> &pixels, const Lzw &lzw)
{
    Encoded encoded;
    const int clear_code = 1 << lzw.code_size;
    uint32_t bits = 0;
    int bit_count = 0;
    size_t total_bits = 0;
    int width = lzw.code_size + 1;
    int decoder_next = clear_code + 1;  // the decoder's next free entry
    int encoder_next = clear_code + 2;  // the encoder adds entries one code earlier
    std::map<std::pair<int, int>, int> table;

    auto put = [&](int code) {
        bits |= static_cast<uint32_t>(code) << bit_count;
        bit_count += width;
        total_bits += width;
        while (bit_count >= 8) {
            encoded.bytes += static_cast<char>(bits & 0xFF);
            bits >>= 8;
            bit_count -= 8;
        }
        if (code == clear_code) {
            width = lzw.code_size + 1;
            decoder_next = clear_code + 1;
            return;
        }
        if (decoder_next < 4096 && ++decoder_next == 4096)
            encoded.fill_end_bit = encoded.fill_end_bit == std::string::npos
                                       ? total_bits : encoded.fill_end_bit;
        if (decoder_next == (1 << width) && width < 12)
            width++;
    };
    auto clear = [&]() {
        put(clear_code);
        table.clear();
        encoder_next = clear_code + 2;
    };

    if (lzw.leading_clear)
        put(clear_code);
    int current = -1;
    for (uint8_t pixel : pixels) {
        if (current < 0) {
            current = pixel;
            continue;
        }
        auto found = table.find({current, pixel});
        if (found != table.end()) {
            current = found->second;
            continue;
        }
        put(current);
        if (lzw.table_limit != 0 && encoder_next >= lzw.table_limit)
            clear();
        else if (encoder_next < 4096)
            table[{current, pixel}] = encoder_next++;
        current = pixel;
    }
    if (current >= 0)
        put(current);
    if (lzw.end_code)
        put(clear_code + 1);
    encoded.stream_bits = total_bits + (lzw.end_code ? 0 : width);
    if (bit_count > 0)
        encoded.bytes += static_cast<char>(bits & 0xFF);
    return encoded;
}

// Cuts data into sub-blocks of the given sizes (1 to 255; then of 255
// bytes) and ends them with the block terminator.
inline std::string Subblocks(const std::string &data, const std::vector<size_t> &sizes = {})
{
    std::string out;
    size_t at = 0;
    for (size_t i = 0; at < data.size(); i++) {
        size_t size = i < sizes.size() ? sizes[i] : 255;
        size = std::min(size, data.size() - at);
        out += static_cast<char>(size);
        out += data.substr(at, size);
        at += size;
    }
    return out + '\0';
}

// Sub-block sizes that end a sub-block right after the code that fills the
// code table, so that the next code comes in the next sub-block; empty when
// the table never fills.
inline std::vector<size_t> SplitAfterTableFills(const std::vector<uint8_t> &pixels,
                                                const Lzw &lzw)
{
    Encoded codes = EncodeLzw(pixels, lzw);
    if (codes.fill_end_bit == std::string::npos)
        return {};
    size_t boundary = (codes.fill_end_bit + 7) / 8;
    std::vector<size_t> sizes(boundary / 255, 255);
    if (boundary % 255)
        sizes.push_back(boundary % 255);
    return sizes;
}

// Colour i of a test palette; `salt` tells tables apart.
inline Rgb PaletteColor(int i, int salt = 0)
{
    return {static_cast<uint8_t>((i * 67 + salt * 101 + 13) % 256),
            static_cast<uint8_t>((i * 151 + salt * 29 + 31) % 256),
            static_cast<uint8_t>((250 - i * 13 + salt * 7) % 256)};
}

inline std::string ColorTable(int colors, int salt)
{
    std::string table;
    for (int i = 0; i < colors; i++)
        for (uint8_t c : PaletteColor(i, salt))
            table += static_cast<char>(c);
    return table;
}

// The 3-bit size field of a table of `colors` entries.
inline int SizeField(int colors)
{
    int field = 0;
    while ((2 << field) < colors)
        field++;
    return field;
}

inline std::string U16(int value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

// A Graphic Control Extension; `transparent` < 0 for none.
inline std::string GraphicControl(int transparent)
{
    std::string data{static_cast<char>(transparent >= 0 ? 1 : 0), 0, 0,
                     static_cast<char>(transparent >= 0 ? transparent : 0)};
    return std::string("\x21\xF9\x04", 3) + data + '\0';
}

// Pixels whose runs repeat (few codes) or are noise (the table fills fast).
inline std::vector<uint8_t> Pattern(int width, int height, int colors, bool noise)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    std::mt19937 random(12345u + colors);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(
                noise ? random() % colors : (x / 3 + y / 2) % colors);
    return pixels;
}

struct GifSpec {
    std::string version = "89a";
    int width = 100;
    int height = 50;
    int global_colors = 16;   // 0: no global table
    int screen_size_field = -1;  // size field without a table; -1 from global_colors
    int local_colors = 0;     // 0: no local table
    int colors_used = 0;      // indices drawn from [0, colors_used); 0: the active table
    int transparent = -1;     // index of a Graphic Control Extension, or none
    bool interlaced = false;
    int aspect = 0;
    int code_size = 8;
    bool noise = false;
    Lzw lzw;
    std::vector<size_t> block_sizes;
    std::string before_image;  // blocks after the extension, before the image
    std::string after_codes;   // bytes after the code stream, in its sub-blocks
    std::vector<uint8_t> pixels;  // overrides the pattern
};

inline int ActiveColors(const GifSpec &recipe)
{
    if (recipe.colors_used)
        return recipe.colors_used;
    if (recipe.local_colors)
        return recipe.local_colors;
    return recipe.global_colors ? recipe.global_colors : 2;
}

inline std::vector<uint8_t> PixelsOf(const GifSpec &recipe)
{
    if (!recipe.pixels.empty())
        return recipe.pixels;
    return Pattern(recipe.width, recipe.height, ActiveColors(recipe), recipe.noise);
}

// The rows in the order the file holds them: interlaced files hold every
// 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
inline std::vector<uint8_t> FileOrder(const GifSpec &recipe, const std::vector<uint8_t> &pixels)
{
    if (!recipe.interlaced)
        return pixels;
    std::vector<uint8_t> ordered;
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++)
        for (int y = starts[pass]; y < recipe.height; y += steps[pass])
            ordered.insert(ordered.end(), pixels.begin() + static_cast<size_t>(y) * recipe.width,
                           pixels.begin() + static_cast<size_t>(y + 1) * recipe.width);
    return ordered;
}

inline std::string MakeGif(const GifSpec &recipe)
{
    std::string gif = "GIF" + recipe.version + U16(recipe.width) + U16(recipe.height);
    int field = recipe.screen_size_field >= 0 ? recipe.screen_size_field
                : SizeField(recipe.global_colors ? recipe.global_colors : 2);
    gif += static_cast<char>((recipe.global_colors ? 0x80 : 0) | 0x70 | field);
    gif += '\0';
    gif += static_cast<char>(recipe.aspect);
    if (recipe.global_colors)
        gif += ColorTable(recipe.global_colors, 0);
    if (recipe.transparent >= 0)
        gif += GraphicControl(recipe.transparent);
    gif += recipe.before_image;
    gif += ',' + U16(0) + U16(0) + U16(recipe.width) + U16(recipe.height);
    gif += static_cast<char>((recipe.local_colors ? 0x80 | SizeField(recipe.local_colors) : 0) |
                             (recipe.interlaced ? 0x40 : 0));
    if (recipe.local_colors)
        gif += ColorTable(recipe.local_colors, 1);
    gif += static_cast<char>(recipe.code_size);
    Lzw lzw = recipe.lzw;
    lzw.code_size = recipe.code_size;
    gif += Subblocks(EncodeLzw(FileOrder(recipe, PixelsOf(recipe)), lzw).bytes + recipe.after_codes,
                     recipe.block_sizes);
    return gif + ';';
}

// ---- giflib, the independent decoder ----------------------------------------

struct Decoded {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    std::vector<Rgb> colors;  // the table that applies to the first image
    int transparent = -1;
};

inline int ReadMemory(GifFileType *gif, GifByteType *out, int count)
{
    auto *source = static_cast<std::pair<const std::string *, size_t> *>(gif->UserData);
    size_t available = source->first->size() - source->second;
    size_t n = std::min(static_cast<size_t>(count), available);
    std::copy_n(source->first->data() + source->second, n, out);
    source->second += n;
    return static_cast<int>(n);
}

inline Decoded DecodeWithGiflib(const std::string &bytes)
{
    Decoded decoded;
    std::pair<const std::string *, size_t> source{&bytes, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&source, ReadMemory, &error);
    if (gif == nullptr)
        return decoded;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage &image = gif->SavedImages[0];
        decoded.ok = true;
        decoded.width = image.ImageDesc.Width;
        decoded.height = image.ImageDesc.Height;
        decoded.indices.assign(image.RasterBits,
                               image.RasterBits + static_cast<size_t>(decoded.width) * decoded.height);
        const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap
                                                             : gif->SColorMap;
        for (int i = 0; map && i < map->ColorCount; i++)
            decoded.colors.push_back({map->Colors[i].Red, map->Colors[i].Green,
                                      map->Colors[i].Blue});
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK)
            decoded.transparent = control.TransparentColor;
    }
    DGifCloseFile(gif, &error);
    return decoded;
}

// The picture a viewer should show: palette colours, white where the
// pixel is transparent.
inline testsupport::Raster Expected(const Decoded &gif, const std::vector<Rgb> &palette,
                                    int transparent)
{
    testsupport::Raster raster;
    raster.width = gif.width;
    raster.height = gif.height;
    for (uint8_t index : gif.indices) {
        Rgb color = index == transparent ? Rgb{255, 255, 255} : palette.at(index);
        raster.rgb.insert(raster.rgb.end(), color.begin(), color.end());
    }
    return raster;
}

// Opens a GIF image file; -2 when a fatal error left the call.
inline int OpenGif(pdf_document *document, const std::string &path,
                   const char *stringparam = "", int intparam = 0)
{
    return foliotest::OpenImageFile(document, "gif", path, stringparam, intparam);
}

}  // namespace giftest
