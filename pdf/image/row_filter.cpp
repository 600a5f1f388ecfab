/*
 * row_filter.cpp -- the choice of a row's filter, and the source that
 * delivers an image's rows filtered.
 */
#include "row_filter.h"

#include <stdlib.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
 * filter, added to `sums`, one byte at a time. With `step` 0 nothing lies
 * to the left. Summed in 32-bit locals, three times as fast as in longs; at
 * most SUM_PIECE bytes. */
void add_sums_bytewise(const pdf_byte *row, const pdf_byte *previous, size_t from, size_t length,
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

#if defined(__SSE2__)

/* The sizes of 16 filtered bytes, taken as signed, summed into two 64-bit
 * halves: a byte and its negation, the smaller as unsigned is its size. */
inline __m128i sum_of_sizes(__m128i x, __m128i predicted) {
    __m128i difference = _mm_sub_epi8(x, predicted);
    __m128i negated = _mm_sub_epi8(_mm_setzero_si128(), difference);
    return _mm_sad_epu8(_mm_min_epu8(difference, negated), _mm_setzero_si128());
}

/* The Paeth predictions of 8 bytes held in 16-bit lanes. */
inline __m128i paeth_of_lanes(__m128i left, __m128i above, __m128i upper_left) {
    __m128i to_left = _mm_sub_epi16(above, upper_left); /* p - left, signed */
    __m128i to_above = _mm_sub_epi16(left, upper_left); /* p - above, signed */
    __m128i to_upper_left = _mm_add_epi16(to_left, to_above);
    to_left = _mm_max_epi16(to_left, _mm_sub_epi16(_mm_setzero_si128(), to_left));
    to_above = _mm_max_epi16(to_above, _mm_sub_epi16(_mm_setzero_si128(), to_above));
    to_upper_left = _mm_max_epi16(to_upper_left, _mm_sub_epi16(_mm_setzero_si128(), to_upper_left));
    /* Left when it is nearest; else above when it is nearer than upper left. */
    __m128i not_left =
        _mm_or_si128(_mm_cmpgt_epi16(to_left, to_above), _mm_cmpgt_epi16(to_left, to_upper_left));
    __m128i not_above = _mm_cmpgt_epi16(to_above, to_upper_left);
    __m128i above_or_upper_left =
        _mm_or_si128(_mm_andnot_si128(not_above, above), _mm_and_si128(not_above, upper_left));
    return _mm_or_si128(_mm_andnot_si128(not_left, left),
                        _mm_and_si128(not_left, above_or_upper_left));
}

/* The Paeth predictions of 16 bytes. */
inline __m128i paeth_of_bytes(__m128i left, __m128i above, __m128i upper_left) {
    __m128i zero = _mm_setzero_si128();
    __m128i low = paeth_of_lanes(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(above, zero),
                                 _mm_unpacklo_epi8(upper_left, zero));
    __m128i high = paeth_of_lanes(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(above, zero),
                                  _mm_unpackhi_epi8(upper_left, zero));
    return _mm_packus_epi16(low, high);
}

/* As add_sums_bytewise for bytes with a left neighbour (`from` >= `step` >
 * 0), 16 at a time; the sums are the same. */
void add_sums(const pdf_byte *row, const pdf_byte *previous, size_t from, size_t length,
              size_t step, unsigned long *sums) {
    __m128i none = _mm_setzero_si128(), sub = none, up = none, average = none, paeth = none;
    __m128i one = _mm_set1_epi8(1);
    size_t i = from;

    for (; i + 16 <= length; i += 16) {
        __m128i x = _mm_loadu_si128((const __m128i *)(row + i));
        __m128i left = _mm_loadu_si128((const __m128i *)(row + i - step));
        __m128i above = _mm_loadu_si128((const __m128i *)(previous + i));
        __m128i upper_left = _mm_loadu_si128((const __m128i *)(previous + i - step));
        /* The rounded-up mean less the bit a rounded-down one drops. */
        __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(left, above), _mm_and_si128(_mm_xor_si128(left, above), one));

        none = _mm_add_epi64(none, sum_of_sizes(x, _mm_setzero_si128()));
        sub = _mm_add_epi64(sub, sum_of_sizes(x, left));
        up = _mm_add_epi64(up, sum_of_sizes(x, above));
        average = _mm_add_epi64(average, sum_of_sizes(x, mean));
        paeth = _mm_add_epi64(paeth, sum_of_sizes(x, paeth_of_bytes(left, above, upper_left)));
    }
    __m128i totals[5] = {none, sub, up, average, paeth};
    for (int type = 0; type < 5; type++) {
        unsigned long long halves[2];
        _mm_storeu_si128((__m128i *)halves, totals[type]);
        sums[type] += (unsigned long)(halves[0] + halves[1]);
    }
    add_sums_bytewise(row, previous, i, length, step, sums);
}

#else

void add_sums(const pdf_byte *row, const pdf_byte *previous, size_t from, size_t length,
              size_t step, unsigned long *sums) {
    add_sums_bytewise(row, previous, from, length, step, sums);
}

#endif

int least_sum_filter(const pdf_byte *row, const pdf_byte *previous, size_t length, size_t step) {
    unsigned long sums[5] = {0, 0, 0, 0, 0};
    size_t first_pixel = step < length ? step : length;
    int best = PDF_ROW_FILTER_NONE;

    add_sums_bytewise(row, previous, 0, first_pixel, 0, sums);
    for (size_t from = first_pixel; from < length; from += SUM_PIECE)
        add_sums(row, previous, from, length - from > SUM_PIECE ? from + SUM_PIECE : length, step,
                 sums);
    for (int type = 1; type < 5; type++)
        if (sums[type] < sums[best]) best = type;
    return best;
}

/* Writes the `length` bytes of `row` filtered with `type` to `out`, one
 * loop per type so that the compiler can vectorise each. */
void apply_filter(int type, const pdf_byte *__restrict row, const pdf_byte *__restrict previous,
                  size_t length, size_t step, pdf_byte *__restrict out) {
    size_t i = 0;

    for (; i < step && i < length; i++)
        out[i] = (pdf_byte)(row[i] - predicted(type, 0, previous[i], 0));
    switch (type) {
        case PDF_ROW_FILTER_SUB:
            for (; i < length; i++) out[i] = (pdf_byte)(row[i] - row[i - step]);
            break;
        case PDF_ROW_FILTER_UP:
            for (; i < length; i++) out[i] = (pdf_byte)(row[i] - previous[i]);
            break;
        case PDF_ROW_FILTER_AVERAGE:
            for (; i < length; i++)
                out[i] = (pdf_byte)(row[i] - ((row[i - step] + previous[i]) >> 1));
            break;
        case PDF_ROW_FILTER_PAETH:
            for (; i < length; i++)
                out[i] = (pdf_byte)(row[i] - paeth_predictor(row[i - step], previous[i],
                                                             previous[i - step]));
            break;
        default:
            memcpy(out + i, row + i, length - i);
    }
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

    pdf_end_flate_ahead(document, source);
    pdf_free(document, state);
    *source = inner;
    if (inner.active) pdf_end_source(document, source);
}

const pdf_source_operations row_filter_source = {row_filter_init, row_filter_refill,
                                                 row_filter_release};

/* A filtered row's bytes: the filter type and the samples. */
size_t filtered_row_length(const pdf_image *image) {
    size_t bits =
        (size_t)image->width * (size_t)image->components * (size_t)image->bits_per_component;
    return (bits + 7) / 8 + 1;
}

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
    apply_filter(type, row, previous, length, step, out + 1);
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

namespace {

/* Puts the filtering source in the slot, over the image's own. Returns 0
 * after an allocation failure was reported. */
int install_row_filter(pdf_document *document, pdf_image *image) {
    size_t row_length = filtered_row_length(image) - 1;
    size_t step = (size_t)image->components * (size_t)image->bits_per_component / 8;
    row_filter_state *state = (row_filter_state *)pdf_malloc(
        document, sizeof *state + 3 * row_length + 1, "pdf_copy_filtered_rows");

    if (state == NULL) return 0;
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
    return 1;
}

}  // namespace

void pdf_copy_filtered_rows(pdf_document *document, pdf_image *image) {
    if (image->source.operations != &row_filter_source && !install_row_filter(document, image))
        return;
    pdf_copy_source_in_blocks(document, &image->source, 1);
}

int pdf_begin_filtered_rows_ahead(pdf_document *document, pdf_image *image) {
    if (document->compress_threads == 0 || !pdf_image_rows_filtered(document, image)) return 0;
    if (!install_row_filter(document, image)) return 0;
    pdf_begin_flate_ahead(document, &image->source, 1);
    return 1;
}

void pdf_filtered_rows_decoded(pdf_document *document, pdf_image *image, long rows) {
    /* The row after the bytes read may be asked for to see whether more
     * follow: one decoded row is kept back. */
    if (rows > 1) pdf_flate_ahead(document, (size_t)(rows - 1) * filtered_row_length(image));
}
