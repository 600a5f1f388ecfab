/*
 * output.h -- the output stream: every byte of PDF passes through here.
 */
#ifndef FOLIO_OUTPUT_H
#define FOLIO_OUTPUT_H

#include "document.h"

/* Size of the buffer each open call starts with. */
#define PDF_STREAM_BUFFER_SIZE 65536
/* Blocks of at least this size bypass the buffer (see pdf_write). */
#define PDF_DIRECT_WRITE_SIZE 32768
/* Size of pdf_printf's formatting buffer. */
#define PDF_PRINTF_BUFFER_SIZE 256

void pdf_open_stream(pdf_document *document);
void pdf_free_stream(pdf_document *document);

/* Offset in the finished file of the next byte written. */
long pdf_tell(pdf_document *document);
/* Makes room for `count` more bytes (flushing in "heavy" mode, else growing
 * the buffer). */
void pdf_check_stream(pdf_document *document, size_t count);
/* Hands the pending bytes to the sink (not in memory mode, not inside a
 * compressed section). */
void pdf_flush_stream(pdf_document *document);
/* Flushes when half a buffer is pending, unless output is held back to the
 * end ("none"). The end of a long document is large (the page tree, and 20
 * bytes per object in the cross-reference table): handing it out in pieces
 * keeps the buffer from growing with the page count. */
void pdf_flush_if_large(pdf_document *document);

void pdf_write(pdf_document *document, const void *data, size_t count);
void pdf_puts(pdf_document *document, const char *text);
void pdf_putc(pdf_document *document, int c);
/* Formats with pdf_vsprintf into 256 bytes (longer output is cut). */
void pdf_printf(pdf_document *document, const char *format, ...);

/* Makes zlib take the memory of `z` through the document's hooks. */
void pdf_use_document_memory(pdf_document *document, z_stream *z);

/* Opens and closes a Flate-compressed section at the document's level. */
void pdf_compress_init(pdf_document *document);
void pdf_compress_end(pdf_document *document);

/* At document end: closes a file the library opened and forgets the sink. */
void pdf_close_output(pdf_document *document);

/* The sink for stdio streams. */
size_t pdf_file_writer(pdf_document *document, void *data, size_t count);

/* Copies `count` bytes (all to its end when negative) of the open file `fd`
 * from `offset` into the output, file to file inside the kernel, without
 * passing them through memory. Only a document writing to a stdio stream
 * whose output is not held back can take this road, and only where the
 * system copies between the two files. Returns the number of bytes copied
 * (fewer than `count` when the input ends first), or -1 when the road is
 * closed: nothing could be copied, or writing failed (reported as always,
 * after which the output takes no more bytes). The caller then copies
 * through its data source. Once the output itself refused a copy, later
 * calls return -1 at once. The offset of `fd` is left alone. */
long long pdf_copy_file_range(pdf_document *document, int fd, long long offset, long long count);

/* Writes bytes as a PDF literal string "(...)". */
void pdf_quote_string(pdf_document *document, const char *bytes, size_t count);
/* Writes an 8-bit or FE FF Unicode text as a literal string. */
void pdf_quote_text(pdf_document *document, const char *text);
/* Writes bytes as the characters of a name (the caller writes "/"). */
void pdf_quote_name(pdf_document *document, const char *bytes, size_t count);

#endif /* FOLIO_OUTPUT_H */
