/*
 * memory.cpp -- the default memory hooks, the calls through a document's
 * hooks, and text copies.
 */
#include <stdlib.h>
#include <string.h>

#include "document.h"

void *pdf_default_malloc(pdf_document *document, size_t size, const char *routine) {
    if (size == 0) {
        if (document != NULL)
            pdf_error(document, PDF_ERR_NONFATAL, "Tried to allocate 0 bytes in %s!\n", routine);
        size = 1;
    }
    void *block = malloc(size);
    if (block == NULL && document != NULL)
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n", routine);
    return block;
}

void *pdf_default_calloc(pdf_document *document, size_t size, const char *routine) {
    if (size == 0) {
        pdf_error(document, PDF_ERR_NONFATAL, "Tried to (c)allocate 0 bytes in %s!\n", routine);
        size = 1;
    }
    /* Through the allocation hook, so that a caller's hook is honoured. */
    void *block = document->malloc_proc(document, size, routine);
    if (block == NULL) {
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't (c)allocate memory in %s!\n", routine);
        return NULL;
    }
    memset(block, 0, size);
    return block;
}

void *pdf_default_realloc(pdf_document *document, void *block, size_t size, const char *routine) {
    void *moved = realloc(block, size);
    if (moved == NULL)
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't reallocate memory in %s!\n", routine);
    return moved;
}

void pdf_default_free(pdf_document *document, void *block) {
    if (block == NULL) {
        pdf_error(document, PDF_ERR_NONFATAL, "(Internal) Tried to free null pointer");
        return;
    }
    free(block);
}

/* The calls below also report failures of a caller's hooks, which need not
 * report anything themselves. */

void *pdf_malloc(pdf_document *document, size_t size, const char *routine) {
    void *block = document->malloc_proc(document, size, routine);
    if (block == NULL && document->malloc_proc != pdf_default_malloc)
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n", routine);
    return block;
}

void *pdf_calloc(pdf_document *document, size_t size, const char *routine) {
    return document->calloc_proc(document, size, routine);
}

void *pdf_realloc(pdf_document *document, void *block, size_t size, const char *routine) {
    void *moved = document->realloc_proc(document, block, size, routine);
    if (moved == NULL && document->realloc_proc != pdf_default_realloc)
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't reallocate memory in %s!\n", routine);
    return moved;
}

void pdf_free(pdf_document *document, void *block) {
    document->free_proc(document, block);
}

size_t pdf_text_size(const char *text) {
    const unsigned char *bytes = (const unsigned char *)text;
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
        size_t offset = 2;
        while (bytes[offset] != 0 || bytes[offset + 1] != 0) offset += 2;
        return offset + 2;
    }
    return strlen(text) + 1;
}

char *pdf_strdup(pdf_document *document, const char *text) {
    if (text == NULL) {
        pdf_error(document, PDF_ERR_SYSTEM, "NULL string in pdf_strdup");
        return NULL;
    }
    size_t size = pdf_text_size(text);
    char *copy = (char *)pdf_malloc(document, size, "pdf_strdup");
    if (copy != NULL) memcpy(copy, text, size);
    return copy;
}

void pdf_free_text(pdf_document *document, char **text) {
    if (*text != NULL) {
        pdf_free(document, *text);
        *text = NULL;
    }
}
