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
 *    decoded whole by libpng into the slot's raster (decoded.h), with 16-bit
 *    samples cut to their high byte and alpha dropped, and the rows become
 *    the XObject's samples.
 *
 * Everything the reader holds while it runs (libpng's structures, the row
 * pointers, the palette) is in its state, and its files are the slot's, so
 * that every way out releases all of it (reader.h): libpng's error jump
 * back into pdf_open_PNG, a parameter error, an allocation failure, the
 * unexpected end of the IDAT data during the copy, and any error the XObject
 * writer or the output raise while the reader waits for them.
 *
 * Lengths read from the file are never trusted: the chunk walk stops at the
 * end of the file, and the copy reports a file that ends inside its IDAT
 * data instead of reading past it.
 */
#include "png.h"

#include <png.h>
#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include "../draw/colorspace.h"
#include "decoded.h"
#include "reader.h"
#include "xobject.h"

/* Size of the pass-through copy buffer. */
#define PNG_COPY_BUFFER_SIZE (64 * 1024)

namespace {

/* Handed to libpng as its error pointer: where its errors jump back to, and
 * whether an allocation failed on the way. It lives in pdf_open_PNG's frame,
 * which is where the jump lands. */
typedef struct {
    jmp_buf jump;
    volatile int armed;         /* `jump` has been set */
    volatile int out_of_memory; /* the allocation hook refused a block */
} png_reader_context;

/* The reader's state. */
typedef struct {
    png_structp read;
    png_infop info;
    png_bytep *row_pointers;      /* while libpng decodes into the raster */
    unsigned long idat_remaining; /* bytes left of the current IDAT chunk */
    int idat_done;                /* the copy has delivered the last one */
    pdf_byte palette[PDF_PALETTE_SIZE];
} png_state;

png_state *png_of(pdf_image *image) {
    return (png_state *)image->reader;
}

/* Releases libpng's structures and the row pointers. */
void png_release(pdf_document *document, pdf_image *image) {
    png_state *png = png_of(image);
    if (png->row_pointers != NULL) {
        pdf_free(document, png->row_pointers);
        png->row_pointers = NULL;
    }
    if (png->read != NULL) {
        png_destroy_read_struct(&png->read, png->info != NULL ? &png->info : NULL, NULL);
        png->read = NULL;
        png->info = NULL;
    }
}

const pdf_reader_operations png_reader = {png_release, NULL};

/* Failures end through pdf_reader_fail, releasing all the reader holds. */
#define png_give_up(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_NONFATAL, __VA_ARGS__)
#define png_parameter_error(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_VALUE, __VA_ARGS__)

/* ---- libpng callbacks ---------------------------------------------------- */

/* Allocations of libpng go through the document's hook. A refused block is
 * handed back to libpng as null, which makes it raise an error that jumps
 * back into the reader; the reader then releases everything and reports the
 * memory error itself. Going through pdf_malloc instead would report from
 * inside libpng and leave its structures and the file behind. */
png_voidp png_reader_malloc(png_structp png, png_alloc_size_t size) {
    pdf_document *document = (pdf_document *)png_get_mem_ptr(png);
    void *block = document->malloc_proc(document, size, "libpng");

    if (block == NULL) {
        png_reader_context *context = (png_reader_context *)png_get_error_ptr(png);
        if (context != NULL) context->out_of_memory = 1;
    }
    return block;
}

void png_reader_free(png_structp png, png_voidp block) {
    pdf_document *document = (pdf_document *)png_get_mem_ptr(png);

    if (block != NULL) document->free_proc(document, block);
}

/* libpng's message is dropped: every libpng error becomes the reader's own
 * "Error reading PNG file". Before the jump point is set the callback
 * returns, and libpng ends the call its own way. */
void png_reader_error(png_structp png, png_const_charp message) {
    png_reader_context *context = (png_reader_context *)png_get_error_ptr(png);

    (void)message;
    if (context != NULL && context->armed) longjmp(context->jump, 1);
}

void png_reader_warning(png_structp png, png_const_charp message) {
    (void)png;
    (void)message;
}

/* ---- Reading the file ---------------------------------------------------- */

/* Four bytes, big-endian; -1 when the file ends first. */
long png_read_u32(FILE *fp) {
    unsigned char bytes[4];

    if (fread(bytes, 1, 4, fp) != 4) return -1;
    return ((long)bytes[0] << 24) | ((long)bytes[1] << 16) | ((long)bytes[2] << 8) | (long)bytes[3];
}

/* Largest chunk length PNG allows. */
#define PNG_MAX_CHUNK_LENGTH 0x7FFFFFFFL

/* Reads a chunk header: its length (not checked) and its four type bytes.
 * Returns 0 at the end of the file. */
int png_read_chunk_header(FILE *fp, long *length, char type[4]) {
    *length = png_read_u32(fp);
    if (*length < 0) return 0;
    return fread(type, 1, 4, fp) == 4;
}

/*
 * Decides whether the file's IDAT data can go into the PDF unchanged, on a
 * second handle of its own. For an eligible file (non-interlaced, colour
 * type 0, 2 or 3, at most 8 bits per sample) it returns that handle left at
 * the first IDAT data, with the state's `idat_remaining` set to the chunk's length and
 * `pass_through` set. Otherwise it returns null with `pass_through` 0 and
 * no handle open. A chunk whose length runs past the end of the file, or a
 * file that ends before its first IDAT chunk, fails the test.
 */
FILE *png_pass_through_test(pdf_image *image, const char *filename) {
    const unsigned char signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    unsigned char bytes[13];
    char type[4];
    long length, file_size;
    FILE *fp;

    image->pass_through = 0;
    fp = fopen(filename, "rb");
    if (fp == NULL) return NULL;
    if (fseek(fp, 0, SEEK_END) != 0 || (file_size = ftell(fp)) < 0 || fseek(fp, 0, SEEK_SET) != 0)
        goto fail;

    if (fread(bytes, 1, 8, fp) != 8 || memcmp(bytes, signature, 8) != 0) goto fail;
    if (!png_read_chunk_header(fp, &length, type) || length != 13 || memcmp(type, "IHDR", 4) != 0)
        goto fail;
    /* Width, height, bit depth, colour type, compression, filter and
     * interlace method, then the CRC. */
    if (fread(bytes, 1, 13, fp) != 13 || png_read_u32(fp) < 0) goto fail;
    if (bytes[8] > 8 || bytes[9] > 3 || bytes[12] != 0) goto fail;

    image->pass_through = 1;
    for (;;) {
        long position;

        if (!png_read_chunk_header(fp, &length, type) || length > PNG_MAX_CHUNK_LENGTH) break;
        if (memcmp(type, "IDAT", 4) == 0) {
            png_of(image)->idat_remaining = (unsigned long)length;
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

/* ---- Data source: the IDAT data, passed through ---------------------------- */

void png_source_init(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;
    source->buffer = (pdf_byte *)pdf_malloc(document, PNG_COPY_BUFFER_SIZE, "png_source_init");
    source->buffer_size = PNG_COPY_BUFFER_SIZE;
    source->chunk_length = 0;
    source->chunk = source->buffer;
    png_of(image)->idat_done = 0;
}

/* Moves from the end of one IDAT chunk's data to the next chunk: skips the
 * CRC and reads the next header. Returns 0 when no IDAT chunk follows (the
 * file may also end here). The length of a following IDAT chunk is taken
 * as it stands: should the file end before it, the copy reports so. */
int png_next_idat(pdf_image *image) {
    char type[4];
    long length;
    if (png_read_u32(image->file) < 0 || !png_read_chunk_header(image->file, &length, type) ||
        memcmp(type, "IDAT", 4) != 0)
        return 0;
    png_of(image)->idat_remaining = (unsigned long)length;
    return 1;
}

/* Fills the buffer with the data of consecutive IDAT chunks, joined into
 * one stream; everything from the first other chunk on is left out. A file
 * that ends inside the IDAT data is an I/O error. */
int png_source_refill(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;
    png_state *png = png_of(image);
    source->chunk = source->buffer;
    source->chunk_length = 0;
    if (image->file == NULL || source->buffer == NULL) return 0;
    while (source->chunk_length < source->buffer_size) {
        if (png->idat_remaining == 0) {
            if (png->idat_done) break;
            if (!png_next_idat(image)) png->idat_done = 1;
            continue;
        }
        size_t wanted = source->buffer_size - source->chunk_length;
        if (png->idat_remaining < wanted) wanted = (size_t)png->idat_remaining;
        if (fread(source->buffer + source->chunk_length, 1, wanted, image->file) != wanted) {
            pdf_fail_image_data(document, image, "Unexpected end of PNG file '%s'");
            return 0;
        }
        source->chunk_length += wanted;
        png->idat_remaining -= wanted;
    }
    return source->chunk_length != 0;
}

void png_source_release(pdf_document *document, pdf_data_source *source) {
    if (source->buffer != NULL) pdf_free(document, source->buffer);
    source->buffer = NULL;
}

const pdf_source_operations png_source = {png_source_init, png_source_refill, png_source_release};

/* ---- The string parameter ------------------------------------------------ */

/* Applies the string parameter to the slot. Sets *ignore_mask for
 * "ignoremask". Returns 0, or -1 after a parameter error. */
int png_apply_parameter(pdf_document *document, pdf_image *image, const char *filename,
                        const char *stringparam, int intparam, int *ignore_mask) {
    if (stringparam == NULL || *stringparam == '\0') return 0;

    if (strcmp(stringparam, "colorize") == 0)
        return pdf_apply_colorize(document, image, "PNG", filename, intparam);
    if (strcmp(stringparam, "mask") == 0) {
        if (image->components != 1 || image->bits_per_component != 1)
            return png_parameter_error(document, image,
                                       "Can't handle PNG image mask with more than 1 bit");
        image->colorspace = PDF_CS_IMAGEMASK;
        return 0;
    }
    if (strcmp(stringparam, "masked") == 0)
        return pdf_apply_masked(document, image, filename, intparam);
    if (strcmp(stringparam, "ignoremask") == 0) {
        *ignore_mask = 1;
        return 0;
    }
    return png_parameter_error(document, image, "Unknown parameter %s in pdf_open_PNG",
                               stringparam);
}

/* ---- Header facts -------------------------------------------------------- */

/* Resolution in dots per inch from the pHYs chunk; with only an aspect
 * ratio (unit not given), -1 across and minus the ratio down. */
void png_read_resolution(png_structp read, png_infop info, pdf_image *image) {
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
void png_read_color_key(png_structp read, png_infop info, pdf_image *image, int color_type,
                        int file_bit_depth) {
    png_bytep alphas = NULL;
    png_color_16p color = NULL;
    int count = 0;
    int shift = file_bit_depth == 16 ? 8 : 0;

    if (image->colorspace == PDF_CS_IMAGEMASK || !png_get_valid(read, info, PNG_INFO_tRNS) ||
        !png_get_tRNS(read, info, &alphas, &count, &color) || count < 1)
        return;

    switch (color_type) {
        case PNG_COLOR_TYPE_GRAY:
            if (color == NULL) return;
            image->key_color[0] = (pdf_byte)((color->gray >> shift) & 0xFF);
            break;
        case PNG_COLOR_TYPE_RGB:
            if (color == NULL) return;
            image->key_color[0] = (pdf_byte)((color->red >> shift) & 0xFF);
            image->key_color[1] = (pdf_byte)((color->green >> shift) & 0xFF);
            image->key_color[2] = (pdf_byte)((color->blue >> shift) & 0xFF);
            break;
        case PNG_COLOR_TYPE_PALETTE: {
            int i;

            if (alphas == NULL) return;
            for (i = 0; i < count; i++)
                if (alphas[i] < 128) break;
            if (i == count) return;
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
void png_skip_unused_chunks(png_structp read) {
    const png_byte unused[] =
        "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0"
        "pCAL\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

    png_set_keep_unknown_chunks(read, PNG_HANDLE_CHUNK_NEVER, NULL, 0);
    png_set_keep_unknown_chunks(read, PNG_HANDLE_CHUNK_NEVER, unused, (int)(sizeof unused / 5));
}

/* Decodes the whole image into the raster. Returns 0, or -1 after giving
 * up; libpng's errors jump back into pdf_open_PNG, which releases the state
 * (the row pointers with it). */
int png_decode(pdf_document *document, pdf_image *image, const char *filename) {
    png_state *png = png_of(image);
    size_t row_length = png_get_rowbytes(png->read, png->info);
    long height = (long)image->height;
    if (pdf_alloc_raster(document, image, row_length, height, "pdf_open_PNG/raster") < 0)
        return image->reader == NULL
                   ? -1
                   : png_give_up(document, image, "Error reading PNG file '%s'", filename);
    /* libpng leaves the padding bits at the end of packed rows alone when it
     * de-interlaces; they go into the PDF, so they must be defined. */
    memset(image->raster.rows, 0, row_length * (size_t)height);
    png->row_pointers = (png_bytep *)document->malloc_proc(
        document, (size_t)height * sizeof(png_bytep), "pdf_open_PNG/pointers");
    if (png->row_pointers == NULL)
        return pdf_reader_fail(document, image, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n",
                               "pdf_open_PNG/pointers");
    for (long i = 0; i < height; i++)
        png->row_pointers[i] = image->raster.rows + (size_t)i * row_length;
    png_read_image(png->read, png->row_pointers);
    /* The rows are reached through the raster from here on. */
    pdf_free(document, png->row_pointers);
    png->row_pointers = NULL;
    pdf_use_raster_source(image);
    return 0;
}

/* Opens the file, reads the header chunks and sets the size and the bit
 * depth, 16-bit samples cut to 8. Returns the colour type, or -1 after
 * giving up. */
int png_read_header(pdf_document *document, pdf_image *image, const char *filename) {
    png_state *png = png_of(image);
    unsigned char signature[8];
    png_uint_32 width, height;
    int bit_depth, color_type;
    image->file = fopen(filename, "rb");
    if (image->file == NULL)
        return png_give_up(document, image, "Couldn't open PNG file '%s'", filename);
    if (fread(signature, 1, 8, image->file) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        return png_give_up(document, image, "File '%s' doesn't appear to be a PNG file", filename);
    png_init_io(png->read, image->file);
    png_set_sig_bytes(png->read, 8);
    png_read_info(png->read, png->info);
    png_get_IHDR(png->read, png->info, &width, &height, &bit_depth, &color_type, NULL, NULL, NULL);
    image->width = (float)width;
    image->height = (float)height;
    image->bits_per_component = bit_depth;
    if (bit_depth == 16) {
        png_set_strip_16(png->read);
        image->bits_per_component = 8;
    }
    return color_type;
}

/* Grey, RGB or palette by the colour type, alpha dropped; the palette is
 * copied into the state. Returns -1 after giving up. */
int png_choose_colorspace(pdf_document *document, pdf_image *image, const char *filename,
                          int color_type) {
    png_state *png = png_of(image);
    png_colorp palette = NULL;
    int count = 0;
    switch (color_type) {
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            png_set_strip_alpha(png->read);
            /* fall through */
        case PNG_COLOR_TYPE_GRAY:
            /* An sBIT chunk only says how many bits were significant in the
             * original; the samples already span the full range of the bit
             * depth, which is what the PDF declares, so they stay unshifted. */
            image->components = 1;
            image->colorspace = PDF_CS_DEVICEGRAY;
            return 0;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            png_set_strip_alpha(png->read);
            /* fall through */
        case PNG_COLOR_TYPE_RGB:
            image->components = 3;
            image->colorspace = PDF_CS_DEVICERGB;
            return 0;
        case PNG_COLOR_TYPE_PALETTE:
            if (!png_get_PLTE(png->read, png->info, &palette, &count) || count < 1 ||
                count > PDF_PALETTE_SIZE / 3)
                break;
            image->components = 1;
            image->colorspace = PDF_CS_INDEXED;
            /* png_color is three bytes: red, green, blue. */
            memcpy(png->palette, palette, (size_t)count * 3);
            image->palette = png->palette;
            image->palette_count = count;
            return 0;
    }
    return png_give_up(document, image, "Error reading PNG file '%s'", filename);
}

/* Passes the IDAT data through when the file allows it, on a handle of its
 * own; decodes the image otherwise. Returns -1 after giving up. */
int png_choose_road(pdf_document *document, pdf_image *image, const char *filename) {
    FILE *second = png_pass_through_test(image, filename);
    if (second == NULL) {
        image->predictor = 1;
        image->compression = PDF_COMPRESSION_NONE;
        return png_decode(document, image, filename);
    }
    fclose(image->file);
    image->file = second;
    image->predictor = 15;
    image->compression = PDF_COMPRESSION_FLATE;
    pdf_set_image_source(image, &png_source);
    return 0;
}

/*
 * Reads the header, applies the parameter, chooses the road, decodes if it
 * must, and writes the XObject. Runs below the jump point that
 * pdf_open_PNG sets, so a libpng error may leave it at any libpng call;
 * everything it acquires is in the state for that reason. Returns the slot
 * index, or -1 after giving up.
 */
int png_read_and_write(pdf_document *document, int slot, const char *filename,
                       const char *stringparam, int intparam) {
    pdf_image *image = pdf_image_slot(document, slot);
    png_state *png = png_of(image);
    int ignore_mask = 0;
    int color_type = png_read_header(document, image, filename);
    if (color_type < 0) return -1;
    int file_bit_depth = png_get_bit_depth(png->read, png->info);
    if (png_choose_colorspace(document, image, filename, color_type) < 0) return -1;
    if (png_apply_parameter(document, image, filename, stringparam, intparam, &ignore_mask) < 0)
        return -1;
    (void)png_set_interlace_handling(png->read);
    png_read_resolution(png->read, png->info, image);
    if (!ignore_mask) png_read_color_key(png->read, png->info, image, color_type, file_bit_depth);
    png_read_update_info(png->read, png->info);
    if (png_choose_road(document, image, filename) < 0) return -1;

    image->file_name = pdf_strdup(document, filename);
    if (image->file_name == NULL) return -1;
    image->band_count = 1;
    image->occupied = 1;
    pdf_write_image_xobject(document, slot, 1);
    image = pdf_image_slot(document, slot);
    if (image->reader == NULL) {
        /* An error released the reader and its handler returned, which a
         * handler must not do for a fatal error: give the slot up. */
        if (image->occupied) pdf_release_image_slot(document, slot);
        return -1;
    }
    pdf_end_reader(document, image);
    return slot;
}

/* Creates libpng's structures with the document's memory hooks and the
 * reader's error callbacks. Returns 0, or -1 after the memory error. */
int png_create(pdf_document *document, pdf_image *image, png_reader_context *context) {
    png_state *png = png_of(image);
    png->read =
        png_create_read_struct_2(PNG_LIBPNG_VER_STRING, context, png_reader_error,
                                 png_reader_warning, document, png_reader_malloc, png_reader_free);
    if (png->read != NULL) png->info = png_create_info_struct(png->read);
    if (png->info == NULL) {
        pdf_end_reader(document, image);
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't allocate memory for PNG handler");
        return -1;
    }
    return 0;
}

}  // namespace

/*
 * The reader's entry point. Makes the state and libpng's structures and sets
 * the jump point libpng's errors come back to; the rest is
 * png_read_and_write's. Returns the slot index, or -1 when the file cannot
 * be read (reported as a warning when image warnings are on). Memory and
 * parameter errors, and the unexpected end of the IDAT data, are raised
 * after everything has been released.
 */
int pdf_open_PNG(pdf_document *document, int slot, const char *filename, const char *stringparam,
                 int intparam) {
    pdf_image *image = pdf_image_slot(document, slot);
    png_reader_context context;
    memset(&context, 0, sizeof context);

    if (pdf_begin_reader(document, image, &png_reader, sizeof(png_state), "pdf_open_PNG") == NULL)
        return -1;
    if (png_create(document, image, &context) < 0) return -1;

    /* libpng's errors come back here. This frame holds nothing but the slot
     * and `context`, which is all the error path needs. */
    if (setjmp(context.jump)) {
        pdf_end_reader(document, image);
        if (context.out_of_memory) {
            pdf_error(document, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n", "libpng");
            return -1;
        }
        return png_give_up(document, image, "Error reading PNG file '%s'", filename);
    }
    context.armed = 1;
    png_skip_unused_chunks(png_of(image)->read);
    return png_read_and_write(document, slot, filename, stringparam, intparam);
}
