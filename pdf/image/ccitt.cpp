/*
 * ccitt.cpp -- files of raw CCITT fax data as one-bit images.
 */
#include <string.h>

#include "../core/format.h"
#include "ccitt.h"
#include "xobject.h"
#include "../core/data_source.h"

pdf_byte pdf_reverse_bits(pdf_byte c)
{
    c = (pdf_byte)((c & 0xF0) >> 4 | (c & 0x0F) << 4);
    c = (pdf_byte)((c & 0xCC) >> 2 | (c & 0x33) << 2);
    c = (pdf_byte)((c & 0xAA) >> 1 | (c & 0x55) << 1);
    return c;
}

/* The source reads the open file of the slot in `context` a buffer at a
 * time, reversing the bits of each byte when the slot asks for it. */
static void ccitt_source_init(pdf_document *document, pdf_data_source *source)
{
    source->buffer_size = PDF_FILE_SOURCE_BUFFER_SIZE;
    source->buffer = (pdf_byte *)pdf_malloc(document, source->buffer_size,
                                            "ccitt_source_init");
}

static int ccitt_source_refill(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;
    size_t count, i;

    (void)document;
    count = fread(source->buffer, 1, source->buffer_size, image->file);
    if (count == 0)
        return 0;
    if (image->ccitt_bit_reverse)
        for (i = 0; i < count; i++)
            source->buffer[i] = pdf_reverse_bits(source->buffer[i]);
    source->chunk = source->buffer;
    source->chunk_length = count;
    return 1;
}

static void ccitt_source_release(pdf_document *document, pdf_data_source *source)
{
    if (source->buffer != NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
    }
}

static const pdf_source_operations ccitt_source = {
    ccitt_source_init, ccitt_source_refill, ccitt_source_release
};

int PDF_open_CCITT(pdf_document *document, const char *filename, int width,
                   int height, int bit_reverse, int k, int black_is_1)
{
    pdf_image *image;
    char params[32];
    int slot;
    FILE *fp;

    if (!pdf_is_valid(document))
        return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE,
                         "PDF_open_CCITT"))
        return -1;
    /* The file carries no size: a size the image dictionary cannot
     * describe is the caller's mistake. */
    if (width <= 0 || height <= 0) {
        pdf_error(document, PDF_ERR_VALUE,
                  "Bogus image size (%d x %d) in PDF_open_CCITT", width, height);
        return -1;
    }

    slot = pdf_find_free_image_slot(document);
    image = &document->images->slots[slot];

    fp = filename != NULL ? fopen(filename, "rb") : NULL;
    if (fp == NULL) {
        if (document->debug['i'])
            pdf_error(document, PDF_ERR_NONFATAL, "Couldn't open CCITT file '%s'",
                      filename ? filename : "");
        return -1;
    }
    image->file = fp;
    image->file_name = pdf_strdup(document, filename);
    image->width = (float)width;
    image->height = (float)height;
    image->ccitt_bit_reverse = bit_reverse;

    if (k != 0 || black_is_1 != 0) {
        int used = 0;

        params[0] = '\0';
        if (k != 0)
            used = pdf_sprintf(document, params, sizeof params, "/K %d", k);
        if (black_is_1 == 1)
            pdf_sprintf(document, params + used, sizeof params - (size_t)used,
                        "/BlackIs1 true");
        image->decode_params_text = pdf_strdup(document, params);
    }

    image->bits_per_component = 1;
    image->components = 1;
    image->colorspace = PDF_CS_DEVICEGRAY;
    image->compression = PDF_COMPRESSION_CCITT;
    image->pass_through = 1;
    image->occupied = 1;
    memset(&image->source, 0, sizeof image->source);
    pdf_set_image_source(image, &ccitt_source);

    pdf_write_image_xobject(document, slot, 1);

    image = &document->images->slots[slot];
    fclose(image->file);
    image->file = NULL;
    return slot;
}
