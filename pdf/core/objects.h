/*
 * objects.h -- object numbering, content sections and the page tree.
 */
#ifndef FOLIO_OBJECTS_H
#define FOLIO_OBJECTS_H

#include "document.h"

/* Allocates the next object number, growing the offset table. */
pdf_id pdf_alloc_id(pdf_document *document);
/* Begins object `id` (a new one for 0): records its offset and writes
 * "<id> 0 obj\n". Returns the id. */
pdf_id pdf_begin_obj(pdf_document *document, pdf_id id);

/* Opens and closes a content stream of the current page. */
void pdf_begin_contents_section(pdf_document *document);
void pdf_end_contents_section(pdf_document *document);
/* Ends an open text object ("ET"). */
void pdf_end_text(pdf_document *document);

/* The leaf /Pages node that receives the page being ended. */
pdf_id pdf_get_pnode_id(pdf_document *document);
/* Writes the page tree over all pages; returns the root's id. */
pdf_id pdf_write_pages_tree(pdf_document *document);
void pdf_write_procset(pdf_document *document);

/* Sets up and releases the per-document tables. */
void pdf_init_document(pdf_document *document);
void pdf_cleanup_document(pdf_document *document);

#endif /* FOLIO_OBJECTS_H */
