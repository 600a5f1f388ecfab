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
 * size the way a decoder counts it, without building the table. Codes that
 * a PDF decoder would read differently from a GIF decoder (a code that does
 * not exist yet, or any code but clear or end once the table is full) stop
 * the copy with an I/O error rather than reach the output.
 *
 * Every read is checked for the end of the file, and every length read from
 * the file is bounded by the buffer it fills: a damaged file makes the
 * reader give up or raise an error, never read too far.
 */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "../draw/colorspace.h"
#include "readers.h"
#include "xobject.h"

/* A palette of 256 RGB triplets. */
#define GIF_PALETTE_SIZE 768
/* A data sub-block holds at most 255 bytes after its length byte. */
#define GIF_BLOCK_SIZE 256
/* Output of one sub-block: 255 bytes plus 11 carried bits give at most 2051
 * bits of codes; with 7 pending bits and the final flush that is at most
 * 258 bytes. */
#define GIF_SOURCE_BUFFER_SIZE 260
/* Size of the decode parameter text buffer. */
#define GIF_DECODE_PARMS_SIZE 128
/* File names in messages of the data source are cut to this size. */
#define GIF_NAME_SIZE 1024

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
enum {
    GIF_EXTENSION = 0x21,
    GIF_IMAGE = 0x2C,
    GIF_TRAILER = 0x3B,
    GIF_GRAPHIC_CONTROL = 0xF9
};

/* Flags of the packed bytes. */
enum {
    GIF_COLOR_TABLE = 0x80,
    GIF_INTERLACE = 0x40,
    GIF_TABLE_SIZE_BITS = 0x07,
    GIF_TRANSPARENT = 0x01
};

/* Phases of the data source (`gif_phase`). */
enum {
    GIF_PHASE_CODES = 0,     /* re-packing codes */
    GIF_PHASE_TRAILING = 1,  /* the end code was seen; skip to the terminator */
    GIF_PHASE_DONE = 2       /* the block terminator has been read */
};

/* Errors that stop the copy. */
enum { GIF_ERROR_END_OF_FILE, GIF_ERROR_OVERFLOW, GIF_ERROR_CORRUPT };

/* ---- Small readers --------------------------------------------------------- */

static unsigned gif_get_u16(const pdf_byte *p)
{
    return (unsigned)p[0] | ((unsigned)p[1] << 8);
}

/* Reads `count` RGB triplets into `palette`. Returns nonzero when the file
 * ended first. */
static int gif_read_colormap(FILE *file, int count, pdf_byte *palette)
{
    size_t size = (size_t)count * 3;

    return fread(palette, 1, size, file) != size;
}

/* Reads one data sub-block into `buffer` (GIF_BLOCK_SIZE bytes). Returns
 * its length, 0 for the block terminator, and -1 when the file ends within
 * the length byte or the contents. */
static int gif_read_data_block(pdf_document *document, int slot,
                               pdf_byte *buffer)
{
    FILE *file = document->images->slots[slot].file;
    int length = getc(file);

    if (length == EOF)
        return -1;
    if (length > 0 && fread(buffer, 1, (size_t)length, file) != (size_t)length)
        return -1;
    return length;
}

static int gif_slot_of(const pdf_document *document, const pdf_image *image)
{
    return (int)(image - document->images->slots);
}

/* ---- Data source ----------------------------------------------------------- */

static void gif_source_init(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;

    source->buffer_size = GIF_SOURCE_BUFFER_SIZE;
    source->buffer = (pdf_byte *)pdf_malloc(document, GIF_SOURCE_BUFFER_SIZE,
                                            "gif_source_init");
    source->chunk = source->buffer;
    source->chunk_length = 0;

    image->gif_code_width = GIF_FIRST_WIDTH;
    image->gif_next_code = GIF_END_CODE;
    image->gif_bit_buffer = 0;
    image->gif_bit_count = 0;
    image->gif_pending_byte = 0;
    image->gif_pending_bits = 0;
    image->gif_phase = GIF_PHASE_CODES;
}

static void gif_source_release(pdf_document *document, pdf_data_source *source)
{
    if (source->buffer != NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
    }
}

/* Appends `code` in `width` bits, most significant bit first, to the output
 * at `out` + *produced. Bits that do not complete a byte wait at the top of
 * `gif_pending_byte`. */
static void gif_put_code(pdf_image *image, pdf_byte *out, size_t *produced,
                         unsigned code, int width)
{
    int pending = image->gif_pending_bits;
    uint32_t bits = ((uint32_t)image->gif_pending_byte >> (8 - pending) << width)
                    | code;
    int count = pending + width;

    while (count >= 8) {
        count -= 8;
        out[(*produced)++] = (pdf_byte)(bits >> count);
    }
    image->gif_pending_bits = count;
    image->gif_pending_byte = count > 0 ? (int)((bits << (8 - count)) & 0xFF) : 0;
}

/* Writes the pending bits, padded with zeros, as the last byte. */
static void gif_flush_code_bits(pdf_image *image, pdf_byte *out,
                                size_t *produced)
{
    if (image->gif_pending_bits > 0) {
        out[(*produced)++] = (pdf_byte)image->gif_pending_byte;
        image->gif_pending_bits = 0;
        image->gif_pending_byte = 0;
    }
}

/* Stops the copy: the slot is released (which closes the file and the
 * source) before the error is raised, since the handler does not return.
 * Should it return all the same, the copy ends quietly; the palette, which
 * lives in the reader's frame, stays reachable for the rest of the
 * XObject. */
static void gif_data_error(pdf_document *document, pdf_data_source *source,
                           int error)
{
    pdf_image *image = (pdf_image *)source->context;
    pdf_byte *palette = image->palette;
    char name[GIF_NAME_SIZE];

    snprintf(name, sizeof name, "%s",
             image->file_name != NULL ? image->file_name : "");
    pdf_release_image_slot(document, gif_slot_of(document, image));
    gif_source_release(document, source);
    source->chunk_length = 0;
    image->palette = palette;
    image->gif_phase = GIF_PHASE_DONE;

    switch (error) {
    case GIF_ERROR_END_OF_FILE:
        pdf_error(document, PDF_ERR_IO, "Unexpected end of GIF file '%s'", name);
        break;
    case GIF_ERROR_OVERFLOW:
        pdf_error(document, PDF_ERR_IO, "LZW code size overflow in GIF file '%s'",
                  name);
        break;
    default:
        pdf_error(document, PDF_ERR_IO, "Corrupt GIF file '%s'", name);
        break;
    }
}

/*
 * Converts one data sub-block. Returns 1 with the re-packed bytes in
 * `chunk`/`chunk_length` (possibly none, when the sub-block did not finish
 * a code), 0 once the image data are complete.
 *
 * The bit reader's and writer's state and the code table's size carry over
 * from one sub-block to the next, since codes span sub-blocks. The stream
 * always ends with a complete end code: after the file's end code the last
 * byte is flushed and the rest of the image data, up to the block
 * terminator, is skipped; image data that end without an end code get one.
 */
static int gif_source_refill(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;
    int slot = gif_slot_of(document, image);
    pdf_byte block[GIF_BLOCK_SIZE];
    pdf_byte *out = source->buffer;
    size_t produced = 0;
    int length, position = 0;
    uint32_t mask;

    source->chunk = source->buffer;
    source->chunk_length = 0;

    if (image->gif_phase == GIF_PHASE_DONE)
        return 0;
    if (image->gif_phase == GIF_PHASE_TRAILING) {
        /* The pixels are complete; a file that ends before the terminator
         * loses nothing. */
        do
            length = gif_read_data_block(document, slot, block);
        while (length > 0);
        image->gif_phase = GIF_PHASE_DONE;
        return 0;
    }

    length = gif_read_data_block(document, slot, block);
    if (length < 0) {
        gif_data_error(document, source, GIF_ERROR_END_OF_FILE);
        return 0;
    }
    if (length == 0) {
        image->gif_phase = GIF_PHASE_DONE;
        gif_put_code(image, out, &produced, GIF_END_CODE, image->gif_code_width);
        gif_flush_code_bits(image, out, &produced);
        source->chunk_length = produced;
        return 1;
    }

    mask = (1u << image->gif_code_width) - 1;
    for (;;) {
        unsigned code;

        while (image->gif_bit_count < image->gif_code_width) {
            if (position == length) {
                source->chunk_length = produced;
                return 1;
            }
            image->gif_bit_buffer |= (uint32_t)block[position++]
                                     << image->gif_bit_count;
            image->gif_bit_count += 8;
        }
        code = image->gif_bit_buffer & mask;
        image->gif_bit_buffer >>= image->gif_code_width;
        image->gif_bit_count -= image->gif_code_width;

        /* gif_next_code is the decoder's next free table entry: a code may
         * name it (the entry being defined), but nothing above it. A full
         * table may only be cleared or the data ended. */
        if (image->gif_next_code >= GIF_TABLE_SIZE && code != GIF_CLEAR_CODE
            && code != GIF_END_CODE) {
            gif_data_error(document, source, GIF_ERROR_OVERFLOW);
            return 0;
        }
        if ((int)code > image->gif_next_code) {
            gif_data_error(document, source, GIF_ERROR_CORRUPT);
            return 0;
        }

        gif_put_code(image, out, &produced, code, image->gif_code_width);
        image->gif_next_code++;

        if (code == GIF_CLEAR_CODE) {
            image->gif_code_width = GIF_FIRST_WIDTH;
            mask = (1u << GIF_FIRST_WIDTH) - 1;
            image->gif_next_code = GIF_END_CODE;
        } else if (code == GIF_END_CODE) {
            gif_flush_code_bits(image, out, &produced);
            image->gif_phase = GIF_PHASE_TRAILING;
            source->chunk_length = produced;
            return 1;
        } else if (image->gif_next_code == 1 << image->gif_code_width
                   && image->gif_code_width < GIF_MAX_WIDTH) {
            image->gif_code_width++;
            mask = (1u << image->gif_code_width) - 1;
        }
    }
}

static const pdf_source_operations gif_source = {
    gif_source_init, gif_source_refill, gif_source_release
};

/* Closes the file and forgets the palette, which lives in the reader's
 * frame. */
static void gif_release(pdf_document *document, pdf_image *image)
{
    pdf_close_image_file(document, image);
    image->palette = NULL;
}

/* Refusals end through pdf_reader_fail. */
#define gif_give_up(document, image, ...) \
    pdf_reader_fail(document, image, gif_release, PDF_ERR_NONFATAL, __VA_ARGS__)

/* ---- Parameters ------------------------------------------------------------ */

/* Applies the string parameter (null or empty for none). Nothing is held
 * yet, so the errors need no cleanup. Returns 0, or -1 after an error. */
static int gif_apply_parameter(pdf_document *document, pdf_image *image,
                               const char *filename, const char *stringparam,
                               int intparam, int *colorize, int *ignore_mask)
{
    if (stringparam == NULL || *stringparam == '\0')
        return 0;

    if (strcmp(stringparam, "colorize") == 0) {
        if (!pdf_is_colorspace_slot(document, intparam)) {
            pdf_error(document, PDF_ERR_VALUE,
                      "Invalid color number %d for image %s", intparam, filename);
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
            pdf_error(document, PDF_ERR_VALUE,
                      "Invalid image mask (no %d) for image '%s'", intparam,
                      filename);
            return -1;
        }
        if (!pdf_is_stencil_mask(document, intparam)) {
            pdf_error(document, PDF_ERR_VALUE,
                      "Bad image mask (no %d) for image '%s'", intparam, filename);
            return -1;
        }
        image->mask_image = intparam;
        return 0;
    }
    if (strcmp(stringparam, "ignoremask") == 0) {
        *ignore_mask = 1;
        return 0;
    }
    pdf_error(document, PDF_ERR_VALUE, "Unknown parameter %s in pdf_open_GIF_data",
              stringparam);
    return -1;
}

/* ---- The reader ------------------------------------------------------------ */

/* The palette of a file without any colour table: a grey ramp from black to
 * white over `count` entries, so that the first two are black and white as
 * GIF decoders conventionally assume. */
static void gif_default_palette(pdf_byte *palette, int count)
{
    int i;

    for (i = 0; i < count; i++) {
        pdf_byte grey = (pdf_byte)(i * 255 / (count - 1));

        palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = grey;
    }
}

/* Reads the blocks before the first image descriptor and takes the
 * transparency of the Graphic Control Extension nearest to it. Returns 0
 * with the file positioned after the descriptor's introducer, -1 after
 * giving up. A damaged extension raises an I/O error. */
static int gif_find_image(pdf_document *document, int slot,
                          const char *filename, int ignore_mask)
{
    pdf_image *image = &document->images->slots[slot];
    pdf_byte block[GIF_BLOCK_SIZE];

    for (;;) {
        int introducer = getc(image->file);
        int label, length;

        if (introducer == EOF)
            return gif_give_up(document, image,
                               "Read error (image data) in GIF file '%s'",
                               filename);
        if (introducer == GIF_TRAILER)
            return gif_give_up(document, image,
                               "Couldn't find image number %d in GIF file '%s'",
                               1, filename);
        if (introducer == GIF_IMAGE)
            return 0;
        if (introducer != GIF_EXTENSION)
            continue;

        label = getc(image->file);
        if (label == EOF)
            return gif_give_up(document, image,
                               "Read error on extension code in GIF file '%s'",
                               filename);

        length = gif_read_data_block(document, slot, block);
        if (length > 0 && label == GIF_GRAPHIC_CONTROL) {
            /* Packed flags, delay (2 bytes), transparent index. Each
             * extension governs the next image, so a later one replaces an
             * earlier one's transparency. */
            int transparent = length >= 4 && (block[0] & GIF_TRANSPARENT);

            image->has_key_color = transparent && !ignore_mask;
            image->key_color[0] = image->has_key_color ? block[3] : 0;
        }
        while (length > 0)
            length = gif_read_data_block(document, slot, block);
        if (length < 0) {
            pdf_release_image_slot(document, slot);
            pdf_error(document, PDF_ERR_IO, "Corrupt GIF file '%s'", filename);
            return -1;
        }
    }
}

int pdf_open_GIF_data(pdf_document *document, int slot, const char *filename,
                      const char *stringparam, int intparam)
{
    pdf_image *image = &document->images->slots[slot];
    /* The palette lives in this frame: the XObject writer has copied it by
     * the time the reader returns, and an error that leaves the writer
     * cannot strand it. */
    pdf_byte palette[GIF_PALETTE_SIZE];
    pdf_byte header[6], screen[7], descriptor[9];
    int colorize = 0, ignore_mask = 0;
    int code_size, width, height;

    image->file = NULL;
    image->palette = NULL;
    image->mask_image = -1;
    image->has_key_color = 0;
    memset(image->key_color, 0, sizeof image->key_color);
    image->inverted = 0;
    image->predictor = 1;
    image->resolution_x = 0;
    image->resolution_y = 0;
    image->band_count = 1;
    image->rows_per_band = 1;

    if (gif_apply_parameter(document, image, filename, stringparam, intparam,
                            &colorize, &ignore_mask) < 0)
        return -1;

    image->file = fopen(filename, "rb");
    if (image->file == NULL)
        return gif_give_up(document, image, "Couldn't open GIF file '%s'",
                           filename);

    if (fread(header, 1, sizeof header, image->file) != sizeof header
        || memcmp(header, "GIF", 3) != 0
        || (memcmp(header + 3, "87a", 3) != 0 && memcmp(header + 3, "89a", 3) != 0)
        || fread(screen, 1, sizeof screen, image->file) != sizeof screen)
        return gif_give_up(document, image,
                           "File '%s' doesn't appear to be a GIF file", filename);

    /* Logical screen: width, height, packed flags, background, aspect. */
    image->palette = palette;
    image->palette_count = 2 << (screen[4] & GIF_TABLE_SIZE_BITS);
    if (screen[4] & GIF_COLOR_TABLE) {
        if (gif_read_colormap(image->file, image->palette_count, palette))
            return gif_give_up(document, image,
                               "Error reading global colormap in GIF file '%s'",
                               filename);
    } else {
        gif_default_palette(palette, image->palette_count);
    }
    if (screen[6] != 0) {
        image->resolution_x = -(screen[6] + 15) * 0.015625f;
        image->resolution_y = -1;
    }

    if (gif_find_image(document, slot, filename, ignore_mask) < 0)
        return -1;

    /* Image descriptor: left, top, width, height, packed flags. */
    if (fread(descriptor, 1, sizeof descriptor, image->file) != sizeof descriptor)
        return gif_give_up(document, image,
                           "Couldn't read left/top/width/height in GIF file '%s'",
                           filename);
    width = (int)gif_get_u16(descriptor + 4);
    height = (int)gif_get_u16(descriptor + 6);
    /* An empty image would give an XObject and a page without area. */
    if (width == 0 || height == 0)
        return gif_give_up(document, image,
                           "Couldn't read left/top/width/height in GIF file '%s'",
                           filename);
    if (!colorize)
        image->colorspace = PDF_CS_INDEXED;
    image->components = 1;
    image->bits_per_component = 8;
    image->width = (float)width;
    image->height = (float)height;

    if (descriptor[8] & GIF_INTERLACE)
        return gif_give_up(document, image,
                           "Interlaced GIF image '%s' not supported", filename);

    if (descriptor[8] & GIF_COLOR_TABLE) {
        image->palette_count = 2 << (descriptor[8] & GIF_TABLE_SIZE_BITS);
        if (gif_read_colormap(image->file, image->palette_count, palette))
            return gif_give_up(document, image,
                               "Error reading local colormap in GIF file '%s'",
                               filename);
    }

    code_size = getc(image->file);
    if (code_size == EOF)
        return gif_give_up(document, image,
                           "Error reading data block in GIF file '%s'", filename);
    if (code_size != GIF_CODE_SIZE)
        return gif_give_up(document, image,
            "LZW minimum code size other than 8 bit not supported in GIF file '%s'",
            filename);

    /* The file is now positioned at the first data sub-block. An error from
     * here on may leave the reader; the image core then closes the file. */
    pdf_set_image_source(image, &gif_source);
    image->compression = PDF_COMPRESSION_LZW;
    image->pass_through = 1;
    image->decode_params_text = (char *)pdf_malloc(document, GIF_DECODE_PARMS_SIZE,
                                                   "pdf_open_GIF_data");
    snprintf(image->decode_params_text, GIF_DECODE_PARMS_SIZE, "%s",
             "/EarlyChange 0");
    image->file_name = pdf_strdup(document, filename);
    image->occupied = 1;

    pdf_write_image_xobject(document, slot, 1);

    pdf_close_image_file(document, image);
    image->palette = NULL;
    /* The copy stopped with an error whose handler returned. */
    if (!image->occupied)
        return -1;
    return slot;
}
