/*
 * images.h -- image slots, the XObject table, data sources and placement.
 */
#ifndef FOLIO_IMAGES_H
#define FOLIO_IMAGES_H

#include "../core/document.h"

/* Called at document start and end (and while pages are written). */
void pdf_init_images(pdf_document *document);
void pdf_free_images(pdf_document *document);
void pdf_init_xobjects(pdf_document *document);
void pdf_free_xobjects(pdf_document *document);
/* Writes the /XObject entry of a resource dictionary for the XObjects used
 * since the last one was written. */
void pdf_write_xobject_resources(pdf_document *document);

#endif /* FOLIO_IMAGES_H */
