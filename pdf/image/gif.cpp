/*
 * gif.cpp -- the GIF reader.
 *
 * The first image of a GIF file becomes an Indexed image XObject without a
 * single pixel being decoded. GIF and PDF share the variable-width LZW
 * scheme with a code size of 8 bits, but GIF packs its codes least
 * significant bit first and PDF most significant bit first; the data source
 * therefore re-emits every code with the same width in the other bit order.
 * GIF widens its codes one code later than PDF does by default, which the
 * XObject declares with /EarlyChange 0.
 *
 * To re-emit a code at the right width the source follows the code table's
 * size the way a decoder counts it, without building the table. The codes
 * are followed so once before the XObject is begun: an image whose codes a
 * PDF decoder would read differently from a GIF decoder (any code but
 * clear or end once the table is full) is decoded instead (gif_decode.h),
 * like one whose minimum code size is not 8 or whose rows are interlaced,
 * and written as one byte per pixel; an image whose codes are damaged (a
 * code that does not exist yet, data cut short) is refused.
 *
 * Every read is checked for the end of the file, and every length read from
 * the file is bounded by the buffer it fills: a damaged file makes the
 * reader give up or raise an error, never read too far.
 */
#include "gif.h"

#include <stdio.h>
#include <string.h>

#include "../draw/colorspace.h"
#include "decoded.h"
#include "gif_decode.h"
#include "reader.h"
#include "stream_check.h"
#include "xobject.h"

/* A data sub-block holds at most 255 bytes after its length byte. */
#define GIF_BLOCK_SIZE 256
/* Output of one sub-block: 255 bytes plus 11 carried bits give at most 2051
 * bits of codes; with 7 pending bits and the final flush that is at most
 * 258 bytes. */
#define GIF_SOURCE_BUFFER_SIZE 260
/* Size of the decode parameter text buffer. */
#define GIF_DECODE_PARMS_SIZE 128

namespace {

/* LZW with a minimum code size of 8. */
enum {
    GIF_CODE_SIZE = 8,
    GIF_CLEAR_CODE = 256,
    GIF_END_CODE = 257,
    GIF_FIRST_WIDTH = 9,
    GIF_MAX_WIDTH = 12,
    GIF_TABLE_SIZE = 1 << GIF_MAX_WIDTH
};

/* Block introducers and extension labels. */
enum { GIF_EXTENSION = 0x21, GIF_IMAGE = 0x2C, GIF_TRAILER = 0x3B, GIF_GRAPHIC_CONTROL = 0xF9 };

/* Flags of the packed bytes. */
enum {
    GIF_COLOR_TABLE = 0x80,
    GIF_INTERLACE = 0x40,
    GIF_TABLE_SIZE_BITS = 0x07,
    GIF_TRANSPARENT = 0x01
};

/* Phases of the data source. */
enum {
    GIF_PHASE_CODES = 0,    /* re-packing codes */
    GIF_PHASE_TRAILING = 1, /* the end code was seen; skip to the terminator */
    GIF_PHASE_DONE = 2      /* the block terminator has been read */
};

/* What re-packing one sub-block (or following all of them, or decoding)
 * ends with. */
enum {
    GIF_BLOCK_USED,
    GIF_CODES_ENDED,
    GIF_CODE_OVERFLOW,
    GIF_CODE_CORRUPT,
    GIF_CUT_SHORT,
    GIF_PIXELS_MISSING
};

/* The reader's state: the palette, and the code stream's state, which
 * carries over from one data sub-block to the next. */
typedef struct {
    int code_size; /* the image's minimum code size */
    int interlaced;
    long data_start; /* file offset of the first data sub-block */
    int code_width;
    int next_code; /* the decoder's next free table entry */
    uint32_t bit_buffer;
    int bit_count;
    int pending_byte; /* output bits that did not complete a byte */
    int pending_bits;
    int phase;
    pdf_byte palette[PDF_PALETTE_SIZE];
    pdf_gif_tables tables; /* for decoding */
} gif_state;

const pdf_reader_operations gif_reader = {NULL, NULL};

gif_state *gif_of(pdf_image *image) {
    return (gif_state *)image->reader;
}

/* ---- Small readers --------------------------------------------------------- */

unsigned gif_get_u16(const pdf_byte *p) {
    return (unsigned)p[0] | ((unsigned)p[1] << 8);
}

/* Reads `count` RGB triplets into `palette`. Returns nonzero when the file
 * ended first. */
int gif_read_colormap(FILE *file, int count, pdf_byte *palette) {
    size_t size = (size_t)count * 3;

    return fread(palette, 1, size, file) != size;
}

/* Reads one data sub-block into `buffer` (GIF_BLOCK_SIZE bytes). Returns
 * its length, 0 for the block terminator, and -1 when the file ends within
 * the length byte or the contents. */
int gif_read_data_block(FILE *file, pdf_byte *buffer) {
    int length = getc(file);

    if (length == EOF) return -1;
    if (length > 0 && fread(buffer, 1, (size_t)length, file) != (size_t)length) return -1;
    return length;
}

/* ---- Data source ----------------------------------------------------------- */

/* The code stream's state at its start. */
void gif_reset_codes(gif_state *gif) {
    gif->code_width = GIF_FIRST_WIDTH;
    gif->next_code = GIF_END_CODE;
    gif->bit_buffer = 0;
    gif->bit_count = 0;
    gif->pending_byte = 0;
    gif->pending_bits = 0;
    gif->phase = GIF_PHASE_CODES;
}

void gif_source_init(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;

    source->buffer_size = GIF_SOURCE_BUFFER_SIZE;
    source->buffer = (pdf_byte *)pdf_malloc(document, GIF_SOURCE_BUFFER_SIZE, "gif_source_init");
    source->chunk = source->buffer;
    source->chunk_length = 0;
    gif_reset_codes(gif_of(image));
}

void gif_source_release(pdf_document *document, pdf_data_source *source) {
    if (source->buffer != NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
    }
}

/* Appends `code` in `width` bits, most significant bit first, to the output
 * at `out` + *produced. Bits that do not complete a byte wait at the top of
 * `pending_byte`. */
void gif_put_code(gif_state *gif, pdf_byte *out, size_t *produced, unsigned code, int width) {
    int pending = gif->pending_bits;
    uint32_t bits = ((uint32_t)gif->pending_byte >> (8 - pending) << width) | code;
    int count = pending + width;

    while (count >= 8) {
        count -= 8;
        out[(*produced)++] = (pdf_byte)(bits >> count);
    }
    gif->pending_bits = count;
    gif->pending_byte = count > 0 ? (int)((bits << (8 - count)) & 0xFF) : 0;
}

/* Writes the pending bits, padded with zeros, as the last byte. */
void gif_flush_code_bits(gif_state *gif, pdf_byte *out, size_t *produced) {
    if (gif->pending_bits > 0) {
        out[(*produced)++] = (pdf_byte)gif->pending_byte;
        gif->pending_bits = 0;
        gif->pending_byte = 0;
    }
}

/* Re-emits the codes of one data sub-block of `length` bytes into `out`,
 * following the code table's size the way a decoder counts it. Codes that a
 * PDF decoder would read differently from a GIF decoder (a code that does
 * not exist yet, or any code but clear or end once the table is full) stop
 * it. */
int gif_repack(gif_state *gif, const pdf_byte *block, int length, pdf_byte *out, size_t *produced) {
    int position = 0;
    uint32_t mask = (1u << gif->code_width) - 1;

    for (;;) {
        while (gif->bit_count < gif->code_width) {
            if (position == length) return GIF_BLOCK_USED;
            gif->bit_buffer |= (uint32_t)block[position++] << gif->bit_count;
            gif->bit_count += 8;
        }
        unsigned code = gif->bit_buffer & mask;
        gif->bit_buffer >>= gif->code_width;
        gif->bit_count -= gif->code_width;

        /* A code may name the entry being defined, but nothing above it. */
        if (gif->next_code >= GIF_TABLE_SIZE && code != GIF_CLEAR_CODE && code != GIF_END_CODE)
            return GIF_CODE_OVERFLOW;
        if ((int)code > gif->next_code) return GIF_CODE_CORRUPT;

        gif_put_code(gif, out, produced, code, gif->code_width);
        gif->next_code++;
        if (code == GIF_CLEAR_CODE) {
            gif->code_width = GIF_FIRST_WIDTH;
            mask = (1u << GIF_FIRST_WIDTH) - 1;
            gif->next_code = GIF_END_CODE;
        } else if (code == GIF_END_CODE) {
            return GIF_CODES_ENDED;
        } else if (gif->next_code == 1 << gif->code_width && gif->code_width < GIF_MAX_WIDTH) {
            gif->code_width++;
            mask = (1u << gif->code_width) - 1;
        }
    }
}

/* After the end code the pixels are complete: the rest of the image data,
 * up to the block terminator, is skipped, and a file that ends before the
 * terminator loses nothing. */
void gif_skip_trailing_blocks(pdf_image *image) {
    pdf_byte block[GIF_BLOCK_SIZE];
    int length;

    do length = gif_read_data_block(image->file, block);
    while (length > 0);
    gif_of(image)->phase = GIF_PHASE_DONE;
}

/*
 * Converts one data sub-block. Returns 1 with the re-packed bytes in
 * `chunk`/`chunk_length` (possibly none, when the sub-block did not finish
 * a code), 0 once the image data are complete. The stream always ends with
 * a complete end code: after the file's end code the last byte is flushed;
 * image data that end without an end code get one. Damaged data stop the
 * copy with an I/O error.
 */
int gif_source_refill(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;
    gif_state *gif = gif_of(image);
    pdf_byte block[GIF_BLOCK_SIZE];
    size_t produced = 0;

    source->chunk = source->buffer;
    source->chunk_length = 0;
    if (gif->phase == GIF_PHASE_DONE) return 0;
    if (gif->phase == GIF_PHASE_TRAILING) {
        gif_skip_trailing_blocks(image);
        return 0;
    }
    int length = gif_read_data_block(image->file, block);
    int status = GIF_CODES_ENDED;
    if (length < 0) {
        pdf_fail_image_data(document, image, "Unexpected end of GIF file '%s'");
        return 0;
    }
    if (length == 0) {
        gif->phase = GIF_PHASE_DONE;
        gif_put_code(gif, source->buffer, &produced, GIF_END_CODE, gif->code_width);
    } else {
        status = gif_repack(gif, block, length, source->buffer, &produced);
    }
    if (status == GIF_CODE_OVERFLOW || status == GIF_CODE_CORRUPT) {
        pdf_fail_image_data(document, image,
                            status == GIF_CODE_OVERFLOW ? "LZW code size overflow in GIF file '%s'"
                                                        : "Corrupt GIF file '%s'");
        return 0;
    }
    if (status == GIF_CODES_ENDED) {
        gif_flush_code_bits(gif, source->buffer, &produced);
        if (gif->phase == GIF_PHASE_CODES) gif->phase = GIF_PHASE_TRAILING;
    }
    source->chunk_length = produced;
    return 1;
}

const pdf_source_operations gif_source = {gif_source_init, gif_source_refill, gif_source_release};

/* Follows the codes from the file's position the way the source will
 * re-pack them, writing nothing, and tells what the source would run into:
 * GIF_CODES_ENDED when it would deliver them all. */
int gif_scan_codes(gif_state *gif, FILE *file) {
    pdf_byte block[GIF_BLOCK_SIZE], out[GIF_SOURCE_BUFFER_SIZE];

    gif_reset_codes(gif);
    for (;;) {
        size_t produced = 0;
        int length = gif_read_data_block(file, block);

        if (length < 0) return GIF_CUT_SHORT;
        if (length == 0) return GIF_CODES_ENDED;
        int status = gif_repack(gif, block, length, out, &produced);
        if (status != GIF_BLOCK_USED) return status;
    }
}

/* Refusals end through pdf_reader_fail. */
#define gif_give_up(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_NONFATAL, __VA_ARGS__)

/* ---- Parameters ------------------------------------------------------------ */

/* Applies the string parameter (null or empty for none). Nothing is held
 * yet, so the errors need no cleanup. Returns 0, or -1 after an error. */
int gif_apply_parameter(pdf_document *document, pdf_image *image, const char *filename,
                        const char *stringparam, int intparam, int *colorize, int *ignore_mask) {
    if (stringparam == NULL || *stringparam == '\0') return 0;

    if (strcmp(stringparam, "colorize") == 0) {
        if (!pdf_is_colorspace_slot(document, intparam)) {
            pdf_error(document, PDF_ERR_VALUE, "Invalid color number %d for image %s", intparam,
                      filename);
            return -1;
        }
        image->colorspace = (pdf_byte)(intparam + PDF_CS_SLOT_BASE);
        *colorize = 1;
        return 0;
    }
    if (strcmp(stringparam, "mask") == 0) {
        pdf_error(document, PDF_ERR_VALUE, "Can't handle GIF image mask");
        return -1;
    }
    if (strcmp(stringparam, "masked") == 0) {
        if (intparam < 0) {
            pdf_error(document, PDF_ERR_VALUE, "Invalid image mask (no %d) for image '%s'",
                      intparam, filename);
            return -1;
        }
        if (!pdf_is_stencil_mask(document, intparam)) {
            pdf_error(document, PDF_ERR_VALUE, "Bad image mask (no %d) for image '%s'", intparam,
                      filename);
            return -1;
        }
        image->mask_image = intparam;
        return 0;
    }
    if (strcmp(stringparam, "ignoremask") == 0) {
        *ignore_mask = 1;
        return 0;
    }
    pdf_error(document, PDF_ERR_VALUE, "Unknown parameter %s in pdf_open_GIF_data", stringparam);
    return -1;
}

/* ---- The file ------------------------------------------------------------- */

/* The palette of a file without any colour table: a grey ramp from black to
 * white over `count` entries, so that the first two are black and white as
 * GIF decoders conventionally assume. */
void gif_default_palette(pdf_byte *palette, int count) {
    for (int i = 0; i < count; i++) {
        pdf_byte grey = (pdf_byte)(i * 255 / (count - 1));

        palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = grey;
    }
}

/* Reads the signature and the logical screen: the global colour table into
 * the palette (or a grey ramp) and the pixel aspect ratio. Returns -1 after
 * giving up. */
int gif_read_screen(pdf_document *document, pdf_image *image, const char *filename) {
    pdf_byte header[6], screen[7];

    if (fread(header, 1, sizeof header, image->file) != sizeof header ||
        memcmp(header, "GIF", 3) != 0 ||
        (memcmp(header + 3, "87a", 3) != 0 && memcmp(header + 3, "89a", 3) != 0) ||
        fread(screen, 1, sizeof screen, image->file) != sizeof screen)
        return gif_give_up(document, image, "File '%s' doesn't appear to be a GIF file", filename);

    /* Logical screen: width, height, packed flags, background, aspect. */
    image->palette = gif_of(image)->palette;
    image->palette_count = 2 << (screen[4] & GIF_TABLE_SIZE_BITS);
    if (screen[4] & GIF_COLOR_TABLE) {
        if (gif_read_colormap(image->file, image->palette_count, image->palette))
            return gif_give_up(document, image, "Error reading global colormap in GIF file '%s'",
                               filename);
    } else {
        gif_default_palette(image->palette, image->palette_count);
    }
    if (screen[6] != 0) {
        image->resolution_x = -(screen[6] + 15) * 0.015625f;
        image->resolution_y = -1;
    }
    return 0;
}

/* Reads the blocks before the first image descriptor and takes the
 * transparency of the Graphic Control Extension nearest to it. Returns 0
 * with the file positioned after the descriptor's introducer, -1 after
 * giving up. A damaged extension gives up too. */
int gif_find_image(pdf_document *document, int slot, const char *filename, int ignore_mask) {
    pdf_image *image = pdf_image_slot(document, slot);
    pdf_byte block[GIF_BLOCK_SIZE];

    for (;;) {
        int introducer = getc(image->file);
        int label, length;

        if (introducer == EOF)
            return gif_give_up(document, image, "Read error (image data) in GIF file '%s'",
                               filename);
        if (introducer == GIF_TRAILER)
            return gif_give_up(document, image, "Couldn't find image number %d in GIF file '%s'", 1,
                               filename);
        if (introducer == GIF_IMAGE) return 0;
        if (introducer != GIF_EXTENSION) continue;

        label = getc(image->file);
        if (label == EOF)
            return gif_give_up(document, image, "Read error on extension code in GIF file '%s'",
                               filename);

        length = gif_read_data_block(image->file, block);
        if (length > 0 && label == GIF_GRAPHIC_CONTROL) {
            /* Packed flags, delay (2 bytes), transparent index. Each
             * extension governs the next image, so a later one replaces an
             * earlier one's transparency. */
            int transparent = length >= 4 && (block[0] & GIF_TRANSPARENT);

            image->has_key_color = transparent && !ignore_mask;
            image->key_color[0] = image->has_key_color ? block[3] : 0;
        }
        while (length > 0) length = gif_read_data_block(image->file, block);
        if (length < 0) return gif_give_up(document, image, "Corrupt GIF file '%s'", filename);
    }
}

/* Reads the image descriptor after its introducer: the size, the
 * interlace flag, a local colour table, and the LZW code size, which must
 * be 8. Returns -1 after giving up. */
int gif_read_descriptor(pdf_document *document, pdf_image *image, const char *filename,
                        int colorize) {
    pdf_byte descriptor[9];

    /* Left, top, width, height, packed flags. */
    if (fread(descriptor, 1, sizeof descriptor, image->file) != sizeof descriptor)
        return gif_give_up(document, image, "Couldn't read left/top/width/height in GIF file '%s'",
                           filename);
    int width = (int)gif_get_u16(descriptor + 4);
    int height = (int)gif_get_u16(descriptor + 6);
    /* An empty image would give an XObject and a page without area. */
    if (width == 0 || height == 0)
        return gif_give_up(document, image, "Couldn't read left/top/width/height in GIF file '%s'",
                           filename);
    if (!colorize) image->colorspace = PDF_CS_INDEXED;
    image->components = 1;
    image->bits_per_component = 8;
    image->width = (float)width;
    image->height = (float)height;

    gif_of(image)->interlaced = (descriptor[8] & GIF_INTERLACE) != 0;
    if (descriptor[8] & GIF_COLOR_TABLE) {
        image->palette_count = 2 << (descriptor[8] & GIF_TABLE_SIZE_BITS);
        if (gif_read_colormap(image->file, image->palette_count, image->palette))
            return gif_give_up(document, image, "Error reading local colormap in GIF file '%s'",
                               filename);
    }

    int code_size = getc(image->file);
    if (code_size == EOF)
        return gif_give_up(document, image, "Error reading data block in GIF file '%s'", filename);
    if (code_size < 1 || code_size > GIF_CODE_SIZE)
        return gif_give_up(document, image, "Bad LZW minimum code size (%d) in GIF file '%s'",
                           code_size, filename);
    gif_of(image)->code_size = code_size;
    gif_of(image)->data_start = ftell(image->file);
    if (gif_of(image)->data_start < 0)
        return gif_give_up(document, image, "Error reading data block in GIF file '%s'", filename);
    return 0;
}

/* Refuses damaged image data with the message of `status`. */
int gif_damaged(pdf_document *document, pdf_image *image, const char *filename, int status) {
    const char *message = status == GIF_CUT_SHORT      ? "Unexpected end of GIF file '%s'"
                          : status == GIF_CODE_CORRUPT ? "Corrupt GIF file '%s'"
                                                       : "Image data end early in GIF file '%s'";

    return gif_give_up(document, image, message, filename);
}

/* Decodes the codes into the raster, one byte per pixel, for the XObject
 * to deflate. Returns -1 after giving up. */
int gif_decode(pdf_document *document, pdf_image *image, const char *filename) {
    gif_state *gif = gif_of(image);
    long width = (long)image->width, height = (long)image->height;

    if (pdf_alloc_raster(document, image, (size_t)width, height, "pdf_open_GIF_data/raster") < 0)
        return image->reader == NULL
                   ? -1
                   : gif_give_up(document, image, "Image in GIF file '%s' is too large", filename);
    int status = pdf_decode_gif_codes(image->file, &gif->tables, &image->raster, gif->code_size,
                                      gif->interlaced);
    /* As GIF decoders do, an image whose codes end before its last pixel
     * is refused. */
    if (status != PDF_GIF_DECODED)
        return gif_damaged(document, image, filename,
                           status == PDF_GIF_DATA_CUT_SHORT ? GIF_CUT_SHORT
                           : status == PDF_GIF_CODE_CORRUPT ? GIF_CODE_CORRUPT
                                                            : GIF_PIXELS_MISSING);
    pdf_use_raster_source(image);
    return 0;
}

/* Re-packs the codes where PDF's LZW decoder reads them as a GIF decoder
 * does, after following them once to be sure; decodes them otherwise.
 * Damaged codes, and re-packed codes that stand for fewer pixels than the
 * image has (which the decoding road refuses too), refuse the image before
 * anything is written. Returns -1 after giving up. */
int gif_choose_road(pdf_document *document, pdf_image *image, const char *filename) {
    gif_state *gif = gif_of(image);
    int status = GIF_CODE_OVERFLOW;

    if (!gif->interlaced && gif->code_size == GIF_CODE_SIZE)
        status = gif_scan_codes(gif, image->file);
    if (status == GIF_CUT_SHORT || status == GIF_CODE_CORRUPT)
        return gif_damaged(document, image, filename, status);
    if (fseek(image->file, gif->data_start, SEEK_SET) != 0)
        return gif_give_up(document, image, "Error reading data block in GIF file '%s'", filename);
    if (status == GIF_CODE_OVERFLOW) return gif_decode(document, image, filename);

    pdf_set_image_source(image, &gif_source);
    image->compression = PDF_COMPRESSION_LZW;
    image->pass_through = 1;
    image->decode_params_text =
        (char *)pdf_malloc(document, GIF_DECODE_PARMS_SIZE, "pdf_open_GIF_data");
    snprintf(image->decode_params_text, GIF_DECODE_PARMS_SIZE, "%s", "/EarlyChange 0");
    char reason[PDF_CHECK_REASON_SIZE];
    if (!pdf_check_source(document, image, reason, sizeof reason))
        return gif_damaged(document, image, filename, GIF_PIXELS_MISSING);
    if (fseek(image->file, gif->data_start, SEEK_SET) != 0)
        return gif_give_up(document, image, "Error reading data block in GIF file '%s'", filename);
    image->data_checked = 1;
    return 0;
}

/* Writes the XObject: re-packed codes stream from the file, which is
 * positioned at the first data sub-block, or decoded rows from the raster.
 * An error from here on may leave the reader; the slot's release then
 * closes the file. */
void gif_write_image(pdf_document *document, int slot, const char *filename) {
    pdf_image *image = pdf_image_slot(document, slot);

    image->file_name = pdf_strdup(document, filename);
    image->occupied = 1;
    pdf_write_image_xobject(document, slot, 1);
}

}  // namespace

int pdf_open_GIF_data(pdf_document *document, int slot, const char *filename,
                      const char *stringparam, int intparam) {
    pdf_image *image = pdf_image_slot(document, slot);
    int colorize = 0, ignore_mask = 0;

    if (gif_apply_parameter(document, image, filename, stringparam, intparam, &colorize,
                            &ignore_mask) < 0)
        return -1;
    if (pdf_begin_reader(document, image, &gif_reader, sizeof(gif_state), "pdf_open_GIF_data") ==
        NULL)
        return -1;
    image->file = fopen(filename, "rb");
    if (image->file == NULL)
        return gif_give_up(document, image, "Couldn't open GIF file '%s'", filename);
    if (gif_read_screen(document, image, filename) < 0 ||
        gif_find_image(document, slot, filename, ignore_mask) < 0 ||
        gif_read_descriptor(document, image, filename, colorize) < 0 ||
        gif_choose_road(document, image, filename) < 0)
        return -1;

    gif_write_image(document, slot, filename);
    image = pdf_image_slot(document, slot);
    pdf_end_reader(document, image);
    /* The copy stopped with an error whose handler returned. */
    if (!image->occupied) return -1;
    return slot;
}
