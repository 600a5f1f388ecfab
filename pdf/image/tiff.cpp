/*
 * tiff.cpp -- the TIFF reader.
 *
 * One directory (page) of a TIFF file becomes one image XObject, or one
 * XObject per strip. Strips whose compression PDF can decode itself (CCITT
 * fax, LZW, Deflate, PackBits) are copied into the output unchanged, each
 * strip as a band of its own; LZW and Deflate strips are decoded once
 * before the first XObject is begun, and strips that do not decode as PDF
 * would decode them send the image down the decoding road instead.
 * Everything else is decoded by libtiff into the slot's raster (decoded.h),
 * whose rows the XObject writer deflates: YCbCr through libtiff's RGBA
 * interface, all other files sample by sample (tiff_samples.h).
 *
 * The reader's state holds the libtiff handle and the palette; like every
 * reader's, it is released whichever way the reader ends (reader.h). Each handle reports libtiff's
 * errors to the state that opened it, so that documents on different threads keep their messages
 * apart. libtiff's own memory comes from libtiff's allocator.
 */
#include "tiff.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <tiffio.h>

#include "../core/output.h"
#include "../draw/colorspace.h"
#include "decoded.h"
#include "reader.h"
#include "soft_mask.h"
#include "stream_check.h"
#include "tiff_samples.h"
#include "xobject.h"

/* Size of the decode-parameter text. */
#define TIFF_PARAMS_SIZE 128
/* Largest width or height accepted: a float holds every integer up to it. */
#define TIFF_MAX_DIMENSION (1UL << 24)
/* The largest side of a JPEG image libjpeg decodes. */
#define TIFF_MAX_JPEG_DIMENSION 65500UL
/* Room for the reason an image's data could not be read. */
#define TIFF_DAMAGE_SIZE 160

namespace {

/* TIFF tag values used below that tiff.h names only in part. */
enum { TIFF_PHOTOMETRIC_ABSENT = 255 };

/* The reader's state. */
typedef struct {
    TIFF *tif;
    uint16_t fill_order; /* FILLORDER_LSB2MSB: strips are bit-reversed */
    int current_band;    /* the strip the source delivers next */
    /* The first error libtiff reported, or why the strips cannot pass. */
    char damage[TIFF_DAMAGE_SIZE];
    pdf_byte palette[PDF_PALETTE_SIZE];
} tiff_state;

/* What the reader learns from the directory's tags. */
typedef struct {
    uint16_t photometric;
    uint16_t bits;
    uint16_t samples;
    uint16_t compression;
    uint16_t extra_count;
    uint16_t extra_type; /* of the first extra sample */
    uint16_t sample_format;
    uint16_t planar;
    int tiled;
    uint32_t width;
    uint32_t height;
} tiff_layout;

tiff_state *tiff_of(pdf_image *image) {
    return (tiff_state *)image->reader;
}

void tiff_release(pdf_document *document, pdf_image *image) {
    (void)document;
    tiff_state *tiff = tiff_of(image);
    if (tiff->tif != NULL) {
        TIFFClose(tiff->tif);
        tiff->tif = NULL;
    }
}

int tiff_copy_direct(pdf_document *document, pdf_image *image);

const pdf_reader_operations tiff_reader = {tiff_release, tiff_copy_direct};

/* Failures end through pdf_reader_fail, releasing all the reader holds. */
#define tiff_give_up(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_NONFATAL, __VA_ARGS__)
#define tiff_parameter_error(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_VALUE, __VA_ARGS__)

/* Gives up on data that cannot be read, with the reason when one is
 * known: the check's, or the first error libtiff reported. */
int tiff_give_up_on_data(pdf_document *document, pdf_image *image, const char *filename) {
    const char *reason = tiff_of(image)->damage;
    if (*reason == '\0')
        return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                            filename);
    return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s' (%s)",
                        filename, reason);
}

/* ---- Data source: the strips, passed through ------------------------------ */

/* Each band's XObject receives exactly its own strip. */
void tiff_strip_done(pdf_image *image) {
    tiff_state *tiff = tiff_of(image);
    if (image->band_count < 2)
        tiff->current_band++;
    else
        tiff->current_band = image->band_count;
}

void tiff_source_init(pdf_document *document, pdf_data_source *source) {
    (void)document;
    pdf_image *image = (pdf_image *)source->context;
    if (image->band_count == 1) tiff_of(image)->current_band = 0;
    source->buffer = NULL;
    source->buffer_size = 0;
}

/* Delivers strip `current_band` unchanged (bit-reversed for fill order 2).
 * A strip that cannot be read is an I/O error. */
int tiff_source_refill(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;
    tiff_state *tiff = tiff_of(image);
    if (tiff->tif == NULL || tiff->current_band >= image->band_count) return 0;

    /* The counts were checked against the file's size when it was opened. */
    uint32_t strip = (uint32_t)tiff->current_band;
    size_t count = (size_t)TIFFGetStrileByteCount(tiff->tif, strip);
    if (source->buffer_size < count) {
        pdf_byte *grown = (pdf_byte *)document->realloc_proc(document, source->buffer, count,
                                                             "tiff_source_refill");
        if (grown == NULL) {
            pdf_reader_fail(document, image, PDF_ERR_MEMORY, "Couldn't reallocate memory in %s!\n",
                            "tiff_source_refill");
            return 0;
        }
        source->buffer = grown;
        source->buffer_size = count;
    }
    if (count == 0 ||
        TIFFReadRawStrip(tiff->tif, strip, source->buffer, (tmsize_t)count) != (tmsize_t)count) {
        pdf_fail_image_data(document, image, "TIFF file damaged");
        return 0;
    }
    source->chunk = source->buffer;
    source->chunk_length = count;
    if (tiff->fill_order == FILLORDER_LSB2MSB) TIFFReverseBits(source->buffer, (tmsize_t)count);
    tiff_strip_done(image);
    return 1;
}

void tiff_source_release(pdf_document *document, pdf_data_source *source) {
    if (source->buffer != NULL) pdf_free(document, source->buffer);
    source->buffer = NULL;
    source->buffer_size = 0;
}

const pdf_source_operations tiff_source = {tiff_source_init, tiff_source_refill,
                                           tiff_source_release};

/* Copies strip `current_band` (set by tiff_write_bands) file to file when
 * it needs no change (fill order 1). */
int tiff_copy_direct(pdf_document *document, pdf_image *image) {
    tiff_state *tiff = tiff_of(image);
    if (tiff->tif == NULL || tiff->fill_order == FILLORDER_LSB2MSB ||
        tiff->current_band >= image->band_count)
        return 0;
    uint32_t strip = (uint32_t)tiff->current_band;
    long long count = (long long)TIFFGetStrileByteCount(tiff->tif, strip);
    if (count == 0) return 0;
    long long copied = pdf_copy_file_range(document, TIFFFileno(tiff->tif),
                                           (long long)TIFFGetStrileOffset(tiff->tif, strip), count);
    if (copied < 0) return 0;
    if (copied != count) {
        pdf_fail_image_data(document, image, "TIFF file damaged");
        return 1;
    }
    tiff_strip_done(image);
    return 1;
}

/* ---- Choosing the road ----------------------------------------------------- */

/* Starts the decode-parameter text with `text`. */
void tiff_set_params(pdf_document *document, pdf_image *image, const char *text) {
    image->decode_params_text =
        (char *)pdf_malloc(document, TIFF_PARAMS_SIZE, "pdf_open_TIFF_data");
    strcpy(image->decode_params_text, text);
}

/* Marks the image for strip pass-through with `compression`. The band
 * layout is worked out later from the rows per strip. */
void tiff_pass_strips(pdf_image *image, int compression) {
    image->compression = (pdf_byte)compression;
    image->pass_through = 1;
}

/* Fax strips pass through as one-bit data of one sample, with the decode
 * parameters of their coding; anything else is left to libtiff. */
void tiff_pass_fax(pdf_document *document, pdf_image *image, const tiff_layout *layout) {
    uint32_t t4_options;
    if (layout->tiled || layout->samples != 1) return;
    switch (layout->compression) {
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
            tiff_set_params(document, image, "/EndOfBlock false");
            strcat(image->decode_params_text, "/EncodedByteAlign true");
            break;
        case COMPRESSION_CCITTFAX3:
            tiff_set_params(document, image, "");
            if (TIFFGetField(tiff_of(image)->tif, TIFFTAG_GROUP3OPTIONS, &t4_options) &&
                (t4_options & GROUP3OPT_2DENCODING))
                strcat(image->decode_params_text, "/K 1");
            break;
        default:
            tiff_set_params(document, image, "/K -1");
            break;
    }
    if (layout->photometric == PHOTOMETRIC_MINISBLACK)
        strcat(image->decode_params_text, "/BlackIs1 true");
    tiff_pass_strips(image, PDF_COMPRESSION_CCITT);
    image->bits_per_component = 1;
}

/* Reads tag 317 into `predictor`. Returns 0 for a value PDF cannot undo. */
int tiff_read_predictor(TIFF *tif, pdf_image *image, uint16_t *value) {
    uint16_t predictor;
    if (!TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor)) return 1;
    *value = predictor;
    if (predictor != PREDICTOR_NONE && predictor != PREDICTOR_HORIZONTAL) return 0;
    image->predictor = (pdf_byte)predictor;
    return 1;
}

/* True when the strips hold exactly the samples PDF takes: not tiled, one
 * plane, no extra samples, at most 8 bits a sample, and colours PDF shows
 * as stored (YCbCr samples, subsampled or not, are PDF's colours only after
 * libtiff's conversion). */
int tiff_plain_strips(const tiff_layout *layout) {
    return !layout->tiled && !(layout->planar == PLANARCONFIG_SEPARATE && layout->samples > 1) &&
           layout->extra_count == 0 && layout->bits <= 8 &&
           layout->photometric != PHOTOMETRIC_YCBCR;
}

/* LZW and Deflate strips pass through, with their predictor, when they
 * hold plain strips; otherwise they are decoded. Returns -1 after giving
 * up on a predictor PDF cannot undo. */
int tiff_pass_predicted(pdf_document *document, pdf_image *image, const char *filename,
                        const tiff_layout *layout, int compression) {
    uint16_t predictor = 0;
    if (!tiff_read_predictor(tiff_of(image)->tif, image, &predictor)) {
        if (compression == PDF_COMPRESSION_LZW)
            return tiff_give_up(document, image, "Bad predictor tag (%d) in TIFF file '%s'",
                                predictor, filename);
        return tiff_give_up(document, image, "Unknown predictor %d in TIFF file '%s'", predictor,
                            filename);
    }
    if (tiff_plain_strips(layout)) tiff_pass_strips(image, compression);
    return 0;
}

/* Decides by compression whether the strips pass through (filling the
 * compression, decode parameters, predictor and inversion) or the image is
 * decoded. Samples of a white-is-zero file mean the same whatever their
 * compression, so LZW, Deflate and PackBits data are inverted alike.
 * Returns -1 after giving up. */
int tiff_choose_path(pdf_document *document, pdf_image *image, const char *filename,
                     const tiff_layout *layout, int *photometric_inversion) {
    int status = 0;
    *photometric_inversion = 0;
    switch (layout->compression) {
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            if (layout->bits == 1) tiff_pass_fax(document, image, layout);
            break;
        case COMPRESSION_LZW:
            status = tiff_pass_predicted(document, image, filename, layout, PDF_COMPRESSION_LZW);
            break;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            status = tiff_pass_predicted(document, image, filename, layout, PDF_COMPRESSION_FLATE);
            break;
        case COMPRESSION_PACKBITS:
            if (tiff_plain_strips(layout)) tiff_pass_strips(image, PDF_COMPRESSION_RUNLENGTH);
            break;
    }
    if (status < 0) return -1;
    if (image->pass_through && image->compression != PDF_COMPRESSION_CCITT)
        *photometric_inversion = layout->photometric == PHOTOMETRIC_MINISWHITE;
    if (!image->pass_through) {
        image->compression = PDF_COMPRESSION_NONE;
        image->bits_per_component = 8;
        image->predictor = 1;
    }
    if (*photometric_inversion) image->inverted = !image->inverted;
    return 0;
}

/* Undoes a pass-through decision: the image is decoded after all. */
void tiff_decode_instead(pdf_document *document, pdf_image *image, int photometric_inversion) {
    if (photometric_inversion) image->inverted = !image->inverted;
    pdf_free_text(document, &image->decode_params_text);
    image->pass_through = 0;
    image->compression = PDF_COMPRESSION_NONE;
    image->bits_per_component = 8;
    image->predictor = 1;
    image->band_count = 1;
    image->rows_per_band = 1;
}

/* Works out the bands of a pass-through image: one per strip, as many as
 * the rows per strip need to cover the height exactly once. Strips beyond
 * those are never read. Each strip must lie within the file, so that a
 * strip cut short is found before anything is written. Returns -1 after
 * giving up. */
int tiff_plan_bands(pdf_document *document, pdf_image *image, const char *filename,
                    const tiff_layout *layout) {
    TIFF *tif = tiff_of(image)->tif;
    uint32_t rows_per_strip = 0;
    struct stat info;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    if (rows_per_strip == 0 || rows_per_strip > layout->height) rows_per_strip = layout->height;
    uint32_t bands = layout->height / rows_per_strip + (layout->height % rows_per_strip != 0);

    if (TIFFNumberOfStrips(tif) < bands || fstat(TIFFFileno(tif), &info) != 0)
        return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                            filename);
    for (uint32_t strip = 0; strip < bands; strip++) {
        uint64_t count = TIFFGetStrileByteCount(tif, strip);
        uint64_t offset = TIFFGetStrileOffset(tif, strip);
        if (count == 0 || count > (uint64_t)info.st_size ||
            offset > (uint64_t)info.st_size - count) {
            snprintf(tiff_of(image)->damage, TIFF_DAMAGE_SIZE, "strip %lu is missing or cut short",
                     (unsigned long)strip);
            return tiff_give_up_on_data(document, image, filename);
        }
    }
    image->band_count = (int)bands;
    image->rows_per_band = (int)rows_per_strip;
    return 0;
}

/* ---- Opening --------------------------------------------------------------- */

/* libtiff's errors on a handle: the first is kept as the reason the data
 * could not be read. Returning 1 keeps libtiff from printing them. */
int tiff_note_error(TIFF *tif, void *user_data, const char *module, const char *format,
                    va_list args) {
    (void)tif;
    (void)module;
    tiff_state *tiff = (tiff_state *)user_data;
    if (tiff->damage[0] == '\0') vsnprintf(tiff->damage, sizeof tiff->damage, format, args);
    return 1;
}

int tiff_ignore_warning(TIFF *tif, void *user_data, const char *module, const char *format,
                        va_list args) {
    (void)tif;
    (void)user_data;
    (void)module;
    (void)format;
    (void)args;
    return 1;
}

/* Opens `filename` with `mode`, its errors going to the state alone, and
 * libtiff's own blocks no larger than the largest raster. */
TIFF *tiff_open_handle(tiff_state *tiff, const char *filename, const char *mode) {
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (options == NULL) return NULL;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, (tmsize_t)PDF_MAX_RASTER_BYTES);
    TIFFOpenOptionsSetErrorHandlerExtR(options, tiff_note_error, tiff);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiff_ignore_warning, tiff);
    TIFF *tif = TIFFOpenExt(filename, mode, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

/* Opens the file (unmapped, see tiff_reopen_mapped) at the page asked for.
 * Pages count from 1; a page that is not there is no error. Returns -1
 * after giving up. */
int tiff_open_file(pdf_document *document, pdf_image *image, const char *filename,
                   const char *stringparam, int intparam) {
    tiff_state *tiff = tiff_of(image);
    tiff->tif = tiff_open_handle(tiff, filename, "rm");
    if (tiff->tif == NULL)
        return tiff_give_up(document, image,
                            "Couldn't open TIFF file '%s' (file not found or bad structure)",
                            filename);
    if (stringparam != NULL && strcmp(stringparam, "page") == 0 &&
        (intparam < 1 || !TIFFSetDirectory(tiff->tif, (tdir_t)(intparam - 1)))) {
        pdf_end_reader(document, image);
        return -1;
    }
    return 0;
}

/* True for the photometric interpretations the reader shows: grey, RGB,
 * palette, CMYK and YCbCr, and none at all. */
int tiff_known_photometric(uint16_t photometric) {
    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_RGB:
        case PHOTOMETRIC_PALETTE:
        case PHOTOMETRIC_SEPARATED:
        case PHOTOMETRIC_YCBCR:
        case TIFF_PHOTOMETRIC_ABSENT:
            return 1;
        default:
            return 0;
    }
}

/* The sides of one strip or tile of JPEG data: each is one JPEG image. */
void tiff_jpeg_piece_size(TIFF *tif, const tiff_layout *layout, uint32_t *width, uint32_t *height) {
    uint32_t rows = layout->height;

    *width = layout->width;
    *height = layout->height;
    if (layout->tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, width);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, height);
    } else if (TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows) && rows < *height) {
        *height = rows;
    }
}

/* Refuses what neither PDF nor libtiff's decoding can show: other colour
 * spaces, sample sizes and formats, compressions libtiff does not know,
 * and bad sizes. Returns -1 after giving up. */
int tiff_refuse_out_of_reach(pdf_document *document, pdf_image *image, const char *filename,
                             const tiff_layout *layout) {
    if (!tiff_known_photometric(layout->photometric))
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' due to unsupported color space (%d)",
                            filename, layout->photometric);
    if (layout->bits != 1 && layout->bits != 2 && layout->bits != 4 && layout->bits != 8 &&
        layout->bits != 16)
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' (PDF doesn't support %d bit color depth)",
                            filename, layout->bits);
    if (layout->sample_format != SAMPLEFORMAT_UINT && layout->sample_format != SAMPLEFORMAT_VOID)
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' (samples of format %d, not unsigned "
                            "integers)",
                            filename, layout->sample_format);
    if (!TIFFIsCODECConfigured(layout->compression))
        return tiff_give_up(document, image, "Can't handle TIFF file '%s' (unknown compression %d)",
                            filename, layout->compression);
    if (layout->width == 0 || layout->height == 0 || layout->width > TIFF_MAX_DIMENSION ||
        layout->height > TIFF_MAX_DIMENSION)
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' (bad image size %lu x %lu)", filename,
                            (unsigned long)layout->width, (unsigned long)layout->height);
    /* JPEG data have at most 65500 pixels a side. libtiff decodes strips
     * that claim more as best it can: a file of a few hundred bytes would
     * make a gigabyte of samples, all made up. */
    uint32_t width, height;
    if (layout->compression == COMPRESSION_JPEG) {
        tiff_jpeg_piece_size(tiff_of(image)->tif, layout, &width, &height);
        if (width > TIFF_MAX_JPEG_DIMENSION || height > TIFF_MAX_JPEG_DIMENSION)
            return tiff_give_up(document, image,
                                "Can't handle TIFF file '%s' (JPEG data of %lu x %lu pixels)",
                                filename, (unsigned long)width, (unsigned long)height);
    }
    return 0;
}

/* Reads the directory's tags and refuses what cannot be shown. Returns -1
 * after giving up. */
int tiff_read_layout(pdf_document *document, pdf_image *image, const char *filename,
                     tiff_layout *layout) {
    TIFF *tif = tiff_of(image)->tif;
    uint16_t *extra_types = NULL;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout->photometric))
        layout->photometric = TIFF_PHOTOMETRIC_ABSENT;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &layout->sample_format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &layout->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &layout->extra_count, &extra_types);
    if (layout->extra_count > 0 && extra_types != NULL) layout->extra_type = extra_types[0];
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &layout->planar);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &tiff_of(image)->fill_order);
    layout->tiled = TIFFIsTiled(tif);
    if (tiff_refuse_out_of_reach(document, image, filename, layout) < 0) return -1;
    image->width = (float)layout->width;
    image->height = (float)layout->height;
    image->components = layout->samples;
    image->bits_per_component = layout->bits;
    return 0;
}

/* The resolution in dots per inch; with only the aspect ratio known, its
 * two numbers negated. */
void tiff_read_resolution(pdf_image *image) {
    TIFF *tif = tiff_of(image)->tif;
    float x, y;
    uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) ||
        !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) ||
        !TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit) || x <= 0 || y <= 0)
        return;
    if (unit == RESUNIT_INCH) {
        image->resolution_x = x;
        image->resolution_y = y;
    } else if (unit == RESUNIT_CENTIMETER) {
        image->resolution_x = (float)(x * 2.54);
        image->resolution_y = (float)(y * 2.54);
    } else if (unit == RESUNIT_NONE) {
        image->resolution_x = -x;
        image->resolution_y = -y;
    }
}

/* How the stored rows are to be shown; values outside 1 to 8 count as 1. */
void tiff_read_orientation(pdf_image *image) {
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(tiff_of(image)->tif, TIFFTAG_ORIENTATION, &orientation);
    if (orientation >= ORIENTATION_TOPLEFT && orientation <= ORIENTATION_LEFTBOT)
        image->orientation = orientation;
}

/* Applies the string parameter. Sets *colorspace_set when "colorize" or
 * "mask" chose the colour space. Returns -1 after a parameter error. */
int tiff_apply_parameter(pdf_document *document, pdf_image *image, const char *filename,
                         const char *stringparam, int intparam, int *colorspace_set) {
    if (stringparam == NULL || *stringparam == '\0' || strcmp(stringparam, "page") == 0) return 0;
    if (strcmp(stringparam, "colorize") == 0) {
        if (pdf_apply_colorize(document, image, "TIFF", filename, intparam) < 0) return -1;
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
        if (pdf_apply_masked(document, image, filename, intparam) < 0) return -1;
        if (image->band_count != 1)
            return tiff_parameter_error(document, image, "Can't mask multistrip TIFF image");
        return 0;
    }
    if (strcmp(stringparam, "invert") == 0) {
        image->inverted = !image->inverted;
        return 0;
    }
    return tiff_parameter_error(document, image, "Unknown parameter %s in pdf_open_TIFF",
                                stringparam);
}

/* The colour samples of a pixel: all but the extra samples. A fourth
 * sample of a file that is not CMYK, declared or not, is no colour; a
 * palette of more than 8 bits is shown as RGB. */
int tiff_color_count(const tiff_layout *layout) {
    int extra = layout->extra_count < layout->samples ? layout->extra_count : layout->samples;
    int colors = layout->samples - extra;
    if (layout->photometric == PHOTOMETRIC_PALETTE && layout->bits > 8) return 3;
    if (extra == 0 && layout->samples == 4 && layout->photometric != PHOTOMETRIC_SEPARATED)
        colors = 3;
    return colors;
}

/* The colour space by the number of colour samples; an image with any
 * other samples is decoded, which drops them. Returns -1 after giving up. */
int tiff_choose_colorspace(pdf_document *document, pdf_image *image, const char *filename,
                           const tiff_layout *layout, int colorspace_set,
                           int photometric_inversion) {
    uint16_t ink_set = INKSET_CMYK;
    int colors = tiff_color_count(layout);
    if (layout->photometric == PHOTOMETRIC_SEPARATED && colors != 4) {
        return tiff_give_up(document, image,
                            "Bad number of color components (%d) in TIFF file '%s'",
                            layout->samples, filename);
    } else if (colors == 1) {
        if (!colorspace_set) image->colorspace = PDF_CS_DEVICEGRAY;
    } else if (colors == 3) {
        image->colorspace = PDF_CS_DEVICERGB;
    } else if (colors == 4 && layout->photometric == PHOTOMETRIC_SEPARATED) {
        TIFFGetFieldDefaulted(tiff_of(image)->tif, TIFFTAG_INKSET, &ink_set);
        if (ink_set != INKSET_CMYK)
            return tiff_give_up(document, image,
                                "Can't handle separated TIFF file '%s' with inkset different "
                                "from CMYK",
                                filename);
        image->colorspace = PDF_CS_DEVICECMYK;
    } else {
        return tiff_give_up(document, image,
                            "Bad number of color components (%d) in TIFF file '%s'",
                            layout->samples, filename);
    }
    if (image->pass_through && colors != layout->samples)
        tiff_decode_instead(document, image, photometric_inversion);
    image->components = colors;
    return 0;
}

/* ---- Writing ----------------------------------------------------------------- */

/* True when a colour map holds 16-bit values; old files store 8-bit ones. */
int tiff_map_is_16bit(uint16_t *const map[3], long count) {
    for (long i = 0; i < count; i++)
        if (map[0][i] >= 256 || map[1][i] >= 256 || map[2][i] >= 256) return 1;
    return 0;
}

/* Builds the palette of 2^bits entries (at most 256) of a palette image in
 * the state. Returns -1 after giving up. */
int tiff_make_palette(pdf_document *document, pdf_image *image, const char *filename, int bits) {
    uint16_t *map[3];
    int count = 1 << bits;
    if (!TIFFGetField(tiff_of(image)->tif, TIFFTAG_COLORMAP, &map[0], &map[1], &map[2]))
        return tiff_give_up(document, image, "Couldn't read colormap from colormapped file '%s'",
                            filename);
    image->colorspace = PDF_CS_INDEXED;
    image->components = 1;
    image->palette_count = count;
    image->palette = tiff_of(image)->palette;
    int sixteen_bit = tiff_map_is_16bit(map, count);
    for (int i = 0; i < count; i++)
        for (int c = 0; c < 3; c++) {
            unsigned long v = map[c][i];
            image->palette[3 * i + c] = (pdf_byte)(sixteen_bit ? v * 255 / 65535 : v);
        }
    return 0;
}

/* Makes the slot stand for band `band` of an image `full_height` rows
 * high, as the XObject writer and the data check take it: the band's rows
 * as the height, and the source reading the band's strip. The caller puts
 * the full height back. */
void tiff_select_band(pdf_image *image, float full_height, int band) {
    long rows = (long)full_height - (long)band * image->rows_per_band;
    image->height = (float)(rows < image->rows_per_band ? rows : image->rows_per_band);
    tiff_of(image)->current_band = band;
    pdf_set_image_source(image, &tiff_source);
}

/* Writes one XObject per strip, top band first, and leaves `xobject_index`
 * on the first. Returns -1 when a damaged strip ended the writing. */
int tiff_write_bands(pdf_document *document, int slot) {
    pdf_image *image = pdf_image_slot(document, slot);
    float full_height = image->height;
    int first_index = -1;
    for (int band = 0; band < image->band_count; band++) {
        tiff_select_band(image, full_height, band);
        pdf_write_image_xobject(document, slot, band == 0);
        if (image->reader == NULL) return -1;
        if (band == 0) first_index = image->xobject_index;
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
int tiff_reopen_mapped(pdf_document *document, pdf_image *image, const char *filename) {
    tiff_state *tiff = tiff_of(image);
    tdir_t directory = TIFFCurrentDirectory(tiff->tif);
    TIFFClose(tiff->tif);
    tiff->tif = tiff_open_handle(tiff, filename, "r");
    if (tiff->tif == NULL || !TIFFSetDirectory(tiff->tif, directory))
        return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                            filename);
    return 0;
}

/* Decodes a YCbCr image through libtiff's RGBA interface, which knows its
 * subsampling and its JPEG colour conversion, into RGB rows: four bytes a
 * pixel are packed to three in place, each row's packed bytes ending
 * before its pixels' start. Asked for the file's own orientation, libtiff
 * turns nothing: the rows stay as stored, as every other road keeps them.
 * Returns as pdf_decode_tiff_samples does. */
int tiff_decode_rgba(pdf_document *document, pdf_image *image, const tiff_layout *layout) {
    size_t count = (size_t)layout->width * layout->height;
    if (pdf_alloc_raster(document, image, (size_t)layout->width * 4, (long)layout->height,
                         "pdf_open_TIFF") < 0)
        return image->reader == NULL ? -1 : -2;
    if (!TIFFReadRGBAImageOriented(tiff_of(image)->tif, layout->width, layout->height,
                                   (uint32_t *)image->raster.rows, image->orientation, 1))
        return -1;
    const uint32_t *pixels = (const uint32_t *)image->raster.rows;
    pdf_byte *out = image->raster.rows;
    for (size_t i = 0; i < count; i++, out += 3) {
        uint32_t pixel = pixels[i];
        out[0] = (pdf_byte)TIFFGetR(pixel);
        out[1] = (pdf_byte)TIFFGetG(pixel);
        out[2] = (pdf_byte)TIFFGetB(pixel);
    }
    image->raster.row_length = (size_t)layout->width * 3;
    pdf_use_raster_source(image);
    return 0;
}

/* Decodes any other image sample by sample: colours as stored, 16-bit
 * samples cut to 8, CMYK kept, palettes of up to 256 entries kept as an
 * indexed colour space, larger ones turned into RGB, the alpha samples
 * moved to the mask raster. Returns as pdf_decode_tiff_samples does. */
int tiff_decode_samples(pdf_document *document, pdf_image *image, const char *filename,
                        const tiff_layout *layout) {
    pdf_tiff_samples samples;
    memset(&samples, 0, sizeof samples);
    samples.width = layout->width;
    samples.height = layout->height;
    samples.samples = layout->samples;
    samples.bits = layout->bits;
    samples.separate = layout->planar == PLANARCONFIG_SEPARATE && layout->samples > 1;
    samples.tiled = layout->tiled;
    samples.colors = image->components;
    /* Alpha samples are kept only for a soft mask. */
    samples.alpha = document->keep_alpha && samples.colors < layout->samples &&
                    (layout->extra_type == EXTRASAMPLE_ASSOCALPHA ||
                     layout->extra_type == EXTRASAMPLE_UNASSALPHA);
    samples.levels = layout->photometric != PHOTOMETRIC_PALETTE;
    samples.invert = layout->photometric == PHOTOMETRIC_MINISWHITE;
    /* Associated alpha: the stored colours are multiplied by it, against
     * samples of zero (black, or white where zero is white or no ink). */
    if (samples.alpha && samples.levels && layout->extra_type == EXTRASAMPLE_ASSOCALPHA)
        image->matte = samples.invert ? PDF_MATTE_FULL : PDF_MATTE_ZERO;
    if (layout->photometric == PHOTOMETRIC_PALETTE && layout->bits <= 8) {
        if (tiff_make_palette(document, image, filename, layout->bits) < 0) return -1;
        samples.colors = 1;
    } else if (layout->photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *map[3];
        if (!TIFFGetField(tiff_of(image)->tif, TIFFTAG_COLORMAP, &map[0], &map[1], &map[2]))
            return -1;
        for (int c = 0; c < 3; c++) samples.map[c] = map[c];
        samples.map_16bit = tiff_map_is_16bit(map, 1L << layout->bits);
    }
    return pdf_decode_tiff_samples(document, image, tiff_of(image)->tif, &samples, "pdf_open_TIFF");
}

/* Decodes the whole image into the raster, top row first. Returns -1
 * after giving up. */
int tiff_decode(pdf_document *document, pdf_image *image, const char *filename,
                const tiff_layout *layout) {
    if (tiff_reopen_mapped(document, image, filename) < 0) return -1;
    int status = layout->photometric == PHOTOMETRIC_YCBCR
                     ? tiff_decode_rgba(document, image, layout)
                     : tiff_decode_samples(document, image, filename, layout);
    if (image->reader == NULL) return -1;
    if (status == -2)
        return tiff_give_up(document, image,
                            "TIFF file '%s' is too large to decode (%lu x %lu pixels)", filename,
                            (unsigned long)layout->width, (unsigned long)layout->height);
    if (status < 0) return tiff_give_up_on_data(document, image, filename);
    /* The alpha samples kept beside the colours make the soft mask. */
    if (document->keep_alpha && image->mask_raster.rows != NULL) pdf_use_soft_mask(document, image);
    /* The raster holds everything now. */
    TIFFClose(tiff_of(image)->tif);
    tiff_of(image)->tif = NULL;
    return 0;
}

/* Writes the image: its strips as bands, or the decoded raster as one
 * XObject. Returns -1 after giving up. */
int tiff_write_image(pdf_document *document, int slot, const char *filename,
                     const tiff_layout *layout) {
    pdf_image *image = pdf_image_slot(document, slot);
    if (image->pass_through) {
        if (layout->photometric == PHOTOMETRIC_PALETTE &&
            tiff_make_palette(document, image, filename, image->bits_per_component) < 0)
            return -1;
        return tiff_write_bands(document, slot);
    }
    if (tiff_decode(document, image, filename, layout) < 0) return -1;
    image->rows_per_band = (int)layout->height;
    pdf_write_image_xobject(document, slot, 1);
    return 0;
}

/* Decodes the LZW, Deflate or PackBits strips of a pass-through image
 * once, as a PDF reader will, before anything is written; each must hold
 * the rows of its band. PackBits data pass the check only without the
 * no-op byte 128, which ends RunLength data. Returns 1 when they pass
 * through, 0 when they cannot (the reason in the state). */
int tiff_check_strips(pdf_document *document, pdf_image *image) {
    char reason[PDF_CHECK_REASON_SIZE];
    float full_height = image->height;
    int sound = 1;
    for (int band = 0; sound && band < image->band_count; band++) {
        tiff_select_band(image, full_height, band);
        if (!pdf_check_source(document, image, reason, sizeof reason)) {
            snprintf(tiff_of(image)->damage, TIFF_DAMAGE_SIZE, "strip %d: %s", band, reason);
            sound = 0;
        }
    }
    image->height = full_height;
    image->data_checked = sound;
    return sound;
}

/* Reads the directory and decides everything about the image short of its
 * data. Returns -1 after giving up. */
int tiff_read_image(pdf_document *document, pdf_image *image, const char *filename,
                    const char *stringparam, int intparam, tiff_layout *layout) {
    int photometric_inversion = 0;
    int colorspace_set = 0;
    if (tiff_read_layout(document, image, filename, layout) < 0) return -1;
    tiff_read_resolution(image);
    tiff_read_orientation(image);
    /* With "passthrough" off only LZW data still pass through. */
    if (document->debug['P'] && layout->compression != COMPRESSION_LZW)
        layout->compression = COMPRESSION_NONE;
    if (tiff_choose_path(document, image, filename, layout, &photometric_inversion) < 0) return -1;
    if (image->pass_through && tiff_plan_bands(document, image, filename, layout) < 0) return -1;
    /* Strips a PDF reader could not decode go through libtiff. */
    if (image->pass_through && !tiff_check_strips(document, image))
        tiff_decode_instead(document, image, photometric_inversion);
    if (tiff_apply_parameter(document, image, filename, stringparam, intparam, &colorspace_set) < 0)
        return -1;
    return tiff_choose_colorspace(document, image, filename, layout, colorspace_set,
                                  photometric_inversion);
}

}  // namespace

int pdf_open_TIFF(pdf_document *document, int slot, const char *filename, const char *stringparam,
                  int intparam) {
    pdf_image *image = pdf_image_slot(document, slot);
    tiff_layout layout;
    memset(&layout, 0, sizeof layout);
    tiff_state *tiff = (tiff_state *)pdf_begin_reader(document, image, &tiff_reader,
                                                      sizeof(tiff_state), "pdf_open_TIFF");
    if (tiff == NULL) return -1;
    tiff->fill_order = FILLORDER_MSB2LSB;
    if (tiff_open_file(document, image, filename, stringparam, intparam) < 0) return -1;
    if (tiff_read_image(document, image, filename, stringparam, intparam, &layout) < 0) return -1;
    if (tiff_write_image(document, slot, filename, &layout) < 0) return -1;
    image = pdf_image_slot(document, slot);
    pdf_end_reader(document, image);
    image->occupied = 1;
    image->file_name = pdf_strdup(document, filename);
    return slot;
}
