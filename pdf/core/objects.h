/*
 * objects.h -- object numbers and the start of each object.
 */
#ifndef FOLIO_OBJECTS_H
#define FOLIO_OBJECTS_H

#include "document.h"

/* Allocates the next object number, growing the offset table. */
pdf_id pdf_alloc_id(pdf_document *document);
/* Begins object `id` (a new one for 0): records its offset and writes
 * "<id> 0 obj\n". Returns the id. Every object ends with "endobj\n",
 * written by its writer. */
pdf_id pdf_begin_obj(pdf_document *document, pdf_id id);
/* Ends the stream whose data began at offset `start` and its object, then
 * writes object `length_id` with the data's length, which the stream's
 * dictionary refers to. */
void pdf_end_stream_obj(pdf_document *document, pdf_id length_id, long start);

#endif /* FOLIO_OBJECTS_H */
