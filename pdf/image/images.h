/*
 * images.h -- image slots, and the image subsystem that keeps them with the
 * XObject table (xobject.h).
 *
 * An image lives in a slot of the document's slot table from the moment an
 * opener fills it until PDF_close_image; the handle callers see is the slot
 * index. Its XObject is written while the opener runs and stays in the file.
 */
#ifndef FOLIO_IMAGES_H
#define FOLIO_IMAGES_H

#include <stdint.h>
#include <stdio.h>

#include "../core/data_source.h"
#include "../core/subsystem.h"

typedef struct pdf_image_s pdf_image;
typedef struct pdf_xobject_s pdf_xobject;

/* Initial size of the slot table; it doubles when full. */
enum { PDF_IMAGES_CHUNKSIZE = 128 };

/* Encoding of image data as the source delivers them. */
enum {
    PDF_COMPRESSION_NONE = 0,
    PDF_COMPRESSION_LZW = 1,
    PDF_COMPRESSION_RUNLENGTH = 2,
    PDF_COMPRESSION_CCITT = 3,
    PDF_COMPRESSION_DCT = 4,
    PDF_COMPRESSION_FLATE = 5
};

/* Where the image data live. */
enum { PDF_REFERENCE_NONE = 0, PDF_REFERENCE_FILE = 1, PDF_REFERENCE_URL = 2 };

/* What a reader holds, released before it reports a failure or when an
 * error left the reader. */
typedef void (*pdf_reader_release_proc)(pdf_document *document, pdf_image *image);

/* Copies an image's pass-through data straight from its file into the
 * output (see pdf_copy_file_range), reporting the reader's own errors.
 * Returns 0 when it copied nothing and the data go through the source. */
typedef int (*pdf_direct_copy_proc)(pdf_document *document, pdf_image *image);

/* One image slot. Fields marked "reader" are private to the reader that
 * opened the image; they keep stale values in a free slot. */
struct pdf_image_s {
    FILE *file;
    char *file_name;
    pdf_byte reference_kind;
    float width;
    float height;
    int bits_per_component;
    int components;
    pdf_byte compression;
    pdf_byte colorspace;
    int inverted;
    int has_key_color;
    pdf_byte key_color[4];
    int mask_image;
    pdf_byte predictor;
    int palette_count;
    pdf_byte *palette;         /* palette_count RGB triplets */
    float resolution_x, resolution_y;
    int occupied;
    char *decode_params_text;
    int band_count;
    int rows_per_band;
    pdf_id palette_object;
    int pass_through;
    /* Set by a reader while it holds state that an error leaving it would
     * strand (libraries' handles, buffers, its file): releasing the slot
     * calls it, and it releases all of that, its source's buffer included. */
    pdf_reader_release_proc release_reader;
    /* Set by readers whose pass-through data lie unchanged in their file. */
    pdf_direct_copy_proc copy_direct;

    /* Reader state: JPEG. */
    long jpeg_start;
    /* Reader state: PNG (png_read and png_info are libpng's structures). */
    void *png_read;
    void *png_info;
    size_t row_length;
    pdf_byte *row_buffer;
    long current_row;
    unsigned long idat_remaining;
    /* Reader state: TIFF (tiff is the TIFF* handle). */
    void *tiff;
    uint32_t *tiff_raster;
    int current_band;
    /* Reader state: GIF. */
    int gif_code_width;
    int gif_next_code;
    uint32_t gif_bit_buffer;
    int gif_bit_count;
    int gif_pending_byte;
    int gif_pending_bits;
    int gif_phase;             /* codes, after the end code, or done */
    /* Reader state: raw CCITT files. */
    int ccitt_bit_reverse;
    /* Spare reader state for whatever else a reader needs. */
    void *reader_data;
    long reader_value;

    int xobject_index;
    pdf_data_source source;
};

/* The subsystem's record (document->images). */
struct pdf_image_table_s {
    pdf_image *slots;
    int slot_count;
    pdf_xobject *xobjects;  /* see xobject.h */
    int xobject_capacity;
    int xobject_count;
};

/* Sets up and releases the slot and XObject tables, lists the XObjects a
 * content stream used in its resources, and answers the image queries of
 * the parameter registry ("imagewidth", "imageheight", "resx", "resy"). */
extern const pdf_subsystem pdf_image_subsystem;

/* The slot of `handle`, which must lie within the table. */
pdf_image *pdf_image_slot(pdf_document *document, int handle);
/* Returns the first free slot, growing the table when none is free. */
int pdf_find_free_image_slot(pdf_document *document);
/* Gives a slot's resettable fields their empty values. */
void pdf_reset_image_slot(pdf_image *image);
/* Frees the slot's owned texts and resets it. */
void pdf_release_image_slot(pdf_document *document, int slot);

/* True for the handle of an open image. */
int pdf_is_image_handle(const pdf_document *document, int handle);

/* Checks of the readers' string parameters: "masked" needs an open one-band
 * stencil mask image; "colorize" needs a colourspace slot whose code still
 * fits the slot's one-byte colourspace field. */
int pdf_is_stencil_mask(const pdf_document *document, int handle);
int pdf_is_colorspace_slot(const pdf_document *document, int number);

/* Installs a reader's source kind as the slot's source over the slot
 * itself (`context`), with no buffer yet. */
void pdf_set_image_source(pdf_image *image, const pdf_source_operations *operations);

/* Closes the slot's image file if it is open. */
void pdf_close_image_file(pdf_document *document, pdf_image *image);

/* Ends a reader's failed attempt: `release` (if any) frees what the reader
 * holds, since a fatal report does not come back; then the message is
 * reported, a refusal (PDF_ERR_NONFATAL) only with "imagewarning", any
 * other type always. Returns -1 for the reader to pass on. */
int pdf_reader_fail(pdf_document *document, pdf_image *image,
                    pdf_reader_release_proc release, int type,
                    const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 5, 6)))
#endif
    ;

/* The "colorize" and "masked" parameters as the JPEG, PNG and TIFF readers
 * take them. "colorize" gives a one-component image the colourspace of slot
 * `number`; `kind` names the format in the message. "masked" masks the
 * image with the stencil mask image `mask`, or leaves it unmasked when
 * `mask` is negative. Each returns 0, or -1 after giving up through
 * pdf_reader_fail (PDF_ERR_VALUE) with `release`. */
int pdf_apply_colorize(pdf_document *document, pdf_image *image,
                       pdf_reader_release_proc release, const char *kind,
                       const char *filename, int number);
int pdf_apply_masked(pdf_document *document, pdf_image *image,
                     pdf_reader_release_proc release, const char *filename,
                     int mask);

#endif /* FOLIO_IMAGES_H */
