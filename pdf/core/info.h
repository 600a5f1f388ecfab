/*
 * info.h -- the document information dictionary and the outline tree.
 */
#ifndef FOLIO_INFO_H
#define FOLIO_INFO_H

#include "document.h"

struct pdf_info_entry_s {
    char *key;
    char *value;
    pdf_info_entry *next;
};

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

/* The Producer's platform name, fixed when the library is built. */
const char *pdf_platform_name(void);

void pdf_init_info(pdf_document *document);
void pdf_write_info(pdf_document *document);
void pdf_cleanup_info(pdf_document *document);

void pdf_init_outlines(pdf_document *document);
void pdf_write_outlines_ref(pdf_document *document);
void pdf_write_outlines(pdf_document *document);
void pdf_cleanup_outlines(pdf_document *document);

#endif /* FOLIO_INFO_H */
