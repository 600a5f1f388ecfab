/*
 * output.cpp -- the output stream: one growable buffer in front of the sink,
 * Flate sections written straight into it, and the quoting of strings and
 * names. Every byte the library writes passes through pdf_write, apart from
 * image data that pdf_copy_file_range copies from file to file.
 */
#include "output.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "format.h"
#include "parallel_flate.h"

namespace {

voidpf zlib_alloc(voidpf opaque, uInt items, uInt size) {
    pdf_document *document = (pdf_document *)opaque;
    if (size != 0 && items > (size_t)-1 / size) return Z_NULL;
    /* Zero-filled, so that deflateEnd is safe on a state whose set-up was
     * left by an error. */
    return pdf_calloc(document, (size_t)items * size, "zlib");
}

void zlib_free(voidpf opaque, voidpf block) {
    pdf_free((pdf_document *)opaque, block);
}

void release_compressor(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    if (stream->compressor.state != Z_NULL) deflateEnd(&stream->compressor);
    stream->compressor.state = Z_NULL;
    stream->compressor_level = 0;
    stream->compressing = 0;
}

/* Sets the compressor up for a new section at `level`, reusing the state of
 * the previous section when the level is unchanged. */
void prepare_compressor(pdf_document *document, int level) {
    pdf_output_stream *stream = document->stream;
    if (stream->compressor_level == level) {
        deflateReset(&stream->compressor);
        return;
    }
    release_compressor(document);
    pdf_use_document_memory(document, &stream->compressor);
    if (deflateInit(&stream->compressor, level) != Z_OK) {
        release_compressor(document);
        pdf_error(document, PDF_ERR_SYSTEM, "Compression error (deflateInit)");
        return;
    }
    stream->compressor_level = level;
}

void write_compressed(pdf_document *document, const void *data, size_t count) {
    pdf_output_stream *stream = document->stream;
    z_stream *z = &stream->compressor;
    z->next_in = (Bytef *)data;
    z->avail_in = (uInt)count;
    z->avail_out = 0;
    while (z->avail_in > 0) {
        if (z->avail_out == 0) {
            pdf_check_stream(document, z->avail_in / 4 + 16);
            z->next_out = stream->position;
            z->avail_out = (uInt)(stream->end - stream->position);
        }
        if (deflate(z, Z_NO_FLUSH) != Z_OK) {
            pdf_error(document, PDF_ERR_SYSTEM, "Compression error (Z_NO_FLUSH)");
            return;
        }
        stream->position = z->next_out;
    }
}

/* The sink refused bytes: the buffer is dropped, so that nothing more is
 * written, and the failure reported. */
void report_output_failure(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    pdf_free(document, stream->start);
    stream->start = stream->position = stream->end = NULL;
    pdf_error(document, PDF_ERR_IO, "Couldn't write output (disk full?)");
}

}  // namespace

void pdf_use_document_memory(pdf_document *document, z_stream *z) {
    z->zalloc = zlib_alloc;
    z->zfree = zlib_free;
    z->opaque = document;
}

void pdf_open_stream(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    if (stream->start != NULL) pdf_free(document, stream->start);
    stream->start = stream->position = stream->end = NULL;
    stream->start = (pdf_byte *)pdf_malloc(document, PDF_STREAM_BUFFER_SIZE, "pdf_open_stream");
    if (stream->start == NULL) return;
    stream->position = stream->start;
    stream->end = stream->start + PDF_STREAM_BUFFER_SIZE;
    stream->base_offset = 0;
    stream->compressing = 0;
    stream->kernel_copy_refused = 0;
}

void pdf_free_stream(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    if (stream == NULL) return;
    release_compressor(document);
    pdf_free_flate_blocks(document);
    if (stream->start != NULL) pdf_free(document, stream->start);
    pdf_free(document, stream);
    document->stream = NULL;
}

long pdf_tell(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    return stream->base_offset + (long)(stream->position - stream->start);
}

void pdf_check_stream(pdf_document *document, size_t count) {
    pdf_output_stream *stream = document->stream;
    while ((size_t)(stream->end - stream->position) < count) {
        if (document->flush & PDF_FLUSH_HEAVY) {
            pdf_flush_stream(document);
            if ((size_t)(stream->end - stream->position) >= count) return;
        }
        size_t size = (size_t)(stream->end - stream->start);
        size_t used = (size_t)(stream->position - stream->start);
        pdf_byte *grown =
            (pdf_byte *)pdf_realloc(document, stream->start, 2 * size, "pdf_check_stream");
        if (grown == NULL) return;
        stream->start = grown;
        stream->position = grown + used;
        stream->end = grown + 2 * size;
    }
}

void pdf_flush_stream(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    if (document->writeproc == NULL || stream->compressing || stream->start == NULL) return;
    size_t count = (size_t)(stream->position - stream->start);
    if (count == 0) return;
    if (document->writeproc(document, stream->start, count) != count) {
        report_output_failure(document);
        return;
    }
    stream->base_offset += (long)count;
    stream->position = stream->start;
}

void pdf_flush_if_large(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    if (document->flush != PDF_FLUSH_NONE && stream->start != NULL &&
        stream->position - stream->start >= PDF_STREAM_BUFFER_SIZE / 2)
        pdf_flush_stream(document);
}

void pdf_write(pdf_document *document, const void *data, size_t count) {
    pdf_output_stream *stream = document->stream;
    if (stream->start == NULL) return; /* the sink failed earlier */
    if (stream->compressing) {
        write_compressed(document, data, count);
        return;
    }
    /* A large block (image data passing through) goes to the sink
     * directly, after what is pending, instead of being copied into the
     * buffer first: the bytes and their order are the same, one copy is
     * saved, and the buffer does not grow to the size of an image. Output
     * held back to the end, or fetched from memory, is buffered as ever. */
    if (count >= PDF_DIRECT_WRITE_SIZE && document->writeproc != NULL &&
        document->flush != PDF_FLUSH_NONE) {
        pdf_flush_stream(document);
        if (stream->start == NULL) return;
        if (document->writeproc(document, (void *)data, count) != count) {
            report_output_failure(document);
            return;
        }
        stream->base_offset += (long)count;
        return;
    }
    pdf_check_stream(document, count);
    memcpy(stream->position, data, count);
    stream->position += count;
}

void pdf_puts(pdf_document *document, const char *text) {
    pdf_write(document, text, strlen(text));
}

void pdf_putc(pdf_document *document, int c) {
    pdf_byte byte = (pdf_byte)c;
    pdf_write(document, &byte, 1);
}

void pdf_printf(pdf_document *document, const char *format, ...) {
    char buffer[PDF_PRINTF_BUFFER_SIZE];
    va_list arguments;
    va_start(arguments, format);
    int length = pdf_vsprintf(document, buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    pdf_write(document, buffer, (size_t)length);
}

void pdf_compress_init(pdf_document *document) {
    if (document->compress == 0) return;
    prepare_compressor(document, document->compress);
    if (document->stream->compressor_level != 0) document->stream->compressing = 1;
}

void pdf_compress_end(pdf_document *document) {
    pdf_output_stream *stream = document->stream;
    if (!stream->compressing) return;
    z_stream *z = &stream->compressor;
    z->next_in = Z_NULL;
    z->avail_in = 0;
    int result;
    do {
        pdf_check_stream(document, 128);
        if (stream->start == NULL) return;
        z->next_out = stream->position;
        z->avail_out = (uInt)(stream->end - stream->position);
        result = deflate(z, Z_FINISH);
        stream->position = z->next_out;
        if (result != Z_OK && result != Z_STREAM_END) {
            stream->compressing = 0;
            pdf_error(document, PDF_ERR_SYSTEM, "Compression error (Z_FINISH)");
            return;
        }
    } while (result != Z_STREAM_END);
    stream->compressing = 0;
}

size_t pdf_file_writer(pdf_document *document, void *data, size_t count) {
    return fwrite(data, 1, count, document->fp);
}

long long pdf_copy_file_range(pdf_document *document, int fd, long long offset, long long count) {
#ifdef __linux__
    pdf_output_stream *stream = document->stream;
    if (document->writeproc != pdf_file_writer || document->fp == NULL ||
        document->flush == PDF_FLUSH_NONE || stream->compressing || stream->start == NULL ||
        stream->kernel_copy_refused)
        return -1;
    /* Everything before the data must be in the file first. */
    pdf_flush_stream(document);
    if (stream->start == NULL) return -1;
    if (fflush(document->fp) != 0) {
        report_output_failure(document);
        return -1;
    }
    const long long piece = 1LL << 30;
    int out = fileno(document->fp);
    loff_t from = (loff_t)offset;
    long long copied = 0;
    while (count < 0 || copied < count) {
        long long want = count >= 0 && count - copied < piece ? count - copied : piece;
        ssize_t moved = copy_file_range(fd, &from, out, NULL, (size_t)want, 0);
        if (moved == 0) break; /* the end of the input */
        if (moved < 0) {
            /* Refused outright: nothing was written, and the caller copies
             * by reading. A refusal owed to the output (a pipe, an
             * appending stream, an old kernel) holds for the rest of the
             * document; one owed to where this input lies (another file
             * system) does not. Once bytes went out, it is a write error. */
            if (copied == 0) {
                if (errno != EXDEV) stream->kernel_copy_refused = 1;
                return -1;
            }
            stream->base_offset += (long)copied;
            report_output_failure(document);
            return -1;
        }
        copied += moved;
    }
    stream->base_offset += (long)copied;
    return copied;
#else
    (void)document;
    (void)fd;
    (void)offset;
    (void)count;
    return -1;
#endif
}

void pdf_close_output(pdf_document *document) {
    if (document->writeproc != NULL && document->fp != NULL) {
        int failed = fflush(document->fp) != 0;
        if (document->filename != NULL && strcmp(document->filename, "-") != 0)
            failed |= fclose(document->fp) != 0;
        document->fp = NULL;
        pdf_free_text(document, &document->filename);
        if (failed) pdf_error(document, PDF_ERR_IO, "Couldn't write output (disk full?)");
        return;
    }
    document->fp = NULL;
    pdf_free_text(document, &document->filename);
}

/* ---- Strings and names -------------------------------------------------- */

void pdf_quote_string(pdf_document *document, const char *bytes, size_t count) {
    char piece[512];
    size_t used = 0;
    pdf_putc(document, '(');
    for (size_t i = 0; i < count; i++) {
        if (used + 2 > sizeof piece) {
            pdf_write(document, piece, used);
            used = 0;
        }
        char c = bytes[i];
        switch (c) {
            case '\n':
                piece[used++] = '\\';
                piece[used++] = 'n';
                break;
            case '\r':
                piece[used++] = '\\';
                piece[used++] = 'r';
                break;
            case '(':
            case ')':
            case '\\':
                piece[used++] = '\\';
                piece[used++] = c;
                break;
            default:
                piece[used++] = c;
                break;
        }
    }
    pdf_write(document, piece, used);
    pdf_putc(document, ')');
}

void pdf_quote_text(pdf_document *document, const char *text) {
    const unsigned char *bytes = (const unsigned char *)text;
    size_t size = pdf_text_size(text);
    int unicode = bytes[0] == 0xFE && bytes[1] == 0xFF;
    pdf_quote_string(document, text, size - (unicode ? 2 : 1));
}

void pdf_quote_name(pdf_document *document, const char *bytes, size_t count) {
    char piece[3 * 128 + 1];
    while (count > 0) {
        size_t take = count < 128 ? count : 128;
        size_t length = pdf_make_name(bytes, take, piece);
        pdf_write(document, piece, length);
        bytes += take;
        count -= take;
    }
}
