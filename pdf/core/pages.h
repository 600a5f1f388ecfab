/*
 * pages.h -- the page tables and the page tree. PDF_begin_page and
 * PDF_end_page write each page object and its resources.
 */
#ifndef FOLIO_PAGES_H
#define FOLIO_PAGES_H

#include "document.h"

/* Sets up the page tables of a new document, whose first page-tree leaf
 * gets the first object number; releases them. */
void pdf_init_pages(pdf_document *document);
void pdf_cleanup_pages(pdf_document *document);

/* The object number of page `page` (from 1), reserved now for a page not
 * yet begun, so that a link can point ahead; 0 after an error. */
pdf_id pdf_page_object_id(pdf_document *document, int page);
/* Writes every page reserved that way but never begun as a null object,
 * with a warning naming the page. */
void pdf_write_unwritten_pages(pdf_document *document);

/* Writes the page tree over all pages; returns the root's id. */
pdf_id pdf_write_pages_tree(pdf_document *document);

#endif /* FOLIO_PAGES_H */
