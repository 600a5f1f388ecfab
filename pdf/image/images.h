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

/* The decoded samples of an image (see decoded.h): `row_count` rows of
 * `row_length` bytes, top row first. */
typedef struct {
    pdf_byte *rows;
    size_t row_length;
    long row_count;
    long next_row; /* the next row the raster source delivers */
} pdf_raster;

/* Kinds of mask a reader computes beside the samples (mask_stream.h). */
enum { PDF_MASK_STREAM_NONE = 0, PDF_MASK_STREAM_STENCIL = 1, PDF_MASK_STREAM_SOFT = 2 };

/* The written samples a reader's colours were multiplied against by their
 * soft mask's opacities: none (the colours are not premultiplied), samples
 * of zero, or samples of full value (zeros inverted on decoding). */
enum { PDF_MATTE_NONE = 0, PDF_MATTE_ZERO = 1, PDF_MATTE_FULL = 2 };

typedef struct pdf_reader_operations_s pdf_reader_operations;

/* One image slot. The reader that opened the image keeps its own state
 * behind `reader` (reader.h) until it returns; fields marked "not reset"
 * keep stale values in a free slot. */
struct pdf_image_s {
    FILE *file; /* the reader's open input file */
    char *file_name;
    pdf_byte reference_kind;
    float width;            /* not reset */
    float height;           /* not reset */
    int bits_per_component; /* not reset */
    int components;         /* not reset */
    pdf_byte compression;
    pdf_byte colorspace; /* not reset */
    int inverted;
    int has_key_color;
    pdf_byte key_color[4];
    int mask_image;
    pdf_byte predictor;
    int palette_count; /* not reset */
    /* palette_count RGB triplets, held by the reader's state: there only
     * while the reader writes the XObject. */
    pdf_byte *palette;
    float resolution_x, resolution_y;
    /* How the stored rows are to be shown, as the file records it (1 to 8,
     * the Exif and TIFF Orientation values; 1 as stored). */
    int orientation;
    int occupied;
    char *decode_params_text;
    int band_count;
    int rows_per_band;
    pdf_id palette_object;
    int pass_through;
    /* The pass-through data were checked before the XObject was begun
     * (stream_check.h): the writer copies them unchecked. */
    int data_checked;
    /* The reader's operations and private state, while it runs. */
    const pdf_reader_operations *reader_operations;
    void *reader;
    /* The decoded samples, for images that do not pass through. */
    pdf_raster raster;
    /* A mask computed by the reader, written as a stream of its own. */
    int mask_stream_kind;
    pdf_raster mask_raster;
    pdf_byte matte; /* PDF_MATTE_..., for a soft mask */

    int xobject_index;      /* not reset */
    pdf_data_source source; /* not reset */
};

/* The subsystem's record (document->images). */
struct pdf_image_table_s {
    pdf_image *slots;
    int slot_count;
    pdf_xobject *xobjects; /* see xobject.h */
    int xobject_capacity;
    int xobject_count;
    int template_slot; /* the template being defined, in template scope */
};

/* Sets up and releases the slot and XObject tables, lists the XObjects a
 * content stream used in its resources, and answers the image queries of
 * the parameter registry ("imagewidth", "imageheight", "resx", "resy",
 * "orientation"). */
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
/* True for the handle of an open image (or template) that may be placed or
 * closed: its XObject is one of the table's and no imported page. */
int pdf_is_open_image(pdf_document *document, int handle);

/* True for an open one-band stencil mask image, as "masked" needs. */
int pdf_is_stencil_mask(const pdf_document *document, int handle);

#endif /* FOLIO_IMAGES_H */
