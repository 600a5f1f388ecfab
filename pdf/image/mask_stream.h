/*
 * mask_stream.h -- masks that a reader computes beside the image's samples
 * and that are written as an image stream of their own.
 *
 * A reader that finds which pixels of its image show (from samples the
 * image's own dictionary cannot key out) allocates the slot's mask raster,
 * fills it top row first and sets `mask_stream_kind`. The XObject writer
 * then writes the mask as an object of its own just before the image and
 * names it in the image's dictionary. The raster is released with the
 * reader's state (pdf_end_reader).
 */
#ifndef FOLIO_MASK_STREAM_H
#define FOLIO_MASK_STREAM_H

#include "images.h"

/* Allocates the slot's mask raster for a mask of `kind` over the slot's
 * width and height, every pixel shown (zero-filled for a stencil, one byte
 * of full opacity per pixel for a soft mask). Returns
 * 0; -1, with nothing allocated or reported, when it would be too large. A
 * refused allocation ends the reader (pdf_reader_fail) with the memory
 * error naming `tag`. */
int pdf_alloc_mask_raster(pdf_document *document, pdf_image *image, int kind, const char *tag);

/* Hides pixel `x` of a stencil mask row. */
void pdf_hide_mask_pixel(pdf_byte *row, long x);

/* Writes the slot's mask stream, if it has one, as a new object and returns
 * its number; returns 0 when there is none. A stencil is a one-bit image
 * mask (/ImageMask true) whose set bits hide the image's pixels, for the
 * image's /Mask; a soft mask an 8-bit DeviceGray image of each pixel's
 * opacity, for its /SMask (PDF 1.4). */
pdf_id pdf_write_mask_stream(pdf_document *document, pdf_image *image);

#endif /* FOLIO_MASK_STREAM_H */
