/*
 * template.cpp -- PDF_begin_template and PDF_end_template: form XObjects
 * that take an image slot and an entry of the XObject table (kind
 * template), so that PDF_place_image draws them like images.
 */
#include "../core/content.h"
#include "../core/objects.h"
#include "../core/output.h"
#include "images.h"
#include "xobject.h"

int PDF_begin_template(pdf_document *document, float width, float height) {
    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT, "PDF_begin_template")) return -1;
    if (!pdf_check_numbers(document, "PDF_begin_template", 1, 2, width, height)) return -1;
    if (!(width > 0) || !(height > 0)) {
        pdf_error(document, PDF_ERR_VALUE, "Template size must be positive");
        return -1;
    }
    int slot = pdf_find_free_image_slot(document);
    pdf_image *image = pdf_image_slot(document, slot);
    image->occupied = 1;
    image->width = width;
    image->height = height;
    image->xobject_index = pdf_new_xobject(document, PDF_XOBJECT_TEMPLATE, 0);
    document->images->template_slot = slot;
    pdf_begin_definition(document, PDF_SCOPE_TEMPLATE, "PDF_begin_template");

    pdf_content_stream *content = &document->content;
    content->object_id = document->images->xobjects[image->xobject_index].object_number;
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/XObject\n");
    pdf_puts(document, "/Subtype/Form\n");
    pdf_puts(document, "/FormType 1\n");
    pdf_puts(document, "/Matrix[1 0 0 1 0 0]\n");
    content->resources_id = pdf_alloc_id(document);
    pdf_printf(document, "/Resources %ld 0 R\n", content->resources_id);
    pdf_printf(document, "/BBox[0 0 %f %f]\n", width, height);
    pdf_begin_content_data(document);
    return slot;
}

void PDF_end_template(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_TEMPLATE, "PDF_end_template")) return;
    pdf_end_definition(document, "template", "PDF_end_template");
}
