/*
 * decoded.cpp -- the raster of a decoded image and its source.
 */
#include "decoded.h"

#include <string.h>

#include "reader.h"

int pdf_alloc_raster(pdf_document *document, pdf_image *image, size_t row_length, long row_count,
                     const char *tag) {
    return pdf_alloc_rows(document, image, &image->raster, row_length, row_count, tag);
}

int pdf_alloc_rows(pdf_document *document, pdf_image *image, pdf_raster *raster, size_t row_length,
                   long row_count, const char *tag) {
    size_t size;

    if (row_length == 0 || row_count <= 0 || row_length > PDF_MAX_RASTER_BYTES / (size_t)row_count)
        return -1;
    size = row_length * (size_t)row_count;
    /* Straight through the hook: the reader releases what it holds before
     * the memory error is reported. */
    raster->rows = (pdf_byte *)document->malloc_proc(document, size, tag);
    if (raster->rows == NULL)
        return pdf_reader_fail(document, image, PDF_ERR_MEMORY, "Couldn't allocate memory in %s!\n",
                               tag);
    raster->row_length = row_length;
    raster->row_count = row_count;
    raster->next_row = 0;
    return 0;
}

void pdf_free_raster(pdf_document *document, pdf_image *image) {
    if (image->raster.rows != NULL) pdf_free(document, image->raster.rows);
    memset(&image->raster, 0, sizeof image->raster);
    if (image->mask_raster.rows != NULL) pdf_free(document, image->mask_raster.rows);
    memset(&image->mask_raster, 0, sizeof image->mask_raster);
}

namespace {

void raster_source_init(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;

    (void)document;
    image->raster.next_row = 0;
}

int raster_source_refill(pdf_document *document, pdf_data_source *source) {
    pdf_raster *raster = &((pdf_image *)source->context)->raster;

    (void)document;
    if (raster->rows == NULL || raster->next_row >= raster->row_count) return 0;
    source->chunk = raster->rows + (size_t)raster->next_row * raster->row_length;
    source->chunk_length = raster->row_length;
    raster->next_row++;
    return 1;
}

void raster_source_release(pdf_document *document, pdf_data_source *source) {
    (void)document;
    (void)source;
}

const pdf_source_operations raster_source = {raster_source_init, raster_source_refill,
                                             raster_source_release};

}  // namespace

void pdf_use_raster_source(pdf_image *image) {
    pdf_set_image_source(image, &raster_source);
}
