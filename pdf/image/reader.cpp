/*
 * reader.cpp -- what the image file readers share: their state, their ways
 * out, their string parameters and their colour spaces.
 */
#include "reader.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "../draw/colorspace.h"
#include "decoded.h"

/* Room for the file name in the message of damaged data. */
#define PDF_NAME_COPY_SIZE 1024

void *pdf_begin_reader(pdf_document *document, pdf_image *image,
                       const pdf_reader_operations *operations, size_t size, const char *tag) {
    void *state = pdf_calloc(document, size, tag);

    if (state == NULL) return NULL;
    image->reader = state;
    image->reader_operations = operations;
    return state;
}

void pdf_end_reader(pdf_document *document, pdf_image *image) {
    const pdf_reader_operations *operations = image->reader_operations;

    image->reader_operations = NULL;
    if (image->reader != NULL) {
        if (operations != NULL && operations->release != NULL) operations->release(document, image);
        pdf_free(document, image->reader);
        image->reader = NULL;
    }
    pdf_free_raster(document, image);
    image->palette = NULL;
    if (image->file != NULL) {
        fclose(image->file);
        image->file = NULL;
    }
}

int pdf_reader_fail(pdf_document *document, pdf_image *image, int type, const char *format, ...) {
    char message[PDF_MESSAGE_SIZE];
    va_list args;

    /* The message is composed first: its arguments may point into what the
     * release frees. */
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    pdf_end_reader(document, image);
    if (type != PDF_ERR_NONFATAL || document->debug['i']) pdf_error(document, type, "%s", message);
    return -1;
}

void pdf_fail_image_data(pdf_document *document, pdf_image *image, const char *message) {
    char name[PDF_NAME_COPY_SIZE];

    snprintf(name, sizeof name, "%s", image->file_name != NULL ? image->file_name : "");
    pdf_release_image_slot(document, (int)(image - document->images->slots));
    /* Should the handler return, the rest of the XObject must not look for
     * the palette, which went with the reader's state. */
    image->colorspace = PDF_CS_DEVICEGRAY;
    pdf_error(document, PDF_ERR_IO, message, name);
}

int pdf_is_colorspace_slot(const pdf_document *document, int number) {
    return number >= 0 && number < pdf_colorspace_count(document) &&
           number <= 255 - PDF_CS_SLOT_BASE;
}

int pdf_apply_colorize(pdf_document *document, pdf_image *image, const char *kind,
                       const char *filename, int number) {
    if (image->components != 1)
        return pdf_reader_fail(document, image, PDF_ERR_VALUE,
                               "Can't colorize %s image with more than 1 component", kind);
    if (!pdf_is_colorspace_slot(document, number))
        return pdf_reader_fail(document, image, PDF_ERR_VALUE,
                               "Invalid color number %d for image %s", number, filename);
    image->colorspace = (pdf_byte)(number + PDF_CS_SLOT_BASE);
    return 0;
}

int pdf_apply_masked(pdf_document *document, pdf_image *image, const char *filename, int mask) {
    if (mask >= 0 && !pdf_is_stencil_mask(document, mask))
        return pdf_reader_fail(document, image, PDF_ERR_VALUE,
                               "Bad image mask (no %d) for image '%s'", mask, filename);
    image->mask_image = mask >= 0 ? mask : -1;
    return 0;
}

int pdf_device_colorspace(int components) {
    switch (components) {
        case 1:
            return PDF_CS_DEVICEGRAY;
        case 3:
            return PDF_CS_DEVICERGB;
        case 4:
            return PDF_CS_DEVICECMYK;
        default:
            return -1;
    }
}

void pdf_set_image_source(pdf_image *image, const pdf_source_operations *operations) {
    image->source.operations = operations;
    image->source.context = image;
    image->source.buffer = NULL;
    image->source.buffer_size = 0;
    image->source.chunk = NULL;
    image->source.chunk_length = 0;
}
