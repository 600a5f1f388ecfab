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
#include "readers.h"
#include "xobject.h"

/* ---- The slot table ------------------------------------------------------- */

void pdf_reset_image_slot(pdf_image *image)
{
    image->file = NULL;
    image->source.active = 0;
    image->release_reader = NULL;
    image->copy_direct = NULL;
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
    image->occupied = 0;
    image->decode_params_text = NULL;
    image->band_count = 1;
    image->rows_per_band = 1;
    image->palette_object = -1;
    image->pass_through = 0;
}

static void pdf_reset_image_slots(pdf_document *document, int from, int to)
{
    int i;

    for (i = from; i < to; i++)
        pdf_reset_image_slot(&document->images->slots[i]);
}

/* Sets up the subsystem's record: the slot table and the XObject table. */
static void pdf_init_images(pdf_document *document)
{
    pdf_image_table *table = (pdf_image_table *)pdf_calloc(
        document, sizeof(pdf_image_table), "pdf_init_images");

    document->images = table;
    if (table == NULL)
        return;
    table->slots = (pdf_image *)pdf_calloc(
        document, sizeof(pdf_image) * PDF_IMAGES_CHUNKSIZE, "pdf_init_images");
    if (table->slots == NULL)
        return;
    table->slot_count = PDF_IMAGES_CHUNKSIZE;
    pdf_reset_image_slots(document, 0, PDF_IMAGES_CHUNKSIZE);
    pdf_init_xobjects(document);
}

/* Doubles the slot table; the new half is reset. */
static void pdf_grow_images(pdf_document *document)
{
    int old_count = document->images->slot_count;
    int count = old_count * 2;
    pdf_image *grown = (pdf_image *)pdf_realloc(
        document, document->images->slots, sizeof(pdf_image) * (size_t)count,
        "pdf_grow_images");

    if (grown == NULL)
        return;
    document->images->slots = grown;
    memset(&grown[old_count], 0, sizeof(pdf_image) * (size_t)old_count);
    pdf_reset_image_slots(document, old_count, count);
    document->images->slot_count = count;
}

pdf_image *pdf_image_slot(pdf_document *document, int handle)
{
    return &document->images->slots[handle];
}

int pdf_find_free_image_slot(pdf_document *document)
{
    int slot;

    for (slot = 0; slot < document->images->slot_count; slot++)
        if (!document->images->slots[slot].occupied)
            return slot;
    slot = document->images->slot_count;
    pdf_grow_images(document);
    return slot;
}

/* Frees what the slot owns. An error that left a reader or the XObject
 * writer may have left the reader's state, its file or a copy unfinished;
 * all are released here. */
void pdf_release_image_slot(pdf_document *document, int slot)
{
    pdf_image *image = &document->images->slots[slot];

    if (image->release_reader != NULL) {
        pdf_reader_release_proc release_reader = image->release_reader;
        image->release_reader = NULL;
        image->source.active = 0;
        release_reader(document, image);
    }
    if (image->source.active)
        pdf_end_source(document, &image->source);
    if (image->file != NULL) {
        fclose(image->file);
        image->file = NULL;
    }
    pdf_free_text(document, &image->decode_params_text);
    pdf_free_text(document, &image->file_name);
    pdf_reset_image_slot(image);
}

int pdf_is_image_handle(const pdf_document *document, int handle)
{
    return document->images != NULL && handle >= 0
           && handle < document->images->slot_count
           && document->images->slots[handle].occupied;
}

int pdf_is_stencil_mask(const pdf_document *document, int handle)
{
    const pdf_image *mask;

    if (handle < 0 || handle >= document->images->slot_count)
        return 0;
    mask = &document->images->slots[handle];
    return mask->occupied && mask->band_count == 1 &&
           mask->colorspace == PDF_CS_IMAGEMASK;
}

int pdf_is_colorspace_slot(const pdf_document *document, int number)
{
    return number >= 0 && number < pdf_colorspace_count(document) &&
           number <= 255 - PDF_CS_SLOT_BASE;
}

void pdf_set_image_source(pdf_image *image, const pdf_source_operations *operations)
{
    image->source.operations = operations;
    image->source.context = image;
    image->source.buffer = NULL;
    image->source.buffer_size = 0;
    image->source.chunk = NULL;
    image->source.chunk_length = 0;
}

void pdf_close_image_file(pdf_document *document, pdf_image *image)
{
    (void)document;
    if (image->file != NULL) {
        fclose(image->file);
        image->file = NULL;
    }
}

int pdf_reader_fail(pdf_document *document, pdf_image *image,
                    pdf_reader_release_proc release, int type,
                    const char *format, ...)
{
    char message[PDF_MESSAGE_SIZE];
    va_list args;

    /* The message is composed first: its arguments may point into what the
     * release frees. */
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (release != NULL)
        release(document, image);
    if (type != PDF_ERR_NONFATAL || document->debug['i'])
        pdf_error(document, type, "%s", message);
    return -1;
}

int pdf_apply_colorize(pdf_document *document, pdf_image *image,
                       pdf_reader_release_proc release, const char *kind,
                       const char *filename, int number)
{
    if (image->components != 1)
        return pdf_reader_fail(document, image, release, PDF_ERR_VALUE,
            "Can't colorize %s image with more than 1 component", kind);
    if (!pdf_is_colorspace_slot(document, number))
        return pdf_reader_fail(document, image, release, PDF_ERR_VALUE,
            "Invalid color number %d for image %s", number, filename);
    image->colorspace = (pdf_byte)(number + PDF_CS_SLOT_BASE);
    return 0;
}

int pdf_apply_masked(pdf_document *document, pdf_image *image,
                     pdf_reader_release_proc release, const char *filename,
                     int mask)
{
    if (mask >= 0 && !pdf_is_stencil_mask(document, mask))
        return pdf_reader_fail(document, image, release, PDF_ERR_VALUE,
            "Bad image mask (no %d) for image '%s'", mask, filename);
    image->mask_image = mask >= 0 ? mask : -1;
    return 0;
}

/* Releases the record: images still open, then both tables. */
static void pdf_free_images(pdf_document *document)
{
    pdf_image_table *table = document->images;
    int i;

    if (table == NULL)
        return;
    for (i = 0; table->slots != NULL && i < table->slot_count; i++) {
        const pdf_image *image = &table->slots[i];
        /* A reader left by an error may hold a file in a slot it had not
         * yet marked occupied. */
        if (image->occupied || image->file != NULL || image->source.active ||
            image->release_reader != NULL)
            pdf_release_image_slot(document, i);
    }
    if (table->slots != NULL)
        pdf_free(document, table->slots);
    pdf_free_xobjects(document);
    pdf_free(document, table);
    document->images = NULL;
}

/* The image queries: the open image named by the modifier. */
enum { IMAGE_WIDTH, IMAGE_HEIGHT, IMAGE_RESOLUTION_X, IMAGE_RESOLUTION_Y };

static float pdf_get_image_value(pdf_document *document, const pdf_parameter *row,
                                 int handle)
{
    const pdf_image *image;

    if (!pdf_is_image_handle(document, handle)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image number %d in PDF_get_value/%s",
                  handle, row->key);
        return 0;
    }
    image = &document->images->slots[handle];
    switch (row->argument) {
    case IMAGE_WIDTH: return image->width;
    case IMAGE_HEIGHT: return image->height;
    case IMAGE_RESOLUTION_X: return image->resolution_x;
    default: return image->resolution_y;
    }
}

#define IMAGE_QUERY(key, which) \
    { key, 0x3E, PDF_PARAMETER_TAKES_HANDLE, NULL, NULL, pdf_get_image_value, NULL, which }

static const pdf_parameter pdf_image_parameters[] = {
    IMAGE_QUERY("imagewidth", IMAGE_WIDTH),
    IMAGE_QUERY("imageheight", IMAGE_HEIGHT),
    IMAGE_QUERY("resx", IMAGE_RESOLUTION_X),
    IMAGE_QUERY("resy", IMAGE_RESOLUTION_Y),
    { NULL, 0, 0, NULL, NULL, NULL, NULL, 0 },
};

const pdf_subsystem pdf_image_subsystem = {
    pdf_init_images, pdf_free_images, NULL, pdf_write_xobject_resources, NULL,
    pdf_image_parameters,
};

/* True for a handle of an open image (or template) that may be placed or
 * closed. */
static int pdf_is_open_image(pdf_document *document, int handle)
{
    const pdf_image *image;

    if (!pdf_is_image_handle(document, handle))
        return 0;
    image = &document->images->slots[handle];
    if (image->xobject_index < 0 || image->xobject_index < 0
        || image->xobject_index >= document->images->xobject_count)
        return 0;
    return document->images->xobjects[image->xobject_index].kind != PDF_XOBJECT_PDI;
}

/* ---- Opening files -------------------------------------------------------- */

int PDF_open_image_file(pdf_document *document, const char *type,
                        const char *filename, const char *stringparam,
                        int intparam)
{
    int slot, result;

    if (!pdf_is_valid(document))
        return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE,
                         "PDF_open_image_file"))
        return -1;
    if (type == NULL || *type == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Bad image file type for image %s",
                  filename ? filename : "");
        return -1;
    }
    if (filename == NULL || *filename == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Bad image file name for %s image",
                  type);
        return -1;
    }
    if (stringparam != NULL && strcmp(stringparam, "masked") == 0
        && document->compatibility == 12) {
        pdf_error(document, PDF_ERR_RUNTIME,
                  "Masked images are not supported in PDF 1.2");
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
        pdf_error(document, PDF_ERR_VALUE,
                  "Image type %s for image file %s not supported", type, filename);
        return -1;
    }
    document->images->slots[slot].source.name = NULL;
    if (result == -1)
        pdf_reset_image_slot(&document->images->slots[slot]);
    return result;
}

/* ---- Opening data held in memory ------------------------------------------ */

int PDF_open_image(pdf_document *document, const char *type,
                   const char *source, const char *data, long length,
                   int width, int height, int components, int bpc,
                   const char *params)
{
    pdf_rows32_state rows;
    pdf_image *image;
    long long row_length;
    int slot, is_raw, is_ccitt, is_jpeg;
    int has_params = params != NULL && *params != '\0';

    if (!pdf_is_valid(document))
        return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE,
                         "PDF_open_image"))
        return -1;
    if (type == NULL || *type == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "No image type in PDF_open_image");
        return -1;
    }
    if (source == NULL || *source == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "No image source in PDF_open_image");
        return -1;
    }
    is_raw = strcmp(type, "raw") == 0;
    is_ccitt = strcmp(type, "ccitt") == 0;
    is_jpeg = strcmp(type, "jpeg") == 0;
    /* Every source reads the data argument: as samples, as encoded data or
     * as a file name or URL. */
    if (data == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "Bad raw image pointer in PDF_open_image");
        return -1;
    }
    if (!is_ccitt && !is_raw && has_params)
        pdf_error(document, PDF_ERR_NONFATAL,
                  "Unnecessary CCITT parameter in PDF_open_image");

    if (!is_raw && !is_ccitt && !is_jpeg) {
        pdf_error(document, PDF_ERR_VALUE, "Unknown image type '%s' in PDF_open_image",
                  type);
        return -1;
    }

    slot = pdf_find_free_image_slot(document);
    image = &document->images->slots[slot];

    switch (components) {
    case 1:
        if (has_params && strcmp(params, "mask") == 0) {
            if (!is_raw || bpc != 1) {
                pdf_error(document, PDF_ERR_VALUE,
                          "Unsuitable image mask in PDF_open_image");
                return -1;
            }
            image->colorspace = PDF_CS_IMAGEMASK;
        } else {
            image->colorspace = PDF_CS_DEVICEGRAY;
        }
        break;
    case 3:
        image->colorspace = PDF_CS_DEVICERGB;
        break;
    case 4:
        image->colorspace = PDF_CS_DEVICECMYK;
        break;
    default:
        pdf_error(document, PDF_ERR_VALUE,
                  "Bogus number of components (%d) in PDF_open_image", components);
        return -1;
    }
    /* Sizes the image dictionary could not describe are refused before
     * anything is written; so are sample depths PDF does not know. */
    if (width <= 0 || height <= 0) {
        pdf_error(document, PDF_ERR_VALUE,
                  "Bogus image size (%d x %d) in PDF_open_image", width, height);
        return -1;
    }
    if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8) {
        pdf_error(document, PDF_ERR_VALUE,
                  "Bogus bits per component (%d) in PDF_open_image", bpc);
        return -1;
    }

    if (is_jpeg) {
        image->compression = PDF_COMPRESSION_DCT;
        image->pass_through = 1;
    } else if (is_ccitt) {
        image->compression = PDF_COMPRESSION_CCITT;
        image->pass_through = 1;
        if (length < 0)
            length = -length;
        if (has_params)
            image->decode_params_text = pdf_strdup(document, params);
    } else {
        image->compression = PDF_COMPRESSION_NONE;
        image->pass_through = 0;
    }

    image->width = (float)width;
    image->height = (float)height;
    image->bits_per_component = bpc;
    image->components = components;
    image->occupied = 1;
    row_length = ((long long)width * components * bpc + 7) / 8;

    if (strcmp(source, "memory") == 0) {
        /* Raw samples must fill the block exactly; encoded data must at
         * least be there. */
        if (is_raw ? length != (long long)height * row_length : length <= 0) {
            pdf_release_image_slot(document, slot);
            pdf_error(document, PDF_ERR_VALUE,
                      "Bogus image data length '%ld' in PDF_open_image", length);
            return -1;
        }
        pdf_set_memory_source(&image->source, data, (size_t)length);
    } else if (strcmp(source, "memory32") == 0 && is_raw) {
        /* Each row starts on a four-byte boundary, so the block holds
         * height padded rows; the walker never reads past it. */
        long long stride = (row_length + 3) / 4 * 4;

        if (length != (long long)height * stride) {
            pdf_release_image_slot(document, slot);
            pdf_error(document, PDF_ERR_VALUE,
                      "Bogus image data length '%ld' in PDF_open_image", length);
            return -1;
        }
        rows.current_row = 0;
        rows.row_count = height;
        rows.row_length = (long)row_length;
        rows.stride = (long)stride;
        pdf_set_rows32_source(&image->source, data, (size_t)length, &rows);
    } else if (strcmp(source, "fileref") == 0) {
        if (document->compatibility == 12) {
            pdf_release_image_slot(document, slot);
            pdf_error(document, PDF_ERR_RUNTIME,
                      "External image file references are not supported in PDF 1.2");
            return -1;
        }
        image->reference_kind = PDF_REFERENCE_FILE;
        image->file_name = pdf_strdup(document, data);
    } else if (strcmp(source, "url") == 0) {
        if (document->compatibility == 12) {
            pdf_release_image_slot(document, slot);
            pdf_error(document, PDF_ERR_RUNTIME,
                      "External image URLs are not supported in PDF 1.2");
            return -1;
        }
        image->reference_kind = PDF_REFERENCE_URL;
        image->file_name = pdf_strdup(document, data);
    } else {
        pdf_release_image_slot(document, slot);
        pdf_error(document, PDF_ERR_VALUE,
                  "Bogus image data source '%s' in PDF_open_image", source);
        return -1;
    }

    pdf_write_image_xobject(document, slot, 1);
    /* The caller's block is only borrowed for the call. */
    image = &document->images->slots[slot];
    image->source.buffer = NULL;
    image->source.context = NULL;
    return slot;
}

/* ---- Placing and closing -------------------------------------------------- */

void PDF_place_image(pdf_document *document, int handle, float x, float y,
                     float scale)
{
    pdf_image *image;
    int row, index, last, height;

    if (!pdf_is_valid(document))
        return;
    if (!pdf_is_open_image(document, handle)) {
        pdf_error(document, PDF_ERR_VALUE,
                  "Bad image or template handle %d in PDF_place_image", handle);
        return;
    }
    if (!pdf_check_scope(document,
                         PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE,
                         "PDF_place_image"))
        return;
    image = &document->images->slots[handle];
    if (fabsf(scale) < 1.5e-5f) {
        pdf_error(document, PDF_ERR_VALUE, "Scaling factor 0 for image %s",
                  image->file_name ? image->file_name : "");
        return;
    }
    switch (image->colorspace) {
    case PDF_CS_DEVICEGRAY:
    case PDF_CS_IMAGEMASK:
        document->content.procset |= PDF_PROCSET_IMAGEB;
        break;
    case PDF_CS_DEVICERGB:
    case PDF_CS_DEVICECMYK:
        document->content.procset |= PDF_PROCSET_IMAGEC;
        break;
    case PDF_CS_INDEXED:
        document->content.procset |= PDF_PROCSET_IMAGEI | PDF_PROCSET_IMAGEC;
        break;
    default:
        if (image->colorspace < PDF_CS_SLOT_BASE) {
            pdf_error(document, PDF_ERR_SYSTEM,
                      "Bogus colorspace (%d) in PDF_place_image", image->colorspace);
            return;
        }
    }

    pdf_end_text(document);
    pdf_begin_contents_section(document);
    height = (int)image->height;
    if (image->band_count == 1 || image->rows_per_band <= 0)
        image->rows_per_band = height;

    /* Bands run from the top of the image down; each is drawn as its own
     * XObject scaled to its rows. */
    last = image->xobject_index + (image->band_count > 1 ? image->band_count : 1);
    if (last > document->images->xobject_count)
        last = document->images->xobject_count;
    for (row = 0, index = image->xobject_index;
         (float)row < image->height && index < last;
         row += image->rows_per_band, index++) {
        int rows = image->rows_per_band;
        pdf_matrix m;

        if (row + rows > image->height)
            rows = height - row;
        m.a = image->width * scale;
        m.b = 0;
        m.c = 0;
        m.d = (float)rows * scale;
        m.e = x;
        m.f = (image->height - (float)row - (float)rows) * scale + y;
        PDF_save(document);
        pdf_concat_ctm(document, &m);
        pdf_printf(document, "/I%d Do\n", index);
        document->images->xobjects[index].flags |= PDF_XOBJECT_USED;
        if (image->mask_image >= 0 && image->mask_image < document->images->slot_count) {
            int mask = document->images->slots[image->mask_image].xobject_index;

            document->images->xobjects[mask].flags |= PDF_XOBJECT_USED;
        }
        PDF_restore(document);
    }
}

void PDF_close_image(pdf_document *document, int handle)
{
    if (!pdf_is_valid(document))
        return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE,
                         "PDF_close_image"))
        return;
    if (!pdf_is_open_image(document, handle)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image number %d in PDF_close_image",
                  handle);
        return;
    }
    pdf_release_image_slot(document, handle);
}
