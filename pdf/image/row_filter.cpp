/*
 * row_filter.cpp -- the choice of a row's filter, and the source that
 * delivers an image's rows filtered.
 */
#include "row_filter.h"

#include <stdlib.h>
#include <string.h>

#include "../core/parallel_flate.h"
#include "../draw/colorspace.h"

namespace {

/* The one of left, above and upper left nearest to left + above - upper
 * left, in that order when two are as near. */
inline int paeth_predictor(int left, int above, int upper_left) {
    int to_left = abs(above - upper_left);
    int to_above = abs(left - upper_left);
    int to_upper_left = abs(left + above - 2 * upper_left);

    if (to_left <= to_above && to_left <= to_upper_left) return left;
    return to_above <= to_upper_left ? above : upper_left;
}

/* What the filter of `type` predicts for a byte from its neighbours. */
inline int predicted(int type, int left, int above, int upper_left) {
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
inline unsigned magnitude(int difference) {
    return (unsigned)abs((int)(signed char)(pdf_byte)difference);
}

/* Bytes summed in 32 bits: each adds at most 128. */
#define SUM_PIECE ((size_t)1 << 24)

/* The sums of the sizes of bytes `from` to `length` of the row under each
 * filter, added to `sums`. With `step` 0 nothing lies to the left. Summed in
 * 32-bit locals, three times as fast as in longs; at most SUM_PIECE
 * bytes. */
void add_sums(const pdf_byte *row, const pdf_byte *previous, size_t from, size_t length,
              size_t step, unsigned long *sums) {
    unsigned none = 0, sub = 0, up = 0, average = 0, paeth = 0;

    for (size_t i = from; i < length; i++) {
        int x = row[i], above = previous[i];
        int left = step != 0 ? row[i - step] : 0;
        int upper_left = step != 0 ? previous[i - step] : 0;

        none += magnitude(x);
        sub += magnitude(x - left);
        up += magnitude(x - above);
        average += magnitude(x - ((left + above) >> 1));
        paeth += magnitude(x - paeth_predictor(left, above, upper_left));
    }
    sums[0] += none;
    sums[1] += sub;
    sums[2] += up;
    sums[3] += average;
    sums[4] += paeth;
}

int least_sum_filter(const pdf_byte *row, const pdf_byte *previous, size_t length, size_t step) {
    unsigned long sums[5] = {0, 0, 0, 0, 0};
    size_t first_pixel = step < length ? step : length;
    int best = PDF_ROW_FILTER_NONE;

    add_sums(row, previous, 0, first_pixel, 0, sums);
    for (size_t from = first_pixel; from < length; from += SUM_PIECE)
        add_sums(row, previous, from, length - from > SUM_PIECE ? from + SUM_PIECE : length, step,
                 sums);
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
    pdf_byte *previous; /* the row before it, as delivered; zeros at first */
    pdf_byte *out;      /* filter type and filtered row */
    size_t row_length;
    size_t step;
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
    pdf_filter_row(state->row, state->previous, length, state->step, state->out);
    source->chunk = state->out;
    source->chunk_length = length + 1;
    state->row = state->previous;
    state->previous = done;
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
    size_t i;

    out[0] = (pdf_byte)type;
    for (i = 0; i < step && i < length; i++)
        out[i + 1] = (pdf_byte)(row[i] - predicted(type, 0, previous[i], 0));
    for (; i < length; i++)
        out[i + 1] =
            (pdf_byte)(row[i] - predicted(type, row[i - step], previous[i], previous[i - step]));
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
    memset(state, 0, sizeof *state + 3 * row_length + 1);
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
    pdf_copy_source_in_blocks(document, &image->source, 1);
}
