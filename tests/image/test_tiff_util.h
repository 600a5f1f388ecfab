// Helpers of the TIFF reader tests: TIFF files written with libtiff and
// libtiff's own RGBA decoding of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "folio_support.h"

namespace tifftest {

// One page of a TIFF file to write.
struct TiffSpec {
    uint32_t width = 40;
    uint32_t height = 24;
    uint16_t samples = 1;
    uint16_t bits = 8;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t predictor = 0;         // 0: tag not written
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t fill_order = 0;        // 0: tag not written
    uint32_t rows_per_strip = 0;    // 0: the whole image in one strip
    uint32_t tile = 0;              // tile width and length; 0: strips
    uint16_t extra_samples = 0;     // trailing alpha samples
    uint16_t extra_type = EXTRASAMPLE_UNASSALPHA;
    uint16_t sample_format = 0;     // 0: tag not written
    bool big = false;               // BigTIFF (taken from the first page)
    uint16_t ink_set = 0;           // 0: tag not written
    uint32_t group3_options = 0;
    bool colormap_8bit = false;     // old-style colour map values below 256
    float resolution_x = 0;         // 0: no resolution tags
    float resolution_y = 0;
    uint16_t resolution_unit = RESUNIT_INCH;
    uint16_t orientation = 0;       // 0: tag not written
};

// A deterministic picture with runs of several lengths, so that every codec
// has something to do. Values are below 2^bits.
inline unsigned Sample(const TiffSpec &recipe, uint32_t x, uint32_t y, int c)
{
    unsigned levels = 1u << recipe.bits;
    if (recipe.bits == 1)
        return ((x / 5 + y / 3 + c) % 3 == 0) ^ (x > recipe.width / 2 && y < recipe.height / 3);
    if (recipe.photometric == PHOTOMETRIC_PALETTE)
        return (x / 4 + y / 3 * 5) % levels;
    unsigned ramp = x * 255 / recipe.width + y * 97 / recipe.height + c * 70;
    if (c == recipe.samples - 1 && recipe.extra_samples > 0)
        ramp = 128 + (x * 127 / recipe.width);  // alpha, never zero
    unsigned long long value = (ramp % 256) * levels / 256;
    // Colours with associated alpha are multiplied by it.
    if (recipe.extra_samples > 0 && recipe.extra_type == EXTRASAMPLE_ASSOCALPHA &&
        c < recipe.samples - recipe.extra_samples)
        value = (value * Sample(recipe, x, y, recipe.samples - 1) + (levels - 1) / 2) / (levels - 1);
    return static_cast<unsigned>(value);
}

// Packs `count` samples of `bits` bits, most significant bit first; 16-bit
// samples in the host's byte order, as libtiff takes them.
inline void PackSamples(const std::vector<unsigned> &values, uint16_t bits,
                        std::vector<uint8_t> *out)
{
    size_t bytes = (values.size() * bits + 7) / 8;
    out->assign(bytes, 0);
    for (size_t i = 0; i < values.size(); i++) {
        size_t bit = i * bits;
        if (bits == 16) {
            uint16_t value = static_cast<uint16_t>(values[i]);
            std::memcpy(out->data() + bit / 8, &value, 2);
            continue;
        }
        if (bits == 8) {
            (*out)[bit / 8] = static_cast<uint8_t>(values[i]);
            continue;
        }
        (*out)[bit / 8] |= static_cast<uint8_t>(values[i] << (8 - bits - bit % 8));
    }
}

inline bool WriteDirectory(TIFF *tif, const TiffSpec &recipe)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, recipe.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, recipe.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, recipe.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, recipe.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, recipe.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, recipe.planar);
    if (!TIFFSetField(tif, TIFFTAG_COMPRESSION, recipe.compression))
        return false;
    if (recipe.compression == COMPRESSION_JPEG && recipe.photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);  // RGB rows in
    else if (recipe.photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);  // the samples as written
    if (recipe.sample_format)
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, recipe.sample_format);
    if (recipe.predictor)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, recipe.predictor);
    if (recipe.fill_order)
        TIFFSetField(tif, TIFFTAG_FILLORDER, recipe.fill_order);
    if (recipe.extra_samples) {
        std::vector<uint16_t> types(recipe.extra_samples, recipe.extra_type);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, recipe.extra_samples, types.data());
    }
    if (recipe.ink_set)
        TIFFSetField(tif, TIFFTAG_INKSET, recipe.ink_set);
    if (recipe.orientation)
        TIFFSetField(tif, TIFFTAG_ORIENTATION, recipe.orientation);
    if (recipe.compression == COMPRESSION_CCITTFAX3)
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, recipe.group3_options);
    if (recipe.resolution_x > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, recipe.resolution_x);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, recipe.resolution_y);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, recipe.resolution_unit);
    }
    if (recipe.photometric == PHOTOMETRIC_PALETTE) {
        size_t n = size_t{1} << recipe.bits;
        std::vector<uint16_t> r(n), g(n), b(n);
        for (size_t i = 0; i < n; i++) {
            unsigned scale = recipe.colormap_8bit ? 1 : 257;
            r[i] = static_cast<uint16_t>((i * 37 + 20) % 256 * scale);
            g[i] = static_cast<uint16_t>((255 - i * 11 % 256) * scale);
            b[i] = static_cast<uint16_t>((i * 73) % 256 * scale);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }

    const bool contig = recipe.planar == PLANARCONFIG_CONTIG;
    const int per_pixel = contig ? recipe.samples : 1;
    const int planes = contig ? 1 : recipe.samples;
    std::vector<uint8_t> packed;
    if (recipe.tile) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, recipe.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, recipe.tile);
        for (int plane = 0; plane < planes; plane++)
            for (uint32_t ty = 0; ty < recipe.height; ty += recipe.tile)
                for (uint32_t tx = 0; tx < recipe.width; tx += recipe.tile) {
                    std::vector<uint8_t> tile, row;
                    for (uint32_t y = ty; y < ty + recipe.tile; y++) {
                        std::vector<unsigned> values;
                        for (uint32_t x = tx; x < tx + recipe.tile; x++)
                            for (int c = 0; c < per_pixel; c++)
                                values.push_back(x < recipe.width && y < recipe.height
                                                     ? Sample(recipe, x, y, contig ? c : plane)
                                                     : 0);
                        PackSamples(values, recipe.bits, &row);
                        tile.insert(tile.end(), row.begin(), row.end());
                    }
                    if (TIFFWriteTile(tif, tile.data(), tx, ty, 0,
                                      static_cast<uint16_t>(plane)) < 0)
                        return false;
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     recipe.rows_per_strip ? recipe.rows_per_strip : recipe.height);
        for (int plane = 0; plane < planes; plane++)
            for (uint32_t y = 0; y < recipe.height; y++) {
                std::vector<unsigned> values;
                for (uint32_t x = 0; x < recipe.width; x++)
                    for (int c = 0; c < per_pixel; c++)
                        values.push_back(Sample(recipe, x, y, contig ? c : plane));
                PackSamples(values, recipe.bits, &packed);
                if (TIFFWriteScanline(tif, packed.data(), y, static_cast<uint16_t>(plane)) < 0)
                    return false;
            }
    }
    return TIFFWriteDirectory(tif) != 0;
}

// Writes the pages into one file; false when libtiff refused.
inline bool WriteTiff(const std::string &path, const std::vector<TiffSpec> &pages)
{
    TIFF *tif = TIFFOpen(path.c_str(), !pages.empty() && pages[0].big ? "w8" : "w");
    if (tif == nullptr)
        return false;
    bool ok = true;
    for (const TiffSpec &page : pages)
        ok = ok && WriteDirectory(tif, page);
    TIFFClose(tif);
    return ok;
}

inline bool WriteTiff(const std::string &path, const TiffSpec &recipe)
{
    return WriteTiff(path, std::vector<TiffSpec>{recipe});
}

// libtiff's RGBA decoding of page `page` (from 1), alpha dropped.
inline testsupport::Raster DecodeTiff(const std::string &path, int page = 1)
{
    testsupport::Raster raster;
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr || !TIFFSetDirectory(tif, static_cast<tdir_t>(page - 1))) {
        if (tif)
            TIFFClose(tif);
        return raster;
    }
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if (TIFFReadRGBAImageOriented(tif, width, height, pixels.data(), ORIENTATION_TOPLEFT, 1)) {
        raster.width = static_cast<int>(width);
        raster.height = static_cast<int>(height);
        for (uint32_t p : pixels) {
            raster.rgb.push_back(static_cast<uint8_t>(TIFFGetR(p)));
            raster.rgb.push_back(static_cast<uint8_t>(TIFFGetG(p)));
            raster.rgb.push_back(static_cast<uint8_t>(TIFFGetB(p)));
        }
    }
    TIFFClose(tif);
    return raster;
}

// The raw bytes of every strip of page 1, as the file holds them.
inline std::vector<std::string> RawStrips(const std::string &path)
{
    std::vector<std::string> strips;
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr)
        return strips;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); s++) {
        std::string bytes(static_cast<size_t>(TIFFRawStripSize(tif, s)), '\0');
        TIFFReadRawStrip(tif, s, &bytes[0], static_cast<tmsize_t>(bytes.size()));
        strips.push_back(bytes);
    }
    TIFFClose(tif);
    return strips;
}

// Opens a TIFF image file; -2 when a fatal error left the call.
inline int OpenTiff(pdf_document *document, const std::string &path,
                    const char *stringparam = "", int intparam = 0)
{
    return foliotest::OpenImageFile(document, "tiff", path, stringparam, intparam);
}

}  // namespace tifftest
