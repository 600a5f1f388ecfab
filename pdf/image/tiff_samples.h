/*
 * tiff_samples.h -- a TIFF image's samples decoded through libtiff, as the
 * file stores them.
 */
#ifndef FOLIO_TIFF_SAMPLES_H
#define FOLIO_TIFF_SAMPLES_H

#include <tiffio.h>

#include "images.h"

/* What the decoding needs to know of the directory and of the result. */
typedef struct {
    uint32_t width;
    uint32_t height;
    uint16_t samples; /* per pixel, extra samples included */
    uint16_t bits;    /* per sample: 1, 2, 4, 8 or 16 */
    int separate;     /* one plane per sample */
    int tiled;
    int colors; /* the colour samples kept: the first `colors` of a pixel */
    int alpha;  /* the sample after the colours goes to the mask raster */
    int levels; /* samples of 1 to 4 bits are levels scaled to 0..255, not
                   palette indexes */
    int invert; /* colours are white-is-zero: stored inverted */
    /* Non-null for a palette of more than 256 entries, which the colours
     * replace its indexes by: three tables of 2^bits entries, 16-bit
     * values when `map_16bit`, else 8-bit values. */
    const uint16_t *map[3];
    int map_16bit;
} pdf_tiff_samples;

/*
 * Decodes every strip or tile of the directory `tif` is at into the slot's
 * raster, top row first, one byte per colour sample: 16-bit samples cut to
 * their high byte, colours as stored (alpha is never multiplied in or out).
 * With `alpha` the alpha samples go to the slot's mask raster, one byte a
 * pixel, ready to be written as a soft mask; the mask stream kind is left
 * as it is, so that alpha is dropped unless a soft mask is asked for.
 * Returns 0 and installs the raster source; -1 when libtiff could not
 * decode the data (nothing reported) or after a refused allocation ended
 * the reader (the slot's `reader` is then null); -2, with nothing
 * reported, when the image is too large to decode in memory. The rasters
 * are released with the reader.
 */
int pdf_decode_tiff_samples(pdf_document *document, pdf_image *image, TIFF *tif,
                            const pdf_tiff_samples *layout, const char *tag);

#endif /* FOLIO_TIFF_SAMPLES_H */
