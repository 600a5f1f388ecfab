/*
 * placement.cpp -- PDF_place_image: an image's XObjects drawn into the
 * content stream being written, band by band.
 */
#include <math.h>

#include "../core/content.h"
#include "../core/output.h"
#include "../draw/colorspace.h"
#include "../draw/gstate.h"
#include "images.h"
#include "xobject.h"

namespace {

/* The procedure sets an image of `colorspace` needs. Returns -1 after the
 * system error for a colour space no image has. */
int use_procset(pdf_document *document, int colorspace) {
    switch (colorspace) {
        case PDF_CS_DEVICEGRAY:
        case PDF_CS_IMAGEMASK:
            document->content.procset |= PDF_PROCSET_IMAGEB;
            return 0;
        case PDF_CS_DEVICERGB:
        case PDF_CS_DEVICECMYK:
            document->content.procset |= PDF_PROCSET_IMAGEC;
            return 0;
        case PDF_CS_INDEXED:
            document->content.procset |= PDF_PROCSET_IMAGEI | PDF_PROCSET_IMAGEC;
            return 0;
    }
    if (colorspace >= PDF_CS_SLOT_BASE) return 0;
    pdf_error(document, PDF_ERR_SYSTEM, "Bogus colorspace (%d) in PDF_place_image", colorspace);
    return -1;
}

/* Draws XObject `index` under `m` in a saved graphics state, and marks it
 * (and the image's stencil mask) as used by the content stream. */
void draw_xobject(pdf_document *document, const pdf_image *image, int index, const pdf_matrix *m) {
    pdf_image_table *table = document->images;
    PDF_save(document);
    pdf_concat_ctm(document, m);
    pdf_printf(document, "/I%d Do\n", index);
    table->xobjects[index].flags |= PDF_XOBJECT_USED;
    if (image->mask_image >= 0 && image->mask_image < table->slot_count) {
        int mask = table->slots[image->mask_image].xobject_index;
        table->xobjects[mask].flags |= PDF_XOBJECT_USED;
    }
    PDF_restore(document);
}

/* Bands run from the top of the image down; each is drawn as its own
 * XObject scaled to its rows. */
void draw_bands(pdf_document *document, pdf_image *image, float x, float y, float scale) {
    int height = (int)image->height;
    if (image->band_count == 1 || image->rows_per_band <= 0) image->rows_per_band = height;
    int last = image->xobject_index + (image->band_count > 1 ? image->band_count : 1);
    if (last > document->images->xobject_count) last = document->images->xobject_count;
    for (int row = 0, index = image->xobject_index; (float)row < image->height && index < last;
         row += image->rows_per_band, index++) {
        int rows = image->rows_per_band;
        if (row + rows > image->height) rows = height - row;
        pdf_matrix m;
        m.a = image->width * scale;
        m.b = 0;
        m.c = 0;
        m.d = (float)rows * scale;
        m.e = x;
        m.f = (image->height - (float)row - (float)rows) * scale + y;
        draw_xobject(document, image, index, &m);
    }
}

/* A template is drawn whole, scaled and moved, in a saved graphics state;
 * without "inheritgstate" it starts from the default drawing attributes. */
void draw_template(pdf_document *document, const pdf_image *image, float x, float y, float scale) {
    pdf_matrix m = {scale, 0, 0, scale, x, y};
    PDF_save(document);
    pdf_concat_ctm(document, &m);
    if (!document->inherit_gstate) pdf_reset_drawing_attributes(document);
    pdf_printf(document, "/I%d Do\n", image->xobject_index);
    document->images->xobjects[image->xobject_index].flags |= PDF_XOBJECT_USED;
    PDF_restore(document);
}

int is_template(pdf_document *document, const pdf_image *image) {
    return document->images->xobjects[image->xobject_index].kind == PDF_XOBJECT_TEMPLATE;
}

}  // namespace

void PDF_place_image(pdf_document *document, int handle, float x, float y, float scale) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_is_open_image(document, handle)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image or template handle %d in PDF_place_image",
                  handle);
        return;
    }
    if (!pdf_check_scope(document, PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE,
                         "PDF_place_image"))
        return;
    if (pdf_current_scope(document) == PDF_SCOPE_TEMPLATE &&
        handle == document->images->template_slot) {
        pdf_error(document, PDF_ERR_VALUE, "Can't use template within its own definition");
        return;
    }
    if (!pdf_check_numbers(document, "PDF_place_image", 2, 3, x, y, scale)) return;
    pdf_image *image = pdf_image_slot(document, handle);
    if (fabsf(scale) < 1.5e-5f) {
        pdf_error(document, PDF_ERR_VALUE, "Scaling factor 0 for image %s",
                  image->file_name ? image->file_name : "");
        return;
    }
    if (is_template(document, image)) {
        pdf_end_text(document);
        pdf_begin_contents_section(document);
        draw_template(document, image, x, y, scale);
        return;
    }
    if (use_procset(document, image->colorspace) < 0) return;
    pdf_end_text(document);
    pdf_begin_contents_section(document);
    draw_bands(document, image, x, y, scale);
}
