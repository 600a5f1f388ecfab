/*
 * gif_decode.h -- decoding a GIF image's LZW codes into pixel indices.
 *
 * The GIF reader re-packs the codes of most files for PDF's LZW filter.
 * The files whose codes a PDF decoder cannot follow (a minimum code size
 * other than 8, interlaced rows, a table that stays full without a clear
 * code) are decoded here instead, into one byte per pixel.
 */
#ifndef FOLIO_GIF_DECODE_H
#define FOLIO_GIF_DECODE_H

#include <stdint.h>
#include <stdio.h>

#include "images.h"

/* The widest code and the size of the code table. */
#define PDF_GIF_MAX_CODE_WIDTH 12
#define PDF_GIF_TABLE_SIZE (1 << PDF_GIF_MAX_CODE_WIDTH)

/* What decoding ends with. */
enum {
    PDF_GIF_DECODED = 0,
    PDF_GIF_CODE_CORRUPT = 1,   /* a code beyond the table */
    PDF_GIF_DATA_CUT_SHORT = 2, /* the file ends within the data */
    PDF_GIF_PIXELS_MISSING = 3  /* the codes end before the last pixel */
};

/* The decoder's tables: each entry is the string of its prefix entry
 * followed by its last byte. */
typedef struct {
    uint16_t prefix[PDF_GIF_TABLE_SIZE];
    pdf_byte last[PDF_GIF_TABLE_SIZE];
    pdf_byte first[PDF_GIF_TABLE_SIZE];
    pdf_byte stack[PDF_GIF_TABLE_SIZE];
} pdf_gif_tables;

/*
 * Decodes the codes of the data sub-blocks that start at the file's
 * position into `raster` (one byte per pixel, its rows the image's rows),
 * de-interlacing when `interlaced` is set. `code_size` is the minimum code
 * size, 1 to 8. Decoding stops when every pixel is there, and returns
 * PDF_GIF_DECODED; anything that ends it before returns the status that
 * says what.
 */
int pdf_decode_gif_codes(FILE *file, pdf_gif_tables *tables, pdf_raster *raster, int code_size,
                         int interlaced);

#endif /* FOLIO_GIF_DECODE_H */
