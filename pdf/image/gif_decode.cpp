/*
 * gif_decode.cpp -- GIF's LZW decoder.
 *
 * Codes are read least significant bit first across the data sub-blocks.
 * The code width follows the table as GIF decoders count it: it grows when
 * the next free entry reaches the width's limit, and stays at 12 bits once
 * the table is full, where an encoder may go on without a clear code.
 */
#include "gif_decode.h"

namespace {

/* The code stream of the data sub-blocks. */
typedef struct {
    FILE *file;
    pdf_byte block[256];
    int length;   /* bytes in `block` */
    int position; /* the next byte of `block` */
    uint32_t bits;
    int bit_count;
} code_reader;

enum { CODES_ENDED = -1, CODES_CUT_SHORT = -2 };

/* The next code of `width` bits; CODES_ENDED at the block terminator,
 * CODES_CUT_SHORT when the file ends within the data. */
int read_code(code_reader *reader, int width) {
    while (reader->bit_count < width) {
        if (reader->position == reader->length) {
            int length = getc(reader->file);

            if (length == EOF) return CODES_CUT_SHORT;
            if (length == 0) return CODES_ENDED;
            if (fread(reader->block, 1, (size_t)length, reader->file) != (size_t)length)
                return CODES_CUT_SHORT;
            reader->length = length;
            reader->position = 0;
        }
        reader->bits |= (uint32_t)reader->block[reader->position++] << reader->bit_count;
        reader->bit_count += 8;
    }
    int code = (int)(reader->bits & ((1u << width) - 1));
    reader->bits >>= width;
    reader->bit_count -= width;
    return code;
}

/* Where the pixels go: row by row, in the file's row order. */
typedef struct {
    pdf_raster *raster;
    int interlaced;
    int pass; /* interlace pass, 0 to 3; 4 when every row is done */
    long row; /* the raster row being filled; -1 when done */
    long column;
} pixel_writer;

const long pass_start[4] = {0, 4, 2, 1};
const long pass_step[4] = {8, 8, 4, 2};

/* Moves to the next row in the file's order: every row in turn, or the
 * rows of each interlace pass. */
void next_row(pixel_writer *writer) {
    long height = writer->raster->row_count;

    writer->column = 0;
    if (!writer->interlaced) {
        writer->row = writer->row + 1 < height ? writer->row + 1 : -1;
        return;
    }
    writer->row += pass_step[writer->pass];
    while (writer->row >= height) {
        if (++writer->pass == 4) {
            writer->row = -1;
            return;
        }
        writer->row = pass_start[writer->pass];
    }
}

/* Writes the string of `code`; returns 0 once every pixel is there. */
int put_string(pixel_writer *writer, pdf_gif_tables *tables, int code, int clear) {
    int depth = 0;

    while (code >= clear) {
        tables->stack[depth++] = tables->last[code];
        code = tables->prefix[code];
    }
    tables->stack[depth++] = (pdf_byte)code;
    while (depth > 0 && writer->row >= 0) {
        pdf_raster *raster = writer->raster;

        raster->rows[(size_t)writer->row * raster->row_length + (size_t)writer->column] =
            tables->stack[--depth];
        if (++writer->column == (long)raster->row_length) next_row(writer);
    }
    return writer->row >= 0;
}

}  // namespace

int pdf_decode_gif_codes(FILE *file, pdf_gif_tables *tables, pdf_raster *raster, int code_size,
                         int interlaced) {
    const int clear = 1 << code_size, end = clear + 1;
    code_reader reader = {file, {0}, 0, 0, 0, 0};
    pixel_writer writer = {raster, interlaced, 0, 0, 0};
    int width = code_size + 1, next = clear + 2, previous = -1;

    for (int pixel = 0; pixel < clear; pixel++) tables->first[pixel] = (pdf_byte)pixel;
    for (;;) {
        int code = read_code(&reader, width);

        if (code == CODES_CUT_SHORT) return PDF_GIF_DATA_CUT_SHORT;
        if (code == CODES_ENDED || code == end) return PDF_GIF_PIXELS_MISSING;
        if (code == clear) {
            width = code_size + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (previous < 0) {
            /* Only the single pixels exist after a clear code. */
            if (code > clear) return PDF_GIF_CODE_CORRUPT;
        } else {
            /* A code may name the entry it defines, whose string is the
             * previous one's plus that string's first pixel. */
            if (code > next || (code == next && next == PDF_GIF_TABLE_SIZE))
                return PDF_GIF_CODE_CORRUPT;
            if (next < PDF_GIF_TABLE_SIZE) {
                int first = code == next ? tables->first[previous] : tables->first[code];

                tables->prefix[next] = (uint16_t)previous;
                tables->last[next] = (pdf_byte)first;
                tables->first[next] = tables->first[previous];
                next++;
            }
        }
        if (!put_string(&writer, tables, code, clear)) return PDF_GIF_DECODED;
        previous = code;
        if (next == 1 << width && width < PDF_GIF_MAX_CODE_WIDTH) width++;
    }
}
