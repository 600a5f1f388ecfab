/*
 * memory.h -- the default memory hooks, allocation through a document's
 * hooks, and copies of texts. Every block the library uses comes from here.
 */
#ifndef FOLIO_MEMORY_H
#define FOLIO_MEMORY_H

#include <stddef.h>

#include "folio.h"

void *pdf_default_malloc(pdf_document *document, size_t size, const char *routine);
void *pdf_default_calloc(pdf_document *document, size_t size, const char *routine);
void *pdf_default_realloc(pdf_document *document, void *block, size_t size, const char *routine);
void pdf_default_free(pdf_document *document, void *block);

/* Calls through the document's hooks. */
void *pdf_malloc(pdf_document *document, size_t size, const char *routine);
void *pdf_calloc(pdf_document *document, size_t size, const char *routine);
void *pdf_realloc(pdf_document *document, void *block, size_t size, const char *routine);
void pdf_free(pdf_document *document, void *block);

/* Size of an 8-bit text (through its zero byte) or of a Unicode text that
 * starts with FE FF (through its zero 16-bit unit). */
size_t pdf_text_size(const char *text);
/* Copies a text as pdf_text_size measures it ("pdf_strdup"). */
char *pdf_strdup(pdf_document *document, const char *text);
/* Frees *text if set and clears it. */
void pdf_free_text(pdf_document *document, char **text);

#endif /* FOLIO_MEMORY_H */
