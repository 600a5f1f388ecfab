/*
 * png.h -- the PNG reader.
 */
#ifndef FOLIO_PNG_H
#define FOLIO_PNG_H

#include "images.h"

/* The PNG reader: IDAT data pass through with PNG predictors where PDF can
 * read them, and are decoded through libpng otherwise. Follows the contract of reader.h. */
int pdf_open_PNG(pdf_document *document, int slot, const char *filename, const char *stringparam,
                 int intparam);

#endif /* FOLIO_PNG_H */
