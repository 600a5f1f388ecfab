/*
 * images.cpp -- the image slot table and the public calls that open, place
 * and close images.
 */
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "images.h"

#include "../core/content.h"
#include "../core/data_source.h"
#include "../core/output.h"
#include "../draw/colorspace.h"
#include "../draw/gstate.h"
#include "gif.h"
#include "jpeg.h"
#include "png.h"
#include "reader.h"
#include "tiff.h"
#include "xobject.h"

/* ---- The slot table ------------------------------------------------------- */

void pdf_reset_image_slot(pdf_image *image) {
    image->file = NULL;
    image->source.active = 0;
    image->reader_operations = NULL;
    image->reader = NULL;
    memset(&image->raster, 0, sizeof image->raster);
    image->mask_stream_kind = PDF_MASK_STREAM_NONE;
    memset(&image->mask_raster, 0, sizeof image->mask_raster);
    image->matte = PDF_MATTE_NONE;
    image->file_name = NULL;
    image->reference_kind = PDF_REFERENCE_NONE;
    image->compression = PDF_COMPRESSION_NONE;
    image->inverted = 0;
    image->has_key_color = 0;
    memset(image->key_color, 0, sizeof image->key_color);
    image->mask_image = -1;
    image->predictor = 1;
    image->palette = NULL;
    image->resolution_x = 0;
    image->resolution_y = 0;
    image->orientation = 1;
    image->occupied = 0;
    image->decode_params_text = NULL;
    image->band_count = 1;
    image->rows_per_band = 1;
    image->palette_object = -1;
    image->pass_through = 0;
    image->data_checked = 0;
}

namespace {

void pdf_reset_image_slots(pdf_document *document, int from, int to) {
    int i;

    for (i = from; i < to; i++) pdf_reset_image_slot(&document->images->slots[i]);
}

/* Sets up the subsystem's record: the slot table and the XObject table. */
void pdf_init_images(pdf_document *document) {
    pdf_image_table *table =
        (pdf_image_table *)pdf_calloc(document, sizeof(pdf_image_table), "pdf_init_images");

    document->images = table;
    if (table == NULL) return;
    table->slots = (pdf_image *)pdf_calloc(document, sizeof(pdf_image) * PDF_IMAGES_CHUNKSIZE,
                                           "pdf_init_images");
    if (table->slots == NULL) return;
    table->slot_count = PDF_IMAGES_CHUNKSIZE;
    pdf_reset_image_slots(document, 0, PDF_IMAGES_CHUNKSIZE);
    pdf_init_xobjects(document);
}

/* Doubles the slot table; the new half is reset. */
void pdf_grow_images(pdf_document *document) {
    int old_count = document->images->slot_count;
    int count = old_count * 2;
    pdf_image *grown = (pdf_image *)pdf_realloc(
        document, document->images->slots, sizeof(pdf_image) * (size_t)count, "pdf_grow_images");

    if (grown == NULL) return;
    document->images->slots = grown;
    memset(&grown[old_count], 0, sizeof(pdf_image) * (size_t)old_count);
    pdf_reset_image_slots(document, old_count, count);
    document->images->slot_count = count;
}

}  // namespace

pdf_image *pdf_image_slot(pdf_document *document, int handle) {
    return &document->images->slots[handle];
}

int pdf_find_free_image_slot(pdf_document *document) {
    int slot;

    for (slot = 0; slot < document->images->slot_count; slot++)
        if (!document->images->slots[slot].occupied) return slot;
    slot = document->images->slot_count;
    pdf_grow_images(document);
    return slot;
}

/* Frees what the slot owns. An error that left a reader or the XObject
 * writer may have left a copy unfinished, and the reader's state with its
 * file; all are released here. */
void pdf_release_image_slot(pdf_document *document, int slot) {
    pdf_image *image = &document->images->slots[slot];

    if (image->source.active) pdf_end_source(document, &image->source);
    pdf_end_reader(document, image);
    pdf_free_text(document, &image->decode_params_text);
    pdf_free_text(document, &image->file_name);
    pdf_reset_image_slot(image);
}

int pdf_is_image_handle(const pdf_document *document, int handle) {
    return document->images != NULL && handle >= 0 && handle < document->images->slot_count &&
           document->images->slots[handle].occupied;
}

int pdf_is_stencil_mask(const pdf_document *document, int handle) {
    const pdf_image *mask;

    if (handle < 0 || handle >= document->images->slot_count) return 0;
    mask = &document->images->slots[handle];
    return mask->occupied && mask->band_count == 1 && mask->colorspace == PDF_CS_IMAGEMASK;
}

namespace {

/* Releases the record: every slot (an image still open, or what a reader
 * left by an error holds), then both tables. */
void pdf_free_images(pdf_document *document) {
    pdf_image_table *table = document->images;
    int i;

    if (table == NULL) return;
    for (i = 0; table->slots != NULL && i < table->slot_count; i++)
        pdf_release_image_slot(document, i);
    if (table->slots != NULL) pdf_free(document, table->slots);
    pdf_free_xobjects(document);
    pdf_free(document, table);
    document->images = NULL;
}

/* The image queries: the open image named by the modifier. */
enum { IMAGE_WIDTH, IMAGE_HEIGHT, IMAGE_RESOLUTION_X, IMAGE_RESOLUTION_Y, IMAGE_ORIENTATION };

float pdf_get_image_value(pdf_document *document, const pdf_parameter *row, int handle) {
    const pdf_image *image;

    if (!pdf_is_image_handle(document, handle)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image number %d in PDF_get_value/%s", handle,
                  row->key);
        return 0;
    }
    image = &document->images->slots[handle];
    switch (row->argument) {
        case IMAGE_WIDTH:
            return image->width;
        case IMAGE_HEIGHT:
            return image->height;
        case IMAGE_RESOLUTION_X:
            return image->resolution_x;
        case IMAGE_ORIENTATION:
            return (float)image->orientation;
        default:
            return image->resolution_y;
    }
}

#define IMAGE_QUERY(key, which) \
    { key, 0x3E, PDF_PARAMETER_TAKES_HANDLE, NULL, NULL, pdf_get_image_value, NULL, which }

const pdf_parameter pdf_image_parameters[] = {
    IMAGE_QUERY("imagewidth", IMAGE_WIDTH),        IMAGE_QUERY("imageheight", IMAGE_HEIGHT),
    IMAGE_QUERY("resx", IMAGE_RESOLUTION_X),       IMAGE_QUERY("resy", IMAGE_RESOLUTION_Y),
    IMAGE_QUERY("orientation", IMAGE_ORIENTATION), {NULL, 0, 0, NULL, NULL, NULL, NULL, 0},
};

}  // namespace

const pdf_subsystem pdf_image_subsystem = {
    pdf_init_images,
    pdf_free_images,
    NULL,
    pdf_write_xobject_resources,
    NULL,
    pdf_image_parameters,
    NULL,
    NULL,
};

int pdf_is_open_image(pdf_document *document, int handle) {
    const pdf_image *image;

    if (!pdf_is_image_handle(document, handle)) return 0;
    image = &document->images->slots[handle];
    if (image->xobject_index < 0 || image->xobject_index < 0 ||
        image->xobject_index >= document->images->xobject_count)
        return 0;
    return document->images->xobjects[image->xobject_index].kind != PDF_XOBJECT_PDI;
}

/* ---- Opening files -------------------------------------------------------- */

int PDF_open_image_file(pdf_document *document, const char *type, const char *filename,
                        const char *stringparam, int intparam) {
    int slot, result;

    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_open_image_file"))
        return -1;
    if (type == NULL || *type == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Bad image file type for image %s",
                  filename ? filename : "");
        return -1;
    }
    if (filename == NULL || *filename == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Bad image file name for %s image", type);
        return -1;
    }
    if (stringparam != NULL && strcmp(stringparam, "masked") == 0 &&
        document->compatibility == 12) {
        pdf_error(document, PDF_ERR_RUNTIME, "Masked images are not supported in PDF 1.2");
        return -1;
    }

    slot = pdf_find_free_image_slot(document);
    /* Named in messages about the file's data while the reader runs. */
    document->images->slots[slot].source.name = filename;

    if (strcmp(type, "png") == 0 || strcmp(type, "PNG") == 0) {
        result = pdf_open_PNG(document, slot, filename, stringparam, intparam);
    } else if (strcmp(type, "gif") == 0 || strcmp(type, "GIF") == 0) {
        result = pdf_open_GIF_data(document, slot, filename, stringparam, intparam);
    } else if (strcmp(type, "tiff") == 0 || strcmp(type, "TIFF") == 0) {
        result = pdf_open_TIFF(document, slot, filename, stringparam, intparam);
    } else if (strcmp(type, "jpeg") == 0 || strcmp(type, "JPEG") == 0) {
        result = pdf_open_JPEG(document, slot, filename, stringparam, intparam);
    } else {
        pdf_error(document, PDF_ERR_VALUE, "Image type %s for image file %s not supported", type,
                  filename);
        return -1;
    }
    document->images->slots[slot].source.name = NULL;
    if (result == -1) pdf_release_image_slot(document, slot);
    return result;
}

/* ---- Closing ----------------------------------------------------------------- */

void PDF_close_image(pdf_document *document, int handle) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_close_image")) return;
    if (!pdf_is_open_image(document, handle)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image number %d in PDF_close_image", handle);
        return;
    }
    pdf_release_image_slot(document, handle);
}
