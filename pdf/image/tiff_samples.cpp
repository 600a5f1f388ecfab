/*
 * tiff_samples.cpp -- a TIFF image's samples decoded through libtiff, as the
 * file stores them.
 *
 * libtiff decodes each strip or tile (any compression it knows, either
 * planar configuration); the samples are spread into the raster at one byte
 * per sample of the pixel, then packed in place to the colour samples, the
 * alpha samples moving to the slot's mask raster on the way. libtiff's RGBA
 * interface is not used: it multiplies unassociated alpha into the colours,
 * turns CMYK into RGB and takes no 16-bit palettes.
 */
#include "tiff_samples.h"

#include <string.h>

#include "../core/memory.h"
#include "decoded.h"
#include "reader.h"

/* Room a strip or tile may take beyond eight times the image's samples. */
#define TIFF_SLACK ((size_t)1 << 20)

namespace {

/* The bytes per pixel in the raster before packing. */
int spread_width(const pdf_tiff_samples *layout) {
    return layout->map[0] != NULL ? 3 : layout->samples;
}

/* Sample `index` of a row of packed samples; 16-bit samples in the host's
 * byte order, as libtiff leaves them. */
unsigned sample_at(const pdf_byte *row, size_t index, int bits) {
    if (bits == 8) return row[index];
    if (bits == 16) {
        uint16_t value;
        memcpy(&value, row + 2 * index, 2);
        return value;
    }
    size_t bit = index * (size_t)bits;
    return (row[bit >> 3] >> (8 - bits - (int)(bit & 7))) & ((1u << bits) - 1);
}

/* Spreads one decoded row of `count` pixels (of one plane when `plane` is
 * not negative) to the raster at `out`, one byte per sample. */
void spread_row(const pdf_tiff_samples *layout, const pdf_byte *in, pdf_byte *out, uint32_t count,
                int plane) {
    int stride = spread_width(layout);
    size_t n = (size_t)count * (plane < 0 ? layout->samples : 1);
    if (layout->map[0] != NULL) {
        /* Only the indexes count; in separate planes they are the first. */
        if (plane > 0) return;
        for (size_t i = 0; i < count; i++, out += 3) {
            unsigned index = sample_at(in, plane < 0 ? i * layout->samples : i, layout->bits);
            for (int c = 0; c < 3; c++) {
                unsigned long v = layout->map[c][index];
                out[c] = (pdf_byte)(layout->map_16bit ? v * 255 / 65535 : v);
            }
        }
    } else if (plane < 0 && layout->bits == 8) {
        memcpy(out, in, n);
    } else {
        int shift = layout->bits == 16 ? 8 : 0;
        for (size_t i = 0; i < n; i++)
            out[plane < 0 ? i : i * (size_t)stride] =
                (pdf_byte)(sample_at(in, i, layout->bits) >> shift);
    }
}

/* Decodes strip or tile after strip or tile into the raster. `buffer`
 * holds the largest of them. Returns -1 when libtiff fails. */
int decode_chunks(TIFF *tif, const pdf_tiff_samples *layout, pdf_byte *raster, pdf_byte *buffer,
                  tmsize_t size) {
    uint32_t chunk_width = layout->width, chunk_length = 0;
    int planes = layout->separate ? layout->samples : 1;
    size_t stride = (size_t)spread_width(layout);
    tmsize_t row_size = layout->tiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif);
    if (layout->tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &chunk_width);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &chunk_length);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &chunk_length);
        if (chunk_length == 0 || chunk_length > layout->height) chunk_length = layout->height;
    }
    if (chunk_width == 0 || chunk_length == 0 || row_size <= 0) return -1;
    for (int plane = 0; plane < planes; plane++)
        for (uint32_t y = 0; y < layout->height; y += chunk_length)
            for (uint32_t x = 0; x < layout->width; x += chunk_width) {
                uint32_t rows =
                    layout->height - y < chunk_length ? layout->height - y : chunk_length;
                uint32_t columns =
                    layout->width - x < chunk_width ? layout->width - x : chunk_width;
                tmsize_t got =
                    layout->tiled
                        ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, (uint16_t)plane),
                                              buffer, size)
                        : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y, (uint16_t)plane),
                                               buffer, size);
                if (got < (tmsize_t)rows * row_size) return -1;
                for (uint32_t r = 0; r < rows; r++)
                    spread_row(layout, buffer + (size_t)r * (size_t)row_size,
                               raster + (((size_t)(y + r) * layout->width + x) * stride) +
                                   (layout->separate ? (size_t)plane : 0),
                               columns, layout->separate ? plane : -1);
            }
    return 0;
}

/* Scales a level of fewer than 8 bits to 0..255 and inverts it, as asked. */
pdf_byte level_of(const pdf_tiff_samples *layout, pdf_byte value, int level, int invert) {
    if (level && layout->bits < 8) value = (pdf_byte)(value * 255u / ((1u << layout->bits) - 1));
    return invert ? (pdf_byte)(255 - value) : value;
}

/* Packs the spread pixels to their colours, in place and front to back:
 * a pixel's packed bytes never lie beyond its spread ones. */
void pack_pixels(pdf_image *image, const pdf_tiff_samples *layout) {
    pdf_raster *raster = &image->raster;
    size_t stride = (size_t)spread_width(layout);
    size_t colors = layout->map[0] != NULL ? 3 : (size_t)layout->colors;
    size_t count = (size_t)layout->width * layout->height;
    int scaled = layout->levels && layout->bits < 8;
    if (colors == stride && !scaled && !layout->invert && !layout->alpha) return;
    pdf_byte *in = raster->rows, *out = raster->rows;
    for (size_t i = 0; i < count; i++, in += stride, out += colors) {
        if (layout->alpha) image->mask_raster.rows[i] = level_of(layout, in[colors], 1, 0);
        for (size_t c = 0; c < colors; c++)
            out[c] = level_of(layout, in[c], layout->levels, layout->invert);
    }
    raster->row_length = (size_t)layout->width * colors;
}

}  // namespace

int pdf_decode_tiff_samples(pdf_document *document, pdf_image *image, TIFF *tif,
                            const pdf_tiff_samples *layout, const char *tag) {
    size_t row_length = (size_t)layout->width * (size_t)spread_width(layout);
    long height = (long)layout->height;
    tmsize_t size = layout->tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    if (size <= 0) return -1;
    if (pdf_alloc_raster(document, image, row_length, height, tag) < 0 ||
        (layout->alpha &&
         pdf_alloc_rows(document, image, &image->mask_raster, layout->width, height, tag) < 0))
        return image->reader == NULL ? -1 : -2;
    /* A strip or tile far larger than the whole image belongs to none: a
     * file of a few bytes must not make the reader ask for gigabytes. */
    size_t image_bytes = row_length * (size_t)height * (layout->bits == 16 ? 2 : 1);
    if ((size_t)size > 8 * image_bytes + TIFF_SLACK) return -2;
    /* Nothing may leave this frame while the buffer is held. */
    pdf_byte *buffer = (pdf_byte *)document->malloc_proc(document, (size_t)size, tag);
    if (buffer == NULL)
        return pdf_reader_fail(document, image, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n",
                               tag);
    int status = decode_chunks(tif, layout, image->raster.rows, buffer, size);
    pdf_free(document, buffer);
    if (status < 0) return -1;
    pack_pixels(image, layout);
    pdf_use_raster_source(image);
    return 0;
}
