/*
 * content.cpp -- content streams: their data, length objects, resource
 * dictionaries, and the sections of a page's contents.
 */
#include "content.h"

#include "objects.h"
#include "output.h"
#include "subsystem.h"

void pdf_begin_content(pdf_document *document) {
    pdf_content_stream *content = &document->content;
    content->state = PDF_CONTENT_NONE;
    content->procset = 0;
    content->save_level = 0;
    pdf_begin_subsystem_content(document);
}

void pdf_begin_content_data(pdf_document *document) {
    pdf_content_stream *content = &document->content;
    content->state = PDF_CONTENT_SECTION;
    content->length_id = pdf_alloc_id(document);
    pdf_printf(document, "/Length %ld 0 R\n", content->length_id);
    if (document->compress != 0) pdf_puts(document, "/Filter/FlateDecode\n");
    pdf_puts(document, ">>\n");
    pdf_puts(document, "stream\n");
    pdf_compress_init(document);
    content->start = pdf_tell(document);
}

void pdf_end_content_data(pdf_document *document) {
    pdf_content_stream *content = &document->content;
    pdf_end_text(document);
    content->state = PDF_CONTENT_NONE;
    pdf_compress_end(document);
    pdf_end_stream_obj(document, content->length_id, content->start);
}

/* "/ProcSet[/PDF" and the sets the stream's operators need. */
static void write_procset(pdf_document *document) {
    int procset = document->content.procset;
    pdf_puts(document, "/ProcSet[/PDF");
    if (procset & PDF_PROCSET_IMAGEB) pdf_puts(document, "/ImageB");
    if (procset & PDF_PROCSET_IMAGEC) pdf_puts(document, "/ImageC");
    if (procset & PDF_PROCSET_IMAGEI) pdf_puts(document, "/ImageI");
    if (procset & PDF_PROCSET_TEXT) pdf_puts(document, "/Text");
    pdf_puts(document, "]\n");
}

void pdf_write_content_resources(pdf_document *document) {
    pdf_begin_obj(document, document->content.resources_id);
    pdf_puts(document, "<<");
    write_procset(document);
    pdf_write_subsystem_resources(document);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
}

void pdf_begin_definition(pdf_document *document, int scope, const char *routine) {
    pdf_push_scope(document, scope, routine);
    pdf_begin_content(document);
}

void pdf_end_definition(pdf_document *document, const char *what, const char *routine) {
    if (document->content.save_level > 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Unmatched save level at end of %s", what);
        return;
    }
    pdf_end_content_data(document);
    pdf_write_content_resources(document);
    pdf_pop_scope(document, routine);
    pdf_begin_content(document);
    if (document->flush & PDF_FLUSH_PAGE) pdf_flush_stream(document);
}

void pdf_begin_contents_section(pdf_document *document) {
    if (document->content.state != PDF_CONTENT_NONE) return;
    if (document->contents_count >= document->contents_capacity) {
        pdf_id *grown = (pdf_id *)pdf_realloc(
            document, document->contents, sizeof(pdf_id) * (size_t)document->contents_capacity * 2,
            "pdf_begin_contents_section");
        if (grown == NULL) return;
        document->contents = grown;
        document->contents_capacity *= 2;
    }
    document->content.object_id = pdf_begin_obj(document, 0);
    document->contents[document->contents_count++] = document->content.object_id;
    pdf_puts(document, "<<");
    pdf_begin_content_data(document);
}

void pdf_end_contents_section(pdf_document *document) {
    if (document->content.state == PDF_CONTENT_NONE) return;
    pdf_end_content_data(document);
}

void pdf_end_text(pdf_document *document) {
    if (document->content.state == PDF_CONTENT_TEXT) {
        pdf_puts(document, "ET\n");
        document->content.state = PDF_CONTENT_SECTION;
    }
}
