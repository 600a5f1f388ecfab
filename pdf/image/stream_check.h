/*
 * stream_check.h -- copying compressed image data that pass through
 * unchanged, with a check that a PDF reader can decode them.
 */
#ifndef FOLIO_STREAM_CHECK_H
#define FOLIO_STREAM_CHECK_H

#include "images.h"

/* Room for the reason that pdf_check_source gives. */
#define PDF_CHECK_REASON_SIZE 128

/*
 * Copies the slot's source into the open stream like pdf_copy_source_raw.
 * Flate, LZW and RunLength data, which a reader passes through from the
 * image file, are decoded on the way (the decoded bytes are discarded):
 * data that do not decode, that end before their end marker, or that stop
 * short of the bytes the slot's width, height, components, bits per
 * component and predictor call for, are PDF_ERR_IO
 * "Corrupt image data in file '<name>' (<reason>)", raised after the source
 * was released. Other encodings are copied unchecked, by the reader's
 * copy_direct when it has one and it can, and so are data the reader
 * checked before (`data_checked`).
 */
void pdf_copy_source_checked(pdf_document *document, pdf_image *image);

/*
 * Runs the slot's source through the same check without writing anything,
 * and releases it. Returns 1 when the data are sound (data of other
 * encodings are not read), 0 with the reason in `reason` (`size` bytes,
 * PDF_CHECK_REASON_SIZE will do) when they are not. A reader calls it
 * before it writes the XObject, so that damaged data refuse the image
 * before any of it reaches the output; it then sets `data_checked`, and
 * rewinds its source in `init` for the copy.
 */
int pdf_check_source(pdf_document *document, pdf_image *image, char *reason, size_t size);

#endif /* FOLIO_STREAM_CHECK_H */
