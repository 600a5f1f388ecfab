/*
 * row_filter.h -- PNG row filters for decoded image data.
 *
 * With the parameter "imagepredictor" on, the samples of an image that does
 * not pass through are written row by row, each row preceded by the type of
 * the filter that predicts it from its left and upper neighbours, and the
 * stream is declared Flate data with predictor 15. Smooth images then
 * deflate to about half the size. The filter of each row is the one whose
 * output has the least sum of absolute values, taken as signed bytes.
 */
#ifndef FOLIO_ROW_FILTER_H
#define FOLIO_ROW_FILTER_H

#include "images.h"

/* The predictor the decode parameters name: PNG filters, chosen per row. */
enum { PDF_PNG_PREDICTOR = 15 };

/* The filter types, as the first byte of a filtered row carries them. */
enum {
    PDF_ROW_FILTER_NONE = 0,
    PDF_ROW_FILTER_SUB = 1,
    PDF_ROW_FILTER_UP = 2,
    PDF_ROW_FILTER_AVERAGE = 3,
    PDF_ROW_FILTER_PAETH = 4
};

/* Filters the `length` bytes of `row` with the filter of least sum, each
 * byte predicted from the byte `step` places to its left and from the byte
 * above it in `previous` (zeros for the first row). Writes the filter type
 * and the `length` filtered bytes to `out`; returns the type. */
int pdf_filter_row(const pdf_byte *row, const pdf_byte *previous, size_t length, size_t step,
                   pdf_byte *out);

/* True when the image's data are written filtered: the parameter is on, the
 * data are deflated by the writer, and the colour space is one whose
 * component count the decode parameters give. */
int pdf_image_rows_filtered(pdf_document *document, const pdf_image *image);

/* For a reader that decodes row by row into the raster, whose source is
 * the slot's: when the image's rows will be written filtered on threads,
 * puts the filtering source in place and begins deflating ahead
 * (parallel_flate.h), and returns 1; else 0. The reader then tells
 * pdf_filtered_rows_decoded how many rows are decoded as it goes, and the
 * threads deflate the blocks they fill while it decodes the rest; the
 * XObject writer goes on from there. */
int pdf_begin_filtered_rows_ahead(pdf_document *document, pdf_image *image);
void pdf_filtered_rows_decoded(pdf_document *document, pdf_image *image, long rows);

/* Copies the image's source into the open stream as filtered rows,
 * deflated, going on from the blocks deflated ahead if any. The image's own source is restored when
 * the copy ends; an error that leaves the copy leaves the filtering source active in the slot,
 * whose release frees it and releases the image's source. */
void pdf_copy_filtered_rows(pdf_document *document, pdf_image *image);

#endif /* FOLIO_ROW_FILTER_H */
