/*
 * readers.h -- the image file readers.
 *
 * Each reader is called with a free slot, fills it (size, colour space,
 * compression, pass-through, palette, masks, resolution, bands), installs
 * the slot's data source, sets `occupied` and `file_name`, writes the
 * XObject through pdf_write_image_xobject before it returns, and returns the
 * slot index. On failure it returns -1 and the caller resets the slot.
 */
#ifndef FOLIO_READERS_H
#define FOLIO_READERS_H

#include "images.h"

int pdf_open_JPEG(pdf_document *document, int slot, const char *filename,
                  const char *stringparam, int intparam);
int pdf_open_PNG(pdf_document *document, int slot, const char *filename,
                 const char *stringparam, int intparam);
int pdf_open_TIFF(pdf_document *document, int slot, const char *filename,
                  const char *stringparam, int intparam);
int pdf_open_GIF_data(pdf_document *document, int slot, const char *filename,
                      const char *stringparam, int intparam);

#endif /* FOLIO_READERS_H */
