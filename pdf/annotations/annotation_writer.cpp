/*
 * annotation_writer.cpp -- the annotation subsystem: the page's /Annots
 * array, the annotation objects after the page object, and the embedded
 * files of the attachments.
 */
#include <string.h>

#include "../core/data_source.h"
#include "../core/objects.h"
#include "../core/output.h"
#include "../core/pages.h"
#include "annotations.h"

namespace {

const char *const kIconNames[] = {"Graph", "Paperclip", "Pushpin",      "Tag", "Comment", "Insert",
                                  "Note",  "Paragraph", "NewParagraph", "Key", "Help"};

/* By destination: retain, fitpage, fitwidth, fitheight, fitbbox. */
const char *const kLocalDestinations[] = {"/Dest[%ld 0 R/XYZ null null 0]\n",
                                          "/Dest[%ld 0 R/Fit]\n", "/Dest[%ld 0 R/FitH 0]\n",
                                          "/Dest[%ld 0 R/FitV 0]\n", "/Dest[%ld 0 R/FitB]\n"};
const char *const kRemoteDestinations[] = {"/D[%d/XYZ null null 0]\n", "/D[%d/Fit]\n",
                                           "/D[%d/FitH 2000]\n", "/D[%d/FitV 0]\n",
                                           "/D[%d/FitB]\n"};

/* The annotation flags of an attachment's icon: printed, neither zoomed
 * nor rotated with the page. */
const int kAttachmentFlags = 28;

const pdf_border kDefaultBorder = {PDF_BORDER_SOLID, 1, {0, 0, 0}, {3, 3}};

int is_default_border(const pdf_border *border) {
    return border->style == kDefaultBorder.style && border->width == kDefaultBorder.width &&
           memcmp(border->color, kDefaultBorder.color, sizeof border->color) == 0 &&
           memcmp(border->dash, kDefaultBorder.dash, sizeof border->dash) == 0;
}

void free_list(pdf_document *document, pdf_annotation_list *list) {
    pdf_annotation *annotation = list->first;
    while (annotation != NULL) {
        pdf_annotation *next = annotation->next;
        pdf_free_text(document, &annotation->target);
        pdf_free_text(document, &annotation->contents);
        pdf_free_text(document, &annotation->mime_type);
        pdf_free_text(document, &annotation->title);
        pdf_free(document, annotation);
        annotation = next;
    }
    list->first = list->last = NULL;
}

void init_annotations(pdf_document *document) {
    pdf_annotation_list *list = (pdf_annotation_list *)pdf_calloc(
        document, sizeof(pdf_annotation_list), "pdf_init_annotations");
    document->annotations = list;
    if (list != NULL) list->border = kDefaultBorder;
}

void cleanup_annotations(pdf_document *document) {
    pdf_annotation_list *list = document->annotations;
    if (list == NULL) return;
    if (list->attachment.active) pdf_end_source(document, &list->attachment);
    free_list(document, list);
    pdf_free(document, list);
    document->annotations = NULL;
}

/* "/Annots[" with a new object number for each annotation. */
void write_page_entries(pdf_document *document) {
    pdf_annotation_list *list = document->annotations;
    if (list->first == NULL) return;
    pdf_puts(document, "/Annots[");
    for (pdf_annotation *annotation = list->first; annotation != NULL;
         annotation = annotation->next) {
        annotation->object_number = pdf_alloc_id(document);
        pdf_printf(document, "%ld 0 R ", annotation->object_number);
    }
    pdf_puts(document, "]\n");
}

/* Nothing for the default border; an attachment shows only its colour. */
void write_border(pdf_document *document, const pdf_annotation *annotation) {
    const pdf_border *border = &annotation->border;
    if (is_default_border(border)) return;
    if (annotation->kind != PDF_ANNOT_ATTACHMENT) {
        int dashed = border->style == PDF_BORDER_DASHED;
        pdf_puts(document, "/BS");
        pdf_puts(document, "<<");
        pdf_puts(document, "/Type/Border\n");
        if (dashed) pdf_puts(document, "/S/D\n");
        if (dashed) pdf_printf(document, "/D[%f %f]\n", border->dash[0], border->dash[1]);
        pdf_puts(document, ">>\n");
        pdf_printf(document, "/Border[0 0 %f", border->width);
        if (dashed && (border->dash[0] != 0 || border->dash[1] != 0))
            pdf_printf(document, "[%f %f]", border->dash[0], border->dash[1]);
        pdf_puts(document, "]\n");
    }
    pdf_printf(document, "/C[%f %f %f]\n", border->color[0], border->color[1], border->color[2]);
}

/* A text entry "/<key>(...)\n", when there is a text. */
void write_text_entry(pdf_document *document, const char *key, const char *text) {
    if (text == NULL) return;
    pdf_puts(document, key);
    pdf_quote_text(document, text);
    pdf_puts(document, "\n");
}

/* "<key><</Type/Filespec\n/F(name)\n"; the caller ends the dictionary. */
void begin_file_spec(pdf_document *document, const char *key, const char *name) {
    pdf_puts(document, key);
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/Filespec\n");
    write_text_entry(document, "/F", name);
}

void write_note(pdf_document *document, const pdf_annotation *note) {
    if (note->open) pdf_puts(document, "/Open true\n");
    if (note->icon != PDF_ICON_NOTE) pdf_printf(document, "/Name/%s\n", kIconNames[note->icon]);
    if (note->contents != NULL)
        write_text_entry(document, "/Contents", note->contents);
    else
        pdf_puts(document, "/Contents()\n");
    write_text_entry(document, "/T", note->title);
}

void write_action(pdf_document *document, const pdf_annotation *link) {
    switch (link->kind) {
        case PDF_ANNOT_LOCAL_LINK:
            pdf_printf(document, kLocalDestinations[link->destination],
                       pdf_page_object_id(document, link->page));
            break;
        case PDF_ANNOT_PDF_LINK:
            pdf_puts(document, "/A");
            pdf_puts(document, "<<");
            pdf_puts(document, "/Type/Action/S/GoToR\n");
            pdf_printf(document, kRemoteDestinations[link->destination], link->page - 1);
            begin_file_spec(document, "/F", link->target);
            pdf_puts(document, ">>\n");
            pdf_puts(document, ">>\n");
            break;
        case PDF_ANNOT_WEB_LINK:
            pdf_puts(document, "/A<</S/URI/URI");
            pdf_quote_text(document, link->target);
            pdf_puts(document, ">>\n");
            break;
        case PDF_ANNOT_LAUNCH_LINK:
            pdf_puts(document, "/A");
            pdf_puts(document, "<<");
            pdf_puts(document, "/Type/Action/S/Launch\n");
            begin_file_spec(document, "/F", link->target);
            pdf_puts(document, ">>\n");
            pdf_puts(document, ">>\n");
            break;
    }
}

/* The file annotation; its object number becomes the embedded file's. */
void write_attachment(pdf_document *document, pdf_annotation *attachment) {
    if (attachment->icon != PDF_ICON_PUSHPIN)
        pdf_printf(document, "/Name/%s\n", kIconNames[attachment->icon]);
    write_text_entry(document, "/T", attachment->title);
    write_text_entry(document, "/Contents", attachment->contents);
    pdf_printf(document, "/F %d\n", kAttachmentFlags);
    begin_file_spec(document, "/FS", attachment->target);
    attachment->object_number = pdf_alloc_id(document);
    pdf_printf(document, "/EF<</F %ld 0 R>>\n", attachment->object_number);
    pdf_puts(document, ">>\n");
}

void write_annotation(pdf_document *document, pdf_annotation *annotation) {
    static const char *const kSubtypes[] = {"Text", "Link", "Link",
                                            "Link", "Link", "FileAttachment"};
    if (annotation->kind > PDF_ANNOT_ATTACHMENT) {
        pdf_error(document, PDF_ERR_SYSTEM, "Unknown annotation type %d", annotation->kind);
        return;
    }
    const float *rect = annotation->rect;
    pdf_begin_obj(document, annotation->object_number);
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/Annot\n");
    pdf_printf(document, "/Subtype/%s\n", kSubtypes[annotation->kind]);
    pdf_printf(document, "/Rect[%f %f %f %f]\n", rect[0], rect[1], rect[2], rect[3]);
    write_border(document, annotation);
    if (annotation->kind == PDF_ANNOT_NOTE)
        write_note(document, annotation);
    else if (annotation->kind == PDF_ANNOT_ATTACHMENT)
        write_attachment(document, annotation);
    else
        write_action(document, annotation);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
}

/* The attached file as a stream, deflated at the document's level, read
 * through the file source kept in the list so that a copy an error leaves
 * is released with the document. */
void write_embedded_file(pdf_document *document, const pdf_annotation *attachment) {
    pdf_data_source *source = &document->annotations->attachment;
    pdf_begin_obj(document, attachment->object_number);
    pdf_puts(document, "<</Type/EmbeddedFile\n");
    if (attachment->mime_type != NULL) {
        pdf_puts(document, "/Subtype/");
        pdf_quote_name(document, attachment->mime_type, strlen(attachment->mime_type));
        pdf_puts(document, "\n");
    }
    if (document->compress != 0) pdf_puts(document, "/Filter/FlateDecode\n");
    pdf_id length_id = pdf_alloc_id(document);
    pdf_printf(document, "/Length %ld 0 R\n", length_id);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "stream\n");
    long start = pdf_tell(document);
    pdf_set_file_source(source, attachment->target, 0, 0);
    pdf_copy_source_compressed(document, source);
    pdf_end_stream_obj(document, length_id, start);
    if (document->flush & PDF_FLUSH_CONTENT) pdf_flush_stream(document);
}

void write_page_objects(pdf_document *document) {
    pdf_annotation_list *list = document->annotations;
    pdf_annotation *annotation;
    for (annotation = list->first; annotation != NULL; annotation = annotation->next)
        write_annotation(document, annotation);
    for (annotation = list->first; annotation != NULL; annotation = annotation->next)
        if (annotation->kind == PDF_ANNOT_ATTACHMENT) write_embedded_file(document, annotation);
    free_list(document, list);
}

}  // namespace

const pdf_subsystem pdf_annotation_subsystem = {
    init_annotations,   cleanup_annotations, NULL, NULL, NULL, NULL,
    write_page_entries, write_page_objects,
};
