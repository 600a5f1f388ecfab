/*
 * jpeg.h -- the JPEG reader.
 */
#ifndef FOLIO_JPEG_H
#define FOLIO_JPEG_H

#include "images.h"

/* The JPEG reader: the file from its start-of-image marker on becomes the
 * XObject's DCTDecode data, unchanged. Follows the contract of reader.h. */
int pdf_open_JPEG(pdf_document *document, int slot, const char *filename, const char *stringparam,
                  int intparam);

#endif /* FOLIO_JPEG_H */
