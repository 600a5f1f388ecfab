/*
 * data_source.h -- pull sources of bytes, and the copies that drive a source
 * into the object being written.
 *
 * A source is a pdf_data_source with the operation table of its kind. A
 * consumer calls `init` once, then `refill` until it returns 0, consuming
 * `chunk_length` bytes at `chunk` after each successful refill, then
 * `release` once. The stock kinds are here: a file (or a part of one), one
 * memory block, and memory rows padded to four bytes; image readers define
 * their own.
 */
#ifndef FOLIO_DATA_SOURCE_H
#define FOLIO_DATA_SOURCE_H

#include "document.h"

typedef struct pdf_data_source_s pdf_data_source;

/* What a kind of source does; one static table per kind. */
typedef struct {
    void (*init)(pdf_document *document, pdf_data_source *source);
    /* Delivers the next chunk; 0 at the end. */
    int (*refill)(pdf_document *document, pdf_data_source *source);
    void (*release)(pdf_document *document, pdf_data_source *source);
} pdf_source_operations;

struct pdf_data_source_s {
    const pdf_source_operations *operations;
    pdf_byte *chunk; /* the bytes the last refill delivered */
    size_t chunk_length;
    pdf_byte *buffer; /* the source's buffer, or the caller's block */
    size_t buffer_size;
    void *context;     /* the kind's own: open file, image slot, rows */
    long start_offset; /* file source: where reading starts */
    long byte_limit;   /* file source: bytes to deliver, 0 to the end */
    long bytes_read;   /* file source: bytes delivered so far */
    const char *name;  /* file source: the file name, for messages */
    int active;        /* between init and release of a copy, so that
                          an error that leaves the copy can release it */
};

/* Size of the file source's buffer. */
#define PDF_FILE_SOURCE_BUFFER_SIZE (64 * 1024)

/* A source over the file `filename` from byte `start_offset`, delivering
 * `byte_limit` bytes (0: to the end). A file that cannot be opened is
 * PDF_ERR_IO "Couldn't open file '<name>'" at init; one that ends before the
 * limit is PDF_ERR_IO "Couldn't read all required bytes from file '<name>'"
 * at release. The name must outlive the source. */
void pdf_set_file_source(pdf_data_source *source, const char *filename, long start_offset,
                         long byte_limit);

/* A source delivering `length` bytes at `data` as one chunk. */
void pdf_set_memory_source(pdf_data_source *source, const void *data, size_t length);

/* Counters of the padded-rows source. */
typedef struct {
    long current_row;
    long row_count;
    long row_length;
    long stride;
} pdf_rows32_state;

/* A source delivering `rows->row_count` rows of `rows->row_length` bytes
 * that lie `rows->stride` bytes apart from `data`, one row per refill. */
void pdf_set_rows32_source(pdf_data_source *source, const void *data, size_t length,
                           pdf_rows32_state *rows);

/* Drive a source into the object being written: unchanged, deflated at the
 * document's level, or as ASCII hex ending in ">\n". */
void pdf_copy_source_raw(pdf_document *document, pdf_data_source *source);
void pdf_copy_source_compressed(pdf_document *document, pdf_data_source *source);
void pdf_copy_source_hex(pdf_document *document, pdf_data_source *source);

/* Starts a copy: `init`, then the source is marked active. */
void pdf_begin_source(pdf_document *document, pdf_data_source *source);

/* Where a reader of a source stands: the bytes of the last chunk not yet
 * taken, and whether the source has ended. Starts zeroed. */
typedef struct {
    const pdf_byte *pending;
    size_t pending_length;
    int ended;
} pdf_source_feed;

/* Reads up to `room` bytes from the source into `to`, refilling it as
 * needed; returns the bytes read, fewer only at the end of the data. */
size_t pdf_read_source(pdf_document *document, pdf_data_source *source, pdf_source_feed *feed,
                       pdf_byte *to, size_t room);
/* True while the source has bytes left; refills it to find out. */
int pdf_source_has_more(pdf_document *document, pdf_data_source *source, pdf_source_feed *feed);

/* Releases a source whose copy an error left (see `active`). */
void pdf_end_source(pdf_document *document, pdf_data_source *source);

#endif /* FOLIO_DATA_SOURCE_H */
