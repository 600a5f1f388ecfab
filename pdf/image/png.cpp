/*
 * png.cpp -- the PNG reader.
 *
 * libpng always reads the header chunks. Then one of two roads produces the
 * image data:
 *
 *  - pass-through: a non-interlaced grey, RGB or palette file of at most 8
 *    bits per sample has its compressed IDAT data copied unchanged into the
 *    XObject, declared as Flate data with PNG predictors. A second handle on
 *    the file walks the chunks to the first IDAT data; nothing is decoded.
 *  - decoding: every other file (16-bit samples, alpha, interlacing) is
 *    decoded whole by libpng into a row buffer, with 16-bit samples cut to
 *    their high byte and alpha dropped, and the rows become the XObject's
 *    uncompressed samples.
 *
 * Everything the reader holds while it runs (both file handles, libpng's
 * structures, the row buffer and its row pointers, the copy buffer) is kept
 * in the image slot, so that every way out releases all of it before the
 * error is reported: libpng's error jump back into pdf_open_PNG, a
 * parameter error, an allocation failure, the unexpected end of the IDAT
 * data during the copy, and any error the XObject writer or the output
 * raise while the reader waits for them. The document's error handler may
 * leave any pdf_error call for a fatal type by longjmp, so for as long as
 * the reader runs it stands behind a handler of the reader's own that
 * releases first.
 *
 * Lengths read from the file are never trusted: the chunk walk stops at the
 * end of the file, and the copy reports a file that ends inside its IDAT
 * data instead of reading past it.
 */
#include <png.h>
#include <setjmp.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "../draw/colorspace.h"
#include "readers.h"
#include "xobject.h"

/* Size of the pass-through copy buffer. */
#define PNG_COPY_BUFFER_SIZE (64 * 1024)
/* Largest decoded image held in memory; larger ones are refused before
 * anything is allocated for them. */
#define PNG_MAX_RASTER_BYTES ((size_t)1 << 30)
/* Room for the file name in the unexpected-end message. */
#define PNG_NAME_COPY_SIZE 1024

/* The pass-through copy has delivered the last IDAT chunk (kept in the
 * slot's `reader_value`). */
#define PNG_IDAT_DONE 1

/* Handed to libpng as its error pointer: where its errors jump back to, and
 * whether an allocation failed on the way. */
typedef struct {
    jmp_buf jump;
    volatile int armed;          /* `jump` has been set */
    volatile int out_of_memory;  /* the allocation hook refused a block */
} png_reader_context;

/* ---- libpng callbacks ---------------------------------------------------- */

/* Allocations of libpng go through the document's hook. A refused block is
 * handed back to libpng as null, which makes it raise an error that jumps
 * back into the reader; the reader then releases everything and reports the
 * memory error itself. Going through pdf_malloc instead would report from
 * inside libpng and leave its structures and the file behind. */
static png_voidp png_reader_malloc(png_structp png, png_alloc_size_t size)
{
    pdf_document *document = (pdf_document *)png_get_mem_ptr(png);
    void *block = document->malloc_proc(document, size, "libpng");

    if (block == NULL) {
        png_reader_context *context =
            (png_reader_context *)png_get_error_ptr(png);
        if (context != NULL)
            context->out_of_memory = 1;
    }
    return block;
}

static void png_reader_free(png_structp png, png_voidp block)
{
    pdf_document *document = (pdf_document *)png_get_mem_ptr(png);

    if (block != NULL)
        document->free_proc(document, block);
}

/* libpng's message is dropped: every libpng error becomes the reader's own
 * "Error reading PNG file". Before the jump point is set the callback
 * returns, and libpng ends the call its own way. */
static void png_reader_error(png_structp png, png_const_charp message)
{
    png_reader_context *context = (png_reader_context *)png_get_error_ptr(png);

    (void)message;
    if (context != NULL && context->armed)
        longjmp(context->jump, 1);
}

static void png_reader_warning(png_structp png, png_const_charp message)
{
    (void)png;
    (void)message;
}

/* ---- Releasing ----------------------------------------------------------- */

/* Releases everything the reader holds for the slot: the copy buffer, the
 * row buffer and its pointers, the open file, libpng's structures (and with
 * them the palette, which lives in libpng's info structure). Safe to call
 * more than once. */
static void png_release(pdf_document *document, pdf_image *image)
{
    if (image->source.buffer != NULL && image->pass_through) {
        pdf_free(document, image->source.buffer);
        image->source.buffer = NULL;
    }
    if (image->row_buffer != NULL) {
        pdf_free(document, image->row_buffer);
        image->row_buffer = NULL;
    }
    if (image->reader_data != NULL) {
        pdf_free(document, image->reader_data);
        image->reader_data = NULL;
    }
    if (image->file != NULL) {
        fclose(image->file);
        image->file = NULL;
    }
    if (image->png_read != NULL) {
        png_structp read = (png_structp)image->png_read;
        png_infop info = (png_infop)image->png_info;

        png_destroy_read_struct(&read, info != NULL ? &info : NULL, NULL);
        image->png_read = NULL;
        image->png_info = NULL;
        image->palette = NULL;
        image->palette_count = 0;
    }
    image->release_reader = NULL;
}

/* Failures end through pdf_reader_fail, releasing all the reader holds. */
#define png_give_up(document, image, ...) \
    pdf_reader_fail(document, image, png_release, PDF_ERR_NONFATAL, __VA_ARGS__)
#define png_parameter_error(document, image, ...) \
    pdf_reader_fail(document, image, png_release, PDF_ERR_VALUE, __VA_ARGS__)

/* Allocates through the document's hook; a refused block releases
 * everything and raises the memory error naming `tag`. */
static void *png_allocate(pdf_document *document, pdf_image *image,
                          size_t size, const char *tag)
{
    void *block = document->malloc_proc(document, size, tag);

    if (block == NULL) {
        png_release(document, image);
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n",
                  tag);
    }
    return block;
}

/* ---- Reading the file ---------------------------------------------------- */

/* Four bytes, big-endian; -1 when the file ends first. */
static long png_read_u32(FILE *fp)
{
    unsigned char bytes[4];

    if (fread(bytes, 1, 4, fp) != 4)
        return -1;
    return ((long)bytes[0] << 24) | ((long)bytes[1] << 16) |
           ((long)bytes[2] << 8) | (long)bytes[3];
}

/* Largest chunk length PNG allows. */
#define PNG_MAX_CHUNK_LENGTH 0x7FFFFFFFL

/* Reads a chunk header: its length (not checked) and its four type bytes.
 * Returns 0 at the end of the file. */
static int png_read_chunk_header(FILE *fp, long *length, char type[4])
{
    *length = png_read_u32(fp);
    if (*length < 0)
        return 0;
    return fread(type, 1, 4, fp) == 4;
}

/*
 * Decides whether the file's IDAT data can go into the PDF unchanged, on a
 * second handle of its own. For an eligible file (non-interlaced, colour
 * type 0, 2 or 3, at most 8 bits per sample) it returns that handle left at
 * the first IDAT data, with `idat_remaining` set to the chunk's length and
 * `pass_through` set. Otherwise it returns null with `pass_through` 0 and
 * no handle open. A chunk whose length runs past the end of the file, or a
 * file that ends before its first IDAT chunk, fails the test.
 */
static FILE *png_pass_through_test(pdf_image *image, const char *filename)
{
    static const unsigned char signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    unsigned char bytes[13];
    char type[4];
    long length, file_size;
    FILE *fp;

    image->pass_through = 0;
    fp = fopen(filename, "rb");
    if (fp == NULL)
        return NULL;
    if (fseek(fp, 0, SEEK_END) != 0 || (file_size = ftell(fp)) < 0 ||
        fseek(fp, 0, SEEK_SET) != 0)
        goto fail;

    if (fread(bytes, 1, 8, fp) != 8 || memcmp(bytes, signature, 8) != 0)
        goto fail;
    if (!png_read_chunk_header(fp, &length, type) || length != 13 ||
        memcmp(type, "IHDR", 4) != 0)
        goto fail;
    /* Width, height, bit depth, colour type, compression, filter and
     * interlace method, then the CRC. */
    if (fread(bytes, 1, 13, fp) != 13 || png_read_u32(fp) < 0)
        goto fail;
    if (bytes[8] > 8 || bytes[9] > 3 || bytes[12] != 0)
        goto fail;

    image->pass_through = 1;
    for (;;) {
        long position;

        if (!png_read_chunk_header(fp, &length, type) ||
            length > PNG_MAX_CHUNK_LENGTH)
            break;
        if (memcmp(type, "IDAT", 4) == 0) {
            image->idat_remaining = (unsigned long)length;
            return fp;
        }
        /* Skip the data and the CRC, but never beyond the end. */
        position = ftell(fp);
        if (position < 0 || length + 4 > file_size - position ||
            fseek(fp, length + 4, SEEK_CUR) != 0)
            break;
    }
    image->pass_through = 0;

fail:
    fclose(fp);
    return NULL;
}

/* ---- Data source --------------------------------------------------------- */

static void png_source_init(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;

    if (image->pass_through) {
        source->buffer = NULL;
        source->buffer_size = 0;
        source->buffer = (pdf_byte *)png_allocate(
            document, image, PNG_COPY_BUFFER_SIZE, "png_source_init");
        if (source->buffer != NULL)
            source->buffer_size = PNG_COPY_BUFFER_SIZE;
        source->chunk_length = 0;
        source->chunk = source->buffer;
        image->reader_value = 0;
    } else {
        image->current_row = 0;
        source->buffer = image->row_buffer;
        source->buffer_size = image->row_length;
    }
}

/* The file ended inside the IDAT data: the slot is released (the file name
 * is kept for the message) and the I/O error raised, through the reader's
 * handler, which puts the document's own handler back. */
static void png_unexpected_end(pdf_document *document, pdf_image *image)
{
    char name[PNG_NAME_COPY_SIZE];

    name[0] = '\0';
    if (image->file_name != NULL) {
        strncpy(name, image->file_name, sizeof name - 1);
        name[sizeof name - 1] = '\0';
    }
    png_release(document, image);
    PDF_close_image(document, (int)(image - document->images->slots));
    /* The palette went with libpng's structures: should the handler return,
     * the writer must not look for it. */
    image->colorspace = PDF_CS_DEVICEGRAY;
    pdf_error(document, PDF_ERR_IO, "Unexpected end of PNG file '%s'", name);
}

/* Moves from the end of one IDAT chunk's data to the next chunk: skips the
 * CRC and reads the next header. Returns 0 when no IDAT chunk follows (the
 * file may also end here). The length of a following IDAT chunk is taken
 * as it stands: should the file end before it, the copy reports so. */
static int png_next_idat(pdf_image *image)
{
    char type[4];
    long length;

    if (png_read_u32(image->file) < 0 ||
        !png_read_chunk_header(image->file, &length, type) ||
        memcmp(type, "IDAT", 4) != 0)
        return 0;
    image->idat_remaining = (unsigned long)length;
    return 1;
}

/* Decoding: one row per call. Pass-through: fills the buffer with the data
 * of consecutive IDAT chunks, joined into one stream; everything from the
 * first other chunk on is left out. */
static int png_source_refill(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;

    if (!image->pass_through) {
        if (image->row_buffer == NULL || image->current_row >= (long)image->height)
            return 0;
        source->chunk = image->row_buffer +
                        (size_t)image->current_row * image->row_length;
        source->chunk_length = source->buffer_size;
        image->current_row++;
        return 1;
    }

    source->chunk = source->buffer;
    source->chunk_length = 0;
    if (image->file == NULL || source->buffer == NULL)
        return 0;
    while (source->chunk_length < source->buffer_size) {
        size_t wanted;

        if (image->idat_remaining == 0) {
            if (image->reader_value == PNG_IDAT_DONE)
                break;
            if (!png_next_idat(image))
                image->reader_value = PNG_IDAT_DONE;
            continue;
        }
        wanted = source->buffer_size - source->chunk_length;
        if (image->idat_remaining < wanted)
            wanted = (size_t)image->idat_remaining;
        if (fread(source->buffer + source->chunk_length, 1, wanted,
                  image->file) != wanted) {
            png_unexpected_end(document, image);
            return 0;
        }
        source->chunk_length += wanted;
        image->idat_remaining -= wanted;
    }
    return source->chunk_length != 0;
}

static void png_source_release(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;

    if (image->pass_through && source->buffer != NULL)
        pdf_free(document, source->buffer);
    source->buffer = NULL;
}

static const pdf_source_operations png_source = {
    png_source_init, png_source_refill, png_source_release
};

/* ---- The string parameter ------------------------------------------------ */


/* Applies the string parameter to the slot. Sets *ignore_mask for
 * "ignoremask". Returns 0, or -1 after a parameter error. */
static int png_apply_parameter(pdf_document *document, pdf_image *image,
                               const char *filename, const char *stringparam,
                               int intparam, int *ignore_mask)
{
    if (stringparam == NULL || *stringparam == '\0')
        return 0;

    if (strcmp(stringparam, "colorize") == 0)
        return pdf_apply_colorize(document, image, png_release, "PNG", filename,
                                  intparam);
    if (strcmp(stringparam, "mask") == 0) {
        if (image->components != 1 || image->bits_per_component != 1)
            return png_parameter_error(document, image,
                "Can't handle PNG image mask with more than 1 bit");
        image->colorspace = PDF_CS_IMAGEMASK;
        return 0;
    }
    if (strcmp(stringparam, "masked") == 0)
        return pdf_apply_masked(document, image, png_release, filename, intparam);
    if (strcmp(stringparam, "ignoremask") == 0) {
        *ignore_mask = 1;
        return 0;
    }
    return png_parameter_error(document, image,
        "Unknown parameter %s in pdf_open_PNG", stringparam);
}

/* ---- Header facts -------------------------------------------------------- */

/* Resolution in dots per inch from the pHYs chunk; with only an aspect
 * ratio (unit not given), -1 across and minus the ratio down. */
static void png_read_resolution(png_structp read, png_infop info,
                                pdf_image *image)
{
    png_uint_32 x = png_get_x_pixels_per_meter(read, info);
    png_uint_32 y = png_get_y_pixels_per_meter(read, info);

    if (x != 0 && y != 0) {
        image->resolution_x = (float)(x * 0.0254);
        image->resolution_y = (float)(y * 0.0254);
    } else {
        float aspect = png_get_pixel_aspect_ratio(read, info);

        image->resolution_y = -aspect;
        image->resolution_x = -aspect != 0 ? -1.0f : 0.0f;
    }
}

/* Colour key from the tRNS chunk. Grey and RGB keys are compared with the
 * samples the PDF receives: the value itself up to 8 bits, the high byte of
 * a 16-bit value (the samples are cut to their high byte). A palette image
 * keys out the first entry that is more than half transparent. A stencil
 * mask takes no key. */
static void png_read_color_key(png_structp read, png_infop info,
                               pdf_image *image, int color_type,
                               int file_bit_depth)
{
    png_bytep alphas = NULL;
    png_color_16p color = NULL;
    int count = 0;
    int shift = file_bit_depth == 16 ? 8 : 0;

    if (image->colorspace == PDF_CS_IMAGEMASK ||
        !png_get_valid(read, info, PNG_INFO_tRNS) ||
        !png_get_tRNS(read, info, &alphas, &count, &color) || count < 1)
        return;

    switch (color_type) {
    case PNG_COLOR_TYPE_GRAY:
        if (color == NULL)
            return;
        image->key_color[0] = (pdf_byte)((color->gray >> shift) & 0xFF);
        break;
    case PNG_COLOR_TYPE_RGB:
        if (color == NULL)
            return;
        image->key_color[0] = (pdf_byte)((color->red >> shift) & 0xFF);
        image->key_color[1] = (pdf_byte)((color->green >> shift) & 0xFF);
        image->key_color[2] = (pdf_byte)((color->blue >> shift) & 0xFF);
        break;
    case PNG_COLOR_TYPE_PALETTE: {
        int i;

        if (alphas == NULL)
            return;
        for (i = 0; i < count; i++)
            if (alphas[i] < 128)
                break;
        if (i == count)
            return;
        image->key_color[0] = (pdf_byte)i;
        break;
    }
    default:
        return;
    }
    image->has_key_color = 1;
}

/* ---- The reader ---------------------------------------------------------- */

/* libpng reads each ancillary chunk it knows whole into one block whose size
 * is the chunk's length, as the file states it (up to 2 GiB). The reader
 * uses IHDR, PLTE, tRNS and pHYs only, so every other chunk is skipped
 * unread, which takes no memory. */
static void png_skip_unused_chunks(png_structp read)
{
    static const png_byte unused[] =
        "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0"
        "pCAL\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

    png_set_keep_unknown_chunks(read, PNG_HANDLE_CHUNK_NEVER, NULL, 0);
    png_set_keep_unknown_chunks(read, PNG_HANDLE_CHUNK_NEVER, unused,
                                (int)(sizeof unused / 5));
}

/* Decodes the whole image into the row buffer. Returns 0, or -1 after
 * giving up; libpng's errors jump back into pdf_open_PNG, which releases
 * the buffers with everything else. */
static int png_decode(pdf_document *document, pdf_image *image,
                      const char *filename)
{
    png_structp read = (png_structp)image->png_read;
    size_t height = (size_t)image->height;
    png_bytep *rows;
    size_t i;

    if (image->row_length == 0 ||
        image->row_length > PNG_MAX_RASTER_BYTES / height)
        return png_give_up(document, image, "Error reading PNG file '%s'",
                           filename);
    image->row_buffer = (pdf_byte *)png_allocate(
        document, image, image->row_length * height, "pdf_open_PNG/raster");
    if (image->row_buffer == NULL)
        return -1;
    /* libpng leaves the padding bits at the end of packed rows alone when
     * it de-interlaces; they go into the PDF, so they must be defined. */
    memset(image->row_buffer, 0, image->row_length * height);
    rows = (png_bytep *)png_allocate(document, image, height * sizeof *rows,
                                     "pdf_open_PNG/pointers");
    if (rows == NULL)
        return -1;
    image->reader_data = rows;
    for (i = 0; i < height; i++)
        rows[i] = image->row_buffer + i * image->row_length;
    png_read_image(read, rows);
    /* The rows are reached through the buffer from here on. */
    pdf_free(document, rows);
    image->reader_data = NULL;
    return 0;
}

/*
 * Reads the header, applies the parameter, chooses the road, decodes if it
 * must, and writes the XObject. Runs below the jump point that
 * pdf_open_PNG sets, so a libpng error may leave it at any libpng call;
 * everything it acquires is kept in the slot for that reason. Returns the
 * slot index, or -1 after giving up.
 */
static int png_read_and_write(pdf_document *document, int slot,
                              const char *filename, const char *stringparam,
                              int intparam)
{
    pdf_image *image = &document->images->slots[slot];
    png_structp read = (png_structp)image->png_read;
    png_infop info = (png_infop)image->png_info;
    unsigned char signature[8];
    png_uint_32 width, height;
    int bit_depth, color_type, ignore_mask = 0;
    FILE *second;

    image->file = fopen(filename, "rb");
    if (image->file == NULL)
        return png_give_up(document, image, "Couldn't open PNG file '%s'",
                           filename);
    if (fread(signature, 1, 8, image->file) != 8 ||
        png_sig_cmp(signature, 0, 8) != 0)
        return png_give_up(document, image,
                           "File '%s' doesn't appear to be a PNG file", filename);

    png_init_io(read, image->file);
    png_set_sig_bytes(read, 8);
    png_read_info(read, info);
    png_get_IHDR(read, info, &width, &height, &bit_depth, &color_type, NULL,
                 NULL, NULL);
    image->width = (float)width;
    image->height = (float)height;

    image->bits_per_component = bit_depth;
    if (bit_depth == 16) {
        png_set_strip_16(read);
        image->bits_per_component = 8;
    }

    switch (color_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_strip_alpha(read);
        /* fall through */
    case PNG_COLOR_TYPE_GRAY:
        /* An sBIT chunk only says how many bits were significant in the
         * original; the samples already span the full range of the bit
         * depth, which is what the PDF declares, so they stay unshifted. */
        image->components = 1;
        image->colorspace = PDF_CS_DEVICEGRAY;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        png_set_strip_alpha(read);
        /* fall through */
    case PNG_COLOR_TYPE_RGB:
        image->components = 3;
        image->colorspace = PDF_CS_DEVICERGB;
        break;
    case PNG_COLOR_TYPE_PALETTE: {
        png_colorp palette = NULL;
        int count = 0;

        if (!png_get_PLTE(read, info, &palette, &count) || count < 1)
            return png_give_up(document, image, "Error reading PNG file '%s'",
                               filename);
        image->components = 1;
        image->colorspace = PDF_CS_INDEXED;
        /* png_color is three bytes: red, green, blue. */
        image->palette = (pdf_byte *)palette;
        image->palette_count = count;
        break;
    }
    default:
        return png_give_up(document, image, "Error reading PNG file '%s'",
                           filename);
    }

    if (png_apply_parameter(document, image, filename, stringparam, intparam,
                            &ignore_mask) < 0)
        return -1;
    (void)png_set_interlace_handling(read);

    png_read_resolution(read, info, image);
    if (!ignore_mask)
        png_read_color_key(read, info, image, color_type, bit_depth);

    png_read_update_info(read, info);
    image->row_length = png_get_rowbytes(read, info);

    pdf_set_image_source(image, &png_source);

    second = png_pass_through_test(image, filename);
    if (second != NULL) {
        fclose(image->file);
        image->file = second;
        image->predictor = 15;
        image->compression = PDF_COMPRESSION_FLATE;
    } else {
        image->predictor = 1;
        image->compression = PDF_COMPRESSION_NONE;
        if (png_decode(document, image, filename) < 0)
            return -1;
    }

    image->file_name = pdf_strdup(document, filename);
    if (image->file_name == NULL)
        return -1;
    image->band_count = 1;
    image->occupied = 1;

    pdf_write_image_xobject(document, slot, 1);
    if (image->png_read == NULL) {
        /* An error released the reader and its handler returned, which a
         * handler must not do for a fatal error: give the slot up. */
        if (image->occupied)
            pdf_release_image_slot(document, slot);
        return -1;
    }
    png_release(document, image);
    return slot;
}

/*
 * The reader's entry point. Creates libpng's structures with the document's
 * memory hooks, puts the reader's error handler in front of the document's
 * and sets the jump point libpng's errors come back to; the rest is
 * png_read_and_write's. Returns the slot index, or -1 when the file cannot
 * be read (reported as a warning when image warnings are on). Memory and
 * parameter errors, and the unexpected end of the IDAT data, are raised
 * after everything has been released.
 */
int pdf_open_PNG(pdf_document *document, int slot, const char *filename,
                 const char *stringparam, int intparam)
{
    pdf_image *image = &document->images->slots[slot];
    png_reader_context context;
    png_structp read;
    png_infop info;

    memset(&context, 0, sizeof context);
    image->file = NULL;
    image->png_read = NULL;
    image->png_info = NULL;
    image->release_reader = NULL;
    image->row_buffer = NULL;
    image->reader_data = NULL;
    image->source.buffer = NULL;
    image->pass_through = 0;
    image->mask_image = -1;
    image->has_key_color = 0;
    image->resolution_x = 0;
    image->resolution_y = 0;

    read = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &context,
                                    png_reader_error, png_reader_warning,
                                    document, png_reader_malloc,
                                    png_reader_free);
    if (read == NULL) {
        pdf_error(document, PDF_ERR_MEMORY,
                  "Couldn't allocate memory for PNG handler");
        return -1;
    }
    info = png_create_info_struct(read);
    if (info == NULL) {
        png_destroy_read_struct(&read, NULL, NULL);
        pdf_error(document, PDF_ERR_MEMORY,
                  "Couldn't allocate memory for PNG handler");
        return -1;
    }
    image->png_read = read;
    image->png_info = info;

    /* From here on an error that leaves the reader, wherever it is raised
     * (libpng's allocations, the XObject writer, the output), leaves the
     * rest to the slot's release. */
    image->release_reader = png_release;

    /* libpng's errors come back here. This frame holds nothing but the slot
     * and `context`, which is all the error path needs. */
    if (setjmp(context.jump)) {
        png_release(document, image);
        if (context.out_of_memory) {
            pdf_error(document, PDF_ERR_MEMORY,
                      "Couldn't allocate memory in %s!\n", "libpng");
            return -1;
        }
        return png_give_up(document, image, "Error reading PNG file '%s'",
                           filename);
    }
    context.armed = 1;
    png_skip_unused_chunks(read);
    return png_read_and_write(document, slot, filename, stringparam, intparam);
}
