/*
 * outlines.h -- the document outline (bookmarks). Entry 0 of the table is the
 * root; a bookmark's number is its index.
 */
#ifndef FOLIO_OUTLINES_H
#define FOLIO_OUTLINES_H

#include "document.h"

struct pdf_outline_entry_s {
    pdf_id self_id;
    pdf_id prev_id;
    pdf_id next_id;
    int parent;
    int first_child;
    int last_child;
    char *text;
    int count;
    int open;
    pdf_byte dest_type;
    int page;
};

void pdf_init_outlines(pdf_document *document);
/* The catalog's "/Outlines" entry, when there are bookmarks. */
void pdf_write_outlines_ref(pdf_document *document);
/* The root and every entry, written after the catalog. */
void pdf_write_outlines(pdf_document *document);
void pdf_cleanup_outlines(pdf_document *document);

#endif /* FOLIO_OUTLINES_H */
