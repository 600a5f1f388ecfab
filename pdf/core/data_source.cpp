/*
 * data_source.cpp -- the stock data sources and the copy operations.
 */
#include "data_source.h"

#include <string.h>

#include "output.h"
#include "parallel_flate.h"

namespace {

/* ---- File source ----------------------------------------------------------- */

/* Opens the file named by `name` and keeps the open stream in `context`.
 * The buffer is released again before a failure is reported, so the source
 * holds nothing then. */
void file_source_init(pdf_document *document, pdf_data_source *source) {
    const char *filename = source->name;
    source->buffer_size = PDF_FILE_SOURCE_BUFFER_SIZE;
    source->buffer = (pdf_byte *)pdf_malloc(document, source->buffer_size, "pdf_file_source_init");
    FILE *fp = filename ? fopen(filename, "rb") : NULL;
    if (fp == NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
        source->context = NULL;
        pdf_error(document, PDF_ERR_IO, "Couldn't open file '%s'", filename ? filename : "");
        return;
    }
    if (source->start_offset != 0) fseek(fp, source->start_offset, SEEK_SET);
    source->context = fp;
    source->bytes_read = 0;
}

int file_source_refill(pdf_document *document, pdf_data_source *source) {
    (void)document;
    size_t request = source->buffer_size;
    if (source->byte_limit != 0 &&
        source->byte_limit < source->bytes_read + (long)source->buffer_size)
        request = (size_t)(source->byte_limit - source->bytes_read);
    if (request == 0 || source->buffer == NULL) return 0;
    size_t count = fread(source->buffer, 1, request, (FILE *)source->context);
    source->chunk = source->buffer;
    source->chunk_length = count;
    source->bytes_read += (long)count;
    return count != 0;
}

void file_source_release(pdf_document *document, pdf_data_source *source) {
    if (source->buffer != NULL) {
        pdf_free(document, source->buffer);
        source->buffer = NULL;
    }
    if (source->context != NULL) {
        fclose((FILE *)source->context);
        source->context = NULL;
    }
    if (source->byte_limit != 0 && source->byte_limit != source->bytes_read)
        pdf_error(document, PDF_ERR_IO, "Couldn't read all required bytes from file '%s'",
                  source->name ? source->name : "");
}

const pdf_source_operations kFileSource = {file_source_init, file_source_refill,
                                           file_source_release};

/* ---- Memory sources ---------------------------------------------------------- */

void no_operation(pdf_document *document, pdf_data_source *source) {
    (void)document;
    (void)source;
}

/* The whole block as one chunk: `chunk` is null until it was delivered. */
int memory_source_refill(pdf_document *document, pdf_data_source *source) {
    (void)document;
    if (source->chunk != NULL) return 0;
    source->chunk = source->buffer;
    source->chunk_length = source->buffer_size;
    return 1;
}

int rows32_source_refill(pdf_document *document, pdf_data_source *source) {
    (void)document;
    pdf_rows32_state *rows = (pdf_rows32_state *)source->context;
    if (rows->current_row >= rows->row_count) return 0;
    source->chunk = source->buffer + rows->stride * rows->current_row;
    source->chunk_length = (size_t)rows->row_length;
    rows->current_row++;
    return 1;
}

const pdf_source_operations kMemorySource = {no_operation, memory_source_refill, no_operation};
const pdf_source_operations kRows32Source = {no_operation, rows32_source_refill, no_operation};

}  // namespace

/* `active` marks the source for the release of a copy an error left. */
void pdf_begin_source(pdf_document *document, pdf_data_source *source) {
    source->operations->init(document, source);
    source->active = 1;
}

int pdf_source_has_more(pdf_document *document, pdf_data_source *source, pdf_source_feed *feed) {
    while (feed->pending_length == 0 && !feed->ended) {
        if (source->operations->refill(document, source)) {
            feed->pending = source->chunk;
            feed->pending_length = source->chunk_length;
        } else {
            feed->ended = 1;
        }
    }
    return feed->pending_length > 0;
}

size_t pdf_read_source(pdf_document *document, pdf_data_source *source, pdf_source_feed *feed,
                       pdf_byte *to, size_t room) {
    size_t read = 0;

    while (read < room && pdf_source_has_more(document, source, feed)) {
        size_t take = room - read;
        if (take > feed->pending_length) take = feed->pending_length;
        memcpy(to + read, feed->pending, take);
        read += take;
        feed->pending += take;
        feed->pending_length -= take;
    }
    return read;
}

void pdf_set_file_source(pdf_data_source *source, const char *filename, long start_offset,
                         long byte_limit) {
    memset(source, 0, sizeof *source);
    source->operations = &kFileSource;
    source->name = filename;
    source->start_offset = start_offset;
    source->byte_limit = byte_limit;
}

void pdf_set_memory_source(pdf_data_source *source, const void *data, size_t length) {
    memset(source, 0, sizeof *source);
    source->operations = &kMemorySource;
    source->buffer = (pdf_byte *)data;
    source->buffer_size = length;
}

void pdf_set_rows32_source(pdf_data_source *source, const void *data, size_t length,
                           pdf_rows32_state *rows) {
    pdf_set_memory_source(source, data, length);
    source->operations = &kRows32Source;
    source->context = rows;
}

/* ---- Copies ---------------------------------------------------------------- */

/* The source is released once, even when the release reports an error that
 * leaves the call. */
void pdf_end_source(pdf_document *document, pdf_data_source *source) {
    source->active = 0;
    source->operations->release(document, source);
}

void pdf_copy_source_raw(pdf_document *document, pdf_data_source *source) {
    pdf_begin_source(document, source);
    while (source->operations->refill(document, source))
        pdf_write(document, source->chunk, source->chunk_length);
    pdf_end_source(document, source);
}

void pdf_copy_source_compressed(pdf_document *document, pdf_data_source *source) {
    /* While an image's blocks wait to be written, other streams are
     * deflated in one piece. */
    if (document->compress != 0 && document->compress_threads > 0 &&
        !pdf_flate_blocks_held(document)) {
        pdf_copy_source_in_blocks(document, source, 0);
        return;
    }
    int compressing = document->compress != 0;
    if (compressing) pdf_compress_init(document);
    pdf_copy_source_raw(document, source);
    if (compressing) pdf_compress_end(document);
}

/* Two upper-case digits per byte, a line feed after every 64 digits. */
void pdf_copy_source_hex(pdf_document *document, pdf_data_source *source) {
    static const char digits[] = "0123456789ABCDEF";
    char line[66];
    int used = 0;
    pdf_begin_source(document, source);
    while (source->operations->refill(document, source)) {
        for (size_t i = 0; i < source->chunk_length; i++) {
            pdf_byte c = source->chunk[i];
            line[used++] = digits[c >> 4];
            line[used++] = digits[c & 0x0F];
            if (used == 64) {
                line[used++] = '\n';
                pdf_write(document, line, (size_t)used);
                used = 0;
            }
        }
    }
    if (used > 0) pdf_write(document, line, (size_t)used);
    pdf_end_source(document, source);
    pdf_puts(document, ">\n");
}
