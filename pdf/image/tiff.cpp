/*
 * tiff.cpp -- the TIFF reader.
 *
 * One directory (page) of a TIFF file becomes one image XObject, or one
 * XObject per strip. Strips whose compression PDF can decode itself (CCITT
 * fax, LZW, Deflate, PackBits) are copied into the output unchanged, each
 * strip as a band of its own; everything else is decoded by libtiff into the
 * slot's raster (decoded.h), whose rows the XObject writer deflates.
 *
 * The reader's state holds the libtiff handle and the palette; like every
 * reader's, it is released whichever way the reader ends (reader.h).
 * libtiff's own memory comes from libtiff's allocator.
 */
#include "tiff.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <tiffio.h>

#include "../core/output.h"
#include "../draw/colorspace.h"
#include "decoded.h"
#include "reader.h"
#include "xobject.h"

/* Size of the decode-parameter text. */
#define TIFF_PARAMS_SIZE 128
/* Largest width or height accepted: a float holds every integer up to it. */
#define TIFF_MAX_DIMENSION (1UL << 24)

namespace {

/* TIFF tag values used below that tiff.h names only in part. */
enum { TIFF_PHOTOMETRIC_ABSENT = 255 };

/* The reader's state. */
typedef struct {
    TIFF *tif;
    uint16_t fill_order; /* FILLORDER_LSB2MSB: strips are bit-reversed */
    int current_band;    /* the strip the source delivers next */
    pdf_byte palette[PDF_PALETTE_SIZE];
} tiff_state;

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

/* LZW strips pass through, with their predictor, unless tiled, in separate
 * planes or with extra samples. Returns -1 after giving up. */
int tiff_pass_lzw(pdf_document *document, pdf_image *image, const char *filename,
                  const tiff_layout *layout) {
    uint16_t predictor = 0;
    if (!tiff_read_predictor(tiff_of(image)->tif, image, &predictor))
        return tiff_give_up(document, image, "Bad predictor tag (%d) in TIFF file '%s'", predictor,
                            filename);
    if (layout->tiled)
        return tiff_give_up(document, image, "Can't handle LZW-compressed tiled TIFF file '%s'",
                            filename);
    if (layout->planar == PLANARCONFIG_SEPARATE && layout->samples > 1)
        return tiff_give_up(document, image,
                            "Can't handle LZW-compressed TIFF file '%s' with separate planes",
                            filename);
    if (layout->extra_count > 0)
        return tiff_give_up(document, image,
                            "Can't handle LZW-compressed TIFF file '%s' with alpha channel",
                            filename);
    tiff_pass_strips(image, PDF_COMPRESSION_LZW);
    return 0;
}

/* Deflate strips pass through, with their predictor, unless tiled, in
 * separate planes or with extra samples. Returns -1 after giving up. */
int tiff_pass_deflate(pdf_document *document, pdf_image *image, const char *filename,
                      const tiff_layout *layout) {
    uint16_t predictor = 0;
    if (layout->extra_count > 0 || layout->tiled ||
        (layout->planar == PLANARCONFIG_SEPARATE && layout->samples > 1))
        return tiff_give_up(document, image,
                            "Can't handle flate-compressed TIFF file '%s' with extra channel",
                            filename);
    if (!tiff_read_predictor(tiff_of(image)->tif, image, &predictor))
        return tiff_give_up(document, image, "Unknown predictor %d in TIFF file '%s'", predictor,
                            filename);
    tiff_pass_strips(image, PDF_COMPRESSION_FLATE);
    return 0;
}

/* Decides by compression whether the strips pass through (filling the
 * compression, decode parameters, predictor and inversion) or the image is
 * decoded. Samples of a white-is-zero file mean the same whatever their
 * compression, so LZW, Deflate and PackBits data are inverted alike.
 * Returns -1 after giving up. */
int tiff_choose_path(pdf_document *document, pdf_image *image, const char *filename,
                     const tiff_layout *layout, int *photometric_inversion) {
    int separate = layout->planar == PLANARCONFIG_SEPARATE && layout->samples > 1;
    int extra = layout->extra_count > 0;
    int status = 0;
    *photometric_inversion = 0;
    switch (layout->compression) {
        case COMPRESSION_NONE:
            if (!separate && !layout->tiled && extra)
                return tiff_give_up(document, image,
                                    "Can't handle TIFF file '%s' with alpha channel", filename);
            break;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            tiff_pass_fax(document, image, layout);
            break;
        case COMPRESSION_LZW:
            status = tiff_pass_lzw(document, image, filename, layout);
            break;
        case COMPRESSION_JPEG:
            return tiff_give_up(document, image, "Can't handle JPEG-compressed TIFF file '%s'",
                                filename);
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            status = tiff_pass_deflate(document, image, filename, layout);
            break;
        case COMPRESSION_PACKBITS:
            if (!extra && !separate && !layout->tiled)
                tiff_pass_strips(image, PDF_COMPRESSION_RUNLENGTH);
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
 * those are never read. Each strip's byte count must lie within the file.
 * Returns -1 after giving up. */
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
        if (count == 0 || count > (uint64_t)info.st_size)
            return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                                filename);
    }
    image->band_count = (int)bands;
    image->rows_per_band = (int)rows_per_strip;
    return 0;
}

/* ---- Opening --------------------------------------------------------------- */

/* Opens the file (unmapped, see tiff_reopen_mapped) at the page asked for.
 * Pages count from 1; a page that is not there is no error. Returns -1
 * after giving up. */
int tiff_open_file(pdf_document *document, pdf_image *image, const char *filename,
                   const char *stringparam, int intparam) {
    tiff_state *tiff = tiff_of(image);
    /* libtiff reports nothing of its own. */
    TIFFSetErrorHandler(NULL);
    TIFFSetWarningHandler(NULL);
    tiff->tif = TIFFOpen(filename, "rm");
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

/* Reads the directory's tags and refuses what PDF cannot show. Returns -1
 * after giving up. */
int tiff_read_layout(pdf_document *document, pdf_image *image, const char *filename,
                     tiff_layout *layout) {
    TIFF *tif = tiff_of(image)->tif;
    uint16_t *extra_types = NULL;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout->photometric))
        layout->photometric = TIFF_PHOTOMETRIC_ABSENT;
    if (layout->photometric == PHOTOMETRIC_MASK || layout->photometric == PHOTOMETRIC_YCBCR ||
        layout->photometric == PHOTOMETRIC_CIELAB)
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' due to unsupported color space (%d)",
                            filename, layout->photometric);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &layout->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &layout->extra_count, &extra_types);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &layout->planar);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &tiff_of(image)->fill_order);
    layout->tiled = TIFFIsTiled(tif);
    if (layout->bits != 1 && layout->bits != 2 && layout->bits != 4 && layout->bits != 8)
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' (PDF doesn't support %d bit color depth)",
                            filename, layout->bits);
    if (layout->width == 0 || layout->height == 0 || layout->width > TIFF_MAX_DIMENSION ||
        layout->height > TIFF_MAX_DIMENSION)
        return tiff_give_up(document, image,
                            "Can't handle TIFF file '%s' (bad image size %lu x %lu)", filename,
                            (unsigned long)layout->width, (unsigned long)layout->height);
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

/* The colour space by the number of components. Four samples that are not
 * CMYK are colour and alpha, which only libtiff's decoding turns into three
 * components. CMYK is decoded by whole scanlines of four 8-bit samples per
 * pixel; separated files laid out otherwise go through libtiff's RGBA
 * conversion, which takes 8-bit samples only. Returns -1 after giving up. */
int tiff_choose_colorspace(pdf_document *document, pdf_image *image, const char *filename,
                           const tiff_layout *layout, int colorspace_set,
                           int photometric_inversion) {
    uint16_t ink_set = INKSET_CMYK;
    if (image->components == 1) {
        if (!colorspace_set) image->colorspace = PDF_CS_DEVICEGRAY;
    } else if (image->components == 3) {
        image->colorspace = PDF_CS_DEVICERGB;
    } else if (image->components == 4 && layout->photometric == PHOTOMETRIC_SEPARATED) {
        TIFFGetFieldDefaulted(tiff_of(image)->tif, TIFFTAG_INKSET, &ink_set);
        if (ink_set != INKSET_CMYK)
            return tiff_give_up(document, image,
                                "Can't handle separated TIFF file '%s' with inkset different "
                                "from CMYK",
                                filename);
        image->colorspace = PDF_CS_DEVICECMYK;
    } else if (image->components == 4) {
        if (image->pass_through) tiff_decode_instead(document, image, photometric_inversion);
        image->components = 3;
        image->colorspace = PDF_CS_DEVICERGB;
        image->compression = PDF_COMPRESSION_NONE;
    } else {
        return tiff_give_up(document, image,
                            "Bad number of color components (%d) in TIFF file '%s'",
                            image->components, filename);
    }
    if (!image->pass_through && image->colorspace == PDF_CS_DEVICECMYK) {
        if (layout->bits != 8)
            return tiff_give_up(document, image,
                                "Can't handle separated TIFF file '%s' with %d bits per sample",
                                filename, layout->bits);
        if (layout->planar == PLANARCONFIG_SEPARATE || layout->tiled) {
            image->components = 3;
            image->colorspace = PDF_CS_DEVICERGB;
        }
    }
    return 0;
}

/* ---- Writing ----------------------------------------------------------------- */

/* Builds the palette of a pass-through palette image in the state. Returns
 * -1 after giving up. */
int tiff_make_palette(pdf_document *document, pdf_image *image, const char *filename) {
    uint16_t *red, *green, *blue;
    int count = 1 << image->bits_per_component;
    int sixteen_bit = 0;
    if (!TIFFGetField(tiff_of(image)->tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        return tiff_give_up(document, image, "Couldn't read colormap from colormapped file '%s'",
                            filename);
    image->colorspace = PDF_CS_INDEXED;
    image->components = 1;
    image->palette_count = count;
    image->palette = tiff_of(image)->palette;
    /* Old files store 8-bit values in the 16-bit map. */
    for (int i = 0; i < count; i++)
        if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) sixteen_bit = 1;
    for (int i = 0; i < count; i++) {
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
int tiff_write_bands(pdf_document *document, int slot) {
    pdf_image *image = pdf_image_slot(document, slot);
    float full_height = image->height;
    long height = (long)full_height;
    int first_index = -1;
    for (int band = 0; band < image->band_count; band++) {
        long rows = height - (long)band * image->rows_per_band;
        if (rows > image->rows_per_band) rows = image->rows_per_band;
        image->height = (float)rows;
        tiff_of(image)->current_band = band;
        pdf_set_image_source(image, &tiff_source);
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
    tiff->tif = TIFFOpen(filename, "r");
    if (tiff->tif == NULL || !TIFFSetDirectory(tiff->tif, directory))
        return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                            filename);
    return 0;
}

/* Packs the raster's RGBA pixels (four bytes each, as libtiff's RGBA
 * interface leaves them) into one grey or three RGB bytes, row by row in
 * place: each row's packed bytes end before its pixels' start. */
void tiff_pack_rgba(pdf_image *image) {
    pdf_raster *raster = &image->raster;
    size_t width = raster->row_length / 4;
    int components = image->components;
    const uint32_t *pixels = (const uint32_t *)raster->rows;
    pdf_byte *out = raster->rows;
    size_t count = width * (size_t)raster->row_count;
    if (components == 3) {
        for (size_t i = 0; i < count; i++, out += 3) {
            uint32_t pixel = pixels[i];
            out[0] = (pdf_byte)TIFFGetR(pixel);
            out[1] = (pdf_byte)TIFFGetG(pixel);
            out[2] = (pdf_byte)TIFFGetB(pixel);
        }
    } else {
        for (size_t i = 0; i < count; i++) out[i] = (pdf_byte)TIFFGetR(pixels[i]);
    }
    raster->row_length = width * (size_t)components;
}

/* Decodes the whole image into the raster, top row first: CMYK files of
 * 8-bit contiguous samples by scanlines, kept as CMYK; everything else
 * through libtiff's RGBA interface, packed to grey or RGB. Returns -1 after
 * giving up. */
int tiff_decode(pdf_document *document, pdf_image *image, const char *filename,
                const tiff_layout *layout) {
    size_t width = layout->width;
    long height = (long)layout->height;
    if (pdf_alloc_raster(document, image, width * 4, height, "pdf_open_TIFF") < 0)
        return image->reader == NULL
                   ? -1
                   : tiff_give_up(document, image,
                                  "TIFF file '%s' is too large to decode (%lu x %lu pixels)",
                                  filename, (unsigned long)width, (unsigned long)height);
    if (tiff_reopen_mapped(document, image, filename) < 0) return -1;
    TIFF *tif = tiff_of(image)->tif;
    if (image->colorspace == PDF_CS_DEVICECMYK) {
        if (TIFFScanlineSize(tif) != (tmsize_t)(width * 4))
            return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                                filename);
        for (long row = 0; row < height; row++)
            if (TIFFReadScanline(tif, image->raster.rows + (size_t)row * width * 4, (uint32_t)row,
                                 0) < 0)
                return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                                    filename);
    } else {
        if (!TIFFReadRGBAImageOriented(tif, layout->width, layout->height,
                                       (uint32_t *)image->raster.rows, ORIENTATION_TOPLEFT, 1))
            return tiff_give_up(document, image, "Couldn't read image data from TIFF file '%s'",
                                filename);
        tiff_pack_rgba(image);
    }
    /* The raster holds everything now. */
    TIFFClose(tiff_of(image)->tif);
    tiff_of(image)->tif = NULL;
    pdf_use_raster_source(image);
    return 0;
}

/* Writes the image: its strips as bands, or the decoded raster as one
 * XObject. Returns -1 after giving up. */
int tiff_write_image(pdf_document *document, int slot, const char *filename,
                     const tiff_layout *layout) {
    pdf_image *image = pdf_image_slot(document, slot);
    if (image->pass_through) {
        if (layout->photometric == PHOTOMETRIC_PALETTE &&
            tiff_make_palette(document, image, filename) < 0)
            return -1;
        return tiff_write_bands(document, slot);
    }
    if (tiff_decode(document, image, filename, layout) < 0) return -1;
    image->rows_per_band = (int)layout->height;
    pdf_write_image_xobject(document, slot, 1);
    return 0;
}

/* Reads the directory and decides everything about the image short of its
 * data. Returns -1 after giving up. */
int tiff_read_image(pdf_document *document, pdf_image *image, const char *filename,
                    const char *stringparam, int intparam, tiff_layout *layout) {
    uint16_t *colormap[3];
    int photometric_inversion = 0;
    int colorspace_set = 0;
    if (tiff_read_layout(document, image, filename, layout) < 0) return -1;
    tiff_read_resolution(image);
    /* With "passthrough" off only LZW data still pass through. */
    if (document->debug['P'] && layout->compression != COMPRESSION_LZW)
        layout->compression = COMPRESSION_NONE;
    if (tiff_choose_path(document, image, filename, layout, &photometric_inversion) < 0) return -1;
    if (image->pass_through && tiff_plan_bands(document, image, filename, layout) < 0) return -1;
    if (!image->pass_through && image->components == 1 &&
        TIFFGetField(tiff_of(image)->tif, TIFFTAG_COLORMAP, &colormap[0], &colormap[1],
                     &colormap[2]))
        image->components = 3;
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
