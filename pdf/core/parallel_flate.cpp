/*
 * parallel_flate.cpp -- the blocks of a stream deflated on several threads,
 * and the zlib stream they make together.
 */
#include "parallel_flate.h"

#include <pthread.h>
#include <string.h>

#include "output.h"

/* One block of the stream. Its input buffer holds the dictionary's room,
 * then the block's data, so that the next block finds its dictionary at the
 * end of this one. */
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
    int deflated; /* set by the thread that deflated it (atomic) */
} flate_block;

/* The blocks of the document's streams, kept while the level and the thread
 * count stay, and the queue through which the threads take them. Block n of
 * a stream lives in slot n % block_count; the calling thread fills blocks in
 * order while there is a free slot, the threads deflate them in the order
 * they were filled, and the calling thread writes them in that order too,
 * freeing their slots. */
struct pdf_flate_blocks_s {
    flate_block *blocks;
    int block_count;
    int thread_count; /* 0: deflated on the calling thread */
    int level;
    int ready;         /* every block set up */
    int filtered_rows; /* the stream's data are filtered rows */
    /* The stream in progress. */
    long filled;             /* blocks filled so far */
    long taken;              /* blocks a thread has taken */
    long written;            /* blocks written; on the calling thread only */
    pthread_mutex_t lock;    /* guards filled, taken, stopping */
    pthread_cond_t work;     /* a block was filled, or the threads must stop */
    pthread_cond_t finished; /* a block was deflated */
    int synchronised;        /* lock and conditions initialised */
    int stopping;
    pdf_source_feed feed; /* where the source stands */
    size_t bytes_read;    /* from the source, into the blocks filled */
    int all_read;         /* the block filled last is the stream's last */
    /* The source whose blocks are deflated ahead of its writing, if any. */
    pdf_data_source *ahead_source;
    pthread_t threads[PDF_MAX_COMPRESS_THREADS];
    int running;
};

namespace {

/* ---- On the threads: no hooks, no error reports ---------------------------- */

/* Sets the deflater for the stream's data after a reset: the document's
 * level, or for filtered rows at levels 4 to 6 the search of level 3 with a
 * chain of 40. On filtered photographs that is within 2.5 % of level 6's
 * size in under two fifths of its time: lazy matching and long chains find
 * little more there. The time goes with the chain (48: 10 % slower, 0.8 %
 * smaller; 32: 7 % faster, 1 % larger). */
int set_search(const pdf_flate_blocks *job, z_stream *z) {
    int tuned = job->filtered_rows && job->level >= 4 && job->level <= 6;

    if (deflateParams(z, tuned ? 3 : job->level, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
    return !tuned || deflateTune(z, 8, 16, 128, 40) == Z_OK;
}

void deflate_block(const pdf_flate_blocks *job, flate_block *block) {
    z_stream *z = &block->deflater;
    pdf_byte *data = block->input + PDF_FLATE_WINDOW_SIZE;
    int result;

    block->adler = adler32(adler32(0L, Z_NULL, 0), data, (uInt)block->input_length);
    block->failed = deflateReset(z) != Z_OK || !set_search(job, z);
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

flate_block *slot_of(const pdf_flate_blocks *job, long number) {
    return &job->blocks[number % job->block_count];
}

/* Deflates the filled blocks in order, one at a time, until told to stop. */
void *deflate_filled_blocks(void *argument) {
    pdf_flate_blocks *job = (pdf_flate_blocks *)argument;

    pthread_mutex_lock(&job->lock);
    for (;;) {
        while (!job->stopping && job->taken == job->filled)
            pthread_cond_wait(&job->work, &job->lock);
        if (job->stopping) break;
        flate_block *block = slot_of(job, job->taken++);
        pthread_mutex_unlock(&job->lock);
        deflate_block(job, block);
        pthread_mutex_lock(&job->lock);
        __atomic_store_n(&block->deflated, 1, __ATOMIC_RELEASE);
        pthread_cond_signal(&job->finished);
    }
    pthread_mutex_unlock(&job->lock);
    return NULL;
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

/* Four blocks per thread and two more: while each thread deflates one,
 * others wait for a thread or to be written, and the calling thread fills
 * or writes the rest. A reader deflating ahead (below) may fill them all
 * before anything can be written: with fewer, the threads of a two-thread
 * run would wait a third of the time a PNG file takes to decode. Without
 * threads, one block and the one before it. */
int blocks_in_flight(int threads) {
    return threads > 0 ? 4 * threads + 2 : 2;
}

/* Initialises the job's lock and conditions. Returns 0 after reporting a
 * failure. */
int set_up_queue(pdf_document *document, pdf_flate_blocks *job) {
    if (pthread_mutex_init(&job->lock, NULL) != 0) {
        pdf_error(document, PDF_ERR_SYSTEM, "Couldn't set up the compression threads");
        return 0;
    }
    if (pthread_cond_init(&job->work, NULL) != 0) {
        pthread_mutex_destroy(&job->lock);
        pdf_error(document, PDF_ERR_SYSTEM, "Couldn't set up the compression threads");
        return 0;
    }
    if (pthread_cond_init(&job->finished, NULL) != 0) {
        pthread_cond_destroy(&job->work);
        pthread_mutex_destroy(&job->lock);
        pdf_error(document, PDF_ERR_SYSTEM, "Couldn't set up the compression threads");
        return 0;
    }
    job->synchronised = 1;
    return 1;
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
    if (!set_up_queue(document, job)) return NULL;
    job->block_count = blocks_in_flight(threads);
    job->blocks = (flate_block *)pdf_calloc(
        document, sizeof(flate_block) * (size_t)job->block_count, "pdf_copy_source_in_blocks");
    if (job->blocks == NULL) return NULL;
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

/* Writes a deflated block and adds its data to the Adler-32 of the stream.
 * A block that failed is reported as the same block deflated on the calling
 * thread would be. Returns 0 after an error was reported. */
int write_block(pdf_document *document, const flate_block *block, uLong *adler) {
    if (block->failed) {
        pdf_error(document, PDF_ERR_SYSTEM,
                  block->last ? "Compression error (Z_FINISH)" : "Compression error (Z_NO_FLUSH)");
        return 0;
    }
    pdf_write(document, block->output, block->output_length);
    *adler = adler32_combine(*adler, block->adler, (z_off_t)block->input_length);
    return 1;
}

/* Deflates on the calling thread the blocks filled and not yet taken. */
void deflate_pending_blocks(pdf_flate_blocks *job) {
    for (; job->taken < job->filled; job->taken++) {
        flate_block *block = slot_of(job, job->taken);
        deflate_block(job, block);
        block->deflated = 1;
    }
}

/* Starts the job's threads; the calling thread deflates the blocks itself
 * when none is set or none can be started. */
void start_threads(pdf_flate_blocks *job) {
    job->stopping = 0;
    while (job->running < job->thread_count &&
           pthread_create(&job->threads[job->running], NULL, deflate_filled_blocks, job) == 0)
        job->running++;
    if (job->running == 0) deflate_pending_blocks(job);
}

/* Hands the block just filled to the threads, started again if an error
 * report stopped them, or deflates it at once when none is running. */
void queue_block(pdf_flate_blocks *job, flate_block *block) {
    __atomic_store_n(&block->deflated, 0, __ATOMIC_RELAXED);
    if (job->running == 0 && job->stopping) start_threads(job);
    if (job->running == 0) {
        job->filled++;
        deflate_pending_blocks(job);
        return;
    }
    pthread_mutex_lock(&job->lock);
    job->filled++;
    pthread_cond_signal(&job->work);
    pthread_mutex_unlock(&job->lock);
}

/* Waits until a thread has deflated `block`. */
void wait_for_block(pdf_flate_blocks *job, const flate_block *block) {
    pthread_mutex_lock(&job->lock);
    while (!__atomic_load_n(&block->deflated, __ATOMIC_ACQUIRE))
        pthread_cond_wait(&job->finished, &job->lock);
    pthread_mutex_unlock(&job->lock);
}

/* True when the next block to write has been deflated. */
int next_block_deflated(const pdf_flate_blocks *job) {
    return job->written < job->filled &&
           __atomic_load_n(&slot_of(job, job->written)->deflated, __ATOMIC_ACQUIRE);
}

/* Starts a stream: no block filled, the source at its start. */
void reset_stream(pdf_flate_blocks *job) {
    job->filled = job->taken = job->written = 0;
    job->bytes_read = 0;
    job->all_read = 0;
    memset(&job->feed, 0, sizeof job->feed);
}

/* Reads the next block from the source, primed with the end of the one
 * before, and hands it on. */
void fill_next_block(pdf_document *document, pdf_flate_blocks *job, pdf_data_source *source) {
    flate_block *block = slot_of(job, job->filled);

    job->bytes_read += fill_block(document, source, &job->feed, block,
                                  job->filled > 0 ? slot_of(job, job->filled - 1) : NULL);
    job->all_read = block->last;
    queue_block(job, block);
}

/* Reads the rest of the stream into the free slots while the threads
 * deflate the filled ones, and writes each block as soon as it and every
 * block before it are deflated; until the block read last is out. The
 * threads are started. An error report stops them (pdf_error); when its
 * handler returns, as a warning's may, they are started again and the
 * stream goes on. */
void write_blocks(pdf_document *document, pdf_flate_blocks *job, pdf_data_source *source) {
    uLong adler = adler32(0L, Z_NULL, 0);

    write_zlib_header(document, job->level);
    while (!job->all_read || job->written < job->filled) {
        if (job->running == 0 && job->stopping) start_threads(job);
        if (next_block_deflated(job)) {
            if (!write_block(document, slot_of(job, job->written), &adler)) break;
            job->written++;
        } else if (!job->all_read && job->filled - job->written < job->block_count) {
            fill_next_block(document, job, source);
        } else {
            wait_for_block(job, slot_of(job, job->written));
        }
    }
    pdf_join_flate_threads(document);
    if (job->written == job->filled)
        for (int shift = 24; shift >= 0; shift -= 8)
            pdf_putc(document, (int)((adler >> shift) & 0xFF));
}

/* The document's blocks while a copy ahead is in progress, else null. */
pdf_flate_blocks *ahead_blocks(pdf_document *document) {
    pdf_flate_blocks *job = document->stream != NULL ? document->stream->flate_blocks : NULL;

    return job != NULL && job->ahead_source != NULL ? job : NULL;
}

}  // namespace

void pdf_copy_source_in_blocks(pdf_document *document, pdf_data_source *source, int filtered_rows) {
    pdf_flate_blocks *job = ahead_blocks(document);

    if (job != NULL && job->ahead_source == source) {
        job->ahead_source = NULL;
        write_blocks(document, job, source);
        pdf_end_source(document, source);
        return;
    }
    job = document_blocks(document);
    if (job == NULL) return;
    job->filtered_rows = filtered_rows;
    pdf_begin_source(document, source);
    reset_stream(job);
    job->bytes_read = fill_block(document, source, &job->feed, &job->blocks[0], NULL);
    if (job->blocks[0].last && !filtered_rows) {
        /* One block or less: deflated as one piece, as without threads. */
        pdf_compress_init(document);
        pdf_write(document, job->blocks[0].input + PDF_FLATE_WINDOW_SIZE,
                  job->blocks[0].input_length);
        pdf_compress_end(document);
    } else {
        job->all_read = job->blocks[0].last;
        start_threads(job);
        queue_block(job, &job->blocks[0]);
        write_blocks(document, job, source);
    }
    pdf_end_source(document, source);
}

int pdf_flate_blocks_held(pdf_document *document) {
    return ahead_blocks(document) != NULL;
}

void pdf_begin_flate_ahead(pdf_document *document, pdf_data_source *source, int filtered_rows) {
    pdf_flate_blocks *job = document_blocks(document);

    if (job == NULL) return;
    job->filtered_rows = filtered_rows;
    pdf_begin_source(document, source);
    reset_stream(job);
    start_threads(job);
    job->ahead_source = source;
}

void pdf_flate_ahead(pdf_document *document, size_t available) {
    pdf_flate_blocks *job = ahead_blocks(document);

    while (job != NULL && !job->all_read && job->filled - job->written < job->block_count &&
           job->bytes_read + PDF_FLATE_BLOCK_SIZE <= available)
        fill_next_block(document, job, job->ahead_source);
}

void pdf_end_flate_ahead(pdf_document *document, const pdf_data_source *source) {
    pdf_flate_blocks *job = ahead_blocks(document);

    if (job == NULL || job->ahead_source != source) return;
    pdf_join_flate_threads(document);
    job->ahead_source = NULL;
}

void pdf_join_flate_threads(pdf_document *document) {
    pdf_flate_blocks *job = document->stream != NULL ? document->stream->flate_blocks : NULL;

    if (job == NULL || job->running == 0) return;
    pthread_mutex_lock(&job->lock);
    job->stopping = 1;
    pthread_cond_broadcast(&job->work);
    pthread_mutex_unlock(&job->lock);
    while (job->running > 0) pthread_join(job->threads[--job->running], NULL);
}

void pdf_free_flate_blocks(pdf_document *document) {
    pdf_flate_blocks *job = document->stream->flate_blocks;

    if (job == NULL) return;
    pdf_join_flate_threads(document);
    for (int i = 0; job->blocks != NULL && i < job->block_count; i++) {
        flate_block *block = &job->blocks[i];
        if (block->deflater.state != Z_NULL) deflateEnd(&block->deflater);
        if (block->input != NULL) pdf_free(document, block->input);
        if (block->output != NULL) pdf_free(document, block->output);
    }
    if (job->blocks != NULL) pdf_free(document, job->blocks);
    if (job->synchronised) {
        pthread_cond_destroy(&job->finished);
        pthread_cond_destroy(&job->work);
        pthread_mutex_destroy(&job->lock);
    }
    pdf_free(document, job);
    document->stream->flate_blocks = NULL;
}
