/*
 * decoded.h -- the road of images that cannot pass through.
 *
 * A reader that must decode its file allocates the slot's raster, decodes
 * into it top row first, packed as the XObject will hold the samples, and
 * installs the raster source. The XObject writer then pulls one row per
 * refill and deflates the rows at the document's level. Any reader that
 * turns its file into rows of samples can take this road; the raster is
 * released with the reader's state (pdf_end_reader).
 */
#ifndef FOLIO_DECODED_H
#define FOLIO_DECODED_H

#include "images.h"

/* The largest raster decoded into memory. */
#define PDF_MAX_RASTER_BYTES ((size_t)1 << 30)

/* Allocates the slot's raster of `row_count` rows of `row_length` bytes,
 * whose contents the reader defines. Returns 0; -1, with nothing allocated or reported, when the
 * raster would be empty or larger than PDF_MAX_RASTER_BYTES. A refused
 * allocation ends the reader (pdf_reader_fail) with the memory error naming
 * `tag`. */
int pdf_alloc_raster(pdf_document *document, pdf_image *image, size_t row_length, long row_count,
                     const char *tag);
/* The same for another raster of the slot's (its mask raster). */
int pdf_alloc_rows(pdf_document *document, pdf_image *image, pdf_raster *raster, size_t row_length,
                   long row_count, const char *tag);
/* Frees the slot's rasters. */
void pdf_free_raster(pdf_document *document, pdf_image *image);

/* Makes the slot's source deliver the raster's rows, one per refill. */
void pdf_use_raster_source(pdf_image *image);

#endif /* FOLIO_DECODED_H */
