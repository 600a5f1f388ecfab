/*
 * row_filter.cpp -- the choice of a row's filter, and the source that
 * delivers an image's rows filtered.
 */
#include "row_filter.h"

#include <string.h>

#include "../draw/colorspace.h"

namespace {

int paeth_predictor(int left, int above, int upper_left) {
    int estimate = left + above - upper_left;
    int to_left = estimate > left ? estimate - left : left - estimate;
    int to_above = estimate > above ? estimate - above : above - estimate;
    int to_upper_left = estimate > upper_left ? estimate - upper_left : upper_left - estimate;

    if (to_left <= to_above && to_left <= to_upper_left) return left;
    if (to_above <= to_upper_left) return above;
    return upper_left;
}

/* What the filter of `type` predicts for a byte from its neighbours. */
int predicted(int type, int left, int above, int upper_left) {
    switch (type) {
        case PDF_ROW_FILTER_SUB:
            return left;
        case PDF_ROW_FILTER_UP:
            return above;
        case PDF_ROW_FILTER_AVERAGE:
            return (left + above) >> 1;
        case PDF_ROW_FILTER_PAETH:
            return paeth_predictor(left, above, upper_left);
        default:
            return 0;
    }
}

/* The size of a filtered byte taken as signed: 255 is as small as 1. */
unsigned magnitude(int difference) {
    pdf_byte value = (pdf_byte)difference;
    return value < 128 ? value : 256u - value;
}

/* The neighbours of byte `i`: zero left of the row and above the first. */
void neighbours(const pdf_byte *row, const pdf_byte *previous, size_t i, size_t step, int *left,
                int *above, int *upper_left) {
    *left = i >= step ? row[i - step] : 0;
    *above = previous != NULL ? previous[i] : 0;
    *upper_left = previous != NULL && i >= step ? previous[i - step] : 0;
}

int least_sum_filter(const pdf_byte *row, const pdf_byte *previous, size_t length, size_t step) {
    unsigned long sums[5] = {0, 0, 0, 0, 0};
    int best = PDF_ROW_FILTER_NONE;

    for (size_t i = 0; i < length; i++) {
        int left, above, upper_left;

        neighbours(row, previous, i, step, &left, &above, &upper_left);
        sums[0] += magnitude(row[i]);
        sums[1] += magnitude(row[i] - left);
        sums[2] += magnitude(row[i] - above);
        sums[3] += magnitude(row[i] - ((left + above) >> 1));
        sums[4] += magnitude(row[i] - paeth_predictor(left, above, upper_left));
    }
    for (int type = 1; type < 5; type++)
        if (sums[type] < sums[best]) best = type;
    return best;
}

/* ---- The filtering source ------------------------------------------------ */

/* The state of one filtered copy: the image's own source, and the rows it
 * is read into. One block through the document's hooks. */
typedef struct {
    pdf_data_source inner;
    pdf_byte *row;      /* the row being gathered */
    pdf_byte *previous; /* the row before it, as delivered */
    pdf_byte *out;      /* filter type and filtered row */
    size_t row_length;
    size_t step;
    int has_previous;
    pdf_source_feed feed; /* where the inner source stands */
} row_filter_state;

void row_filter_init(pdf_document *document, pdf_data_source *source) {
    row_filter_state *state = (row_filter_state *)source->context;

    state->inner.operations->init(document, &state->inner);
    state->inner.active = 1;
}

int row_filter_refill(pdf_document *document, pdf_data_source *source) {
    row_filter_state *state = (row_filter_state *)source->context;
    size_t length =
        pdf_read_source(document, &state->inner, &state->feed, state->row, state->row_length);
    pdf_byte *done = state->row;

    if (length == 0) return 0;
    pdf_filter_row(state->row, state->has_previous ? state->previous : NULL, length, state->step,
                   state->out);
    source->chunk = state->out;
    source->chunk_length = length + 1;
    state->row = state->previous;
    state->previous = done;
    state->has_previous = 1;
    return 1;
}

/* Puts the image's own source back into the slot and releases it. */
void row_filter_release(pdf_document *document, pdf_data_source *source) {
    row_filter_state *state = (row_filter_state *)source->context;
    pdf_data_source inner = state->inner;

    pdf_free(document, state);
    *source = inner;
    if (inner.active) pdf_end_source(document, source);
}

const pdf_source_operations row_filter_source = {row_filter_init, row_filter_refill,
                                                 row_filter_release};

/* The components the decode parameters give for the colour space: 1 where
 * they name no /Colors; 0 for a space they do not know. */
int components_of_colorspace(int colorspace) {
    switch (colorspace) {
        case PDF_CS_DEVICERGB:
            return 3;
        case PDF_CS_DEVICECMYK:
            return 4;
        case PDF_CS_DEVICEGRAY:
        case PDF_CS_INDEXED:
        case PDF_CS_IMAGEMASK:
            return 1;
        default:
            return colorspace >= PDF_CS_SLOT_BASE ? 1 : 0;
    }
}

}  // namespace

int pdf_filter_row(const pdf_byte *row, const pdf_byte *previous, size_t length, size_t step,
                   pdf_byte *out) {
    int type = least_sum_filter(row, previous, length, step);

    out[0] = (pdf_byte)type;
    for (size_t i = 0; i < length; i++) {
        int left, above, upper_left;

        neighbours(row, previous, i, step, &left, &above, &upper_left);
        out[i + 1] = (pdf_byte)(row[i] - predicted(type, left, above, upper_left));
    }
    return type;
}

int pdf_image_rows_filtered(pdf_document *document, const pdf_image *image) {
    int bits = image->bits_per_component;

    if (!document->image_predictor || image->pass_through || document->compress == 0 ||
        document->debug['a'] || image->reference_kind != PDF_REFERENCE_NONE)
        return 0;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return 0;
    return image->components == components_of_colorspace(image->colorspace) && image->width >= 1;
}

void pdf_copy_filtered_rows(pdf_document *document, pdf_image *image) {
    size_t bits =
        (size_t)image->width * (size_t)image->components * (size_t)image->bits_per_component;
    size_t row_length = (bits + 7) / 8;
    size_t step = (size_t)image->components * (size_t)image->bits_per_component / 8;
    row_filter_state *state = (row_filter_state *)pdf_malloc(
        document, sizeof *state + 3 * row_length + 1, "pdf_copy_filtered_rows");

    if (state == NULL) return;
    memset(state, 0, sizeof *state);
    state->row = (pdf_byte *)(state + 1);
    state->previous = state->row + row_length;
    state->out = state->previous + row_length;
    state->row_length = row_length;
    /* Below a byte per pixel, bytes are predicted from the byte before. */
    state->step = step > 0 ? step : 1;
    state->inner = image->source;
    image->source.operations = &row_filter_source;
    image->source.context = state;
    /* Active from here on, so that an error before the copy starts its
     * source still frees the state. */
    image->source.active = 1;
    pdf_copy_source_compressed(document, &image->source);
}
