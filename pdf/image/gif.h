/*
 * gif.h -- the GIF reader.
 */
#ifndef FOLIO_GIF_H
#define FOLIO_GIF_H

#include "images.h"

/* The GIF reader: the first image's LZW codes are re-packed for PDF's LZW
 * filter, or decoded where PDF's decoder could not follow them. Follows the
 * contract of reader.h. */
int pdf_open_GIF_data(pdf_document *document, int slot, const char *filename,
                      const char *stringparam, int intparam);

#endif /* FOLIO_GIF_H */
