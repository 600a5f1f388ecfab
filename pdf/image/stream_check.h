/*
 * stream_check.h -- copying compressed image data that pass through
 * unchanged, with a check that a PDF reader can decode them.
 */
#ifndef FOLIO_STREAM_CHECK_H
#define FOLIO_STREAM_CHECK_H

#include "images.h"

/*
 * Copies the slot's source into the open stream like pdf_copy_source_raw.
 * Flate and LZW data, which a reader passes through from the image file,
 * are decoded on the way (the decoded bytes are discarded): data that do not
 * decode, or that end before their end marker, are PDF_ERR_IO
 * "Corrupt image data in file '<name>' (<reason>)", raised after the source
 * was released. Other encodings are copied unchecked, by the reader's
 * copy_direct when it has one and it can.
 */
void pdf_copy_source_checked(pdf_document *document, pdf_image *image);

#endif /* FOLIO_STREAM_CHECK_H */
