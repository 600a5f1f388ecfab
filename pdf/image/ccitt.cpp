/*
 * ccitt.cpp -- files of raw CCITT fax data as one-bit images.
 */
#include "ccitt.h"

#include <string.h>

#include "../core/data_source.h"
#include "../core/format.h"
#include "../draw/colorspace.h"
#include "reader.h"
#include "xobject.h"

namespace {

/* The reader's state: whether each byte's bits are to be reversed. */
typedef struct {
    int bit_reverse;
} ccitt_state;

const pdf_reader_operations ccitt_reader = {NULL, NULL};

/* The source reads the open file of the slot in `context` a buffer at a
 * time, reversing the bits of each byte when the caller asked for it. */
void ccitt_source_init(pdf_document *document, pdf_data_source *source) {
    source->buffer_size = PDF_FILE_SOURCE_BUFFER_SIZE;
    source->buffer = (pdf_byte *)pdf_malloc(document, source->buffer_size, "ccitt_source_init");
}

int ccitt_source_refill(pdf_document *document, pdf_data_source *source) {
    (void)document;
    pdf_image *image = (pdf_image *)source->context;
    size_t count = fread(source->buffer, 1, source->buffer_size, image->file);
    if (count == 0) return 0;
    if (((const ccitt_state *)image->reader)->bit_reverse)
        for (size_t i = 0; i < count; i++) source->buffer[i] = pdf_reverse_bits(source->buffer[i]);
    source->chunk = source->buffer;
    source->chunk_length = count;
    return 1;
}

void ccitt_source_release(pdf_document *document, pdf_data_source *source) {
    if (source->buffer != NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
    }
}

const pdf_source_operations ccitt_source = {ccitt_source_init, ccitt_source_refill,
                                            ccitt_source_release};

/* The coding parameters as decode parameter text ("/K -1/BlackIs1 true"),
 * or none. */
void set_coding_parameters(pdf_document *document, pdf_image *image, int k, int black_is_1) {
    char params[32];
    int used = 0;
    if (k == 0 && black_is_1 == 0) return;
    params[0] = '\0';
    if (k != 0) used = pdf_sprintf(document, params, sizeof params, "/K %d", k);
    if (black_is_1 == 1)
        pdf_sprintf(document, params + used, sizeof params - (size_t)used, "/BlackIs1 true");
    image->decode_params_text = pdf_strdup(document, params);
}

}  // namespace

pdf_byte pdf_reverse_bits(pdf_byte c) {
    c = (pdf_byte)((c & 0xF0) >> 4 | (c & 0x0F) << 4);
    c = (pdf_byte)((c & 0xCC) >> 2 | (c & 0x33) << 2);
    c = (pdf_byte)((c & 0xAA) >> 1 | (c & 0x55) << 1);
    return c;
}

int PDF_open_CCITT(pdf_document *document, const char *filename, int width, int height,
                   int bit_reverse, int k, int black_is_1) {
    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_open_CCITT"))
        return -1;
    /* The file carries no size: a size the image dictionary cannot describe
     * is the caller's mistake. */
    if (width <= 0 || height <= 0) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus image size (%d x %d) in PDF_open_CCITT", width,
                  height);
        return -1;
    }

    int slot = pdf_find_free_image_slot(document);
    pdf_image *image = pdf_image_slot(document, slot);
    FILE *fp = filename != NULL ? fopen(filename, "rb") : NULL;
    if (fp == NULL) {
        if (document->debug['i'])
            pdf_error(document, PDF_ERR_NONFATAL, "Couldn't open CCITT file '%s'",
                      filename ? filename : "");
        return -1;
    }
    image->file = fp;
    ccitt_state *state = (ccitt_state *)pdf_begin_reader(document, image, &ccitt_reader,
                                                         sizeof(ccitt_state), "PDF_open_CCITT");
    if (state == NULL) return -1;
    state->bit_reverse = bit_reverse;
    image->file_name = pdf_strdup(document, filename);
    image->width = (float)width;
    image->height = (float)height;
    set_coding_parameters(document, image, k, black_is_1);

    image->bits_per_component = 1;
    image->components = 1;
    image->colorspace = PDF_CS_DEVICEGRAY;
    image->compression = PDF_COMPRESSION_CCITT;
    image->pass_through = 1;
    image->occupied = 1;
    memset(&image->source, 0, sizeof image->source);
    pdf_set_image_source(image, &ccitt_source);

    pdf_write_image_xobject(document, slot, 1);
    pdf_end_reader(document, pdf_image_slot(document, slot));
    return slot;
}
