/*
 * info.h -- the document information dictionary.
 */
#ifndef FOLIO_INFO_H
#define FOLIO_INFO_H

#include "document.h"

struct pdf_info_entry_s {
    char *key;
    char *value;
    pdf_info_entry *next;
};

/* The Producer's platform name, fixed when the library is built. */
const char *pdf_platform_name(void);

void pdf_init_info(pdf_document *document);
void pdf_write_info(pdf_document *document);
void pdf_cleanup_info(pdf_document *document);

#endif /* FOLIO_INFO_H */
