/*
 * stream_check.cpp -- checked copies of pass-through Flate and LZW data.
 *
 * A damaged image file can hold compressed data that its reader hands on
 * without decoding them. Copied unchecked, they would make a document that
 * looks complete but whose image no reader can decode. The checkers here
 * decode the data as they are copied and stop the copy at the first fault.
 *
 * Every checker also counts the bytes a PDF reader gets out of the data
 * before it stops (at the end of the zlib stream, at LZW's end-of-data code,
 * at RunLength's end-of-data byte, or where the data end). Data that stop
 * short of the image's last row decode without fault, yet a reader would
 * show the missing rows as whatever it pads them with.
 *
 * The checkers keep all their state in the copying frame: zlib's state
 * lives in an arena on the stack instead of the document's heap, so that an
 * error handler's longjmp out of pdf_write or of the source's refill leaves
 * nothing behind to release.
 */
#include <string.h>

#include <zlib.h>

#include "../core/data_source.h"
#include "../core/output.h"
#include "reader.h"
#include "stream_check.h"

/* Room for inflate's state (about 7 KB) and its 32 KB window. */
#define CHECK_ARENA_SIZE (64 * 1024)
/* Decoded bytes are written here and dropped. */
#define CHECK_SCRATCH_SIZE 32768

namespace {

/* ---- Flate ----------------------------------------------------------------- */

typedef struct {
    union {
        unsigned char bytes[CHECK_ARENA_SIZE];
        double align;
        void *align_pointer;
    } memory;
    size_t used;
} check_arena;

voidpf check_arena_alloc(voidpf opaque, uInt items, uInt size) {
    check_arena *arena = (check_arena *)opaque;
    size_t bytes = (size_t)items * size;

    if (size != 0 && bytes / size != items) return Z_NULL;
    bytes = (bytes + 15) & ~(size_t)15;
    if (bytes > sizeof arena->memory.bytes - arena->used) return Z_NULL;
    arena->used += bytes;
    return arena->memory.bytes + arena->used - bytes;
}

void check_arena_free(voidpf opaque, voidpf address) {
    (void)opaque;
    (void)address;
}

typedef struct {
    check_arena arena;
    z_stream stream;
    int finished; /* the end of the zlib stream was reached */
    unsigned char scratch[CHECK_SCRATCH_SIZE];
} flate_check;

/* Returns 0 when the stream cannot be set up (no room in the arena). */
int flate_check_begin(flate_check *check) {
    memset(&check->stream, 0, sizeof check->stream);
    check->arena.used = 0;
    check->finished = 0;
    check->stream.zalloc = check_arena_alloc;
    check->stream.zfree = check_arena_free;
    check->stream.opaque = &check->arena;
    return inflateInit(&check->stream) == Z_OK;
}

/* Decodes one chunk. Returns null when it is sound, else the reason. Bytes
 * after the end of the zlib stream are ignored, as PDF readers do. */
const char *flate_check_chunk(flate_check *check, const pdf_byte *data, size_t length) {
    z_stream *stream = &check->stream;

    while (length > 0 && !check->finished) {
        uInt piece = length > 0x40000000 ? 0x40000000 : (uInt)length;
        int status;

        stream->next_in = (Bytef *)data;
        stream->avail_in = piece;
        do {
            stream->next_out = check->scratch;
            stream->avail_out = sizeof check->scratch;
            status = inflate(stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                check->finished = 1;
                break;
            }
            if (status == Z_NEED_DICT) return "Flate data need a preset dictionary";
            if (status != Z_OK && status != Z_BUF_ERROR)
                return stream->msg != NULL ? stream->msg : "Flate data do not decode";
            /* Go on while input is left or the output filled up (inflate
             * may hold more); Z_BUF_ERROR means nothing more can be done
             * with this input. */
        } while (status == Z_OK && (stream->avail_in > 0 || stream->avail_out == 0));
        data += piece;
        length -= piece;
    }
    return NULL;
}

/* The bytes decoded so far. */
size_t flate_decoded(const flate_check *check) {
    return check->stream.total_out;
}

const char *flate_check_end(flate_check *check) {
    inflateEnd(&check->stream);
    return check->finished ? NULL : "Flate data end too early";
}

/* ---- LZW (9 to 12 bit codes, most significant bit first) ------------------- */

enum { LZW_CLEAR = 256, LZW_END = 257, LZW_FIRST_FREE = 258, LZW_LIMIT = 4096 };

typedef struct {
    unsigned long bits; /* pending input bits, right-aligned */
    int bit_count;
    int code_size;
    int table_size;   /* entries beyond the 258 fixed codes */
    int last_code;    /* LZW_CLEAR at the start and after a clear code */
    int early_change; /* 1: codes widen one entry early (the default) */
    int ended;        /* the end-of-data code was read */
    size_t decoded;   /* bytes the codes read so far stand for */
    pdf_byte first_byte[LZW_LIMIT - LZW_FIRST_FREE];
    uint16_t length[LZW_LIMIT - LZW_FIRST_FREE]; /* of each entry's string */
} lzw_check;

void lzw_check_begin(lzw_check *check, const pdf_image *image) {
    const char *params = image->decode_params_text;

    check->early_change = !(params != NULL && strstr(params, "/EarlyChange 0") != NULL);
    check->bits = 0;
    check->bit_count = 0;
    check->code_size = 9;
    check->table_size = 0;
    check->last_code = LZW_CLEAR;
    check->ended = 0;
    check->decoded = 0;
}

pdf_byte lzw_first_byte(const lzw_check *check, int code) {
    return code < 256 ? (pdf_byte)code : check->first_byte[code - LZW_FIRST_FREE];
}

/* The length of the string of a code that exists. */
size_t lzw_string_length(const lzw_check *check, int code) {
    return code < 256 ? 1 : check->length[code - LZW_FIRST_FREE];
}

/* Follows one code through the decoder's table. Returns null or the reason
 * the code cannot be decoded. */
const char *lzw_check_code(lzw_check *check, int code) {
    if (code == LZW_CLEAR) {
        check->table_size = 0;
        check->code_size = 9;
        check->last_code = LZW_CLEAR;
        return NULL;
    }
    if (code == LZW_END) {
        check->ended = 1;
        return NULL;
    }
    if (check->last_code != LZW_CLEAR) {
        /* The entry the previous code started: its string plus the first
         * byte of this code's string (of its own when it names the entry
         * being made). */
        int index = code - LZW_FIRST_FREE;
        int new_code = LZW_FIRST_FREE + check->table_size;

        if (code > LZW_END && index > check->table_size) return "LZW code beyond the table";
        if (new_code == LZW_LIMIT) return "LZW table full without a clear code";
        check->first_byte[check->table_size] = lzw_first_byte(check, check->last_code);
        check->length[check->table_size++] =
            (uint16_t)(lzw_string_length(check, check->last_code) + 1);
        /* With early change the codes widen one entry before the table
         * needs it. */
        new_code += check->early_change;
        if (new_code == 511 || new_code == 1023 || new_code == 2047) check->code_size++;
    }
    if (code > LZW_END && code - LZW_FIRST_FREE >= check->table_size)
        return "LZW code beyond the table";
    check->decoded += lzw_string_length(check, code);
    check->last_code = code;
    return NULL;
}

const char *lzw_check_chunk(lzw_check *check, const pdf_byte *data, size_t length) {
    size_t i;

    for (i = 0; i < length && !check->ended; i++) {
        check->bits = (check->bits << 8 | data[i]) & 0xFFFFFFUL;
        check->bit_count += 8;
        while (check->bit_count >= check->code_size && !check->ended) {
            int shift = check->bit_count - check->code_size;
            int code = (int)((check->bits >> shift) & ((1UL << check->code_size) - 1));
            const char *fault;

            check->bit_count = shift;
            fault = lzw_check_code(check, code);
            if (fault != NULL) return fault;
        }
    }
    return NULL;
}

/* ---- RunLength ------------------------------------------------------------- */

enum { RUN_LENGTH_END = 128 };

/* A length byte below 128 starts a literal run of that many bytes plus
 * one; one above 128 repeats the next byte 257 minus it times; 128 ends
 * the data. */
typedef struct {
    unsigned literal_left; /* bytes of the literal run still to come */
    unsigned repeat;       /* times the next byte repeats; 0 for none */
    int ended;             /* the end-of-data byte was read */
    size_t decoded;
} run_length_check;

void run_length_check_begin(run_length_check *check) {
    memset(check, 0, sizeof *check);
}

/* RunLength data cannot be malformed, only short: every byte is read and
 * counted. */
void run_length_check_chunk(run_length_check *check, const pdf_byte *data, size_t length) {
    for (size_t i = 0; i < length && !check->ended; i++) {
        pdf_byte byte = data[i];

        if (check->literal_left > 0) {
            check->literal_left--;
            check->decoded++;
        } else if (check->repeat > 0) {
            check->decoded += check->repeat;
            check->repeat = 0;
        } else if (byte < RUN_LENGTH_END) {
            check->literal_left = byte + 1u;
        } else if (byte > RUN_LENGTH_END) {
            check->repeat = 257u - byte;
        } else {
            check->ended = 1;
        }
    }
}

/* ---- The copy ------------------------------------------------------------- */

/* The bytes the decoded data must hold for the slot's image (of the band
 * being written): its rows of samples, each with the tag byte of its
 * filter under PNG predictors. */
size_t expected_length(const pdf_image *image) {
    size_t row_bits =
        (size_t)image->width * (size_t)image->components * (size_t)image->bits_per_component;
    size_t row_bytes = (row_bits + 7) / 8 + (image->predictor >= 10 ? 1 : 0);

    return row_bytes * (size_t)image->height;
}

/* Copies `reason` into `copy` (`size` bytes). A zlib message may live in
 * the arena of a caller's frame: it is copied before anything else runs. */
void copy_reason(char *copy, size_t size, const char *reason) {
    strncpy(copy, reason, size - 1);
    copy[size - 1] = '\0';
}

/* Releases the source and raises the error; does not return for handlers
 * that obey the library's contract. */
void check_failed(pdf_document *document, pdf_image *image, const char *reason) {
    pdf_data_source *source = &image->source;
    const char *name = image->file_name != NULL ? image->file_name : source->name;
    char reason_copy[PDF_CHECK_REASON_SIZE];

    copy_reason(reason_copy, sizeof reason_copy, reason);
    if (source->active) pdf_end_source(document, source);
    pdf_error(document, PDF_ERR_IO, "Corrupt image data in file '%s' (%s)",
              name != NULL ? name : "", reason_copy);
}

/* The checkers of one copy, in the copying frame. */
typedef struct {
    flate_check flate;
    lzw_check lzw;
    run_length_check run_length;
} check_states;

/* Pulls the slot's Flate, LZW or RunLength data through their checker,
 * writing each sound chunk when `write` is set. Returns null when the data
 * are sound and hold the whole image, else the reason, which may point into
 * the checker's arena: the caller copies it at once. The source is left
 * open for the caller to end. */
const char *check_source_data(pdf_document *document, pdf_image *image, int write,
                              check_states *states) {
    pdf_data_source *source = &image->source;
    int flate = image->compression == PDF_COMPRESSION_FLATE;
    int run_length = image->compression == PDF_COMPRESSION_RUNLENGTH;
    flate_check *flate_state = &states->flate;
    lzw_check *lzw_state = &states->lzw;
    const char *fault = NULL;
    size_t decoded;

    lzw_check_begin(lzw_state, image);
    run_length_check_begin(&states->run_length);
    if (flate && !flate_check_begin(flate_state)) {
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't set up the check of image data");
        return "no room for the check";
    }
    source->operations->init(document, source);
    source->active = 1;
    while (fault == NULL && source->operations->refill(document, source)) {
        if (flate)
            fault = flate_check_chunk(flate_state, source->chunk, source->chunk_length);
        else if (run_length)
            run_length_check_chunk(&states->run_length, source->chunk, source->chunk_length);
        else
            fault = lzw_check_chunk(lzw_state, source->chunk, source->chunk_length);
        if (fault == NULL && write) pdf_write(document, source->chunk, source->chunk_length);
    }
    decoded = flate        ? flate_decoded(flate_state)
              : run_length ? states->run_length.decoded
                           : lzw_state->decoded;
    if (flate) {
        const char *end_fault = flate_check_end(flate_state);
        if (fault == NULL) fault = end_fault;
    }
    if (fault == NULL && decoded < expected_length(image))
        fault = "image data end before the last row";
    return fault;
}

int is_checked_encoding(const pdf_image *image) {
    return image->compression == PDF_COMPRESSION_FLATE ||
           image->compression == PDF_COMPRESSION_LZW ||
           image->compression == PDF_COMPRESSION_RUNLENGTH;
}

}  // namespace

int pdf_check_source(pdf_document *document, pdf_image *image, char *reason, size_t size) {
    check_states states;
    const char *fault;

    if (!is_checked_encoding(image)) return 1;
    fault = check_source_data(document, image, 0, &states);
    if (fault != NULL) copy_reason(reason, size, fault);
    if (image->source.active) pdf_end_source(document, &image->source);
    return fault == NULL;
}

void pdf_copy_source_checked(pdf_document *document, pdf_image *image) {
    check_states states;
    const char *fault;

    if (!is_checked_encoding(image) || image->data_checked) {
        const pdf_reader_operations *reader = image->reader_operations;
        if (reader == NULL || reader->copy_direct == NULL || !reader->copy_direct(document, image))
            pdf_copy_source_raw(document, &image->source);
        return;
    }
    fault = check_source_data(document, image, 1, &states);
    if (fault != NULL) {
        check_failed(document, image, fault);
        return;
    }
    pdf_end_source(document, &image->source);
}
