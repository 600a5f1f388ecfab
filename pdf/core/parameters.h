/*
 * parameters.h -- the named settings and queries of a document object.
 */
#ifndef FOLIO_PARAMETERS_H
#define FOLIO_PARAMETERS_H

#include "document.h"

/* A font resource line ("FontAFM", "FontPFM", "FontOutline", "Encoding"). */
struct pdf_resource_entry_s {
    char *category;
    char *name;
    char *filename;
    pdf_resource_entry *next;
};

/* Releases the settings texts and resource lines held by the record. */
void pdf_cleanup_parameters(pdf_document *document);

#endif /* FOLIO_PARAMETERS_H */
