/*
 * parameters.h -- the named settings and queries of a document object.
 *
 * One registry row per key drives all four entry points (PDF_set_parameter,
 * PDF_set_value, PDF_get_parameter, PDF_get_value): they find the row, make
 * the checks every key shares (key, value, scope, modifier) and hand over to
 * the row's handler for that entry point. A key without such a handler is
 * the value error "Can't set parameter '<key>'" (or "get"). The core's rows
 * are in parameters.cpp; a subsystem adds its own rows through its
 * pdf_subsystem entry (subsystem.h), so that its settings stay its own.
 */
#ifndef FOLIO_PARAMETERS_H
#define FOLIO_PARAMETERS_H

#include "document.h"

typedef struct pdf_parameter_s pdf_parameter;

typedef void (*pdf_set_text_proc)(pdf_document *document, const pdf_parameter *row,
                                  const char *value);
typedef void (*pdf_set_value_proc)(pdf_document *document, const pdf_parameter *row, float value);
/* `modifier` is the query's modifier truncated to an integer: 0, or an image
 * or font handle for rows flagged PDF_PARAMETER_TAKES_HANDLE. */
typedef float (*pdf_get_value_proc)(pdf_document *document, const pdf_parameter *row, int modifier);
typedef const char *(*pdf_get_text_proc)(pdf_document *document, const pdf_parameter *row);

enum {
    /* A query's modifier names an object; other keys take 0 only. */
    PDF_PARAMETER_TAKES_HANDLE = 0x01,
    /* The query is answered for any document, even a null one, before any
     * check: the library's version. */
    PDF_PARAMETER_CONSTANT = 0x02
};

struct pdf_parameter_s {
    const char *key; /* compared exactly; null ends a table */
    int scopes;      /* scopes in which it may be set and read */
    int flags;       /* PDF_PARAMETER_ bits */
    pdf_set_text_proc set_text;
    pdf_set_value_proc set_value;
    pdf_get_value_proc get_value;
    pdf_get_text_proc get_text;
    int argument; /* what the handlers need: a debug letter, a field's
                     offset in the record, a box corner, a value */
};

/* A font resource line ("FontAFM", "FontPFM", "FontOutline", "Encoding"). */
struct pdf_resource_entry_s {
    char *category;
    char *name;
    char *filename;
    pdf_resource_entry *next;
};

/* The index of `value` in a null-terminated list of names, or -1. */
int pdf_choice_index(const char *const *names, const char *value);

/* "true" or "false" as 1 or 0; anything else is reported as the value
 * error "Illegal value '<value>' for parameter '<key>'" and gives -1. */
int pdf_parse_boolean(pdf_document *document, const char *key, const char *value);

/* Releases the settings texts and resource lines held by the record. */
void pdf_cleanup_parameters(pdf_document *document);

#endif /* FOLIO_PARAMETERS_H */
