/*
 * objects.cpp -- object numbering and the content streams of a page.
 * Every object's offset is recorded when it begins; lengths of streams go
 * into indirect objects written after the stream, so nothing is revisited.
 */
#include "objects.h"

#include "output.h"

pdf_id pdf_alloc_id(pdf_document *document) {
    pdf_id id = document->object_count + 1;
    if (id >= document->object_capacity) {
        long *grown = (long *)pdf_realloc(
            document, document->object_offsets,
            sizeof(long) * (size_t)document->object_capacity * 2, "pdf_alloc_id");
        if (grown == NULL) return 0;
        document->object_offsets = grown;
        document->object_capacity *= 2;
    }
    document->object_count = id;
    document->object_offsets[id] = -1;
    return id;
}

pdf_id pdf_begin_obj(pdf_document *document, pdf_id id) {
    if (id == 0) id = pdf_alloc_id(document);
    document->object_offsets[id] = pdf_tell(document);
    pdf_printf(document, "%ld 0 obj\n", id);
    return id;
}

void pdf_end_text(pdf_document *document) {
    if (document->content_state == PDF_CONTENT_TEXT) {
        pdf_puts(document, "ET\n");
        document->content_state = PDF_CONTENT_SECTION;
    }
}

void pdf_begin_contents_section(pdf_document *document) {
    if (document->content_state != PDF_CONTENT_NONE) return;
    if (document->contents_count >= document->contents_capacity) {
        pdf_id *grown = (pdf_id *)pdf_realloc(
            document, document->contents,
            sizeof(pdf_id) * (size_t)document->contents_capacity * 2,
            "pdf_begin_contents_section");
        if (grown == NULL) return;
        document->contents = grown;
        document->contents_capacity *= 2;
    }
    document->contents[document->contents_count++] = pdf_begin_obj(document, 0);
    document->content_state = PDF_CONTENT_SECTION;
    pdf_puts(document, "<<");
    document->content_length_id = pdf_alloc_id(document);
    pdf_printf(document, "/Length %ld 0 R\n", document->content_length_id);
    if (document->compress != 0) pdf_puts(document, "/Filter/FlateDecode\n");
    pdf_puts(document, ">>\n");
    pdf_puts(document, "stream\n");
    pdf_compress_init(document);
    document->content_start = pdf_tell(document);
}

void pdf_end_contents_section(pdf_document *document) {
    if (document->content_state == PDF_CONTENT_NONE) return;
    pdf_end_text(document);
    document->content_state = PDF_CONTENT_NONE;
    pdf_compress_end(document);
    long length = pdf_tell(document) - document->content_start;
    pdf_puts(document, "endstream\n");
    pdf_puts(document, "endobj\n");
    pdf_begin_obj(document, document->content_length_id);
    pdf_printf(document, "%ld\n", length);
    pdf_puts(document, "endobj\n");
}
