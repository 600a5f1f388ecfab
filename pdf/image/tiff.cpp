/*
 * tiff.cpp -- the TIFF reader.
 *
 * One directory (page) of a TIFF file becomes one image XObject, or one
 * XObject per strip. Strips whose compression PDF can decode itself (CCITT
 * fax, LZW, Deflate, PackBits) are copied into the output unchanged, each
 * strip as a band of its own; everything else is decoded by libtiff into a
 * raster of four bytes per pixel and handed over as 8-bit rows, which the
 * XObject writer deflates.
 *
 * The reader holds the libtiff handle, a palette, the decode parameters and
 * the raster in the image slot while it runs. Because an error handler may
 * leave through any fatal pdf_error call, every fatal report made here is
 * preceded by tiff_release, which closes the handle and frees all of them;
 * the reader's own allocations go through tiff_malloc for the same reason,
 * and while the XObjects are written a handler of the reader's own does the
 * same for errors raised by the output side. libtiff's own memory comes
 * from libtiff's allocator.
 */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <tiffio.h>

#include "../core/output.h"
#include "../draw/colorspace.h"
#include "readers.h"
#include "xobject.h"

/* Size of the decode-parameter text and of the palette block. */
#define TIFF_PARAMS_SIZE 128
#define TIFF_PALETTE_SIZE 768
/* Largest width or height accepted: a float holds every integer up to it. */
#define TIFF_MAX_DIMENSION (1UL << 24)
/* Largest raster decoded into memory, four bytes per pixel. */
#define TIFF_MAX_RASTER_BYTES ((unsigned long long)1 << 30)

/* TIFF tag values used below that tiff.h names only in part. */
enum { TIFF_PHOTOMETRIC_ABSENT = 255 };

/* The reader keeps the caller's file name in `reader_data` (for messages
 * raised while the XObject is written, before `file_name` is set) and the
 * fill order in `reader_value`. */
static const char *tiff_name(const pdf_image *image)
{
    return image->reader_data != NULL ? (const char *)image->reader_data : "";
}

/* ---- Releasing what the reader holds ------------------------------------ */

/* Closes the libtiff handle and frees the raster, the palette, the decode
 * parameters and the source's buffer; every pointer is cleared, so the call
 * may be repeated. */
static void tiff_release(pdf_document *document, pdf_image *image)
{
    if (image->tiff != NULL) {
        TIFFClose((TIFF *)image->tiff);
        image->tiff = NULL;
    }
    if (image->tiff_raster != NULL) {
        pdf_free(document, image->tiff_raster);
        image->tiff_raster = NULL;
    }
    if (image->palette != NULL) {
        pdf_free(document, image->palette);
        image->palette = NULL;
    }
    pdf_free_text(document, &image->decode_params_text);
    if (image->source.buffer != NULL) {
        pdf_free(document, image->source.buffer);
        image->source.buffer = NULL;
        image->source.buffer_size = 0;
    }
}

/* Allocates through the document's hook without letting pdf_malloc report a
 * failure itself: the reader releases what it holds first and then reports
 * the same memory error. */
static void *tiff_malloc(pdf_document *document, pdf_image *image, size_t size,
                         const char *routine)
{
    void *block = document->malloc_proc(document, size, routine);

    if (block == NULL) {
        tiff_release(document, image);
        pdf_error(document, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n",
                  routine);
    }
    return block;
}

/* Failures end through pdf_reader_fail, releasing all the reader holds. */
#define tiff_give_up(document, image, ...) \
    pdf_reader_fail(document, image, tiff_release, PDF_ERR_NONFATAL, __VA_ARGS__)
#define tiff_parameter_error(document, image, ...) \
    pdf_reader_fail(document, image, tiff_release, PDF_ERR_VALUE, __VA_ARGS__)

/* While XObjects are written, an error that leaves the writer (a failed
 * allocation, a failed write) leaves the reader's state to the slot's
 * release. */
static void tiff_begin_writing(pdf_document *document, pdf_image *image)
{
    (void)document;
    image->release_reader = tiff_release;
}

static void tiff_end_writing(pdf_document *document, pdf_image *image)
{
    (void)document;
    image->release_reader = NULL;
}

/* ---- Data source --------------------------------------------------------- */

/* Pass-through images deliver one raw strip per band; decoded images one
 * row of `components` bytes per refill. */
static void tiff_source_init(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;

    if (image->band_count == 1)
        image->current_band = 0;
    if (image->pass_through) {
        source->buffer = NULL;
        source->buffer_size = 0;
    } else {
        source->buffer_size = (size_t)image->components * (size_t)image->width;
        source->buffer = (pdf_byte *)tiff_malloc(
            document, image, source->buffer_size, "tiff_source_init");
    }
}

/* Each band's XObject receives exactly its own strip. */
static void tiff_strip_done(pdf_image *image)
{
    if (image->band_count < 2)
        image->current_band++;
    else
        image->current_band = image->band_count;
}

/* Delivers strip `current_band` unchanged (bit-reversed for fill order 2).
 * A strip that cannot be read is an I/O error; the handle is closed and the
 * buffers freed before it is raised. */
static int tiff_fill_strip(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;
    TIFF *tif = (TIFF *)image->tiff;
    uint32_t strip = (uint32_t)image->current_band;
    size_t count;

    if (tif == NULL || image->current_band >= image->band_count)
        return 0;

    /* The counts were checked against the file's size when it was opened. */
    count = (size_t)TIFFGetStrileByteCount(tif, strip);
    if (source->buffer_size < count) {
        pdf_byte *grown = (pdf_byte *)document->realloc_proc(
            document, source->buffer, count, "tiff_source_refill");
        if (grown == NULL) {
            tiff_release(document, image);
            pdf_error(document, PDF_ERR_MEMORY,
                      "Couldn't reallocate memory in %s!\n",
                      "tiff_source_refill");
            return 0;
        }
        source->buffer = grown;
        source->buffer_size = count;
    }

    if (count == 0 ||
        TIFFReadRawStrip(tif, strip, source->buffer, (tmsize_t)count) !=
            (tmsize_t)count) {
        tiff_release(document, image);
        pdf_error(document, PDF_ERR_IO, "TIFF file damaged");
        return 0;
    }

    source->chunk = source->buffer;
    source->chunk_length = count;
    if (image->reader_value == FILLORDER_LSB2MSB)
        TIFFReverseBits(source->buffer, (tmsize_t)count);
    tiff_strip_done(image);
    return 1;
}

/* Copies strip `current_band` (set by tiff_write_bands) file to file when
 * it needs no change (fill order 1). */
static int tiff_copy_direct(pdf_document *document, pdf_image *image)
{
    TIFF *tif = (TIFF *)image->tiff;
    uint32_t strip = (uint32_t)image->current_band;
    long long count, copied;

    if (tif == NULL || image->reader_value == FILLORDER_LSB2MSB ||
        image->current_band >= image->band_count)
        return 0;
    count = (long long)TIFFGetStrileByteCount(tif, strip);
    if (count == 0)
        return 0;
    copied = pdf_copy_file_range(document, TIFFFileno(tif),
                                 (long long)TIFFGetStrileOffset(tif, strip), count);
    if (copied < 0)
        return 0;
    if (copied != count) {
        tiff_release(document, image);
        pdf_error(document, PDF_ERR_IO, "TIFF file damaged");
        return 1;
    }
    tiff_strip_done(image);
    return 1;
}

/* Delivers output row `current_band` from the raster, which holds the
 * bottom row first. RGBA pixels give their red (grey) byte or their red,
 * green and blue bytes; CMYK pixels are delivered as stored. */
static int tiff_fill_row(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;
    long width = (long)image->width;
    long height = (long)image->height;
    long row = image->current_band++;
    const uint32_t *pixels;
    pdf_byte *out = source->buffer;
    long x;

    if (row >= height || image->tiff_raster == NULL)
        return 0;
    pixels = image->tiff_raster + (size_t)(height - 1 - row) * (size_t)width;

    switch (image->components) {
    case 1:
        for (x = 0; x < width; x++)
            out[x] = (pdf_byte)TIFFGetR(pixels[x]);
        break;
    case 3:
        for (x = 0; x < width; x++) {
            out[3 * x] = (pdf_byte)TIFFGetR(pixels[x]);
            out[3 * x + 1] = (pdf_byte)TIFFGetG(pixels[x]);
            out[3 * x + 2] = (pdf_byte)TIFFGetB(pixels[x]);
        }
        break;
    case 4:
        memcpy(out, pixels, (size_t)width * 4);
        break;
    default: {
        int components = image->components;

        tiff_release(document, image);
        pdf_error(document, PDF_ERR_SYSTEM,
                  "Unknown color space in TIFF image %s (%d components)",
                  tiff_name(image), components);
        return 0;
    }
    }

    source->chunk = source->buffer;
    source->chunk_length = source->buffer_size;
    return 1;
}

static int tiff_source_refill(pdf_document *document, pdf_data_source *source)
{
    pdf_image *image = (pdf_image *)source->context;

    return image->pass_through ? tiff_fill_strip(document, source)
                               : tiff_fill_row(document, source);
}

static void tiff_source_release(pdf_document *document, pdf_data_source *source)
{
    if (source->buffer != NULL)
        pdf_free(document, source->buffer);
    source->buffer = NULL;
    source->buffer_size = 0;
}

static const pdf_source_operations tiff_source = {
    tiff_source_init, tiff_source_refill, tiff_source_release
};

static void tiff_install_source(pdf_image *image)
{
    image->source.operations = &tiff_source;
    image->source.context = image;
    image->copy_direct = tiff_copy_direct;
}

/* ---- Opening ------------------------------------------------------------- */

/* What the reader learns from the directory's tags. */
typedef struct {
    uint16_t photometric;
    uint16_t bits;
    uint16_t samples;
    uint16_t compression;
    uint16_t extra_count;
    uint16_t planar;
    int tiled;
    uint32_t width;
    uint32_t height;
} tiff_layout;

/* Starts the decode-parameter text with `text`. */
static void tiff_set_params(pdf_document *document, pdf_image *image,
                            const char *text)
{
    image->decode_params_text = (char *)tiff_malloc(
        document, image, TIFF_PARAMS_SIZE, "pdf_open_TIFF_data");
    strcpy(image->decode_params_text, text);
}

/* Marks the image for strip pass-through with `compression`. The band
 * layout is worked out later from the rows per strip. */
static void tiff_pass_strips(pdf_image *image, int compression)
{
    image->compression = (pdf_byte)compression;
    image->pass_through = 1;
}

/* CCITT strips pass through as one-bit data with the decode parameters
 * already set. */
static void tiff_pass_ccitt(pdf_image *image)
{
    tiff_pass_strips(image, PDF_COMPRESSION_CCITT);
    image->bits_per_component = 1;
}

/* Reads tag 317 into `predictor`. Returns 0 for a value PDF cannot undo. */
static int tiff_read_predictor(TIFF *tif, pdf_image *image, uint16_t *value)
{
    uint16_t predictor;

    if (!TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor))
        return 1;
    *value = predictor;
    if (predictor != PREDICTOR_NONE && predictor != PREDICTOR_HORIZONTAL)
        return 0;
    image->predictor = (pdf_byte)predictor;
    return 1;
}

/* Decides by compression whether the strips pass through (filling the
 * compression, decode parameters, predictor and inversion) or the image is
 * decoded. Returns -1 after giving up. */
static int tiff_choose_path(pdf_document *document, pdf_image *image,
                            const char *filename, const tiff_layout *layout,
                            int *photometric_inversion)
{
    TIFF *tif = (TIFF *)image->tiff;
    int separate = layout->planar == PLANARCONFIG_SEPARATE && layout->samples > 1;
    int extra = layout->extra_count > 0;
    uint16_t predictor = 0;
    uint32_t t4_options;

    *photometric_inversion = 0;
    switch (layout->compression) {
    case COMPRESSION_NONE:
        if (!separate && !layout->tiled && extra)
            return tiff_give_up(document, image,
                "Can't handle TIFF file '%s' with alpha channel", filename);
        break;

    /* Fax data describe one-bit pixels of one sample; anything else is
     * left to libtiff. */
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
        if (layout->tiled || layout->samples != 1)
            break;
        tiff_set_params(document, image, "/EndOfBlock false");
        strcat(image->decode_params_text, "/EncodedByteAlign true");
        if (layout->photometric == PHOTOMETRIC_MINISBLACK)
            strcat(image->decode_params_text, "/BlackIs1 true");
        tiff_pass_ccitt(image);
        break;

    case COMPRESSION_CCITTFAX3:
        if (layout->tiled || layout->samples != 1)
            break;
        tiff_set_params(document, image, "");
        if (TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &t4_options) &&
            (t4_options & GROUP3OPT_2DENCODING))
            strcat(image->decode_params_text, "/K 1");
        if (layout->photometric == PHOTOMETRIC_MINISBLACK)
            strcat(image->decode_params_text, "/BlackIs1 true");
        tiff_pass_ccitt(image);
        break;

    case COMPRESSION_CCITTFAX4:
        if (layout->tiled || layout->samples != 1)
            break;
        tiff_set_params(document, image, "/K -1");
        if (layout->photometric == PHOTOMETRIC_MINISBLACK)
            strcat(image->decode_params_text, "/BlackIs1 true");
        tiff_pass_ccitt(image);
        break;

    case COMPRESSION_LZW:
        if (!tiff_read_predictor(tif, image, &predictor))
            return tiff_give_up(document, image,
                "Bad predictor tag (%d) in TIFF file '%s'", predictor, filename);
        if (layout->tiled)
            return tiff_give_up(document, image,
                "Can't handle LZW-compressed tiled TIFF file '%s'", filename);
        if (separate)
            return tiff_give_up(document, image,
                "Can't handle LZW-compressed TIFF file '%s' with separate planes",
                filename);
        if (extra)
            return tiff_give_up(document, image,
                "Can't handle LZW-compressed TIFF file '%s' with alpha channel",
                filename);
        *photometric_inversion = layout->photometric == PHOTOMETRIC_MINISWHITE;
        tiff_pass_strips(image, PDF_COMPRESSION_LZW);
        break;

    case COMPRESSION_JPEG:
        return tiff_give_up(document, image,
            "Can't handle JPEG-compressed TIFF file '%s'", filename);

    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        if (extra || separate || layout->tiled)
            return tiff_give_up(document, image,
                "Can't handle flate-compressed TIFF file '%s' with extra channel",
                filename);
        if (!tiff_read_predictor(tif, image, &predictor))
            return tiff_give_up(document, image,
                "Unknown predictor %d in TIFF file '%s'", predictor, filename);
        /* Samples of a white-is-zero file mean the same whatever their
         * compression: Deflate data need the inversion as much as LZW. */
        *photometric_inversion = layout->photometric == PHOTOMETRIC_MINISWHITE;
        tiff_pass_strips(image, PDF_COMPRESSION_FLATE);
        break;

    case COMPRESSION_PACKBITS:
        if (extra || separate || layout->tiled)
            break;
        *photometric_inversion = layout->photometric == PHOTOMETRIC_MINISWHITE;
        tiff_pass_strips(image, PDF_COMPRESSION_RUNLENGTH);
        break;

    default:
        break;
    }

    if (!image->pass_through) {
        image->compression = PDF_COMPRESSION_NONE;
        image->bits_per_component = 8;
        image->predictor = 1;
    }
    if (*photometric_inversion)
        image->inverted = !image->inverted;
    return 0;
}

/* Undoes a pass-through decision: the image is decoded after all. */
static void tiff_decode_instead(pdf_document *document, pdf_image *image,
                                int photometric_inversion)
{
    if (photometric_inversion)
        image->inverted = !image->inverted;
    pdf_free_text(document, &image->decode_params_text);
    image->pass_through = 0;
    image->compression = PDF_COMPRESSION_NONE;
    image->bits_per_component = 8;
    image->predictor = 1;
    image->band_count = 1;
    image->rows_per_band = 1;
}

/* Applies the string parameter. Sets *colorspace_set when "colorize" or
 * "mask" chose the colour space. Returns -1 after a parameter error. */
static int tiff_apply_parameter(pdf_document *document, pdf_image *image,
                                const char *filename, const char *stringparam,
                                int intparam, int *colorspace_set)
{
    if (stringparam == NULL || *stringparam == '\0' ||
        strcmp(stringparam, "page") == 0)
        return 0;

    if (strcmp(stringparam, "colorize") == 0) {
        if (pdf_apply_colorize(document, image, tiff_release, "TIFF", filename,
                               intparam) < 0)
            return -1;
        *colorspace_set = 1;
        return 0;
    }

    if (strcmp(stringparam, "mask") == 0) {
        if (image->components != 1 || image->bits_per_component != 1)
            return tiff_parameter_error(document, image,
                "Can't handle TIFF image mask with more than 1 bit");
        image->colorspace = PDF_CS_IMAGEMASK;
        *colorspace_set = 1;
        return 0;
    }

    if (strcmp(stringparam, "masked") == 0) {
        if (pdf_apply_masked(document, image, tiff_release, filename, intparam) < 0)
            return -1;
        if (image->band_count != 1)
            return tiff_parameter_error(document, image,
                                        "Can't mask multistrip TIFF image");
        return 0;
    }

    if (strcmp(stringparam, "invert") == 0) {
        image->inverted = !image->inverted;
        return 0;
    }

    return tiff_parameter_error(document, image,
        "Unknown parameter %s in pdf_open_TIFF", stringparam);
}

/* Works out the bands of a pass-through image: one per strip, as many as
 * the rows per strip need to cover the height exactly once. Strips beyond
 * those are never read. Each strip's byte count must lie within the file.
 * Returns -1 after giving up. */
static int tiff_plan_bands(pdf_document *document, pdf_image *image,
                           const char *filename, const tiff_layout *layout)
{
    TIFF *tif = (TIFF *)image->tiff;
    uint32_t rows_per_strip = 0;
    uint32_t bands, strip;
    struct stat info;

    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    if (rows_per_strip == 0 || rows_per_strip > layout->height)
        rows_per_strip = layout->height;
    bands = layout->height / rows_per_strip +
            (layout->height % rows_per_strip != 0);

    if (TIFFNumberOfStrips(tif) < bands ||
        fstat(TIFFFileno(tif), &info) != 0)
        return tiff_give_up(document, image,
            "Couldn't read image data from TIFF file '%s'", filename);
    for (strip = 0; strip < bands; strip++) {
        uint64_t count = TIFFGetStrileByteCount(tif, strip);

        if (count == 0 || count > (uint64_t)info.st_size)
            return tiff_give_up(document, image,
                "Couldn't read image data from TIFF file '%s'", filename);
    }

    image->band_count = (int)bands;
    image->rows_per_band = (int)rows_per_strip;
    return 0;
}

/* Builds the palette of a pass-through palette image. Returns -1 after
 * giving up. */
static int tiff_make_palette(pdf_document *document, pdf_image *image,
                             const char *filename)
{
    TIFF *tif = (TIFF *)image->tiff;
    uint16_t *red, *green, *blue;
    int count = 1 << image->bits_per_component;
    int sixteen_bit = 0;
    int i;

    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        return tiff_give_up(document, image,
            "Couldn't read colormap from colormapped file '%s'", filename);

    image->colorspace = PDF_CS_INDEXED;
    image->components = 1;
    image->palette_count = count;
    image->palette = (pdf_byte *)tiff_malloc(document, image, TIFF_PALETTE_SIZE,
                                             "pdf_open_TIFF_data");

    /* Old files store 8-bit values in the 16-bit map. */
    for (i = 0; i < count; i++)
        if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256)
            sixteen_bit = 1;
    for (i = 0; i < count; i++) {
        unsigned long r = red[i], g = green[i], b = blue[i];

        if (sixteen_bit) {
            r = r * 255 / 65535;
            g = g * 255 / 65535;
            b = b * 255 / 65535;
        }
        image->palette[3 * i] = (pdf_byte)r;
        image->palette[3 * i + 1] = (pdf_byte)g;
        image->palette[3 * i + 2] = (pdf_byte)b;
    }
    return 0;
}

/* Writes one XObject per strip, top band first, and leaves `xobject_index`
 * on the first. Returns -1 when a damaged strip ended the writing. */
static int tiff_write_bands(pdf_document *document, int slot)
{
    pdf_image *image = &document->images->slots[slot];
    float full_height = image->height;
    long height = (long)full_height;
    int first_index = -1;
    int band;

    tiff_begin_writing(document, image);
    for (band = 0; band < image->band_count; band++) {
        long rows_done = (long)band * image->rows_per_band;
        long rows = height - rows_done;

        if (rows > image->rows_per_band)
            rows = image->rows_per_band;
        image->height = (float)rows;
        image->current_band = band;
        tiff_install_source(image);
        pdf_write_image_xobject(document, slot, band == 0);
        if (image->tiff == NULL) {
            tiff_end_writing(document, image);
            return -1;
        }
        if (band == 0)
            first_index = image->xobject_index;
    }
    tiff_end_writing(document, image);

    if (image->palette != NULL) {
        pdf_free(document, image->palette);
        image->palette = NULL;
    }
    image->height = full_height;
    image->xobject_index = first_index;
    return 0;
}

/* Swaps the handle for one that reads through a memory map, at the same
 * directory. The reader opens files unmapped: pass-through images need only
 * their raw strips, and mapping every file costs more than reading them.
 * Decoding stays on libtiff's mapped road, which some layouts need
 * (uncompressed tiles fail to decode when read unmapped). Returns -1 after
 * giving up. */
static int tiff_reopen_mapped(pdf_document *document, pdf_image *image,
                              const char *filename)
{
    tdir_t directory = TIFFCurrentDirectory((TIFF *)image->tiff);

    TIFFClose((TIFF *)image->tiff);
    image->tiff = TIFFOpen(filename, "r");
    if (image->tiff == NULL || !TIFFSetDirectory((TIFF *)image->tiff, directory))
        return tiff_give_up(document, image,
            "Couldn't read image data from TIFF file '%s'", filename);
    return 0;
}

/* Decodes the whole image into `tiff_raster`, bottom row first: CMYK files
 * of 8-bit contiguous samples by scanlines, kept as CMYK; everything else
 * through libtiff's RGBA interface. Returns -1 after giving up. */
static int tiff_decode(pdf_document *document, pdf_image *image,
                       const char *filename, const tiff_layout *layout)
{
    TIFF *tif;
    size_t width = layout->width;
    size_t height = layout->height;
    unsigned long long bytes = (unsigned long long)width * height * 4;

    if (bytes > TIFF_MAX_RASTER_BYTES)
        return tiff_give_up(document, image,
            "TIFF file '%s' is too large to decode (%lu x %lu pixels)",
            filename, (unsigned long)width, (unsigned long)height);
    if (tiff_reopen_mapped(document, image, filename) < 0)
        return -1;
    tif = (TIFF *)image->tiff;

    image->tiff_raster = (uint32_t *)tiff_malloc(document, image, (size_t)bytes,
                                                 "pdf_open_TIFF");
    if (image->colorspace == PDF_CS_DEVICECMYK) {
        pdf_byte *raster = (pdf_byte *)image->tiff_raster;
        uint32_t row;

        if (TIFFScanlineSize(tif) != (tmsize_t)(width * 4))
            return tiff_give_up(document, image,
                "Couldn't read image data from TIFF file '%s'", filename);
        for (row = 0; row < height; row++)
            if (TIFFReadScanline(tif, raster + (height - 1 - row) * width * 4,
                                 row, 0) < 0)
                return tiff_give_up(document, image,
                    "Couldn't read image data from TIFF file '%s'", filename);
    } else if (!TIFFReadRGBAImage(tif, layout->width, layout->height,
                                  image->tiff_raster, 1)) {
        return tiff_give_up(document, image,
            "Couldn't read image data from TIFF file '%s'", filename);
    }
    return 0;
}

int pdf_open_TIFF(pdf_document *document, int slot, const char *filename,
                  const char *stringparam, int intparam)
{
    pdf_image *image = &document->images->slots[slot];
    tiff_layout layout;
    TIFF *tif;
    uint16_t *extra_types = NULL;
    uint16_t fill_order = FILLORDER_MSB2LSB;
    uint16_t unit = RESUNIT_INCH;
    uint16_t ink_set = INKSET_CMYK;
    uint16_t *colormap[3];
    float resolution_x, resolution_y;
    int photometric_inversion = 0;
    int colorspace_set = 0;

    memset(&layout, 0, sizeof layout);
    image->tiff = NULL;
    image->tiff_raster = NULL;
    image->release_reader = NULL;
    image->palette = NULL;
    image->decode_params_text = NULL;
    image->source.buffer = NULL;
    image->source.buffer_size = 0;
    image->reader_data = (void *)filename;
    image->reader_value = FILLORDER_MSB2LSB;
    image->compression = PDF_COMPRESSION_NONE;
    image->pass_through = 0;
    image->predictor = 1;
    image->inverted = 0;
    image->has_key_color = 0;
    image->mask_image = -1;
    image->resolution_x = 0;
    image->resolution_y = 0;
    image->band_count = 1;
    image->rows_per_band = 1;

    /* libtiff reports nothing of its own. Opened unmapped ("m"); see
     * tiff_reopen_mapped. */
    TIFFSetErrorHandler(NULL);
    TIFFSetWarningHandler(NULL);
    tif = TIFFOpen(filename, "rm");
    if (tif == NULL)
        return tiff_give_up(document, image,
            "Couldn't open TIFF file '%s' (file not found or bad structure)",
            filename);
    image->tiff = tif;

    /* Pages count from 1; a page that is not there is no error. */
    if (stringparam != NULL && strcmp(stringparam, "page") == 0 &&
        (intparam < 1 || !TIFFSetDirectory(tif, (tdir_t)(intparam - 1)))) {
        tiff_release(document, image);
        return -1;
    }

    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout.photometric))
        layout.photometric = TIFF_PHOTOMETRIC_ABSENT;
    if (layout.photometric == PHOTOMETRIC_MASK ||
        layout.photometric == PHOTOMETRIC_YCBCR ||
        layout.photometric == PHOTOMETRIC_CIELAB)
        return tiff_give_up(document, image,
            "Can't handle TIFF file '%s' due to unsupported color space (%d)",
            filename, layout.photometric);

    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &layout.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &layout.extra_count,
                          &extra_types);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &layout.planar);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &fill_order);
    layout.tiled = TIFFIsTiled(tif);

    if (layout.bits != 1 && layout.bits != 2 && layout.bits != 4 &&
        layout.bits != 8)
        return tiff_give_up(document, image,
            "Can't handle TIFF file '%s' (PDF doesn't support %d bit color depth)",
            filename, layout.bits);
    if (layout.width == 0 || layout.height == 0 ||
        layout.width > TIFF_MAX_DIMENSION || layout.height > TIFF_MAX_DIMENSION)
        return tiff_give_up(document, image,
            "Can't handle TIFF file '%s' (bad image size %lu x %lu)", filename,
            (unsigned long)layout.width, (unsigned long)layout.height);

    image->width = (float)layout.width;
    image->height = (float)layout.height;
    image->components = layout.samples;
    image->bits_per_component = layout.bits;
    image->reader_value = fill_order;

    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution_x) &&
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &resolution_y) &&
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit) &&
        resolution_x > 0 && resolution_y > 0) {
        if (unit == RESUNIT_INCH) {
            image->resolution_x = resolution_x;
            image->resolution_y = resolution_y;
        } else if (unit == RESUNIT_CENTIMETER) {
            image->resolution_x = (float)(resolution_x * 2.54);
            image->resolution_y = (float)(resolution_y * 2.54);
        } else if (unit == RESUNIT_NONE) {
            /* Only the aspect ratio is known. */
            image->resolution_x = -resolution_x;
            image->resolution_y = -resolution_y;
        }
    }

    /* With "passthrough" off only LZW data still pass through. */
    if (document->debug['P'] && layout.compression != COMPRESSION_LZW)
        layout.compression = COMPRESSION_NONE;
    if (tiff_choose_path(document, image, filename, &layout,
                         &photometric_inversion) < 0)
        return -1;
    if (image->pass_through &&
        tiff_plan_bands(document, image, filename, &layout) < 0)
        return -1;

    if (!image->pass_through && image->components == 1 &&
        TIFFGetField(tif, TIFFTAG_COLORMAP, &colormap[0], &colormap[1],
                     &colormap[2]))
        image->components = 3;

    if (tiff_apply_parameter(document, image, filename, stringparam, intparam,
                             &colorspace_set) < 0)
        return -1;

    switch (image->components) {
    case 1:
        if (!colorspace_set)
            image->colorspace = PDF_CS_DEVICEGRAY;
        break;
    case 3:
        image->colorspace = PDF_CS_DEVICERGB;
        break;
    case 4:
        if (layout.photometric == PHOTOMETRIC_SEPARATED) {
            TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &ink_set);
            if (ink_set != INKSET_CMYK)
                return tiff_give_up(document, image,
                    "Can't handle separated TIFF file '%s' with inkset "
                    "different from CMYK", filename);
            image->colorspace = PDF_CS_DEVICECMYK;
        } else {
            /* Four samples that are not CMYK are colour and alpha, which
             * only libtiff's decoding turns into three components. */
            if (image->pass_through)
                tiff_decode_instead(document, image, photometric_inversion);
            image->components = 3;
            image->colorspace = PDF_CS_DEVICERGB;
            image->compression = PDF_COMPRESSION_NONE;
        }
        break;
    default:
        return tiff_give_up(document, image,
            "Bad number of color components (%d) in TIFF file '%s'",
            image->components, filename);
    }

    /* CMYK is decoded by whole scanlines of four 8-bit samples per pixel.
     * Separated files laid out otherwise go through libtiff's RGBA
     * conversion, which takes 8-bit samples only. */
    if (!image->pass_through && image->colorspace == PDF_CS_DEVICECMYK) {
        if (layout.bits != 8)
            return tiff_give_up(document, image,
                "Can't handle separated TIFF file '%s' with %d bits per sample",
                filename, layout.bits);
        if (layout.planar == PLANARCONFIG_SEPARATE || layout.tiled) {
            image->components = 3;
            image->colorspace = PDF_CS_DEVICERGB;
        }
    }

    tiff_install_source(image);

    if (image->pass_through) {
        if (layout.photometric == PHOTOMETRIC_PALETTE &&
            tiff_make_palette(document, image, filename) < 0)
            return -1;
        if (tiff_write_bands(document, slot) < 0)
            return -1;
    } else {
        if (tiff_decode(document, image, filename, &layout) < 0)
            return -1;
        /* The raster holds everything now. */
        TIFFClose((TIFF *)image->tiff);
        image->tiff = NULL;
        image->current_band = 0;
        image->rows_per_band = (int)layout.height;
        tiff_begin_writing(document, image);
        pdf_write_image_xobject(document, slot, 1);
        tiff_end_writing(document, image);
        if (image->tiff_raster != NULL) {
            pdf_free(document, image->tiff_raster);
            image->tiff_raster = NULL;
        }
    }

    if (image->tiff != NULL) {
        TIFFClose((TIFF *)image->tiff);
        image->tiff = NULL;
    }
    image->reader_data = NULL;
    image->occupied = 1;
    image->file_name = pdf_strdup(document, filename);
    return slot;
}
