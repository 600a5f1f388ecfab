/*
 * xobject.h -- the document's XObject table and the image XObject writer.
 *
 * The table is shared by images and templates (kind 2): XObject n is named
 * I<n> in content streams and resource dictionaries. Placing an XObject marks
 * it as used by the content stream being written; the stream's resource
 * dictionary lists it and clears the mark.
 */
#ifndef FOLIO_XOBJECT_H
#define FOLIO_XOBJECT_H

#include "images.h"

/* Initial size of the table; it doubles when full. */
enum { PDF_XOBJECTS_CHUNKSIZE = 128 };

/* XObject kinds and flag bits. */
enum { PDF_XOBJECT_IMAGE = 1, PDF_XOBJECT_TEMPLATE = 2, PDF_XOBJECT_PDI = 4 };
enum { PDF_XOBJECT_IN_USE = 0x01, PDF_XOBJECT_USED = 0x02 };

/* One entry of the XObject table. */
struct pdf_xobject_s {
    pdf_id object_number;
    int flags;
    pdf_byte kind;
};

/* Sets up and releases the table of the image subsystem's record. */
void pdf_init_xobjects(pdf_document *document);
void pdf_free_xobjects(pdf_document *document);
/* Writes the /XObject entry of a resource dictionary for the XObjects the
 * content stream used, and clears their marks. */
void pdf_write_xobject_resources(pdf_document *document);

/* Registers an XObject of `kind`; with object number 0 a new object is
 * begun. Returns the table index. */
int pdf_new_xobject(pdf_document *document, pdf_byte kind, pdf_id object_number);

/* Writes one image XObject (and its length and palette objects) for the
 * slot, pulling the data from the slot's source. `first_band` is 0 for the
 * second and later bands of a banded image. */
void pdf_write_image_xobject(pdf_document *document, int slot, int first_band);

/* Ends a stream object's dictionary, which the caller has begun, with the
 * filter (Flate at the document's level, ASCII hex with the "debug" flag a)
 * and the length, and writes the `length` bytes at `data` as its stream,
 * then the length object. */
void pdf_write_block_stream(pdf_document *document, const void *data, size_t length);

#endif /* FOLIO_XOBJECT_H */
