/*
 * data_source.cpp -- the stock data sources.
 */
#include "data_source.h"

#include <string.h>

/* ---- File source ---------------------------------------------------------- */

/*
 * Opens the file named by `context` and replaces `context` by the open
 * stream; the name stays in `name` for messages. The buffer is released
 * again before a failure is reported, so the source holds nothing then.
 */
void PDF_data_source_file_init(pdf_document *document, PDF_data_source *source)
{
    const char *filename = (const char *)source->context;
    FILE *fp;

    source->name = filename;
    source->buffer_size = PDF_FILE_SOURCE_BUFFER_SIZE;
    source->buffer = (pdf_byte *)pdf_malloc(document, source->buffer_size,
                                            "PDF_data_source_file_init");
    fp = filename ? fopen(filename, "rb") : NULL;
    if (fp == NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
        source->context = NULL;
        pdf_error(document, PDF_ERR_IO, "Couldn't open file '%s'",
                  filename ? filename : "");
        return;
    }
    if (source->start_offset != 0)
        fseek(fp, source->start_offset, SEEK_SET);
    source->context = fp;
    source->bytes_read = 0;
}

int pdf_file_source_refill(pdf_document *document, PDF_data_source *source)
{
    size_t request = source->buffer_size;
    size_t count;

    (void)document;
    if (source->byte_limit != 0
        && source->byte_limit < source->bytes_read + (long)source->buffer_size)
        request = (size_t)(source->byte_limit - source->bytes_read);
    if (request == 0 || source->buffer == NULL)
        return 0;
    count = fread(source->buffer, 1, request, (FILE *)source->context);
    source->chunk = source->buffer;
    source->chunk_length = count;
    source->bytes_read += (long)count;
    return count != 0;
}

void pdf_file_source_release(pdf_document *document, PDF_data_source *source)
{
    if (source->buffer != NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
    }
    if (source->context != NULL) {
        fclose((FILE *)source->context);
        source->context = NULL;
    }
    if (source->byte_limit != 0 && source->byte_limit != source->bytes_read)
        pdf_error(document, PDF_ERR_IO,
                  "Couldn't read all required bytes from file '%s'",
                  source->name ? source->name : "");
}

/* ---- Memory sources ------------------------------------------------------- */

void pdf_noop_source(pdf_document *document, PDF_data_source *source)
{
    (void)document;
    (void)source;
}

int pdf_memory_source_refill(pdf_document *document, PDF_data_source *source)
{
    (void)document;
    if (source->chunk != NULL)
        return 0;
    source->chunk = source->buffer;
    source->chunk_length = source->buffer_size;
    return 1;
}

int pdf_rows32_source_refill(pdf_document *document, PDF_data_source *source)
{
    pdf_rows32_state *rows = (pdf_rows32_state *)source->context;

    (void)document;
    if (rows->current_row >= rows->row_count)
        return 0;
    source->chunk = source->buffer + rows->stride * rows->current_row;
    source->chunk_length = (size_t)rows->row_length;
    rows->current_row++;
    return 1;
}

void pdf_set_memory_source(PDF_data_source *source, const void *data, size_t length)
{
    memset(source, 0, sizeof *source);
    source->init = pdf_noop_source;
    source->refill = pdf_memory_source_refill;
    source->release = pdf_noop_source;
    source->buffer = (pdf_byte *)data;
    source->buffer_size = length;
}
