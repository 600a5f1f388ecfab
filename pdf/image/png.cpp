/*
 * png.cpp -- the PNG reader.
 *
 * libpng always reads the header chunks. Then one of two roads produces the
 * image data:
 *
 *  - pass-through: a non-interlaced grey, RGB or palette file of at most 8
 *    bits per sample has its compressed IDAT data copied unchanged into the
 *    XObject, declared as Flate data with PNG predictors. A second handle on
 *    the file walks the chunks to the first IDAT data. The data are
 *    inflated once, and dropped, before the XObject is begun: data that a
 *    PDF reader could not decode take the decoding road instead, and a file
 *    that libpng cannot decode either is refused.
 *  - decoding: every other file (16-bit samples, alpha, interlacing) is
 *    decoded whole by libpng into the slot's raster (decoded.h), with 16-bit
 *    samples cut to their high byte and alpha dropped, and the rows become
 *    the XObject's samples. With "keepalpha" the alpha channel, and the
 *    opacities a palette file's tRNS chunk gives, become the image's soft
 *    mask (soft_mask.h) instead; such palette files are decoded too.
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
#include "mask_stream.h"
#include "reader.h"
#include "row_filter.h"
#include "soft_mask.h"
#include "stream_check.h"
#include "xobject.h"

/* Size of the pass-through copy buffer. */
#define PNG_COPY_BUFFER_SIZE (64 * 1024)

namespace {

/* Handed to libpng as its error pointer: where its errors jump back to,
 * whether an allocation failed on the way, and the damage the check of the
 * IDAT data found before libpng was asked to decode them. It lives in
 * pdf_open_PNG's frame, which is where the jump lands. */
typedef struct {
    jmp_buf jump;
    volatile int armed;         /* `jump` has been set */
    volatile int out_of_memory; /* the allocation hook refused a block */
    char damage[PDF_CHECK_REASON_SIZE];
} png_reader_context;

/* The reader's state. */
typedef struct {
    png_structp read;
    png_infop info;
    png_bytep *row_pointers; /* while libpng decodes into the raster */
    FILE *libpng_file;       /* libpng's handle while the IDAT data are checked */
    long first_idat;         /* file offset of the first IDAT data */
    unsigned long first_idat_length;
    unsigned long idat_remaining; /* bytes left of the current IDAT chunk */
    int idat_done;                /* the source has delivered the last one */
    int has_exact_key;            /* a 16-bit colour key, masked exactly */
    unsigned exact_key[3];
    pdf_byte palette[PDF_PALETTE_SIZE];
    /* With "keepalpha": the samples per decoded pixel, alpha included, of
     * an image with an alpha channel (0 for none); the opacity of each
     * palette entry the tRNS chunk gives. Either makes the image decoded. */
    int alpha_channels;
    int palette_alpha_count;
    pdf_byte palette_alpha[PDF_PALETTE_SIZE / 3];
} png_state;

png_state *png_of(pdf_image *image) {
    return (png_state *)image->reader;
}

/* Releases libpng's structures, its handle and the row pointers. */
void png_release(pdf_document *document, pdf_image *image) {
    png_state *png = png_of(image);
    if (png->libpng_file != NULL) {
        fclose(png->libpng_file);
        png->libpng_file = NULL;
    }
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
 * type 0, 2 or 3, at most 8 bits per sample) it returns that handle, with
 * the offset and length of the first IDAT data in the state and
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
            png_of(image)->first_idat = ftell(fp);
            png_of(image)->first_idat_length = (unsigned long)length;
            if (png_of(image)->first_idat < 0) break;
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

/* Starts at the first IDAT data, for the check and again for the copy. */
void png_source_init(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;
    png_state *png = png_of(image);
    source->buffer = (pdf_byte *)pdf_malloc(document, PNG_COPY_BUFFER_SIZE, "png_source_init");
    source->buffer_size = PNG_COPY_BUFFER_SIZE;
    source->chunk_length = 0;
    source->chunk = source->buffer;
    png->idat_remaining = png->first_idat_length;
    png->idat_done = fseek(image->file, png->first_idat, SEEK_SET) != 0;
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
 * that ends inside the IDAT data ends the stream there: the check then
 * finds the Flate data cut short. */
int png_source_refill(pdf_document *document, pdf_data_source *source) {
    (void)document;
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
        size_t count = fread(source->buffer + source->chunk_length, 1, wanted, image->file);
        source->chunk_length += count;
        png->idat_remaining -= count;
        if (count != wanted) {
            png->idat_remaining = 0;
            png->idat_done = 1;
        }
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

/* The first palette entry that is more than half transparent; -1 for none. */
int png_transparent_entry(png_bytep alphas, int count) {
    for (int i = 0; alphas != NULL && i < count; i++)
        if (alphas[i] < 128) return i;
    return -1;
}

/* Colour key from the tRNS chunk. A grey or RGB key of up to 8 bits is
 * compared with the samples themselves (a /Mask array). A 16-bit key is
 * kept whole in the state: the samples stay 16 bits wide until the pixels
 * that equal it have been masked (png_mask_exact_key), since the high byte
 * alone would hide pixels that differ from the key only in the low byte.
 * A palette image keys out the first entry that is more than half
 * transparent. A stencil mask takes no key. */
void png_read_color_key(png_state *png, pdf_image *image, int color_type, int file_bit_depth) {
    png_bytep alphas = NULL;
    png_color_16p color = NULL;
    int count = 0, components = 1;
    unsigned key[3];

    if (image->colorspace == PDF_CS_IMAGEMASK ||
        !png_get_valid(png->read, png->info, PNG_INFO_tRNS) ||
        !png_get_tRNS(png->read, png->info, &alphas, &count, &color) || count < 1)
        return;
    if (color_type == PNG_COLOR_TYPE_PALETTE) {
        int entry = png_transparent_entry(alphas, count);
        image->has_key_color = entry >= 0;
        image->key_color[0] = (pdf_byte)(entry >= 0 ? entry : 0);
        return;
    }
    if (color == NULL) return;
    if (color_type == PNG_COLOR_TYPE_GRAY) {
        key[0] = color->gray;
    } else if (color_type == PNG_COLOR_TYPE_RGB) {
        key[0] = color->red;
        key[1] = color->green;
        key[2] = color->blue;
        components = 3;
    } else {
        return;
    }
    for (int c = 0; c < components; c++) {
        png->exact_key[c] = key[c];
        image->key_color[c] = (pdf_byte)(key[c] & 0xFF);
    }
    png->has_exact_key = file_bit_depth == 16;
    image->has_key_color = file_bit_depth != 16;
}

/* Hides the pixels whose 16-bit samples all equal the state's key in a
 * stencil mask, then cuts the raster's samples to their high byte in place,
 * as png_set_strip_16 would have. Returns -1 after giving up. */
int png_mask_exact_key(pdf_document *document, pdf_image *image, const char *filename) {
    const png_state *png = png_of(image);
    pdf_raster *raster = &image->raster;
    int components = image->components;
    long width = (long)image->width;
    size_t count;

    if (pdf_alloc_mask_raster(document, image, PDF_MASK_STREAM_STENCIL, "pdf_open_PNG/mask") < 0)
        return image->reader == NULL
                   ? -1
                   : png_give_up(document, image, "Error reading PNG file '%s'", filename);
    for (long y = 0; y < raster->row_count; y++) {
        const pdf_byte *samples = raster->rows + (size_t)y * raster->row_length;
        pdf_byte *mask_row = image->mask_raster.rows + (size_t)y * image->mask_raster.row_length;

        for (long x = 0; x < width; x++) {
            const pdf_byte *pixel = samples + (size_t)x * components * 2;
            int c = 0;

            while (c < components &&
                   ((unsigned)pixel[2 * c] << 8 | pixel[2 * c + 1]) == png->exact_key[c])
                c++;
            if (c == components) pdf_hide_mask_pixel(mask_row, x);
        }
    }
    count = raster->row_length * (size_t)raster->row_count / 2;
    for (size_t i = 0; i < count; i++) raster->rows[i] = raster->rows[2 * i];
    raster->row_length /= 2;
    return 0;
}

/* With "keepalpha", takes the opacity of every palette entry from the tRNS
 * chunk, for the soft mask, when one of them is not fully opaque. Returns 1
 * when it took them: the chunk then makes no colour key. */
int png_keep_palette_alpha(pdf_document *document, pdf_image *image, int color_type) {
    png_state *png = png_of(image);
    png_bytep alphas = NULL;
    png_color_16p color = NULL;
    int count = 0;

    if (!document->keep_alpha || color_type != PNG_COLOR_TYPE_PALETTE ||
        image->colorspace != PDF_CS_INDEXED ||
        !png_get_valid(png->read, png->info, PNG_INFO_tRNS) ||
        !png_get_tRNS(png->read, png->info, &alphas, &count, &color) || alphas == NULL || count < 1)
        return 0;
    if (count > (int)sizeof png->palette_alpha) count = (int)sizeof png->palette_alpha;
    for (int i = 0; i < count; i++)
        if (alphas[i] != 255) {
            memcpy(png->palette_alpha, alphas, (size_t)count);
            png->palette_alpha_count = count;
            return 1;
        }
    return 0;
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

/* True when the rows libpng decodes are the XObject's samples as they
 * stand: read in one pass, with no mask to take out of them afterwards. */
int png_rows_final(const png_state *png) {
    return png_get_interlace_type(png->read, png->info) == PNG_INTERLACE_NONE &&
           !png->has_exact_key && png->alpha_channels == 0 && png->palette_alpha_count == 0;
}

/* Decodes the rows one by one when they will be deflated on threads: the
 * threads deflate the rows decoded while libpng decodes the next ones. The
 * XObject, with all the data, is only begun once every row is decoded, so
 * that damaged data still leave nothing written. Returns 1 when it decoded
 * the image, leaving the filtering source in place; 0 when the rows are not
 * deflated so, with nothing done. */
int png_read_rows_ahead(pdf_document *document, pdf_image *image) {
    png_state *png = png_of(image);
    long height = (long)image->height;

    pdf_use_raster_source(image);
    if (!pdf_begin_filtered_rows_ahead(document, image)) return 0;
    for (long i = 0; i < height; i++) {
        png_read_row(png->read, png->row_pointers[i], NULL);
        /* Every 16 rows: often enough to keep the threads fed. */
        if (i % 16 == 15) pdf_filtered_rows_decoded(document, image, i + 1);
    }
    return 1;
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
    /* libpng merges what it decodes into the bytes already there: it leaves
     * the padding bits at the end of packed rows as they were, and so they
     * must be defined, since they go into the PDF. Rows of whole bytes read
     * in one pass are written whole. */
    if (png_get_interlace_type(png->read, png->info) != PNG_INTERLACE_NONE ||
        png_get_bit_depth(png->read, png->info) < 8)
        memset(image->raster.rows, 0, row_length * (size_t)height);
    png->row_pointers = (png_bytep *)document->malloc_proc(
        document, (size_t)height * sizeof(png_bytep), "pdf_open_PNG/pointers");
    if (png->row_pointers == NULL)
        return pdf_reader_fail(document, image, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n",
                               "pdf_open_PNG/pointers");
    for (long i = 0; i < height; i++)
        png->row_pointers[i] = image->raster.rows + (size_t)i * row_length;
    int ahead = png_rows_final(png) && png_read_rows_ahead(document, image);
    if (!ahead) png_read_image(png->read, png->row_pointers);
    /* The rows are reached through the raster from here on. */
    pdf_free(document, png->row_pointers);
    png->row_pointers = NULL;
    if (ahead) return 0;
    if (png->has_exact_key && png_mask_exact_key(document, image, filename) < 0) return -1;
    if (png->alpha_channels != 0 &&
        pdf_split_alpha(document, image, png->alpha_channels, "pdf_open_PNG/alpha") < 0)
        return image->reader == NULL
                   ? -1
                   : png_give_up(document, image, "Error reading PNG file '%s'", filename);
    if (png->palette_alpha_count != 0 &&
        pdf_palette_alpha(document, image, png->palette_alpha, png->palette_alpha_count,
                          "pdf_open_PNG/alpha") < 0)
        return image->reader == NULL
                   ? -1
                   : png_give_up(document, image, "Error reading PNG file '%s'", filename);
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
    /* 16-bit samples are cut to 8 (png_read_and_write). */
    image->bits_per_component = bit_depth == 16 ? 8 : bit_depth;
    return color_type;
}

/* Drops the alpha channel, or with "keepalpha" keeps it for the soft mask:
 * `channels` samples per pixel then reach the raster. */
void png_handle_alpha(pdf_document *document, png_state *png, int channels) {
    if (document->keep_alpha)
        png->alpha_channels = channels;
    else
        png_set_strip_alpha(png->read);
}

/* Grey, RGB or palette by the colour type, alpha dropped or kept; the
 * palette is copied into the state. Returns -1 after giving up. */
int png_choose_colorspace(pdf_document *document, pdf_image *image, const char *filename,
                          int color_type) {
    png_state *png = png_of(image);
    png_colorp palette = NULL;
    int count = 0;
    switch (color_type) {
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            png_handle_alpha(document, png, 2);
            /* fall through */
        case PNG_COLOR_TYPE_GRAY:
            /* An sBIT chunk only says how many bits were significant in the
             * original; the samples already span the full range of the bit
             * depth, which is what the PDF declares, so they stay unshifted. */
            image->components = 1;
            image->colorspace = PDF_CS_DEVICEGRAY;
            return 0;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            png_handle_alpha(document, png, 4);
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

/* Tells whether the IDAT data that the file allows to pass through do
 * decode, on the pass-through handle `second`. If so it becomes the slot's
 * file; if not, libpng's handle stays the slot's file, and the damage goes
 * into `context` for the message should libpng fail as well. */
int png_idat_data_pass(pdf_document *document, pdf_image *image, FILE *second,
                       png_reader_context *context) {
    png_state *png = png_of(image);
    png->libpng_file = image->file;
    image->file = second;
    image->predictor = 15;
    image->compression = PDF_COMPRESSION_FLATE;
    pdf_set_image_source(image, &png_source);
    if (pdf_check_source(document, image, context->damage, sizeof context->damage)) {
        image->data_checked = 1;
        fclose(png->libpng_file);
        png->libpng_file = NULL;
        return 1;
    }
    fclose(second);
    image->file = png->libpng_file;
    png->libpng_file = NULL;
    image->pass_through = 0;
    return 0;
}

/* Passes the IDAT data through when the file allows it and they decode, on
 * a handle of their own; decodes the image otherwise. Returns -1 after
 * giving up. */
int png_choose_road(pdf_document *document, pdf_image *image, const char *filename) {
    png_state *png = png_of(image);
    png_reader_context *context = (png_reader_context *)png_get_error_ptr(png->read);
    /* An alpha kept for the soft mask needs the decoded pixels. */
    FILE *second = png->alpha_channels != 0 || png->palette_alpha_count != 0
                       ? NULL
                       : png_pass_through_test(image, filename);
    if (second != NULL && png_idat_data_pass(document, image, second, context)) return 0;
    image->predictor = 1;
    image->compression = PDF_COMPRESSION_NONE;
    return png_decode(document, image, filename);
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
    if (!ignore_mask && !png_keep_palette_alpha(document, image, color_type))
        png_read_color_key(png, image, color_type, file_bit_depth);
    /* libpng cuts 16-bit samples to their high byte, unless an exact key
     * needs them whole first. */
    if (file_bit_depth == 16 && !png->has_exact_key) png_set_strip_16(png->read);
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
    /* A wrong checksum at the end of the IDAT data is the one fault after
     * which every sample is there; libpng decodes such data (which cannot
     * pass through) instead of stopping at the end. */
    if (png->info != NULL) png_set_option(png->read, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
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
        if (context.damage[0] != '\0')
            return png_give_up(document, image, "Corrupt image data in file '%s' (%s)", filename,
                               context.damage);
        return png_give_up(document, image, "Error reading PNG file '%s'", filename);
    }
    context.armed = 1;
    png_skip_unused_chunks(png_of(image)->read);
    return png_read_and_write(document, slot, filename, stringparam, intparam);
}
