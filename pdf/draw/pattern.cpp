/*
 * pattern.cpp -- the pattern table, PDF_begin_pattern and PDF_end_pattern,
 * and the /Pattern entry of resource dictionaries.
 */
#include "pattern.h"

#include "../core/content.h"
#include "../core/objects.h"
#include "../core/output.h"

namespace {

void init_patterns(pdf_document *document) {
    pdf_pattern_table *table =
        (pdf_pattern_table *)pdf_calloc(document, sizeof(pdf_pattern_table), "pdf_init_pattern");
    document->patterns = table;
    if (table == NULL) return;
    table->entries = (pdf_pattern *)pdf_calloc(
        document, sizeof(pdf_pattern) * PDF_PATTERNS_CHUNKSIZE, "pdf_init_pattern");
    if (table->entries != NULL) table->capacity = PDF_PATTERNS_CHUNKSIZE;
}

void cleanup_patterns(pdf_document *document) {
    pdf_pattern_table *table = document->patterns;
    if (table == NULL) return;
    if (table->entries != NULL) pdf_free(document, table->entries);
    pdf_free(document, table);
    document->patterns = NULL;
}

/* Doubles the table; returns 0 when it could not grow. */
int grow_patterns(pdf_document *document) {
    pdf_pattern_table *table = document->patterns;
    int capacity = table->capacity * 2;
    pdf_pattern *grown = (pdf_pattern *)pdf_realloc(
        document, table->entries, sizeof(pdf_pattern) * (size_t)capacity, "pdf_grow_pattern");
    if (grown == NULL) return 0;
    for (int i = table->capacity; i < capacity; i++) {
        grown[i].object_number = -1;
        grown[i].used = 0;
    }
    table->entries = grown;
    table->capacity = capacity;
    return 1;
}

/* Lists the patterns the content stream used, clearing their marks. */
void write_resources(pdf_document *document) {
    pdf_pattern_table *table = document->patterns;
    int written = 0;
    for (int i = 0; i < table->count; i++) {
        pdf_pattern *pattern = &table->entries[i];
        if (!pattern->used) continue;
        if (!written) {
            pdf_puts(document, "/Pattern");
            pdf_puts(document, "<<");
            written = 1;
        }
        pattern->used = 0;
        pdf_printf(document, "/P%d %ld 0 R\n", i, pattern->object_number);
    }
    if (written) pdf_puts(document, ">>\n");
}

int check_pattern(pdf_document *document, float width, float height, int paint_type) {
    if (!(width > 0) || !(height > 0)) {
        pdf_error(document, PDF_ERR_VALUE, "Pattern size must be positive");
        return 0;
    }
    if (document->compatibility == 12) {
        pdf_error(document, PDF_ERR_RUNTIME, "Patterns not fully supported in Acrobat 3");
        return 0;
    }
    if (paint_type != PDF_PATTERN_COLORED && paint_type != PDF_PATTERN_UNCOLORED) {
        pdf_error(document, PDF_ERR_VALUE, "Bad pattern paint type %d in PDF_begin_pattern",
                  paint_type);
        return 0;
    }
    return 1;
}

}  // namespace

const pdf_subsystem pdf_pattern_subsystem = {
    init_patterns, cleanup_patterns, NULL, write_resources, NULL, NULL, NULL, NULL,
};

int pdf_pattern_paint_type(pdf_document *document, int number) {
    const pdf_pattern_table *table = document->patterns;
    if (number < 0 || number >= table->count) {
        pdf_error(document, PDF_ERR_VALUE, "Invalid pattern number %d in PDF_setcolor", number);
        return 0;
    }
    if (pdf_current_scope(document) == PDF_SCOPE_PATTERN && number == table->defining) {
        pdf_error(document, PDF_ERR_VALUE, "Can't use pattern within its own definition");
        return 0;
    }
    return table->entries[number].paint_type;
}

void pdf_use_pattern(pdf_document *document, int number) {
    document->patterns->entries[number].used = 1;
}

int PDF_begin_pattern(pdf_document *document, float width, float height, float xstep, float ystep,
                      int painttype) {
    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT, "PDF_begin_pattern")) return -1;
    if (!pdf_check_numbers(document, "PDF_begin_pattern", 1, 4, width, height, xstep, ystep))
        return -1;
    if (!check_pattern(document, width, height, painttype)) return -1;
    pdf_pattern_table *table = document->patterns;
    if (table->count == table->capacity && !grow_patterns(document)) return -1;

    int number = table->count;
    pdf_pattern *pattern = &table->entries[number];
    pattern->object_number = pdf_begin_obj(document, 0);
    pattern->paint_type = painttype;
    pattern->used = 0;
    table->count++;
    table->defining = number;
    pdf_begin_definition(document, PDF_SCOPE_PATTERN, "PDF_begin_pattern");

    pdf_content_stream *content = &document->content;
    content->object_id = pattern->object_number;
    pdf_puts(document, "<<");
    content->resources_id = pdf_alloc_id(document);
    pdf_puts(document, "/PatternType 1\n");
    pdf_printf(document, "/PaintType %d\n", painttype);
    pdf_puts(document, "/TilingType 1\n");
    pdf_printf(document, "/BBox[0 0 %f %f]\n", width, height);
    pdf_printf(document, "/XStep %f\n", xstep);
    pdf_printf(document, "/YStep %f\n", ystep);
    pdf_printf(document, "/Resources %ld 0 R\n", content->resources_id);
    pdf_begin_content_data(document);
    return number;
}

void PDF_end_pattern(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_PATTERN, "PDF_end_pattern")) return;
    pdf_end_definition(document, "pattern", "PDF_end_pattern");
}
