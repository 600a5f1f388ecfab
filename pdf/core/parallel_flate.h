/*
 * parallel_flate.h -- deflating a stream in blocks, on several threads.
 *
 * The stream a data source delivers is cut into blocks of
 * PDF_FLATE_BLOCK_SIZE input bytes. Each block is deflated on its own,
 * primed with the 32 KB of input before it as dictionary, and ended with a
 * sync flush (the last one finishes the stream); the pieces, between a zlib
 * header and the Adler-32 of the whole input, make one zlib stream. The
 * blocks are the same whatever the number of threads, and so are the bytes.
 *
 * Memory is bounded: four blocks per thread and two more are in flight, set
 * up through the document's hooks on the calling thread before any thread
 * starts. The calling thread reads the source into the free blocks while
 * the threads deflate the filled ones, and writes each block once it and
 * all before it are deflated. The threads call nothing of the library: no
 * hook, no error report. A failure in a thread is reported by the calling
 * thread when it comes to write the block, and pdf_error stops and joins
 * every running thread before it calls the handler, so that no thread is
 * left running when the handler leaves by longjmp; should the handler
 * return, the copy starts them again.
 */
#ifndef FOLIO_PARALLEL_FLATE_H
#define FOLIO_PARALLEL_FLATE_H

#include "data_source.h"

/* Input bytes per block, and the dictionary each block is primed with. */
#define PDF_FLATE_BLOCK_SIZE ((size_t)128 * 1024)
#define PDF_FLATE_WINDOW_SIZE ((size_t)32 * 1024)
/* The most threads "compressthreads" takes. */
enum { PDF_MAX_COMPRESS_THREADS = 32 };

/* Copies the source into the object being written, deflated in blocks at
 * the document's level on its "compressthreads" threads (on the calling
 * thread when none are set). With `filtered_rows`, the data are PNG-filtered
 * rows: at levels 4 to 6 the matches are searched as level 3 searches them,
 * with a longer chain, which on such data is within 2.5 % of level 6's size
 * in under two fifths of its time. Errors as for pdf_copy_source_compressed. */
void pdf_copy_source_in_blocks(pdf_document *document, pdf_data_source *source, int filtered_rows);

/* Deflating ahead of writing, for a reader that decodes an image row by
 * row: pdf_begin_flate_ahead begins the copy of `source` and starts the
 * threads, and each pdf_flate_ahead fills and hands on the blocks that
 * `available` bytes of the source fill, as long as there is a free block;
 * the source must deliver those bytes, and the chunk after them, without
 * reaching data not yet decoded. Nothing is written: the blocks wait for
 * pdf_copy_source_in_blocks on the same source, which goes on from there.
 * pdf_flate_blocks_held tells that such a copy waits: a stream copied in
 * the meantime must not use the blocks.
 * pdf_end_flate_ahead gives up a copy ahead of `source` that was never
 * written (the source's release). */
void pdf_begin_flate_ahead(pdf_document *document, pdf_data_source *source, int filtered_rows);
void pdf_flate_ahead(pdf_document *document, size_t available);
void pdf_end_flate_ahead(pdf_document *document, const pdf_data_source *source);
int pdf_flate_blocks_held(pdf_document *document);

/* Stops the threads of a copy in progress, if any, once each has finished
 * the block it is deflating, and joins them. */
void pdf_join_flate_threads(pdf_document *document);

/* Releases the blocks kept between streams (document release). */
void pdf_free_flate_blocks(pdf_document *document);

#endif /* FOLIO_PARALLEL_FLATE_H */
