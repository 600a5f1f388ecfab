/*
 * memory_image.cpp -- PDF_open_image: image data the caller holds in memory
 * (raw samples, JPEG or CCITT data), or a reference to an external file or
 * URL.
 */
#include <string.h>

#include "../core/data_source.h"
#include "../draw/colorspace.h"
#include "images.h"
#include "reader.h"
#include "xobject.h"

namespace {

/* The data the call is given. */
enum { IMAGE_RAW, IMAGE_CCITT, IMAGE_JPEG };

int has_text(const char *text) {
    return text != NULL && *text != '\0';
}

/* The checks of the call's texts and data. Returns the kind of data, or -1
 * after reporting. */
int check_call(pdf_document *document, const char *type, const char *source, const char *data,
               const char *params) {
    if (!has_text(type)) {
        pdf_error(document, PDF_ERR_VALUE, "No image type in PDF_open_image");
        return -1;
    }
    if (!has_text(source)) {
        pdf_error(document, PDF_ERR_VALUE, "No image source in PDF_open_image");
        return -1;
    }
    int kind = strcmp(type, "raw") == 0     ? IMAGE_RAW
               : strcmp(type, "ccitt") == 0 ? IMAGE_CCITT
               : strcmp(type, "jpeg") == 0  ? IMAGE_JPEG
                                            : -1;
    /* Every source reads the data argument: as samples, as encoded data or
     * as a file name or URL. */
    if (data == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "Bad raw image pointer in PDF_open_image");
        return -1;
    }
    if (kind != IMAGE_CCITT && kind != IMAGE_RAW && has_text(params))
        pdf_error(document, PDF_ERR_NONFATAL, "Unnecessary CCITT parameter in PDF_open_image");
    if (kind < 0)
        pdf_error(document, PDF_ERR_VALUE, "Unknown image type '%s' in PDF_open_image", type);
    return kind;
}

/* The colour space by the number of components ("mask" makes one raw bit a
 * stencil mask), and the size and depth: what the image dictionary could not
 * describe is refused before anything is written. Returns -1 after
 * reporting. */
int check_samples(pdf_document *document, pdf_image *image, int kind, int width, int height,
                  int components, int bpc, const char *params) {
    int colorspace = pdf_device_colorspace(components);
    if (colorspace < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus number of components (%d) in PDF_open_image",
                  components);
        return -1;
    }
    if (components == 1 && has_text(params) && strcmp(params, "mask") == 0) {
        if (kind != IMAGE_RAW || bpc != 1) {
            pdf_error(document, PDF_ERR_VALUE, "Unsuitable image mask in PDF_open_image");
            return -1;
        }
        colorspace = PDF_CS_IMAGEMASK;
    }
    image->colorspace = (pdf_byte)colorspace;
    if (width <= 0 || height <= 0) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus image size (%d x %d) in PDF_open_image", width,
                  height);
        return -1;
    }
    if (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus bits per component (%d) in PDF_open_image", bpc);
        return -1;
    }
    return 0;
}

/* JPEG and CCITT data pass through; raw samples are deflated. A negative
 * CCITT length counts as its absolute value. */
void set_encoding(pdf_document *document, pdf_image *image, int kind, long *length,
                  const char *params) {
    image->compression = kind == IMAGE_JPEG    ? PDF_COMPRESSION_DCT
                         : kind == IMAGE_CCITT ? PDF_COMPRESSION_CCITT
                                               : PDF_COMPRESSION_NONE;
    image->pass_through = kind != IMAGE_RAW;
    if (kind != IMAGE_CCITT) return;
    if (*length < 0) *length = -*length;
    if (has_text(params)) image->decode_params_text = pdf_strdup(document, params);
}

/* Refuses a block of the wrong length; the slot is released first. */
int refuse_length(pdf_document *document, int slot, long length) {
    pdf_release_image_slot(document, slot);
    pdf_error(document, PDF_ERR_VALUE, "Bogus image data length '%ld' in PDF_open_image", length);
    return -1;
}

/* A reference to an external file or URL; not in PDF 1.2. */
int set_reference(pdf_document *document, int slot, int kind, const char *target) {
    pdf_image *image = pdf_image_slot(document, slot);
    if (document->compatibility == 12) {
        pdf_release_image_slot(document, slot);
        pdf_error(document, PDF_ERR_RUNTIME, "%s",
                  kind == PDF_REFERENCE_FILE
                      ? "External image file references are not supported in PDF 1.2"
                      : "External image URLs are not supported in PDF 1.2");
        return -1;
    }
    image->reference_kind = (pdf_byte)kind;
    image->file_name = pdf_strdup(document, target);
    return 0;
}

/* Sets the slot's source over the caller's data. "memory": raw samples
 * must fill the block exactly, encoded data must at least be there.
 * "memory32": each row of raw samples starts on a four-byte boundary, so the
 * block holds height padded rows; the walker never reads past it. Returns
 * -1 after refusing. */
int set_data(pdf_document *document, int slot, int kind, const char *source, const char *data,
             long length, pdf_rows32_state *rows) {
    pdf_image *image = pdf_image_slot(document, slot);
    long height = (long)image->height;
    long long row_length =
        ((long long)image->width * image->components * image->bits_per_component + 7) / 8;
    long long stride = (row_length + 3) / 4 * 4;
    if (strcmp(source, "memory") == 0) {
        if (kind == IMAGE_RAW ? length != (long long)height * row_length : length <= 0)
            return refuse_length(document, slot, length);
        pdf_set_memory_source(&image->source, data, (size_t)length);
    } else if (strcmp(source, "memory32") == 0 && kind == IMAGE_RAW) {
        if (length != (long long)height * stride) return refuse_length(document, slot, length);
        rows->current_row = 0;
        rows->row_count = height;
        rows->row_length = (long)row_length;
        rows->stride = (long)stride;
        pdf_set_rows32_source(&image->source, data, (size_t)length, rows);
    } else if (strcmp(source, "fileref") == 0) {
        return set_reference(document, slot, PDF_REFERENCE_FILE, data);
    } else if (strcmp(source, "url") == 0) {
        return set_reference(document, slot, PDF_REFERENCE_URL, data);
    } else {
        pdf_release_image_slot(document, slot);
        pdf_error(document, PDF_ERR_VALUE, "Bogus image data source '%s' in PDF_open_image",
                  source);
        return -1;
    }
    return 0;
}

}  // namespace

int PDF_open_image(pdf_document *document, const char *type, const char *source, const char *data,
                   long length, int width, int height, int components, int bpc,
                   const char *params) {
    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_open_image"))
        return -1;
    int kind = check_call(document, type, source, data, params);
    if (kind < 0) return -1;
    int slot = pdf_find_free_image_slot(document);
    pdf_image *image = pdf_image_slot(document, slot);
    if (check_samples(document, image, kind, width, height, components, bpc, params) < 0) return -1;
    set_encoding(document, image, kind, &length, params);
    image->width = (float)width;
    image->height = (float)height;
    image->bits_per_component = bpc;
    image->components = components;
    image->occupied = 1;

    pdf_rows32_state rows;
    if (set_data(document, slot, kind, source, data, length, &rows) < 0) return -1;
    pdf_write_image_xobject(document, slot, 1);
    /* The caller's block is only borrowed for the call. */
    image = pdf_image_slot(document, slot);
    image->source.buffer = NULL;
    image->source.context = NULL;
    return slot;
}
