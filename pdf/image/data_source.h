/*
 * data_source.h -- the stock data sources: files, one memory block, and
 * memory rows padded to four bytes.
 */
#ifndef FOLIO_DATA_SOURCE_H
#define FOLIO_DATA_SOURCE_H

#include "images.h"

/* Size of the file source's buffer. */
#define PDF_FILE_SOURCE_BUFFER_SIZE (64 * 1024)

/* File source: set `context` to the file name, `start_offset` and
 * `byte_limit` (0 for "to the end") before `init`. A file that cannot be
 * opened is PDF_ERR_IO; so is, at release, a limit that was not reached. */
void PDF_data_source_file_init(pdf_document *document, PDF_data_source *source);
int pdf_file_source_refill(pdf_document *document, PDF_data_source *source);
void pdf_file_source_release(pdf_document *document, PDF_data_source *source);

/* Memory sources do nothing at init and release. */
void pdf_noop_source(pdf_document *document, PDF_data_source *source);
/* Delivers `buffer_size` bytes at `buffer` as one chunk; `chunk` must be
 * null before the first refill. */
int pdf_memory_source_refill(pdf_document *document, PDF_data_source *source);

/* Counters of the padded-rows source, pointed to by `context`. */
typedef struct {
    long current_row;
    long row_count;
    long row_length;
    long stride;
} pdf_rows32_state;

/* Delivers row_count rows of row_length bytes, the rows lying `stride`
 * bytes apart from `buffer`. */
int pdf_rows32_source_refill(pdf_document *document, PDF_data_source *source);

/* Sets a source up over one memory block. */
void pdf_set_memory_source(PDF_data_source *source, const void *data, size_t length);

#endif /* FOLIO_DATA_SOURCE_H */
