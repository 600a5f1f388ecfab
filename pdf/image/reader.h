/*
 * reader.h -- what the image file readers share.
 *
 * A reader is called with a free slot, whose fields have the empty values of
 * pdf_reset_image_slot (no compression, no mask, no inversion, predictor 1,
 * one band, no resolution), fills it (size, colour space,
 * compression, pass-through, palette, masks, resolution, bands), installs
 * the slot's data source, sets `occupied` and `file_name`, writes the
 * XObject through pdf_write_image_xobject before it returns, and returns the
 * slot index; on failure it returns -1 and the caller releases the slot.
 *
 * While it runs, a reader keeps its private state in a block of its own
 * behind the slot's `reader` pointer, made by pdf_begin_reader with the
 * reader's operation table. Everything the state holds (a library's
 * handles, buffers, the palette) is released by the table's `release`
 * through pdf_end_reader, whichever way the reader ends: its own return,
 * pdf_reader_fail, pdf_fail_image_data, or the release of the slot after an
 * error left the reader (a fatal report does not come back).
 */
#ifndef FOLIO_READER_H
#define FOLIO_READER_H

#include "images.h"

/* A palette of 256 RGB triplets, the most any reader keeps. */
#define PDF_PALETTE_SIZE 768

struct pdf_reader_operations_s {
    /* Releases what the reader's state holds; the state block, the raster
     * and the slot's file go afterwards. It may run after an error at any
     * point: fields not set yet are zero. Null: the state holds nothing. */
    void (*release)(pdf_document *document, pdf_image *image);
    /* Copies the image's pass-through data straight from its file into the
     * output (see pdf_copy_file_range), reporting the reader's own errors.
     * Returns 0 when it copied nothing and the data go through the source.
     * Null: the data always go through the source. */
    int (*copy_direct)(pdf_document *document, pdf_image *image);
};

/* Makes the reader's zero-filled state of `size` bytes (allocation tag
 * `tag`) and installs it with the reader's operations. Returns the state,
 * or null after the memory error. */
void *pdf_begin_reader(pdf_document *document, pdf_image *image,
                       const pdf_reader_operations *operations, size_t size, const char *tag);
/* Releases the reader's state, the raster and the slot's file; the palette
 * goes with the state. Safe to call again. */
void pdf_end_reader(pdf_document *document, pdf_image *image);

/* Ends a reader's failed attempt: its state is released, since a fatal
 * report does not come back; then the message is reported, a refusal
 * (PDF_ERR_NONFATAL) only with "imagewarning", any other type always.
 * Returns -1 for the reader to pass on. */
int pdf_reader_fail(pdf_document *document, pdf_image *image, int type, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 4, 5)))
#endif
    ;

/* Damage found while the image's data are copied: the slot is released and
 * PDF_ERR_IO raised with `message`, in which a "%s" stands for the file's
 * name. Should the handler return, the writer finishes the XObject quietly
 * (without a palette, which went with the reader's state). */
void pdf_fail_image_data(pdf_document *document, pdf_image *image, const char *message);

/* The "colorize" and "masked" parameters as the JPEG, PNG and TIFF readers
 * take them. "colorize" gives a one-component image the colourspace of slot
 * `number`; `kind` names the format in the message. "masked" masks the
 * image with the stencil mask image `mask`, or leaves it unmasked when
 * `mask` is negative. Each returns 0, or -1 after giving up through
 * pdf_reader_fail (PDF_ERR_VALUE). */
int pdf_apply_colorize(pdf_document *document, pdf_image *image, const char *kind,
                       const char *filename, int number);
int pdf_apply_masked(pdf_document *document, pdf_image *image, const char *filename, int mask);
/* True for a colourspace slot whose code still fits the slot's one-byte
 * colourspace field, as "colorize" needs. */
int pdf_is_colorspace_slot(const pdf_document *document, int number);

/* The device colour space of `components` samples per pixel (gray, RGB or
 * CMYK); -1 for any other count. */
int pdf_device_colorspace(int components);

/* Installs a reader's source kind as the slot's source over the slot
 * itself (`context`), with no buffer yet. */
void pdf_set_image_source(pdf_image *image, const pdf_source_operations *operations);

#endif /* FOLIO_READER_H */
