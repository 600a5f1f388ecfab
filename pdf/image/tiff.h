/*
 * tiff.h -- the TIFF reader.
 */
#ifndef FOLIO_TIFF_H
#define FOLIO_TIFF_H

#include "images.h"

/* The TIFF reader: strips pass through where PDF has their filter, one
 * XObject per strip, and are decoded through libtiff otherwise. Follows the contract of reader.h.
 */
int pdf_open_TIFF(pdf_document *document, int slot, const char *filename, const char *stringparam,
                  int intparam);

#endif /* FOLIO_TIFF_H */
