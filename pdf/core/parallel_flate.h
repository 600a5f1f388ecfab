/*
 * parallel_flate.h -- deflating a large stream in blocks on several
 * threads.
 *
 * With the parameter "compressthreads" set, a stream copied from a data
 * source is cut into blocks of PDF_FLATE_BLOCK_SIZE input bytes. Each block
 * is deflated on its own, primed with the 32 KB of input before it as
 * dictionary, and ended with a sync flush (the last one finishes the
 * stream); the pieces, between a zlib header and the Adler-32 of the whole
 * input, make one zlib stream. The blocks are the same whatever the number
 * of threads, and so are the bytes. A stream of one block or less is
 * deflated as a whole, as without threads.
 *
 * Threads live only while a batch of blocks is deflated, and the calling
 * thread does nothing else meanwhile but deflate blocks itself: no thread
 * runs while the library reads the source, writes output, allocates or
 * reports an error. Every block's memory comes from the document's hooks
 * on the calling thread, before any thread starts, and a failure in a
 * thread is reported by the calling thread after all have ended.
 */
#ifndef FOLIO_PARALLEL_FLATE_H
#define FOLIO_PARALLEL_FLATE_H

#include "data_source.h"

/* Input bytes per block, and the dictionary each block is primed with. */
#define PDF_FLATE_BLOCK_SIZE ((size_t)128 * 1024)
#define PDF_FLATE_WINDOW_SIZE ((size_t)32 * 1024)
/* The most threads "compressthreads" takes. Twice as many blocks are in
 * flight at a time. */
enum { PDF_MAX_COMPRESS_THREADS = 32 };

/* Copies the source into the object being written, deflated at the
 * document's level with its "compressthreads" threads. Errors as for
 * pdf_copy_source_compressed. */
void pdf_copy_source_in_blocks(pdf_document *document, pdf_data_source *source);

/* Releases the blocks kept between streams (document release). */
void pdf_free_flate_blocks(pdf_document *document);

#endif /* FOLIO_PARALLEL_FLATE_H */
