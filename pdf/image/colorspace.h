/*
 * colorspace.h -- the document's colourspace registry.
 */
#ifndef FOLIO_COLORSPACE_H
#define FOLIO_COLORSPACE_H

#include "../core/document.h"

void pdf_init_colorspaces(pdf_document *document);
/* Writes the colourspace objects at document end. */
void pdf_write_doc_colorspaces(pdf_document *document);
/* Writes the /ColorSpace entry of a page's resources when the page used one. */
void pdf_write_page_colorspaces(pdf_document *document);
void pdf_cleanup_colorspaces(pdf_document *document);

#endif /* FOLIO_COLORSPACE_H */
