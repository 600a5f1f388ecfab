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

/* The blocks of the document's streams, kept while the level and the thread
 * count stay: two halves of one block per thread (one without threads). */
struct pdf_flate_blocks_s {
    flate_block *blocks;
    int block_count;
    int thread_count; /* 0: deflated on the calling thread */
    int level;
    int ready;         /* every block set up */
    int filtered_rows; /* the stream's data are filtered rows */
    /* The batch being deflated, and its threads. */
    flate_block *batch;
    int batch_count;
    int next_block; /* the next block a thread takes (atomic) */
    pthread_t threads[PDF_MAX_COMPRESS_THREADS];
    int running;
};

namespace {

/* ---- On the threads: no hooks, no error reports ---------------------------- */

/* Sets the deflater for the stream's data after a reset: the document's
 * level, or for filtered rows at levels 4 to 6 the search of level 3 with a
 * chain of 48. On filtered photographs that is within 2 % of level 6's
 * size in less than half its time: lazy matching and long chains find
 * little more there. */
int set_search(const pdf_flate_blocks *job, z_stream *z) {
    int tuned = job->filtered_rows && job->level >= 4 && job->level <= 6;

    if (deflateParams(z, tuned ? 3 : job->level, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
    return !tuned || deflateTune(z, 8, 16, 128, 48) == Z_OK;
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

/* Takes the batch's blocks one by one until none is left. */
void *deflate_blocks(void *argument) {
    pdf_flate_blocks *job = (pdf_flate_blocks *)argument;

    for (;;) {
        int index = __atomic_fetch_add(&job->next_block, 1, __ATOMIC_RELAXED);
        if (index >= job->batch_count) return NULL;
        deflate_block(job, &job->batch[index]);
    }
}

/* Starts deflating `count` blocks from `first` on the job's threads and
 * returns at once; without threads (or when none can be started) the
 * calling thread deflates them before it returns. */
void start_batch(pdf_flate_blocks *job, flate_block *first, int count) {
    job->batch = first;
    job->batch_count = count;
    job->next_block = 0;
    while (job->running < job->thread_count && job->running < count &&
           pthread_create(&job->threads[job->running], NULL, deflate_blocks, job) == 0)
        job->running++;
    if (job->running == 0) deflate_blocks(job);
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
    job->blocks = (flate_block *)pdf_calloc(
        document, sizeof(flate_block) * 2 * (size_t)(threads > 0 ? threads : 1),
        "pdf_copy_source_in_blocks");
    if (job->blocks == NULL) return NULL;
    job->block_count = 2 * (threads > 0 ? threads : 1);
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

/* Writes the deflated blocks in order and adds their data to the Adler-32
 * of the stream. A block that failed is reported as the same block deflated
 * on the calling thread would be. */
void write_batch(pdf_document *document, const flate_block *blocks, int count, uLong *adler) {
    for (int i = 0; i < count; i++) {
        const flate_block *block = &blocks[i];

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

/* Reads blocks `from` on of a half of `count` blocks, the first primed
 * with the end of `previous`, until the half is full or the data end.
 * Returns the blocks of the half that hold data. */
int fill_half(pdf_document *document, pdf_data_source *source, pdf_source_feed *feed,
              flate_block *half, int from, int count, const flate_block *previous) {
    int filled = from;

    while (filled < count && (filled == 0 || !half[filled - 1].last)) {
        fill_block(document, source, feed, &half[filled],
                   filled == 0 ? previous : &half[filled - 1]);
        filled++;
    }
    return filled;
}

/* Deflates one half of the blocks while the calling thread reads the data
 * into the other, then writes the first; until the block read last is out.
 * The first block is read. */
void write_blocks(pdf_document *document, pdf_flate_blocks *job, pdf_data_source *source,
                  pdf_source_feed *feed) {
    uLong adler = adler32(0L, Z_NULL, 0);
    int half = job->block_count / 2;
    flate_block *current = job->blocks;
    int count = fill_half(document, source, feed, current, 1, half, NULL);

    write_zlib_header(document, job->level);
    for (;;) {
        int last = current[count - 1].last;
        flate_block *next = current == job->blocks ? job->blocks + half : job->blocks;
        int next_count = 0;

        start_batch(job, current, count);
        if (!last)
            next_count = fill_half(document, source, feed, next, 0, half, &current[count - 1]);
        pdf_join_flate_threads(document);
        write_batch(document, current, count, &adler);
        if (last) break;
        current = next;
        count = next_count;
    }
    for (int shift = 24; shift >= 0; shift -= 8) pdf_putc(document, (int)((adler >> shift) & 0xFF));
}

}  // namespace

void pdf_copy_source_in_blocks(pdf_document *document, pdf_data_source *source, int filtered_rows) {
    pdf_flate_blocks *job = document_blocks(document);
    pdf_source_feed feed = {NULL, 0, 0};

    if (job == NULL) return;
    job->filtered_rows = filtered_rows;
    pdf_begin_source(document, source);
    fill_block(document, source, &feed, &job->blocks[0], NULL);
    if (job->blocks[0].last && !filtered_rows) {
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

void pdf_join_flate_threads(pdf_document *document) {
    pdf_flate_blocks *job = document->stream != NULL ? document->stream->flate_blocks : NULL;

    while (job != NULL && job->running > 0) pthread_join(job->threads[--job->running], NULL);
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
    pdf_free(document, job);
    document->stream->flate_blocks = NULL;
}
