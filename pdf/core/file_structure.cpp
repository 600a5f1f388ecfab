/*
 * file_structure.cpp -- opening a document on its sink, the file header,
 * and the end of the file: catalog, cross-reference table and trailer.
 */
#include <string.h>
#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_structure.h"

#include "format.h"
#include "info.h"
#include "objects.h"
#include "outlines.h"
#include "output.h"
#include "pages.h"
#include "subsystem.h"

namespace {

/* Creates the output file, or empties the one that is there, for writing.
 * A regular file that exists and is already empty (a staging file a caller
 * made with mkstemp, say) is opened as it is: truncating it, even to the
 * size it has, makes ext4 start writing the whole document out when it is
 * closed, and the closing program waits for that. */
FILE *create_output_file(const char *filename) {
#if defined(__unix__) || defined(__APPLE__)
    struct stat info;
    if (stat(filename, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0) {
        int fd = open(filename, O_WRONLY | O_NOCTTY);
        if (fd >= 0) {
            FILE *fp = NULL;
            if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0)
                fp = fdopen(fd, "wb");
            if (fp != NULL) return fp;
            close(fd);
        }
    }
#endif
    return fopen(filename, "wb");
}

void write_header(pdf_document *document) {
    static const pdf_byte kBinaryMarker[] = {0x25, 0xE4, 0xE3, 0xCF, 0xD2, 0x0A};
    if (document->compatibility == 14)
        pdf_puts(document, "%PDF-1.4\n");
    else if (document->compatibility == 13)
        pdf_puts(document, "%PDF-1.3\n");
    else
        pdf_puts(document, "%PDF-1.2\n");
    pdf_write(document, kBinaryMarker, sizeof kBinaryMarker);
}

void write_catalog(pdf_document *document, pdf_id root) {
    static const char *const kOpenActions[] = {
        "", "/OpenAction[%ld 0 R/Fit]\n", "/OpenAction[%ld 0 R/FitH]\n",
        "/OpenAction[%ld 0 R/FitV 0]\n", "/OpenAction[%ld 0 R/FitB]\n"};
    static const char *const kPageModes[] = {"", "", "/PageMode/UseOutlines\n",
                                             "/PageMode/UseThumbs\n", "/PageMode/FullScreen\n"};
    pdf_begin_obj(document, document->catalog_id);
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/Catalog\n");
    if (document->open_action >= 1 && document->open_action <= 4)
        pdf_printf(document, kOpenActions[document->open_action], document->page_ids[1]);
    if (document->open_mode >= 2 && document->open_mode <= 4)
        pdf_puts(document, kPageModes[document->open_mode]);
    if (document->base_uri != NULL) {
        pdf_puts(document, "/URI<</Base");
        pdf_quote_text(document, document->base_uri);
        pdf_puts(document, ">>\n");
    }
    pdf_printf(document, "/Pages %ld 0 R\n", root);
    pdf_write_outlines_ref(document);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "endobj\n");
}

/* Objects whose number was reserved but never written become null
 * objects, so that the cross-reference table stays complete and every
 * object holds a value. */
void repair_unused_objects(pdf_document *document) {
    for (pdf_id id = 1; id <= document->object_count; id++) {
        if (document->object_offsets[id] != -1) continue;
        pdf_error(document, PDF_ERR_NONFATAL, "Object %ld allocated but not used", id);
        pdf_begin_obj(document, id);
        pdf_puts(document, "null\n");
        pdf_puts(document, "endobj\n");
    }
}

void write_xref(pdf_document *document) {
    pdf_puts(document, "xref\n");
    pdf_printf(document, "0 %ld\n", document->object_count + 1);
    pdf_puts(document, "0000000000 65535 f \n");
    for (pdf_id id = 1; id <= document->object_count; id++) {
        pdf_printf(document, "%010ld 00000 n \n", document->object_offsets[id]);
        if (id % 1024 == 0) pdf_flush_if_large(document);
    }
}

/* The file identifier: the digest of the table offset, the document record
 * at this moment (fully initialised: it was zero-filled at creation) and the
 * output file's name, on top of the Info values fed while they were written. */
void write_file_id(pdf_document *document, long xref_offset) {
    pdf_byte offset_bytes[4];
    for (int i = 0; i < 4; i++) offset_bytes[i] = (pdf_byte)(xref_offset >> (8 * i));
    pdf_md5_update(document->digest, offset_bytes, sizeof offset_bytes);
    pdf_md5_update(document->digest, document, sizeof(pdf_document));
    if (document->writeproc != NULL && document->filename != NULL &&
        strcmp(document->filename, "-") != 0)
        pdf_md5_update(document->digest, document->filename, strlen(document->filename));
    unsigned char digest[16];
    pdf_md5_final(document->digest, digest);

    char hex[33];
    for (int i = 0; i < 16; i++) pdf_sprintf(document, hex + 2 * i, 3, "%02X", digest[i]);
    pdf_puts(document, "/ID[<");
    pdf_puts(document, hex);
    pdf_puts(document, "><");
    pdf_puts(document, hex);
    pdf_puts(document, ">]\n");
}

void write_trailer(pdf_document *document, long xref_offset) {
    pdf_puts(document, "trailer\n");
    pdf_puts(document, "<<");
    pdf_printf(document, "/Size %ld\n", document->object_count + 1);
    pdf_printf(document, "/Info %ld 0 R\n", document->info_id);
    pdf_printf(document, "/Root %ld 0 R\n", document->catalog_id);
    write_file_id(document, xref_offset);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "startxref\n");
    pdf_printf(document, "%ld\n", xref_offset);
    pdf_puts(document, "%%EOF\n");
}

void write_document_end(pdf_document *document) {
    pdf_write_info(document);
    pdf_write_subsystem_objects(document);
    pdf_id root = pdf_write_pages_tree(document);
    pdf_flush_if_large(document);
    write_catalog(document, root);
    pdf_write_outlines(document);
    pdf_write_unwritten_pages(document);
    repair_unused_objects(document);
    long xref_offset = pdf_tell(document);
    write_xref(document);
    write_trailer(document, xref_offset);
}

/* Starts a document: tables, header. Returns 0 when the set-up failed. */
int open_document(pdf_document *document) {
    pdf_init_document(document);
    if (document->stream->start == NULL) return 0;
    return 1;
}

}  // namespace

void pdf_init_document(pdf_document *document) {
    document->object_count = 0;
    document->object_capacity = PDF_ID_CHUNKSIZE;
    document->object_offsets =
        (long *)pdf_malloc(document, PDF_ID_CHUNKSIZE * sizeof(long), "pdf_init_document");
    pdf_init_pages(document);
    document->catalog_id = pdf_alloc_id(document);

    document->open_action = 0;
    document->open_mode = 0;
    pdf_free_text(document, &document->base_uri);
    document->digest =
        (pdf_md5_context *)pdf_malloc(document, sizeof(pdf_md5_context), "pdf_init_document");
    pdf_md5_init(document->digest);
    pdf_set_scope(document, PDF_SCOPE_DOCUMENT);

    pdf_init_info(document);
    pdf_init_outlines(document);
    pdf_open_stream(document);
    document->content.state = PDF_CONTENT_NONE;
    document->content.save_level = 0;
    pdf_init_subsystems(document);
}

void pdf_cleanup_document(pdf_document *document) {
    if (document->writeproc != NULL) pdf_close_output(document);
    pdf_free_text(document, &document->filename);
    if (document->object_offsets != NULL) pdf_free(document, document->object_offsets);
    document->object_offsets = NULL;
    pdf_cleanup_pages(document);
    pdf_free_text(document, &document->base_uri);
    if (document->digest != NULL) pdf_free(document, document->digest);
    document->digest = NULL;
    pdf_cleanup_info(document);
    pdf_cleanup_outlines(document);
    pdf_cleanup_subsystems(document);
}

int PDF_open_file(pdf_document *document, const char *filename) {
    if (!pdf_is_valid(document)) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_OBJECT, "PDF_open_file")) return -1;
    FILE *fp = NULL;
    if (filename != NULL && filename[0] != '\0') {
        /* The file is created first, so a failure leaves nothing behind. */
        fp = strcmp(filename, "-") == 0 ? stdout : create_output_file(filename);
        if (fp == NULL) return -1;
    }
    if (!open_document(document)) {
        if (fp != NULL && fp != stdout) fclose(fp);
        return -1;
    }
    if (fp != NULL) {
        document->writeproc = pdf_file_writer;
        document->fp = fp;
        document->filename = pdf_strdup(document, filename);
    } else {
        document->writeproc = NULL;
        document->fp = NULL;
    }
    write_header(document);
    return 1;
}

int PDF_open_fp(pdf_document *document, FILE *fp) {
    if (!pdf_is_valid(document) || fp == NULL) return -1;
    if (!pdf_check_scope(document, PDF_SCOPE_OBJECT, "PDF_open_fp")) return -1;
    if (!open_document(document)) return -1;
    document->writeproc = pdf_file_writer;
    document->fp = fp;
    write_header(document);
    return 1;
}

void PDF_open_mem(pdf_document *document, pdf_write_proc writeproc) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_OBJECT, "PDF_open_mem")) return;
    if (writeproc == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "NULL write procedure in PDF_open_mem()");
        return;
    }
    if (!open_document(document)) return;
    document->writeproc = writeproc;
    document->fp = NULL;
    write_header(document);
}

const char *PDF_get_buffer(pdf_document *document, long *size) {
    if (size != NULL) *size = 0;
    if (!pdf_is_valid(document)) return NULL;
    if (!pdf_check_scope(document, PDF_SCOPE_OBJECT | PDF_SCOPE_DOCUMENT, "PDF_get_buffer"))
        return NULL;
    if (document->writeproc != NULL) {
        pdf_error(document, PDF_ERR_RUNTIME, "Don't use PDF_get_buffer() when writing to file");
        return NULL;
    }
    pdf_output_stream *stream = document->stream;
    if (stream->start == NULL) return NULL;
    long pending = (long)(stream->position - stream->start);
    stream->base_offset += pending;
    stream->position = stream->start;
    if (size != NULL) *size = pending;
    return (const char *)stream->start;
}

void PDF_close(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (pdf_current_scope(document) == PDF_SCOPE_ERROR) {
        /* An error left the document: release it without writing, and drop
         * the output that can no longer become a valid file. */
        if (document->object_offsets != NULL) pdf_cleanup_document(document);
        if (document->stream->start != NULL) document->stream->position = document->stream->start;
        document->state_index = 0;
        document->state_stack[0] = PDF_SCOPE_OBJECT;
        return;
    }
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT, "PDF_close")) return;
    if (document->current_page == 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Empty document");
        return;
    }
    write_document_end(document);
    pdf_flush_stream(document);
    pdf_cleanup_document(document);
    pdf_set_scope(document, PDF_SCOPE_OBJECT);
}
