/*
 * parallel_flate.cpp -- the blocks of a stream deflated on several threads,
 * and the zlib stream they make together.
 */
#include "parallel_flate.h"

#include <pthread.h>
#include <string.h>

#include "output.h"

/* One block in flight. Its input buffer holds the dictionary's room, then
 * the block's data, so that the next block finds its dictionary at the end
 * of this one. */
typedef struct {
    z_stream deflater; /* raw deflate, set up on the calling thread */
    pdf_byte *input;   /* PDF_FLATE_WINDOW_SIZE + PDF_FLATE_BLOCK_SIZE bytes */
    size_t dictionary_length;
    size_t input_length; /* data bytes, after the dictionary's room */
    pdf_byte *output;
    size_t output_size;
    size_t output_length;
    uLong adler; /* of the data */
    int last;
    int failed;
} flate_block;

/* The blocks of one stream, kept for the next while the level and the
 * thread count stay. */
struct pdf_flate_blocks_s {
    flate_block *blocks;
    int block_count;
    int thread_count;
    int level;
    int ready;       /* every block set up */
    int batch_count; /* blocks of the batch being deflated */
    int next_block;  /* the next block a thread takes (atomic) */
};

namespace {

/* ---- On the threads: no hooks, no error reports ---------------------------- */

void deflate_block(flate_block *block) {
    z_stream *z = &block->deflater;
    pdf_byte *data = block->input + PDF_FLATE_WINDOW_SIZE;
    int result;

    block->adler = adler32(adler32(0L, Z_NULL, 0), data, (uInt)block->input_length);
    block->failed = deflateReset(z) != Z_OK;
    if (!block->failed && block->dictionary_length != 0)
        block->failed = deflateSetDictionary(z, data - block->dictionary_length,
                                             (uInt)block->dictionary_length) != Z_OK;
    if (block->failed) return;
    z->next_in = data;
    z->avail_in = (uInt)block->input_length;
    z->next_out = block->output;
    z->avail_out = (uInt)block->output_size;
    result = deflate(z, block->last ? Z_FINISH : Z_SYNC_FLUSH);
    block->output_length = block->output_size - z->avail_out;
    /* A flush is complete only when it left room unused. */
    if (block->last)
        block->failed = result != Z_STREAM_END;
    else
        block->failed = result != Z_OK || z->avail_in != 0 || z->avail_out == 0;
}

/* Takes the batch's blocks one by one until none is left. */
void *deflate_blocks(void *argument) {
    pdf_flate_blocks *job = (pdf_flate_blocks *)argument;

    for (;;) {
        int index = __atomic_fetch_add(&job->next_block, 1, __ATOMIC_RELAXED);
        if (index >= job->batch_count) return NULL;
        deflate_block(&job->blocks[index]);
    }
}

/* Deflates the first `count` blocks with up to the job's threads, the
 * calling thread among them, and returns when all are done. A thread that
 * cannot be started leaves its share to the others. */
void deflate_batch(pdf_flate_blocks *job, int count) {
    pthread_t threads[PDF_MAX_COMPRESS_THREADS];
    int started = 0;

    job->batch_count = count;
    job->next_block = 0;
    while (started < job->thread_count - 1 && started < count - 1 &&
           pthread_create(&threads[started], NULL, deflate_blocks, job) == 0)
        started++;
    deflate_blocks(job);
    while (started > 0) pthread_join(threads[--started], NULL);
}

/* ---- On the calling thread ----------------------------------------------- */

/* Sets up one block: buffers and a raw deflate state at the job's level. */
void set_up_block(pdf_document *document, pdf_flate_blocks *job, flate_block *block) {
    z_stream *z = &block->deflater;

    block->input = (pdf_byte *)pdf_malloc(document, PDF_FLATE_WINDOW_SIZE + PDF_FLATE_BLOCK_SIZE,
                                          "pdf_copy_source_in_blocks");
    if (block->input == NULL) return;
    pdf_use_document_memory(document, z);
    if (deflateInit2(z, job->level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        pdf_error(document, PDF_ERR_SYSTEM, "Compression error (deflateInit)");
        return;
    }
    /* Room for the worst case, and for the flush that ends the block. */
    block->output_size = deflateBound(z, PDF_FLATE_BLOCK_SIZE) + PDF_FLATE_BLOCK_SIZE / 64 + 64;
    block->output =
        (pdf_byte *)pdf_malloc(document, block->output_size, "pdf_copy_source_in_blocks");
}

/* The document's blocks for its level and thread count, set up anew when
 * either changed; null after an error was reported. */
pdf_flate_blocks *document_blocks(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    pdf_flate_blocks *job = stream->flate_blocks;
    int threads = document->compress_threads;

    if (job != NULL && job->ready && job->level == document->compress &&
        job->thread_count == threads)
        return job;
    pdf_free_flate_blocks(document);
    job = (pdf_flate_blocks *)pdf_calloc(document, sizeof *job, "pdf_copy_source_in_blocks");
    if (job == NULL) return NULL;
    stream->flate_blocks = job;
    job->level = document->compress;
    job->thread_count = threads;
    job->blocks = (flate_block *)pdf_calloc(document, sizeof(flate_block) * 2 * (size_t)threads,
                                            "pdf_copy_source_in_blocks");
    if (job->blocks == NULL) return NULL;
    job->block_count = 2 * threads;
    for (int i = 0; i < job->block_count; i++) {
        set_up_block(document, job, &job->blocks[i]);
        if (job->blocks[i].output == NULL) return NULL;
    }
    job->ready = 1;
    return job;
}

/* Reads the next block from the source, primed with the end of `previous`
 * (null for the first block). Returns the data bytes read. */
size_t fill_block(pdf_document *document, pdf_data_source *source, pdf_source_feed *feed,
                  flate_block *block, const flate_block *previous) {
    pdf_byte *data = block->input + PDF_FLATE_WINDOW_SIZE;

    block->dictionary_length = previous != NULL ? PDF_FLATE_WINDOW_SIZE : 0;
    if (previous != NULL)
        memcpy(block->input, previous->input + PDF_FLATE_BLOCK_SIZE, PDF_FLATE_WINDOW_SIZE);
    block->input_length = pdf_read_source(document, source, feed, data, PDF_FLATE_BLOCK_SIZE);
    block->last = !pdf_source_has_more(document, source, feed);
    return block->input_length;
}

/* The zlib header deflateInit writes for `level` without a dictionary. */
void write_zlib_header(pdf_document *document, int level) {
    unsigned level_flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = (0x78u << 8) | (level_flags << 6);

    header += 31 - header % 31;
    pdf_putc(document, (int)(header >> 8));
    pdf_putc(document, (int)(header & 0xFF));
}

/* Writes the deflated blocks of the batch in order and adds their data to
 * the Adler-32 of the stream. A block that failed is reported as the same
 * block deflated in one piece would be. */
void write_batch(pdf_document *document, pdf_flate_blocks *job, int count, uLong *adler) {
    for (int i = 0; i < count; i++) {
        flate_block *block = &job->blocks[i];

        if (block->failed) {
            pdf_error(
                document, PDF_ERR_SYSTEM,
                block->last ? "Compression error (Z_FINISH)" : "Compression error (Z_NO_FLUSH)");
            return;
        }
        pdf_write(document, block->output, block->output_length);
        *adler = adler32_combine(*adler, block->adler, (z_off_t)block->input_length);
    }
}

/* Fills, deflates and writes batches until the block read first, and all
 * after it, are out. */
void write_blocks(pdf_document *document, pdf_flate_blocks *job, pdf_data_source *source,
                  pdf_source_feed *feed) {
    uLong adler = adler32(0L, Z_NULL, 0);
    int count = 1; /* the first block is read */
    int last = 0;

    write_zlib_header(document, job->level);
    while (!last) {
        last = job->blocks[count - 1].last;
        while (!last && count < job->block_count) {
            const flate_block *previous = &job->blocks[count - 1];
            fill_block(document, source, feed, &job->blocks[count], previous);
            last = job->blocks[count++].last;
        }
        deflate_batch(job, count);
        write_batch(document, job, count, &adler);
        if (last) break;
        fill_block(document, source, feed, &job->blocks[0], &job->blocks[count - 1]);
        count = 1;
    }
    for (int shift = 24; shift >= 0; shift -= 8) pdf_putc(document, (int)((adler >> shift) & 0xFF));
}

}  // namespace

void pdf_copy_source_in_blocks(pdf_document *document, pdf_data_source *source) {
    pdf_flate_blocks *job = document_blocks(document);
    pdf_source_feed feed = {NULL, 0, 0};

    if (job == NULL) return;
    pdf_begin_source(document, source);
    fill_block(document, source, &feed, &job->blocks[0], NULL);
    if (job->blocks[0].last) {
        /* One block or less: deflated as one piece, as without threads. */
        pdf_compress_init(document);
        pdf_write(document, job->blocks[0].input + PDF_FLATE_WINDOW_SIZE,
                  job->blocks[0].input_length);
        pdf_compress_end(document);
    } else {
        write_blocks(document, job, source, &feed);
    }
    pdf_end_source(document, source);
}

void pdf_free_flate_blocks(pdf_document *document) {
    pdf_flate_blocks *job = document->stream->flate_blocks;

    if (job == NULL) return;
    for (int i = 0; job->blocks != NULL && i < job->block_count; i++) {
        flate_block *block = &job->blocks[i];
        if (block->deflater.state != Z_NULL) deflateEnd(&block->deflater);
        if (block->input != NULL) pdf_free(document, block->input);
        if (block->output != NULL) pdf_free(document, block->output);
    }
    if (job->blocks != NULL) pdf_free(document, job->blocks);
    pdf_free(document, job);
    document->stream->flate_blocks = NULL;
}
