/*
 * pattern.h -- tiling patterns: content streams defined between pages and
 * used as fill or stroke colours (PDF_setcolor with "pattern").
 *
 * A pattern's number is its index in the document's pattern table. Using a
 * pattern marks it as used by the content stream being written, whose
 * resource dictionary then lists it as /P<n>.
 */
#ifndef FOLIO_PATTERN_H
#define FOLIO_PATTERN_H

#include "../core/subsystem.h"

/* Initial size of the pattern table; it doubles when full. */
enum { PDF_PATTERNS_CHUNKSIZE = 4 };

/* Paint types: the pattern carries its colours, or takes one when used. */
enum { PDF_PATTERN_COLORED = 1, PDF_PATTERN_UNCOLORED = 2 };

typedef struct {
    pdf_id object_number;
    int paint_type;
    int used; /* used by the content stream being written */
} pdf_pattern;

/* The subsystem's record (document->patterns). */
struct pdf_pattern_table_s {
    pdf_pattern *entries;
    int count; /* patterns defined so far */
    int capacity;
    int defining; /* the pattern whose definition is open, in pattern scope */
};

/* Sets up and releases the table and writes the /Pattern entry of a
 * resource dictionary. */
extern const pdf_subsystem pdf_pattern_subsystem;

/* The paint type of pattern `number` for PDF_setcolor, or 0 after the value
 * error for a number that names no pattern or the one being defined. */
int pdf_pattern_paint_type(pdf_document *document, int number);
/* Marks pattern `number` as used by the content stream being written. */
void pdf_use_pattern(pdf_document *document, int number);

#endif /* FOLIO_PATTERN_H */
