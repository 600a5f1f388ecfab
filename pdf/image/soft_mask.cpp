/*
 * soft_mask.cpp -- the opacity of decoded images (soft_mask.h).
 */
#include "soft_mask.h"

#include <string.h>

#include "mask_stream.h"

void pdf_use_soft_mask(pdf_document *document, pdf_image *image) {
    pdf_raster *mask = &image->mask_raster;
    size_t size = mask->row_length * (size_t)mask->row_count;

    image->mask_stream_kind = PDF_MASK_STREAM_SOFT;
    for (size_t i = 0; i < size; i++)
        if (mask->rows[i] != 255) return;
    pdf_free(document, mask->rows);
    memset(mask, 0, sizeof *mask);
    image->mask_stream_kind = PDF_MASK_STREAM_NONE;
}

int pdf_split_alpha(pdf_document *document, pdf_image *image, int channels, const char *tag) {
    pdf_raster *raster = &image->raster;
    size_t colors = (size_t)channels - 1;
    size_t count = (size_t)image->width * (size_t)raster->row_count;

    if (pdf_alloc_mask_raster(document, image, PDF_MASK_STREAM_SOFT, tag) < 0) return -1;
    const pdf_byte *in = raster->rows;
    pdf_byte *out = raster->rows;
    pdf_byte *alpha = image->mask_raster.rows;
    /* Each pixel's packed samples end before its unpacked ones begin. */
    for (size_t i = 0; i < count; i++, in += channels, out += colors) {
        memmove(out, in, colors);
        alpha[i] = in[colors];
    }
    raster->row_length = (size_t)image->width * colors;
    pdf_use_soft_mask(document, image);
    return 0;
}

int pdf_palette_alpha(pdf_document *document, pdf_image *image, const pdf_byte *alphas, int count,
                      const char *tag) {
    const pdf_raster *raster = &image->raster;
    int bits = image->bits_per_component;
    int mask_bits = (1 << bits) - 1;
    size_t width = (size_t)image->width;

    if (pdf_alloc_mask_raster(document, image, PDF_MASK_STREAM_SOFT, tag) < 0) return -1;
    pdf_byte *alpha = image->mask_raster.rows;
    for (long row = 0; row < raster->row_count; row++) {
        const pdf_byte *indices = raster->rows + (size_t)row * raster->row_length;
        for (size_t x = 0; x < width; x++) {
            size_t bit = x * (size_t)bits;
            int index = (indices[bit / 8] >> (8 - bits - (int)(bit % 8))) & mask_bits;
            *alpha++ = index < count ? alphas[index] : 255;
        }
    }
    pdf_use_soft_mask(document, image);
    return 0;
}
